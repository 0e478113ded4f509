#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

// One name lookup: getaddrinfo() runs on one of a few shared worker threads
// and the result is handed back on the user-interface thread through the
// event loop. A cancelled lookup that has not begun never runs; one already
// running, or one whose owner is gone, finishes on its thread and its result
// is dropped unseen.
class HostLookup {
public:
    // error is a socket error code (0 on success); address is numeric text.
    using Done = std::function<void(int error, const QString& address)>;
    // Turns a host name into the first address found (IPv4 preferred), or
    // returns a socket error code. Runs on the worker thread.
    using Resolver = std::function<int(const QByteArray& host, QString& address)>;

    // Starts a lookup; `done` runs later on the calling (UI) thread unless
    // cancel() came first. Throws std::system_error when no thread can start.
    static std::shared_ptr<HostLookup> start(const QString& host, Done done);

    // UI thread only. After it, `done` is never called.
    void cancel();
    bool cancelled() const { return cancelled_; }
    // Worker threads that run lookups at most at once.
    static int maxWorkers();

    // True for a numeric IPv4 or IPv6 address; `normalized` gets its canonical text.
    static bool isNumericAddress(const QString& host, QString* normalized = nullptr);

    // The system resolver (getaddrinfo).
    static int systemResolve(const QByteArray& host, QString& address);
    // Replaces the resolver used by later lookups (tests delay or fail lookups
    // with it); an empty function restores the system resolver.
    static void setResolver(Resolver resolver);
    // Lookups whose worker has not yet handed its result back (or dropped it).
    static int inFlight();

    explicit HostLookup(Done done) : done_(std::move(done)) {}

    // UI thread: hands the result to `done` unless cancelled (the workers' end).
    void finish(int error, const QString& address);

private:
    Done done_;
    std::atomic<bool> cancelled_{false};
};
