#include "TlsLayer.h"

#include "HostLookup.h"
#include "WSocketErrors.h"

#include <QFile>
#include <QStringList>
#include <QUrl>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstdint>
#include <sys/socket.h>

namespace {

// The socket under the session. OpenSSL's own socket BIO writes with write(), which
// raises SIGPIPE on a connection the server has closed; this one sends with MSG_NOSIGNAL.
int fdOf(BIO* bio) {
    return int(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

int socketWrite(BIO* bio, const char* data, int len) {
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::send(fdOf(bio), data, size_t(len), MSG_NOSIGNAL);
        if (n >= 0)
            return int(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            BIO_set_retry_write(bio);
        return -1;
    }
}

int socketRead(BIO* bio, char* out, int len) {
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t n = ::recv(fdOf(bio), out, size_t(len), 0);
        if (n >= 0)
            return int(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            BIO_set_retry_read(bio);
        return -1;
    }
}

long socketCtrl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* socketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "qb-socket");
        BIO_meth_set_write(m, socketWrite);
        BIO_meth_set_read(m, socketRead);
        BIO_meth_set_ctrl(m, socketCtrl);
        return m;
    }();
    return method;
}

QString lastErrorText() {
    const unsigned long error = ERR_peek_last_error();
    const char* reason = error ? ERR_reason_error_string(error) : nullptr;
    return reason ? QString::fromLatin1(reason) : QStringLiteral("unknown error");
}

// One client context per trust setting: loading the system store costs milliseconds, a
// handshake should not. A changed SSL_CERT_FILE or SSL_CERT_DIR makes a new one.
SSL_CTX* clientContext(const QString& caFile, QString& failure) {
    static QByteArray cachedKey;
    static SSL_CTX* cached = nullptr;
    const QByteArray key =
        caFile.toUtf8() + '\n' + qgetenv("SSL_CERT_FILE") + '\n' + qgetenv("SSL_CERT_DIR");
    if (cached && key == cachedKey)
        return cached;
    ERR_clear_error();
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        failure = QStringLiteral("TLS cannot start: %1").arg(lastErrorText());
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    // Unsent data stays in the socket's queue, which may move: the session must accept
    // the same bytes at another address, and report the part it took.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    const int loaded = caFile.isEmpty()
                           ? SSL_CTX_set_default_verify_paths(context)
                           : SSL_CTX_load_verify_locations(
                                 context, QFile::encodeName(caFile).constData(), nullptr);
    if (loaded != 1) {
        failure = QStringLiteral("cannot read the certificate authorities in %1: %2")
                      .arg(caFile, lastErrorText());
        SSL_CTX_free(context);
        ERR_clear_error();
        return nullptr;
    }
    // Sessions hold their own reference: the old context lives as long as they do.
    if (cached)
        SSL_CTX_free(cached);
    cached = context;
    cachedKey = key;
    return context;
}

QString nameText(X509_NAME* name) {
    if (!name)
        return {};
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long len = BIO_get_mem_data(out, &data);
    const QString text = QString::fromUtf8(data, int(len));
    BIO_free(out);
    return text;
}

QString timeText(const ASN1_TIME* time) {
    if (!time)
        return {};
    BIO* out = BIO_new(BIO_s_mem());
    ASN1_TIME_print(out, time);
    char* data = nullptr;
    const long len = BIO_get_mem_data(out, &data);
    const QString text = QString::fromLatin1(data, int(len));
    BIO_free(out);
    return text;
}

// The DNS names and addresses a certificate is for; its common name when it lists none.
QString certificateNames(X509* cert) {
    QStringList names;
    auto* general =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; general && i < sk_GENERAL_NAME_num(general); ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(general, i);
        if (entry->type == GEN_DNS) {
            const ASN1_IA5STRING* dns = entry->d.dNSName;
            names << QString::fromLatin1(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                                         ASN1_STRING_length(dns));
        } else if (entry->type == GEN_IPADD) {
            const ASN1_OCTET_STRING* ip = entry->d.iPAddress;
            char* text = OPENSSL_buf2hexstr(ASN1_STRING_get0_data(ip), ASN1_STRING_length(ip));
            if (ASN1_STRING_length(ip) == 4) {
                const unsigned char* b = ASN1_STRING_get0_data(ip);
                names << QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
            } else if (text) {
                names << QString::fromLatin1(text);
            }
            OPENSSL_free(text);
        }
    }
    GENERAL_NAMES_free(general);
    if (names.isEmpty()) {
        char common[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, common,
                                      sizeof common) > 0)
            names << QString::fromUtf8(common);
    }
    return names.join(QStringLiteral(", "));
}

} // namespace

