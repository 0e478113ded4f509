// The download dialog never reports a broken download as complete and never destroys a
// file on disk before its replacement has arrived whole, against scripted servers.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <utility>

#include "AskerFixture.h"
#include "FtpTestServer.h"
#include "library/FileRecord.h"
#include "library/Settings.h"
#include "platform/MessageLoop.h"

using ftptest::FtpSession;
using ftptest::FtpTestServer;
using qbtest::AskerFixture;
using qbtest::completeNotice;
using qbtest::contentLength;
using qbtest::httpResponse;
using qbtest::ScriptedConnection;

namespace {

const QByteArray kBody = qbtest::randomBytes(5000, 31);

bool isHead(const QByteArray& request) {
    return request.startsWith("HEAD");
}

// Redirects lead on to another server or FTP: an earlier hop's restart never fires into the
// last transfer, an end failure shows once, source, record and size are the last answer's.
TEST(AskerSoundRedirects, ChainsEndWhereTheyLead) {
    enum End { Here, Elsewhere, Ftp, Missing };
    struct Case {
        const char* name;
        End end;            // where /b leads
        bool locationOnGet; // the probe is answered, only the GET is redirected (to ftp)
    };
    const Case cases[] = {
        {"http -> http -> file", Here, false},   {"http -> http -> other server", Elsewhere, false},
        {"http -> http -> ftp", Ftp, false},     {"GET redirected to ftp", Ftp, true},
        {"http -> http -> 404", Missing, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        FtpTestServer ftp;
        auto release = std::make_shared<std::atomic<bool>>(false);
        ftp.on("RETR", [&](FtpSession& s, const QByteArray&) {
            FtpTestServer::sendFile(s, kBody, {-1, 1000, release});
        });
        ftp.start();
        qbtest::ScriptedServer other(qbtest::fileServer(kBody));
        const QByteArray location =
            c.end == Ftp ? QString("ftp://127.0.0.1:%1/pub/tool.bin").arg(ftp.port()).toLatin1()
            : c.end == Elsewhere ? other.url("/tool.bin").toLatin1()
                                 : QByteArray("/tool.bin");
        auto server = qbtest::httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
            const QByteArray path = request.split(' ').value(1);
            if (c.locationOnGet && !isHead(request))
                conn.send(httpResponse("302 Found", {"Location: " + location}));
            else if (path == "/a" && !c.locationOnGet)
                conn.send(httpResponse("302 Found", {"Location: /b", contentLength(99999)}));
            else if (path == "/b")
                conn.send(httpResponse("302 Found", {"Location: " + location, contentLength(77)}));
            else if (c.end == Missing)
                conn.send(httpResponse("404 Not Found", {contentLength(9)}, "not found"));
            else
                conn.send(httpResponse("200 OK", {contentLength(kBody.size())},
                                       isHead(request) ? QByteArray() : kBody));
        });
        const QString target = location.startsWith('/') ? server->url(QString::fromLatin1(location))
                                                        : QString::fromLatin1(location);
        TfrmAsker* dialog = f.open(server->url("/a"), QString("tool.bin"));
        f.boxes.answerOthersWith(platform::IDOK);
        // The FTP data waits long enough for a stray one-second restart to fire into it.
        qbtest::whenTrue(
            dialog, [&] { return dialog->stats().value() >= 1000; },
            [&] { QTimer::singleShot(1500, dialog, [release] { *release = true; }); });
        f.press();
        ASSERT_TRUE(f.waitUntilIdle(20000));
        *release = true;
        // Time for a stray restart to show itself.
        qbtest::pumpUntil([] { return false; }, 1300);

        EXPECT_FALSE(dialog->isDownloading());
        EXPECT_TRUE(f.logHas("Quillbay is redirecting to: " + target)) << qPrintable(f.logText());
        if (c.end == Missing) {
            // The failed probe is shown once, with the server's response, and nothing follows.
            EXPECT_EQ(f.boxes.texts(),
                      QStringList({"Download Failed\r\rServer Response : 404 \"Not Found\""}));
            EXPECT_EQ(f.failures(), QStringList({"Failed : 404 Not Found"}));
            EXPECT_EQ(server->connectionCount(), 3);
            EXPECT_TRUE(dialog->edtName->isEnabled());
            EXPECT_FALSE(QFileInfo::exists(f.path()));
            continue;
        }
        EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice()}));
        EXPECT_EQ(qbtest::readFile(f.path()), kBody);
        EXPECT_EQ(dialog->lblFileSize->text(), "5000 bytes");
        EXPECT_EQ(dialog->lblETA->text(), "Complete");
        EXPECT_TRUE(f.failures().isEmpty()) << qPrintable(f.logText());
        EXPECT_EQ(dialog->edtSource->currentText(), target);
        EXPECT_EQ(dialog->DownloadURL, target);
        EXPECT_EQ(
            library::FileRecord(f.recordFile(), "tool.bin").readString(library::RecordKey::Source),
            target);
        // Over FTP the web server answered only the two requests before the hand-over.
        EXPECT_EQ(ftp.verbs().contains("RETR"), c.end == Ftp);
        if (c.end == Ftp) {
            EXPECT_EQ(server->connectionCount(), 2);
        }
    }
}

