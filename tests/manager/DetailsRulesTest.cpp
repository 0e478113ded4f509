#include <gtest/gtest.h>

#include "LibraryFixture.h"
#include "manager/DetailsRules.h"

namespace {

using manager::SourceAction;

TEST(DetailsRules, CountdownFromTheDownloadOrTheRebaseDay) {
    const QDate today(2026, 6, 15);
    const auto stamp = [&](int daysBack) {
        return platform::formatShortDate(today.addDays(-daysBack));
    };
    struct Case {
        const char* what;
        QString downloaded, alter;
        int days;
        QString shown;
        bool due;
    } cases[] = {
        {"ten days into thirty", stamp(10), "", 30, "20", false},
        {"ten days into ten", stamp(10), "", 10, "00", true},
        {"ten days into five", stamp(10), "", 5, "00", true},
        {"rebased yesterday, seven days", stamp(400), stamp(1), 7, "6", false},
        {"no download date counts as today", "", "", 30, "30", false},
        {"zero days is due on the day", stamp(0), "", 0, "00", true},
        {"one day left", stamp(29), "", 30, "1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto left = manager::deletionCountdown(c.downloaded, c.alter, c.days, today);
        EXPECT_EQ(left.days, c.shown);
        EXPECT_EQ(left.due, c.due);
    }
    EXPECT_THROW(manager::deletionCountdown("not a date", "", 30, today), platform::DateError);
}

TEST(DetailsRules, TypedDaysRebaseOnlyWhenTheyDiffer) {
    qbtest::TempHome home;
    const QString file = home.file("A-B.ini");
    platform::IniFile ini(file);
    // Nothing stored reads "00": typing 30 writes.
    EXPECT_TRUE(manager::applyDaysRule(file, "x.zip", "30"));
    EXPECT_EQ(ini.readString("x.zip", "DeleteDays", ""), "30");
    EXPECT_EQ(ini.readString("x.zip", "AlterDeleteOn", ""), platform::todayStamp());
    // The same text writes nothing, not even the rebase day.
    ini.writeString("x.zip", "AlterDeleteOn", qbtest::daysAgo(3));
    EXPECT_FALSE(manager::applyDaysRule(file, "x.zip", "30"));
    EXPECT_EQ(ini.readString("x.zip", "AlterDeleteOn", ""), qbtest::daysAgo(3));
    // Compared as text: "030" is another value.
    EXPECT_TRUE(manager::applyDaysRule(file, "x.zip", "45"));
    EXPECT_EQ(ini.readString("x.zip", "DeleteDays", ""), "45");
    EXPECT_EQ(ini.readString("x.zip", "AlterDeleteOn", ""), platform::todayStamp());
}

TEST(DetailsRules, SourceLinksAndWhereTheyLead) {
    struct Case {
        const char* source;
        bool link;
        SourceAction click, goThere;
    } cases[] = {
        {"www.example.com/files/setup.exe", true, SourceAction::Redownload,
         SourceAction::Redownload},
        {"http://localhost/download", true, SourceAction::OpenInBrowser,
         SourceAction::OpenInBrowser},
        {"http://example.com/paper.pdf", true, SourceAction::Redownload,
         SourceAction::OpenInBrowser},
        {"ftp://example.com/pub/a.ZIP", true, SourceAction::Redownload, SourceAction::Redownload},
        // A dotted host followed by a path without a dot counts as an extension.
        {"http://www.example.com/download", true, SourceAction::Redownload,
         SourceAction::OpenInBrowser},
        {"HTTP://EXAMPLE.COM/A.EXE", false, SourceAction::Redownload, SourceAction::Redownload},
        {"Click here to edit", false, SourceAction::OpenInBrowser, SourceAction::OpenInBrowser},
        {"C:\\dir.d\\file", false, SourceAction::OpenInBrowser, SourceAction::OpenInBrowser},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(manager::looksLikeAddress(c.source), c.link);
        EXPECT_EQ(manager::sourceClickAction(c.source), c.click);
        EXPECT_EQ(manager::goThereAction(c.source), c.goThere);
    }
    const auto r = manager::redownloadOf("ftp://host/pub/tool.zip");
    EXPECT_EQ(r.protocol, "ftp");
    EXPECT_EQ(r.fileName, "tool.zip");
    EXPECT_EQ(r.directory, "ftp://host/pub/");
    EXPECT_EQ(manager::redownloadOf("www.a.com/x/setup.exe").protocol, "http");
}

} // namespace