TlsLayer::TlsLayer(ssl_st* ssl, const QString& host) : ssl_(ssl), host_(host) {}

TlsLayer::~TlsLayer() {
    SSL_free(ssl_);
}

std::unique_ptr<TlsLayer> TlsLayer::create(int fd, const TlsOptions& options, QString& failure) {
    QString host = options.host;
    if (host.endsWith('.'))
        host.chop(1);
    if (host.isEmpty()) {
        failure = QStringLiteral("TLS needs the server's name to check its certificate");
        return nullptr;
    }
    SSL_CTX* context = clientContext(options.caFile, failure);
    if (!context)
        return nullptr;
    ERR_clear_error();
    SSL* ssl = SSL_new(context);
    BIO* bio = ssl ? BIO_new(socketMethod()) : nullptr;
    if (!bio) {
        failure = QStringLiteral("TLS cannot start: %1").arg(lastErrorText());
        SSL_free(ssl);
        return nullptr;
    }
    BIO_set_data(bio, reinterpret_cast<void*>(intptr_t(fd)));
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl, bio, bio);

    QString address;
    const bool isAddress = HostLookup::isNumericAddress(host, &address);
    bool named;
    if (isAddress) {
        // Addresses are checked against the certificate's IP entries and never sent as SNI.
        named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), address.toLatin1().constData());
    } else {
        const QByteArray ace = QUrl::toAce(host.toLower());
        SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        named = !ace.isEmpty() && SSL_set_tlsext_host_name(ssl, ace.constData()) == 1 &&
                SSL_set1_host(ssl, ace.constData()) == 1;
    }
    if (!named) {
        failure = QStringLiteral("TLS cannot check the certificate for \"%1\"").arg(host);
        SSL_free(ssl);
        ERR_clear_error();
        return nullptr;
    }
    SSL_set_connect_state(ssl);
    std::unique_ptr<TlsLayer> layer(new TlsLayer(ssl, host));
    SSL_set_app_data(ssl, layer.get());
    SSL_set_verify(ssl, SSL_VERIFY_PEER, verifyCallback);
    return layer;
}

int TlsLayer::verifyCallback(int ok, x509_store_ctx_st* store) {
    if (ok)
        return ok;
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = ssl ? static_cast<TlsLayer*>(SSL_get_app_data(ssl)) : nullptr;
    if (!self || self->verifyError_ != 0)
        return ok;
    self->verifyError_ = X509_STORE_CTX_get_error(store);
    if (X509* cert = X509_STORE_CTX_get_current_cert(store)) {
        self->refusedSubject_ = nameText(X509_get_subject_name(cert));
        self->refusedIssuer_ = nameText(X509_get_issuer_name(cert));
        self->refusedNames_ = certificateNames(cert);
        self->refusedNotBefore_ = timeText(X509_get0_notBefore(cert));
        self->refusedNotAfter_ = timeText(X509_get0_notAfter(cert));
    }
    return ok;
}

TlsLayer::Result TlsLayer::handshake() {
    ERR_clear_error();
    const int rc = SSL_connect(ssl_);
    if (rc == 1) {
        handshakeDone_ = true;
        return Result::Done;
    }
    return result(rc, true);
}

TlsLayer::Result TlsLayer::read(char* buffer, qint64 len, qint64& got) {
    got = 0;
    ERR_clear_error();
    size_t n = 0;
    const int rc = SSL_read_ex(ssl_, buffer, size_t(qMin<qint64>(len, INT32_MAX)), &n);
    if (rc == 1) {
        got = qint64(n);
        return Result::Done;
    }
    return result(rc, false);
}

TlsLayer::Result TlsLayer::write(const char* data, qint64 len, qint64& put) {
    put = 0;
    ERR_clear_error();
    size_t n = 0;
    const int rc = SSL_write_ex(ssl_, data, size_t(qMin<qint64>(len, INT32_MAX)), &n);
    if (rc == 1) {
        put = qint64(n);
        return Result::Done;
    }
    return result(rc, false);
}

