#include "FtpClientFixture.h"

#include <ctime>
#include <unistd.h>

using ftptest::FtpSession;
using qbtest::patternBytes;

namespace {

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The server goes silent after the 150 reply and the first bytes.
void silentTransfer(FtpSession& s, const QByteArray&) {
    s.reply("150 Opening data connection (100000 bytes).");
    const int fd = s.openData();
    FtpSession::sendData(fd, patternBytes(0, 1000));
    // Without the timeout the transfer would end here, long after it.
    if (s.control.sleep(8000)) {
        ::close(fd);
        s.reply("226 Transfer complete.");
    } else {
        ::close(fd);
    }
}

TEST_F(FtpClientTest, ASilentServerEndsTheBlockingCallWith426Timeout) {
    server.on("RETR", silentTransfer);
    connect();
    ftp.Timeout = 1;
    const double cpuBefore = cpuSeconds();
    EXPECT_FALSE(ftp.Retrieve());
    // The wait sleeps: a loop that spins would burn the whole second and more.
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.4);
    EXPECT_EQ(ftp.ErrorMessage(), QString("426 Timeout"));
    EXPECT_EQ(ftp.StatusCode(), 426);
    EXPECT_EQ(done.last(), std::make_pair(ftpRetrieveAsync, 426));
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(ftp.State(), ftpReady);
    EXPECT_EQ(qbtest::readFile(local), patternBytes(0, 1000)) << "what came is kept";
}

TEST_F(FtpClientTest, AServerThatNeverGreetsTimesTheLoginOut) {
    server.greeting.clear();
    start();
    ftp.Timeout = 1;
    EXPECT_FALSE(ftp.Login());
    EXPECT_EQ(ftp.ErrorMessage(), QString("426 Timeout"));
    EXPECT_EQ(done.last(), std::make_pair(ftpLoginAsync, 426));
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpClientTest, ATricklingTransferNeverTimesOut) {
    const int pieces = 7;
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        s.reply("150 Opening data connection (7000 bytes).");
        const int fd = s.openData();
        // Longer in all than the timeout, but never silent for as long.
        for (int i = 0; i < pieces; ++i) {
            s.control.sleep(400);
            FtpSession::sendData(fd, patternBytes(i * 1000, 1000));
        }
        ::close(fd);
        s.reply("226 Transfer complete.");
    });
    connect();
    ftp.Timeout = 1;
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.ErrorMessage());
    EXPECT_EQ(qbtest::readFile(local), patternBytes(0, pieces * 1000));
    EXPECT_EQ(progress.size(), pieces);
}

} // namespace
