#include "FtpTestServer.h"

#include <utility>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace ftptest {

int FtpSession::openData() {
    int fd = -1;
    if (passive)
        fd = passive->acceptDescriptor(10000);
    else if (activePort)
        fd = qbtest::connectLoopback(activePort);
    if (fd >= 0) {
        // A client that stops reading must not hang the server thread.
        const timeval limit = {10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    return fd;
}

bool FtpSession::sendData(int fd, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

FtpTestServer::FtpTestServer() {
    on("USER",
       [](FtpSession& s, const QByteArray&) { s.reply("331 Please specify the password."); });
    on("PASS", [](FtpSession& s, const QByteArray&) { s.reply("230 Login successful."); });
    on("CWD",
       [](FtpSession& s, const QByteArray&) { s.reply("250 Directory successfully changed."); });
    on("TYPE", [](FtpSession& s, const QByteArray&) { s.reply("200 Switching to Binary mode."); });
    on("PASV", [this](FtpSession& s, const QByteArray&) {
        s.passive = s.control.listen();
        const quint16 port = s.passive->port();
        s.reply("227 Entering Passive Mode (" + passiveAddress + "," +
                QByteArray::number(port >> 8) + "," + QByteArray::number(port & 0xff) + ").");
    });
    on("PORT", [](FtpSession& s, const QByteArray& argument) {
        const QList<QByteArray> parts = argument.split(',');
        s.activePort = parts.size() == 6 ? quint16(parts[4].toInt() * 256 + parts[5].toInt()) : 0;
        s.reply(s.activePort ? "200 PORT command successful." : "501 Bad PORT");
    });
    on("REST", [](FtpSession& s, const QByteArray& argument) {
        s.restOffset = argument.toLongLong();
        s.reply("350 Restart position accepted (" + argument + ").");
    });
    // A restart position holds for the next transfer only.
    on("RETR", [this](FtpSession& s, const QByteArray&) {
        sendFile(s, file.mid(std::exchange(s.restOffset, 0)));
    });
    on("QUIT", [](FtpSession& s, const QByteArray&) {
        s.reply("221 Goodbye.");
        s.quit = true;
    });
}

void FtpTestServer::sendFile(FtpSession& session, const QByteArray& bytes, const SendOptions& how) {
    const qint64 announced = how.announced == -1 ? bytes.size() : how.announced;
    session.reply(announced < 0 ? QByteArray("150 Here comes the file.")
                                : "150 Opening BINARY mode data connection for file (" +
                                      QByteArray::number(announced) + " bytes).");
    const int fd = session.openData();
    if (fd < 0) {
        session.reply("425 Failed to establish connection.");
        return;
    }
    const qint64 held = how.release ? how.holdAfter : 0;
    bool sent = FtpSession::sendData(fd, bytes.left(held));
    while (sent && how.release && !*how.release && session.control.sleep(5)) {
    }
    sent = sent && FtpSession::sendData(fd, bytes.mid(held));
    ::close(fd);
    session.reply(sent ? "226 Transfer complete." : "426 Failure writing network stream.");
}

void FtpTestServer::start() {
    server_ = std::make_unique<qbtest::ScriptedServer>(
        [this](qbtest::ScriptedConnection& control) { run(control); });
}

void FtpTestServer::run(qbtest::ScriptedConnection& control) {
    FtpSession session(control);
    for (const QByteArray& line : greeting) {
        if (!session.reply(line))
            return;
    }
    while (!session.quit) {
        const std::optional<QByteArray> line = control.readLine(20000);
        if (!line)
            return;
        const int blank = line->indexOf(' ');
        const QByteArray verb = (blank < 0 ? *line : line->left(blank)).toUpper();
        const QByteArray argument = blank < 0 ? QByteArray() : line->mid(blank + 1);
        const auto handler = handlers_.find(verb);
        if (handler == handlers_.end())
            session.reply("502 Command not implemented.");
        else
            handler->second(session, argument);
    }
}

QList<QByteArray> FtpTestServer::commands() const {
    QList<QByteArray> lines;
    for (const QByteArray& received : server_->received()) {
        for (QByteArray line : received.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (!line.isEmpty())
                lines << line;
        }
    }
    return lines;
}

QList<QByteArray> FtpTestServer::verbs() const {
    QList<QByteArray> verbs;
    for (const QByteArray& line : commands())
        verbs << line.split(' ').first();
    return verbs;
}

} // namespace ftptest