// Whatever ends a transfer early (a refusing disk too) is a failure: no notice, scan, stamp,
// open or auto-exit, and the bytes that came stay for a resume.
TEST(AskerSoundTruncation, AShortTransferIsAFailureThatKeepsItsBytes) {
    struct Case {
        const char* name;
        qbtest::RequestHandler get;
        QByteArray kept;     // what the file holds afterwards
        rlim_t sizeLimit{0}; // a file size limit during the transfer
    };
    const Case cases[] = {
        {"unknown length, connection reset",
         [](const QByteArray&, ScriptedConnection& c) {
             c.send(httpResponse("200 OK", {}, kBody.left(3000)));
             c.sleep(100);
             c.reset();
         },
         kBody.left(3000)},
        {"header cut short",
         [](const QByteArray&, ScriptedConnection& c) {
             c.send("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\nContent-Ty");
             c.close();
         },
         QByteArray()},
        {"body shorter than announced",
         [](const QByteArray&, ScriptedConnection& c) {
             c.send(httpResponse("200 OK", {contentLength(kBody.size())}, kBody.left(2500)));
             c.close();
         },
         kBody.left(2500)},
        {"the disk refuses the bytes",
         [](const QByteArray&, ScriptedConnection& c) {
             c.send(httpResponse("200 OK", {contentLength(kBody.size())}, kBody));
         },
         QByteArray(), 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        auto server = qbtest::httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
            if (isHead(request))
                conn.send(httpResponse("200 OK", {contentLength(kBody.size())}));
            else
                c.get(request, conn);
        });
        TfrmAsker* dialog = f.open(server->url("/tool.bin"));
        dialog->cbOpenWhen->setCurrentIndex(1);
        dialog->cbClose->setChecked(true);
        struct rlimit old {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = old;
        if (c.sizeLimit)
            limit.rlim_cur = c.sizeLimit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        f.press();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        ASSERT_TRUE(f.waitUntilIdle()) << qPrintable(f.logText());

        ASSERT_TRUE(f.dialog) << "the dialog closed itself";
        EXPECT_TRUE(f.boxes.texts().isEmpty()) << qPrintable(f.boxes.texts().join('|'));
        EXPECT_FALSE(f.failures().isEmpty()) << qPrintable(f.logText());
        EXPECT_TRUE(f.home.shellLog().isEmpty());
        const library::FileRecord record(f.recordFile(), "tool.bin");
        EXPECT_EQ(record.readString(library::RecordKey::LastOpened), "Never");
        EXPECT_NE(dialog->lblETA->text(), "Complete");
        if (!c.kept.isEmpty()) {
            EXPECT_EQ(qbtest::readFile(f.path()), c.kept);
        }
    }
}

