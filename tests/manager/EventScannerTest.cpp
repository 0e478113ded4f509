#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "DialogAnswerer.h"
#include "LibraryFixture.h"
#include "manager/EventScanner.h"
#include "platform/Profile.h"

namespace {

using qbtest::daysAgo;

QString notOpenedText(const QString& file) {
    return QString("Note from Quillbay: the file: \"%1\", in folder \"Games\" of section "
                   "\"Programs\" has not been opened yet.  Would you like to open it now?")
        .arg(file);
}

class EventScan : public ::testing::Test {
protected:
    void SetUp() override {
        lib.section("Programs");
        lib.folder("Programs", 0, "Games");
        Settings().writeBool("Management", "ConfirmDelete", true);
    }
    library::FileRecord record(const QString& name) {
        return lib.record("Programs", "Games", name);
    }
    QString path(const QString& name) { return lib.path("Programs", "Games", name); }
    QStringList trash() const {
        return QDir(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files").entryList(QDir::Files);
    }

    qbtest::TempLibrary lib;
};

TEST_F(EventScan, NotOpenedPromptFromThePromptDaysOn) {
    struct Case {
        const char* what;
        QMap<QString, QString> keys;
        bool asked;
    } cases[] = {
        {"exactly PromptDays back", {{"DateDownloaded", daysAgo(10)}}, true},
        {"one day less", {{"DateDownloaded", daysAgo(9)}}, false},
        {"opened once", {{"DateDownloaded", daysAgo(30)}, {"LastOpened", daysAgo(2)}}, false},
        {"the placeholder Never counts as opened",
         {{"DateDownloaded", daysAgo(30)}, {"LastOpened", "Never"}},
         false},
        {"asked before", {{"DateDownloaded", daysAgo(30)}, {"OpenPrompt", "0"}}, false},
        {"no download date", {{"Desc", "x"}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lib.file("Programs", "Games", "a.zip");
        record("a.zip").erase();
        lib.writeRecord("Programs", "Games", "a.zip", c.keys);
        qbtest::DialogAnswerer boxes;
        if (c.asked)
            boxes.answer(platform::IDNO);
        manager::scanforevents();
        EXPECT_EQ(boxes.texts(), c.asked ? QStringList{notOpenedText("a.zip")} : QStringList{});
    }
}

TEST_F(EventScan, YesOpensAndStampsNoNeverAsksAgain) {
    lib.file("Programs", "Games", "a.zip");
    lib.file("Programs", "Games", "b.zip");
    lib.writeRecord("Programs", "Games", "a.zip", {{"DateDownloaded", daysAgo(20)}});
    lib.writeRecord("Programs", "Games", "b.zip", {{"DateDownloaded", daysAgo(20)}});
    {
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDYES).answer(platform::IDNO);
        manager::scanforevents();
        EXPECT_EQ(boxes.texts(), QStringList({notOpenedText("a.zip"), notOpenedText("b.zip")}));
        EXPECT_EQ(boxes.boxes()[0].buttons(), unsigned(platform::MB_YESNO));
    }
    EXPECT_EQ(lib.home.shellLog(), QStringList({"open\t" + path("a.zip")}));
    EXPECT_EQ(record("a.zip").readString("LastOpened"), platform::todayStamp());
    EXPECT_EQ(record("b.zip").readString("OpenPrompt"), "0");
    qbtest::DialogAnswerer quiet; // the next start asks nothing
    manager::scanforevents();
    EXPECT_TRUE(quiet.texts().isEmpty());
}

TEST_F(EventScan, VanishedFilesLoseTheirRecordsAfterTheirFirstDay) {
    lib.writeRecord("Programs", "Games", "today.zip", {{"DateDownloaded", daysAgo(0)}});
    lib.writeRecord("Programs", "Games", "yesterday.zip", {{"DateDownloaded", daysAgo(1)}});
    lib.writeRecord("Programs", "Games", "undated.zip", {{"Desc", "d"}});
    lib.writeRecord("Programs", "Games", "emptydate.zip", {{"DateDownloaded", ""}});
    lib.file("Programs", "Games", "here.zip");
    lib.writeRecord("Programs", "Games", "here.zip", {{"DateDownloaded", ""}, {"Desc", "kept"}});
    qbtest::DialogAnswerer boxes;
    manager::scanforevents();
    EXPECT_EQ(library::FileRecord::fileNames(record("x").recordFile()),
              QStringList({"today.zip", "here.zip"}));
    // An empty download date is dropped, the rest stays.
    platform::IniFile ini(record("x").recordFile());
    EXPECT_FALSE(ini.valueExists("here.zip", "DateDownloaded"));
    EXPECT_EQ(record("here.zip").readString("Desc"), "kept");
}

TEST_F(EventScan, ScheduledDeletion) {
    const QString form1 = "Quillbay has scheduled the following file for deletion today: "
                          "\"%1\".  Do you wish to proceed with its removal?";
    const QString form2 = "The following file is due for deletion: %1.  Do you wish to proceed "
                          "with its removal?";
    // Every file was opened once, so that only the deletion can ask.
    struct Case {
        const char* what;
        QString downloaded, rebased;
        bool marked;
        const char* days; // empty: no DeleteDays key
        QString question; // empty: not due or not asked
        int answer;
        bool kept; // the file and its record
    } cases[] = {
        {"zero days is due on the download day", daysAgo(0), "", true, "0", form1, platform::IDYES,
         false},
        {"rebased today is not due for thirty days", daysAgo(90), daysAgo(0), true, "30", "", 0,
         true},
        {"rebased thirty days ago is due, asked in the second form", daysAgo(90), daysAgo(30), true,
         "30", form2, platform::IDYES, false},
        {"due but not marked for deletion", daysAgo(90), "", false, "30", "", 0, true},
        {"No keeps the file and cancels for good", daysAgo(40), "", true, "", form1, platform::IDNO,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lib.file("Programs", "Games", "f.exe");
        record("f.exe").erase();
        QMap<QString, QString> keys{{"DateDownloaded", c.downloaded}, {"LastOpened", "x"}};
        if (!c.rebased.isEmpty())
            keys["AlterDeleteOn"] = c.rebased;
        if (c.marked)
            keys["Delete"] = "1";
        if (*c.days)
            keys["DeleteDays"] = c.days;
        lib.writeRecord("Programs", "Games", "f.exe", keys);
        qbtest::DialogAnswerer boxes;
        if (!c.question.isEmpty())
            boxes.answer(c.answer);
        int refreshes = 0;
        QStringList refused;
        manager::scanforevents(
            {[&] { ++refreshes; },
             [&](const QString& dir, const QString& name) { refused << dir + name; }});
        EXPECT_EQ(boxes.texts(),
                  c.question.isEmpty() ? QStringList{} : QStringList{c.question.arg("f.exe")});
        EXPECT_EQ(QFileInfo::exists(path("f.exe")), c.kept);
        EXPECT_EQ(record("f.exe").exists(), c.kept);
        EXPECT_EQ(refreshes, c.kept ? 0 : 1);
        if (c.answer == platform::IDNO) {
            EXPECT_EQ(record("f.exe").readString("Delete"), "0");
            EXPECT_EQ(refused, QStringList{path("f.exe")});
        }
    }
}

TEST_F(EventScan, UnconfirmedDeletionIsSilentAndKeepsTheRecordTrashOrForGood) {
    for (const int type : {0, 1}) {
        SCOPED_TRACE(type);
        Settings().writeBool("Management", "ConfirmDelete", false);
        Settings().writeInteger("Management", "DeleteType", type);
        QDir(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash").removeRecursively();
        lib.file("Programs", "Games", "old.bin");
        lib.writeRecord("Programs", "Games", "old.bin",
                        {{"DateDownloaded", daysAgo(31)}, {"Delete", "1"}, {"LastOpened", "x"}});
        qbtest::DialogAnswerer boxes;
        manager::scanforevents();
        EXPECT_TRUE(boxes.texts().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(path("old.bin")));
        EXPECT_TRUE(record("old.bin").exists());
        EXPECT_EQ(trash(), type == 0 ? QStringList{"old.bin"} : QStringList{});
        // The next start erases the record of the vanished file.
        manager::scanforevents();
        EXPECT_FALSE(record("old.bin").exists());
    }
}

TEST_F(EventScan, BadDatesEndTheRightPartOfTheWalk) {
    // A bad date in the not-opened check ends that check only; check B still runs and ends
    // the walk at the same date: the records after it are left alone.
    lib.writeRecord("Programs", "Games", "bad.zip", {{"DateDownloaded", "31/31/31x"}});
    lib.writeRecord("Programs", "Games", "later.zip", {{"Desc", "gone"}});
    qbtest::DialogAnswerer boxes;
    manager::scanforevents();
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(record("bad.zip").exists());
    EXPECT_TRUE(record("later.zip").exists());
}

TEST_F(EventScan, NeverReachesOutsideTheFolder) {
    // Hand-edited record names that would lead out of the folder directory.
    const QString outside = lib.home.folder() + "lib/Programs/keep.txt";
    qbtest::writeFile(outside, "x");
    for (const QString& name : {QString("../keep.txt"), QString(".."), QString(".")})
        lib.writeRecord("Programs", "Games", name,
                        {{"DateDownloaded", daysAgo(50)}, {"Delete", "1"}, {"LastOpened", "x"}});
    // A name with wildcards names only itself.
    lib.file("Programs", "Games", "a*.zip");
    lib.file("Programs", "Games", "abc.zip");
    lib.writeRecord("Programs", "Games", "a*.zip",
                    {{"DateDownloaded", daysAgo(50)}, {"Delete", "1"}, {"LastOpened", "x"}});
    Settings().writeBool("Management", "ConfirmDelete", false);
    Settings().writeInteger("Management", "DeleteType", 1);
    qbtest::DialogAnswerer boxes;
    manager::scanforevents();
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_TRUE(QFileInfo::exists(path("abc.zip")));
    EXPECT_FALSE(QFileInfo::exists(path("a*.zip")));
    EXPECT_TRUE(QDir(lib.sectionDir("Programs") + "Games").exists());
    EXPECT_TRUE(record("../keep.txt").exists());
}

TEST_F(EventScan, ASharedRecordFileKeepsTheRecordsOfBothFolders) {
    // "A-B" + "C" and "A" + "B-C" share the record file A-B-C.ini.
    lib.section("A-B");
    lib.folder("A-B", 1, "C");
    lib.section("A");
    lib.folder("A", 2, "B-C");
    ASSERT_EQ(library::recordFilePath("A-B", "C"), library::recordFilePath("A", "B-C"));
    lib.file("A-B", "C", "one.zip");
    lib.file("A", "B-C", "two.zip");
    lib.writeRecord("A-B", "C", "one.zip", {{"DateDownloaded", daysAgo(3)}, {"LastOpened", "x"}});
    lib.writeRecord("A", "B-C", "two.zip", {{"DateDownloaded", daysAgo(3)}, {"LastOpened", "x"}});
    qbtest::DialogAnswerer boxes;
    manager::scanforevents();
    EXPECT_EQ(library::FileRecord::fileNames(library::recordFilePath("A", "B-C")),
              QStringList({"one.zip", "two.zip"}));
}

TEST(EventScanEmpty, SectionsWithoutFoldersTouchNoFolderFile) {
    qbtest::TempLibrary lib;
    lib.section("Empty");
    // A stray record file of a folder the section does not list stays unread and unchanged.
    const QString stray = library::recordFilePath("Empty", "Ghost");
    qbtest::writeFile(stray, "[gone.zip]\nDateDownloaded=1/1/2000\n");
    qbtest::DialogAnswerer boxes;
    manager::scanforevents();
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(qbtest::readFile(stray), "[gone.zip]\nDateDownloaded=1/1/2000\n");
}

} // namespace
