#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DialogAnswerer.h"
#include "TestEnvironment.h"
#include "library/FileOperations.h"
#include "library/FileRecord.h"
#include "library/Settings.h"
#include "platform/Dates.h"

namespace {

using namespace library;
namespace K = RecordKey;

bool exists(const QString& path) {
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

TEST(DeleteQuestion, SingularAndPluralForBothWays) {
    const struct {
        QStringList names;
        bool toTrash;
        const char* text;
    } cases[] = {
        {{"setup.exe"}, true, "Are you sure you want to send setup.exe to the recycle bin?"},
        {{"setup.exe"}, false, "Are you sure you want to permanently delete setup.exe ?"},
        {{"a", "b", "c"}, true, "Are you sure you want to send these 3 files to the recycle bin?"},
        {{"a", "b"}, false, "Are you sure you want to permanently delete these 2 files ?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(deleteQuestion(c.names, c.toTrash), c.text);
}

// A folder of files with records, in a home whose trash is under its own XDG_DATA_HOME.
class Files : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString name : {"a.zip", "b.zip", "c.zip"}) {
            qbtest::writeFile(dir + name, name.toUtf8());
            FileRecord(records, name).writeString(K::Desc, name);
        }
    }
    QString trash() const { return home.root() + "/home/.local/share/Trash/files/"; }
    bool hasRecord(const QString& name) const { return FileRecord(records, name).exists(); }

    qbtest::TempHome home;
    QString dir = home.folder() + "lib/S/F/";
    QString records = home.file("S-F.ini");
    qbtest::DialogAnswerer boxes;
};

TEST_F(Files, DeletingToTheTrashErasesTheRecordsOfTheFilesGone) {
    EXPECT_EQ(deleteFiles(dir, {"a.zip", "c.zip"}, records, true), QStringList());
    EXPECT_FALSE(exists(dir + "a.zip"));
    EXPECT_EQ(qbtest::readFile(trash() + "a.zip"), "a.zip");
    EXPECT_FALSE(hasRecord("a.zip"));
    EXPECT_FALSE(hasRecord("c.zip"));
    EXPECT_TRUE(hasRecord("b.zip"));
}

TEST_F(Files, FilesThatStayKeepTheirRecordsAndAreNamed) {
    // A trash that cannot be made: nothing is deleted for good instead.
    qbtest::writeFile(home.root() + "/home/.local/share/Trash", "not a folder");
    EXPECT_EQ(deleteFiles(dir, {"a.zip", "b.zip"}, records, true), (QStringList{"a.zip", "b.zip"}));
    EXPECT_TRUE(exists(dir + "a.zip"));
    EXPECT_TRUE(hasRecord("a.zip"));
    EXPECT_TRUE(hasRecord("b.zip"));
}

TEST_F(Files, PermanentDeleteTakesTheExactNameHoweverLong) {
    const QString deep = dir + QString(120, 'd') + "/" + QString(120, 'e') + "/";
    const QString name = "st*r.zip";
    qbtest::writeFile(deep + name, "x");
    qbtest::writeFile(deep + "stAr.zip", "other");
    ASSERT_GT((deep + name).size(), 255);
    const QString deepRecords = home.file("S-Deep.ini");
    FileRecord(deepRecords, name).writeString(K::Desc, "star");
    EXPECT_EQ(deleteFiles(deep, {name}, deepRecords, false), QStringList());
    EXPECT_FALSE(exists(deep + name));
    EXPECT_TRUE(exists(deep + "stAr.zip"));
    EXPECT_FALSE(FileRecord(deepRecords, name).exists());
}

TEST_F(Files, ScanningSeveralStampsEveryRecordOfTheFolder) {
    Settings().writeString("VirusScanner", "CommandLine", "/bin/true");
    Settings().writeString("VirusScanner", "Parameters", "/quick \"a b\"");
    FileRecord(records, "gone.zip").writeString(K::Desc, "file is gone");
    scanFiles(dir, {"a.zip", "b.zip"}, records);
    for (const QString name : {"a.zip", "b.zip", "c.zip", "gone.zip"})
        EXPECT_EQ(FileRecord(records, name).readString(K::LastScanned), platform::todayStamp());
    ASSERT_EQ(home.shellLog().size(), 1);
    EXPECT_EQ(home.shellLog()[0], "open\t/bin/true\t\"" + dir + "\" \"/quick\" \"a b\"");
}

TEST_F(Files, ScanningOneStampsOnlyItsRecord) {
    Settings().writeString("VirusScanner", "CommandLine", "/bin/true");
    scanFiles(dir, {"b.zip"}, records);
    EXPECT_EQ(FileRecord(records, "b.zip").readString(K::LastScanned), platform::todayStamp());
    EXPECT_EQ(FileRecord(records, "a.zip").readString(K::LastScanned), "Never");
    EXPECT_EQ(home.shellLog(), QStringList{"open\t/bin/true\t\"" + dir + "b.zip\""});
}

TEST_F(Files, MissingScannerChangesNothingButTheStampsAndIsReported) {
    Settings().writeString("VirusScanner", "CommandLine", home.folder() + "no-such-scanner");
    qunsetenv("QUILLBAY_SHELL_LOG");
    const QByteArray before = qbtest::readFile(dir + "a.zip");
    testing::internal::CaptureStderr();
    scanFiles(dir, {"a.zip"}, records);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("no-such-scanner"), std::string::npos) << err;
    EXPECT_EQ(qbtest::readFile(dir + "a.zip"), before);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(FileRecord(records, "a.zip").readString(K::LastScanned), platform::todayStamp());
    EXPECT_EQ(FileRecord(records, "a.zip").readString(K::Desc), "a.zip");
}

