#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "ScriptedServer.h"
#include "net/HostLookup.h"
#include "net/HttpCli.h"
#include "net/WSocket.h"
#include "platform/MessageLoop.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <functional>
#include <future>

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

// An Abort while the resolver has the name, while the connect waits (on a port that never
// answers) or while the TLS handshake waits (on a silent server) ends the request there.
TEST(HttpAbort, DuringTheLookupTheConnectOrTheHandshake) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> asked{false};
    HostLookup::setResolver([&asked, released](const QByteArray&, QString& address) {
        asked = true;
        released.wait();
        address = "127.0.0.1";
        return 0;
    });
    qbtest::UnansweredPort unanswered;
    ScriptedServer silent([](ScriptedConnection& c) { c.sleep(30000); });
    const QList<int> lookup = {httpStarting, httpDnsLookup, httpAborting, httpReady};
    const QList<int> connecting = {httpStarting, httpDnsLookup, httpDnsLookupDone, httpAborting,
                                   httpReady};
    const struct {
        QString url;
        std::function<bool(THttpCli&)> under;
        QList<int> states;
    } cases[] = {
        {"http://slow.example.test/file.zip", [&](THttpCli&) { return asked.load(); }, lookup},
        {QString("http://127.0.0.1:%1/").arg(unanswered.port()),
         [](THttpCli& h) { return h.CtrlSocket().State() == wsConnecting; }, connecting},
        {QString("https://127.0.0.1:%1/").arg(silent.port()),
         [](THttpCli& h) { return h.CtrlSocket().TlsHandshaking(); }, connecting},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(qPrintable(k.url));
        THttpCli http;
        QList<int> states;
        http.OnStateChange = [&](THttpCli& h) { states << h.State(); };
        bool connected = false;
        http.OnSessionConnected = [&](THttpCli&) { connected = true; };
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (k.under(http))
                http.Abort();
        });
        poll.start(5);
        http.URL = k.url;
        EXPECT_EQ(httpOutcome(http, &THttpCli::Get), QString("404 Connection aborted on request"));
        poll.stop();
        if (k.states == lookup) {
            // The lookup's late answer changes nothing.
            release.set_value();
            ASSERT_TRUE(qbtest::pumpUntil([] { return HostLookup::inFlight() == 0; }));
            HostLookup::setResolver(nullptr);
            platform::processMessages();
            EXPECT_FALSE(connected);
        }
        EXPECT_EQ(http.RequestError(), httperrAborted);
        EXPECT_EQ(states, k.states);
        EXPECT_EQ(http.CtrlSocket().State(), wsClosed);
        EXPECT_FALSE(http.CtrlSocket().TlsHandshaking());
    }
}

class HttpAbortOver : public OverScheme {};
QB_OVER_HTTP_AND_HTTPS(HttpAbortOver);

TEST_P(HttpAbortOver, DuringTheBodyKeepsEveryByteReceived) {
    const qint64 size = 4 * 1024 * 1024;
    std::atomic<bool> peerClosed{false};
    ScriptedServer server(
        [&](ScriptedConnection& c) {
            c.readRequestHeader();
            c.send("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(size) + "\r\n\r\n");
            c.sendPattern(0, 256 * 1024);
            peerClosed = c.waitForPeerClose();
        },
        scheme());
    THttpCli http;
    QBuffer stream;
    stream.open(QIODevice::WriteOnly);
    http.ReceiveStream = &stream;
    QByteArray seen;
    int docEnds = 0;
    http.OnDocData = [&](THttpCli& h, const char* data, qint64 len) {
        seen.append(data, int(len));
        h.Abort();
    };
    http.OnDocEnd = [&](THttpCli&) { ++docEnds; };
    http.URL = server.url("/big.bin");
    EXPECT_EQ(httpOutcome(http, &THttpCli::Get), QString("404 Connection aborted on request"));
    EXPECT_FALSE(seen.isEmpty());
    EXPECT_EQ(stream.data(), seen);
    EXPECT_EQ(seen, qbtest::patternBytes(0, seen.size()));
    EXPECT_EQ(http.ReceivedCount(), seen.size());
    EXPECT_EQ(docEnds, 1);
    EXPECT_TRUE(qbtest::pumpUntil([&] { return peerClosed.load(); }));
}

// Timeout counts silence, not the whole (a trickle never reaches it); CallTimeout bounds the
// whole call, however the server trickles.
TEST_P(HttpAbortOver, TheTimeoutCountsSilenceAndTheCallTimeoutTheWhole) {
    const auto trickle = [](const QByteArray& head, const QByteArray& piece, int count) {
        return [=](ScriptedConnection& c) {
            c.readRequestHeader();
            c.send(head);
            for (int i = 0; i < count && c.sleep(200); ++i)
                c.send(piece.isEmpty() ? "X-Slow: " + QByteArray::number(i) + "\r\n"
                                       : QByteArray(1, char(piece[0] + i)));
        };
    };
    const struct {
        const char* name;
        ScriptedServer::Script script;
        int callTimeout;
        void (THttpCli::*call)();
        const char* outcome;
        QByteArray body;
    } cases[] = {
        {"silent",
         [](ScriptedConnection& c) {
             c.readRequestHeader();
             c.sleep(30000); // ends early when the test is over
         },
         0, &THttpCli::Head,
         "404 Request timed out: nothing received from the server for 1 seconds", ""},
        {"trickling body", trickle("HTTP/1.0 200 OK\r\n\r\n", "a", 10), 0, &THttpCli::Get, "",
         "abcdefghij"},
        {"trickling header, bounded call", trickle("HTTP/1.1 200 OK\r\n", "", 30), 1,
         &THttpCli::Head, "404 Request timed out: no complete answer within 1 seconds", ""},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        ScriptedServer server(k.script, scheme());
        LoggedClient client;
        client.http.Timeout = 1;
        client.http.CallTimeout = k.callTimeout;
        client.http.URL = server.url("/f");
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(client.run(k.call), QString(k.outcome));
        if (k.callTimeout) {
            EXPECT_LT(clock.elapsed(), 2500);
        }
        EXPECT_EQ(client.http.RequestError(), *k.outcome ? httperrTimeout : httperrNoError);
        EXPECT_EQ(client.body, k.body);
        EXPECT_EQ(client.http.CtrlSocket().State(), wsClosed);
    }
}

} // namespace
