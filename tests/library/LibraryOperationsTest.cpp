#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

#include "TestEnvironment.h"
#include "library/Categories.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"

namespace {

using namespace library;

bool isDirectory(const QString& path) {
    return QFileInfo(path).isDir();
}

TEST(NewPage, CreatesTheDirectoryAndAppendsNameThenLocation) {
    qbtest::TempHome home;
    const QString first = home.folder() + "deep/er/Games/";
    const QString second = home.folder() + "Music/";
    EXPECT_EQ(NewPage("Games", first), 1);
    EXPECT_EQ(NewPage("Music", second), 2);
    EXPECT_TRUE(isDirectory(first));
    EXPECT_TRUE(isDirectory(second));
    EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")),
              ("[Main]\nNumHeads=2\n[Header1]\nName=Games\nLocation=" + first +
               "\n[Header2]\nName=Music\nLocation=" + second + "\n")
                  .toUtf8());
    // The section file comes with the first folder, not before.
    EXPECT_FALSE(QFileInfo::exists(home.file("Games.ini")));
}

TEST(NewPage, AppendsNothingWhenTheDirectoryCannotBeMade) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(home.folder() + "blocked", "a file, not a folder"));
    EXPECT_THROW(NewPage("Games", home.folder() + "blocked/Games/"), std::runtime_error);
    // A relative location would land wherever the program was started from.
    EXPECT_THROW(NewPage("Games", "Games-relative-location/"), std::runtime_error);
    EXPECT_THROW(NewPage("Games", ""), std::runtime_error);
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("Games-relative-location")));
    EXPECT_FALSE(QFileInfo::exists(home.file("Headers.ini")));
}

TEST(NewButton, MakesTheFolderUnderTheSectionAtThePosition) {
    qbtest::TempHome home;
    const QString programs = home.folder() + "lib/Programs/";
    const QString research = home.folder() + "other/Research/";
    NewPage("Programs", programs);
    NewPage("Research", research);
    EXPECT_EQ(NewButton("Games", "Research", 46, 1), 1);
    EXPECT_EQ(NewButton("Home", "Research", 32, 1), 2);
    EXPECT_EQ(NewButton("Games", "Programs", 7, 0), 1);
    EXPECT_TRUE(isDirectory(research + "Games/"));
    EXPECT_TRUE(isDirectory(research + "Home/"));
    EXPECT_TRUE(isDirectory(programs + "Games/"));
    EXPECT_FALSE(isDirectory(programs + "Home/"));
    EXPECT_EQ(qbtest::readFile(home.file("Research.ini")),
              "[Main]\nNumCats=2\n[Cat1]\nName=Games\nIcon=46\n[Cat2]\nName=Home\nIcon=32\n");
    EXPECT_EQ(categoryIcon("Programs", 1), 7);
    // An existing directory is taken over as it is.
    ASSERT_TRUE(qbtest::writeFile(programs + "Tools/kept.txt", "kept"));
    EXPECT_EQ(NewButton("Tools", "Programs", 0, 0), 2);
    EXPECT_EQ(qbtest::readFile(programs + "Tools/kept.txt"), "kept");
}

TEST(NewButton, ASectionWithoutLocationGetsNoFolder) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(home.file("Headers.ini"),
                                  "[Main]\nNumHeads=2\n[Header1]\nName=Lost\n"
                                  "[Header2]\nName=Odd\nLocation=relative/Odd/\n"));
    EXPECT_THROW(NewButton("Games-no-location", "Lost", 1, 0), std::runtime_error);
    EXPECT_THROW(NewButton("Games-no-location", "Odd", 1, 1), std::runtime_error);
    // A position past the list has no location either.
    EXPECT_THROW(NewButton("Games-no-location", "Lost", 1, 5), std::runtime_error);
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("Games-no-location")));
    EXPECT_FALSE(QFileInfo::exists(home.file("Lost.ini")));
    EXPECT_FALSE(QFileInfo::exists(home.file("Odd.ini")));
}

struct ExpectedSection {
    QString name;
    QStringList folders;
    QList<int> icons;
};

