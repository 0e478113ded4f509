// The download dialog never reports a broken download as complete and never destroys a
// file on disk before its replacement has arrived whole: redirect chains, short bodies,
// ranges answered wrongly, edited sources and FTP size replies, against scripted servers.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <utility>

#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "AskerFixture.h"
#include "FtpTestServer.h"
#include "library/FileRecord.h"
#include "library/Settings.h"
#include "platform/MessageLoop.h"

using ftptest::FtpSession;
using ftptest::FtpTestServer;
using qbtest::AskerFixture;
using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

const QByteArray kBody = qbtest::randomBytes(5000, 31);

QString notice(const QString& name = "tool.bin") {
    return "Download Complete for " + name +
           "\r\rThis file has been placed in the following area:\r\rSection: "
           "Programs\rFolder: Utilities";
}

QByteArray response(const QByteArray& status, const QList<QByteArray>& fields,
                    const QByteArray& body = {}) {
    QByteArray out = "HTTP/1.0 " + status + "\r\n";
    for (const QByteArray& field : fields)
        out += field + "\r\n";
    return out + "\r\n" + body;
}

QByteArray length(qint64 n) {
    return "Content-Length: " + QByteArray::number(n);
}

using Handler = std::function<void(const QByteArray& request, ScriptedConnection& c)>;

// An HTTP server that hands every request header to `handler`.
std::unique_ptr<ScriptedServer> httpServer(Handler handler) {
    return std::make_unique<ScriptedServer>([handler](ScriptedConnection& c) {
        const QByteArray request = c.readRequestHeader();
        if (!request.isEmpty())
            handler(request, c);
    });
}

bool isHead(const QByteArray& request) {
    return request.startsWith("HEAD");
}

QByteArray pathOf(const QByteArray& request) {
    return request.split(' ').value(1);
}

