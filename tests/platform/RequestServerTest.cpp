#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "PlatformFakes.h"
#include "TestEnvironment.h"
#include "platform/RequestEndpoint.h"
#include "platform/RequestServer.h"

using platform::Request;
using platform::RequestServer;
using platform::SendResult;
using qbtest::handOffRequest;
using qbtest::probeRequest;
using qbtest::Sender;

namespace {

// A raw connection to an endpoint, for peers that do not play by the rules.
int connectRaw(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True once the server has closed the raw connection `fd`: end of stream, or a reset when
// it left bytes unread.
bool closedByServer(int fd) {
    char byte;
    return qbtest::pumpUntil(
        [&] {
            const ssize_t n = ::recv(fd, &byte, 1, MSG_DONTWAIT);
            return n == 0 || (n < 0 && errno == ECONNRESET);
        },
        20000);
}

TEST(RequestServer, AnswersWithTheHandlersResultOnTheEndpointOfItsTitle) {
    qbtest::TempHome home;
    QList<Request> seen;
    RequestServer server([&](const Request& r) {
        seen << r;
        return r.message == platform::WM_COPYDATA ? qint64(r.copyData.lpData.size()) : -1;
    });
    ASSERT_TRUE(server.listen("QBY")) << qPrintable(server.errorString());
    EXPECT_EQ(server.endpoint(), home.root() + "/runtime/quillbay/QBY");

    Sender first("QBY", handOffRequest("\x03"
                                       "abc"));
    const SendResult& a = first.result();
    EXPECT_EQ(a.status, SendResult::Answered) << qPrintable(a.error);
    EXPECT_EQ(a.result, 4);
    Sender second("QBY", probeRequest());
    EXPECT_EQ(second.result().result, -1);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].copyData.lpData, "\x03"
                                       "abc");
    EXPECT_EQ(seen[1].message, platform::WM_CONTENTPROBE);

    // The endpoint folder is the user's alone.
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(home.root() + "/runtime/quillbay").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // The endpoint follows the title: a sender looking for the old one finds nobody.
    const QString endpointBefore = server.endpoint();
    ASSERT_TRUE(server.listen("QBY - Download Detect Disabled"));
    EXPECT_FALSE(QFileInfo::exists(endpointBefore));
    EXPECT_TRUE(QFileInfo::exists(server.endpoint()));
    Sender lookingForQby("QBY", probeRequest());
    EXPECT_EQ(lookingForQby.result().status, SendResult::NoReceiver);
    Sender direct("QBY - Download Detect Disabled", probeRequest());
    EXPECT_EQ(direct.result().status, SendResult::Answered);
    EXPECT_EQ(seen.size(), 3);

    server.close();
    EXPECT_FALSE(server.isListening());
    Sender none("QBY - Download Detect Disabled", probeRequest());
    EXPECT_EQ(none.result().status, SendResult::NoReceiver);
}

