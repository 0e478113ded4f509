#include "VsftpdServer.h"

#include "ScriptedServer.h"

#include "TestEnvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qbtest {

namespace {

const char* const kVsftpd = "/usr/sbin/vsftpd";
const QFile::Permissions kPublicDir = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther;
const QFile::Permissions kPublicFile =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

// vsftpd changes into this user's home before it enters the served folder,
// so the user must have a home that exists ("nobody" has none).
QByteArray anonymousUser() {
    for (const char* name : {"ftp", "nobody", "daemon", "www-data"}) {
        const passwd* user = getpwnam(name);
        if (user && user->pw_dir && QFileInfo(QString::fromLocal8Bit(user->pw_dir)).isDir())
            return name;
    }
    return "ftp";
}

// Writes `base`/`path`, making its folders, all readable by every user.
bool addPublicFile(const QString& base, const QString& path, const QByteArray& bytes) {
    const QString full = base + QLatin1Char('/') + path;
    QDir folder = QFileInfo(full).dir();
    if (!folder.exists() && !QDir().mkpath(folder.path()))
        return false;
    for (; folder.path().startsWith(base) && folder.path() != base; folder.cdUp())
        QFile::setPermissions(folder.path(), kPublicDir);
    return writeFile(full, bytes) && QFile::setPermissions(full, kPublicFile);
}

// True when a server on `port` answers a connection with a 220 greeting.
bool greets(bool ipv6, quint16 port) {
    const int fd = connectLoopback(port, ipv6);
    if (fd < 0)
        return false;
    const timeval limit = {2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char reply[512] = {};
    const bool ok =
        ::recv(fd, reply, sizeof reply - 1, 0) > 3 && QByteArray(reply).startsWith("220");
    ::close(fd);
    return ok;
}

} // namespace

VsftpdServer::VsftpdServer(bool ipv6, const QString& extraConfig)
    : ipv6_(ipv6), extraConfig_(extraConfig) {
    if (!QFileInfo(QString::fromLatin1(kVsftpd)).isExecutable()) {
        error_ = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(kVsftpd));
        return;
    }
    const QDir dir(dir_.path());
    if (!dir_.isValid() || !dir.mkpath(QStringLiteral("root")) ||
        !dir.mkpath(QStringLiteral("empty"))) {
        error_ = QStringLiteral("cannot create the server's folders");
        return;
    }
    QFile::setPermissions(root(), kPublicDir);
    QFile::setPermissions(dir.filePath(QStringLiteral("empty")), kPublicDir);
    // A port that was free a moment ago may be taken by the time vsftpd binds it: try again.
    for (int attempt = 0; attempt < 5 && !isRunning(); ++attempt) {
        const quint16 passiveFrom = quint16(20000 + QRandomGenerator::global()->bounded(100) * 100);
        start(closedPort(ipv6_), passiveFrom);
    }
}

VsftpdServer::~VsftpdServer() {
    stop();
}

QString VsftpdServer::root() const {
    return dir_.filePath(QStringLiteral("root"));
}

QString VsftpdServer::url(const QString& path) const {
    return QStringLiteral("ftp://%1:%2/%3")
        .arg(ipv6_ ? QStringLiteral("[::1]") : QStringLiteral("127.0.0.1"))
        .arg(port_)
        .arg(path);
}

bool VsftpdServer::addFile(const QString& path, const QByteArray& bytes) {
    return addPublicFile(root(), path, bytes);
}

bool VsftpdServer::start(quint16 port, quint16 passiveFrom) {
    const QString config = dir_.filePath(QStringLiteral("vsftpd.conf"));
    const QString listen =
        ipv6_ ? QStringLiteral("listen=NO\nlisten_ipv6=YES\nlisten_address6=::1\n")
              : QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n");
    const QByteArray text =
        (listen + QStringLiteral("listen_port=%1\n"
                                 "anonymous_enable=YES\n"
                                 "anon_root=%2\n"
                                 "local_enable=NO\n"
                                 "write_enable=NO\n"
                                 "pasv_enable=YES\n"
                                 "pasv_min_port=%3\n"
                                 "pasv_max_port=%4\n"
                                 "port_enable=YES\n"
                                 "connect_from_port_20=NO\n"
                                 "background=NO\n"
                                 "seccomp_sandbox=NO\n"
                                 "isolate=NO\n"
                                 "isolate_network=NO\n"
                                 "secure_chroot_dir=%5\n"
                                 "ftp_username=%6\n"
                                 "xferlog_enable=NO\n"
                                 "dirmessage_enable=NO\n"
                                 "idle_session_timeout=120\n"
                                 "data_connection_timeout=120\n"))
            .arg(port)
            .arg(root())
            .arg(passiveFrom)
            .arg(passiveFrom + 99)
            .arg(dir_.filePath(QStringLiteral("empty")), QString::fromLatin1(anonymousUser()))
            .toLocal8Bit() +
        (extraConfig_.isEmpty() ? QByteArray() : extraConfig_.toLocal8Bit() + '\n');
    if (!writeFile(config, text)) {
        error_ = QStringLiteral("cannot write %1").arg(config);
        return false;
    }

    process_.setProgram(QString::fromLatin1(kVsftpd));
    process_.setArguments({config});
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setProcessChannelMode(QProcess::MergedChannels);
    // A session of its own, so that stopping it reaches the sessions it forks.
    process_.setChildProcessModifier([] { ::setsid(); });
    process_.start();
    if (!process_.waitForStarted(10000)) {
        error_ = QStringLiteral("cannot start vsftpd: ") + process_.errorString();
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (process_.waitForFinished(50)) {
            error_ = QStringLiteral("vsftpd ended at once: %1")
                         .arg(QString::fromLocal8Bit(process_.readAll()).trimmed());
            return false;
        }
        // Another server that took the port first would greet as well.
        if (greets(ipv6_, port) && listenedBy(process_.processId(), port)) {
            port_ = port;
            return true;
        }
    }
    stop();
    error_ = QStringLiteral("vsftpd did not greet within 10 seconds");
    return false;
}

