#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace qbtest {

// A real vsftpd serving a temporary folder read-only to anonymous users on 127.0.0.1 (or ::1),
// from the constructor (which waits for its greeting) until the destructor ends its sessions.
class VsftpdServer {
public:
    // `extraConfig` lines go at the end of its configuration ("anon_max_rate=..." say).
    explicit VsftpdServer(bool ipv6 = false, const QString& extraConfig = QString());
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    // False when the server could not be started; error() says why.
    bool isRunning() const { return port_ != 0; }
    QString error() const { return error_; }
    quint16 port() const { return port_; }
    // The served folder.
    QString root() const;
    // Puts a file (and its folders) into the served folder, readable by the
    // anonymous user; `path` is relative to the root.
    bool addFile(const QString& path, const QByteArray& bytes);
    // "ftp://127.0.0.1:<port>/" + path (or "ftp://[::1]:<port>/" + path).
    QString url(const QString& path) const;

private:
    bool start(quint16 port, quint16 passiveFrom);
    void stop();

    bool ipv6_;
    QString extraConfig_;
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

// A local FTP account (made once by root with useradd) whose login folder is its home; each
// instance adds files under names of its own and removes them, so parallel runs never meet.
class LocalFtpUser {
public:
    LocalFtpUser();
    ~LocalFtpUser();
    LocalFtpUser(const LocalFtpUser&) = delete;
    LocalFtpUser& operator=(const LocalFtpUser&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }
    static QString name();
    static QString password();
    QString home() const { return home_; }
    // `base` made unique to this instance, for a file or folder in the home.
    QString unique(const QString& base) const;
    // Puts a file below the home (`path` relative to it), readable by the user.
    bool addFile(const QString& path, const QByteArray& bytes);
    // Configuration lines for VsftpdServer: local users in, anonymous ones out.
    static QString serverConfig();

private:
    QString home_;
    QString error_;
    QString tag_;
    QStringList created_; // entries of the home this instance made
};

} // namespace qbtest
