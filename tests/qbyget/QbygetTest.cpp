#include <gtest/gtest.h>

#include "FtpTestServer.h"
#include "NginxServer.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "ToolRun.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace {

using qbtest::ToolRun;

ToolRun qbyget(const QStringList& args) {
    return qbtest::runTool("qbyget", args, 120000);
}

class QbygetWithNginx : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
        content = qbtest::randomBytes(size, 7);
        ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/pub/data.bin", content));
        ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/slow/data.bin", content));
        target = home.file("data.bin");
    }
    // A rate-limited copy, so that a download can be killed part-way, and a redirect to a
    // closed port.
    const QString hop = QString("http://127.0.0.1:%1/moved.bin").arg(qbtest::closedPort());
    qbtest::NginxServer nginx{"location /slow/ { limit_rate 2m; } location = /moved { return 302 " +
                              hop + "; }"};
    qbtest::TempHome home;
    const qint64 size = 9 * 1024 * 1024 + 4321;
    QByteArray content;
    QString target;
};

// A download killed part-way resumes with a range: the bytes already there, turned to zeros,
// are kept. Without --resume the file is downloaded anew.
TEST_F(QbygetWithNginx, AKilledDownloadResumesWithARange) {
    QProcess process;
    process.start(QStringLiteral(QB_BIN_DIR "/qbyget"), {nginx.url("/slow/data.bin"), target});
    ASSERT_TRUE(process.waitForStarted());
    QDeadlineTimer deadline(30000);
    while (QFile(target).size() < 1024 * 1024 && !deadline.hasExpired() &&
           process.state() == QProcess::Running)
        QThread::msleep(20);
    process.kill();
    process.waitForFinished();
    const qint64 partial = QFile(target).size();
    ASSERT_GE(partial, 1024 * 1024);
    ASSERT_LT(partial, size);
    ASSERT_TRUE(qbtest::writeFile(target, QByteArray(int(partial), '\0')));

    const ToolRun run = qbyget({"--resume", nginx.url("/pub/data.bin"), target});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(qbtest::sha256(qbtest::readFile(target)),
              qbtest::sha256(QByteArray(int(partial), '\0') + content.mid(int(partial))));

    const ToolRun anew = qbyget({nginx.url("/pub/data.bin"), target});
    EXPECT_EQ(anew.exitCode, 0);
    EXPECT_EQ(anew.err, QByteArray()); // no progress bar when stderr is not a terminal
    EXPECT_EQ(qbtest::sha256(qbtest::readFile(target)), qbtest::sha256(content));

    const ToolRun complete = qbyget({"--resume", nginx.url("/pub/data.bin"), target});
    EXPECT_EQ(complete.exitCode, 0);
    EXPECT_TRUE(complete.err.contains("complete already")) << complete.err.constData();
}

TEST_F(QbygetWithNginx, FailuresPrintTheClientsTextAndExitNonZero) {
    const std::pair<QStringList, QByteArray> cases[] = {
        {{nginx.url("/pub/none.bin"), target}, "qbyget: 404 Not Found\n"},
        {{QString("http://127.0.0.1:%1/x").arg(qbtest::closedPort()), target},
         "qbyget: 404 Connection refused (Error #10061)\n"},
        {{"gopher://127.0.0.1/x", target}, "qbyget: unsupported protocol: gopher://\n"},
        // A failure after a redirect names the hop.
        {{nginx.url("/moved"), target},
         "qbyget: 404 Connection refused (Error #10061) (after a redirect to " + hop.toUtf8() +
             ")\n"},
    };
    for (const auto& [args, text] : cases) {
        const ToolRun run = qbyget(args);
        EXPECT_EQ(run.exitCode, 1) << qPrintable(args.join(' '));
        EXPECT_EQ(run.err, text);
    }
    EXPECT_EQ(qbyget({"--bogus", "x", "y"}).exitCode, 2);
    EXPECT_EQ(qbyget({"only-one"}).exitCode, 2);
}