void VsftpdServer::stop() {
    if (process_.state() == QProcess::NotRunning)
        return;
    const pid_t group = pid_t(process_.processId());
    ::kill(-group, SIGTERM);
    if (!process_.waitForFinished(3000)) {
        ::kill(-group, SIGKILL);
        process_.waitForFinished(5000);
    }
}

namespace {

// Runs a system command; its complaint when it fails, nothing when it succeeds.
QString runCommand(const QString& program, const QStringList& args,
                   const QByteArray& input = QByteArray()) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return QStringLiteral("%1 cannot be started").arg(program);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QStringLiteral("%1 %2 failed: %3")
            .arg(program, args.join(' '),
                 QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
    return {};
}

} // namespace

QString LocalFtpUser::name() {
    return QStringLiteral("qbftptest");
}

// The account has no shell (nologin) and is only reachable through the FTP servers the
// tests start on loopback.
QString LocalFtpUser::password() {
    return QStringLiteral("qb-ftp-test-7c41");
}

QString LocalFtpUser::serverConfig() {
    // PAM's "other" service checks the password without vsftpd's own shell rule.
    return QStringLiteral("anonymous_enable=NO\nlocal_enable=YES\nchroot_local_user=NO\n"
                          "pam_service_name=other");
}

LocalFtpUser::LocalFtpUser()
    : tag_(QStringLiteral("qb-%1-%2")
               .arg(::getpid())
               .arg(QRandomGenerator::global()->bounded(1000000))) {
    if (::geteuid() != 0) {
        error_ = QStringLiteral("only root can make the local FTP user");
        return;
    }
    const QByteArray user = name().toLocal8Bit();
    if (!getpwnam(user.constData())) {
        const QString failed = runCommand(
            QStringLiteral("useradd"),
            {QStringLiteral("--system"), QStringLiteral("--create-home"),
             QStringLiteral("--home-dir"), QStringLiteral("/var/lib/") + name(),
             QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
             QStringLiteral("--comment"), QStringLiteral("Quillbay FTP test user"), name()});
        // Another run may have made it in the meantime.
        if (!failed.isEmpty() && !getpwnam(user.constData())) {
            error_ = failed;
            return;
        }
    }
    const passwd* account = getpwnam(user.constData());
    if (!account || !account->pw_dir) {
        error_ = QStringLiteral("the user %1 has no home").arg(name());
        return;
    }
    home_ = QString::fromLocal8Bit(account->pw_dir);
    const uid_t uid = account->pw_uid;
    const gid_t gid = account->pw_gid;
    if (!QDir().mkpath(home_) || ::chown(QFile::encodeName(home_).constData(), uid, gid) != 0) {
        error_ = QStringLiteral("cannot make the home %1").arg(home_);
        return;
    }
    QFile::setPermissions(home_, kPublicDir);
    // The same password every time: runs side by side agree on it.
    error_ = runCommand(QStringLiteral("chpasswd"), {},
                        (name() + ':' + password() + '\n').toLocal8Bit());
}

LocalFtpUser::~LocalFtpUser() {
    for (const QString& entry : std::as_const(created_)) {
        const QString path = home_ + QLatin1Char('/') + entry;
        if (QFileInfo(path).isDir())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}

QString LocalFtpUser::unique(const QString& base) const {
    return tag_ + QLatin1Char('-') + base;
}

bool LocalFtpUser::addFile(const QString& path, const QByteArray& bytes) {
    const QString first = path.section(QLatin1Char('/'), 0, 0);
    if (!created_.contains(first))
        created_ << first;
    return addPublicFile(home_, path, bytes);
}

} // namespace qbtest