// The folder holds exactly these names (no replacement file left behind).
QStringList folderNames(const AskerFixture& f) {
    return QDir(f.folderDir()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

QStringList failureLines(const AskerFixture& f) {
    return f.log().filter(QRegularExpression("^Failed : "));
}

// A RETR that sends `file` from the REST offset, with the 150 reply counting either the
// whole file or what follows the offset, optionally held after `holdAfter` bytes.
void serveRest(FtpSession& s, const QByteArray& file, bool countWhole, qint64 holdAfter = 0,
               std::shared_ptr<std::atomic<bool>> release = {}) {
    // A restart point holds for one transfer only.
    const QByteArray rest = file.mid(std::exchange(s.restOffset, 0));
    FtpTestServer::sendFile(
        s, rest, {countWhole ? file.size() : rest.size(), holdAfter, std::move(release)});
}

QString ftpUrl(const FtpTestServer& server, const QString& path = "pub/tool.bin") {
    return QString("ftp://127.0.0.1:%1/%2").arg(server.port()).arg(path);
}

// ---- redirects ---------------------------------------------------------------------------

// A road that leaves HTTP is followed to its end: the redirect restart of an earlier hop
// never fires into the FTP transfer, a failure at the end is reported once, and the size
// shown is the final answer's.
TEST(AskerSoundRedirects, ChainsEndWhereTheyLead) {
    struct Case {
        const char* name;
        bool ftpEnd;        // the last hop names an ftp URL
        bool locationOnGet; // the probe is answered, only the GET is redirected
        int finalStatus;    // 200 or an error of the last http hop
    };
    const Case cases[] = {
        {"http -> http -> ftp", true, false, 200},
        {"GET redirected to ftp", true, true, 200},
        {"http -> http -> 404", false, false, 404},
        {"http -> http -> file", false, false, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        FtpTestServer ftp;
        auto release = std::make_shared<std::atomic<bool>>(false);
        ftp.file = kBody;
        ftp.on("RETR",
               [&](FtpSession& s, const QByteArray&) { serveRest(s, kBody, true, 1000, release); });
        ftp.start();
        const QString ftpTarget = ftpUrl(ftp);
        auto server = httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
            const QByteArray path = pathOf(request);
            if (c.locationOnGet) {
                if (isHead(request))
                    conn.send(response("200 OK", {length(kBody.size())}));
                else
                    conn.send(response("302 Found", {"Location: " + ftpTarget.toUtf8()}));
                return;
            }
            if (path == "/a") {
                conn.send(response("302 Found", {"Location: /b", length(99999)}));
            } else if (path == "/b") {
                if (c.ftpEnd)
                    conn.send(response("302 Found", {"Location: " + ftpTarget.toUtf8()}));
                else
                    conn.send(response("302 Found", {"Location: /tool.bin", length(77)}));
            } else if (c.finalStatus != 200) {
                conn.send(response("404 Not Found", {length(9)}, "not found"));
            } else {
                conn.send(response("200 OK", {length(kBody.size())},
                                   isHead(request) ? QByteArray() : kBody));
            }
        });
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

        if (c.finalStatus == 404) {
            EXPECT_EQ(f.boxes.texts(),
                      QStringList({"Download Failed\r\rServer Response : 404 \"Not Found\""}));
            EXPECT_FALSE(QFileInfo::exists(f.folderDir() + "tool.bin"));
        } else {
            EXPECT_EQ(f.boxes.texts(), QStringList({notice()}));
            EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
            EXPECT_EQ(dialog->lblFileSize->text(), "5000 bytes");
            EXPECT_EQ(dialog->lblETA->text(), "Complete");
            EXPECT_TRUE(failureLines(f).isEmpty()) << qPrintable(f.log().join('\n'));
        }
        if (c.ftpEnd) {
            EXPECT_EQ(dialog->edtSource->currentText(), ftpTarget);
        }
        EXPECT_FALSE(dialog->isDownloading());
    }
}

// ---- short bodies and local write errors ----------------------------------------------------

// Whatever ends a transfer early ends it as a failure: no notice, no scan, no stamp, no
// open, no auto-exit, and the bytes that came stay for a resume.
TEST(AskerSoundTruncation, AShortTransferIsAFailureThatKeepsItsBytes) {
    struct Case {
        const char* name;
        Handler get;
        QByteArray kept; // what the file holds afterwards
    };
    const Case cases[] = {
        {"unknown length, connection reset",
         [](const QByteArray&, ScriptedConnection& c) {
             c.send(response("200 OK", {}, kBody.left(3000)));
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
             c.send(response("200 OK", {length(kBody.size())}, kBody.left(2500)));
             c.close();
         },
         kBody.left(2500)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        auto server = httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
            if (isHead(request))
                conn.send(response("200 OK", {length(kBody.size())}));
            else
                c.get(request, conn);
        });
        TfrmAsker* dialog = f.open(server->url("/tool.bin"));
        dialog->cbOpenWhen->setCurrentIndex(1);
        dialog->cbClose->setChecked(true);
        f.press();
        ASSERT_TRUE(f.waitUntilIdle()) << qPrintable(f.log().join('\n'));

        ASSERT_TRUE(f.dialog) << "the dialog closed itself";
        EXPECT_TRUE(f.boxes.texts().isEmpty()) << qPrintable(f.boxes.texts().join('|'));
        EXPECT_FALSE(failureLines(f).isEmpty()) << qPrintable(f.log().join('\n'));
        EXPECT_TRUE(f.home.shellLog().isEmpty());
        const library::FileRecord record(f.recordFile(), "tool.bin");
        EXPECT_EQ(record.readString(library::RecordKey::LastOpened), "Never");
        EXPECT_NE(dialog->lblETA->text(), "Complete");
        if (!c.kept.isEmpty()) {
            EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), c.kept);
        }
    }
}

