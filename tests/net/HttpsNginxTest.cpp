// https against a real nginx with a test authority's certificates: downloads, resume,
// redirects between the schemes, and every way the certificate check or handshake fails.

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "NginxServer.h"
#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "TestEnvironment.h"
#include "net/HttpCli.h"
#include "net/WSocket.h"

#include <QBuffer>

using qbtest::CertificatePair;
using qbtest::NginxServer;
using qbtest::NginxTls;
using qbtest::TestCertificates;

namespace {

const TestCertificates& certificates() {
    const TestCertificates& c = TestCertificates::get();
    EXPECT_TRUE(c.ok()) << qPrintable(c.error());
    return c;
}

// A client that trusts the test authority.
struct HttpsClient : LoggedClient {
    HttpsClient() {
        http.CaFile = TestCertificates::get().caFile();
        http.Timeout = 20;
    }
};

// A blank in the path goes out escaped.
TEST(HttpsWithNginx, AnInterruptedDownloadResumesToTheIdenticalFile) {
    NginxServer nginx({}, qbtest::nginxTls(certificates().good()));
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    const qint64 size = 6 * 1024 * 1024 + 777;
    const QByteArray content = qbtest::randomBytes(size, 443);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/pub/big file.bin", content));
    HttpsClient client;
    client.http.URL = nginx.httpsUrl("/pub/big%20file.bin");
    client.http.Head();
    EXPECT_EQ(client.http.StatusCode(), 200);
    ASSERT_EQ(client.http.ContentLength(), size);

    // The caller aborts part-way, as the download dialog's Abort button does.
    QBuffer first;
    first.open(QIODevice::WriteOnly);
    client.http.ReceiveStream = &first;
    client.http.OnDocData = [](THttpCli& h, const char*, qint64) {
        if (h.ReceivedCount() >= 2 * 1024 * 1024)
            h.Abort();
    };
    EXPECT_EQ(httpOutcome(client.http, &THttpCli::Get), "404 Connection aborted on request");
    const QByteArray partial = first.data();
    ASSERT_GE(partial.size(), 2 * 1024 * 1024);
    ASSERT_LT(partial.size(), size);
    EXPECT_EQ(partial.size(), client.http.ReceivedCount());

    // A range from the partial file's end.
    QBuffer rest;
    rest.open(QIODevice::WriteOnly);
    client.http.ReceiveStream = &rest;
    client.http.OnDocData = nullptr;
    client.http.ContentRangeBegin = QString::number(partial.size());
    EXPECT_EQ(httpOutcome(client.http, &THttpCli::Get), QString());
    EXPECT_EQ(client.http.StatusCode(), 206);
    EXPECT_EQ(client.http.ContentLength(), size - partial.size());
    EXPECT_EQ(client.http.ReceivedRangeBegin(), QString::number(partial.size()));
    EXPECT_EQ(qbtest::sha256(partial + rest.data()), qbtest::sha256(content));
    EXPECT_TRUE(client.traces.isEmpty()) << qPrintable(client.traces.join('\n'));
    // One line per protected connection: the probe, the aborted GET, the resumed GET.
    ASSERT_EQ(client.sessions.size(), 3);
    EXPECT_TRUE(client.sessions[0].startsWith("TLSv1.3 TLS_")) << qPrintable(client.sessions[0]);
}

// Without CaFile, the system store and SSL_CERT_FILE decide the trust.
TEST(HttpsWithNginx, RedirectsAreFollowedBetweenHttpAndHttpsBothWaysAndTheSystemStoreTrusts) {
    NginxServer nginx("location /up/ { return 301 https://localhost:%HTTPS_PORT%/pub/a.bin; }\n"
                      "location /down/ { return 302 http://127.0.0.1:%HTTP_PORT%/pub/a.bin; }",
                      qbtest::nginxTls(certificates().good()));
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    const QByteArray content = qbtest::randomBytes(100000, 1);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/pub/a.bin", content));

    // Up to https silently; down to http followed, but not silently.
    const struct {
        QString url;
        int plainHop; // the hop without TLS session
        QStringList traces;
    } cases[] = {
        {nginx.url("/up/x"), 0, {}},
        {nginx.httpsUrl("/down/x"),
         1,
         {"Redirected from https to http: " + nginx.url("/pub/a.bin") +
          " comes without encryption"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.url));
        HttpsClient client;
        client.http.URL = c.url;
        EXPECT_EQ(httpOutcome(client.http, &THttpCli::Get), QString());
        EXPECT_EQ(client.body, content);
        ASSERT_EQ(client.sessions.size(), 2);
        EXPECT_EQ(client.sessions[c.plainHop], " ");
        EXPECT_TRUE(client.sessions[1 - c.plainHop].startsWith("TLSv1."))
            << qPrintable(client.sessions[1 - c.plainHop]);
        EXPECT_EQ(client.traces, c.traces);
    }

    THttpCli http;
    http.URL = nginx.httpsUrl("/pub/a.bin");
    const qbtest::TrustTestAuthority restore; // SSL_CERT_FILE comes back at the end
    qunsetenv("SSL_CERT_FILE");
    EXPECT_TRUE(httpOutcome(http, &THttpCli::Head)
                    .startsWith("404 Certificate check failed for 127.0.0.1: the certificate's "
                                "issuer is unknown"));
    qputenv("SSL_CERT_FILE", TestCertificates::get().caFile().toLocal8Bit());
    EXPECT_EQ(httpOutcome(http, &THttpCli::Head), QString());
    EXPECT_EQ(http.ContentLength(), 100000);
}

TEST(HttpsWithNginx, TheServerNameGoesOutAsSniAndMatchesTheHostLine) {
    // Two sites on one port: only SNI can pick the one whose certificate is for localhost.
    const CertificatePair good = certificates().good();
    NginxTls tls = qbtest::nginxTls(certificates().wrongHost());
    tls.extraServers = QString("server { listen 127.0.0.1:%HTTPS_PORT% ssl; server_name localhost; "
                               "ssl_certificate %1; ssl_certificate_key %2; "
                               "location / { return 200 \"site:localhost host:$host\"; } }")
                           .arg(good.certificate, good.key);
    NginxServer nginx("location / { return 200 \"site:default\"; }", tls);
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    HttpsClient client;
    client.http.URL = nginx.httpsUrl("/", "localhost");
    EXPECT_EQ(httpOutcome(client.http, &THttpCli::Get), QString());
    EXPECT_EQ(client.body, "site:localhost host:localhost");
}

// Each failing server: the reason names the host and what failed, and no body arrives.
TEST(HttpsWithNginx, EveryFailedCheckEndsTheRequestWithItsReason) {
    const TestCertificates& c = certificates();
    NginxTls tls10 = qbtest::nginxTls(c.good());
    tls10.protocols = "TLSv1";
    tls10.ciphers = "DEFAULT:@SECLEVEL=0";
    struct Case {
        const char* what;
        NginxTls tls;
        QString host;
        QString reason;
    };
    const Case cases[] = {
        {"an address the certificate does not name", qbtest::nginxTls(c.wrongHost()), "127.0.0.1",
         "Certificate check failed for 127.0.0.1: the certificate's name does not match: it is "
         "for other.example"},
        {"a name the certificate does not name", qbtest::nginxTls(c.wrongHost()), "localhost",
         "Certificate check failed for localhost: the certificate's name does not match: it is "
         "for other.example"},
        {"expired", qbtest::nginxTls(c.expired()), "localhost",
         "Certificate check failed for localhost: the certificate has expired (valid until Feb  1 "
         "00:00:00 2020 GMT)"},
        {"an unknown authority", qbtest::nginxTls(c.unknownIssuer()), "127.0.0.1",
         "Certificate check failed for 127.0.0.1: the certificate's issuer is unknown: CN = "
         "Nobody's Test CA is not a trusted certificate authority"},
        {"self-signed", qbtest::nginxTls(c.selfSigned()), "localhost",
         "Certificate check failed for localhost: the certificate is self-signed (CN = "
         "localhost) and not trusted"},
        {"TLS 1.0 only", tls10, "127.0.0.1",
         "TLS handshake with 127.0.0.1 failed: the server does not offer TLS 1.2 or newer"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        NginxServer nginx({}, k.tls);
        ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
        ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/a.bin", "secret"));
        HttpsClient client;
        bool body = false;
        client.http.OnDocBegin = [&](THttpCli&) { body = true; };
        client.http.URL = nginx.httpsUrl("/a.bin", k.host);
        EXPECT_EQ(httpOutcome(client.http, &THttpCli::Get), "404 " + k.reason);
        EXPECT_EQ(client.http.RequestError(), httperrConnection);
        EXPECT_FALSE(body);
        EXPECT_TRUE(client.sessions.isEmpty());
        EXPECT_EQ(client.http.CtrlSocket().State(), wsClosed);
    }
}

TEST(HttpsHandshake, AServerThatClosesOrStaysSilentOrSpeaksPlainHttpFails) {
    qbtest::ScriptedServer closes([](qbtest::ScriptedConnection& c) {
        c.readBytes(5); // the start of the client's hello
        c.close();
    });
    qbtest::ScriptedServer silent([](qbtest::ScriptedConnection& c) { c.sleep(30000); });
    qbtest::ScriptedServer plain([](qbtest::ScriptedConnection& c) {
        c.readBytes(5);
        c.send("HTTP/1.0 400 Bad Request\r\n\r\n");
    });
    const auto port = [](const qbtest::ScriptedServer& s) { return s.port(); };
    struct Case {
        const char* what;
        quint16 port;
        QString reason;
        THttpRequestError error;
    };
    const Case cases[] = {
        {"closes", port(closes),
         "TLS handshake with 127.0.0.1 failed: the server closed the connection",
         httperrConnection},
        {"silent", port(silent), "TLS handshake with 127.0.0.1 timed out: no answer for 1 seconds",
         httperrTimeout},
        {"plain http", port(plain),
         "TLS handshake with 127.0.0.1 failed: the server does not answer in TLS",
         httperrConnection},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        HttpsClient client;
        client.http.Timeout = 1;
        client.http.URL = QString("https://127.0.0.1:%1/a.bin").arg(k.port);
        EXPECT_EQ(httpOutcome(client.http, &THttpCli::Get), "404 " + k.reason);
        EXPECT_EQ(client.http.RequestError(), k.error);
        EXPECT_EQ(client.http.CtrlSocket().State(), wsClosed);
    }
}

} // namespace
