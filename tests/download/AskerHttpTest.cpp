// The download dialog driving real transfers against scripted servers on loopback.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "AskerFixture.h"
#include "library/FileRecord.h"
#include "library/Settings.h"
#include "platform/Dates.h"
#include "widgets/TProgressColumn.h"

using qbtest::AskerFixture;
using qbtest::completeNotice;
using qbtest::FileServerOptions;
using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

const QByteArray kBody = qbtest::randomBytes(5000, 7);

// The whole file without a range, its record, and "open immediately" only once the notice
// has been answered. Blanks around the typed name are trimmed: the file and record share it.
TEST(AskerHttp, NoLocalFileDownloadsTheWholeFileWithoutRangeAndFilesItsRecord) {
    AskerFixture f;
    f.boxes.answer(platform::IDOK);
    TfrmAsker* dialog = f.openServed(kBody, {}, "/pub/tool.bin");
    dialog->edtName->setText("  tool.bin \t");
    dialog->cbOpenWhen->setCurrentIndex(1);
    bool openedDuringNotice = false;
    f.boxes.onBox([&](const auto&) { openedDuringNotice = !f.home.shellLog().isEmpty(); });
    f.press();

    EXPECT_EQ(qbtest::readFile(f.path()), kBody);
    EXPECT_EQ(f.folderFiles(), QStringList({"tool.bin"}));
    EXPECT_EQ(dialog->edtName->text(), "tool.bin");
    const QList<QStringList> requests = qbtest::requestLines(f.server());
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].value(0), "HEAD /pub/tool.bin HTTP/1.0");
    EXPECT_EQ(requests[1].value(0), "GET /pub/tool.bin HTTP/1.0");
    EXPECT_TRUE(requests[1].filter(QRegularExpression("^Range:")).isEmpty());
    ASSERT_EQ(f.boxes.texts(), QStringList({completeNotice()}));
    EXPECT_FALSE(openedDuringNotice);
    EXPECT_EQ(f.home.shellLog(), QStringList({"open\t" + f.path()}));
    EXPECT_TRUE(f.logHas("Received 5000 bytes"));
    EXPECT_TRUE(f.logHas("Quillbay:  End Download"));
    EXPECT_FALSE(f.logHas("Quillbay:  Starting download at byte 0"));
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_TRUE(dialog->Button2->isEnabled());
    EXPECT_TRUE(dialog->edtName->isEnabled());
    EXPECT_EQ(dialog->lblETA->text(), "Complete");
    EXPECT_EQ(dialog->lblFileSize->text(), "5000 bytes");
    EXPECT_EQ(dialog->dg->value(), 5000);

    const library::FileRecord record(f.recordFile(), "tool.bin");
    EXPECT_EQ(record.readString(library::RecordKey::Source), f.server().url("/pub/tool.bin"));
    EXPECT_EQ(record.readString(library::RecordKey::Desc), "A test download");
    EXPECT_EQ(record.readString(library::RecordKey::DateDownloaded), platform::todayStamp());
    EXPECT_EQ(record.readString(library::RecordKey::LastOpened), platform::todayStamp());
}

// An aborted part stays, is never opened, and a second press resumes it.
TEST(AskerHttp, AbortDuringTheGetKeepsThePartAndAResumeCompletesItByteForByte) {
    AskerFixture f;
    FileServerOptions options;
    options.stallAfter = 2000;
    TfrmAsker* dialog = f.openServed(kBody, options);
    dialog->cbPromptDone->setChecked(false);
    dialog->cbOpenWhen->setCurrentIndex(1);
    f.abortAt(2000);
    f.press();

    EXPECT_TRUE(f.logHas("Failed : 404 Connection aborted on request"));
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_TRUE(dialog->Button2->isEnabled());
    EXPECT_EQ(qbtest::readFile(f.path()), kBody.left(2000));
    EXPECT_TRUE(f.home.shellLog().isEmpty());
    EXPECT_EQ(
        library::FileRecord(f.recordFile(), "tool.bin").readString(library::RecordKey::LastOpened),
        "Never");

    f.press();
    EXPECT_TRUE(f.logHas("Quillbay:  Starting download at byte 2000"));
    const QList<QStringList> requests = qbtest::requestLines(f.server());
    ASSERT_EQ(requests.size(), 4);
    EXPECT_TRUE(requests[3].contains("Range: bytes=2000-"));
    EXPECT_EQ(qbtest::readFile(f.path()), kBody);
    EXPECT_EQ(dialog->lblETA->text(), "Complete");
    EXPECT_FALSE(dialog->isDownloading());
}

// Lengths the server does not announce, or announces wrongly, still bring the whole file.
// Bytes beyond a valid Content-Length are not the document: they are dropped, and said so.
TEST(AskerHttp, UnknownWrongOrExceededLengthsStillBringEveryByte) {
    struct Case {
        const char* name;
        bool announce;
        QByteArray contentLength;
        qint64 extra;
    };
    for (const Case& c : {Case{"no Content-Length", false, {}, 0},
                          Case{"Content-Length not a number", true, "12ab", 0},
                          Case{"more bytes than announced", true, {}, 700}}) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        FileServerOptions options;
        options.announce = c.announce;
        options.contentLength = c.contentLength;
        options.extra = c.extra;
        options.holdAfter = 100;
        options.release = std::make_shared<std::atomic<bool>>(false);
        TfrmAsker* dialog = f.openServed(kBody, options);
        f.boxes.answer(platform::IDOK);
        bool activityShown = false;
        qbtest::whenTrue(
            dialog, [dialog] { return dialog->stats().value() > 0; },
            [&] {
                activityShown = dialog->dg->isIndeterminate();
                *options.release = true;
            });
        f.press();

        EXPECT_EQ(qbtest::readFile(f.path()), kBody);
        EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice()}));
        EXPECT_FALSE(dialog->isDownloading());
        EXPECT_EQ(dialog->stats().value(), kBody.size());
        EXPECT_LE(dialog->dg->value(), dialog->dg->maximum());
        EXPECT_FALSE(dialog->dg->isIndeterminate());
        const QString log = f.logText();
        EXPECT_EQ(log.contains("the bytes beyond it are not part of the document"), c.extra > 0);
        EXPECT_EQ(log.contains("Content-Length is not a decimal number"),
                  !c.contentLength.isEmpty());
        EXPECT_TRUE(f.logHas("Received 5000 bytes"));
        EXPECT_EQ(dialog->lblFileSize->text(), "5000 bytes");
        EXPECT_EQ(dialog->lblETA->text(), "Complete");
        EXPECT_EQ(activityShown, !c.announce || !c.contentLength.isEmpty());
    }
}