// A disk that refuses the bytes (here: a file size limit) is a failure too, never "complete".
TEST(AskerSoundTruncation, ALocalWriteErrorIsAFailure) {
    AskerFixture f;
    const QByteArray big = qbtest::randomBytes(600000, 5);
    auto server = httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
        conn.send(response("200 OK", {length(big.size())}, isHead(request) ? QByteArray() : big));
    });
    TfrmAsker* dialog = f.open(server->url("/tool.bin"));
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    dialog->edtDesc->setText("x"); // the record is written before the limit applies
    struct rlimit limit = old;
    limit.rlim_cur = 200000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    f.press();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(f.waitUntilIdle());

    EXPECT_TRUE(f.boxes.texts().isEmpty()) << qPrintable(f.boxes.texts().join('|'));
    EXPECT_FALSE(failureLines(f).isEmpty()) << qPrintable(f.log().join('\n'));
    EXPECT_FALSE(dialog->isDownloading());
    EXPECT_NE(dialog->lblETA->text(), "Complete");
}

// ---- the file on disk survives until its replacement is whole ------------------------------

TEST(AskerSoundReplacement, TheFileOnDiskStaysUntilTheReplacementIsWhole) {
    struct Case {
        const char* name;
        QByteArray local;    // on disk before
        int answer;          // to the re-download question; 0: none asked
        QByteArray reply;    // the GET's answer
        QByteArray expected; // on disk afterwards
        bool complete;
    };
    const QByteArray partial = kBody.left(1000);
    const QByteArray old = qbtest::randomBytes(5000, 77);
    const Case cases[] = {
        {"200 to a range, cut short", partial, 0,
         response("200 OK", {length(kBody.size())}, kBody.left(2000)), partial, false},
        {"200 to a range with an error page", partial, 0,
         response("200 OK", {length(300)}, QByteArray(200, '<')), partial, false},
        {"200 to a range, whole", partial, 0, response("200 OK", {length(kBody.size())}, kBody),
         kBody, true},
        {"200 to a range with another body, whole", old.left(1000), 0,
         response("200 OK", {length(kBody.size())}, kBody), kBody, true},
        {"206 from the wrong offset", partial, 0,
         response("206 Partial Content", {length(kBody.size()), "Content-Range: bytes 0-4999/5000"},
                  kBody),
         partial, false},
        {"yes to re-download, cut short", old, platform::IDYES,
         response("200 OK", {length(kBody.size())}, kBody.left(100)), old, false},
        {"yes to re-download, whole", old, platform::IDYES,
         response("200 OK", {length(kBody.size())}, kBody), kBody, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        const QString path = f.folderDir() + "tool.bin";
        ASSERT_TRUE(qbtest::writeFile(path, c.local));
        // Whatever the GET brings, the file is checked while the answer is on its way.
        QByteArray seenDuringGet;
        std::atomic<bool> seen{false};
        auto server = httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
            if (isHead(request)) {
                conn.send(response("200 OK", {length(kBody.size())}));
                return;
            }
            // All but the last bytes, a look at the file, then the rest: a whole body is
            // whole only once its last byte has come.
            conn.send(c.reply.left(c.reply.size() - 100));
            conn.sleep(150);
            seenDuringGet = qbtest::readFile(path);
            seen = true;
            conn.send(c.reply.right(100));
        });
        TfrmAsker* dialog = f.open(server->url("/tool.bin"));
        if (c.answer)
            f.boxes.answer(c.answer);
        if (c.complete)
            f.boxes.answer(platform::IDOK);
        f.press();
        ASSERT_TRUE(f.waitUntilIdle());

        EXPECT_EQ(qbtest::readFile(path), c.expected);
        ASSERT_TRUE(qbtest::pumpUntil([&] { return seen.load(); }, 5000));
        EXPECT_EQ(seenDuringGet, c.local);
        EXPECT_EQ(folderNames(f), QStringList({"tool.bin"}));
        EXPECT_EQ(f.boxes.texts().contains(notice()), c.complete);
        if (c.complete) {
            // A whole answer to a range counts from its own start, not from the part on disk.
            EXPECT_EQ(dialog->stats().maximum(), kBody.size());
            EXPECT_TRUE(f.logHas("Received 5000 bytes")) << qPrintable(f.log().join('\n'));
        } else {
            EXPECT_FALSE(failureLines(f).isEmpty()) << qPrintable(f.log().join('\n'));
        }
    }
}

