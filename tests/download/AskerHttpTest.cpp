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
using qbtest::FileServerOptions;
using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

const QByteArray kBody = qbtest::randomBytes(5000, 7);

QString completeNotice(const QString& name) {
    return "Download Complete for " + name +
           "\r\rThis file has been placed in the following area:\r\rSection: "
           "Programs\rFolder: Utilities";
}

TEST(AskerHttp, NoLocalFileDownloadsTheWholeFileWithoutRangeAndFilesItsRecord) {
    AskerFixture f;
    f.boxes.answer(platform::IDOK);
    f.openServed(kBody, {}, "/pub/tool.bin");
    f.press();

    EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
    const QList<QStringList> requests = qbtest::requestLines(f.server());
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].value(0), "HEAD /pub/tool.bin HTTP/1.0");
    EXPECT_EQ(requests[1].value(0), "GET /pub/tool.bin HTTP/1.0");
    EXPECT_TRUE(requests[1].filter(QRegularExpression("^Range:")).isEmpty());
    ASSERT_EQ(f.boxes.texts(), QStringList({completeNotice("tool.bin")}));
    EXPECT_TRUE(f.logHas("Received 5000 bytes"));
    EXPECT_TRUE(f.logHas("Quillbay:  End Download"));
    EXPECT_FALSE(f.logHas("Quillbay:  Starting download at byte 0"));
    EXPECT_FALSE(f.dialog->isDownloading());
    EXPECT_TRUE(f.dialog->Button2->isEnabled());
    EXPECT_TRUE(f.dialog->edtName->isEnabled());
    EXPECT_EQ(f.dialog->lblETA->text(), "Complete");
    EXPECT_EQ(f.dialog->lblFileSize->text(), "5000 bytes");
    EXPECT_EQ(f.dialog->dg->value(), 5000);

    const library::FileRecord record(f.recordFile(), "tool.bin");
    EXPECT_EQ(record.readString(library::RecordKey::Source), f.server().url("/pub/tool.bin"));
    EXPECT_EQ(record.readString(library::RecordKey::Desc), "A test download");
    EXPECT_EQ(record.readString(library::RecordKey::DateDownloaded), platform::todayStamp());
}

TEST(AskerHttp, AbortDuringTheGetKeepsThePartAndAResumeCompletesItByteForByte) {
    AskerFixture f;
    FileServerOptions options;
    options.stallAfter = 2000;
    TfrmAsker* dialog = f.openServed(kBody, options);
    dialog->cbPromptDone->setChecked(false);
    f.abortAt(2000);
    f.press();

    EXPECT_TRUE(f.logHas("Failed : 404 Connection aborted on request"));
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_TRUE(dialog->Button2->isEnabled());
    const QString path = f.folderDir() + "tool.bin";
    EXPECT_EQ(qbtest::readFile(path), kBody.left(2000));

    f.press();
    EXPECT_TRUE(f.logHas("Quillbay:  Starting download at byte 2000"));
    const QList<QStringList> requests = qbtest::requestLines(f.server());
    ASSERT_EQ(requests.size(), 4);
    EXPECT_TRUE(requests[3].contains("Range: bytes=2000-"));
    EXPECT_EQ(qbtest::readFile(path), kBody);
    EXPECT_EQ(dialog->lblETA->text(), "Complete");
    EXPECT_FALSE(dialog->isDownloading());
}

TEST(AskerHttp, APartialLocalFileResumesFromItsSize) {
    AskerFixture f;
    ASSERT_TRUE(qbtest::writeFile(f.folderDir() + "tool.bin", kBody.left(1000)));
    TfrmAsker* dialog = f.openServed(kBody);
    dialog->cbPromptDone->setChecked(false);
    qint64 maximumAtStart = -1;
    qint64 valueAtStart = -1;
    qbtest::whenTrue(
        dialog, [dialog] { return dialog->stats().sizeKnown(); },
        [&] {
            maximumAtStart = dialog->stats().maximum();
            valueAtStart = dialog->stats().value();
        });
    f.press();

    EXPECT_TRUE(f.logHas("Quillbay:  Starting download at byte 1000"));
    const QList<QStringList> requests = qbtest::requestLines(f.server());
    ASSERT_EQ(requests.size(), 2);
    EXPECT_TRUE(requests[1].contains("Range: bytes=1000-"));
    EXPECT_EQ(maximumAtStart, 5000);
    EXPECT_GE(valueAtStart, 1000);
    EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
    EXPECT_TRUE(f.logHas("Received 5000 bytes"));
}

