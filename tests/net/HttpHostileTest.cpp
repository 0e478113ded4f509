// The HTTP client against servers that misbehave, and state that must not leak from one
// hop or request into the next.
#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "ScriptedServer.h"
#include "net/HttpCli.h"

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

// How a scripted server ends the connection after its reply.
enum class Ending {
    Close, // an orderly end (with TLS, after close_notify)
    Cut,   // the stream just ends: with TLS, without close_notify
    Reset, // a reset (RST)
};

struct Hostile {
    const char* name;
    QByteArray reply; // sent after the request header
    Ending ending;
    const char* outcome; // start of the blocking call's failure; "" for success
    QByteArray body;     // what reached OnDocData
    // Over TLS, when it differs: an end without close_notify may be a truncation.
    const char* tlsOutcome = nullptr;
};

// Every case runs over http and https: what a server sends is answered alike. The parser's
// own test goes through every framing; here each kind of ending reaches the caller.
class HttpHostile : public OverScheme {};
QB_OVER_HTTP_AND_HTTPS(HttpHostile);

TEST_P(HttpHostile, OnlyACompleteResponseIsASuccess) {
    QByteArray flood = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 2000; ++i)
        flood += "X-Flood: " + QByteArray::number(i) + "\r\n";
    const Hostile cases[] = {
        {"header flood", flood + "\r\nbody", Ending::Close,
         "404 Response header too large: more than 1000 lines", ""},
        {"reset inside a known length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nbody",
         Ending::Reset, "404 Connection closed after 4 of 10 bytes", "body"},
        {"reset inside an unknown length", "HTTP/1.0 200 OK\r\n\r\nbody", Ending::Reset,
         "404 Connection broken during the body", "body"},
        {"204 is no document", "HTTP/1.1 204 No Content\r\n\r\n", Ending::Close,
         "204 No document: the server answered 204", ""},
        {"3xx without Location", "HTTP/1.1 302 Found\r\nContent-Length: 4\r\n\r\nbody",
         Ending::Close, "302 No document: the server answered 302", "body"},
        // Without close_notify a TLS stream may have been cut by anyone on the way: only a
        // body whose end the response itself marks is whole.
        {"unknown length, stream just ends", "HTTP/1.0 200 OK\r\n\r\nbody", Ending::Cut, "", "body",
         "404 Connection broken during the body"},
        {"whole known length, stream just ends", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody",
         Ending::Cut, "", "body"},
        {"shorter than its length, stream just ends",
         "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nbody", Ending::Cut,
         "404 Connection closed after 4 of 10 bytes", "body"},
        {"chunked to the end, stream just ends",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nbody\r\n0\r\n\r\n", Ending::Cut,
         "", "body"},
        {"header, stream just ends", "HTTP/1.1 200 OK\r\nContent-Ty", Ending::Cut,
         "404 Connection closed by the server inside the response header", ""},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(
            [&c](ScriptedConnection& conn) {
                conn.readRequestHeader();
                conn.send(c.reply);
                if (c.ending == Ending::Reset)
                    conn.reset();
                else
                    conn.close(c.ending == Ending::Close);
            },
            scheme());
        const char* expected = scheme() == "https" && c.tlsOutcome ? c.tlsOutcome : c.outcome;
        LoggedClient client;
        client.http.Timeout = 10;
        client.http.URL = server.url("/f.bin");
        const QString outcome = client.run(&THttpCli::Get);
        EXPECT_TRUE(*expected ? outcome.startsWith(expected) : outcome.isEmpty())
            << qPrintable(outcome);
        EXPECT_EQ(client.http.RequestError() == httperrNoError, !*expected);
        EXPECT_EQ(client.body, c.body);
    }
}

// Two servers of one scheme: the first redirects to the second, which records what it got.
struct RedirectPair {
    RedirectPair(const QByteArray& firstHeader, const QString& scheme)
        : second(answerAll("HTTP/1.0 200 OK\r\n\r\nsecond"), scheme),
          first(
              [this, firstHeader](ScriptedConnection& c) {
                  c.readRequestHeader();
                  c.send("HTTP/1.0 302 Found\r\nLocation: " + second.url("/to").toLatin1() +
                         "\r\n" + firstHeader + "\r\nfirst");
              },
              scheme) {}
    ScriptedServer second;
    ScriptedServer first;
};

TEST_P(HttpHostile, NothingOfOneHopOrRequestLeaksIntoTheNext) {
    {
        SCOPED_TRACE("Content-Length of the redirect");
        RedirectPair pair("Content-Length: 5\r\n", scheme());
        THttpCli http;
        http.URL = pair.first.url("/from");
        ASSERT_EQ(httpOutcome(http, &THttpCli::Get), QString());
        EXPECT_EQ(http.ContentLength(), -1);
    }
    {
        SCOPED_TRACE("a resume with credentials redirected to another host");
        RedirectPair pair("", scheme());
        THttpCli http;
        http.URL = pair.first.url("/from").replace("://", "://user:secret@");
        http.ContentRangeBegin = "1000";
        ASSERT_EQ(httpOutcome(http, &THttpCli::Get), QString());
        const QByteArray first = pair.first.received().value(0);
        const QByteArray second = pair.second.received().value(0);
        EXPECT_TRUE(first.contains("\r\nRange: bytes=1000-\r\n"));
        EXPECT_TRUE(second.contains("\r\nRange: bytes=1000-\r\n"));
        EXPECT_TRUE(http.ContentRangeBegin.isEmpty());
        EXPECT_TRUE(first.contains("Authorization: Basic "));
        EXPECT_FALSE(second.contains("Authorization"));
    }
    {
        SCOPED_TRACE("credentials and a later request");
        ScriptedServer server(answerAll("HTTP/1.0 200 OK\r\n\r\nok"), scheme());
        THttpCli http;
        http.URL = server.url("/a").replace("://", "://user:secret@");
        ASSERT_EQ(httpOutcome(http, &THttpCli::Get), QString());
        http.URL = server.url("/b");
        ASSERT_EQ(httpOutcome(http, &THttpCli::Get), QString());
        ASSERT_EQ(server.received().size(), 2);
        EXPECT_TRUE(server.received()[0].contains("Authorization: Basic dXNlcjpzZWNyZXQ="));
        EXPECT_FALSE(server.received()[1].contains("Authorization"));
        EXPECT_TRUE(http.Username.isEmpty());
    }
}

// Plain http only: the client refuses https through a proxy.
TEST(HttpHostileProxy, ThroughAProxyEachHopNamesItsOwnTargetAndIpv6HostsKeepBrackets) {
    ScriptedServer proxy([](ScriptedConnection& c) {
        c.readRequestHeader();
        if (c.index() == 0)
            c.send("HTTP/1.0 302 Found\r\nLocation: http://[::1]:8080/next\r\n\r\n");
        else
            c.send("HTTP/1.0 200 OK\r\n\r\nok");
    });
    THttpCli http;
    http.Proxy = "127.0.0.1";
    http.ProxyPort = QString::number(proxy.port());
    http.URL = "http://[::1]:8080/first";
    ASSERT_EQ(httpOutcome(http, &THttpCli::Get), QString());
    const QList<QByteArray> requests = proxy.received();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_TRUE(requests[0].startsWith("GET http://[::1]:8080/first HTTP/1.0\r\n"))
        << requests[0].constData();
    EXPECT_TRUE(requests[1].startsWith("GET http://[::1]:8080/next HTTP/1.0\r\n"))
        << requests[1].constData();
    EXPECT_TRUE(requests[1].contains("\r\nHost: [::1]\r\n")) << requests[1].constData();
}

} // namespace
