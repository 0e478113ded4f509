#include <gtest/gtest.h>

#include <QDir>
#include <QMap>

#include <csignal>
#include <sys/resource.h>

#include "TestEnvironment.h"
#include "library/FileRecord.h"
#include "library/Report.h"

namespace {

using library::ReportFields;

// One folder's record file in a private home, with records made per test.
class Report : public ::testing::Test {
protected:
    QString recordFile() const { return home.file("Programs-Games.ini"); }
    void record(const QString& name, const QMap<QString, QString>& keys) {
        library::FileRecord r(recordFile(), name);
        for (auto it = keys.begin(); it != keys.end(); ++it)
            r.writeString(it.key().toUtf8().constData(), it.value());
    }
    QByteArray bytes(const ReportFields& fields, const QStringList& names) const {
        return library::reportText(fields, recordFile(), names).toUtf8();
    }

    qbtest::TempHome home;
};

constexpr ReportFields kDefaultFields{};

TEST_F(Report, DefaultFieldsGiveExactBytes) {
    record("setup.exe", {{"Source", "http://a.example/setup.exe"},
                         {"DateDownloaded", "12/1/2026"},
                         {"Desc", "Installer"}});
    record("b.zip", {{"Source", "ftp://b"}, {"DateDownloaded", "1/2/2026"}, {"Desc", "B"}});
    EXPECT_EQ(bytes(kDefaultFields, {"setup.exe", "b.zip"}),
              QByteArray("FILENAME   SOURCE                      DOWNLOADED  DESCRIPTION\r\n"
                         "\r\n"
                         "setup.exe  http://a.example/setup.exe  12/1/2026   Installer\r\n"
                         "b.zip      ftp://b                     1/2/2026    B\r\n"));
}

// The name column is the longest name plus two, but at least ten characters wide.
TEST_F(Report, NameColumnWidth) {
    struct Case {
        QStringList names;
        int nameWidth;
    } cases[] = {
        {{"abcdefghij0123456789", "x.zip"}, 22},
        {{"a.zip", "bb.exe"}, 10},
        {{"abcd.zip"}, 10},
        {{"abcde.zip"}, 11},
        // Characters, not bytes: five letters with accents are five.
        {{QString::fromUtf8("ééééé.zip"), "a"}, 11},
    };
    const ReportFields nameAndDesc{true, false, false, false, false, true};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.join(',').toStdString());
        const QStringList lines = QString::fromUtf8(bytes(nameAndDesc, c.names)).split("\r\n");
        EXPECT_EQ(lines[0], QString("FILENAME").leftJustified(c.nameWidth, ' ') + "DESCRIPTION");
        for (int i = 0; i < c.names.size(); ++i)
            EXPECT_EQ(lines[i + 2], c.names[i].leftJustified(c.nameWidth, ' ') + "----------");
    }
}

TEST_F(Report, DescriptionOnlyHoldsTheDescriptionsAlone) {
    record("a.zip", {{"Desc", "First file"}});
    record("b.zip", {{"Desc", "Second"}});
    const ReportFields descOnly{false, false, false, false, false, true};
    EXPECT_EQ(bytes(descOnly, {"a.zip", "b.zip"}),
              QByteArray("DESCRIPTION\r\n\r\nFirst file\r\nSecond\r\n"));
}

TEST_F(Report, FileWithoutRecordShowsHyphensInEveryRecordColumn) {
    record("a.zip", {{"Source", "s"}, {"Desc", "d"}});
    const ReportFields all{true, true, true, true, true, true};
    const QStringList lines = QString::fromUtf8(bytes(all, {"a.zip", "none.zip"})).split("\r\n");
    // The missing source counts as ten characters for the source column.
    EXPECT_EQ(lines[0], "FILENAME  SOURCE      DOWNLOADED  OPENED      SCANNED     DESCRIPTION");
    EXPECT_EQ(lines[3], "none.zip  ----------  ----------  ----------  ----------  ----------");
}

