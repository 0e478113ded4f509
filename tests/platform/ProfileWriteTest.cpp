#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

#include "TestEnvironment.h"
#include "platform/Profile.h"

namespace {

class ProfileWrite : public ::testing::Test {
protected:
    qbtest::TempHome home;
    QString path = home.file("edit.ini");
};

TEST_F(ProfileWrite, ChangesOnlyTheLineItTouches) {
    const QByteArray before = "; settings kept by hand\r\n"
                              "[Main]\r\n"
                              "  ViewStyle = 3   \r\n"
                              "FirstRun=1\r\n"
                              "\r\n"
                              "odd line without equals\r\n"
                              "[ToolBar]\r\n"
                              "New=1\r\n"
                              "\r\n"
                              "[Last]\r\n"
                              "Tail=no final line break";
    ASSERT_TRUE(qbtest::writeFile(path, before));
    platform::IniFile file(path);

    file.writeString("main", "viewstyle", "1");
    QByteArray expected = before;
    expected.replace("  ViewStyle = 3   \r\n", "ViewStyle=1\r\n");
    EXPECT_EQ(qbtest::readFile(path), expected);

    // A new key goes after the section's last line, before the blank line that ends it.
    file.writeBool("ToolBar", "Help", false);
    expected.replace("New=1\r\n", "New=1\r\nHelp=0\r\n");
    EXPECT_EQ(qbtest::readFile(path), expected);

    // A new key at the end of a file without a final line break, then a new section.
    file.writeInteger("Last", "Count", -5);
    expected.replace("Tail=no final line break", "Tail=no final line break\r\nCount=-5\r\n");
    EXPECT_EQ(qbtest::readFile(path), expected);
    file.writeString("New Section", "Key", "v");
    expected += "[New Section]\r\nKey=v\r\n";
    EXPECT_EQ(qbtest::readFile(path), expected);
}

// Deleting from a missing file creates nothing; a write creates it, with Unix line breaks.
TEST_F(ProfileWrite, CreatesAMissingFileOnlyToWriteWithUnixLineBreaks) {
    platform::IniFile file(path);
    file.deleteKey("S", "K");
    file.eraseSection("S");
    EXPECT_FALSE(QFileInfo::exists(path));
    file.writeString("Main", "A", "1");
    file.writeString("Main", "B", "2");
    file.writeInt64("Sizes", "Big", qint64(5) << 32);
    file.writeBool("Sizes", "On", true);
    file.writeBool("Sizes", "Off", false);
    EXPECT_EQ(qbtest::readFile(path), "[Main]\nA=1\nB=2\n[Sizes]\nBig=21474836480\nOn=1\nOff=0\n");
    EXPECT_EQ(file.readInt64("Sizes", "Big", 0), qint64(5) << 32);
    EXPECT_EQ(file.readInteger("Sizes", "Big", -1), -1); // does not fit an int
}

TEST_F(ProfileWrite, LineBreaksInAValueAreWrittenAsBlanks) {
    platform::IniFile file(path);
    // A clicked link's description must not be able to add keys or sections.
    file.writeString("setup.exe", "Desc", "line one\r\n[Evil]\nDelete=1\rend");
    EXPECT_EQ(file.readString("setup.exe", "Desc", ""), "line one  [Evil] Delete=1 end");
    EXPECT_EQ(file.readSections(), QStringList({"setup.exe"}));
    EXPECT_EQ(file.readSection("setup.exe"), QStringList({"Desc"}));
    // Names too.
    file.writeString("a\nb", "k\r\n=", "v");
    EXPECT_EQ(file.readSections(), QStringList({"setup.exe", "a b"}));
}

TEST_F(ProfileWrite, KeepsTheStoredSpellingAndTheFirstDuplicate) {
    ASSERT_TRUE(qbtest::writeFile(path, "[Download]\nOpenwhen=0\nOpenWhen=9\n[download]\nX=1\n"));
    platform::IniFile file(path);
    file.writeInteger("DOWNLOAD", "OpenWhen", 1);
    EXPECT_EQ(qbtest::readFile(path), "[Download]\nOpenwhen=1\nOpenWhen=9\n[download]\nX=1\n");
    EXPECT_EQ(file.readInteger("download", "openwhen", -1), 1);
}

TEST_F(ProfileWrite, WritingTheSameValueLeavesTheFileUntouched) {
    platform::IniFile file(path);
    file.writeString("S", "K", "v");
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
    file.writeString("s", "k", "v");
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino); // not replaced
    file.writeString("S", "K", "w");
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
}

TEST_F(ProfileWrite, DeleteKeyAndEraseSection) {
    ASSERT_TRUE(qbtest::writeFile(path, "[A]\nK=1\nL=2\nk=3\n[B]\nK=4\n[a]\nK=5\n[C]\nM=6\n"));
    platform::IniFile file(path);
    file.deleteKey("a", "K"); // every K of the first [A]
    EXPECT_EQ(qbtest::readFile(path), "[A]\nL=2\n[B]\nK=4\n[a]\nK=5\n[C]\nM=6\n");
    file.eraseSection("A"); // every section of that name
    EXPECT_EQ(qbtest::readFile(path), "[B]\nK=4\n[C]\nM=6\n");
    EXPECT_FALSE(file.valueExists("A", "L"));
    file.deleteKey("Missing", "K");
    file.eraseSection("Missing");
    EXPECT_EQ(qbtest::readFile(path), "[B]\nK=4\n[C]\nM=6\n");
}

TEST_F(ProfileWrite, AnUpdateWritesAllItsKeysInOneReplacement) {
    platform::IniFile file(path);
    file.update([](platform::IniContent& c) {
        c.writeInteger("Main", "NumHeads", c.readInteger("Main", "NumHeads", 0) + 1);
        const int n = c.readInteger("Main", "NumHeads", 0);
        c.writeString(QString("Header%1").arg(n), "Name", "Programs");
    });
    EXPECT_EQ(qbtest::readFile(path), "[Main]\nNumHeads=1\n[Header1]\nName=Programs\n");
    // An exception inside the update leaves the file as it was.
    EXPECT_THROW(file.update([](platform::IniContent& c) {
        c.writeString("Main", "NumHeads", "2");
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(file.readInteger("Main", "NumHeads", 0), 1);
}

} // namespace