TlsLayer::Result TlsLayer::result(int rc, bool handshaking) {
    const int savedErrno = errno;
    const int code = SSL_get_error(ssl_, rc);
    if (code == SSL_ERROR_WANT_READ)
        return Result::WantRead;
    if (code == SSL_ERROR_WANT_WRITE)
        return Result::WantWrite;
    if (code == SSL_ERROR_ZERO_RETURN)
        return Result::Closed;
    fatal_ = true;
    failureCode_ = WSAETLSFAILED;
    const long verify = SSL_get_verify_result(ssl_);
    if (handshaking && verify != X509_V_OK) {
        failure_ = QStringLiteral("Certificate check failed for %1: %2")
                       .arg(host_, describeVerifyFailure(verify));
    } else {
        const unsigned long error = code == SSL_ERROR_SSL ? ERR_peek_error() : 0;
        failure_ = QStringLiteral("%1 %2 failed: %3")
                       .arg(handshaking ? QStringLiteral("TLS handshake with")
                                        : QStringLiteral("TLS connection with"),
                            host_, describeError(error, savedErrno, handshaking));
    }
    ERR_clear_error();
    return Result::Failed;
}

QString TlsLayer::describeVerifyFailure(long code) const {
    const long error = verifyError_ ? verifyError_ : code;
    switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return QStringLiteral("the certificate has expired (valid until %1)").arg(refusedNotAfter_);
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return QStringLiteral("the certificate is not valid yet (valid from %1)")
            .arg(refusedNotBefore_);
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return QStringLiteral("the certificate is self-signed (%1) and not trusted")
            .arg(refusedSubject_);
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return QStringLiteral("the certificate's issuer is unknown: the chain ends in %1, which "
                              "is not a trusted certificate authority")
            .arg(refusedSubject_);
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return QStringLiteral(
                   "the certificate's issuer is unknown: %1 is not a trusted certificate authority")
            .arg(refusedIssuer_);
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return QStringLiteral("the certificate's name does not match: it is for %1")
            .arg(refusedNames_.isEmpty() ? QStringLiteral("no name") : refusedNames_);
    default:
        return QString::fromLatin1(X509_verify_cert_error_string(error));
    }
}

QString TlsLayer::describeError(unsigned long error, int savedErrno, bool handshaking) {
    const int reason = error ? ERR_GET_REASON(error) : 0;
    const bool endOfStream =
        (error == 0 && savedErrno == 0) ||
        (ERR_GET_LIB(error) == ERR_LIB_SSL && reason == SSL_R_UNEXPECTED_EOF_WHILE_READING);
    if (endOfStream)
        return handshaking ? QStringLiteral("the server closed the connection")
                           : QStringLiteral("the server ended the connection without closing "
                                            "TLS; the data may be incomplete");
    if (error == 0) {
        failureCode_ = WSocketErrorFromErrno(savedErrno);
        return WSocketErrorDesc(failureCode_);
    }
    if (ERR_GET_LIB(error) == ERR_LIB_SSL) {
        switch (reason) {
        case SSL_R_UNSUPPORTED_PROTOCOL:
        case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
        case SSL_R_NO_PROTOCOLS_AVAILABLE:
        case SSL_R_VERSION_TOO_LOW:
            return QStringLiteral("the server does not offer TLS 1.2 or newer");
        case SSL_R_WRONG_VERSION_NUMBER:
        case SSL_R_PACKET_LENGTH_TOO_LONG:
        case SSL_R_HTTP_REQUEST:
            return QStringLiteral("the server does not answer in TLS");
        default:
            break;
        }
    }
    const char* text = ERR_reason_error_string(error);
    return text ? QString::fromLatin1(text) : QStringLiteral("error %1").arg(error);
}

bool TlsLayer::hasPending() const {
    // Only decrypted bytes: a partial record also counts as "unprocessed" for
    // SSL_has_pending(), and waiting on it would spin until the rest arrives.
    return SSL_pending(ssl_) > 0;
}

void TlsLayer::shutdown() {
    if (fatal_ || !handshakeDone_)
        return;
    ERR_clear_error();
    SSL_shutdown(ssl_);
    ERR_clear_error();
}

QString TlsLayer::protocol() const {
    return handshakeDone_ ? QString::fromLatin1(SSL_get_version(ssl_)) : QString();
}

QString TlsLayer::cipher() const {
    const SSL_CIPHER* current = handshakeDone_ ? SSL_get_current_cipher(ssl_) : nullptr;
    return current ? QString::fromLatin1(SSL_CIPHER_get_name(current)) : QString();
}
