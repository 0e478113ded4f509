// Every event of the socket and the clients may destroy its sender, also while
// a blocking call of that sender waits. Run under AddressSanitizer (QB_SANITIZE)
// these tests catch any use of the freed object.
#include <gtest/gtest.h>

#include "FtpClientFixture.h"
#include "HttpOutcome.h"
#include "ScriptedServer.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"
#include "net/WSocket.h"

#include <QPointer>
#include <QStringList>

#include <functional>

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

// A redirect with an odd header line (a note for OnTrace), then a document.
void redirectThenDocument(ScriptedConnection& c) {
    c.readRequestHeader();
    if (c.index() == 0)
        c.send("HTTP/1.0 302 Found\r\nContent-Length: many\r\nLocation: /next\r\n\r\n");
    else
        c.send("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello");
}

TEST(DestroyFromHandler, EveryHttpEventMayDestroyTheClientDuringGet) {
    using Setter = std::function<void(THttpCli&, std::function<void()>)>;
    const std::pair<const char*, Setter> events[] = {
        {"OnStateChange",
         [](THttpCli& h, auto kill) { h.OnStateChange = [kill](THttpCli&) { kill(); }; }},
        {"OnSessionConnected",
         [](THttpCli& h, auto kill) { h.OnSessionConnected = [kill](THttpCli&) { kill(); }; }},
        {"OnRequestHeaderBegin",
         [](THttpCli& h, auto kill) { h.OnRequestHeaderBegin = [kill](THttpCli&) { kill(); }; }},
        {"OnCommand",
         [](THttpCli& h, auto kill) {
             h.OnCommand = [kill](THttpCli&, const QString&) { kill(); };
         }},
        {"OnRequestHeaderEnd",
         [](THttpCli& h, auto kill) { h.OnRequestHeaderEnd = [kill](THttpCli&) { kill(); }; }},
        {"OnHeaderBegin",
         [](THttpCli& h, auto kill) { h.OnHeaderBegin = [kill](THttpCli&) { kill(); }; }},
        {"OnHeaderData",
         [](THttpCli& h, auto kill) { h.OnHeaderData = [kill](THttpCli&) { kill(); }; }},
        {"OnTrace",
         [](THttpCli& h, auto kill) { h.OnTrace = [kill](THttpCli&, const QString&) { kill(); }; }},
        {"OnHeaderEnd",
         [](THttpCli& h, auto kill) { h.OnHeaderEnd = [kill](THttpCli&) { kill(); }; }},
        {"OnLocationChange",
         [](THttpCli& h, auto kill) { h.OnLocationChange = [kill](THttpCli&) { kill(); }; }},
        {"OnDocBegin",
         [](THttpCli& h, auto kill) { h.OnDocBegin = [kill](THttpCli&) { kill(); }; }},
        {"OnDocData",
         [](THttpCli& h, auto kill) {
             h.OnDocData = [kill](THttpCli&, const char*, qint64) { kill(); };
         }},
        {"OnDocEnd", [](THttpCli& h, auto kill) { h.OnDocEnd = [kill](THttpCli&) { kill(); }; }},
        {"OnRequestDone",
         [](THttpCli& h, auto kill) {
             h.OnRequestDone = [kill](THttpCli&, THttpRequest, int) { kill(); };
         }},
    };
    for (const auto& [name, set] : events) {
        SCOPED_TRACE(name);
        ScriptedServer server(redirectThenDocument);
        QPointer<THttpCli> http = new THttpCli;
        http->URL = server.url("/first");
        bool fired = false;
        set(*http, [&] {
            fired = true;
            delete http.data();
        });
        const QString outcome = httpOutcome(*http, &THttpCli::Get);
        if (http) {
            // OnRequestDone is posted: it comes after the call has returned.
            EXPECT_EQ(outcome, QString());
            qbtest::pumpUntil([&] { return http.isNull(); }, 2000);
        } else {
            EXPECT_EQ(outcome, QString("404 Connection aborted on request"));
        }
        EXPECT_TRUE(fired);
        EXPECT_TRUE(http.isNull());
    }
}