// ---- an edited source ----------------------------------------------------------------------

// A typed or picked URL may name another file: the file on disk is never resumed with its
// bytes; the user replaces it or keeps it.
TEST(AskerSoundSource, AnEditedSourceAsksBeforeTouchingTheFileOnDisk) {
    for (const int answer : {platform::IDNO, platform::IDYES}) {
        SCOPED_TRACE(answer == platform::IDYES ? "replace" : "keep");
        AskerFixture f;
        const QByteArray other = qbtest::randomBytes(1000, 3);
        const QString path = f.folderDir() + "tool.bin";
        ASSERT_TRUE(qbtest::writeFile(path, other));
        auto server = httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
            conn.send(
                response("200 OK", {length(kBody.size())}, isHead(request) ? QByteArray() : kBody));
        });
        TfrmAsker* dialog = f.open(server->url("/first/tool.bin"));
        dialog->edtSource->setEditText(server->url("/second/tool.bin"));
        f.boxes.answer(answer);
        if (answer == platform::IDYES)
            f.boxes.answer(platform::IDOK);
        f.press();
        ASSERT_TRUE(f.waitUntilIdle());

        ASSERT_FALSE(f.boxes.boxes().isEmpty());
        EXPECT_EQ(f.boxes.boxes()[0].caption, "File Exists");
        EXPECT_EQ(f.boxes.boxes()[0].defaultAnswer(), platform::IDNO);
        // Never a range from the other file's size.
        for (const QStringList& request : qbtest::requestLines(*server))
            EXPECT_FALSE(request.contains("Range: bytes=1000-")) << qPrintable(request.join('|'));
        EXPECT_EQ(qbtest::readFile(path), answer == platform::IDYES ? kBody : other);
        EXPECT_FALSE(dialog->isDownloading());
    }
}

// ---- FTP sizes and completion --------------------------------------------------------------

// After REST the 150 reply counts the whole file on some servers and only the rest on
// others. Either way the notice comes once, after 226, for the whole file.
TEST(AskerSoundFtp, TheSizeAfterARestartEndsInTheWholeFileEitherWay) {
    for (const bool countWhole : {true, false}) {
        SCOPED_TRACE(countWhole ? "150 counts the whole file" : "150 counts the rest");
        AskerFixture f;
        const QByteArray file = qbtest::randomBytes(60000, 41);
        auto release = std::make_shared<std::atomic<bool>>(false);
        FtpTestServer server;
        // Held at 5000 bytes more than on disk: where a rest-counting size "ends".
        server.on("RETR", [&](FtpSession& s, const QByteArray&) {
            serveRest(s, file, countWhole, 49000, release);
        });
        server.start();
        const QString path = f.folderDir() + "tool.bin";
        ASSERT_TRUE(qbtest::writeFile(path, file.left(10000)));
        TfrmAsker* dialog = f.open(ftpUrl(server));
        qint64 sizeAtNotice = -1;
        f.boxes.onBox([&](const auto&) { sizeAtNotice = QFileInfo(path).size(); });
        f.boxes.answer(platform::IDOK);
        qbtest::whenTrue(
            dialog, [&] { return dialog->stats().value() >= 59000; },
            [&] { QTimer::singleShot(300, dialog, [release] { *release = true; }); });
        f.press();
        ASSERT_TRUE(f.waitUntilIdle(20000));

        EXPECT_EQ(qbtest::readFile(path), file);
        EXPECT_EQ(f.boxes.texts(), QStringList({notice()}));
        EXPECT_EQ(sizeAtNotice, file.size());
        EXPECT_EQ(dialog->lblETA->text(), "Complete");
        EXPECT_TRUE(f.logHas("< 226 Transfer complete."));
    }
}