TEST_F(Report, EmptyFolderHasTheHeaderAndOneEmptyLine) {
    // With no source at all the source column is only as wide as its header.
    EXPECT_EQ(bytes(kDefaultFields, {}),
              QByteArray("FILENAME  SOURCEDOWNLOADED  DESCRIPTION\r\n\r\n"));
    const ReportFields nameAndSource{true, true, false, false, false, false};
    EXPECT_EQ(bytes(nameAndSource, {}), QByteArray("FILENAME  SOURCE\r\n\r\n"));
}

TEST_F(Report, OpenedFollowsSourceWhenDownloadedIsOff) {
    record("a.zip",
           {{"Source", "source"}, {"LastOpened", "Never"}, {"DateDownloaded", "1/1/2026"}});
    record("b.zip", {{"Source", "s"}, {"LastOpened", "2/2/2026"}});
    const ReportFields fields{true, true, false, true, false, false};
    EXPECT_EQ(bytes(fields, {"a.zip", "b.zip"}), QByteArray("FILENAME  SOURCE  OPENED      \r\n\r\n"
                                                            "a.zip     source  Never\r\n"
                                                            "b.zip     s       2/2/2026\r\n"));
    // Padded headers stay padded when they end the line.
    const ReportFields nameAndSource{true, true, false, false, false, false};
    EXPECT_EQ(bytes(nameAndSource, {"a.zip"}),
              QByteArray("FILENAME  SOURCE  \r\n\r\na.zip     source\r\n"));
}

TEST_F(Report, LastValueEndsTheLineUnpadded) {
    record("a.zip", {{"LastScanned", "2/3/2026"}, {"Source", "x"}});
    const ReportFields fields{true, false, false, false, true, false};
    EXPECT_EQ(bytes(fields, {"a.zip"}),
              QByteArray("FILENAME  SCANNED     \r\n\r\na.zip     2/3/2026\r\n"));
}

TEST_F(Report, TabsAndNonAsciiInADescriptionPassThroughAsUtf8) {
    record("a.zip", {{"Desc", QString::fromUtf8("Tab\there \xc3\xa9t\xc3\xa9 \xe2\x82\xac")}});
    const ReportFields fields{true, false, false, false, false, true};
    EXPECT_EQ(bytes(fields, {"a.zip"}),
              QByteArray("FILENAME  DESCRIPTION\r\n\r\na.zip     Tab\there \xc3\xa9t\xc3\xa9 "
                         "\xe2\x82\xac\r\n"));
}

TEST_F(Report, NoRecordFileMeansEveryValueMissing) {
    const ReportFields fields{true, true, false, false, false, false};
    EXPECT_EQ(library::reportText(fields, QString(), {"a"}).toUtf8(),
              QByteArray("FILENAME  SOURCE      \r\n\r\na         ----------\r\n"));
}

// ---- writing ---------------------------------------------------------------------------

TEST_F(Report, WriteReplacesAnExistingReportWhole) {
    const QString target = home.file("report.txt");
    ASSERT_TRUE(qbtest::writeFile(target, QByteArray(5000, 'o')));
    EXPECT_EQ(library::writeReportFile(target, "new\r\n"), QString());
    EXPECT_EQ(qbtest::readFile(target), QByteArray("new\r\n"));
    EXPECT_EQ(QDir(home.folder()).entryList({"report.txt*"}, QDir::Files | QDir::Hidden),
              QStringList{"report.txt"});
}

TEST_F(Report, TargetInAMissingFolderIsAnErrorNamingIt) {
    const QString target = home.file("no/such/folder/report.txt");
    const QString error = library::writeReportFile(target, "x");
    EXPECT_TRUE(error.contains(target)) << qPrintable(error);
    EXPECT_FALSE(QFile::exists(target));
}

// A write that runs out of room (the file size limit stands in for a full disk) reports
// the error and leaves the old report as it was, with no temporary file left behind.
TEST_F(Report, FailedWriteLeavesTheExistingReportUntouched) {
    const QString target = home.file("report.txt");
    ASSERT_TRUE(qbtest::writeFile(target, "old report\r\n"));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = library::writeReportFile(target, QString(100000, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(qbtest::readFile(target), QByteArray("old report\r\n"));
    EXPECT_EQ(QDir(home.folder()).entryList({"report.txt*"}, QDir::Files | QDir::Hidden),
              QStringList{"report.txt"});
}

} // namespace
