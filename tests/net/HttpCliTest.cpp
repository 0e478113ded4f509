#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "ScriptedServer.h"
#include "net/HttpCli.h"
#include "net/WSocket.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QStringList>

#include <atomic>

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

// What the client makes of a server's answers, the same over http and https.
class HttpClientOver : public OverScheme {};
QB_OVER_HTTP_AND_HTTPS(HttpClientOver);

TEST_P(HttpClientOver, APlainGetSendsTheRequestLineHostAndNothingElse) {
    ScriptedServer server(
        answerAll(response("HTTP/1.0 200 OK",
                           {"Content-Length: 5", "Content-Type: Application/Zip"}, "hello")),
        scheme());
    LoggedClient client;
    QList<int> done;
    client.http.OnRequestDone = [&](THttpCli&, THttpRequest rq, int error) { done << rq << error; };
    client.http.URL = server.url("/dir/file.zip");
    EXPECT_EQ(client.run(&THttpCli::Get), QString());
    EXPECT_EQ(server.received().value(0),
              QByteArray("GET /dir/file.zip HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_EQ(client.http.StatusCode(), 200);
    EXPECT_EQ(client.http.ReasonPhrase(), QString("OK"));
    EXPECT_EQ(client.http.ContentLength(), 5);
    EXPECT_EQ(client.http.ContentType(), QString("application/zip"));
    EXPECT_EQ(client.http.DocumentName(), QString("file.zip"));
    EXPECT_EQ(client.http.ReceivedCount(), 5);
    EXPECT_EQ(client.http.ReceivedHeader(), QStringList({"HTTP/1.0 200 OK", "Content-Length: 5",
                                                         "Content-Type: Application/Zip"}));
    EXPECT_EQ(client.body, QByteArray("hello"));
    EXPECT_EQ(
        client.events,
        QStringList({"GET /dir/file.zip HTTP/1.0", "HeaderBegin", "HeaderData HTTP/1.0 200 OK",
                     "HeaderData Content-Length: 5", "HeaderData Content-Type: Application/Zip",
                     "HeaderEnd", "DocBegin", "DocEnd"}));
    EXPECT_EQ(client.http.State(), httpReady);
    ASSERT_TRUE(qbtest::pumpUntil([&] { return !done.isEmpty(); }));
    EXPECT_EQ(done, QList<int>({httpGET, 0}));

    client.http.Agent = "Quillbay/1.0";
    client.run(&THttpCli::Head);
    EXPECT_EQ(
        server.received().value(1),
        QByteArray(
            "HEAD /dir/file.zip HTTP/1.0\r\nUser-Agent: Quillbay/1.0\r\nHost: 127.0.0.1\r\n\r\n"));
}

TEST_P(HttpClientOver, ARangeIsSentOnceAndAReceivedRangeIsNeverSentBack) {
    ScriptedServer server(
        answerAll(response("HTTP/1.1 206 Partial Content",
                           {"Content-Length: 4000", "Content-Range: bytes 1000-4999/5000"},
                           QByteArray(4000, 'x'))),
        scheme());
    LoggedClient client;
    client.http.URL = server.url("/f.bin");
    client.http.ContentRangeBegin = QString::number(1000);
    EXPECT_EQ(client.run(&THttpCli::Get), QString());
    EXPECT_TRUE(client.http.ContentRangeBegin.isEmpty());
    EXPECT_EQ(client.http.ReceivedRangeBegin(), QString("1000"));
    EXPECT_EQ(client.http.ReceivedRangeEnd(), QString("4999"));
    EXPECT_EQ(client.run(&THttpCli::Get), QString());
    const QList<QByteArray> requests = server.received();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0],
              QByteArray("GET /f.bin HTTP/1.0\r\nHost: 127.0.0.1\r\nRange: bytes=1000-\r\n\r\n"));
    EXPECT_EQ(requests[1], QByteArray("GET /f.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"));
}

