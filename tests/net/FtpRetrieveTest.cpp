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

// The file replaces a longer one, and the data connection goes to the control peer, not
// to the address the 227 reply names.
TEST_F(FtpClientTest, RetrieveWritesTheFileAndShowsTheConversation) {
    server.file = patternBytes(0, 300000);
    server.passiveAddress = "127,0,0,2"; // nothing listens there
    ASSERT_TRUE(writeFile(local, QByteArray(400000, 'x')));
    connect();
    ftp.DisplayFlag = true;
    ASSERT_TRUE(ftp.Retrieve()) << qPrintable(ftp.LastReply());
    EXPECT_EQ(readFile(local), server.file);
    EXPECT_EQ(server.verbs(), QList<QByteArray>({"USER", "PASS", "CWD", "TYPE", "PASV", "RETR"}));
    EXPECT_EQ(server.commands().value(3), QByteArray("TYPE I"));
    EXPECT_EQ(server.commands().value(5), QByteArray("RETR file.bin"));
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

struct ResumeCase {
    const char* name;
    qint64 localSize; // -1: no local file
    const char* rest;
};

TEST_F(FtpClientTest, ResumeSendsRestOnlyForALocalFileWithBytes) {
    const ResumeCase cases[] = {
        {"no local file", -1, nullptr},
        {"empty local file", 0, nullptr},
        {"1000 bytes", 1000, "REST 1000"},
    };
    server.file = patternBytes(0, 5000);
    connect();
    for (const ResumeCase& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(local);
        if (c.localSize >= 0) {
            ASSERT_TRUE(writeFile(local, patternBytes(0, c.localSize)));
        }
        const int before = server.commands().size();
        progress.clear();
        ASSERT_TRUE(ftp.ResumeRetrieve()) << qPrintable(ftp.LastReply());
        const QList<QByteArray> sent = server.commands().mid(before);
        const QList<QByteArray> expected =
            c.rest ? QList<QByteArray>({"PASV", c.rest, "RETR file.bin"})
                   : QList<QByteArray>({"PASV", "RETR file.bin"});
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(readFile(local), server.file);
        ASSERT_FALSE(progress.isEmpty());
        EXPECT_GT(progress.first(), qMax<qint64>(c.localSize, 0));
        EXPECT_EQ(progress.last(), 5000);
        EXPECT_EQ(ftp.ResumePos(), 0) << "reset after the transfer";
    }
}

TEST_F(FtpClientTest, ResumeOffsetsBeyondFourGigabytesStay64Bit) {
    const qint64 offset = 5LL * 1024 * 1024 * 1024 + 7;
    server.on("RETR", [](FtpSession& s, const QByteArray&) {
        ftptest::FtpTestServer::sendFile(s, patternBytes(s.restOffset, 100));
    });
    connect();
    ASSERT_TRUE(writeFile(local, QByteArray()));
    ASSERT_EQ(::truncate(QFile::encodeName(local).constData(), offset), 0); // sparse
    ASSERT_TRUE(ftp.ResumeRetrieve()) << qPrintable(ftp.LastReply());
    EXPECT_TRUE(server.commands().contains("REST " + QByteArray::number(offset)));
    QFile file(local);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), offset + 100);
    ASSERT_TRUE(file.seek(offset));
    EXPECT_EQ(file.readAll(), patternBytes(offset, 100));
    EXPECT_EQ(progress.last(), offset + 100);
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
