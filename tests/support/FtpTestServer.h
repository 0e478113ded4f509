#pragma once

#include "ScriptedServer.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <map>
#include <memory>

namespace ftptest {

// One control session of FtpTestServer, as a command handler sees it. Runs on
// the server's thread.
class FtpSession {
public:
    explicit FtpSession(qbtest::ScriptedConnection& control) : control(control) {}

    // Sends one reply line (CR LF added).
    bool reply(const QByteArray& line) { return control.send(line + "\r\n"); }
    // The data connection of the transfer being answered: accepted from the
    // PASV listener, or connected to the client's PORT. -1 when none comes.
    int openData();
    // Sends all bytes on a data connection; false when the client went away.
    static bool sendData(int fd, const QByteArray& bytes);

    qbtest::ScriptedConnection& control;
    std::unique_ptr<qbtest::ScriptedListener> passive;
    quint16 activePort = 0;
    qint64 restOffset = 0;
    bool quit = false;
};

// How FtpTestServer::sendFile sends.
struct SendOptions {
    // The size the 150 reply names: -1 the bytes sent, -2 none.
    qint64 announced = -1;
    // With `release` set, the data stops after `holdAfter` bytes until the test lets
    // it go on: the test sees the transfer while it runs, whatever the timing.
    qint64 holdAfter = 0;
    std::shared_ptr<std::atomic<bool>> release = {};
};

// A scripted FTP server on 127.0.0.1 answering each command through its verb's handler;
// the defaults behave like an anonymous server that serves `file` for any RETR.
class FtpTestServer {
public:
    using Handler = std::function<void(FtpSession&, const QByteArray& argument)>;

    FtpTestServer();

    // Replaces the handler of a verb ("USER", "RETR"...); before start().
    void on(const QByteArray& verb, Handler handler) { handlers_[verb] = std::move(handler); }
    // Starts accepting connections.
    void start();
    quint16 port() const { return server_->port(); }
    // The command lines the client sent, in order.
    QList<QByteArray> commands() const;
    // The verbs of commands().
    QList<QByteArray> verbs() const;

    // Sent line by line on each new connection (CR LF added to each).
    QList<QByteArray> greeting = {"220 Scripted FTP server ready"};
    // The file every RETR sends by default, from the REST offset on.
    QByteArray file;
    // The address the 227 reply names.
    QByteArray passiveAddress = "127,0,0,1";

    // The default RETR: 150 with the size, the data, 226 (426 when the client went away).
    static void sendFile(FtpSession& session, const QByteArray& bytes, const SendOptions& how = {});

private:
    void run(qbtest::ScriptedConnection& control);

    std::map<QByteArray, Handler> handlers_;
    std::unique_ptr<qbtest::ScriptedServer> server_;
};

} // namespace ftptest
