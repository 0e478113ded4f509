// The socket with TLS: the same events as a plain connection, and no data left waiting
// inside the TLS session when the socket itself has nothing more to signal.

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "net/WSocket.h"

#include <atomic>

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

// A socket set up for TLS to the scripted server, with its events written down.
struct TlsClient {
    TWSocket socket;
    QStringList events;
    QByteArray received;
    int connectError = -1;
    explicit TlsClient(quint16 port, bool tls = true) {
        socket.SetAddr("127.0.0.1");
        socket.SetPort(QString::number(port));
        if (tls)
            socket.SetTls({"127.0.0.1", qbtest::TestCertificates::get().caFile()});
        socket.OnSessionConnected = [this](TWSocket& s, int error) {
            connectError = error;
            events << QString("connected %1 %2").arg(error).arg(s.TlsProtocol());
        };
        socket.OnSessionClosed = [this](TWSocket&, int error) {
            events << QString("closed %1").arg(error);
        };
    }
    bool closed() const { return !events.filter("closed").isEmpty(); }
};

TEST(TlsSocket, BytesLeftInsideTheSessionAreStillDelivered) {
    // One burst and then silence with the connection open: after the first read the
    // kernel has nothing more to signal, the rest waits inside the TLS session.
    const QByteArray burst = qbtest::patternBytes(0, 12000);
    std::atomic<bool> done{false};
    ScriptedServer server(
        [&](ScriptedConnection& c) {
            c.send(burst);
            c.waitForPeerClose(20000);
            done = true;
        },
        "https");
    TlsClient client(server.port());
    client.socket.OnDataAvailable = [&](TWSocket& s, int) {
        char small[100];
        const qint64 n = s.Receive(small, sizeof small);
        if (n > 0)
            client.received.append(small, int(n));
    };
    client.socket.Connect();
    EXPECT_TRUE(qbtest::pumpUntil([&] { return client.received.size() >= burst.size(); }, 5000))
        << client.received.size() << " of " << burst.size();
    EXPECT_EQ(client.received, burst);
    EXPECT_EQ(client.events, QStringList({"connected 0 TLSv1.3"}));
    client.socket.Close();
    EXPECT_TRUE(qbtest::pumpUntil([&] { return done.load(); }));
}

TEST(TlsSocket, TheServersCloseAndResetArriveAsSessionClosedWithOrWithoutTls) {
    enum End { Notify, Silent, Reset };
    struct Case {
        const char* what;
        bool tls;
        End end;
        QStringList events;
        QString reason;
    };
    const Case cases[] = {
        {"close_notify and close", true, Notify, {"connected 0 TLSv1.3", "closed 0"}, {}},
        // Without close_notify the data may be cut short, which the close error says.
        {"close without close_notify",
         true,
         Silent,
         {"connected 0 TLSv1.3", "closed 12100"},
         "TLS connection with 127.0.0.1 failed: the server ended the connection without closing "
         "TLS; the data may be incomplete"},
        {"reset", true, Reset, {"connected 0 TLSv1.3", "closed 10054"}, "Connection reset by peer"},
        {"reset without TLS",
         false,
         Reset,
         {"connected 0 ", "closed 10054"},
         "Connection reset by peer"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ScriptedServer server(
            [&](ScriptedConnection& c) {
                c.send("hello");
                c.sleep(200);
                if (k.end == Reset)
                    c.reset();
                else
                    c.close(k.end == Notify);
            },
            k.tls ? "https" : "http");
        TlsClient client(server.port(), k.tls);
        client.socket.OnDataAvailable = [&](TWSocket& s, int) {
            char buffer[64];
            qint64 n;
            while ((n = s.Receive(buffer, sizeof buffer)) > 0)
                client.received.append(buffer, int(n));
        };
        client.socket.Connect();
        ASSERT_TRUE(qbtest::pumpUntil([&] { return client.closed(); }));
        EXPECT_EQ(client.received, "hello");
        EXPECT_EQ(client.events, k.events);
        if (!k.reason.isEmpty()) {
            EXPECT_EQ(client.socket.LastErrorText(), k.reason);
        }
        EXPECT_EQ(client.socket.State(), wsClosed);
        EXPECT_TRUE(client.socket.TlsProtocol().isEmpty());
    }
}

TEST(TlsSocket, AnUnreadableAuthorityFileFailsTheConnectWithItsReason) {
    ScriptedServer server([](ScriptedConnection& c) { c.sleep(5000); }, "https");
    TlsClient client(server.port());
    client.socket.SetTls({"127.0.0.1", "/nonexistent/ca.pem"});
    client.socket.Connect();
    ASSERT_TRUE(qbtest::pumpUntil([&] { return client.connectError >= 0; }));
    EXPECT_EQ(client.connectError, WSAETLSFAILED);
    EXPECT_TRUE(client.socket.LastErrorText().startsWith(
        "TLS handshake with 127.0.0.1 failed: cannot read the certificate authorities in "
        "/nonexistent/ca.pem"))
        << qPrintable(client.socket.LastErrorText());
    EXPECT_FALSE(client.closed());
}

} // namespace
