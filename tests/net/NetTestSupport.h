#pragma once

#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "net/HttpCli.h"
#include "net/WSocket.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

// A response: the status line, the header fields and the body.
inline QByteArray response(const QByteArray& statusLine, const QList<QByteArray>& fields,
                           const QByteArray& body = {}) {
    QByteArray out = statusLine + "\r\n";
    for (const QByteArray& field : fields)
        out += field + "\r\n";
    return out + "\r\n" + body;
}

// Answers every connection the same way, after reading its request header.
inline qbtest::ScriptedServer::Script answerAll(const QByteArray& reply) {
    return [reply](qbtest::ScriptedConnection& c) {
        c.readRequestHeader();
        c.send(reply);
    };
}

// Runs a blocking call of the client; its failure as "code reason", "" on success.
inline QString httpOutcome(THttpCli& http, void (THttpCli::*call)()) {
    try {
        (http.*call)();
        return {};
    } catch (const EHttpException& e) {
        return QString("%1 %2").arg(e.ErrorCode).arg(e.Message());
    }
}

// The message of the E that `call` raises, or "no exception".
template <class E, class Call> QString raised(Call&& call) {
    try {
        call();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("no exception");
}

// The client with its events, notes, body and TLS sessions written down as text.
struct LoggedClient {
    THttpCli http;
    QStringList events;
    QByteArray body;
    QStringList traces;
    QStringList sessions;
    LoggedClient() {
        http.OnHeaderBegin = [this](THttpCli&) { events << "HeaderBegin"; };
        http.OnHeaderData = [this](THttpCli& h) { events << "HeaderData " + h.CurrentLine(); };
        http.OnHeaderEnd = [this](THttpCli&) { events << "HeaderEnd"; };
        http.OnDocBegin = [this](THttpCli&) { events << "DocBegin"; };
        http.OnDocData = [this](THttpCli&, const char* data, qint64 len) {
            body.append(data, int(len));
        };
        http.OnDocEnd = [this](THttpCli&) { events << "DocEnd"; };
        http.OnLocationChange = [this](THttpCli& h) { events << "LocationChange " + h.Location; };
        http.OnCommand = [this](THttpCli&, const QString& line) {
            if (line.startsWith("GET") || line.startsWith("HEAD"))
                events << line;
        };
        http.OnTrace = [this](THttpCli&, const QString& text) { traces << text; };
        http.OnSessionConnected = [this](THttpCli& h) {
            sessions << h.CtrlSocket().TlsProtocol() + " " + h.CtrlSocket().TlsCipher();
        };
    }
    QString run(void (THttpCli::*call)()) { return httpOutcome(http, call); }
};

// Runs a client test over http and https with the same server script; the https client
// trusts the test authority through SSL_CERT_FILE, as a user trusts a private one.
class OverScheme : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(qbtest::TestCertificates::get().ok())
            << qPrintable(qbtest::TestCertificates::get().error());
        trust_ = std::make_unique<qbtest::TrustTestAuthority>();
    }
    void TearDown() override { trust_.reset(); }
    QString scheme() const { return QString::fromLatin1(GetParam()); }

private:
    std::unique_ptr<qbtest::TrustTestAuthority> trust_;
};

// Instantiates a fixture derived from OverScheme for both schemes.
#define QB_OVER_HTTP_AND_HTTPS(Fixture)                                                            \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Scheme, Fixture, ::testing::Values("http", "https"),                                       \
        [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); })
