#pragma once

#include "platform/RequestFrame.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <sys/types.h>

class QSocketNotifier;

namespace platform {

class RequestConnection;

// Receives the browser helper's requests on the endpoint named by a window title, on the
// user-interface thread: every accepted connection is read without blocking as data
// arrives, each complete request goes to the handler, and the handler's result is sent
// back once it returns, as the result of a synchronous window message. While one request
// of a connection is being handled (its handler may run a nested message loop), that
// connection reads nothing further; other connections are served meanwhile.
//
// Peers of another user are refused at once; a malformed or oversized frame, or a peer that
// does not complete a request within the idle timeout, loses its connection.
class RequestServer : public QObject {
public:
    using Handler = std::function<qint64(const Request&)>;

    explicit RequestServer(Handler handler, QObject* parent = nullptr);
    ~RequestServer() override;
    RequestServer(const RequestServer&) = delete;
    RequestServer& operator=(const RequestServer&) = delete;

    // Leaves the current endpoint, then listens on the one named `title`. False (with
    // errorString()) when the endpoint folder is not private, the socket cannot be made or
    // another running copy of the program listens there (its endpoint is left alone); the
    // server then listens nowhere.
    bool listen(const QString& title);
    // Stops listening; connections already accepted are still answered.
    void close();
    bool isListening() const { return listenFd_ >= 0; }
    // The socket path listened on, empty when not listening.
    QString endpoint() const { return path_; }
    QString errorString() const { return error_; }

    // Time a connection gets to complete its next request, in milliseconds.
    void setIdleTimeout(int ms) { idleTimeoutMs_ = ms; }
    int idleTimeout() const { return idleTimeoutMs_; }
    // The user whose peers are served: the program's own user unless a test says otherwise.
    void setTrustedUser(uid_t user) { trustedUser_ = user; }
    int connectionCount() const { return int(connections_.size()); }

    static constexpr int kDefaultIdleTimeoutMs = 10000;
    static constexpr int kMaxConnections = 32;

private:
    friend class RequestConnection;
    void acceptPending();
    void forget(RequestConnection* connection);
    qint64 handle(const Request& request);

    Handler handler_;
    int listenFd_ = -1;
    int lockFd_ = -1; // held while listening: the endpoint is ours alone
    QSocketNotifier* acceptNotifier_ = nullptr;
    QString path_;
    dev_t boundDevice_ = 0;
    ino_t boundInode_ = 0;
    QString error_;
    int idleTimeoutMs_ = kDefaultIdleTimeoutMs;
    uid_t trustedUser_;
    QList<RequestConnection*> connections_;
};

} // namespace platform