TEST(AskerHttp, ALocationRestartsTheDownloadAtTheNewUrl) {
    for (const bool relative : {false, true}) {
        SCOPED_TRACE(relative ? "relative Location" : "absolute Location");
        AskerFixture f;
        ScriptedServer mirror(qbtest::fileServer(kBody));
        const QByteArray location =
            relative ? QByteArray("/mirror/tool.bin") : mirror.url("/mirror/tool.bin").toLatin1();
        // The old path redirects; on the same server the new path serves the file.
        ScriptedServer origin([location](ScriptedConnection& c) {
            if (c.readRequestHeader().contains(" /old/"))
                c.send("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n");
        });
        ScriptedServer sameHost([location](ScriptedConnection& c) {
            const QByteArray request = c.readRequestHeader();
            if (request.contains(" /old/")) {
                c.send("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n");
                return;
            }
            c.send("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" +
                   (request.startsWith("HEAD") ? QByteArray() : kBody));
        });
        ScriptedServer& start = relative ? sameHost : origin;
        const QString newUrl = relative ? sameHost.url("/mirror/tool.bin") : QString(location);

        TfrmAsker* dialog = f.open(start.url("/old/tool.bin"));
        dialog->cbPromptDone->setChecked(false);
        f.press();
        // The first attempt ends with the probe; the restart comes from the redirect timer.
        ASSERT_TRUE(f.waitUntilIdle());
        EXPECT_TRUE(f.logHas("Quillbay is redirecting to: " + newUrl))
            << f.log().join('\n').toStdString();
        EXPECT_EQ(dialog->edtSource->currentText(), newUrl);
        EXPECT_EQ(dialog->DownloadURL, newUrl);
        EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
        EXPECT_EQ(
            library::FileRecord(f.recordFile(), "tool.bin").readString(library::RecordKey::Source),
            newUrl);
        EXPECT_TRUE(f.logHas("Received 5000 bytes"));
    }
}

TEST(AskerHttp, AFailedProbeShowsTheServerResponseAndReturnsToIdle) {
    AskerFixture f;
    ScriptedServer server([](ScriptedConnection& c) {
        c.readRequestHeader();
        c.send("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n");
    });
    f.boxes.answer(platform::IDOK);
    TfrmAsker* dialog = f.open(server.url("/gone.zip"));
    f.press();
    ASSERT_EQ(f.boxes.texts(),
              QStringList({"Download Failed\r\rServer Response : 404 \"Not Found\""}));
    EXPECT_TRUE(f.logHas("Failed : 404 Not Found"));
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_TRUE(dialog->edtName->isEnabled());
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_FALSE(QFileInfo::exists(f.folderDir() + "gone.zip"));
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

        EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
        EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice("tool.bin")}));
        EXPECT_FALSE(dialog->isDownloading());
        EXPECT_EQ(dialog->stats().value(), kBody.size());
        EXPECT_LE(dialog->dg->value(), dialog->dg->maximum());
        EXPECT_FALSE(dialog->dg->isIndeterminate());
        const QString log = f.log().join('\n');
        EXPECT_EQ(log.contains("the bytes beyond it are not part of the document"), c.extra > 0);
        EXPECT_EQ(log.contains("Content-Length is not a decimal number"),
                  !c.contentLength.isEmpty());
        EXPECT_TRUE(f.logHas("Received 5000 bytes"));
        EXPECT_EQ(dialog->lblFileSize->text(), "5000 bytes");
        EXPECT_EQ(dialog->lblETA->text(), "Complete");
        EXPECT_EQ(activityShown, !c.announce || !c.contentLength.isEmpty());
    }
}

TEST(AskerHttp, ClosingWhileBusyIsRefusedUntilAbort) {
    AskerFixture f;
    FileServerOptions options;
    options.stallAfter = 1500;
    TfrmAsker* dialog = f.openServed(kBody, options);
    f.boxes.answer(platform::IDOK);
    bool stayedOpen = false;
    qbtest::whenTrue(
        dialog, [dialog] { return dialog->stats().value() >= 1500; },
        [&, dialog] {
            dialog->close();
            stayedOpen = dialog->isVisible();
            dialog->cmdOK->click();
        });
    f.press();

    ASSERT_EQ(f.boxes.texts(),
              QStringList({"Quillbay is currently busy downloading a file.\r\rIf you would like "
                           "to cancel the download and close this window you must first select "
                           "the button labeled \"Abort\"."}));
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_TRUE(dialog->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.dialog.isNull());
}