TEST(AskerHttp, AbortWhileARedirectWaitsStopsTheRestart) {
    AskerFixture f;
    ScriptedServer mirror(qbtest::fileServer(kBody));
    const QByteArray location = mirror.url("/tool.bin").toLatin1();
    auto origin = qbtest::httpServer([location](const QByteArray&, ScriptedConnection& c) {
        c.send(qbtest::httpResponse("302 Found", {"Location: " + location}));
    });
    TfrmAsker* dialog = f.open(origin->url("/old/tool.bin"));
    f.press();
    ASSERT_TRUE(dialog->isDownloading());
    ASSERT_TRUE(dialog->tmrRedirect->isActive());
    f.press(); // Abort
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_FALSE(dialog->tmrRedirect->isActive());
    EXPECT_EQ(mirror.connectionCount(), 1); // the probe the client followed, nothing more
}

// Closing a busy dialog is refused until Abort. A dialog closed while the transfer is still
// on the stack, by the user right after Abort or by the auto-exit, is freed only afterwards.
TEST(AskerHttp, ADialogClosedInsideTheTransferIsFreedOnlyAfterwards) {
    for (const bool autoExit : {false, true}) {
        SCOPED_TRACE(autoExit ? "auto-exit" : "closed after Abort");
        AskerFixture f;
        FileServerOptions options;
        options.stallAfter = autoExit ? -1 : 1000;
        TfrmAsker* dialog = f.openServed(kBody, options);
        dialog->cbPromptDone->setChecked(false);
        dialog->cbClose->setChecked(autoExit);
        bool closed = autoExit;
        bool closedWhileBusy = false;
        if (!autoExit) {
            f.boxes.answer(platform::IDOK);
            qbtest::whenTrue(
                dialog, [dialog] { return dialog->stats().value() >= 1000; },
                [&, dialog] {
                    closedWhileBusy = dialog->close() || !dialog->isVisible();
                    dialog->cmdOK->click();
                    closed = dialog->close();
                });
        }
        f.press();
        ASSERT_TRUE(closed);
        EXPECT_FALSE(closedWhileBusy);
        ASSERT_FALSE(f.dialog.isNull());
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(f.logHas("Failed : 404 Connection aborted on request"), !autoExit);
        const QString busy = "Quillbay is currently busy downloading a file.\r\rIf you would like "
                             "to cancel the download and close this window you must first "
                             "select the button labeled \"Abort\".";
        EXPECT_EQ(f.boxes.texts(), autoExit ? QStringList() : QStringList({busy}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(f.dialog.isNull());
        EXPECT_EQ(qbtest::readFile(f.path()), autoExit ? kBody : kBody.left(1000));
    }
}

TEST(AskerHttp, AutoScanRunsTheScannerOnTheQuotedPathAndStampsTheRecord) {
    AskerFixture f;
    Settings().writeString("VirusScanner", "CommandLine", "/opt/scanner/scan");
    Settings().writeBool("VirusScanner", "ScanWhenDone", true);
    TfrmAsker* dialog = f.openServed(kBody, {}, "/my tool.bin");
    ASSERT_TRUE(dialog->cbAutoScan->isEnabled());
    ASSERT_TRUE(dialog->cbAutoScan->isChecked());
    dialog->cbPromptDone->setChecked(false);
    f.press();

    const library::FileRecord record(f.recordFile(), "my tool.bin");
    EXPECT_EQ(f.home.shellLog(),
              QStringList({"open\t/opt/scanner/scan\t\"" + f.path("my tool.bin") + "\""}));
    EXPECT_EQ(record.readString(library::RecordKey::LastScanned), platform::todayStamp());
    EXPECT_EQ(record.readString(library::RecordKey::LastOpened), "Never");

    // Without a scanner nothing runs and nothing claims a scan.
    Settings().writeString("VirusScanner", "CommandLine", "");
    library::FileRecord(f.recordFile(), "other.exe").writeString(library::RecordKey::Desc, "y");
    dialog->VirusScan(f.path("other.exe"));
    EXPECT_EQ(library::FileRecord(f.recordFile(), "other.exe")
                  .readString(library::RecordKey::LastScanned),
              "Never");
    EXPECT_EQ(f.home.shellLog().size(), 1);
}

TEST(AskerHttp, AnEmptyFileIsCompleteWhenTheAnswerEnds) {
    AskerFixture f;
    TfrmAsker* dialog = f.openServed(QByteArray(), {}, "/empty.txt");
    f.boxes.answer(platform::IDOK);
    f.press();
    EXPECT_TRUE(QFileInfo::exists(f.path("empty.txt")));
    EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice("empty.txt")}));
    EXPECT_FALSE(dialog->isDownloading());
}

} // namespace