// A file on disk as long as the server's asks before it is downloaded again, over HTTP as
// over FTP: No keeps it as it is, Yes fetches it whole from its start.
TEST(AskerSoundComplete, ACompleteFileAsksBeforeDownloadingAgain) {
    const QByteArray old = qbtest::randomBytes(kBody.size(), 99);
    for (const bool overFtp : {false, true}) {
        for (const int answer : {platform::IDNO, platform::IDYES}) {
            const bool yes = answer == platform::IDYES;
            SCOPED_TRACE(testing::Message()
                         << (overFtp ? "ftp, " : "http, ") << (yes ? "Yes" : "No"));
            AskerFixture f;
            const QString path = f.folderDir() + "tool.bin";
            ASSERT_TRUE(qbtest::writeFile(path, old));
            FtpTestServer ftp;
            ftp.on("RETR", [](FtpSession& s, const QByteArray&) { serveRest(s, kBody, true); });
            if (overFtp)
                ftp.start();
            TfrmAsker* dialog = overFtp ? f.open(ftpUrl(ftp)) : f.openServed(kBody);
            dialog->cbPromptDone->setChecked(false);
            f.boxes.answer(answer);
            f.press();
            ASSERT_TRUE(f.waitUntilIdle(20000));

            ASSERT_EQ(f.boxes.boxes().size(), 1);
            EXPECT_EQ(f.boxes.boxes()[0].text,
                      "Complete file exists already, would you like to re-download?");
            EXPECT_EQ(f.boxes.boxes()[0].caption, "File Exists");
            EXPECT_EQ(f.boxes.boxes()[0].defaultAnswer(), platform::IDNO);
            EXPECT_EQ(qbtest::readFile(path), yes ? kBody : old);
            EXPECT_EQ(folderNames(f), QStringList({"tool.bin"}));
            EXPECT_FALSE(dialog->isDownloading());
            EXPECT_FALSE(f.log().join('\n').contains("press Download to resume"));
            if (!overFtp) {
                const QList<QStringList> requests = qbtest::requestLines(f.server());
                ASSERT_EQ(requests.size(), yes ? 2 : 1);
                if (yes) {
                    EXPECT_TRUE(requests[1].contains("Range: bytes=0-"));
                    EXPECT_TRUE(f.logHas("Quillbay:  Starting download at byte 0"));
                }
            }
        }
    }
}

