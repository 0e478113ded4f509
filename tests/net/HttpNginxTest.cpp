#include <gtest/gtest.h>

#include "NginxServer.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "net/HttpCli.h"

#include <QFile>

namespace {

TEST(HttpWithNginx, AnInterruptedDownloadResumesToTheIdenticalFile) {
    qbtest::NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    const qint64 size = 12 * 1024 * 1024 + 12345;
    const QByteArray content = qbtest::randomBytes(size, 20260512);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/pub/big file.bin", content));
    qbtest::TempHome home;
    const QString target = home.file("big file.bin");

    THttpCli http;
    http.URL = nginx.url("/pub/big%20file.bin");
    http.Head();
    EXPECT_EQ(http.StatusCode(), 200);
    ASSERT_EQ(http.ContentLength(), size);

    // First attempt: the caller aborts part-way, as the download dialog's Abort button does.
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        http.ReceiveStream = &file;
        http.OnDocData = [](THttpCli& h, const char*, qint64) {
            if (h.ReceivedCount() >= 3 * 1024 * 1024)
                h.Abort();
        };
        EXPECT_THROW(http.Get(), EHttpException);
        http.ReceiveStream = nullptr;
    }
    const qint64 partial = QFile(target).size();
    ASSERT_GE(partial, 3 * 1024 * 1024);
    ASSERT_LT(partial, size);
    EXPECT_EQ(partial, http.ReceivedCount());

    // Second attempt: a range from the partial file's end.
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append));
    http.ReceiveStream = &file;
    http.OnDocData = nullptr;
    http.ContentRangeBegin = QString::number(partial);
    http.Get();
    file.close();
    EXPECT_EQ(http.StatusCode(), 206);
    EXPECT_EQ(http.ContentLength(), size - partial);
    EXPECT_EQ(http.ReceivedRangeBegin(), QString::number(partial));
    EXPECT_EQ(QFile(target).size(), size);
    EXPECT_EQ(qbtest::sha256(qbtest::readFile(target)), qbtest::sha256(content));
}

} // namespace
