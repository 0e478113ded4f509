// The download engine on its own, without a dialog: how each kind of answer ends, what
// lies on disk afterwards, and what the statistics saw.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <optional>

#include "FtpTestServer.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "library/DownloadEngine.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"

using download::DownloadEngine;
using download::DownloadJob;
using download::EngineState;
using download::ExistingFile;
using download::Question;
using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

const QByteArray kBody = qbtest::randomBytes(20000, 61);

QByteArray header(const QByteArray& status, const QByteArray& fields) {
    return "HTTP/1.0 " + status + "\r\n" + fields + "\r\n";
}

QByteArray lengthField(qint64 n) {
    return "Content-Length: " + QByteArray::number(n) + "\r\n";
}

struct EngineCase {
    const char* name;
    QByteArray local; // on disk before; empty: no file
    ExistingFile existing;
    bool answer; // to any question
    std::function<void(const QByteArray& request, ScriptedConnection& c)> get;
    EngineState state;
    QByteArray after; // on disk afterwards
    qint64 offset;    // where the body was written from
};

TEST(DownloadEngine, EachAnswerEndsInItsStateAndLeavesTheRightFile) {
    const QByteArray other = qbtest::randomBytes(3000, 62);
    const QByteArray sameSize = qbtest::randomBytes(kBody.size(), 64);
    const auto whole = [](const QByteArray&, ScriptedConnection& c) {
        c.send(header("200 OK", lengthField(kBody.size())) + kBody);
    };
    const auto ranged = [](const QByteArray& request, ScriptedConnection& c) {
        const int at = request.indexOf("Range: bytes=");
        const qint64 from = at < 0 ? 0 : request.mid(at + 13).split('-').value(0).toLongLong();
        c.send(header("206 Partial Content",
                      lengthField(kBody.size() - from) + "Content-Range: bytes " +
                          QByteArray::number(from) + "-" + QByteArray::number(kBody.size() - 1) +
                          "/" + QByteArray::number(kBody.size()) + "\r\n") +
               kBody.mid(from));
    };
    // The whole length announced, only the first `bytes` sent.
    const auto cutAt = [](qint64 bytes) {
        return [bytes](const QByteArray&, ScriptedConnection& c) {
            c.send(header("200 OK", lengthField(kBody.size())) + kBody.left(bytes));
        };
    };
    const EngineCase cases[] = {
        {"new file", {}, ExistingFile::Resume, false, whole, EngineState::Complete, kBody, 0},
        {"resume with a right range", kBody.left(7000), ExistingFile::Resume, false, ranged,
         EngineState::Complete, kBody, 7000},
        // Another file's bytes on disk: a whole answer counts from its own start.
        {"resume answered with the whole file", other, ExistingFile::Resume, false, whole,
         EngineState::Complete, kBody, 0},
        {"resume answered with the whole file, cut short", kBody.left(7000), ExistingFile::Resume,
         false, cutAt(9000), EngineState::Failed, kBody.left(7000), 0},
        {"resume answered with an error page", kBody.left(7000), ExistingFile::Resume, false,
         [](const QByteArray&, ScriptedConnection& c) {
             c.send(header("200 OK", lengthField(300)) + QByteArray(200, '<'));
         },
         EngineState::Failed, kBody.left(7000), 0},
        {"206 from the wrong offset", kBody.left(7000), ExistingFile::Resume, false,
         [](const QByteArray&, ScriptedConnection& c) {
             c.send(header("206 Partial Content",
                           lengthField(kBody.size()) + "Content-Range: bytes 0-19999/20000\r\n") +
                    kBody);
         },
         EngineState::Failed, kBody.left(7000), 0},
        {"cut short",
         {},
         ExistingFile::Resume,
         false,
         cutAt(9000),
         EngineState::Failed,
         kBody.left(9000),
         0},
        {"a redirect status with nowhere to go",
         {},
         ExistingFile::Resume,
         false,
         [](const QByteArray&, ScriptedConnection& c) {
             c.send(header("301 Moved Permanently", lengthField(5)) + "moved");
         },
         EngineState::Failed,
         {},
         0},
        {"another source, kept", other, ExistingFile::Ask, false, whole, EngineState::Declined,
         other, 0},
        {"another source, replaced", other, ExistingFile::Ask, true, whole, EngineState::Complete,
         kBody, 0},
        {"complete already, kept", kBody, ExistingFile::Resume, false, whole, EngineState::Declined,
         kBody, 0},
        {"complete already, replaced", sameSize, ExistingFile::Resume, true, whole,
         EngineState::Complete, kBody, 0},
        {"complete already, replaced, cut short", sameSize, ExistingFile::Resume, true, cutAt(100),
         EngineState::Failed, sameSize, 0},
        {"replace, cut short", other, ExistingFile::Replace, false, cutAt(100), EngineState::Failed,
         other, 0},
    };
    for (const EngineCase& c : cases) {
        SCOPED_TRACE(c.name);
        qbtest::TempHome home;
        const QString target = home.file("f.bin");
        if (!c.local.isEmpty()) {
            ASSERT_TRUE(qbtest::writeFile(target, c.local));
        }
        ScriptedServer server([&](ScriptedConnection& conn) {
            const QByteArray request = conn.readRequestHeader();
            if (request.startsWith("HEAD"))
                conn.send(header("200 OK", lengthField(kBody.size())));
            else if (!request.isEmpty())
                c.get(request, conn);
        });
        THttpCli http;
        TFtpClient ftp;
        DownloadEngine engine(http, ftp);
        QList<Question> asked;
        engine.OnAsk = [&](Question q) {
            asked << q;
            return c.answer;
        };
        qint64 offsetAtBegin = -1;
        engine.OnDocBegin = [&] { offsetAtBegin = engine.resumeOffset(); };
        // A file on disk that the body does not continue stays whole while the body arrives.
        std::optional<QByteArray> duringBody;
        // The gauges count the resumed part and know the whole size from the first chunk.
        qint64 maximumAtFirst = -1;
        qint64 valueAtFirst = -1;
        engine.OnDocData = [&](qint64) {
            if (maximumAtFirst < 0) {
                maximumAtFirst = engine.stats().maximum();
                valueAtFirst = engine.stats().value();
            }
            if (!duringBody && !c.local.isEmpty() && engine.resumeOffset() == 0)
                duringBody = qbtest::readFile(target);
        };
        DownloadJob job;
        job.url = server.url("/f.bin");
        job.target = target;
        job.existing = c.existing;

        EXPECT_EQ(engine.run(job), c.state) << qPrintable(engine.failure());
        EXPECT_EQ(engine.state(), c.state);
        EXPECT_FALSE(engine.running());
        EXPECT_EQ(qbtest::readFile(target), c.after);
        EXPECT_FALSE(QFileInfo::exists(DownloadEngine::replacementPath(target)));
        if (duringBody) {
            EXPECT_EQ(*duringBody, c.local);
        }
        if (c.state == EngineState::Complete) {
            EXPECT_EQ(offsetAtBegin, c.offset);
            EXPECT_EQ(engine.stats().value(), kBody.size());
            EXPECT_EQ(engine.stats().maximum(), kBody.size());
            EXPECT_EQ(maximumAtFirst, kBody.size());
            EXPECT_GT(valueAtFirst, c.offset);
            EXPECT_TRUE(engine.failure().isEmpty());
        }
        if (c.state == EngineState::Failed) {
            EXPECT_TRUE(engine.failure().startsWith("Failed : ")) << qPrintable(engine.failure());
        }
        EXPECT_EQ(asked.isEmpty(),
                  c.existing == ExistingFile::Replace || c.local.isEmpty() ||
                      (c.existing == ExistingFile::Resume && c.local.size() != kBody.size()));
    }
}