TEST(DestroyFromHandler, EveryHttpEventMayAbortTheRequestAndTheClientStaysUsable) {
    const std::pair<const char*, std::function<void(THttpCli&)>> events[] = {
        {"OnStateChange",
         [](THttpCli& h) {
             h.OnStateChange = [](THttpCli& c) {
                 if (c.State() == httpWaitingHeader)
                     c.Abort();
             };
         }},
        {"OnSessionConnected",
         [](THttpCli& h) { h.OnSessionConnected = [](THttpCli& c) { c.Abort(); }; }},
        {"OnCommand",
         [](THttpCli& h) { h.OnCommand = [](THttpCli& c, const QString&) { c.Abort(); }; }},
        {"OnHeaderData", [](THttpCli& h) { h.OnHeaderData = [](THttpCli& c) { c.Abort(); }; }},
        {"OnTrace",
         [](THttpCli& h) { h.OnTrace = [](THttpCli& c, const QString&) { c.Abort(); }; }},
        {"OnHeaderEnd", [](THttpCli& h) { h.OnHeaderEnd = [](THttpCli& c) { c.Abort(); }; }},
        {"OnLocationChange",
         [](THttpCli& h) { h.OnLocationChange = [](THttpCli& c) { c.Abort(); }; }},
        {"OnDocBegin", [](THttpCli& h) { h.OnDocBegin = [](THttpCli& c) { c.Abort(); }; }},
        {"OnDocData",
         [](THttpCli& h) { h.OnDocData = [](THttpCli& c, const char*, qint64) { c.Abort(); }; }},
    };
    for (const auto& [name, set] : events) {
        SCOPED_TRACE(name);
        ScriptedServer server(redirectThenDocument);
        THttpCli http;
        http.URL = server.url("/first");
        set(http);
        EXPECT_EQ(httpOutcome(http, &THttpCli::Get), QString("404 Connection aborted on request"));
        EXPECT_EQ(http.RequestError(), httperrAborted);
        // The next request on the same client runs normally.
        THttpCli fresh;
        http.OnStateChange = fresh.OnStateChange;
        http.OnSessionConnected = nullptr;
        http.OnCommand = nullptr;
        http.OnHeaderData = nullptr;
        http.OnTrace = nullptr;
        http.OnHeaderEnd = nullptr;
        http.OnLocationChange = nullptr;
        http.OnDocBegin = nullptr;
        QByteArray body;
        http.OnDocData = [&](THttpCli&, const char* data, qint64 len) { body.append(data, len); };
        http.URL = server.url("/again");
        EXPECT_EQ(httpOutcome(http, &THttpCli::Get), QString());
        EXPECT_EQ(body, QByteArray("hello"));
    }
}

TEST(DestroyFromHandler, EveryFtpEventMayDestroyTheClientDuringABlockingCall) {
    using Setter = std::function<void(TFtpClient&, std::function<void()>)>;
    const std::pair<const char*, Setter> events[] = {
        {"OnDisplay",
         [](TFtpClient& f, auto kill) {
             f.OnDisplay = [kill](TFtpClient&, const QString& m) {
                 if (m.startsWith("! "))
                     kill();
             };
         }},
        {"OnCommand",
         [](TFtpClient& f, auto kill) {
             f.OnCommand = [kill](TFtpClient&, const QString& c) {
                 if (c.startsWith("RETR"))
                     kill();
             };
         }},
        {"OnResponse",
         [](TFtpClient& f, auto kill) {
             f.OnResponse = [kill](TFtpClient& c) {
                 if (c.StatusCode() == 150)
                     kill();
             };
         }},
        {"OnProgress",
         [](TFtpClient& f, auto kill) {
             f.OnProgress = [kill](TFtpClient&, qint64, bool&) { kill(); };
         }},
        {"OnStateChange",
         [](TFtpClient& f, auto kill) {
             f.OnStateChange = [kill](TFtpClient& c) {
                 if (c.State() == ftpReady)
                     kill();
             };
         }},
        {"OnRequestDone",
         [](TFtpClient& f, auto kill) {
             f.OnRequestDone = [kill](TFtpClient&, TFtpRequest, int) { kill(); };
         }},
        {"OnDisplayFile",
         [](TFtpClient& f, auto kill) {
             f.DisplayFileFlag = true;
             f.OnDisplayFile = [kill](TFtpClient&, const QString&) { kill(); };
         }},
    };
    for (const auto& [name, set] : events) {
        SCOPED_TRACE(name);
        ftptest::FtpTestServer server;
        server.file = qbtest::patternBytes(0, 100000);
        qbtest::TempHome home;
        QPointer<TFtpClient> ftp = new TFtpClient;
        ftp->HostName = "127.0.0.1";
        ftp->Port = QString::number((server.start(), server.port()));
        ftp->UserName = "anonymous";
        ftp->PassWord = "me@example.com";
        ftp->HostFileName = "file.bin";
        ftp->LocalFileName = home.file("file.bin");
        ftp->Passive = true;
        ftp->Timeout = 10;
        ASSERT_TRUE(ftp->Login());
        bool fired = false;
        set(*ftp, [&] {
            fired = true;
            delete ftp.data();
        });
        const bool ok = ftp->Retrieve();
        if (ftp)
            qbtest::pumpUntil([&] { return ftp.isNull(); }, 2000);
        else
            EXPECT_FALSE(ok);
        EXPECT_TRUE(fired);
        EXPECT_TRUE(ftp.isNull());
    }
}

