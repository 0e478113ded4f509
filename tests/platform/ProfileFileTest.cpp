#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PlatformFakes.h"
#include "TestEnvironment.h"
#include "platform/Profile.h"

namespace {

const QByteArray kOriginal = "[Main]\nKept=before\n";

// Names left in a folder besides the given ones (temporary files of a failed write).
QStringList strays(const QString& folder, const QStringList& expected) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& e : expected)
        names.removeAll(e);
    return names;
}

void expectRefused(platform::IniFile& file, const QString& path) {
    try {
        file.writeString("Main", "New", "value");
        FAIL() << "the write was not refused";
    } catch (const platform::ProfileWriteError& e) {
        EXPECT_EQ(QString(e.what()), "Unable to write to " + path);
        EXPECT_EQ(e.message(), "Unable to write to " + path);
        EXPECT_EQ(e.path, path);
    }
}

class ProfileRefusal : public ::testing::Test {
protected:
    qbtest::TempHome home;
    QString folder = home.root() + "/lib/";
    QString path = folder + "records.ini";
    void SetUp() override { ASSERT_TRUE(qbtest::writeFile(path, kOriginal)); }
    void TearDown() override {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

// Permission bits are honoured even for root: a file or folder that nobody may write is
// read-only, as a read-only attribute would make it. A refused write leaves no stray file.
TEST_F(ProfileRefusal, ReadOnlyFileFolderMissingFolderOrADirectoryInTheWay) {
    platform::IniFile file(path);
    file.writeString("Main", "Earlier", "stays");
    {
        const std::shared_ptr<void> readOnly = qbtest::readOnlyFile(path);
        expectRefused(file, path);
    }
    EXPECT_EQ(file.readString("Main", "Earlier", ""), "stays");
    EXPECT_FALSE(file.valueExists("Main", "New"));

    ASSERT_TRUE(QDir().mkpath(folder + "adir.ini"));
    for (const QString& refused :
         {folder + "no/such/folder/x.ini", folder + "adir.ini", path, folder + "new.ini"}) {
        SCOPED_TRACE(qPrintable(refused));
        if (refused == path) { // from here on, a read-only folder
            ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        platform::IniFile other(refused);
        expectRefused(other, refused);
    }
    EXPECT_EQ(platform::IniFile(folder + "adir.ini").readString("Main", "Kept", "def"), "def");
    EXPECT_EQ(qbtest::readFile(path), kOriginal + "Earlier=stays\n");
    EXPECT_TRUE(strays(folder, {"records.ini"}).isEmpty());
}

// A full disk, simulated by a file size limit, which binds root as well.
TEST_F(ProfileRefusal, FullDiskLeavesTheOldFileWhole) {
    platform::IniFile file(path);
    {
        const std::shared_ptr<void> full = qbtest::fullFileSystem();
        expectRefused(file, path);
    }
    EXPECT_EQ(qbtest::readFile(path), kOriginal);
    EXPECT_FALSE(file.valueExists("Main", "New")); // the cached parse does not keep it
    EXPECT_TRUE(strays(folder, {"records.ini"}).isEmpty());
    file.writeString("Main", "New", "fits now");
    EXPECT_EQ(file.readString("Main", "New", ""), "fits now");
}

TEST(ProfileFile, KeepsModeAndWritesThroughSymbolicLinks) {
    qbtest::TempHome home;
    const QString real = home.file("real.ini");
    const QString link = home.file("link.ini");
    ASSERT_TRUE(qbtest::writeFile(real, kOriginal));
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(real, link));
    platform::IniFile(link).writeString("Main", "Via", "link");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(qbtest::readFile(real), kOriginal + "Via=link\n");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(ProfileFile, FileNamesResolveWithoutCase) {
    qbtest::TempHome home;
    platform::IniFile(home.file("dlMain.ini")).writeString("Main", "FirstRun", "0");
    EXPECT_EQ(platform::IniFile(home.file("dlmain.ini")).readString("main", "firstrun", ""), "0");
    platform::IniFile(home.file("DLMAIN.INI")).writeString("Main", "ViewStyle", "2");
    EXPECT_EQ(QDir(home.folder()).entryList(QDir::Files), QStringList({"dlMain.ini"}));
    EXPECT_EQ(qbtest::readFile(home.file("dlMain.ini")), "[Main]\nFirstRun=0\nViewStyle=2\n");
    EXPECT_EQ(platform::profile::resolvePath(home.file("DlMaIn.InI")), home.file("dlMain.ini"));
    // A name that matches nothing stays as given, and a first write creates it so.
    EXPECT_EQ(platform::profile::resolvePath(home.file("Headers.ini")), home.file("Headers.ini"));
}

// Every access sees a change made outside, however it was made, one after the other.
TEST(ProfileFile, EveryReadSeesAChangeMadeOutside) {
    qbtest::TempHome home;
    const QString path = home.file("shared.ini");
    const QByteArray native = QFile::encodeName(path);
    ASSERT_TRUE(qbtest::writeFile(path, "[S]\nK=1\n"));
    platform::IniFile file(path);
    ASSERT_EQ(file.readString("S", "K", ""), "1");
    struct stat before {};

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("L=3\n");
    f.close();
    EXPECT_EQ(file.readString("S", "L", ""), "3") << "an in-place change of size";

    ::stat(native.constData(), &before);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(6);
    f.write("9");
    f.close();
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    times[1].tv_nsec = (times[1].tv_nsec + 1) % 1000000000;
    ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
    EXPECT_EQ(file.readString("S", "K", ""), "9") << "an in-place change one nanosecond later";

    // Same size and modification time: only the inode tells.
    ::stat(native.constData(), &before);
    const QByteArray other = QFile::encodeName(home.file("other.tmp"));
    ASSERT_TRUE(qbtest::writeFile(home.file("other.tmp"), "[S]\nK=2\nL=3\n"));
    const struct timespec same[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, other.constData(), same, 0), 0);
    ASSERT_EQ(::rename(other.constData(), native.constData()), 0);
    EXPECT_EQ(file.readString("S", "K", ""), "2") << "a file replaced by a rename";

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(file.readString("S", "K", "gone"), "gone");
    // ...and a write after it starts from nothing, not from the cached parse.
    file.writeString("T", "X", "1");
    EXPECT_EQ(qbtest::readFile(path), "[T]\nX=1\n");
}

} // namespace
