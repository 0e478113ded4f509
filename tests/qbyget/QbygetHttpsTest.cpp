// qbyget with https URLs: downloads and resumes over TLS, trust through --ca-file or
// SSL_CERT_FILE, and every failed check or handshake ends with its reason and no file.

#include <gtest/gtest.h>

#include "NginxServer.h"
#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "TestEnvironment.h"
#include "ToolRun.h"

#include <QFileInfo>

using qbtest::NginxServer;
using qbtest::NginxTls;
using qbtest::TestCertificates;
using qbtest::ToolRun;

namespace {

ToolRun qbyget(const QStringList& args) {
    return qbtest::runTool("qbyget", args, 120000);
}

QString caOption() {
    return "--ca-file=" + TestCertificates::get().caFile();
}

TEST(QbygetHttps, DownloadsAndResumesOverTlsTrustingTheCaFileOrSslCertFileOnly) {
    ASSERT_TRUE(TestCertificates::get().ok()) << qPrintable(TestCertificates::get().error());
    NginxServer nginx({}, qbtest::nginxTls(TestCertificates::get().good()));
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    const QByteArray content = qbtest::randomBytes(5 * 1024 * 1024 + 3, 5);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/pub/data.bin", content));
    qbtest::TempHome home;
    const QString target = home.file("data.bin");

    ToolRun run = qbyget({caOption(), nginx.httpsUrl("/pub/data.bin", "localhost"), target});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(run.err, QByteArray());
    EXPECT_TRUE(qbtest::readFile(target) == content);

    ASSERT_TRUE(qbtest::writeFile(target, content.left(1234567)));
    run = qbyget({"--resume", caOption(), nginx.httpsUrl("/pub/data.bin"), target});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(qbtest::readFile(target) == content);

    // Without either, the server is not trusted.
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/a.bin", "abc"));
    const QString small = home.file("a.bin");
    const QByteArray saved = qgetenv("SSL_CERT_FILE");
    qunsetenv("SSL_CERT_FILE");
    const ToolRun untrusted = qbyget({nginx.httpsUrl("/a.bin"), small});
    if (!saved.isNull())
        qputenv("SSL_CERT_FILE", saved);
    EXPECT_EQ(untrusted.exitCode, 1);
    EXPECT_TRUE(untrusted.err.startsWith("qbyget: 404 Certificate check failed for 127.0.0.1: "
                                         "the certificate's issuer is unknown"))
        << untrusted.err.constData();
    EXPECT_FALSE(QFileInfo::exists(small));

    qbtest::TrustTestAuthority trust;
    const ToolRun trusted = qbyget({nginx.httpsUrl("/a.bin"), small});
    EXPECT_EQ(trusted.exitCode, 0) << trusted.err.constData();
    EXPECT_EQ(qbtest::readFile(small), "abc");
}

TEST(QbygetHttps, EachKindOfFailureGivesItsReasonAndLeavesNoFile) {
    const TestCertificates& c = TestCertificates::get();
    NginxTls tls10 = qbtest::nginxTls(c.good());
    tls10.protocols = "TLSv1";
    tls10.ciphers = "DEFAULT:@SECLEVEL=0";
    // The client's own tests go through every reason; here each kind reaches the user.
    const std::pair<NginxTls, QString> servers[] = {
        {qbtest::nginxTls(c.expired()),
         "Certificate check failed for localhost: the certificate has "
         "expired (valid until Feb  1 00:00:00 2020 GMT)"},
        {tls10, "TLS handshake with localhost failed: the server does not offer TLS 1.2 or newer"},
    };
    qbtest::TempHome home;
    const QString target = home.file("f.bin");
    for (const auto& [tls, reason] : servers) {
        SCOPED_TRACE(qPrintable(reason));
        NginxServer nginx({}, tls);
        ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
        ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/f.bin", "data"));
        const ToolRun run = qbyget({caOption(), nginx.httpsUrl("/f.bin", "localhost"), target});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(QString::fromUtf8(run.err), "qbyget: 404 " + reason + "\n");
        EXPECT_FALSE(QFileInfo::exists(target));
    }

    qbtest::ScriptedServer closes([](qbtest::ScriptedConnection& k) {
        k.readBytes(5);
        k.close();
    });
    qbtest::ScriptedServer silent([](qbtest::ScriptedConnection& k) { k.sleep(30000); });
    const std::pair<quint16, QString> handshakes[] = {
        {closes.port(), "TLS handshake with 127.0.0.1 failed: the server closed the connection"},
        {silent.port(), "TLS handshake with 127.0.0.1 timed out: no answer for 1 seconds"},
    };
    for (const auto& [port, reason] : handshakes) {
        SCOPED_TRACE(qPrintable(reason));
        const ToolRun run = qbyget(
            {"--timeout=1", caOption(), QString("https://127.0.0.1:%1/f.bin").arg(port), target});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(QString::fromUtf8(run.err), "qbyget: 404 " + reason + "\n");
        EXPECT_FALSE(QFileInfo::exists(target));
    }
}

} // namespace
