#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <functional>

#include "TestEnvironment.h"
#include "library/Categories.h"
#include "library/Sections.h"
#include "platform/DataMove.h"

namespace {

using platform::DataMove;
using qbtest::readFile;
using qbtest::writeFile;

// An earlier build's program folder: settings, a library of one section with its records,
// the section's directory with a downloaded file, and files that are no part of the data.
struct OldBuild {
    explicit OldBuild(const QString& folder) : folder(folder) {
        files = {
            {"dlmain.ini", "[Main]\nFirstRun=0\n"},
            {"Headers.ini", "[Main]\nNumHeads=1\n[Header1]\nName=Programs\nLocation=" +
                                folder.toUtf8() + "Programs/\n"},
            {"Programs.ini", "[Main]\nNumCats=1\n[Cat1]\nName=Games\nIcon=46\n"},
            {"Programs-Games.ini", "[game.zip]\nDesc=A game\n"},
        };
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            writeFile(folder + it.key(), it.value());
        writeFile(folder + "Programs/Games/game.zip", "zip bytes");
        writeFile(folder + "quillbay", "the executable");
    }
    QString folder;
    QMap<QString, QByteArray> files;
};

QStringList iniNames(const QString& folder) {
    return QDir(folder).entryList({"*.ini"}, QDir::Files, QDir::Name);
}

TEST(DataMove, MovesEveryIniFileOnceAndLeavesTheLibraryFoldersWhereTheyAre) {
    qbtest::TempHome home;
    const QString from = home.root() + "/build/bin/";
    const QString to = home.folder();
    const OldBuild old(from);

    const DataMove move = platform::moveOldLibrary(from, to);
    EXPECT_EQ(move.status, DataMove::Moved);
    QStringList moved = move.files;
    moved.sort();
    EXPECT_EQ(moved, QStringList(old.files.keys()));
    for (auto it = old.files.cbegin(); it != old.files.cend(); ++it) {
        EXPECT_EQ(readFile(to + it.key()), it.value()) << qPrintable(it.key());
        EXPECT_FALSE(QFileInfo::exists(from + it.key())) << qPrintable(it.key());
    }
    EXPECT_EQ(readFile(from + "Programs/Games/game.zip"), "zip bytes");
    EXPECT_EQ(readFile(from + "quillbay"), "the executable");
    EXPECT_TRUE(QDir(to).entryList({"*.moving"}).isEmpty());
    // The library reads as before from its new place, its section still where it was.
    EXPECT_EQ(library::sectionNames(), QStringList({"Programs"}));
    EXPECT_EQ(library::sectionLocation(1), from + "Programs/");
    EXPECT_EQ(library::categoryNames("Programs"), QStringList({"Games"}));
    const QString line = move.line(from, to);
    EXPECT_TRUE(line.contains(from) && line.contains(to)) << qPrintable(line);

    // The next start finds nothing to move and says nothing.
    const DataMove again = platform::moveOldLibrary(from, to);
    EXPECT_EQ(again.status, DataMove::NothingToMove);
    EXPECT_TRUE(again.line(from, to).isEmpty());
}

TEST(DataMove, NothingChangesWhenItCannotOrMustNotMove) {
    struct Case {
        const char* what;
        std::function<void(const QString& from, const QString& to)> prepare;
        DataMove::Status status;
    };
    const Case cases[] = {
        {"no settings and no section list: not a library",
         [](const QString& from, const QString&) {
             QFile::remove(from + "dlmain.ini");
             QFile::remove(from + "Headers.ini");
         },
         DataMove::NothingToMove},
        {"the data folder holds a library already",
         [](const QString&, const QString& to) { writeFile(to + "DLMAIN.INI", "[Main]\n"); },
         DataMove::Kept},
        {"the data folder holds a file of the same name",
         [](const QString&, const QString& to) { writeFile(to + "programs.ini", "mine"); },
         DataMove::Kept},
        {"a copy cannot be made",
         [](const QString&, const QString& to) { QDir().mkpath(to + "Programs.ini.moving"); },
         DataMove::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qbtest::TempHome home;
        const QString from = home.root() + "/build/bin/";
        const QString to = home.folder();
        const OldBuild old(from);
        c.prepare(from, to);
        const QStringList oldNames = iniNames(from);
        const QStringList dataNames = iniNames(to);
        QMap<QString, QByteArray> before;
        for (const QString& name : oldNames + dataNames)
            before[name] = readFile(QFileInfo::exists(from + name) ? from + name : to + name);

        const DataMove move = platform::moveOldLibrary(from, to);
        EXPECT_EQ(move.status, c.status);
        EXPECT_EQ(iniNames(from), oldNames);
        EXPECT_EQ(iniNames(to), dataNames);
        for (const QString& name : oldNames)
            EXPECT_EQ(readFile(from + name), before[name]) << qPrintable(name);
        for (const QString& name : dataNames)
            EXPECT_EQ(readFile(to + name), before[name]) << qPrintable(name);
        if (c.status == DataMove::Failed) {
            EXPECT_TRUE(move.line(from, to).contains("Nothing was changed"));
        }
        EXPECT_EQ(move.line(from, to).isEmpty(), c.status == DataMove::NothingToMove);
    }
}

TEST(DataMove, AFolderIsNeverMovedOntoItself) {
    qbtest::TempHome home;
    const OldBuild old(home.folder());
    EXPECT_EQ(platform::moveOldLibrary(home.folder(), home.root() + "/program").status,
              DataMove::NothingToMove);
    EXPECT_EQ(readFile(home.file("dlmain.ini")), old.files["dlmain.ini"]);
}

} // namespace