// Drops into folder T of the same section, its records beside F's.
class Drops : public Files {
protected:
    DropPlace place(bool withRecords) const {
        DropPlace p{target, {}, {}, {}};
        if (withRecords)
            p = {target, targetRecords, dir, records};
        return p;
    }
    QString target = home.folder() + "lib/S/T/";
    QString targetRecords = home.file("S-T.ini");
    QString outside = home.folder() + "desktop/";
};

TEST_F(Drops, MoveCarriesTheRecordCopyLeavesIt) {
    QDir().mkpath(target);
    EXPECT_TRUE(dropFiles({dir + "a.zip"}, place(true), DropMode::Move).failed.isEmpty());
    EXPECT_FALSE(exists(dir + "a.zip"));
    EXPECT_EQ(qbtest::readFile(target + "a.zip"), "a.zip");
    EXPECT_FALSE(hasRecord("a.zip"));
    EXPECT_EQ(FileRecord(targetRecords, "a.zip").readString(K::Desc), "a.zip");

    dropFiles({dir + "b.zip"}, place(true), DropMode::Copy);
    EXPECT_TRUE(exists(dir + "b.zip"));
    EXPECT_EQ(FileRecord(records, "b.zip").readString(K::Desc), "b.zip");
    EXPECT_EQ(FileRecord(targetRecords, "b.zip").readString(K::Desc), "b.zip");
    // Keys the download dialog alone writes are not carried.
    EXPECT_EQ(FileRecord(targetRecords, "b.zip").keyValueLines().size(), 11);
}

TEST_F(Drops, AFileFromElsewhereGetsDefaultsEvenWhenANameMatches) {
    QDir().mkpath(target);
    qbtest::writeFile(outside + "a.zip", "from the desktop");
    dropFiles({outside + "a.zip"}, place(true), DropMode::Move);
    EXPECT_EQ(FileRecord(targetRecords, "a.zip").readString(K::Desc), "Click here to edit");
    EXPECT_EQ(FileRecord(targetRecords, "a.zip").readString(K::OpenPrompt), "1");
    // The current folder's own a.zip keeps its record.
    EXPECT_TRUE(hasRecord("a.zip"));
}

TEST_F(Drops, ReplaceYesNoAndCancel) {
    for (const QString name : {"a.zip", "b.zip", "c.zip"})
        qbtest::writeFile(target + name, "old " + name.toUtf8());
    FileRecord(targetRecords, "b.zip").writeString(K::Desc, "old record");
    boxes.answer(platform::IDYES).answer(platform::IDNO).answer(platform::IDCANCEL);
    const DropResult r =
        dropFiles({dir + "a.zip", dir + "b.zip", dir + "c.zip"}, place(true), DropMode::Move);
    EXPECT_TRUE(r.cancelled);
    ASSERT_EQ(boxes.boxes().size(), 3);
    EXPECT_EQ(boxes.boxes()[0].text, "This folder already contains a file called \"a.zip\".  "
                                     "Do you want to replace the existing file?");
    EXPECT_EQ(boxes.boxes()[0].caption, "Confirm File Replace");
    EXPECT_EQ(boxes.boxes()[0].defaultAnswer(), platform::IDNO);
    EXPECT_EQ(boxes.boxes()[0].icon(), unsigned(platform::MB_ICONWARNING));
    EXPECT_EQ(qbtest::readFile(target + "a.zip"), "a.zip");
    EXPECT_EQ(qbtest::readFile(target + "b.zip"), "old b.zip");
    EXPECT_EQ(FileRecord(targetRecords, "b.zip").readString(K::Desc), "old record");
    EXPECT_TRUE(exists(dir + "b.zip"));
    EXPECT_EQ(qbtest::readFile(target + "c.zip"), "old c.zip");
    EXPECT_TRUE(exists(dir + "c.zip"));
}

TEST_F(Drops, ADirectoryIsRefusedAndTheFilesGoOn) {
    QDir().mkpath(target);
    QDir().mkpath(outside + "sub");
    qbtest::writeFile(outside + "one", "1");
    qbtest::writeFile(outside + "two", "2");
    boxes.answer(platform::IDOK);
    dropFiles({outside + "one", outside + "sub", outside + "two"}, place(false), DropMode::Copy);
    EXPECT_EQ(boxes.texts(), QStringList{"Cannot add the folder \"" + outside + "sub\""});
    EXPECT_TRUE(exists(target + "one"));
    EXPECT_TRUE(exists(target + "two"));
    EXPECT_FALSE(exists(target + "sub"));
    EXPECT_FALSE(exists(targetRecords));
}

TEST_F(Drops, FailedCopyReplacesNothing) {
    qbtest::writeFile(target + "a.zip", "old");
    boxes.answer(platform::IDYES);
    const DropResult r =
        dropFiles({outside + "vanished.zip", dir + "a.zip"}, place(true), DropMode::Copy);
    EXPECT_EQ(r.failed, QStringList{outside + "vanished.zip"});
    EXPECT_EQ(qbtest::readFile(target + "a.zip"), "a.zip");
    EXPECT_EQ(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList{"a.zip"});
}

} // namespace
