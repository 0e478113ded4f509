#include <gtest/gtest.h>

#include <QTimer>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "DialogAnswerer.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "app/ContentProbe.h"
#include "platform/ProbeBlock.h"

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

// A server that answers every request with `response` and closes.
ScriptedServer::Script answering(const QByteArray& response) {
    return [response](ScriptedConnection& c) {
        c.readRequestHeader();
        c.send(response);
        c.close();
    };
}

TEST(ContentProbe, VerdictsFollowTheServersAnswer) {
    struct Case {
        const char* what;
        QByteArray response;
        int verdict;
    };
    const Case cases[] = {
        {"octet stream", "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n", 1},
        {"image", "HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n", 1},
        {"plain text in capitals", "HTTP/1.0 200 OK\r\nContent-Type: TEXT/PLAIN\r\n\r\n", 0},
        {"html with a charset", "HTTP/1.0 200 OK\r\ncontent-type: text/html; charset=utf-8\r\n\r\n",
         0},
        {"no content type at all", "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n", 1},
        {"the last content type decides",
         "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Type: application/zip\r\n\r\n", 1},
        {"not found", "HTTP/1.0 404 Not Found\r\nContent-Type: application/zip\r\n\r\n", 0},
        // The client reads no further than a failing status line: no type, so binary.
        {"another failure leaves it to the headers received",
         "HTTP/1.0 403 Forbidden\r\nContent-Type: text/html\r\n\r\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(answering(c.response));
        EXPECT_EQ(judgeUrl(server.url("/file.bin"), 5), c.verdict);
        ASSERT_EQ(server.received().size(), 1);
        EXPECT_TRUE(server.received()[0].startsWith("HEAD /file.bin HTTP/1.0\r\n"));
    }
}

TEST(ContentProbe, FtpEmptyAndUnreachableNeedNoAnswer) {
    ScriptedServer server(answering("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"));
    const QString port = QString::number(server.port());
    EXPECT_EQ(judgeUrl("ftp://127.0.0.1:" + port + "/x.zip"), 1);
    EXPECT_EQ(judgeUrl("FTP://127.0.0.1:" + port + "/x.zip"), 1);
    EXPECT_EQ(judgeUrl("ftpserver.example/readme.txt"), 1);
    EXPECT_EQ(judgeUrl(""), 0);
    EXPECT_EQ(server.connectionCount(), 0) << "nothing is fetched for these";

    EXPECT_EQ(judgeUrl(QString("http://127.0.0.1:%1/a.zip").arg(qbtest::closedPort())), 0);
}

TEST(ContentProbe, ASilentServerEndsWithTheTimeout) {
    ScriptedServer silent([](ScriptedConnection& c) {
        c.readRequestHeader();
        c.waitForPeerClose(60000);
    });
    EXPECT_EQ(judgeUrl(silent.url("/a.zip"), 1), 0);
}

TEST(ContentProbe, AMissingBlockShowsTheSystemsMessageAndWritesNothing) {
    qbtest::TempHome home;
    qbtest::DialogAnswerer boxes;
    boxes.answer(platform::IDOK);
    answerContentProbe(5);
    ASSERT_EQ(boxes.texts(), QStringList({QString::fromLocal8Bit(std::strerror(ENOENT))}));
    EXPECT_EQ(boxes.boxes()[0].icon(), unsigned(platform::MB_ICONERROR));
}

TEST(ContentProbe, AProbeInsideAProbeKeepsToItsOwnBlock) {
    qbtest::TempHome home;
    // The outer probe's server answers only after the inner probe has run.
    std::atomic<bool> innerDone{false};
    ScriptedServer server([&](ScriptedConnection& c) {
        c.readRequestHeader();
        for (int i = 0; i < 2000 && !innerDone; ++i)
            c.sleep(5);
        c.send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n");
        c.close();
    });
    platform::ProbeBlock helper;
    ASSERT_TRUE(helper.create());
    helper.setField(0, server.url("/page").toUtf8());
    char innerAnswer = -1;
    QTimer::singleShot(50, [&] {
        helper.setField(0, "ftp://h/file.zip");
        answerContentProbe(5);
        innerAnswer = helper.answer();
        innerDone = true;
    });
    answerContentProbe(5);
    EXPECT_EQ(innerAnswer, 1);
    EXPECT_EQ(helper.answer(), 0) << "the outer probe wrote through its own mapping";
    helper.unlink();
}

} // namespace
