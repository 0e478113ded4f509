#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>

#include "TestCertificates.h"

namespace qbtest {

// A TLS listener beside the plain one: the certificate and key it presents (PEM files),
// the protocols and ciphers it accepts, and further server blocks for the http block.
struct NginxTls {
    QString certificate;
    QString key;
    QString protocols = QStringLiteral("TLSv1.2 TLSv1.3");
    QString ciphers;
    QString extraServers;
};

// A TLS listener presenting `pair`.
inline NginxTls nginxTls(const CertificatePair& pair) {
    NginxTls tls;
    tls.certificate = pair.certificate;
    tls.key = pair.key;
    return tls;
}

// A real nginx on 127.0.0.1, an ephemeral port, serving root() with its configuration, logs
// and temp files in a temporary folder; runs from the constructor until the destructor.
class NginxServer {
public:
    // `serverDirectives` go into the server block (a rate-limited location, say). With
    // `tls` the same server also listens with TLS on tlsPort(). In the directives and the
    // extra servers, %HTTP_PORT%, %HTTPS_PORT% and %ROOT% stand for the ports and root().
    explicit NginxServer(const QString& serverDirectives = QString(),
                         const std::optional<NginxTls>& tls = std::nullopt);
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool running() const { return process_.state() == QProcess::Running; }
    // Why it did not start (its error log), when it did not.
    QString error() const { return error_; }
    quint16 port() const { return port_; }
    quint16 tlsPort() const { return tlsPort_; }
    // The folder served as "/", without a trailing "/".
    QString root() const { return dir_.path() + QStringLiteral("/www"); }
    // "http://127.0.0.1:<port>" + path.
    QString url(const QString& path) const;
    // "https://<host>:<tlsPort>" + path.
    QString httpsUrl(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const;

    // The nginx binary, or an empty string when it is not installed.
    static QString binary();

private:
    bool start(const QString& serverDirectives, const std::optional<NginxTls>& tls);

    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    quint16 tlsPort_ = 0;
    QString error_;
};

} // namespace qbtest
