#include "NginxServer.h"

#include "ScriptedServer.h"
#include "TestEnvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace qbtest {

QString NginxServer::binary() {
    for (const QString& candidate :
         {QStringLiteral("/usr/sbin/nginx"), QStringLiteral("/usr/bin/nginx")}) {
        if (QFile::exists(candidate))
            return candidate;
    }
    return QStandardPaths::findExecutable(QStringLiteral("nginx"));
}

NginxServer::NginxServer(const QString& serverDirectives, const std::optional<NginxTls>& tls) {
    QDir().mkpath(root());
    QDir().mkpath(dir_.path() + QStringLiteral("/logs"));
    QDir().mkpath(dir_.path() + QStringLiteral("/temp"));
    // The port is free when chosen but could be taken before nginx binds it: try again then.
    for (int attempt = 0; attempt < 3 && !running(); ++attempt)
        start(serverDirectives, tls);
}

NginxServer::~NginxServer() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool NginxServer::start(const QString& serverDirectives, const std::optional<NginxTls>& tls) {
    port_ = closedPort();
    tlsPort_ = 0;
    while (tls && (tlsPort_ == 0 || tlsPort_ == port_))
        tlsPort_ = closedPort();
    const QString base = dir_.path();
    QString tlsDirectives;
    if (tls) {
        tlsDirectives = QStringLiteral("listen 127.0.0.1:%HTTPS_PORT% ssl;\n"
                                       "        ssl_certificate %1;\n"
                                       "        ssl_certificate_key %2;\n"
                                       "        ssl_protocols %3;\n")
                            .arg(tls->certificate, tls->key, tls->protocols);
        if (!tls->ciphers.isEmpty())
            tlsDirectives += QStringLiteral("        ssl_ciphers %1;\n").arg(tls->ciphers);
    }
    auto expand = [&](QString text) {
        return text.replace("%HTTP_PORT%", QString::number(port_))
            .replace("%HTTPS_PORT%", QString::number(tlsPort_))
            .replace("%ROOT%", root());
    };
    const QString config = QStringLiteral(R"(daemon off;
master_process off;
worker_processes 1;
pid %1/nginx.pid;
error_log %1/logs/error.log warn;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path %1/temp/body;
    proxy_temp_path %1/temp/proxy;
    fastcgi_temp_path %1/temp/fastcgi;
    uwsgi_temp_path %1/temp/uwsgi;
    scgi_temp_path %1/temp/scgi;
    types { text/html html htm; text/plain txt; }
    default_type application/octet-stream;
    sendfile on;
    server {
        listen 127.0.0.1:%2;
        %5
        root %3;
        %4
    }
    %6
}
)")
                               .arg(base)
                               .arg(port_)
                               .arg(root(), expand(serverDirectives), expand(tlsDirectives),
                                    tls ? expand(tls->extraServers) : QString());
    const QString configFile = base + QStringLiteral("/nginx.conf");
    writeFile(configFile, config.toUtf8());
    process_.setProgram(binary());
    process_.setArguments({QStringLiteral("-p"), base, QStringLiteral("-c"), configFile,
                           QStringLiteral("-e"), base + QStringLiteral("/logs/error.log")});
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start();
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("nginx did not start: ") + process_.errorString();
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        // Only nginx's own sockets count: a port taken before nginx bound it answers too.
        const qint64 pid = process_.processId();
        if (listenedBy(pid, port_) && (!tls || listenedBy(pid, tlsPort_)))
            return true;
        if (process_.waitForFinished(20))
            break;
    }
    error_ =
        QString::fromUtf8(process_.readAll() + readFile(base + QStringLiteral("/logs/error.log")));
    process_.kill();
    process_.waitForFinished(5000);
    return false;
}

QString NginxServer::httpsUrl(const QString& path, const QString& host) const {
    return QStringLiteral("https://%1:%2%3").arg(host).arg(tlsPort_).arg(path);
}

QString NginxServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

} // namespace qbtest
