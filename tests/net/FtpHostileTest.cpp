// The FTP client against servers that misbehave: replies that race the data
// connection, floods of reply lines, endless replies, impossible codes and silence.
#include "FtpClientFixture.h"

#include "platform/MessageLoop.h"

#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <thread>
#include <unistd.h>

using ftptest::FtpSession;
using qbtest::patternBytes;
using qbtest::readFile;

namespace {

// In active mode the 226 may come before the client has seen the data connection:
// the reply must wait for every data byte, however the events are ordered.
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

// Sends `line` (CR LF added) over and over for `ms` milliseconds, in large writes.
void flood(FtpSession& s, const QByteArray& line, int ms) {
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += line + "\r\n";
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && s.control.send(block)) {
    }
}

TEST_F(FtpClientTest, AFloodOfReplyLinesLeavesTimersOnTime) {
    server.on("CWD", [](FtpSession& s, const QByteArray&) {
        flood(s, "250-and another line of a reply that never seems to end", 2500);
        s.reply("250 Directory successfully changed.");
    });
    start();
    ASSERT_TRUE(ftp.Login());
    ftp.OnDisplay = nullptr; // the test's own log would grow by millions of lines
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        worst = qMax(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    timer.start(100);
    EXPECT_TRUE(ftp.ChangeDir()) << qPrintable(ftp.LastReply());
    timer.stop();
    EXPECT_GT(clock.elapsed(), 2000);
    // Unbounded reading holds the timer for the whole flood; a loaded machine adds some delay.
    EXPECT_LT(worst, 1000) << "a 100 ms timer waited this long during the flood";
}

struct ReplyCase {
    const char* name;
    const char* verb;
    std::function<void(FtpSession&)> answer;
    bool (TFtpClient::*call)();
    int status;        // StatusCode and the request's error afterwards
    const char* reply; // start of LastReply afterwards
    bool active = false;
};

TEST_F(FtpClientTest, ImpossibleAndEndlessRepliesFail) {
    const ReplyCase cases[] = {
        {"code 000", "CWD", [](FtpSession& s) { s.reply("000 OK"); }, &TFtpClient::ChangeDir, 500,
         "500 Not an FTP reply: 000 OK"},
        {"code 999", "TYPE", [](FtpSession& s) { s.reply("999 Fine"); }, &TFtpClient::SetType, 500,
         "500 Not an FTP reply: 999 Fine"},
        {"code 000 to RETR", "RETR", [](FtpSession& s) { s.reply("000 Sent it all"); },
         &TFtpClient::Retrieve, 500, "500 Not an FTP reply"},
        {"endless multi-line reply", "CWD",
         [](FtpSession& s) {
             for (int i = 0; i < 40 && s.reply("250-still talking"); ++i)
                 s.control.sleep(100);
         },
         &TFtpClient::ChangeDir, 426, "426 Timeout"},
        {"226 without any data connection", "RETR",
         [](FtpSession& s) {
             s.reply("150 Opening BINARY mode data connection for file (5 bytes).");
             s.reply("226 Transfer complete.");
         },
         &TFtpClient::Retrieve, 425, "425", true},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ftptest::FtpTestServer other;
        other.on(c.verb, [&c](FtpSession& s, const QByteArray&) { c.answer(s); });
        TFtpClient client;
        configureClient(client, local);
        other.start();
        client.Port = QString::number(other.port());
        client.Passive = !c.active;
        int error = -1;
        client.OnRequestDone = [&](TFtpClient&, TFtpRequest, int e) { error = e; };
        ASSERT_TRUE(client.Login());
        client.Timeout = 1;
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE((client.*c.call)());
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_EQ(client.StatusCode(), c.status);
        EXPECT_EQ(error, c.status);
        EXPECT_TRUE(client.LastReply().startsWith(c.reply)) << qPrintable(client.LastReply());
    }
}

TEST_F(FtpClientTest, ABlockingCallEndsPromptlyWhenTheProgramEnds) {
    server.on("RETR", [](FtpSession& s, const QByteArray&) { s.control.sleep(5000); });
    connect();
    ftp.Timeout = 30;
    QTimer::singleShot(100, [] { platform::requestProgramEnd(); });
    QElapsedTimer clock;
    clock.start();
    const bool ok = ftp.Retrieve();
    platform::requestProgramEnd(false);
    EXPECT_FALSE(ok);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(ftp.State(), ftpReady);
    EXPECT_FALSE(ftp.Connected());
}

double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The timeout counts silence: a trickle longer in all than it never reaches it, a server
// silent after the first bytes does.
TEST_F(FtpClientTest, TheTimeoutCountsSilenceNotTheWholeTransfer) {
    server.on("RETR", [calls = 0](FtpSession& s, const QByteArray&) mutable {
        const bool trickle = calls++ == 0;
        s.reply("150 Opening data connection (7000 bytes).");
        const int fd = s.openData();
        for (int i = 0; i < (trickle ? 7 : 1); ++i) {
            s.control.sleep(trickle ? 400 : 0);
            FtpSession::sendData(fd, patternBytes(i * 1000, 1000));
        }
        const bool ended = trickle || s.control.sleep(8000);
        ::close(fd);
        if (ended)
            s.reply("226 Transfer complete.");
    });
    connect();
    ftp.Timeout = 1;
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.ErrorMessage());
    EXPECT_EQ(readFile(local), patternBytes(0, 7000));
    EXPECT_EQ(progress.size(), 7);

    const double cpuBefore = cpuSeconds();
    EXPECT_FALSE(ftp.Retrieve());
    // The wait sleeps: a loop that spins would burn the whole second and more.
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.4);
    EXPECT_EQ(ftp.ErrorMessage(), QString("426 Timeout"));
    EXPECT_EQ(ftp.StatusCode(), 426);
    EXPECT_EQ(done.last(), std::make_pair(ftpRetrieveAsync, 426));
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(ftp.State(), ftpReady);
    EXPECT_EQ(readFile(local), patternBytes(0, 1000)) << "what came is kept";
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

} // namespace
