#include "FtpClientFixture.h"

#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using ftptest::FtpSession;
using qbtest::patternBytes;
using qbtest::readFile;
using qbtest::writeFile;

namespace {

// The whole greeting comes before USER, the file replaces a longer one, and the data
// connection goes to the control peer, not to the address the 227 reply names.
TEST_F(FtpClientTest, RetrieveWritesTheFileAndShowsTheConversation) {
    server.greeting = {"220-Welcome to the archive.", "220-", "Lines without a code, and",
                       "230 a line with another code, belong to it.", "220 Ready."};
    server.file = patternBytes(0, 300000);
    server.passiveAddress = "127,0,0,2"; // nothing listens there
    ASSERT_TRUE(writeFile(local, QByteArray(400000, 'x')));
    connect();
    ftp.DisplayFlag = true;
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.LastReply());
    EXPECT_EQ(readFile(local), server.file);
    EXPECT_EQ(server.verbs(), QList<QByteArray>({"USER", "PASS", "CWD", "TYPE", "PASV", "RETR"}));
    EXPECT_EQ(server.commands().value(1), QByteArray("PASS tester@example.com"));
    EXPECT_EQ(server.commands().value(3), QByteArray("TYPE I"));
    EXPECT_EQ(server.commands().value(5), QByteArray("RETR file.bin"));
    const int user = display.indexOf("> USER anonymous");
    ASSERT_GE(user, 0);
    EXPECT_EQ(display.indexOf("< 220 Ready."), user - 1) << qPrintable(display.join('\n'));
    EXPECT_EQ(display.indexOf("> PASS ********"), user + 2) << "the password is not shown";
    EXPECT_EQ(shown("< ").size(), 12); // five greeting lines, a reply to each command, 226
    EXPECT_TRUE(shown("> ").contains("> RETR file.bin"));
    EXPECT_TRUE(
        display.contains("< 150 Opening BINARY mode data connection for file (300000 bytes)."));
    EXPECT_TRUE(display.contains("< 226 Transfer complete."));
    const QStringList notes = shown("! ");
    ASSERT_EQ(notes.size(), 2) << qPrintable(display.join('\n'));
    EXPECT_EQ(notes[0].section(':', 0, 0), QString("! Data connection to 127.0.0.1"));
    EXPECT_TRUE(QRegularExpression("^! 300000 bytes received/sent in \\d+ seconds"
                                   "( \\(\\d+ Bytes/sec\\))?$")
                    .match(notes[1])
                    .hasMatch())
        << qPrintable(notes[1]);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), 300000);
    EXPECT_EQ(ftp.ByteCount(), 300000);
    EXPECT_EQ(done.last(), std::make_pair(ftpRetrieveAsync, 0));
}

// REST goes out only for a local file with bytes, and offsets beyond 4 GiB (a sparse file)
// stay 64-bit; the server sends 100 bytes of the pattern from the REST offset on.
TEST_F(FtpClientTest, ResumeSendsRestOnlyForALocalFileWithBytesAnd64BitOffsets) {
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        ftptest::FtpTestServer::sendFile(s, patternBytes(std::exchange(s.restOffset, 0), 100));
    });
    connect();
    for (const qint64 size : {qint64(-1), qint64(0), qint64(1000), 5LL * 1024 * 1024 * 1024 + 7}) {
        SCOPED_TRACE(size);
        const qint64 kept = qMax<qint64>(size, 0);
        const qint64 prefix = qMin<qint64>(kept, 1000);
        QFile::remove(local);
        if (size >= 0) {
            ASSERT_TRUE(writeFile(local, patternBytes(0, prefix)));
            ASSERT_EQ(::truncate(QFile::encodeName(local).constData(), size), 0);
        }
        const int before = server.commands().size();
        progress.clear();
        ASSERT_TRUE(ftp.ResumeRetrieve()) << qPrintable(ftp.LastReply());
        QList<QByteArray> expected = {"PASV", "RETR file.bin"};
        if (kept > 0)
            expected.insert(1, "REST " + QByteArray::number(kept));
        EXPECT_EQ(server.commands().mid(before), expected);
        QFile file(local);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.size(), kept + 100);
        EXPECT_EQ(file.read(prefix), patternBytes(0, prefix));
        ASSERT_TRUE(file.seek(kept));
        EXPECT_EQ(file.readAll(), patternBytes(kept, 100));
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_GT(progress.first(), kept);
        EXPECT_EQ(progress.last(), kept + 100);
        EXPECT_EQ(ftp.ResumePos(), 0) << "reset after the transfer";
    }
}

struct RefusalCase {
    const char* name;
    QByteArray verb;
    QByteArray reply;
    bool resume;
};

TEST_F(FtpClientTest, ARefusedTransferEndsWithItsCodeAndLeavesTheLocalFileAlone) {
    const RefusalCase cases[] = {
        {"REST not implemented", "REST", "502 Command not implemented.", true},
        {"REST refused", "REST", "504 Command not implemented for that parameter.", true},
        {"file missing, resuming", "RETR", "550 Failed to open file.", true},
        {"file missing, replacing", "RETR", "550 Failed to open file.", false},
        {"passive mode refused", "PASV", "425 Cannot open passive connection.", false},
    };
    const QByteArray partial = patternBytes(0, 1000);
    ASSERT_TRUE(writeFile(local, partial));
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        ftptest::FtpTestServer refusing;
        refusing.on(c.verb, [&c](FtpSession& s, const QByteArray&) { s.reply(c.reply); });
        TFtpClient client;
        configureClient(client, local);
        int error = -1;
        client.OnRequestDone = [&](TFtpClient&, TFtpRequest, int e) { error = e; };
        connect(refusing, client);
        EXPECT_FALSE(c.resume ? client.ResumeRetrieve() : client.Retrieve());
        const int code = c.reply.left(3).toInt();
        EXPECT_EQ(error, code);
        EXPECT_EQ(client.StatusCode(), code);
        EXPECT_EQ(client.LastReply(), QString(c.reply));
        if (c.verb == "REST") {
            EXPECT_FALSE(refusing.verbs().contains("RETR"));
        }
        EXPECT_EQ(readFile(local), partial) << "the partial file survives";
    }
}