TEST(DestroyFromHandler, TheFtpConnectionEventsMayDestroyTheClientDuringLogin) {
    for (const bool onConnected : {true, false}) {
        SCOPED_TRACE(onConnected ? "OnSessionConnected" : "OnSessionClosed");
        ftptest::FtpTestServer server;
        if (!onConnected) // the server hangs up at USER
            server.on("USER", [](ftptest::FtpSession& s, const QByteArray&) { s.control.close(); });
        server.start();
        QPointer<TFtpClient> ftp = new TFtpClient;
        ftp->HostName = "127.0.0.1";
        ftp->Port = QString::number(server.port());
        ftp->UserName = "anonymous";
        ftp->PassWord = "me@example.com";
        ftp->Timeout = 10;
        bool fired = false;
        auto kill = [&](TFtpClient&, int) {
            fired = true;
            delete ftp.data();
        };
        if (onConnected)
            ftp->OnSessionConnected = kill;
        else
            ftp->OnSessionClosed = kill;
        EXPECT_FALSE(ftp->Login());
        EXPECT_TRUE(fired);
        EXPECT_TRUE(ftp.isNull());
    }
}

TEST(DestroyFromHandler, EverySocketEventMayDestroyTheSocket) {
    using Setter = std::function<void(TWSocket&, std::function<void()>)>;
    const std::pair<const char*, Setter> events[] = {
        {"OnDnsLookupDone",
         [](TWSocket& s, auto kill) { s.OnDnsLookupDone = [kill](TWSocket&, int) { kill(); }; }},
        {"OnChangeState",
         [](TWSocket& s, auto kill) {
             s.OnChangeState = [kill](TWSocket&, TSocketState, TSocketState n) {
                 if (n == wsConnected)
                     kill();
             };
         }},
        {"OnSessionConnected",
         [](TWSocket& s, auto kill) { s.OnSessionConnected = [kill](TWSocket&, int) { kill(); }; }},
        {"OnDataAvailable",
         [](TWSocket& s, auto kill) { s.OnDataAvailable = [kill](TWSocket&, int) { kill(); }; }},
        {"OnSessionClosed",
         [](TWSocket& s, auto kill) { s.OnSessionClosed = [kill](TWSocket&, int) { kill(); }; }},
    };
    for (const auto& [name, set] : events) {
        SCOPED_TRACE(name);
        ScriptedServer server([](ScriptedConnection& c) { c.send("hello"); });
        QPointer<TWSocket> socket = new TWSocket;
        bool fired = false;
        set(*socket, [&] {
            fired = true;
            delete socket.data();
        });
        // Each step starts the next one, as the clients do.
        if (!socket->OnDnsLookupDone)
            socket->OnDnsLookupDone = [&server](TWSocket& s, int) {
                s.SetAddr(s.DnsResult());
                s.SetPort(QString::number(server.port()));
                s.Connect();
            };
        if (!socket->OnDataAvailable)
            socket->OnDataAvailable = [](TWSocket& s, int) {
                char buffer[64];
                s.Receive(buffer, sizeof buffer);
            };
        socket->DnsLookup("127.0.0.1");
        qbtest::pumpUntil([&] { return socket.isNull(); }, 3000);
        EXPECT_TRUE(fired);
        EXPECT_TRUE(socket.isNull());
    }
    {
        SCOPED_TRACE("OnError");
        QPointer<TWSocket> socket = new TWSocket;
        socket->OnError = [&](TWSocket&, const QString&) { delete socket.data(); };
        socket->Connect(); // no address: reported to OnError
        EXPECT_TRUE(socket.isNull());
    }
}

} // namespace
