#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

struct ssl_st;
struct x509_store_ctx_st;

// What a TLS connection checks and whom it trusts.
struct TlsOptions {
    // The server as the URL names it: sent as SNI (names only, never addresses) and
    // checked against the certificate (names and IP addresses alike).
    QString host;
    // A PEM file of certificate authorities trusted instead of the system's store. Empty:
    // the system store, where SSL_CERT_FILE and SSL_CERT_DIR are honoured.
    QString caFile;
};

// Socket error code of a TLS failure; TlsLayer::failure() says what failed.
constexpr int WSAETLSFAILED = 12100;

// One client TLS session on a connected non-blocking socket, with OpenSSL. It never
// waits: each call either gets through or says what the socket must become (readable,
// writable) before the same call is tried again. Certificate checks are always on:
// the chain against the trusted authorities, the host name or address, TLS 1.2 at least.
class TlsLayer {
public:
    enum class Result { Done, WantRead, WantWrite, Closed, Failed };

    // A session for `fd` (not owned); null with `failure` set when none can be made
    // (an unreadable CA file, say).
    static std::unique_ptr<TlsLayer> create(int fd, const TlsOptions& options, QString& failure);
    ~TlsLayer();
    TlsLayer(const TlsLayer&) = delete;
    TlsLayer& operator=(const TlsLayer&) = delete;

    Result handshake();
    // Up to len decrypted bytes; `got` is what arrived (only with Done).
    Result read(char* buffer, qint64 len, qint64& got);
    // Encrypts and sends what the socket takes now; `put` counts the bytes taken (only
    // with Done). After a Want result the same bytes must be offered again.
    Result write(const char* data, qint64 len, qint64& put);
    // Decrypted or undecrypted bytes waiting inside the session: the socket may never
    // become readable for them again.
    bool hasPending() const;
    // Sends close_notify if the socket takes it now; never waits.
    void shutdown();

    // Why the last call Failed, naming the host ("Certificate check failed for ...").
    QString failure() const { return failure_; }
    // The socket error code behind the failure when the system refused a read or write
    // (a reset, say); WSAETLSFAILED otherwise.
    int failureCode() const { return failureCode_; }
    // "TLSv1.3" and "TLS_AES_256_GCM_SHA384" once the handshake is done.
    QString protocol() const;
    QString cipher() const;

private:
    TlsLayer(ssl_st* ssl, const QString& host);
    Result result(int rc, bool handshaking);
    QString describeVerifyFailure(long code) const;
    QString describeError(unsigned long error, int savedErrno, bool handshaking);
    static int verifyCallback(int ok, x509_store_ctx_st* store);

    ssl_st* ssl_;
    QString host_;
    bool handshakeDone_ = false;
    bool fatal_ = false;
    QString failure_;
    int failureCode_ = WSAETLSFAILED;
    // The first certificate the chain check refused, as the verify callback saw it.
    long verifyError_ = 0;
    QString refusedSubject_;
    QString refusedIssuer_;
    QString refusedNames_;
    QString refusedNotBefore_;
    QString refusedNotAfter_;
};