// A file as long as the server's (HTTP or FTP), or any file once the source was edited, asks
// before it is replaced, No the default. The engine's table has what each answer does.
TEST(AskerSoundComplete, AFileOnDiskAsksBeforeItIsReplaced) {
    struct Case {
        const char* name;
        qint64 local;
        bool edited;
        bool overFtp;
        int answer;
    };
    const Case cases[] = {{"complete, http", kBody.size(), false, false, platform::IDYES},
                          {"complete, ftp", kBody.size(), false, true, platform::IDYES},
                          {"edited source", 1000, true, false, platform::IDNO}};
    for (const Case& c : cases) {
        const bool yes = c.answer == platform::IDYES;
        SCOPED_TRACE(c.name);
        AskerFixture f;
        const QByteArray old = qbtest::randomBytes(c.local, 99);
        ASSERT_TRUE(qbtest::writeFile(f.path(), old));
        FtpTestServer ftp;
        ftp.file = kBody;
        if (c.overFtp)
            ftp.start();
        TfrmAsker* dialog = c.overFtp
                                ? f.open(QString("ftp://127.0.0.1:%1/pub/tool.bin").arg(ftp.port()))
                                : f.openServed(kBody, {}, "/first/tool.bin");
        if (c.edited)
            dialog->edtSource->setEditText(f.server().url("/second/tool.bin"));
        dialog->cbPromptDone->setChecked(false);
        f.boxes.answer(c.answer);
        f.press();
        ASSERT_TRUE(f.waitUntilIdle(20000));

        ASSERT_EQ(f.boxes.boxes().size(), 1);
        if (!c.edited) {
            EXPECT_EQ(f.boxes.boxes()[0].text,
                      "Complete file exists already, would you like to re-download?");
        }
        EXPECT_EQ(f.boxes.boxes()[0].caption, "File Exists");
        EXPECT_EQ(f.boxes.boxes()[0].defaultAnswer(), platform::IDNO);
        EXPECT_EQ(qbtest::readFile(f.path()), yes ? kBody : old);
        EXPECT_EQ(f.folderFiles(), QStringList({"tool.bin"}));
        EXPECT_FALSE(dialog->isDownloading());
        EXPECT_FALSE(f.logText().contains("press Download to resume"));
        if (!c.overFtp) {
            const QList<QStringList> requests = qbtest::requestLines(f.server());
            ASSERT_EQ(requests.size(), yes ? 2 : 1);
            if (yes) {
                EXPECT_TRUE(requests[1].contains("Range: bytes=0-"));
                EXPECT_TRUE(f.logHas("Quillbay:  Starting download at byte 0"));
            }
        }
    }
}

// A probe answered with a bare document is no download, and it completes nothing.
TEST(AskerSoundProbe, ABareDocumentAnsweringTheProbeCompletesNothing) {
    AskerFixture f;
    auto server = qbtest::httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
        if (isHead(request))
            conn.send("<HTML><BODY>Moved</BODY></HTML>\r\n");
        else
            conn.send(httpResponse("200 OK", {contentLength(kBody.size())}, kBody));
    });
    f.open(server->url("/tool.bin"));
    f.boxes.answerOthersWith(platform::IDOK);
    qint64 sizeAtNotice = -1;
    f.boxes.onBox([&](const auto&) { sizeAtNotice = QFileInfo(f.path()).size(); });
    f.press();
    ASSERT_TRUE(f.waitUntilIdle());

    EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice()}));
    EXPECT_EQ(sizeAtNotice, kBody.size());
    EXPECT_EQ(f.log().filter(QRegularExpression("^Received ")).size(), 1);
    EXPECT_EQ(qbtest::readFile(f.path()), kBody);
}

