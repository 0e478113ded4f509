// The engine against a real vsftpd with a local user: an ftp URL's path starts in the
// user's home, where the login leaves the client; only an encoded "/" names the root.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "VsftpdServer.h"
#include "library/DownloadEngine.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"

#include <unistd.h>

using download::DownloadEngine;
using download::DownloadJob;
using download::EngineState;
using qbtest::LocalFtpUser;
using qbtest::VsftpdServer;

namespace {

TEST(DownloadEngineVsftpd, ALocalUsersPathsStartInItsHome) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a local FTP user needs root";
    LocalFtpUser user;
    ASSERT_TRUE(user.ok()) << qPrintable(user.error());
    VsftpdServer server(false, LocalFtpUser::serverConfig());
    ASSERT_TRUE(server.isRunning()) << qPrintable(server.error());
    const QByteArray top = qbtest::randomBytes(300000, 71);
    const QByteArray deep = qbtest::randomBytes(200000, 72);
    const QString topName = user.unique("file.bin");
    const QString deepName = user.unique("a") + "/b/file.bin";
    ASSERT_TRUE(user.addFile(topName, top));
    ASSERT_TRUE(user.addFile(deepName, deep));
    // The home as an absolute path, its leading "/" encoded.
    const QString homeFromRoot = "%2F" + user.home().mid(1);

    struct PathCase {
        QString path;
        QByteArray content;
        QString cwd; // the one CWD expected; empty: none at all
    };
    const PathCase cases[] = {
        {topName, top, {}},
        {deepName, deep, user.unique("a") + "/b"},
        {homeFromRoot + "/" + topName, top, user.home()},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(qPrintable(c.path));
        qbtest::TempHome home;
        THttpCli http;
        TFtpClient ftp;
        DownloadEngine engine(http, ftp);
        QStringList lines;
        engine.OnFtpLine = [&](const QString& line) { lines << line; };
        DownloadJob job;
        job.url = QString("ftp://%1:%2@127.0.0.1:%3/%4")
                      .arg(LocalFtpUser::name(), LocalFtpUser::password())
                      .arg(server.port())
                      .arg(c.path);
        job.target = home.file("file.bin");
        job.timeout = 20;
        EXPECT_EQ(engine.run(job), EngineState::Complete)
            << qPrintable(engine.failure() + "\n" + lines.join('\n'));
        EXPECT_EQ(qbtest::readFile(job.target), c.content);
        const QStringList cwds = lines.filter(QRegularExpression("^> CWD "));
        EXPECT_EQ(cwds, c.cwd.isEmpty() ? QStringList() : QStringList("> CWD " + c.cwd))
            << qPrintable(lines.join('\n'));
        EXPECT_TRUE(lines.contains("> USER " + LocalFtpUser::name()));
    }
}

} // namespace
