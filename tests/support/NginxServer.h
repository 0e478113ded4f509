#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace qbtest {

// A real nginx on 127.0.0.1 with an ephemeral port and a configuration of its
// own in a temporary folder (no daemon, no master process, logs and temp files
// there too). It serves root(); started by the constructor, which waits until
// it answers, and stopped by the destructor.
class NginxServer {
public:
    // `serverDirectives` go into the server block (a rate-limited location, say).
    explicit NginxServer(const QString& serverDirectives = QString());
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool running() const { return process_.state() == QProcess::Running; }
    // Why it did not start (its error log), when it did not.
    QString error() const { return error_; }
    quint16 port() const { return port_; }
    // The folder served as "/", without a trailing "/".
    QString root() const { return dir_.path() + QStringLiteral("/www"); }
    // "http://127.0.0.1:<port>" + path.
    QString url(const QString& path) const;

    // The nginx binary, or an empty string when it is not installed.
    static QString binary();

private:
    bool start(const QString& serverDirectives);

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

} // namespace qbtest
