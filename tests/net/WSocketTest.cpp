#include <gtest/gtest.h>

#include <QThread>

#include "NetTestSupport.h"
#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "net/HostLookup.h"
#include "net/WSocket.h"
#include "net/WSocketErrors.h"
#include "platform/MessageLoop.h"

#include <QRegularExpression>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <memory>
#include <netdb.h>
#include <thread>
#include <vector>

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

struct ErrorText {
    int code;
    const char* text;
};

TEST(SocketErrors, CodesHaveTheirStandardTexts) {
    const ErrorText table[] = {
        {0, "No Error"},
        {10004, "Interrupted system call"},
        {10035, "Operation would block"},
        {10054, "Connection reset by peer"},
        {10057, "Socket is not connected"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10065, "No route to host"},
        {11001, "Host not found"},
        {11004, "No Data"},
        {10003, "Not a WinSock error"},
        {11005, "Not a WinSock error"},
        {-1, "Not a WinSock error"},
    };
    for (const ErrorText& row : table)
        EXPECT_EQ(WSocketErrorDesc(row.code), QString(row.text)) << row.code;
}

TEST(SocketErrors, PlatformErrorsMapOntoSocketCodes) {
    const std::pair<int, int> errnos[] = {
        {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},  {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
        {ECONNRESET, 10054},   {EPIPE, 10054},      {ENOTCONN, 10057},     {EAGAIN, 10035},
        {EINPROGRESS, 10036},  {EADDRINUSE, 10048}, {EMFILE, 10024},       {EINVAL, 10022},
    };
    for (auto [err, code] : errnos)
        EXPECT_EQ(WSocketErrorFromErrno(err), code) << err;
    // Whatever an errno maps to has a text, unless it was left unmapped on purpose.
    for (int err = 1; err < 134; ++err) {
        const int code = WSocketErrorFromErrno(err);
        if (code != err) {
            EXPECT_NE(WSocketErrorDesc(code), QString("Not a WinSock error")) << err;
        }
    }
    EXPECT_EQ(WSocketErrorFromLookup(EAI_NONAME, 0), 11001);
    EXPECT_EQ(WSocketErrorFromLookup(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(WSocketErrorFromLookup(EAI_FAIL, 0), 11003);
    EXPECT_EQ(WSocketErrorFromLookup(EAI_NODATA, 0), 11004);
    EXPECT_EQ(WSocketErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

// Replaces the system resolver for one test.
class ResolverOverride {
public:
    explicit ResolverOverride(HostLookup::Resolver resolver) {
        HostLookup::setResolver(std::move(resolver));
    }
    ~ResolverOverride() {
        HostLookup::setResolver(nullptr);
        qbtest::pumpUntil([] { return HostLookup::inFlight() == 0; });
    }
};

// A numeric address completes before the call returns; a name through the system resolver.
TEST(SocketLookup, AddressesAndLocalhostResolve) {
    for (const char* host : {"127.0.0.1", "::1", "localhost"}) {
        SCOPED_TRACE(host);
        const bool numeric = QByteArray(host) != "localhost";
        TWSocket socket;
        int calls = 0, error = -1;
        socket.OnDnsLookupDone = [&](TWSocket&, int e) { ++calls, error = e; };
        socket.DnsLookup(host);
        if (numeric) {
            EXPECT_EQ(calls, 1);
        }
        ASSERT_TRUE(qbtest::pumpUntil([&] { return calls == 1; }));
        EXPECT_EQ(error, 0);
        const QString result = socket.DnsResult();
        EXPECT_TRUE(numeric ? result == host : result == "127.0.0.1" || result == "::1")
            << qPrintable(result);
    }
}

TEST(SocketLookup, EmptyHostIsRaisedOrReportedWithInvalidArgument) {
    TWSocket socket;
    int error = -1;
    socket.OnDnsLookupDone = [&](TWSocket&, int e) { error = e; };
    EXPECT_EQ(raised<ESocketException>([&] { socket.DnsLookup(""); }),
              QString("DNS lookup: invalid host name."));
    EXPECT_EQ(error, -1);

    QString message;
    socket.OnError = [&](TWSocket&, const QString& m) { message = m; };
    socket.DnsLookup("");
    EXPECT_EQ(message, QString("DNS lookup: invalid host name."));
    EXPECT_EQ(error, 10022);
}

TEST(SocketLookup, NamesResolveOnAWorkerAndCompleteInTheEventLoop) {
    std::atomic<bool> onWorker{false};
    const auto uiThread = std::this_thread::get_id();
    ResolverOverride resolver([&](const QByteArray& host, QString& address) {
        onWorker = std::this_thread::get_id() != uiThread;
        if (host == "files.example.test") {
            address = "127.0.0.2";
            return 0;
        }
        return int(WSAHOST_NOT_FOUND);
    });
    TWSocket socket;
    QList<int> errors;
    socket.OnDnsLookupDone = [&](TWSocket&, int e) { errors << e; };
    socket.DnsLookup("files.example.test");
    EXPECT_TRUE(errors.isEmpty());
    ASSERT_TRUE(qbtest::pumpUntil([&] { return errors.size() == 1; }));
    EXPECT_EQ(errors[0], 0);
    EXPECT_EQ(socket.DnsResult(), QString("127.0.0.2"));
    EXPECT_TRUE(onWorker);

    socket.DnsLookup("nowhere.example.test");
    ASSERT_TRUE(qbtest::pumpUntil([&] { return errors.size() == 2; }));
    EXPECT_EQ(errors[1], 11001);
}

TEST(SocketLookup, ACancelledOrOrphanedLookupNeverReportsItsLateResult) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    ResolverOverride resolver([released](const QByteArray&, QString& address) {
        released.wait();
        address = "127.0.0.3";
        return 0;
    });
    int cancelledCalls = 0, orphanCalls = 0;
    TWSocket cancelled;
    cancelled.OnDnsLookupDone = [&](TWSocket&, int) { ++cancelledCalls; };
    cancelled.DnsLookup("slow.example.test");
    EXPECT_TRUE(cancelled.LookupPending());
    cancelled.CancelLookup();
    EXPECT_FALSE(cancelled.LookupPending());

    auto* orphan = new TWSocket;
    orphan->OnDnsLookupDone = [&](TWSocket&, int) { ++orphanCalls; };
    orphan->DnsLookup("slow.example.test");
    delete orphan;

    release.set_value();
    ASSERT_TRUE(qbtest::pumpUntil([] { return HostLookup::inFlight() == 0; }));
    platform::processMessages();
    EXPECT_EQ(cancelledCalls, 0);
    EXPECT_EQ(orphanCalls, 0);
    EXPECT_TRUE(cancelled.DnsResult().isEmpty());
}

// Name lookups share a few worker threads: a burst of slow lookups cannot pile
// up threads, and a lookup cancelled before its turn never runs.
TEST(HostLookupPool, ABurstOfSlowLookupsRunsOnAFewThreadsAndCancelledOnesNeverRun) {
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::atomic<int> asked{0};
    HostLookup::setResolver([&](const QByteArray&, QString& address) {
        ++asked;
        const int now = ++running;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        --running;
        address = QStringLiteral("127.0.0.1");
        return 0;
    });
    int answered = 0;
    std::vector<std::shared_ptr<HostLookup>> lookups;
    for (int i = 0; i < 24; ++i)
        lookups.push_back(HostLookup::start(QStringLiteral("host%1.example").arg(i),
                                            [&](int, const QString&) { ++answered; }));
    // The second half is cancelled before its turn can come.
    for (int i = 12; i < 24; ++i)
        lookups[i]->cancel();
    EXPECT_TRUE(qbtest::pumpUntil([] { return HostLookup::inFlight() == 0; }, 10000));
    HostLookup::setResolver(nullptr);
    EXPECT_LE(most.load(), HostLookup::maxWorkers());
    EXPECT_EQ(answered, 12);
    EXPECT_LE(asked.load(), 12 + HostLookup::maxWorkers());
}

struct ConnectCase {
    const char* addr;
    const char* port;
    const char* proto;
    const char* message;
};

TEST(SocketConnect, MissingOrUnusableParametersAreRaised) {
    const ConnectCase cases[] = {
        {"", "80", "tcp", "Connect: No IP Address Specified"},
        {"127.0.0.1", "", "tcp", "Connect: No Port Specified"},
        {"127.0.0.1", "80", "", "Connect: No Protocol Specified"},
        {"127.0.0.1", "no-such-service", "tcp",
         "WSocketResolvePort: Cannot convert port 'no-such-service'"},
        {"127.0.0.1", "70000", "tcp", "WSocketResolvePort: Cannot convert port '70000'"},
        {"127.0.0.1", "80", "udp", "WSocketResolveProto: Cannot convert protocol 'udp'"},
        {"localhost", "80", "tcp", "WSocketResolveHost: Cannot convert host address 'localhost'"},
    };
    for (const ConnectCase& c : cases) {
        TWSocket socket;
        socket.SetAddr(c.addr);
        socket.SetPort(c.port);
        socket.SetProto(c.proto);
        EXPECT_EQ(raised<ESocketException>([&] { socket.Connect(); }), QString(c.message));
        EXPECT_EQ(socket.State(), wsClosed);
    }
}

// A client socket that logs its events as text.
struct LoggedSocket {
    TWSocket socket;
    QStringList events;
    QByteArray received;
    bool closed = false;
    LoggedSocket() {
        socket.OnChangeState = [this](TWSocket&, TSocketState from, TSocketState to) {
            events << QString("state %1>%2").arg(from).arg(to);
        };
        socket.OnSessionConnected = [this](TWSocket& s, int e) {
            events << QString("connected %1 %2").arg(e).arg(s.TlsProtocol()).trimmed();
        };
        socket.OnDataSent = [this](TWSocket&, int e) { events << QString("sent %1").arg(e); };
        socket.OnDataAvailable = [this](TWSocket& s, int) {
            char buffer[4096];
            qint64 n;
            while ((n = s.Receive(buffer, sizeof buffer)) > 0)
                received.append(buffer, int(n));
        };
        socket.OnSessionClosed = [this](TWSocket&, int e) {
            events << QString("closed %1").arg(e);
            closed = true;
        };
    }
    QStringList sessionEvents() const {
        return events.filter(QRegularExpression("^(connected|closed) "));
    }
    void connectTo(quint16 port, bool tls = false) {
        socket.SetAddr("127.0.0.1");
        socket.SetPort(QString::number(port));
        if (tls)
            socket.SetTls({"127.0.0.1", qbtest::TestCertificates::get().caFile()});
        socket.Connect();
    }
};

TEST(SocketSession, EventsFollowTheSessionInOrder) {
    ScriptedServer server([](ScriptedConnection& c) {
        const auto line = c.readLine();
        c.send("echo: " + line.value_or("?") + "\r\n");
    });
    LoggedSocket client;
    client.socket.OnSessionConnected = [&](TWSocket& s, int e) {
        client.events << QString("connected %1").arg(e);
        s.SendStr("hello\r\n");
        // The answer and the server's close arrive before the loop looks again, so the
        // socket is readable, closed and writable at once: the order must still hold.
        QThread::msleep(300);
    };
    client.connectTo(server.port());
    EXPECT_EQ(client.socket.State(), wsConnecting);
    ASSERT_TRUE(qbtest::pumpUntil([&] { return client.closed; }));
    EXPECT_EQ(client.events, QStringList({"state 7>1", "state 1>3", "state 3>4", "connected 0",
                                          "sent 0", "state 4>7", "closed 0"}));
    EXPECT_EQ(client.received, QByteArray("echo: hello\r\n"));
    EXPECT_EQ(client.socket.ReadCount(), 13);
    EXPECT_EQ(server.received().value(0), QByteArray("hello\r\n"));
}

TEST(SocketSession, ParametersAreFrozenWhileTheSocketIsInUse) {
    ScriptedServer server([](ScriptedConnection& c) { c.waitForPeerClose(); });
    LoggedSocket client;
    client.connectTo(server.port());
    ASSERT_TRUE(qbtest::pumpUntil([&] { return client.socket.State() == wsConnected; }));
    EXPECT_EQ(client.socket.GetPeerPort(), server.port());
    EXPECT_EQ(client.socket.GetPeerAddr(), QString("127.0.0.1"));
    const std::pair<std::function<void()>, const char*> calls[] = {
        {[&] { client.socket.SetAddr("127.0.0.2"); }, "Cannot change Addr if not closed"},
        {[&] { client.socket.SetPort("81"); }, "Cannot change Port if not closed"},
        {[&] { client.socket.SetProto("tcp"); }, "Cannot change Proto if not closed"},
        {[&] { client.socket.Connect(); }, "Connect: Socket already in use"},
        {[&] {
             client.socket.SetTls({"example.org", {}});
         },
         "Cannot change TLS if not closed"},
        {[&] { client.socket.ClearTls(); }, "Cannot change TLS if not closed"},
    };
    for (const auto& [call, message] : calls)
        EXPECT_EQ(raised<ESocketException>(call), QString(message));
    EXPECT_FALSE(client.socket.TlsEnabled());
    client.socket.Close();
    EXPECT_EQ(client.socket.State(), wsClosed);
    EXPECT_TRUE(client.closed);
    EXPECT_NO_THROW(client.socket.SetAddr("127.0.0.2"));
    EXPECT_EQ(raised<ESocketException>([&] { client.socket.SendStr("x"); }),
              QString("Error 10057 in function Send\r\nSocket is not connected"));
    EXPECT_EQ(client.socket.LastError(), 10057);
}

TEST(SocketSession, RefusedConnectReportsTheErrorAndNoSession) {
    LoggedSocket client;
    client.connectTo(qbtest::closedPort());
    ASSERT_TRUE(qbtest::pumpUntil([&] { return client.events.contains("connected 10061"); }));
    EXPECT_EQ(client.socket.State(), wsClosed);
    EXPECT_EQ(client.socket.LastError(), 10061);
    EXPECT_FALSE(client.closed);
}

TEST(SocketSession, LargeSendsAreQueuedAndArriveWholeAndInOrder) {
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "TLS" : "plain");
        const QByteArray data = qbtest::patternBytes(5, tls ? 8 * 1024 * 1024 + 3 : 24 << 20);
        QByteArray got;
        ScriptedServer server(
            [&](ScriptedConnection& c) {
                c.sleep(300); // lets the client's queue fill up first
                got = c.readBytes(data.size(), 60000);
            },
            tls ? "https" : "http");
        LoggedSocket client;
        client.socket.OnSessionConnected = [&](TWSocket& s, int error) {
            ASSERT_EQ(error, 0) << qPrintable(s.LastErrorText());
            s.Send(data.constData(), data.size());
            EXPECT_GT(s.BufferedBytes(), 0); // the network did not take it all at once
        };
        client.connectTo(server.port(), tls);
        ASSERT_TRUE(qbtest::pumpUntil([&] { return client.closed; }, 60000));
        EXPECT_EQ(client.events.count("sent 0"), 1);
        EXPECT_EQ(client.socket.BufferedBytes(), 0);
        EXPECT_EQ(got.size(), data.size());
        EXPECT_TRUE(got == data);
    }
}

TEST(SocketSession, HandlersMayPumpMessagesOrDestroyTheSocket) {
    ScriptedServer server([](ScriptedConnection& c) {
        for (int i = 0; i < 20 && c.send(QByteArray(1000, 'x')); ++i)
            c.sleep(5);
    });
    auto* socket = new TWSocket;
    QPointer<TWSocket> watch(socket);
    int depth = 0, maxDepth = 0, calls = 0;
    qint64 total = 0;
    socket->OnDataAvailable = [&](TWSocket& s, int) {
        maxDepth = qMax(maxDepth, ++depth);
        char buffer[100];
        const qint64 n = s.Receive(buffer, sizeof buffer);
        total += qMax<qint64>(n, 0);
        // Nested loops like the download dialog's must not re-enter this handler.
        platform::processMessages();
        --depth;
        if (++calls == 5)
            delete &s;
    };
    socket->SetAddr("127.0.0.1");
    socket->SetPort(QString::number(server.port()));
    socket->Connect();
    ASSERT_TRUE(qbtest::pumpUntil([&] { return watch.isNull(); }));
    EXPECT_EQ(maxDepth, 1);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(total, 500);
    platform::processMessages();
}

// The socket with TLS: the same events as a plain connection, and no data left waiting
// inside the TLS session when the socket itself has nothing more to signal.
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
    LoggedSocket client;
    client.socket.OnDataAvailable = [&](TWSocket& s, int) {
        char small[100];
        const qint64 n = s.Receive(small, sizeof small);
        if (n > 0)
            client.received.append(small, int(n));
    };
    client.connectTo(server.port(), true);
    EXPECT_TRUE(qbtest::pumpUntil([&] { return client.received.size() >= burst.size(); }, 5000))
        << client.received.size() << " of " << burst.size();
    EXPECT_EQ(client.received, burst);
    EXPECT_EQ(client.sessionEvents(), QStringList({"connected 0 TLSv1.3"}));
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
         {"connected 0", "closed 10054"},
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
        LoggedSocket client;
        client.connectTo(server.port(), k.tls);
        ASSERT_TRUE(qbtest::pumpUntil([&] { return client.closed; }));
        EXPECT_EQ(client.received, "hello");
        EXPECT_EQ(client.sessionEvents(), k.events);
        if (!k.reason.isEmpty()) {
            EXPECT_EQ(client.socket.LastErrorText(), k.reason);
        }
        EXPECT_EQ(client.socket.State(), wsClosed);
        EXPECT_TRUE(client.socket.TlsProtocol().isEmpty());
    }
}

TEST(TlsSocket, AnUnreadableAuthorityFileFailsTheConnectWithItsReason) {
    ScriptedServer server([](ScriptedConnection& c) { c.sleep(5000); }, "https");
    LoggedSocket client;
    client.socket.SetTls({"127.0.0.1", "/nonexistent/ca.pem"});
    client.connectTo(server.port());
    ASSERT_TRUE(qbtest::pumpUntil([&] { return !client.sessionEvents().isEmpty(); }));
    EXPECT_EQ(client.sessionEvents(), QStringList(QString("connected %1").arg(WSAETLSFAILED)));
    EXPECT_TRUE(client.socket.LastErrorText().startsWith(
        "TLS handshake with 127.0.0.1 failed: cannot read the certificate authorities in "
        "/nonexistent/ca.pem"))
        << qPrintable(client.socket.LastErrorText());
    EXPECT_FALSE(client.closed);
}

} // namespace