TEST_P(HttpClientOver, RedirectsAreFollowedInsideOneCallWithLocationChangeBetween) {
    quint16 port = 0;
    const QByteArray base = GetParam() + QByteArray("://127.0.0.1:");
    ScriptedServer server(
        [&port, base](ScriptedConnection& c) {
            c.readRequestHeader();
            const QByteArray self = base + QByteArray::number(port);
            if (c.index() == 0)
                c.send(response("HTTP/1.0 302 Found", {"Location: " + self + "/other/b.zip"},
                                "moved"));
            else if (c.index() == 1)
                c.send(response("HTTP/1.0 301 Moved", {"Location:../dir/c.zip?x=1"}));
            else
                c.send(response("HTTP/1.0 200 OK",
                                {"Content-Length: 3", "Content-Type: application/zip"}));
        },
        scheme());
    port = server.port();
    LoggedClient client;
    client.http.URL = server.url("/dir/a.zip");
    EXPECT_EQ(client.run(&THttpCli::Head), QString());
    const QStringList requestsAndMoves =
        client.events.filter(QRegularExpression("^(HEAD|Location)"));
    EXPECT_EQ(
        requestsAndMoves,
        QStringList({"HEAD /dir/a.zip HTTP/1.0", "LocationChange " + server.url("/other/b.zip"),
                     "HEAD /other/b.zip HTTP/1.0", "LocationChange ../dir/c.zip?x=1",
                     "HEAD /dir/c.zip?x=1 HTTP/1.0"}));
    EXPECT_EQ(client.http.StatusCode(), 200);
    EXPECT_EQ(client.http.ContentLength(), 3);
    EXPECT_EQ(client.http.Location, QString("../dir/c.zip?x=1"));
    EXPECT_EQ(client.http.DocumentName(), QString("c.zip"));
    EXPECT_FALSE(client.events.contains("DocBegin")); // the redirect's own body is dropped
    EXPECT_EQ(server.connectionCount(), 3);
}

TEST_P(HttpClientOver, TheTwentyFirstRedirectFailsInsteadOfLoopingForEver) {
    ScriptedServer server(
        [](ScriptedConnection& c) {
            c.readRequestHeader();
            c.send(response("HTTP/1.0 302 Found",
                            {"Location: /loop" + QByteArray::number(c.index() + 1)}));
        },
        scheme());
    LoggedClient client;
    client.http.URL = server.url("/loop0");
    const QString failure = client.run(&THttpCli::Get);
    EXPECT_TRUE(failure.startsWith("404 Too many redirections: more than 20"))
        << qPrintable(failure);
    EXPECT_EQ(client.http.RequestError(), httperrTooManyRedirects);
    EXPECT_EQ(client.events.filter("LocationChange").size(), 20);
    EXPECT_EQ(server.connectionCount(), 21);

    // The count starts again with each call.
    client.http.URL = server.url("/again");
    EXPECT_TRUE(client.run(&THttpCli::Head).startsWith("404 Too many redirections"));
    EXPECT_EQ(server.connectionCount(), 42);
}

TEST_P(HttpClientOver, AnErrorStatusClosesAndRaisesWithoutBodyEvents) {
    std::atomic<bool> clientClosedFirst{false};
    ScriptedServer server(
        [&](ScriptedConnection& c) {
            c.readRequestHeader();
            c.send(response("HTTP/1.0 404 Not Found", {"Content-Type: text/html"},
                            "<html>gone</html>"));
            clientClosedFirst = c.waitForPeerClose(5000);
        },
        scheme());
    LoggedClient client;
    client.http.URL = server.url("/missing.zip");
    EXPECT_EQ(client.run(&THttpCli::Get), QString("404 Not Found"));
    EXPECT_EQ(client.http.CtrlSocket().State(), wsClosed);
    EXPECT_EQ(client.http.RequestError(), httperrStatus);
    EXPECT_EQ(client.events, QStringList({"GET /missing.zip HTTP/1.0", "HeaderBegin",
                                          "HeaderData HTTP/1.0 404 Not Found"}));
    EXPECT_TRUE(client.body.isEmpty());
    EXPECT_TRUE(qbtest::pumpUntil([&] { return clientClosedFirst.load(); }));
}

TEST_P(HttpClientOver, AnHtmlDocumentWithoutHeaderIsBodyByteForByte) {
    const QByteArray page = "<HtMl>\r\n<body>hi</body>\n</html>\r\n";
    ScriptedServer server(answerAll(page), scheme());
    LoggedClient client;
    client.http.URL = server.url("/page");
    EXPECT_EQ(client.run(&THttpCli::Get), QString());
    EXPECT_EQ(client.body, page);
    EXPECT_EQ(client.http.ContentType(), QString("text/html"));
    EXPECT_EQ(client.http.StatusCode(), 0);
    EXPECT_TRUE(client.events.contains("DocEnd"));
}

