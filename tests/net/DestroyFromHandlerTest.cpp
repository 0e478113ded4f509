// Any event may destroy its sender, also while a blocking call of it waits; under
// AddressSanitizer (QB_SANITIZE) these tests catch any use of the freed object.
#include <gtest/gtest.h>

#include "FtpClientFixture.h"
#include "NetTestSupport.h"
#include "ScriptedServer.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"
#include "net/WSocket.h"

#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

using qbtest::ScriptedConnection;
using qbtest::ScriptedServer;

namespace {

const qint64 kDocument = 200000;

// A redirect with an odd header line (a note for OnTrace), then a document that arrives
// in many pieces.
void redirectThenDocument(ScriptedConnection& c) {
    c.readRequestHeader();
    if (c.index() == 0) {
        c.send("HTTP/1.0 302 Found\r\nContent-Length: many\r\nLocation: /next\r\n\r\n");
        return;
    }
    c.send("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(kDocument) + "\r\n\r\n");
    c.sendPattern(0, kDocument);
}

// Every event of the HTTP client, each routed to one action on the client; `abortable`:
// an Abort there ends the request in hand (the later ones fire once it is over).
using HttpAction = std::function<void(THttpCli&)>;
struct HttpEvent {
    const char* name;
    void (*set)(THttpCli&, HttpAction);
    bool abortable;
};
const HttpEvent kHttpEvents[] = {
    {"OnStateChange", [](THttpCli& h, HttpAction a) { h.OnStateChange = a; }, true},
    {"OnSessionConnected", [](THttpCli& h, HttpAction a) { h.OnSessionConnected = a; }, true},
    {"OnRequestHeaderBegin", [](THttpCli& h, HttpAction a) { h.OnRequestHeaderBegin = a; }, false},
    {"OnCommand",
     [](THttpCli& h, HttpAction a) { h.OnCommand = [a](THttpCli& c, const QString&) { a(c); }; },
     true},
    {"OnRequestHeaderEnd", [](THttpCli& h, HttpAction a) { h.OnRequestHeaderEnd = a; }, false},
    {"OnHeaderBegin", [](THttpCli& h, HttpAction a) { h.OnHeaderBegin = a; }, false},
    {"OnHeaderData", [](THttpCli& h, HttpAction a) { h.OnHeaderData = a; }, true},
    {"OnTrace",
     [](THttpCli& h, HttpAction a) { h.OnTrace = [a](THttpCli& c, const QString&) { a(c); }; },
     true},
    {"OnHeaderEnd", [](THttpCli& h, HttpAction a) { h.OnHeaderEnd = a; }, true},
    {"OnLocationChange", [](THttpCli& h, HttpAction a) { h.OnLocationChange = a; }, true},
    {"OnDocBegin", [](THttpCli& h, HttpAction a) { h.OnDocBegin = a; }, true},
    {"OnDocData",
     [](THttpCli& h, HttpAction a) {
         h.OnDocData = [a](THttpCli& c, const char*, qint64) { a(c); };
     },
     true},
    {"OnDocEnd", [](THttpCli& h, HttpAction a) { h.OnDocEnd = a; }, false},
    {"OnRequestDone",
     [](THttpCli& h, HttpAction a) {
         h.OnRequestDone = [a](THttpCli& c, THttpRequest, int) { a(c); };
     },
     false},
};

// Over http and https: TLS adds states of its own in which a handler may run.
class DestroyHttpFromHandler : public OverScheme {};
QB_OVER_HTTP_AND_HTTPS(DestroyHttpFromHandler);

// Each event destroys the client or, where it can, aborts the request; an aborted client
// then runs the next request normally.
TEST_P(DestroyHttpFromHandler, EveryHttpEventMayDestroyTheClientOrAbortTheRequest) {
    for (const HttpEvent& event : kHttpEvents) {
        for (const bool destroy : {true, false}) {
            if (!destroy && !event.abortable)
                continue;
            SCOPED_TRACE(testing::Message()
                         << (destroy ? "destroy in " : "abort in ") << event.name);
            ScriptedServer server(redirectThenDocument, scheme());
            QPointer<THttpCli> http = new THttpCli;
            http->URL = server.url("/first");
            // A state change aborts once the request is out, not while it connects.
            const bool stateChange = QByteArray(event.name) == "OnStateChange";
            bool fired = false;
            event.set(*http, [&](THttpCli& c) {
                if (destroy && !fired) {
                    fired = true;
                    delete http.data();
                } else if (!destroy && (!stateChange || c.State() == httpWaitingHeader)) {
                    c.Abort();
                }
            });
            const QString outcome = httpOutcome(*http, &THttpCli::Get);
            if (destroy) {
                // OnRequestDone is posted: it comes after the call has returned.
                EXPECT_EQ(outcome, http ? QString() : QString("404 Connection aborted on request"));
                qbtest::pumpUntil([&] { return http.isNull(); }, 2000);
                EXPECT_TRUE(fired);
                EXPECT_TRUE(http.isNull());
                continue;
            }
            EXPECT_EQ(outcome, QString("404 Connection aborted on request"));
            EXPECT_EQ(http->RequestError(), httperrAborted);
            for (const HttpEvent& other : kHttpEvents)
                other.set(*http, [](THttpCli&) {});
            QByteArray body;
            http->OnDocData = [&](THttpCli&, const char* data, qint64 len) {
                body.append(data, len);
            };
            http->URL = server.url("/again");
            EXPECT_EQ(httpOutcome(*http, &THttpCli::Get), QString());
            EXPECT_TRUE(body == qbtest::patternBytes(0, kDocument)) << body.size();
            delete http.data();
        }
    }
}

// ---- FTP: every event, at every point it fires ------------------------------------

// Routes every event of the client to `seen`, by name.
void watchFtpEvents(TFtpClient& f, const std::function<void(const char*)>& seen) {
    f.OnDisplay = [seen](TFtpClient&, const QString&) { seen("OnDisplay"); };
    f.OnDisplayFile = [seen](TFtpClient&, const QString&) { seen("OnDisplayFile"); };
    f.OnCommand = [seen](TFtpClient&, const QString&) { seen("OnCommand"); };
    f.OnResponse = [seen](TFtpClient&) { seen("OnResponse"); };
    f.OnProgress = [seen](TFtpClient&, qint64, bool&) { seen("OnProgress"); };
    f.OnSessionConnected = [seen](TFtpClient&, int) { seen("OnSessionConnected"); };
    f.OnSessionClosed = [seen](TFtpClient&, int) { seen("OnSessionClosed"); };
    f.OnRequestDone = [seen](TFtpClient&, TFtpRequest, int) { seen("OnRequestDone"); };
    f.OnStateChange = [seen](TFtpClient&) { seen("OnStateChange"); };
}

// Login, CWD, TYPE, a resumed RETR and QUIT, as a download runs them; stops at the first
// call that fails or is refused, or when the client is gone.
bool runFtpSession(QPointer<TFtpClient>& f) {
    using Call = bool (TFtpClient::*)();
    for (Call call : {&TFtpClient::Login, &TFtpClient::ChangeDir, &TFtpClient::SetType,
                      &TFtpClient::ResumeRetrieve, &TFtpClient::Quit}) {
        try {
            if (!f || !(f.data()->*call)())
                return false;
        } catch (const FtpException&) {
            return false;
        }
    }
    // The server's close after its 221 is an event of its own.
    qbtest::pumpUntil([&] { return !f || !f->Connected(); }, 3000);
    return true;
}

struct FtpScenario {
    const char* name;
    bool passive;
    bool hangUp; // the server drops both connections in the middle of the first RETR
};

// A server for one scenario with `content` as its file.
std::unique_ptr<ftptest::FtpTestServer> ftpServerFor(const FtpScenario& scenario,
                                                     const QByteArray& content) {
    auto server = std::make_unique<ftptest::FtpTestServer>();
    server->greeting = {"220-Scripted server", "220 ready"};
    server->file = content;
    if (scenario.hangUp)
        server->on("RETR", [content](ftptest::FtpSession& s, const QByteArray&) {
            s.reply("150 Opening BINARY mode data connection (" +
                    QByteArray::number(content.size() - s.restOffset) + " bytes).");
            const int fd = s.openData();
            if (fd >= 0) {
                ftptest::FtpSession::sendData(fd, content.mid(s.restOffset, 10000));
                ::close(fd);
            }
            s.control.reset();
            s.quit = true;
        });
    server->start();
    return server;
}

void configureFtp(TFtpClient& f, const ftptest::FtpTestServer& server, const FtpScenario& scenario,
                  const QString& local) {
    configureClient(f, local);
    f.Port = QString::number(server.port());
    f.Passive = scenario.passive;
    f.DisplayFlag = true;
    f.DisplayFileFlag = true;
}

// Each event of a session destroys the client or aborts its request, at each point it fires:
// the resumed file holds only the server's bytes, and an aborted client runs a session again.
TEST(DestroyFromHandler, EveryFtpEventMayDestroyOrAbortTheClientAtEveryPoint) {
    const QByteArray content = qbtest::patternBytes(0, 200000);
    const QByteArray partial = content.left(1000);
    const FtpScenario scenarios[] = {
        {"passive", true, false},
        {"active", false, false},
        {"server hangs up during the transfer", true, true},
    };
    for (const FtpScenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        qbtest::TempHome home;
        const QString local = home.file("file.bin");
        // A run without interference gives the events and how often each fires.
        std::map<std::string, int> counts;
        {
            auto server = ftpServerFor(scenario, content);
            ASSERT_TRUE(qbtest::writeFile(local, partial));
            QPointer<TFtpClient> f = new TFtpClient;
            configureFtp(*f, *server, scenario, local);
            watchFtpEvents(*f, [&](const char* name) { ++counts[name]; });
            EXPECT_EQ(runFtpSession(f), !scenario.hangUp);
            delete f.data();
            if (!scenario.hangUp) {
                ASSERT_EQ(qbtest::readFile(local), content);
            }
        }
        // Every event fires in a session; a hang-up may overtake the data events.
        ASSERT_GE(counts.size(), scenario.hangUp ? 7u : 9u);
        for (const auto& [event, count] : counts) {
            // Data arrives in pieces of no fixed size: only the first piece is sure to come.
            const bool perPiece = event == "OnProgress" || event == "OnDisplayFile";
            for (int at = 1; at <= (perPiece ? 1 : count); ++at) {
                for (const bool destroy : {true, false}) {
                    SCOPED_TRACE(testing::Message() << (destroy ? "destroy" : "abort") << " in "
                                                    << event << " #" << at);
                    auto server = ftpServerFor(scenario, content);
                    ASSERT_TRUE(qbtest::writeFile(local, partial));
                    QPointer<TFtpClient> f = new TFtpClient;
                    configureFtp(*f, *server, scenario, local);
                    int seen = 0;
                    bool fired = false;
                    watchFtpEvents(*f, [&, name = event](const char* e) {
                        if (fired || name != e || ++seen < at)
                            return;
                        fired = true;
                        if (destroy)
                            delete f.data();
                        else
                            f->Abort();
                    });
                    runFtpSession(f);
                    // A hang-up may overtake the data that came before it.
                    if (!perPiece || !scenario.hangUp) {
                        EXPECT_TRUE(fired);
                    }
                    const QByteArray kept = qbtest::readFile(local);
                    EXPECT_TRUE(kept.size() >= partial.size() && content.startsWith(kept))
                        << kept.size() << " bytes kept";
                    if (destroy) {
                        EXPECT_EQ(f.isNull(), fired);
                        delete f.data();
                        continue;
                    }
                    ASSERT_FALSE(f.isNull());
                    EXPECT_EQ(f->State(), ftpReady);
                    EXPECT_FALSE(f->Connected());
                    watchFtpEvents(*f, [](const char*) {});
                    // A server that behaves, in the scenario's data connection mode.
                    const FtpScenario plain{scenario.name, scenario.passive, false};
                    auto next = ftpServerFor(plain, content);
                    f->Port = QString::number(next->port());
                    ASSERT_TRUE(qbtest::writeFile(local, partial));
                    EXPECT_TRUE(runFtpSession(f)) << qPrintable(f->LastReply());
                    EXPECT_EQ(qbtest::readFile(local), content);
                    delete f.data();
                }
            }
        }
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
        for (const bool tls : {false, true}) {
            SCOPED_TRACE(testing::Message() << name << (tls ? " with TLS" : ""));
            // Data still on its way when the socket goes.
            ScriptedServer server([](ScriptedConnection& c) { c.sendPattern(0, 256 * 1024); },
                                  tls ? "https" : "http");
            QPointer<TWSocket> socket = new TWSocket;
            if (tls)
                socket->SetTls({"127.0.0.1", qbtest::TestCertificates::get().caFile()});
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
                    char buffer[4096];
                    while (s.Receive(buffer, sizeof buffer) > 0) {
                    }
                };
            socket->DnsLookup("127.0.0.1");
            qbtest::pumpUntil([&] { return socket.isNull(); }, 3000);
            EXPECT_TRUE(fired);
            EXPECT_TRUE(socket.isNull());
        }
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
