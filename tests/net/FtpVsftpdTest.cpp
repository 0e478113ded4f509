#include "FtpClientFixture.h"
#include "ToolRun.h"
#include "VsftpdServer.h"
#include "net/FtpReply.h"

#include <QFile>

#include <gtest/gtest.h>

using qbtest::readFile;

namespace {

// A multi-megabyte file on a real vsftpd, and a client logged in to it as
// the download dialog logs in.
class FtpVsftpdTest : public ::testing::Test {
protected:
    static constexpr qint64 kSize = 6 * 1024 * 1024 + 123;

    void SetUp() override {
        ASSERT_TRUE(server.isRunning()) << qPrintable(server.error());
        content = qbtest::randomBytes(kSize, 61);
        ASSERT_TRUE(server.addFile("pub/big.bin", content));
        local = home.file("big.bin");
        configureClient(ftp, local);
        ftp.Port = QString::number(server.port());
        ftp.Timeout = 30;
        ftp.HostFileName = "big.bin";
        ftp.OnDisplay = [this](TFtpClient&, const QString& msg) { display << msg; };
    }
    void login() {
        ASSERT_TRUE(ftp.Login()) << qPrintable(ftp.LastReply());
        ASSERT_TRUE(ftp.ChangeDir()) << qPrintable(ftp.LastReply());
        ASSERT_TRUE(ftp.SetType()) << qPrintable(ftp.LastReply());
    }

    qbtest::VsftpdServer server;
    qbtest::TempHome home;
    TFtpClient ftp;
    QByteArray content;
    QString local;
    QStringList display;
};

// A refused user, then one session: a whole file in passive mode, in active mode a download
// aborted part-way and resumed on the same control connection, and real refusals.
TEST_F(FtpVsftpdTest, WholeAndResumedFilesArriveByteIdenticalAndRefusalsGiveTheirCodes) {
    ftp.UserName = "someone";
    EXPECT_FALSE(ftp.Login());
    EXPECT_EQ(ftp.StatusCode(), 530) << qPrintable(ftp.LastReply());
    ftp.Abort();
    ftp.UserName = "anonymous";
    login();
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.LastReply());
    EXPECT_EQ(qbtest::sha256(readFile(local)), qbtest::sha256(content));
    const QStringList opened = display.filter("< 150 ");
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(ftp::announcedSize(opened[0]), kSize) << qPrintable(opened[0]);
    EXPECT_EQ(display.filter("< 226 ").size(), 1);
    EXPECT_EQ(display.filter(QString("! %1 bytes received/sent in ").arg(kSize)).size(), 1);

    QFile::remove(local);
    ftp.Passive = false;
    ftp.OnProgress = [](TFtpClient&, qint64 count, bool& abort) { abort = count >= kSize / 3; };
    EXPECT_FALSE(ftp.Retrieve());
    EXPECT_TRUE(display.contains("! Abort requested"));
    EXPECT_EQ(display.filter("> PORT 127,0,0,1,").size(), 1);
    const qint64 kept = QFile(local).size();
    EXPECT_GE(kept, kSize / 3);
    EXPECT_LT(kept, kSize);
    EXPECT_EQ(readFile(local), content.left(int(kept)));

    qint64 first = -1, last = -1;
    ftp.OnProgress = [&](TFtpClient&, qint64 count, bool&) {
        if (first < 0)
            first = count;
        last = count;
    };
    ASSERT_TRUE(ftp.ResumeRetrieve()) << qPrintable(ftp.LastReply());
    EXPECT_TRUE(display.contains(QString("> REST %1").arg(kept)));
    EXPECT_GT(first, kept);
    EXPECT_EQ(last, kSize);
    EXPECT_EQ(qbtest::sha256(readFile(local)), qbtest::sha256(content));

    ftp.HostFileName = "no-such-file.bin";
    ftp.LocalFileName = home.file("missing.bin");
    EXPECT_FALSE(ftp.Retrieve());
    EXPECT_EQ(ftp.StatusCode(), 550);
    EXPECT_FALSE(QFile::exists(ftp.LocalFileName));
    ftp.HostDirName = "/no-such-folder/";
    EXPECT_FALSE(ftp.ChangeDir());
    EXPECT_EQ(ftp.StatusCode(), 550);
    EXPECT_TRUE(ftp.Quit());
}

TEST(FtpVsftpdIpv6, DataConnectionsUseTheExtendedCommands) {
    qbtest::VsftpdServer server(true);
    ASSERT_TRUE(server.isRunning()) << qPrintable(server.error());
    const QByteArray content = qbtest::randomBytes(300000, 62);
    ASSERT_TRUE(server.addFile("v6.bin", content));
    qbtest::TempHome home;
    TFtpClient ftp;
    configureClient(ftp, home.file("v6.bin"));
    ftp.HostName = "::1";
    ftp.Port = QString::number(server.port());
    ftp.HostFileName = "v6.bin";
    QStringList sent;
    ftp.OnCommand = [&](TFtpClient&, const QString& command) { sent << command.left(4); };
    ASSERT_TRUE(ftp.Login()) << qPrintable(ftp.LastReply());
    ASSERT_TRUE(ftp.SetType());
    for (const bool passive : {true, false}) {
        ftp.Passive = passive;
        QFile::remove(ftp.LocalFileName);
        ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.LastReply());
        EXPECT_EQ(qbtest::sha256(readFile(ftp.LocalFileName)), qbtest::sha256(content));
    }
    EXPECT_EQ(sent, QStringList({"USER", "PASS", "TYPE", "EPSV", "RETR", "EPRT", "RETR"}));

    // The command line takes user information, a bracketed address and escapes.
    const QString copy = home.file("copy.bin");
    const QString url =
        QString("ftp://anonymous:me%40example.com@[::1]:%1/v6%2Ebin").arg(server.port());
    const qbtest::ToolRun run = qbtest::runTool("qbyget", {url, copy});
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_EQ(qbtest::sha256(readFile(copy)), qbtest::sha256(content));
}

TEST_F(FtpVsftpdTest, TheCommandLineReportsFailures) {
    const struct {
        QStringList args;
        const char* error;
    } cases[] = {
        {{server.url("pub/missing.bin"), home.file("missing.bin")}, "550 "},
        {{"ftp://127.0.0.1/pub/", home.file("x.bin")}, "names no file"},
        {{QString("ftp://127.0.0.1:%1/pub/big.bin").arg(qbtest::closedPort()), home.file("x.bin")},
         "500 Connection refused (Winsock error #10061)"},
    };
    for (const auto& c : cases) {
        const qbtest::ToolRun run = qbtest::runTool("qbyget", c.args);
        EXPECT_EQ(run.exitCode, 1) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(run.err.contains(c.error)) << run.err.constData();
    }
}

} // namespace
