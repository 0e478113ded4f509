#include "FtpClientFixture.h"
#include "NetTestSupport.h"

#include "net/HostLookup.h"

using ftptest::FtpSession;

namespace {

struct LoginCase {
    const char* name;
    QList<QByteArray> greeting;
    QByteArray userReply;
    QByteArray passReply;
    int error;
    QList<QByteArray> verbs;
};

TEST_F(FtpClientTest, LoginSendsUserAndOnlyTheRepliesAskForPass) {
    const LoginCase cases[] = {
        {"password asked", {"220 ready"}, "331 Password?", "230 Welcome", 0, {"USER", "PASS"}},
        {"no password needed", {"220 ready"}, "230 Welcome", "500 unexpected", 0, {"USER"}},
        {"password refused",
         {"220 ready"},
         "331 Password?",
         "530 Login incorrect.",
         530,
         {"USER", "PASS"}},
        {"user refused", {"220 ready"}, "530 No anonymous", "230 Welcome", 530, {"USER"}},
        {"greeting refuses", {"421 Too many users"}, "230 Welcome", "230 Welcome", 421, {}},
        {"greeting comes late",
         {"120 Ready in 1 minute", "220 ready"},
         "230 Welcome",
         "",
         0,
         {"USER"}},
    };
    for (const LoginCase& c : cases) {
        SCOPED_TRACE(c.name);
        ftptest::FtpTestServer server;
        server.greeting = c.greeting;
        server.on("USER", [&](FtpSession& s, const QByteArray&) { s.reply(c.userReply); });
        server.on("PASS", [&](FtpSession& s, const QByteArray&) { s.reply(c.passReply); });
        server.start();
        TFtpClient client;
        configureClient(client, local);
        client.Port = QString::number(server.port());
        QList<int> errors;
        client.OnRequestDone = [&](TFtpClient&, TFtpRequest request, int error) {
            EXPECT_EQ(request, ftpLoginAsync);
            errors << error;
        };
        EXPECT_EQ(client.Login(), c.error == 0);
        EXPECT_EQ(errors, QList<int>{c.error});
        if (c.error) {
            EXPECT_EQ(client.StatusCode(), c.error);
        }
        EXPECT_EQ(client.State(), ftpReady);
        client.Abort();
        EXPECT_TRUE(qbtest::pumpUntil([&] { return server.verbs() == c.verbs; }, 2000))
            << server.verbs().join(' ').constData();
    }
}

TEST_F(FtpClientTest, ConnectionFailuresBecome500RepliesWithTheSocketError) {
    ftp.Port = QString::number(qbtest::closedPort());
    EXPECT_FALSE(ftp.Login());
    EXPECT_EQ(ftp.LastReply(), QString("500 Connection refused (Winsock error #10061)"));
    EXPECT_EQ(ftp.StatusCode(), 500);
    EXPECT_EQ(ftp.ErrorMessage(), ftp.LastReply());
    EXPECT_FALSE(ftp.Connected());
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0], std::make_pair(ftpLoginAsync, 500));

    HostLookup::setResolver([](const QByteArray&, QString&) { return 11001; });
    ftp.HostName = "nowhere.example.test";
    EXPECT_FALSE(ftp.Login());
    HostLookup::setResolver(nullptr);
    EXPECT_EQ(ftp.LastReply(), QString("500 Host not found (Winsock error #11001)"));
    EXPECT_EQ(lastError(), 500);
    qbtest::pumpUntil([] { return HostLookup::inFlight() == 0; });
}

struct Refusal {
    const char* name;
    bool connected;
    QString TFtpClient::*field; // set to `value` for the call, when given
    const char* value;
    bool (TFtpClient::*call)();
    const char* message;
};