// After REST the 150 reply counts the whole file on some servers and only the rest on
// others: the gauges start at the larger reading and never show more bytes than the size,
// and a transfer short of the whole file fails whichever way the size was counted.
TEST(DownloadEngine, AnFtpResumeShowsTheWholeSizeWhateverTheSizeReplyCounts) {
    const QByteArray content = qbtest::randomBytes(80000, 65);
    struct Case {
        const char* name;
        qint64 local;    // bytes on disk before
        bool countWhole; // the 150 reply names the whole file, not the rest
        qint64 sent;     // bytes sent of what follows the restart point; -1: all
        qint64 atBegin;  // the size shown when the body begins
    } cases[] = {{"whole counted", 30000, true, -1, 80000},
                 {"rest counted, larger than the part", 30000, false, -1, 50000},
                 {"rest counted, smaller than the part", 60000, false, -1, 80000},
                 {"rest counted, cut short", 30000, false, 10000, 50000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ftptest::FtpTestServer server;
        server.on("RETR", [&](ftptest::FtpSession& s, const QByteArray&) {
            const QByteArray rest = content.mid(s.restOffset);
            ftptest::FtpTestServer::sendFile(s, c.sent < 0 ? rest : rest.left(c.sent),
                                             {c.countWhole ? content.size() : rest.size()});
        });
        server.start();
        qbtest::TempHome home;
        const QString target = home.file("f.bin");
        ASSERT_TRUE(qbtest::writeFile(target, content.left(c.local)));
        THttpCli http;
        TFtpClient ftp;
        DownloadEngine engine(http, ftp);
        qint64 shownAtBegin = -1;
        engine.OnDocBegin = [&] { shownAtBegin = engine.stats().maximum(); };
        qint64 pastTheSize = 0;
        engine.OnDocData = [&](qint64) {
            if (engine.stats().value() > engine.stats().maximum())
                ++pastTheSize;
        };
        DownloadJob job;
        job.url = QString("ftp://127.0.0.1:%1/pub/f.bin").arg(server.port());
        job.target = target;
        const bool whole = c.sent < 0;
        EXPECT_EQ(engine.run(job), whole ? EngineState::Complete : EngineState::Failed)
            << qPrintable(engine.failure());
        EXPECT_EQ(engine.resumeOffset(), c.local);
        EXPECT_EQ(shownAtBegin, c.atBegin);
        EXPECT_EQ(pastTheSize, 0);
        EXPECT_EQ(qbtest::readFile(target),
                  content.left(whole ? content.size() : c.local + c.sent));
        if (whole) {
            EXPECT_EQ(engine.expectedTotal(), content.size());
            EXPECT_EQ(engine.stats().maximum(), content.size());
            EXPECT_EQ(engine.stats().value(), content.size());
        }
    }
}

// An abort keeps a partial file of this download and drops a half replacement.
TEST(DownloadEngine, AnAbortKeepsThePartAndDropsAHalfReplacement) {
    for (const ExistingFile existing : {ExistingFile::Resume, ExistingFile::Replace}) {
        SCOPED_TRACE(existing == ExistingFile::Resume ? "new file" : "replacement");
        qbtest::TempHome home;
        const QString target = home.file("f.bin");
        const QByteArray old = qbtest::randomBytes(500, 63);
        if (existing == ExistingFile::Replace) {
            ASSERT_TRUE(qbtest::writeFile(target, old));
        }
        ScriptedServer server([&](ScriptedConnection& conn) {
            const QByteArray request = conn.readRequestHeader();
            conn.send(header("200 OK", lengthField(kBody.size())) +
                      (request.startsWith("HEAD") ? QByteArray() : kBody.left(4000)));
            conn.waitForPeerClose(20000);
        });
        THttpCli http;
        TFtpClient ftp;
        DownloadEngine engine(http, ftp);
        engine.OnDocData = [&](qint64) {
            if (engine.received() >= 4000)
                QTimer::singleShot(0, &engine, [&] { engine.abort(); });
        };
        DownloadJob job;
        job.url = server.url("/f.bin");
        job.target = target;
        job.existing = existing;
        EXPECT_EQ(engine.run(job), EngineState::Aborted);
        EXPECT_EQ(qbtest::readFile(target),
                  existing == ExistingFile::Replace ? old : kBody.left(4000));
        EXPECT_EQ(
            QDir(home.root()).entryList(QStringList() << ".f.bin*", QDir::Files | QDir::Hidden),
            QStringList());
    }
}

// A probe sent elsewhere ends the run for a caller that starts over itself; qbyget's kind of
// caller follows it to the file.
TEST(DownloadEngine, AProbeRedirectStopsOnlyWhenAsked) {
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "stop" : "follow");
        qbtest::TempHome home;
        ScriptedServer server([&](ScriptedConnection& conn) {
            const QByteArray request = conn.readRequestHeader();
            if (request.split(' ').value(1) == "/old")
                conn.send(header("302 Found", "Location: /f.bin\r\n"));
            else
                conn.send(header("200 OK", lengthField(kBody.size())) +
                          (request.startsWith("HEAD") ? QByteArray() : kBody));
        });
        THttpCli http;
        TFtpClient ftp;
        DownloadEngine engine(http, ftp);
        DownloadJob job;
        job.url = server.url("/old");
        job.target = home.file("f.bin");
        job.stopAfterProbeRedirect = stop;
        EXPECT_EQ(engine.run(job), stop ? EngineState::Redirected : EngineState::Complete);
        EXPECT_EQ(engine.url(), server.url("/f.bin"));
        EXPECT_EQ(QFileInfo::exists(job.target), !stop);
    }
}

} // namespace
