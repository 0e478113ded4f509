#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct ssl_ctx_st;
struct ssl_st;

namespace qbtest {

struct ServerStop;
class ScriptedListener;

// One accepted connection as a server script sees it. Every call waits at most its
// timeout and returns early when the server is destroyed: a script never hangs a test.
class ScriptedConnection {
public:
    // With `tls`, the connection speaks TLS as a server; the handshake runs on first use.
    ScriptedConnection(int fd, int index, std::shared_ptr<ServerStop> stop,
                       std::function<void(const QByteArray&)> record, ssl_ctx_st* tls = nullptr);
    ~ScriptedConnection();
    ScriptedConnection(const ScriptedConnection&) = delete;
    ScriptedConnection& operator=(const ScriptedConnection&) = delete;

    // 0 for the first connection the server accepted, 1 for the next...
    int index() const { return index_; }
    // One line up to LF, without its CR LF; nothing on end of stream or timeout.
    std::optional<QByteArray> readLine(int timeoutMs = 10000);
    // A request header up to and including its empty line, bytes as received
    // (CR LF kept); empty when the stream ends first.
    QByteArray readRequestHeader(int timeoutMs = 10000);
    // Exactly n bytes, or fewer when the stream ends or the time runs out.
    QByteArray readBytes(qint64 n, int timeoutMs = 10000);
    // Reads everything until the peer closes; false on timeout or server stop.
    bool waitForPeerClose(int timeoutMs = 10000);
    // Sends all bytes; false when the peer is gone or the server stops.
    bool send(const QByteArray& bytes);
    // Sends `count` bytes of patternBytes() starting at `offset`, in large pieces.
    bool sendPattern(qint64 offset, qint64 count);
    // Sleeps, returning early (false) when the server stops.
    bool sleep(int ms);
    // With TLS, `notify` false leaves out close_notify: the stream just ends.
    void close(bool notify = true);
    // Closes with a reset (RST) instead of an orderly end of stream (and, with TLS,
    // without close_notify), once what was sent has left.
    void reset();
    // A second listening socket on 127.0.0.1 (an FTP data connection, say).
    std::unique_ptr<ScriptedListener> listen();

private:
    // The next line with its LF, or nothing on end of stream or timeout.
    std::optional<QByteArray> takeLine(const QDeadlineTimer& deadline);
    bool fill(int timeoutMs);
    // Runs the TLS handshake when it has not run yet; false when it fails.
    bool handshake(int timeoutMs);
    // Waits for what the TLS session asked for after `rc`; false on failure or timeout.
    bool waitTls(int rc, int timeoutMs);

    int fd_;
    ssl_st* ssl_ = nullptr;
    bool handshakeDone_ = false;
    int index_;
    std::shared_ptr<ServerStop> stop_;
    std::function<void(const QByteArray&)> record_;
    QByteArray buffer_;
};

// A listening socket on 127.0.0.1 with an ephemeral port.
class ScriptedListener {
public:
    explicit ScriptedListener(std::shared_ptr<ServerStop> stop, int backlog = 8);
    ~ScriptedListener();
    quint16 port() const { return port_; }
    // The next connection's descriptor, or -1 on timeout or server stop.
    int acceptDescriptor(int timeoutMs);

private:
    int fd_ = -1;
    quint16 port_ = 0;
    std::shared_ptr<ServerStop> stop_;
};

// In-process TCP server on 127.0.0.1 that runs the script on each connection in a thread of
// its own (connections may overlap), recording the bytes each one read.
class ScriptedServer {
public:
    using Script = std::function<void(ScriptedConnection&)>;
    // Over TLS when `scheme` is "https" (with the test authority's certificate for
    // 127.0.0.1), plain otherwise: one script for both.
    explicit ScriptedServer(Script script, const QString& scheme = QStringLiteral("http"));
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    quint16 port() const { return listener_->port(); }
    // "<scheme>://127.0.0.1:<port>" + path.
    QString url(const QString& path = QStringLiteral("/")) const;
    int connectionCount() const;
    // What each accepted connection's script read, in order of acceptance.
    QList<QByteArray> received() const;

private:
    void run();

    Script script_;
    ssl_ctx_st* tls_ = nullptr;
    std::shared_ptr<ServerStop> stop_;
    std::unique_ptr<ScriptedListener> listener_;
    mutable std::mutex mutex_;
    QList<QByteArray> received_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A port on 127.0.0.1 where connects stay pending: its listener has a full
// accept queue and never accepts.
class UnansweredPort {
public:
    UnansweredPort();
    ~UnansweredPort();
    quint16 port() const { return port_; }

private:
    int listenFd_ = -1;
    int fillerFd_ = -1;
    quint16 port_ = 0;
};

// A port on 127.0.0.1 (::1 with `ipv6`) where nothing listens (connects are refused).
quint16 closedPort(bool ipv6 = false);

// A connected socket to `port` on 127.0.0.1 (::1 with `ipv6`), from the local address
// `source` (IPv4) when given; -1 when the connect fails.
int connectLoopback(quint16 port, bool ipv6 = false, const char* source = nullptr);

// Whether process `pid` itself listens on TCP `port` (IPv4 or IPv6). A port chosen free may
// be taken by another program before a server binds it, and then it answers for the server.
bool listenedBy(qint64 pid, quint16 port);

// `count` bytes of the endless test pattern servers send as bodies, from `offset` on.
QByteArray patternBytes(qint64 offset, qint64 count);
// `size` pseudo-random bytes, the same for the same seed.
QByteArray randomBytes(qint64 size, quint32 seed);
// The SHA-256 of `bytes` in hex: a short message when two large files differ.
QByteArray sha256(const QByteArray& bytes);

// Lets events run (sleeping between them) until `done` holds or the time runs
// out; returns done(). Wakes up regularly so conditions set by other threads are seen.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

} // namespace qbtest