TEST(HttpClient, ConnectionFailuresCarry404AndTheSocketErrorText) {
    LoggedClient client;
    client.http.URL = QString("http://127.0.0.1:%1/x").arg(qbtest::closedPort());
    EXPECT_EQ(client.run(&THttpCli::Get), QString("404 Connection refused (Error #10061)"));
    EXPECT_EQ(client.http.RequestError(), httperrConnection);

    client.http.URL = "http:///nohost";
    EXPECT_EQ(client.run(&THttpCli::Get), QString("404 can't resolve hostname to IP address"));

    client.http.URL = "http://127.0.0.1:99999/x";
    EXPECT_EQ(client.run(&THttpCli::Get),
              QString("404 can't connect: WSocketResolvePort: Cannot convert port '99999'"));

    ScriptedServer silentClose([](ScriptedConnection& c) { c.readRequestHeader(); });
    client.http.URL = silentClose.url("/x");
    EXPECT_EQ(client.run(&THttpCli::Get),
              QString("404 Connection closed by the server before the response header"));
}

TEST_P(HttpClientOver, ContentLengthThatIsNotADecimalNumberLeavesTheLengthUnknown) {
    const std::pair<const char*, qint64> cases[] = {
        {"12abc", -1},
        {"-5", -1},
        {"", -1},
        {"0x10", -1},
        {"99999999999999999999", -1},
        {"+7", -1},
        {"  42 ", 42},
        {"5368709120", 5368709120LL},
    };
    for (auto [value, expected] : cases) {
        ScriptedServer server(
            answerAll(response("HTTP/1.0 200 OK", {QByteArray("Content-Length:") + value}, "body")),
            scheme());
        LoggedClient client;
        client.http.URL = server.url("/f");
        // A length the body does not reach is a failed download.
        const QString outcome = client.run(&THttpCli::Get);
        if (expected < 0)
            EXPECT_EQ(outcome, QString()) << value;
        else
            EXPECT_TRUE(outcome.contains(QString("after 4 of %1 bytes").arg(expected)))
                << qPrintable(outcome);
        EXPECT_EQ(client.http.ContentLength(), expected) << value;
        EXPECT_EQ(client.body, QByteArray("body")) << value;
        EXPECT_EQ(client.traces.filter("not a decimal number").size(), expected < 0 ? 1 : 0)
            << value;
    }
}

TEST_P(HttpClientOver, AHeaderLineLongerThanTheLineBufferFails) {
    for (const int length : {8190, 8191}) {
        // 8190 characters and CR LF fill the buffer exactly.
        const QByteArray line = "X-Long: " + QByteArray(length - 8, 'a');
        ScriptedServer server(answerAll(response("HTTP/1.0 200 OK", {line}, "ok")), scheme());
        LoggedClient client;
        client.http.URL = server.url("/f");
        EXPECT_EQ(client.run(&THttpCli::Get),
                  length == 8190 ? QString() : QString("404 HTTP line too long"))
            << length;
        EXPECT_EQ(client.body, length == 8190 ? QByteArray("ok") : QByteArray()) << length;
    }
}

TEST(HttpClient, AStartWhileBusyIsRefused) {
    ScriptedServer server(answerAll(response("HTTP/1.0 200 OK", {"Content-Length: 2"}, "ok")));
    LoggedClient client;
    QString inner;
    client.http.OnHeaderData = [&](THttpCli& h) { inner = httpOutcome(h, &THttpCli::Get); };
    client.http.URL = server.url("/f");
    EXPECT_EQ(client.run(&THttpCli::Get), QString());
    EXPECT_EQ(inner, QString("1 HTTP component is busy"));
    THttpCli post;
    EXPECT_EQ(httpOutcome(post, &THttpCli::Post), QString("2 HTTP component has nothing to post"));
}

TEST_P(HttpClientOver, AReceiveStreamThatRefusesDataEndsTheRequest) {
    ScriptedServer server(answerAll(response("HTTP/1.0 200 OK", {}, "data")), scheme());
    LoggedClient client;
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    client.http.ReceiveStream = &readOnly;
    client.http.URL = server.url("/f");
    EXPECT_TRUE(client.run(&THttpCli::Get).startsWith("404 Can't write the received data"));
    EXPECT_EQ(client.http.RequestError(), httperrStreamWrite);
}

TEST_P(HttpClientOver, ALocationToAnotherProtocolIsLeftToTheCaller) {
    ScriptedServer server(
        answerAll(response("HTTP/1.0 302 Found", {"Location: ftp://ftp.example/pub/f.zip"})),
        scheme());
    LoggedClient client;
    client.http.URL = server.url("/f.zip");
    EXPECT_EQ(client.run(&THttpCli::Head), QString());
    EXPECT_EQ(client.http.StatusCode(), 302);
    EXPECT_EQ(client.http.Location, QString("ftp://ftp.example/pub/f.zip"));
    EXPECT_TRUE(client.events.filter("LocationChange").isEmpty());
    EXPECT_EQ(client.traces.filter("not followed").size(), 1);
    EXPECT_EQ(server.connectionCount(), 1);
}

} // namespace
