#pragma once

#include <QString>

#include <functional>

#include <sys/socket.h>

class QSocketNotifier;

// The listening end of an active-mode data connection. It waits, without
// blocking, for the server to connect and hands over the first connection
// that comes from the server's address; connections from anywhere else are
// closed at once, so no third party can slip its own data into a download.
class FtpDataListener {
public:
    // Receives the accepted descriptor, which the callee then owns.
    using Accepted = std::function<void(int fd)>;

    FtpDataListener() = default;
    ~FtpDataListener();
    FtpDataListener(const FtpDataListener&) = delete;
    FtpDataListener& operator=(const FtpDataListener&) = delete;

    // Listens on a free port of `localAddress` (numeric) for a connection from
    // `peerAddress`; false with errorString() set.
    bool listen(const QString& localAddress, const QString& peerAddress, Accepted accepted);
    quint16 port() const { return port_; }
    QString errorString() const { return error_; }
    // Takes a connection that is already waiting, without waiting for the
    // readiness event: a reply on the control connection can overtake that
    // event, while the server's connection is already queued. False when none was waiting.
    bool acceptWaiting();

private:
    // True when a connection was handed over; the listener may be gone by then.
    bool acceptReady();
    void stop();

    int fd_ = -1;
    quint16 port_ = 0;
    sockaddr_storage peer_{};
    Accepted accepted_;
    QSocketNotifier* notifier_ = nullptr;
    QString error_;
};