TEST_F(FtpClientTest, RequestsThatCannotStartRaiseTheirTexts) {
    const Refusal refusals[] = {
        {"no user", false, &TFtpClient::UserName, "", &TFtpClient::Login, "UserName emtpy"},
        {"no password", false, &TFtpClient::PassWord, "", &TFtpClient::Login, "Password emtpy"},
        {"retrieve offline", false, nullptr, "", &TFtpClient::Retrieve, "Retrieve: not connected"},
        {"resume offline", false, nullptr, "", &TFtpClient::ResumeRetrieve,
         "ResumeRetrieve: not connected"},
        {"cwd offline", false, nullptr, "", &TFtpClient::ChangeDir, "ChangeDir: not connected"},
        {"second login", true, nullptr, "", &TFtpClient::Login, "FTP component already connected"},
        {"no directory", true, &TFtpClient::HostDirName, "", &TFtpClient::ChangeDir,
         "HostDirName emtpy"},
        {"no local file", true, &TFtpClient::LocalFileName, "", &TFtpClient::Retrieve,
         "LocalFileName empty"},
        {"smuggled command", true, &TFtpClient::HostFileName, "file.bin\r\nDELE file.bin",
         &TFtpClient::Retrieve, "HostFileName contains a line break"},
    };
    start();
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        if (r.connected && !ftp.Connected()) {
            ASSERT_TRUE(ftp.Login());
        }
        if (!r.connected && ftp.Connected())
            ftp.Abort();
        const QString kept = r.field ? ftp.*r.field : QString();
        if (r.field)
            ftp.*r.field = r.value;
        EXPECT_EQ(raised<FtpException>([&] { (ftp.*r.call)(); }), QString(r.message));
        if (r.field)
            ftp.*r.field = kept;
    }
    ftp.Abort();
    ASSERT_TRUE(ftp.Login());
    ftp.ChangeDirAsync();
    EXPECT_EQ(raised<FtpException>([&] { ftp.SetType(); }), QString("FTP component not ready"));
    ftp.Abort();
    EXPECT_FALSE(server.verbs().contains("DELE"));
    EXPECT_FALSE(QFile::exists(local));
}

TEST_F(FtpClientTest, ARequestDoneHandlerMayRunTheNextBlockingRequest) {
    start();
    bool changed = false;
    ftp.OnRequestDone = [&](TFtpClient& c, TFtpRequest request, int error) {
        done << std::make_pair(request, error);
        if (request == ftpLoginAsync && error == 0)
            changed = c.ChangeDir();
    };
    ftp.LoginAsync();
    ASSERT_TRUE(qbtest::pumpUntil([&] { return done.size() == 2; }));
    EXPECT_TRUE(changed);
    EXPECT_EQ(done[0], std::make_pair(ftpLoginAsync, 0));
    EXPECT_EQ(done[1], std::make_pair(ftpChangeDirAsync, 0));
    EXPECT_EQ(server.commands().value(2), QByteArray("CWD /pub/"));
}

TEST_F(FtpClientTest, RefusedCommandsEndWithTheReplyCode) {
    server.on("CWD",
              [](FtpSession& s, const QByteArray&) { s.reply("550 Failed to change directory."); });
    server.on("TYPE", [](FtpSession& s, const QByteArray&) { s.reply("504 Bad type."); });
    server.on("QUIT", [](FtpSession& s, const QByteArray&) {
        s.reply("221 Goodbye.");
        s.quit = true;
    });
    start();
    ASSERT_TRUE(ftp.Login());
    EXPECT_FALSE(ftp.ChangeDir());
    EXPECT_EQ(lastError(), 550);
    EXPECT_EQ(ftp.LastReply(), QString("550 Failed to change directory."));
    ftp.Binary = false;
    EXPECT_FALSE(ftp.SetType());
    EXPECT_EQ(lastError(), 504);
    EXPECT_TRUE(ftp.Quit());
    EXPECT_TRUE(qbtest::pumpUntil([&] { return !ftp.Connected(); }));
    EXPECT_EQ(server.commands().mid(2), QList<QByteArray>({"CWD /pub/", "TYPE A", "QUIT"}));
}

} // namespace
