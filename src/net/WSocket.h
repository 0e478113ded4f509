#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include "TlsLayer.h"

#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>

class HostLookup;
class QSocketNotifier;
struct sockaddr_storage;

// A socket failure raised to the caller of a socket operation. ErrorCode is the
// socket error code of a failed system call, 0 for a refused argument.
class ESocketException : public std::runtime_error {
public:
    explicit ESocketException(const QString& message, int errorCode = 0)
        : std::runtime_error(message.toStdString()), ErrorCode(errorCode) {}
    QString Message() const { return QString::fromStdString(what()); }
    int ErrorCode;
};

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};

// Event-driven TCP client socket on the user-interface thread. It never blocks:
// name lookups run on a worker thread, connects, reads and writes are started by
// calls and finished by events, which arrive through the Qt event loop
// (QSocketNotifier on a non-blocking POSIX socket).
//
// Events are plain std::function members named On...; each receives the socket
// first. A handler may close, reconnect or destroy the socket; the socket checks
// that it still exists after every event it fires. Exceptions thrown by a handler
// are not allowed to cross the event loop: they are caught and logged.
//
// Errors of calls made by the owner (Connect, Send, DnsLookup) are raised as
// ESocketException, or passed to OnError instead when it is set. Errors found
// while the event loop drives the socket arrive as the error argument of the
// completion event (OnSessionConnected, OnSessionClosed).
class TWSocket : public QObject {
    Q_OBJECT
public:
    explicit TWSocket(QObject* parent = nullptr);
    ~TWSocket() override;
    TWSocket(const TWSocket&) = delete;
    TWSocket& operator=(const TWSocket&) = delete;

    // Host as a numeric address (the result of DnsLookup); only while closed.
    QString Addr() const { return addr_; }
    void SetAddr(const QString& addr);
    // Port number or service name; only while closed.
    QString Port() const { return port_; }
    void SetPort(const QString& port);
    // "tcp"; only while closed.
    QString Proto() const { return proto_; }
    void SetProto(const QString& proto);

    // The first address found by the last lookup, as numeric text.
    QString DnsResult() const { return dnsResult_; }
    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    // Bytes received since the socket was created.
    qint64 ReadCount() const { return readCount_; }
    // Kept for the clients' configuration; every blocking wait sleeps on the
    // event loop whatever its value.
    bool MultiThreaded = false;

    // Address and port of the connected peer and of the local end ("" / 0 when closed).
    QString GetPeerAddr() const;
    quint16 GetPeerPort() const;
    QString GetXAddr() const;
    quint16 GetXPort() const;

    // Starts a name lookup; OnDnsLookupDone(error) reports its end and DnsResult
    // holds the address. A numeric address completes before this returns.
    void DnsLookup(const QString& host);
    // Drops the running lookup: its result, however late, is never delivered.
    void CancelLookup();
    bool LookupPending() const { return lookup_ != nullptr; }

    // TLS for the connections made from now on (only while closed): after the TCP
    // connect the handshake runs, with the certificate checks, and OnSessionConnected
    // reports the end of both. A failed handshake reports WSAETLSFAILED (or the socket
    // error behind it) and LastErrorText() says what failed. Send, Receive, the events
    // and Close work as without TLS. ClearTls() returns to plain connections.
    void SetTls(const TlsOptions& options);
    void ClearTls();
    bool TlsEnabled() const { return tlsEnabled_; }
    // True while the handshake of the current connection runs.
    bool TlsHandshaking() const { return handshaking_; }
    // The negotiated protocol ("TLSv1.3") and cipher of the open TLS session; "" otherwise.
    QString TlsProtocol() const;
    QString TlsCipher() const;
    // The description of LastError: a TLS failure's own reason, else the standard text.
    QString LastErrorText() const;

