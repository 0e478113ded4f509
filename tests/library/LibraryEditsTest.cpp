#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstring>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "TestEnvironment.h"
#include "library/Categories.h"
#include "library/FileRecord.h"
#include "library/LibraryEdits.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"

namespace {

using namespace library;

bool exists(const QString& path) {
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

// Sections under lib/ of a temporary program folder, folders with one file and one record
// each, so that every move and rename can be checked for what it carries along.
class Edits : public ::testing::Test {
protected:
    QString dir(const QString& section) const { return home.folder() + "lib/" + section + "/"; }
    QString folderDir(const QString& section, const QString& folder) const {
        return dir(section) + folder + "/";
    }
    void section(const QString& name, const QStringList& folders) {
        const int n = NewPage(name, dir(name));
        for (const QString& folder : folders) {
            NewButton(folder, name, 7, n - 1);
            qbtest::writeFile(folderDir(name, folder) + folder + ".txt", folder.toUtf8());
            FileRecord::of(name, folder, folder + ".txt").writeString(RecordKey::Desc, folder);
        }
    }
    QString desc(const QString& section, const QString& folder, const QString& file) const {
        return FileRecord::of(section, folder, file).readString(RecordKey::Desc);
    }

    qbtest::TempHome home;
};

TEST_F(Edits, RenamedSectionTakesItsDirectorySectionFileAndRecordsAlong) {
    section("Programs", {"Games", "Tools"});
    EXPECT_EQ(renameSection(1, "Software"), std::nullopt);
    EXPECT_EQ(sectionName(1), "Software");
    EXPECT_EQ(sectionLocation(1), dir("Software"));
    EXPECT_FALSE(exists(dir("Programs")));
    EXPECT_FALSE(exists(home.file("Programs.ini")));
    EXPECT_EQ(categoryNames("Software"), (QStringList{"Games", "Tools"}));
    for (const QString folder : {"Games", "Tools"}) {
        EXPECT_TRUE(exists(folderDir("Software", folder) + folder + ".txt"));
        EXPECT_EQ(desc("Software", folder, folder + ".txt"), folder);
        EXPECT_FALSE(exists(recordFilePath("Programs", folder)));
    }
}

TEST_F(Edits, RefusedRenamesChangeNothing) {
    section("Programs", {"Games"});
    section("Research", {"Home"});
    section("A", {"B-C"});
    QDir().mkpath(home.folder() + "lib/Taken");
    const struct {
        int section;
        const char* name;
        const char* refusal;
    } cases[] = {
        // The name rules are their own table; these show the rename gives them its context.
        {1, "Research", "That section already exists, please choose another name."},
        {1, "Taken", "That section already exists, please choose another name."},
        // "A-B" + "C" would share A's record file of folder "B-C".
        {2, "A-B", nullptr},
    };
    for (const auto& c : cases) {
        const QByteArray before = qbtest::readFile(home.file("Headers.ini"));
        if (c.section == 2) {
            // Research has folder Home; rename it to A-B with a folder "C" first.
            NewButton("C", "Research", 0, 1);
        }
        const auto refusal = renameSection(c.section, c.name);
        ASSERT_TRUE(refusal.has_value()) << c.name;
        if (c.refusal) {
            EXPECT_EQ(*refusal, c.refusal) << c.name;
        }
        EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")), before) << c.name;
    }
    EXPECT_TRUE(exists(dir("Programs")));
    EXPECT_TRUE(exists(dir("Research")));
}

TEST_F(Edits, RenamedFolderTakesItsDirectoryAndRecords) {
    section("Programs", {"Games", "Tools"});
    EXPECT_EQ(renameFolder("Programs", 1, "Play"), std::nullopt);
    EXPECT_EQ(categoryNames("Programs"), (QStringList{"Play", "Tools"}));
    EXPECT_EQ(desc("Programs", "Play", "Games.txt"), "Games");
    EXPECT_TRUE(exists(folderDir("Programs", "Play") + "Games.txt"));
    EXPECT_FALSE(exists(folderDir("Programs", "Games")));
    EXPECT_EQ(renameFolder("Programs", 1, "tools"),
              "That folder already exists, please choose another name.");
    EXPECT_EQ(renameFolder("Programs", 1, "  "), "Please specify a name for this folder.");
    EXPECT_EQ(categoryNames("Programs"), (QStringList{"Play", "Tools"}));
}

TEST_F(Edits, RenameThatCannotWriteTheListUndoesTheFileRenames) {
    section("Programs", {"Games"});
    // The profile layer treats a file without write bits as read-only, root included.
    const QString list = home.file("Headers.ini");
    ASSERT_TRUE(QFile::setPermissions(list, QFile::ReadOwner));
    EXPECT_THROW(renameSection(1, "Software"), std::runtime_error);
    QFile::setPermissions(list, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(sectionName(1), "Programs");
    EXPECT_EQ(sectionLocation(1), dir("Programs"));
    EXPECT_TRUE(exists(dir("Programs") + "Games/Games.txt"));
    EXPECT_TRUE(exists(home.file("Programs.ini")));
    EXPECT_EQ(desc("Programs", "Games", "Games.txt"), "Games");
}

TEST_F(Edits, DeletingSectionATakesOnlyItsOwnFoldersRecords) {
    section("A", {"X", "Y"});
    section("A-B", {"Z"});
    qbtest::writeFile(home.file("A-stray.ini"), "[f]\nDesc=kept\n");
    deleteSection(1, {false, false, false});
    EXPECT_FALSE(exists(recordFilePath("A", "X")));
    EXPECT_FALSE(exists(recordFilePath("A", "Y")));
    EXPECT_EQ(desc("A-B", "Z", "Z.txt"), "Z");
    EXPECT_TRUE(exists(home.file("A-stray.ini")));
    // All three boxes off: nothing else changes.
    EXPECT_EQ(sectionNames(), (QStringList{"A", "A-B"}));
    EXPECT_TRUE(exists(home.file("A.ini")));
    EXPECT_TRUE(exists(dir("A") + "X/X.txt"));
}

TEST_F(Edits, DeletingSectionFilesStaysInsideItsDirectory) {
    section("A", {"X"});
    const QString outside = home.folder() + "outside/";
    qbtest::writeFile(outside + "precious.txt", "keep");
    ASSERT_TRUE(QFile::link(outside, dir("A") + "link"));
    ASSERT_TRUE(QFile::link(outside + "precious.txt", dir("A") + "X/file-link"));
    deleteSection(1, {true, true, true});
    EXPECT_FALSE(exists(dir("A")));
    EXPECT_TRUE(exists(outside + "precious.txt"));
    EXPECT_EQ(sectionCount(), 0);
    EXPECT_FALSE(exists(home.file("A.ini")));

    // A section whose directory is itself a link: the link goes, not what it points at.
    NewPage("L", home.folder() + "elsewhere/L/");
    QDir().rmdir(home.folder() + "elsewhere/L");
    ASSERT_TRUE(QFile::link(outside, home.folder() + "elsewhere/L"));
    deleteSection(1, {true, true, true});
    EXPECT_TRUE(exists(outside + "precious.txt"));
    EXPECT_FALSE(exists(home.folder() + "elsewhere/L"));
}

TEST_F(Edits, DeletionResetsTheDefaultPlace) {
    section("A", {"X", "Y"});
    section("B", {"Z", "W"});
    Settings().writeInteger("Download", "DefaultSection", 1);
    Settings().writeInteger("Download", "DefaultCat", 1);
    deleteFolder(1, 2);
    EXPECT_EQ(Settings().readInteger("Download", "DefaultCat"), 0);
    EXPECT_EQ(Settings().readInteger("Download", "DefaultSection"), 1);
    Settings().writeInteger("Download", "DefaultCat", 1);
    deleteSection(2, {true, true, true});
    EXPECT_EQ(Settings().readInteger("Download", "DefaultSection"), 0);
    EXPECT_EQ(Settings().readInteger("Download", "DefaultCat"), 0);
}

TEST_F(Edits, DeletedFolderTakesDirectoryRecordsAndEntry) {
    section("A", {"X", "Y", "Z"});
    deleteFolder(1, 2);
    EXPECT_EQ(categoryNames("A"), (QStringList{"X", "Z"}));
    EXPECT_FALSE(exists(folderDir("A", "Y")));
    EXPECT_FALSE(exists(recordFilePath("A", "Y")));
    EXPECT_EQ(desc("A", "Z", "Z.txt"), "Z");
}

TEST_F(Edits, MovedFolderGetsTheFirstFreeNumberAndCarriesItsRecords) {
    section("Programs", {"Games", "Tools"});
    section("Other", {"Games", "Games1"});
    const FolderMove moved = moveFolder(1, 1, 2);
    EXPECT_TRUE(moved.complete);
    EXPECT_EQ(moved.name, "Games2");
    EXPECT_EQ(moved.number, 3);
    EXPECT_EQ(categoryNames("Other"), (QStringList{"Games", "Games1", "Games2"}));
    EXPECT_EQ(categoryIcon("Other", 3), 7);
    EXPECT_EQ(categoryNames("Programs"), QStringList{"Tools"});
    EXPECT_TRUE(exists(folderDir("Other", "Games2") + "Games.txt"));
    EXPECT_FALSE(exists(folderDir("Programs", "Games")));
    EXPECT_EQ(desc("Other", "Games2", "Games.txt"), "Games");
    EXPECT_FALSE(exists(recordFilePath("Programs", "Games")));
    // The first record file of Other's own Games is untouched.
    EXPECT_EQ(desc("Other", "Games", "Games.txt"), "Games");
}

TEST_F(Edits, FreeNameSkipsCaseVariantsAndStrayDirectories) {
    section("Other", {"games"});
    QDir().mkpath(folderDir("Other", "Games1"));
    EXPECT_EQ(freeFolderName("Other", "Games"), "Games2");
    EXPECT_EQ(freeFolderName("Other", "Music"), "Music");
    // "A-B" + "C" would spell the record file of section A's folder "B-C".
    section("A", {"B-C"});
    section("A-B", {});
    EXPECT_EQ(freeFolderName("A-B", "C"), "C1");
}

// A socket cannot be copied, so a move to another file system leaves it behind.
bool makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || name.size() >= int(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), name.size());
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// X leaves a socket behind and so stays with its records in both places; Y is copied whole
// and then removed.
TEST_F(Edits, FolderMovesAcrossFileSystems) {
    QTemporaryDir shm("/dev/shm/quillbay-test-XXXXXX");
    if (!shm.isValid())
        GTEST_SKIP() << "no /dev/shm";
    section("A", {"X", "Y"});
    NewPage("B", shm.path() + "/B/");
    ASSERT_TRUE(makeSocket(folderDir("A", "X") + "s"));
    qbtest::writeFile(folderDir("A", "Y") + "sub/deep.bin", QByteArray(70000, 'z'));

    EXPECT_FALSE(moveFolder(1, 1, 2).complete);
    EXPECT_TRUE(exists(shm.path() + "/B/X/X.txt"));
    EXPECT_FALSE(exists(folderDir("A", "X") + "X.txt"));
    EXPECT_TRUE(exists(folderDir("A", "X") + "s"));
    EXPECT_EQ(categoryNames("A"), (QStringList{"X", "Y"}));
    EXPECT_EQ(categoryNames("B"), QStringList{"X"});
    EXPECT_EQ(desc("A", "X", "X.txt"), "X");
    EXPECT_EQ(desc("B", "X", "X.txt"), "X");

    EXPECT_TRUE(moveFolder(1, 2, 2).complete);
    EXPECT_EQ(qbtest::readFile(shm.path() + "/B/Y/sub/deep.bin"), QByteArray(70000, 'z'));
    EXPECT_FALSE(exists(folderDir("A", "Y")));
    EXPECT_EQ(categoryNames("A"), QStringList{"X"});
    EXPECT_EQ(desc("B", "Y", "Y.txt"), "Y");
}

TEST_F(Edits, MissingFolderDirectoryIsReportedAndNothingIsAdded) {
    section("A", {"X"});
    section("B", {});
    QDir(folderDir("A", "X")).removeRecursively();
    try {
        moveFolder(1, 1, 2);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "There was an error while moving the folder \"X\".  Its "
                               "corresponding folder could not be found.");
    }
    EXPECT_EQ(categoryCount("B"), 0);
    EXPECT_EQ(categoryNames("A"), QStringList{"X"});
}

TEST(FolderSpaceText, RoundsHalfToEven) {
    const struct {
        qint64 bytes;
        const char* text;
    } cases[] = {{0, "0k"},    {511, "0k"},  {512, "0k"},  {513, "1k"},
                 {1536, "2k"}, {2560, "2k"}, {2561, "3k"}, {1024 * 1024, "1024k"}};
    for (const auto& c : cases)
        EXPECT_EQ(kilobytesText(c.bytes), c.text) << c.bytes;
}

TEST_F(Edits, FolderSpaceCountsOnlyFilesDirectlyInside) {
    section("A", {"X"});
    qbtest::writeFile(folderDir("A", "X") + ".hidden", QByteArray(1000, 'a'));
    qbtest::writeFile(folderDir("A", "X") + "sub/deep", QByteArray(5000, 'a'));
    const FolderSpace space = folderSpace(folderDir("A", "X"));
    EXPECT_EQ(space.files, 2);
    EXPECT_EQ(space.bytes, 1001);
}

} // namespace
