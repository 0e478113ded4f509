#pragma once

#include "FtpTestServer.h"
#include "TestEnvironment.h"
#include "net/FtpCli.h"

#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

#include <utility>

// Sets a client up as the download dialog does, for 127.0.0.1 (the port left to the caller).
inline void configureClient(TFtpClient& client, const QString& localFile) {
    client.HostName = "127.0.0.1";
    client.UserName = "anonymous";
    client.PassWord = "tester@example.com";
    client.Timeout = 10;
    client.Passive = true;
    client.Binary = true;
    client.ShareMode = ftpShareDenyNone;
    client.HostDirName = "/pub/";
    client.HostFileName = "file.bin";
    client.LocalFileName = localFile;
}

// A configured client talking to a scripted server, with every event it fires recorded.
class FtpClientTest : public ::testing::Test {
protected:
    FtpClientTest() {
        local = home.file("file.bin");
        configureClient(ftp, local);
        ftp.OnDisplay = [this](TFtpClient&, const QString& msg) { display << msg; };
        ftp.OnRequestDone = [this](TFtpClient&, TFtpRequest request, int error) {
            done << std::make_pair(request, error);
        };
        ftp.OnProgress = [this](TFtpClient&, qint64 count, bool&) { progress << count; };
    }

    // Starts `other` and logs `client` in to it, as far as TYPE.
    static void connect(ftptest::FtpTestServer& other, TFtpClient& client) {
        other.start();
        client.Port = QString::number(other.port());
        ASSERT_TRUE(client.Login()) << qPrintable(client.LastReply());
        ASSERT_TRUE(client.ChangeDir()) << qPrintable(client.LastReply());
        ASSERT_TRUE(client.SetType()) << qPrintable(client.LastReply());
    }

    void start() {
        server.start();
        ftp.Port = QString::number(server.port());
    }
    // Starts the server and logs in, changes directory and sets the type.
    void connect() { connect(server, ftp); }
    // The displayed lines that start with `prefix`.
    QStringList shown(const QString& prefix) const {
        QStringList lines;
        for (const QString& line : display) {
            if (line.startsWith(prefix))
                lines << line;
        }
        return lines;
    }
    int lastError() const { return done.isEmpty() ? -1 : done.last().second; }

    // Declared first, destroyed last: the client closes its connections before
    // the server threads are joined.
    ftptest::FtpTestServer server;
    qbtest::TempHome home;
    TFtpClient ftp;
    QString local;
    QStringList display;
    QList<std::pair<TFtpRequest, int>> done;
    QList<qint64> progress;
};