    // Starts a non-blocking connect to Addr:Port; OnSessionConnected(error) reports its end.
    void Connect();
    // Takes over a connected descriptor (one accepted by a listening socket):
    // the socket owns it from now on (and closes it if it cannot use it) and is
    // wsConnected, without a connect event.
    void Dup(int fd);
    // Queues bytes for sending and writes what the network accepts now; the rest
    // is written as the network accepts it. OnDataSent fires once the queue is empty.
    void Send(const char* data, qint64 len);
    void SendStr(const QByteArray& data) { Send(data.constData(), data.size()); }
    // Bytes queued and not yet handed to the system.
    qint64 BufferedBytes() const { return queued_; }
    // Reads up to len bytes; meant for OnDataAvailable. Returns the count read,
    // 0 when the peer has closed the connection, -1 when nothing is there now
    // (LastError 10035) or on an error (LastError set; the socket closes with
    // that error once the handler returns).
    qint64 Receive(char* buffer, qint64 len);
    // Closes the system socket, state wsClosed, then OnSessionClosed(0) when a
    // socket was open. Unsent queued bytes are dropped.
    void Close();

    // Lets every pending event run once without waiting.
    static void ProcessMessages();

    std::function<void(TWSocket&, int error)> OnDnsLookupDone;
    std::function<void(TWSocket&, int error)> OnSessionConnected;
    std::function<void(TWSocket&, int error)> OnDataAvailable;
    std::function<void(TWSocket&, int error)> OnDataSent;
    std::function<void(TWSocket&, int error)> OnSessionClosed;
    std::function<void(TWSocket&, TSocketState oldState, TSocketState newState)> OnChangeState;
    // Receives the message of an error that would otherwise be raised.
    std::function<void(TWSocket&, const QString& message)> OnError;

private:
    // The local (or, with `peer`, the remote) address of the open socket.
    bool Endpoint(bool peer, sockaddr_storage& address) const;
    void ChangeState(TSocketState newState);
    // Raises `message` as ESocketException, or hands it to OnError when set.
    void RaiseException(const QString& message, int errorCode = 0);
    // Reports a failed system call: LastError := code, close first for 10054
    // and 10057, then raise "Error <code> in function <name>\r\n<text>".
    void SocketError(const QString& function, int code);
    void ReleaseSocket();
    void CloseWithEvent(int error);
    void LookupDone(int error, const QString& address);
    void ReadReady();
    void WriteReady();
    void ConnectDone();
    // Drives the TLS handshake; reports its end through OnSessionConnected.
    void ContinueHandshake();
    // Ends the handshake with the session's failure.
    void HandshakeFailed(const QString& reason);
    // After a read event: runs OnDataAvailable again when the TLS session holds
    // decrypted bytes the socket will never signal.
    void ScheduleTlsRead();
    qint64 ReceiveTls(char* buffer, qint64 len);
    // Writes through TLS; returns the bytes taken, -1 with `error` set on failure.
    qint64 WriteTls(const char* data, qint64 len, int& error);
    // Writes queued data; returns an error code, 0 when all went well.
    int Flush();
    void UpdateWriteNotifier();
    // Calls an event; false when the socket was destroyed by it.
    template <typename Handler, typename... Args> bool Fire(const Handler& handler, Args... args);

    QString addr_;
    QString port_;
    QString proto_ = QStringLiteral("tcp");
    QString dnsResult_;
    TSocketState state_ = wsClosed;
    int lastError_ = 0;
    qint64 readCount_ = 0;
    int fd_ = -1;
    // Counts system sockets, so that code resumed after a handler can tell
    // whether the socket it worked on was replaced meanwhile.
    quint64 session_ = 0;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    std::shared_ptr<HostLookup> lookup_;
    // Outgoing buffers; the first one is written from headOffset_ on.
    std::deque<QByteArray> queue_;
    qint64 headOffset_ = 0;
    qint64 queued_ = 0;
    bool dataSentDue_ = false;
    // Set by Receive while OnDataAvailable runs.
    bool peerClosed_ = false;
    int readError_ = 0;
    bool receiveCalled_ = false;
    bool inReadHandler_ = false;

    bool tlsEnabled_ = false;
    TlsOptions tlsOptions_;
    std::unique_ptr<TlsLayer> tls_;
    bool handshaking_ = false;
    bool handshakeWantsWrite_ = false;
    // The session must see the socket writable before it can read on, or readable
    // before it can write on.
    bool readWantsWrite_ = false;
    bool writeWantsRead_ = false;
    // The session reported its end (close_notify or an error): later reads see it.
    bool tlsEnded_ = false;
    int tlsEndError_ = 0;
    bool tlsReadPosted_ = false;
    QString tlsFailure_;
};
