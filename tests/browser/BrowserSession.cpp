#include "BrowserSession.h"

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qbtest {

namespace {

// The body of a GET of `path` on 127.0.0.1:`port`; empty when there is no answer.
QByteArray httpGet(quint16 port, const QByteArray& path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    QByteArray reply;
    const QByteArray request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == request.size()) {
        const QDeadlineTimer deadline(5000);
        char buffer[8192];
        pollfd p = {fd, POLLIN, 0};
        while (::poll(&p, 1, int(deadline.remainingTime())) > 0) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            reply.append(buffer, n);
        }
    }
    ::close(fd);
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return body < 0 ? QByteArray() : reply.mid(body + 4);
}

// The live (not yet reaped) processes of session `session`.
QList<pid_t> sessionMembers(pid_t session) {
    QList<pid_t> members;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        const QByteArray stat = readFile("/proc/" + entry + "/stat");
        // "pid (name) state ppid pgrp session ...": the name may hold blanks and parentheses.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 3 && fields[0] != "Z" && fields[3].toInt() == session)
            members << pid;
    }
    return members;
}

// Runs `program` with `args` on `display`; false when it did not end in time.
bool runOn(QProcess& run, const QString& display, const QString& program, const QStringList& args,
           int timeoutMs = 20000) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    run.setProcessEnvironment(env);
    run.start(program, args);
    return run.waitForFinished(timeoutMs) && run.exitStatus() == QProcess::NormalExit;
}

} // namespace

bool pollUntil(const std::function<bool()>& done, int timeoutMs, int intervalMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(ulong(intervalMs));
    }
    return true;
}

bool xdotool(const QString& display, const QStringList& args) {
    QProcess run;
    return runOn(run, display, "xdotool", args) && run.exitCode() == 0;
}

QStringList windowsTitled(const QString& display, const QString& title) {
    QProcess run;
    if (!runOn(run, display, "xdotool", {"search", "--name", QRegularExpression::escape(title)}))
        return {};
    return QString::fromLatin1(run.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

ChromiumBrowser::ChromiumBrowser(const QString& profile, const QString& downloads,
                                 const QString& extension, const QString& display)
    : profile_(profile), downloads_(downloads), extension_(extension), display_(display) {}

ChromiumBrowser::~ChromiumBrowser() {
    stop();
}

QString ChromiumBrowser::binary() {
    return QStandardPaths::findExecutable("chromium");
}

QStringList ChromiumBrowser::commonArguments() const {
    QStringList args{"--user-data-dir=" + profile_};
    // Chromium's sandbox refuses to run as root.
    if (::geteuid() == 0)
        args << "--no-sandbox";
    return args;
}

bool ChromiumBrowser::start(const QString& extensionId, int timeoutMs) {
    const QJsonObject preferences{{"download", QJsonObject{{"default_directory", downloads_},
                                                           {"prompt_for_download", false}}},
                                  {"safebrowsing", QJsonObject{{"enabled", false}}},
                                  {"profile", QJsonObject{{"exit_type", "Normal"}}}};
    if (!writeFile(profile_ + "/Default/Preferences", QJsonDocument(preferences).toJson())) {
        error_ = "cannot write the profile's preferences";
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(profile_ + "/../chromium.log");
    // A session of its own, so that every process of the browser can be found and ended.
    process_.setChildProcessModifier([] { ::setsid(); });
    // Without the network this machine has none: no background connections, no updates.
    process_.start(binary(),
                   commonArguments() +
                       QStringList{"--no-first-run", "--no-default-browser-check", "--disable-gpu",
                                   "--disable-background-networking", "--disable-component-update",
                                   "--disable-sync", "--disable-quic", "--password-store=basic",
                                   // The browser's own trust is not under test; the
                                   // program checks the test server's certificate itself.
                                   "--ignore-certificate-errors", "--load-extension=" + extension_,
                                   "--remote-debugging-port=0", "about:blank"});
    if (!process_.waitForStarted(20000)) {
        error_ = "chromium did not start: " + process_.errorString();
        return false;
    }
    // The browser tells its debugging port in the profile; its target list shows when the
    // extension's service worker runs.
    const QByteArray worker = "chrome-extension://" + extensionId.toLatin1() + "/background.js";
    const bool ready = pollUntil(
        [&] {
            if (process_.state() != QProcess::Running)
                return false;
            const quint16 port =
                quint16(readFile(profile_ + "/DevToolsActivePort").split('\n').value(0).toUInt());
            return port != 0 && httpGet(port, "/json/list").contains(worker);
        },
        timeoutMs, 200);
    if (!ready)
        error_ =
            "the extension's service worker did not start; see " + profile_ + "/../chromium.log";
    return ready;
}

bool ChromiumBrowser::open(const QString& url) {
    QProcess call;
    return runOn(call, display_, binary(), commonArguments() << url, 30000);
}

void ChromiumBrowser::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    const pid_t session = pid_t(process_.processId());
    ::kill(-session, SIGTERM);
    if (!process_.waitForFinished(15000)) {
        ::kill(-session, SIGKILL);
        process_.waitForFinished(5000);
    }
    // Helpers that outlived the browser (zygotes, renderers, native hosts) are its session's.
    for (const pid_t pid : sessionMembers(session))
        ::kill(pid, SIGKILL);
    pollUntil([&] { return sessionMembers(session).isEmpty(); }, 10000, 50);
}

QList<LoggedRequest> readAccessLog(const QString& file) {
    static const QRegularExpression line(
        R"re("(\S+) (\S+) [^"]*" (\d+) (\d+) "[^"]*" "([^"]*)")re");
    QList<LoggedRequest> requests;
    for (const QByteArray& text : readFile(file).split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromLatin1(text));
        if (m.hasMatch())
            requests.append({m.captured(1), m.captured(2), m.captured(3).toInt(),
                             m.captured(4).toLongLong(), m.captured(5)});
    }
    return requests;
}

} // namespace qbtest
