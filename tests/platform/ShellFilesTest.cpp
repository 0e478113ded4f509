#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "TestEnvironment.h"
#include "platform/Shell.h"

#include <sys/stat.h>
#include <unistd.h>

using qbtest::readFile;
using qbtest::writeFile;

namespace {

QString trashFiles() {
    return qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/";
}

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Restores the working directory a test changes.
struct CurrentDir {
    explicit CurrentDir(const QString& dir) : saved(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~CurrentDir() { QDir::setCurrent(saved); }
    QString saved;
};

class ShellFiles : public ::testing::Test {
protected:
    qbtest::TempHome home;
    QString dir = home.root() + "/work/";
    void make(const QStringList& names) {
        for (const QString& name : names)
            ASSERT_TRUE(writeFile(dir + name, name.toUtf8()));
    }
};

} // namespace

TEST_F(ShellFiles, PatternDeletesMatchesOnlyToTrashOrForGoodAndNothingIsAFailure) {
    for (const bool toTrash : {true, false}) {
        SCOPED_TRACE(toTrash ? "to trash" : "for good");
        QDir(dir).removeRecursively();
        QDir(trashFiles()).removeRecursively();
        make({"A-Games.ini", "a-utilities.INI", "A-.ini", "B-Games.ini", "A-Games.txt", "A.ini"});
        EXPECT_TRUE(platform::shellDelete(dir + "A-*.ini", toTrash));
        EXPECT_EQ(namesIn(dir), QStringList({"A-Games.txt", "A.ini", "B-Games.ini"}));
        const QStringList trashed = namesIn(trashFiles());
        EXPECT_EQ(trashed, toTrash ? QStringList({"A-.ini", "A-Games.ini", "a-utilities.INI"})
                                   : QStringList());
        if (toTrash) {
            EXPECT_EQ(readFile(trashFiles() + "A-Games.ini"), "A-Games.ini");
        }
        // Nothing to delete is a failure.
        EXPECT_FALSE(platform::shellDelete(dir + "missing.zip", toTrash));
        EXPECT_FALSE(platform::shellDelete(dir + "*.zip", toTrash));
    }
}

TEST_F(ShellFiles, WildcardsFollowTheShellNotRegexOrBrackets) {
    make({"movie [1080p] part1.mkv", "movie 1 part1.mkv", "README", ".hidden", "x.tar.gz"});
    ASSERT_TRUE(QDir().mkpath(dir + "sub/deeper"));
    ASSERT_TRUE(writeFile(dir + "sub/deeper/f", "f"));

    EXPECT_EQ(platform::shellMatches(dir + "movie [1080p]*.mkv"),
              QStringList({dir + "movie [1080p] part1.mkv"}));
    EXPECT_EQ(platform::shellMatches(dir + "movie ? part?.MKV"),
              QStringList({dir + "movie 1 part1.mkv"}));
    // "*.*" is every name, those without a dot and hidden ones included.
    EXPECT_EQ(platform::shellMatches(dir + "*.*").size(), 6);
    EXPECT_EQ(platform::shellMatches(dir + "README.*"), QStringList({dir + "README"}));
    // An exact name with brackets is that name, and a trailing "/" names the folder.
    EXPECT_EQ(platform::shellMatches(dir + "movie [1080p] part1.mkv").size(), 1);
    EXPECT_EQ(platform::shellMatches(dir + "sub/"), QStringList({dir + "sub"}));
    EXPECT_TRUE(platform::shellMatches(dir + "nothing*").isEmpty());

    EXPECT_TRUE(platform::shellDelete(dir + "*.*", false));
    EXPECT_TRUE(namesIn(dir).isEmpty());
}

TEST_F(ShellFiles, DeletingALinkNeverTouchesWhatItPointsAt) {
    const QString outside = home.root() + "/outside/";
    ASSERT_TRUE(writeFile(outside + "keep.txt", "keep"));
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(QFile::link(outside, dir + "link-to-folder"));
    ASSERT_TRUE(QFile::link(outside + "keep.txt", dir + "link-to-file"));

    EXPECT_TRUE(platform::shellDelete(dir + "link-*", false));
    EXPECT_TRUE(namesIn(dir).isEmpty());
    EXPECT_EQ(readFile(outside + "keep.txt"), "keep");
}

// The trash is made when a fresh account has no data folder yet; a trash out of reach keeps
// the file where it is. Nothing ever lands in the current directory.
TEST_F(ShellFiles, TrashWorksWithoutTheDataFolderAndOutOfReachKeepsTheFile) {
    const QString cwd = home.root() + "/cwd";
    ASSERT_TRUE(QDir().mkpath(cwd));
    CurrentDir inside(cwd);
    ASSERT_TRUE(QDir(qEnvironmentVariable("XDG_DATA_HOME")).removeRecursively());
    make({"old.zip"});
    EXPECT_TRUE(platform::shellDelete(dir + "old.zip", true));
    EXPECT_FALSE(QFileInfo::exists(dir + "old.zip"));
    EXPECT_EQ(readFile(trashFiles() + "old.zip"), "old.zip");
    EXPECT_TRUE(namesIn(cwd).isEmpty());

    ASSERT_TRUE(writeFile(home.root() + "/blocker", "x"));
    // A data folder that can never be created, and a "Trash" that is a file (which makes Qt
    // fall back to the current directory).
    const QString dataFolders[] = {home.root() + "/blocker/share", home.root() + "/data"};
    ASSERT_TRUE(writeFile(home.root() + "/data/Trash", "not a folder"));
    for (const QString& data : dataFolders) {
        SCOPED_TRACE(data.toStdString());
        qputenv("XDG_DATA_HOME", data.toUtf8());
        make({"precious.doc"});
        EXPECT_FALSE(platform::shellDelete(dir + "precious.doc", true));
        EXPECT_EQ(readFile(dir + "precious.doc"), "precious.doc");
        EXPECT_TRUE(namesIn(cwd).isEmpty()) << namesIn(cwd).join(' ').toStdString();
    }
}

TEST_F(ShellFiles, MoveByPatternReplacesFilesMergesFoldersAndMakesTheTarget) {
    const QString target = home.root() + "/target/";
    make({"one.zip", "two.iso", "sub/inner.txt"});
    ASSERT_TRUE(writeFile(target + "one.zip", "older copy"));
    ASSERT_TRUE(writeFile(target + "sub/already.txt", "already"));

    EXPECT_TRUE(platform::shellMove(dir + "*.*", target));
    EXPECT_TRUE(namesIn(dir).isEmpty());
    EXPECT_EQ(readFile(target + "one.zip"), "one.zip");
    EXPECT_EQ(readFile(target + "two.iso"), "two.iso");
    EXPECT_EQ(readFile(target + "sub/inner.txt"), "sub/inner.txt");
    EXPECT_EQ(readFile(target + "sub/already.txt"), "already");

    // A target among the matches is made, and skipped.
    make({"a.bin", "b.bin"});
    EXPECT_TRUE(platform::shellMove(dir + "*.*", dir + "Renamed/"));
    EXPECT_EQ(namesIn(dir), QStringList({"Renamed"}));
    EXPECT_EQ(namesIn(dir + "Renamed"), QStringList({"a.bin", "b.bin"}));
    EXPECT_FALSE(platform::shellMove(dir + "none-*", dir + "Renamed/"));
}

TEST_F(ShellFiles, MoveAcrossFileSystemsCopiesAndRemoves) {
    QTemporaryDir shm("/dev/shm/qb-move-XXXXXX");
    ASSERT_TRUE(shm.isValid());
    struct stat a = {}, b = {};
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_EQ(::stat(QFile::encodeName(dir).constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(shm.path()).constData(), &b), 0);
    if (a.st_dev == b.st_dev)
        GTEST_SKIP() << "/dev/shm is on the same file system here";

    make({"big.iso", "folder/nested/deep.txt"});
    ASSERT_TRUE(QFile::link("big.iso", dir + "link.iso"));
    ASSERT_TRUE(writeFile(shm.path() + "/big.iso", "stale"));

    EXPECT_TRUE(platform::shellMove(dir + "*", shm.path()));
    EXPECT_TRUE(namesIn(dir).isEmpty());
    EXPECT_EQ(readFile(shm.path() + "/big.iso"), "big.iso");
    EXPECT_EQ(readFile(shm.path() + "/folder/nested/deep.txt"), "folder/nested/deep.txt");
    EXPECT_EQ(QFileInfo(shm.path() + "/link.iso").symLinkTarget(), shm.path() + "/big.iso");
    EXPECT_FALSE(QFileInfo::exists(shm.path() + "/.big.iso.qbmove"));
}
