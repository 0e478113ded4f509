// The FTP client against servers that misbehave: replies that race the data
// connection, floods of reply lines, endless replies and impossible codes.
#include "FtpClientFixture.h"

#include "platform/MessageLoop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <thread>
#include <unistd.h>

using ftptest::FtpSession;
using qbtest::patternBytes;
using qbtest::readFile;

namespace {

// In active mode the server connects, and may report the transfer complete
// before the client has even seen that connection: the reply must wait for
// every data byte, however the events are ordered.
TEST_F(FtpClientTest, ACompletionReplyAheadOfTheDataConnectionLosesNothing) {
    const QByteArray content = patternBytes(0, 200000);
    server.on("RETR", [&](FtpSession& s, const QByteArray&) {
        const int fd = s.openData(); // connected: waiting in the client's accept queue
        s.reply("150 Opening BINARY mode data connection for file (200000 bytes).\r\n"
                "226 Transfer complete.");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        FtpSession::sendData(fd, content);
        ::close(fd);
    });
    connect();
    ftp.Passive = false;
    // The client is busy when the server answers, so every event is ready at once.
    ftp.OnCommand = [](TFtpClient&, const QString& command) {
        if (command.startsWith("RETR"))
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    };
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.LastReply());
    EXPECT_EQ(readFile(local).size(), content.size());
    EXPECT_EQ(readFile(local), content);
}

TEST_F(FtpClientTest, ACompletionReplyWithoutAnyDataConnectionIsAFailure) {
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        s.reply("150 Opening BINARY mode data connection for file (5 bytes).");
        s.reply("226 Transfer complete.");
    });
    connect();
    ftp.Passive = false;
    EXPECT_FALSE(ftp.Retrieve());
    EXPECT_EQ(ftp.StatusCode(), 425) << qPrintable(ftp.LastReply());
    EXPECT_EQ(lastError(), 425);
}

} // namespace