// An ftp URL's path is relative to where the login leaves the client; only "%2F" names
// the root.
TEST(AskerSoundFtp, PathsAreRelativeToTheLoginDirectory) {
    struct Case {
        const char* path;
        QList<QByteArray> cwds;
    };
    const Case cases[] = {
        {"tool.bin", {}},
        {"a/b/tool.bin", {"CWD a/b"}},
        {"%2Fpub/tool.bin", {"CWD /pub"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        AskerFixture f;
        FtpTestServer server;
        // A home directory that is not the root: "CWD /" would leave it.
        auto cwd = std::make_shared<QByteArray>("/home/u");
        server.on("CWD", [cwd](FtpSession& s, const QByteArray& arg) {
            *cwd = arg.startsWith('/') ? arg : *cwd + "/" + arg;
            s.reply("250 Directory successfully changed.");
        });
        const QByteArray expectedDir =
            QByteArray(c.path).startsWith("%2F")
                ? QByteArray("/pub")
                : QByteArray("/home/u") + (c.cwds.isEmpty() ? "" : "/a/b");
        server.on("RETR", [&, cwd](FtpSession& s, const QByteArray&) {
            if (*cwd != expectedDir) {
                s.reply("550 Failed to open file.");
                return;
            }
            serveRest(s, kBody, true);
        });
        server.start();
        f.open(ftpUrl(server, c.path), QString("tool.bin"));
        f.boxes.answer(platform::IDOK);
        f.press();
        ASSERT_TRUE(f.waitUntilIdle(20000));

        QList<QByteArray> cwds;
        for (const QByteArray& command : server.commands())
            if (command.startsWith("CWD"))
                cwds << command;
        EXPECT_EQ(cwds, c.cwds);
        EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
        EXPECT_EQ(f.boxes.texts(), QStringList({notice()}));
    }
}

// ---- the probe, the place, names, the scanner, handler errors --------------------------------

// A probe answered with a bare document is no download, and it completes nothing.
TEST(AskerSoundProbe, ABareDocumentAnsweringTheProbeCompletesNothing) {
    AskerFixture f;
    auto server = httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
        if (isHead(request))
            conn.send("<HTML><BODY>Moved</BODY></HTML>\r\n");
        else
            conn.send(response("200 OK", {length(kBody.size())}, kBody));
    });
    f.open(server->url("/tool.bin"));
    f.boxes.answerOthersWith(platform::IDOK);
    qint64 sizeAtNotice = -1;
    f.boxes.onBox(
        [&](const auto&) { sizeAtNotice = QFileInfo(f.folderDir() + "tool.bin").size(); });
    f.press();
    ASSERT_TRUE(f.waitUntilIdle());

    EXPECT_EQ(f.boxes.texts(), QStringList({notice()}));
    EXPECT_EQ(sizeAtNotice, kBody.size());
    EXPECT_EQ(f.log().filter(QRegularExpression("^Received ")).size(), 1);
    EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
}

// The record and the file carry one name, without surrounding blanks.
TEST(AskerSoundNames, BlanksAroundTheNameAreTrimmed) {
    AskerFixture f;
    TfrmAsker* dialog = f.openServed(kBody);
    dialog->edtName->setText("  tool.bin \t");
    f.boxes.answer(platform::IDOK);
    f.press();
    ASSERT_TRUE(f.waitUntilIdle());

    EXPECT_EQ(folderNames(f), QStringList({"tool.bin"}));
    EXPECT_EQ(
        library::FileRecord(f.recordFile(), "tool.bin").readString(library::RecordKey::Source),
        f.server().url("/tool.bin"));
    EXPECT_EQ(dialog->edtName->text(), "tool.bin");
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
    const QString path = f.folderDir() + "my \"new\" tool 'v2'.bin";
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
    auto server = httpServer([&](const QByteArray& request, ScriptedConnection& conn) {
        if (pathOf(request) == "/a") {
            // From now on the record file is a folder: every write of it is refused.
            QFile::remove(recordFile);
            QDir().mkpath(recordFile);
            conn.send(response("302 Found", {"Location: /tool.bin"}));
            return;
        }
        conn.send(
            response("200 OK", {length(kBody.size())}, isHead(request) ? QByteArray() : kBody));
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
    EXPECT_FALSE(f.boxes.texts().contains(notice()));
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
        EXPECT_EQ(f.boxes.texts(), QStringList({notice()}));
        EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);

        QTest::keyClick(target, Qt::Key_Escape);
        ASSERT_TRUE(qbtest::pumpUntil([&] { return !f.dialog || !f.dialog->isVisible(); }, 5000));
    }
}

// While a transfer runs, a stray Enter does not abort it and Escape cannot close it; Ctrl+N
// and Ctrl+S are ignored, and a folder made meanwhile elsewhere does not move it: the file
// and its record land in the folder the notice names.
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
    EXPECT_EQ(f.boxes.texts(), QStringList({notice()}));
    EXPECT_EQ(qbtest::readFile(f.folderDir() + "tool.bin"), kBody);
}

} // namespace