TEST(Qbyget, ATruncatedBodyIsAFailureThatResumeCanFinish) {
    const QByteArray content = qbtest::randomBytes(300000, 11);
    qbtest::ScriptedServer server([&](qbtest::ScriptedConnection& c) {
        const QByteArray header = c.readRequestHeader();
        const QByteArray length = "Content-Length: " + QByteArray::number(content.size()) + "\r\n";
        if (header.startsWith("HEAD")) {
            c.send("HTTP/1.0 200 OK\r\n" + length + "\r\n");
        } else if (!header.contains("Range: bytes=")) {
            c.send("HTTP/1.0 200 OK\r\n" + length + "\r\n" +
                   content.left(100000)); // then the line drops
        } else {
            const int from = header.mid(header.indexOf("bytes=") + 6).split('-').value(0).toInt();
            c.send("HTTP/1.0 206 Partial Content\r\nContent-Length: " +
                   QByteArray::number(content.size() - from) + "\r\nContent-Range: bytes " +
                   QByteArray::number(from) + "-" + QByteArray::number(content.size() - 1) + "/" +
                   QByteArray::number(content.size()) + "\r\n\r\n" + content.mid(from));
        }
    });
    qbtest::TempHome home;
    const QString target = home.file("t.bin");
    const ToolRun first = qbyget({server.url("/t.bin"), target});
    EXPECT_EQ(first.exitCode, 1);
    EXPECT_EQ(first.err,
              QByteArray("qbyget: the connection ended after 100000 of 300000 bytes; run "
                         "again with --resume to continue\n"));
    EXPECT_EQ(qbtest::readFile(target), content.left(100000));
    const ToolRun second = qbyget({"--resume", server.url("/t.bin"), target});
    EXPECT_EQ(second.exitCode, 0) << second.err.constData();
    EXPECT_EQ(qbtest::readFile(target), content);
}

TEST(Qbyget, AServerThatIgnoresTheRangeDoesNotCorruptTheFile) {
    const QByteArray content = qbtest::randomBytes(200000, 13);
    qbtest::ScriptedServer server([&](qbtest::ScriptedConnection& c) {
        const QByteArray header = c.readRequestHeader();
        c.send("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(content.size()) +
               "\r\n\r\n" + (header.startsWith("HEAD") ? QByteArray() : content));
    });
    qbtest::TempHome home;
    const QString target = home.file("t.bin");
    ASSERT_TRUE(qbtest::writeFile(target, QByteArray(5000, 'z')));
    const ToolRun run = qbyget({"--resume", server.url("/t.bin"), target});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.err.contains("ignored the range"));
    EXPECT_EQ(qbtest::readFile(target), content);
}

// --resume continues an ftp download too; the size replies' variants are the engine's table.
TEST(Qbyget, AnFtpResumeContinuesThePartOnDisk) {
    const QByteArray content = qbtest::randomBytes(80000, 17);
    ftptest::FtpTestServer server;
    server.file = content;
    server.start();
    qbtest::TempHome home;
    const QString target = home.file("f.bin");
    ASSERT_TRUE(qbtest::writeFile(target, content.left(30000)));
    const ToolRun run =
        qbyget({"--resume", QString("ftp://127.0.0.1:%1/pub/f.bin").arg(server.port()), target});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(server.commands().contains("REST 30000"));
    EXPECT_EQ(qbtest::sha256(qbtest::readFile(target)), qbtest::sha256(content));
}

TEST(Qbyget, TimeoutsAreCheckedAndHonouredForFtpToo) {
    for (const char* value : {"-1", "86401", "2147483648", "ten", ""}) {
        const ToolRun run = qbyget({QString("--timeout=") + value, "http://127.0.0.1/x", "y"});
        EXPECT_EQ(run.exitCode, 2) << value;
        EXPECT_TRUE(run.err.contains("--timeout takes whole seconds from 0 to 86400")) << value;
    }
    ftptest::FtpTestServer server;
    server.on("RETR", [](ftptest::FtpSession& s, const QByteArray&) { s.control.sleep(8000); });
    server.start();
    qbtest::TempHome home;
    QElapsedTimer clock;
    clock.start();
    const ToolRun run =
        qbyget({"--timeout=1", QString("ftp://127.0.0.1:%1/pub/f.bin").arg(server.port()),
                home.file("f.bin")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("426 Timeout")) << run.err.constData();
    EXPECT_LT(clock.elapsed(), 6000);
}

} // namespace