TEST_F(FtpClientTest, DataSentBeforeTheServerAcceptsIsKept) {
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        const int fd = s.openData();
        FtpSession::sendData(fd, patternBytes(0, 70000));
        ::close(fd);
        s.control.sleep(300);
        s.reply("150 Here it comes (70000 bytes).");
        s.reply("226 Done.");
    });
    connect();
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.LastReply());
    EXPECT_EQ(readFile(local), patternBytes(0, 70000));
}

TEST_F(FtpClientTest, ActiveModeTakesTheDataConnectionOnlyFromTheServer) {
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        s.reply("150 Opening data connection (5000 bytes).");
        // A stranger on another address connects first and is turned away.
        const int stranger = qbtest::connectLoopback(s.activePort, false, "127.0.0.2");
        if (stranger >= 0) {
            FtpSession::sendData(stranger, "forged data");
            ::close(stranger);
        }
        ftptest::FtpTestServer::sendFile(s, patternBytes(0, 5000));
    });
    connect();
    ftp.Passive = false;
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.LastReply());
    EXPECT_EQ(readFile(local), patternBytes(0, 5000));
    const QByteArray port = server.commands().value(4);
    EXPECT_TRUE(QRegularExpression("^PORT 127,0,0,1,\\d+,\\d+$").match(port).hasMatch())
        << port.constData();
}

TEST_F(FtpClientTest, AWriteErrorEndsTheTransfer) {
    server.file = patternBytes(0, 200000);
    connect();
    ftp.LocalFileName = "/dev/full";
    EXPECT_FALSE(ftp.Retrieve());
    EXPECT_TRUE(display.contains("! Error writing local file"));
    EXPECT_EQ(lastError(), 426);
    EXPECT_TRUE(ftp.LastReply().contains("No space left on device")) << qPrintable(ftp.LastReply());
    // The control connection stays in step: the next request gets its own reply.
    EXPECT_TRUE(ftp.SetType()) << qPrintable(ftp.LastReply());
}

TEST_F(FtpClientTest, AbortFromProgressStopsTheTransferAndKeepsTheBytes) {
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        s.reply("150 Opening data connection (4000000 bytes).");
        const int fd = s.openData();
        bool sent = true;
        for (int i = 0; sent && i < 40; ++i) {
            sent = FtpSession::sendData(fd, patternBytes(i * 100000, 100000));
            s.control.sleep(20);
        }
        ::close(fd);
        s.reply(sent ? "226 Transfer complete." : "426 Failure writing network stream.");
    });
    connect();
    ftp.OnProgress = [&](TFtpClient&, qint64 count, bool& abort) {
        progress << count;
        abort = count >= 150000;
    };
    EXPECT_FALSE(ftp.Retrieve());
    EXPECT_TRUE(display.contains("! Abort requested"));
    EXPECT_EQ(lastError(), 426);
    const QByteArray kept = readFile(local);
    EXPECT_EQ(kept.size(), progress.last());
    EXPECT_EQ(kept, patternBytes(0, kept.size()));
    EXPECT_EQ(shown("! ").filter("bytes received/sent").size(), 1);
}

TEST_F(FtpClientTest, AbortDuringABlockingCallReturnsAtOnceWithoutRequestDone) {
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        s.reply("150 Opening data connection (1000000 bytes).");
        const int fd = s.openData();
        FtpSession::sendData(fd, patternBytes(0, 1000));
        s.control.sleep(20000); // then nothing more
        ::close(fd);
    });
    connect();
    done.clear();
    ftp.OnProgress = [](TFtpClient& c, qint64, bool&) { c.Abort(); };
    EXPECT_FALSE(ftp.Retrieve());
    EXPECT_TRUE(done.isEmpty());
    EXPECT_EQ(ftp.State(), ftpReady);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(readFile(local), patternBytes(0, 1000));
}

// A file in a missing folder fails before anything is asked; an exclusive share mode
// refuses a file another download holds.
TEST_F(FtpClientTest, ALocalFileThatCannotBeOpenedEndsWith550) {
    server.file = patternBytes(0, 4000);
    connect();
    ftp.LocalFileName = home.file("no/such/folder/file.bin");
    const int before = server.commands().size();
    EXPECT_FALSE(ftp.Retrieve());
    EXPECT_EQ(lastError(), 550);
    EXPECT_TRUE(ftp.LastReply().startsWith("550 Cannot open local file"))
        << qPrintable(ftp.LastReply());
    EXPECT_EQ(server.commands().size(), before);

    ftp.LocalFileName = local;
    ASSERT_TRUE(writeFile(local, "partial"));
    const int holder = ::open(QFile::encodeName(local).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    ftp.ShareMode = ftpShareExclusive;
    EXPECT_FALSE(ftp.ResumeRetrieve());
    EXPECT_EQ(lastError(), 550);
    EXPECT_TRUE(ftp.LastReply().startsWith("550 Local file in use")) << qPrintable(ftp.LastReply());
    EXPECT_EQ(readFile(local), QByteArray("partial"));
    ftp.ShareMode = ftpShareDenyNone;
    EXPECT_TRUE(ftp.Retrieve());
    ::close(holder);
    EXPECT_EQ(readFile(local), server.file);
}

} // namespace