// The scanner gets the downloaded file as one argument, whatever its name holds, followed by
// the scanner's parameters split as a command line.
TEST(AskerSoundScanner, TheScannerGetsThePathAsOneArgumentThenItsParameters) {
    AskerFixture f;
    const QString out = f.home.root() + "/args.txt";
    const QString scanner = f.home.root() + "/scan.sh";
    // The arguments appear at once and whole: written aside, then renamed.
    ASSERT_TRUE(qbtest::writeFile(scanner, ("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' "
                                            "\"$a\"; done > '" +
                                            out + ".part' && mv '" + out + ".part' '" + out + "'\n")
                                               .toUtf8()));
    QFile::setPermissions(scanner, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    Settings().writeString("VirusScanner", "CommandLine", scanner);
    TfrmAsker* dialog = f.open("http://127.0.0.1:1/x.bin");
    dialog->cbAutoScan->setEnabled(true);
    dialog->cbAutoScan->setChecked(true);
    const QString path = f.path("my \"new\" tool 'v2'.bin");
    const std::pair<QString, QString> cases[] = {
        {"", ""},
        {"--no-summary -d \"/my dbs/own.hdb\"  -r", "--no-summary\n-d\n/my dbs/own.hdb\n-r\n"},
    };
    for (const auto& [parameters, words] : cases) {
        QFile::remove(out);
        Settings().writeString("VirusScanner", "Parameters", parameters);
        qunsetenv("QUILLBAY_SHELL_LOG");
        dialog->VirusScan(path);
        qputenv("QUILLBAY_SHELL_LOG", f.home.shellLogFile().toUtf8());
        ASSERT_TRUE(qbtest::pumpUntil([&] { return QFileInfo(out).size() > 0; }, 10000));
        EXPECT_EQ(QString::fromUtf8(qbtest::readFile(out)), path + "\n" + words);
    }
}

// A record that cannot be written during a redirect shows the error and leaves the dialog
// idle; nothing escapes into the event loop.
TEST(AskerSoundHandlers, ARefusedRecordWriteDuringARedirectShowsTheErrorAndGoesIdle) {
    AskerFixture f;
    const QString recordFile = f.recordFile();
    auto server = qbtest::httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
        if (request.split(' ').value(1) == "/a") {
            // From now on the record file is a folder: every write of it is refused.
            QFile::remove(recordFile);
            QDir().mkpath(recordFile);
            conn.send(httpResponse("302 Found", {"Location: /tool.bin"}));
            return;
        }
        conn.send(httpResponse("200 OK", {contentLength(kBody.size())},
                               isHead(request) ? QByteArray() : kBody));
    });
    TfrmAsker* dialog = f.open(server->url("/a"), QString("tool.bin"));
    f.boxes.answerOthersWith(platform::IDOK);
    f.press();
    ASSERT_TRUE(f.waitUntilIdle());
    qbtest::pumpUntil([] { return false; }, 1300);

    ASSERT_TRUE(f.dialog);
    ASSERT_FALSE(f.boxes.boxes().isEmpty());
    EXPECT_TRUE(f.boxes.boxes()[0].text.contains("Unable to write"))
        << qPrintable(f.boxes.boxes()[0].text);
    EXPECT_FALSE(f.boxes.texts().contains(completeNotice()));
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_TRUE(dialog->Button2->isEnabled());
}

// Enter is the Download button and Escape the Exit button, from whichever box has focus.
TEST(AskerKeyboard, EnterDownloadsAndEscapeCloses) {
    for (const char* focus : {"edtDesc", "edtName", "edtSource"}) {
        SCOPED_TRACE(focus);
        AskerFixture f;
        TfrmAsker* dialog = f.openServed(kBody);
        f.boxes.answer(platform::IDOK);
        QWidget* box = dialog->findChild<QWidget*>(focus);
        ASSERT_TRUE(box);
        QWidget* target = box;
        if (auto* combo = qobject_cast<QComboBox*>(box))
            target = combo->lineEdit();
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        ASSERT_TRUE(f.waitUntilIdle());
        EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice()}));
        EXPECT_EQ(qbtest::readFile(f.path()), kBody);

        QTest::keyClick(target, Qt::Key_Escape);
        ASSERT_TRUE(qbtest::pumpUntil([&] { return !f.dialog || !f.dialog->isVisible(); }, 5000));
    }
}

// A running transfer ignores Enter, Escape, Ctrl+N and Ctrl+S, and a folder made meanwhile
// does not move it: file and record land in the folder the notice names.
TEST(AskerKeyboard, NothingMovesOrStopsARunningTransfer) {
    AskerFixture f;
    qbtest::FileServerOptions options;
    options.holdAfter = 1000;
    options.release = std::make_shared<std::atomic<bool>>(false);
    TfrmAsker* dialog = f.openServed(kBody, options);
    f.boxes.answer(platform::IDOK);
    qbtest::whenTrue(
        dialog, [dialog] { return dialog->stats().value() >= 1000; },
        [&] {
            for (const auto& [key, modifiers] : {std::pair{Qt::Key_Return, Qt::NoModifier},
                                                 {Qt::Key_Escape, Qt::NoModifier},
                                                 {Qt::Key_N, Qt::ControlModifier},
                                                 {Qt::Key_S, Qt::ControlModifier}})
                QTest::keyClick(dialog->edtDesc, key, modifiers);
            dialog->SelectNewFolder(1);
            *options.release = true;
        });
    QTest::keyClick(dialog->edtDesc, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(f.waitUntilIdle());
    ASSERT_TRUE(f.dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->cbSection->currentText(), "Programs");
    EXPECT_EQ(dialog->cbCategory->currentText(), "Utilities");
    EXPECT_EQ(f.boxes.texts(), QStringList({completeNotice()}));
    EXPECT_EQ(qbtest::readFile(f.path()), kBody);
}

} // namespace