TEST(AskerHttp, AbortWhileARedirectWaitsStopsTheRestart) {
    AskerFixture f;
    ScriptedServer mirror(qbtest::fileServer(kBody));
    const QByteArray location = mirror.url("/tool.bin").toLatin1();
    ScriptedServer origin([location](ScriptedConnection& c) {
        c.readRequestHeader();
        c.send("HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n");
    });
    TfrmAsker* dialog = f.open(origin.url("/old/tool.bin"));
    f.press();
    ASSERT_TRUE(dialog->isDownloading());
    ASSERT_TRUE(dialog->tmrRedirect->isActive());
    f.press(); // Abort
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_FALSE(dialog->tmrRedirect->isActive());
    EXPECT_EQ(mirror.connectionCount(), 1); // the probe the client followed, nothing more
}

// A dialog closed while the transfer is still on the stack, by the user right after Abort or
// by the auto-exit at the end, is freed only once the transfer has returned.
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
        if (!autoExit)
            qbtest::whenTrue(
                dialog, [dialog] { return dialog->stats().value() >= 1000; },
                [&, dialog] {
                    dialog->cmdOK->click();
                    closed = dialog->close();
                });
        f.press();
        ASSERT_TRUE(closed);
        ASSERT_FALSE(f.dialog.isNull());
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(f.logHas("Failed : 404 Connection aborted on request"), !autoExit);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(f.dialog.isNull());
        EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"),
                  autoExit ? kBody : kBody.left(1000));
    }
}

TEST(AskerHttp, OpenImmediatelyOpensTheFinishedFileButNotAnAbortedOne) {
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "aborted" : "finished");
        AskerFixture f;
        FileServerOptions options;
        options.stallAfter = abort ? 1000 : -1;
        TfrmAsker* dialog = f.openServed(kBody, options);
        dialog->cbOpenWhen->setCurrentIndex(1);
        bool openedDuringTransfer = false;
        if (abort) {
            dialog->cbPromptDone->setChecked(false);
            f.abortAt(1000);
        } else {
            // The notice shows inside the transfer: the file is not open yet then.
            f.boxes.answer(platform::IDOK);
            f.boxes.onBox([&](const platform::MessageBoxRequest&) {
                openedDuringTransfer = !f.home.shellLog().isEmpty();
            });
        }
        f.press();

        const QString path = f.folderDir() + "tool.bin";
        const library::FileRecord record(f.recordFile(), "tool.bin");
        EXPECT_FALSE(openedDuringTransfer);
        if (abort) {
            EXPECT_TRUE(f.home.shellLog().isEmpty());
            EXPECT_EQ(record.readString(library::RecordKey::LastOpened), "Never");
        } else {
            EXPECT_EQ(f.home.shellLog(), QStringList({"open\t" + path}));
            EXPECT_EQ(record.readString(library::RecordKey::LastOpened), platform::todayStamp());
        }
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

    const QString path = f.folderDir() + "my tool.bin";
    EXPECT_EQ(f.home.shellLog(), QStringList({"open\t/opt/scanner/scan\t\"" + path + "\""}));
    EXPECT_EQ(library::FileRecord(f.recordFile(), "my tool.bin")
                  .readString(library::RecordKey::LastScanned),
              platform::todayStamp());
    EXPECT_EQ(library::FileRecord(f.recordFile(), "my tool.bin")
                  .readString(library::RecordKey::LastOpened),
              "Never");
}

TEST(AskerHttp, AnEmptyFileIsCompleteWhenTheAnswerEnds) {
    AskerFixture f;
    TfrmAsker* dialog = f.openServed(QByteArray(), {}, "/empty.txt");
    f.boxes.answer(platform::IDOK);
    f.press();
    EXPECT_TRUE(QFileInfo::exists(f.folderDir() + "empty.txt"));
    EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice("empty.txt")}));
    EXPECT_FALSE(dialog->isDownloading());
}

} // namespace