const QList<ExpectedSection> kDefaultLibrary = {
    {"Programs", {"Productivity", "Games", "Utilities", "Applications"}, {39, 46, 1, 21}},
    {"Research", {"School", "Office", "Home"}, {15, 30, 32}},
    {"Internet", {"FTP Files", "E-Mail Files", "Web Files"}, {3, 44, 43}},
};

// The default library's sections from list number `first` on, under `root`.
void expectDefaultLibrary(const QString& root, int first) {
    for (int s = 0; s < kDefaultLibrary.size(); ++s) {
        const ExpectedSection& expected = kDefaultLibrary[s];
        const int n = first + s;
        EXPECT_EQ(sectionName(n), expected.name);
        EXPECT_EQ(sectionLocation(n), root + expected.name + "/");
        EXPECT_EQ(categoryNames(expected.name), expected.folders);
        for (int f = 0; f < expected.folders.size(); ++f) {
            EXPECT_EQ(categoryIcon(expected.name, f + 1), expected.icons[f]);
            EXPECT_TRUE(isDirectory(root + expected.name + "/" + expected.folders[f]))
                << expected.folders[f].toStdString();
        }
    }
}

TEST(CreateDefaultHeader, ThreeSectionsWithTheirFoldersUnderTheRoot) {
    qbtest::TempHome home;
    const QString root = home.folder() + "My Library/";
    Settings().writeString("Main", "DefaultRoot", home.folder() + "My Library");
    // The root for new sections is another key and plays no part here.
    Settings().writeString("Management", "DefaultRoot", home.folder() + "elsewhere/");
    CreateDefaultHeader();
    EXPECT_EQ(sectionCount(), 3);
    expectDefaultLibrary(root, 1);
    EXPECT_FALSE(QFileInfo::exists(home.folder() + "elsewhere"));
}

TEST(CreateDefaultHeader, RootDefaultsToTheProgramFolder) {
    const QStringList configured = {QString(), QString("__absent__"), QString("  "),
                                    QString("Library")};
    for (const QString& value : configured) {
        qbtest::TempHome home;
        if (value != "__absent__")
            Settings().writeString("Main", "DefaultRoot", value);
        CreateDefaultHeader();
        // A relative root lies in the program folder, never where the program runs from.
        const QString root = value.trimmed().isEmpty() || value == "__absent__"
                                 ? home.folder()
                                 : home.folder() + value + "/";
        expectDefaultLibrary(root, 1);
    }
}

TEST(CreateDefaultHeader, FoldersGoToTheSectionsJustCreated) {
    qbtest::TempHome home;
    NewPage("Music", home.folder() + "Music/");
    NewButton("Albums", "Music", 5, 0);
    const QByteArray musicFile = qbtest::readFile(home.file("Music.ini"));
    CreateDefaultHeader();
    EXPECT_EQ(sectionCount(), 4);
    EXPECT_EQ(sectionName(1), "Music");
    expectDefaultLibrary(home.folder(), 2);
    EXPECT_EQ(qbtest::readFile(home.file("Music.ini")), musicFile);
    EXPECT_FALSE(isDirectory(home.folder() + "Music/Productivity"));
}

TEST(CreateDefaultHeader, ASecondRunAddsNothingTwice) {
    qbtest::TempHome home;
    CreateDefaultHeader();
    // The user renamed a default folder meanwhile; that is kept too.
    writeCategoryName("Research", 3, "Family");
    const QByteArray headers = qbtest::readFile(home.file("Headers.ini"));
    const QByteArray research = qbtest::readFile(home.file("Research.ini"));
    CreateDefaultHeader();
    EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")), headers);
    EXPECT_EQ(qbtest::readFile(home.file("Research.ini")), research);
}

TEST(CreateDefaultHeader, StopsAtADirectoryThatCannotBeMade) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(home.folder() + "Research", "a file, not a folder"));
    EXPECT_THROW(CreateDefaultHeader(), std::runtime_error);
    // What came before the failing step stays; nothing after it is made.
    EXPECT_EQ(sectionNames(), QStringList({"Programs"}));
    EXPECT_EQ(categoryCount("Programs"), 4);
    EXPECT_FALSE(QFileInfo::exists(home.file("Internet.ini")));
}

} // namespace
