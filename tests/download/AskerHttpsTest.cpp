// The download dialog with https URLs from nginx: a log line per protected connection,
// redirects between the schemes, and failed checks that leave no file behind.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileInfo>
#include <QRegularExpression>

#include "AskerFixture.h"
#include "NginxServer.h"
#include "TestCertificates.h"
#include "library/FileRecord.h"

using qbtest::AskerFixture;
using qbtest::CertificatePair;
using qbtest::NginxServer;
using qbtest::TestCertificates;

namespace {

QStringList tlsLines(const AskerFixture& f) {
    return f.log().filter(QRegularExpression("^TLSv1\\.[23] [A-Z0-9_-]+$"));
}

// One nginx for both walks: a download aborted and resumed, and redirects between schemes.
TEST(AskerHttps, AResumeAndRedirectsBetweenTheSchemesLandByteForByte) {
    ASSERT_TRUE(TestCertificates::get().ok()) << qPrintable(TestCertificates::get().error());
    qbtest::TrustTestAuthority trust;
    NginxServer nginx("location /slow/ { limit_rate 4m; }\n"
                      "location /up/ { return 302 https://127.0.0.1:%HTTPS_PORT%/pub/a.bin; }\n"
                      "location /down/ { return 302 http://127.0.0.1:%HTTP_PORT%/pub/a.bin; }",
                      qbtest::nginxTls(TestCertificates::get().good()));
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    const QByteArray body = qbtest::randomBytes(3 * 1024 * 1024 + 5, 21);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/slow/setup.bin", body));
    const QByteArray small = qbtest::randomBytes(200000, 3);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/pub/a.bin", small));

    {
        AskerFixture f;
        const QString url = nginx.httpsUrl("/slow/setup.bin", "localhost");
        TfrmAsker* dialog = f.open(url);
        dialog->cbPromptDone->setChecked(false);
        f.abortAt(1024 * 1024);
        f.press();
        const qint64 partial = QFileInfo(f.path("setup.bin")).size();
        ASSERT_GE(partial, 1024 * 1024);
        ASSERT_LT(partial, body.size());
        // The probe and the GET: two connections, two lines.
        EXPECT_EQ(tlsLines(f).size(), 2) << qPrintable(f.log().join('\n'));

        f.press();
        EXPECT_EQ(qbtest::readFile(f.path("setup.bin")), body);
        EXPECT_TRUE(f.logHas(QString("Quillbay:  Starting download at byte %1").arg(partial)));
        EXPECT_EQ(tlsLines(f).size(), 4);
        EXPECT_TRUE(tlsLines(f).value(0).startsWith("TLSv1.3 TLS_"));
        EXPECT_EQ(
            library::FileRecord(f.recordFile(), "setup.bin").readString(library::RecordKey::Source),
            url);
    }

    struct Case {
        const char* what;
        QString start;
        QString target;
        bool downgrade;
    };
    const Case cases[] = {
        {"http to https", nginx.url("/up/a.bin"), nginx.httpsUrl("/pub/a.bin"), false},
        {"https to http", nginx.httpsUrl("/down/a.bin"), nginx.url("/pub/a.bin"), true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        AskerFixture f;
        TfrmAsker* dialog = f.open(k.start);
        dialog->cbPromptDone->setChecked(false);
        f.press();
        ASSERT_TRUE(f.waitUntilIdle());
        EXPECT_EQ(qbtest::readFile(f.path("a.bin")), small);
        EXPECT_EQ(dialog->DownloadURL, k.target);
        EXPECT_EQ(
            f.logHas("Redirected from https to http: " + k.target + " comes without encryption"),
            k.downgrade)
            << qPrintable(f.log().join('\n'));
    }
}

TEST(AskerHttps, AFailedCertificateCheckShowsItsReasonAndLeavesNoFile) {
    qbtest::TrustTestAuthority trust;
    const TestCertificates& c = TestCertificates::get();
    const std::pair<CertificatePair, QString> cases[] = {
        {c.expired(), "the certificate has expired"},
        {c.wrongHost(), "the certificate's name does not match: it is for other.example"},
    };
    for (const auto& [pair, what] : cases) {
        SCOPED_TRACE(qPrintable(what));
        NginxServer nginx({}, qbtest::nginxTls(pair));
        ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
        ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/secret.bin", "data"));
        AskerFixture f;
        f.boxes.answer(platform::IDOK);
        TfrmAsker* dialog = f.open(nginx.httpsUrl("/secret.bin", "localhost"));
        f.press();
        const QString reason = "Certificate check failed for localhost: " + what;
        ASSERT_EQ(f.boxes.texts().size(), 1);
        EXPECT_TRUE(
            f.boxes.texts()[0].startsWith("Download Failed\r\rServer Response : 404 \"" + reason))
            << qPrintable(f.boxes.texts()[0]);
        EXPECT_TRUE(f.log().filter("Failed : 404 " + reason).size() == 1)
            << qPrintable(f.log().join('\n'));
        EXPECT_FALSE(QFileInfo::exists(f.path("secret.bin")));
        EXPECT_FALSE(dialog->isDownloading());
    }
}

} // namespace