TEST(RequestServer, LeftoversAreReplacedAndOnlyOurOwnSocketIsRemoved) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(home.root() + "/runtime/quillbay/QBY", "left behind"));
    ASSERT_TRUE(QFile::setPermissions(home.root() + "/runtime/quillbay",
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    RequestServer older([](const Request&) { return 1; });
    ASSERT_TRUE(older.listen("QBY")) << qPrintable(older.errorString());
    // A second copy of the program must not take over the endpoint of the running one.
    RequestServer newer([](const Request&) { return 2; });
    EXPECT_FALSE(newer.listen("QBY"));
    EXPECT_TRUE(newer.errorString().contains("another copy")) << qPrintable(newer.errorString());
    EXPECT_FALSE(newer.isListening());
    {
        Sender sender("QBY", probeRequest());
        EXPECT_EQ(sender.result().result, 1);
    }
    // Once the first one leaves, the name is free for the other.
    older.close();
    ASSERT_TRUE(newer.listen("QBY")) << qPrintable(newer.errorString());
    Sender sender("QBY", probeRequest());
    EXPECT_EQ(sender.result().result, 2);
}

TEST(RequestServer, ABusyHandlerDoesNotHoldUpOtherConnections) {
    qbtest::TempHome home;
    bool innerServed = false;
    std::unique_ptr<Sender> inner;
    RequestServer server([&](const Request& r) -> qint64 {
        if (r.copyData.lpData == "outer") {
            // Like a probe waiting on a web server: messages run, other requests with them.
            inner = std::make_unique<Sender>("QBY", handOffRequest("inner"));
            EXPECT_TRUE(qbtest::pumpUntil([&] { return inner->done(); }, 20000));
            return 1;
        }
        innerServed = true;
        return 2;
    });
    ASSERT_TRUE(server.listen("QBY"));
    Sender outer("QBY", handOffRequest("outer"));
    EXPECT_EQ(outer.result().result, 1);
    EXPECT_TRUE(innerServed);
    EXPECT_EQ(inner->result().result, 2);
}

TEST(RequestServer, BadPeersLoseTheirConnectionAndNothingElse) {
    qbtest::TempHome home;
    int served = 0;
    RequestServer server([&](const Request&) { return ++served; });
    server.setIdleTimeout(300);
    ASSERT_TRUE(server.listen("QBY"));

    struct Case {
        const char* what;
        QByteArray bytes;
    };
    // Which frames are malformed is the reader's table; here only that one ends the peer.
    const Case cases[] = {
        {"unknown message", QByteArray("GET / HTTP/1.0\r\n\r\n")},
        {"half a request, then silence",
         platform::encodeRequest(handOffRequest("abcdef")).left(10)},
        {"connects and says nothing", QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int fd = connectRaw(server.endpoint());
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::send(fd, c.bytes.constData(), size_t(c.bytes.size()), MSG_NOSIGNAL),
                  c.bytes.size());
        EXPECT_TRUE(closedByServer(fd));
        ::close(fd);
        EXPECT_TRUE(qbtest::pumpUntil([&] { return server.connectionCount() == 0; }));
    }
    EXPECT_EQ(served, 0);
    // The server itself goes on serving.
    Sender good("QBY", probeRequest());
    EXPECT_EQ(good.result().status, SendResult::Answered);
}

TEST(RequestServer, APeerThatSendsAndLeavesIsStillServed) {
    qbtest::TempHome home;
    QList<QByteArray> seen;
    RequestServer server([&](const Request& r) {
        seen << r.copyData.lpData;
        return 0;
    });
    ASSERT_TRUE(server.listen("QBY"));
    const int fd = connectRaw(server.endpoint());
    const QByteArray two = platform::encodeRequest(handOffRequest("one")) +
                           platform::encodeRequest(handOffRequest("two"));
    ASSERT_EQ(::send(fd, two.constData(), size_t(two.size()), MSG_NOSIGNAL), two.size());
    ::shutdown(fd, SHUT_WR);
    EXPECT_TRUE(qbtest::pumpUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen, QList<QByteArray>({"one", "two"}));
    char replies[16];
    EXPECT_EQ(::recv(fd, replies, sizeof replies, MSG_WAITALL), 16);
    ::close(fd);
}

TEST(RequestServer, PeersOfAnotherUserAreRefused) {
    qbtest::TempHome home;
    // The credential check itself, on both ends of a real connection.
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    EXPECT_TRUE(platform::peerIsUser(pair[0], ::getuid()));
    EXPECT_FALSE(platform::peerIsUser(pair[0], ::getuid() + 1));
    ::close(pair[0]);
    ::close(pair[1]);

    // A server that serves another user turns this process away unheard.
    int served = 0;
    RequestServer server([&](const Request&) { return ++served; });
    server.setTrustedUser(::getuid() + 1);
    ASSERT_TRUE(server.listen("QBY"));
    Sender stranger("QBY", probeRequest());
    EXPECT_EQ(stranger.result().status, SendResult::Failed);
    EXPECT_EQ(served, 0);
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(RequestEndpoint, AFolderOthersCanReachIsNotUsed) {
    qbtest::TempHome home;
    const QString folder = home.root() + "/runtime/quillbay";
    RequestServer server([](const Request&) { return 0; });

    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0755), 0);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_FALSE(server.listen("QBY"));
    EXPECT_TRUE(server.errorString().contains("open to other users"))
        << qPrintable(server.errorString());
    Sender sender("QBY", probeRequest());
    EXPECT_NE(sender.result().status, SendResult::Answered);

    ASSERT_EQ(::rmdir(QFile::encodeName(folder).constData()), 0);
    ASSERT_EQ(::mkdir(QFile::encodeName(home.root() + "/elsewhere").constData(), 0700), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(home.root() + "/elsewhere").constData(),
                        QFile::encodeName(folder).constData()),
              0);
    EXPECT_FALSE(server.listen("QBY"));
    EXPECT_TRUE(server.errorString().contains("is not a folder"))
        << qPrintable(server.errorString());
    EXPECT_FALSE(QFileInfo::exists(home.root() + "/elsewhere/QBY"));

    if (::getuid() == 0) {
        // Only root can hand a folder to another user.
        ASSERT_EQ(::unlink(QFile::encodeName(folder).constData()), 0);
        ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0700), 0);
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        EXPECT_FALSE(server.listen("QBY"));
        EXPECT_TRUE(server.errorString().contains("another user"));
    }
    EXPECT_FALSE(server.isListening());
}

TEST(RequestEndpoint, TitlesThatCannotNameASocketAreRefused) {
    qbtest::TempHome home;
    for (const QString& title : {QString(), QString("a/b"), QString(".."), QString(200, 'Q')}) {
        QString error;
        EXPECT_TRUE(platform::endpointPath(title, &error).isEmpty()) << qPrintable(title);
        EXPECT_FALSE(error.isEmpty());
    }
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::endpointFolderPath(), QString("/tmp/quillbay-%1/").arg(::getuid()));
}

} // namespace
