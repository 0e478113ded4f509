#include "HostLookup.h"

#include "WSocketErrors.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <deque>
#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>

namespace {

// Lookups run on a few shared worker threads: a burst of lookups, or a server
// that makes every lookup hang, cannot pile up threads.
constexpr int kMaxWorkers = 4;

struct Job {
    std::shared_ptr<HostLookup> lookup;
    QByteArray name;
};

// Guards the application's lifetime against worker threads that finish after
// it is gone, the queue of lookups, and the replaceable resolver.
std::mutex g_mutex;
bool g_appGone = false;
bool g_postRoutineAdded = false;
HostLookup::Resolver g_resolver;
std::deque<Job> g_queue;
int g_workers = 0;
std::atomic<int> g_inFlight{0};

void markAppGone() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_appGone = true;
}

void workerLoop() {
    for (;;) {
        Job job;
        HostLookup::Resolver resolver;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            if (g_queue.empty()) {
                --g_workers;
                return;
            }
            job = std::move(g_queue.front());
            g_queue.pop_front();
            resolver = g_resolver;
        }
        if (job.lookup->cancelled()) {
            --g_inFlight; // dropped before it cost a lookup
            continue;
        }
        QString address;
        const int error =
            resolver ? resolver(job.name, address) : HostLookup::systemResolve(job.name, address);
        std::lock_guard<std::mutex> lock(g_mutex);
        QCoreApplication* app = QCoreApplication::instance();
        if (g_appGone || !app) {
            --g_inFlight;
            continue;
        }
        QMetaObject::invokeMethod(
            app,
            [lookup = job.lookup, error, address] {
                --g_inFlight;
                lookup->finish(error, address);
            },
            Qt::QueuedConnection);
    }
}

} // namespace

std::shared_ptr<HostLookup> HostLookup::start(const QString& host, Done done) {
    auto lookup = std::make_shared<HostLookup>(std::move(done));
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_postRoutineAdded) {
        qAddPostRoutine(markAppGone);
        g_postRoutineAdded = true;
    }
    g_queue.push_back({lookup, host.toUtf8()});
    ++g_inFlight;
    if (g_workers < kMaxWorkers) {
        try {
            std::thread(workerLoop).detach();
            ++g_workers;
        } catch (...) {
            if (g_workers == 0) {
                // Nobody would ever run it.
                g_queue.pop_back();
                --g_inFlight;
                throw;
            }
        }
    }
    return lookup;
}

int HostLookup::maxWorkers() {
    return kMaxWorkers;
}

void HostLookup::cancel() {
    cancelled_ = true;
    done_ = nullptr;
}

void HostLookup::finish(int error, const QString& address) {
    if (!done_)
        return;
    Done done = std::move(done_);
    done_ = nullptr;
    done(error, address);
}

bool HostLookup::isNumericAddress(const QString& host, QString* normalized) {
    const QByteArray text = host.toLatin1();
    char out[INET6_ADDRSTRLEN] = {};
    in_addr v4;
    in6_addr v6;
    if (inet_pton(AF_INET, text.constData(), &v4) == 1) {
        if (normalized)
            *normalized = QString::fromLatin1(inet_ntop(AF_INET, &v4, out, sizeof out));
        return true;
    }
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1) {
        if (normalized)
            *normalized = QString::fromLatin1(inet_ntop(AF_INET6, &v6, out, sizeof out));
        return true;
    }
    return false;
}

int HostLookup::systemResolve(const QByteArray& host, QString& address) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    errno = 0;
    const int rc = getaddrinfo(host.constData(), nullptr, &hints, &list);
    if (rc != 0)
        return WSocketErrorFromLookup(rc, errno);
    const addrinfo* chosen = nullptr;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET) {
            chosen = ai;
            break;
        }
        if (!chosen && ai->ai_family == AF_INET6)
            chosen = ai;
    }
    int error = WSANO_DATA;
    if (chosen) {
        char out[INET6_ADDRSTRLEN] = {};
        const void* raw =
            chosen->ai_family == AF_INET
                ? static_cast<const void*>(
                      &reinterpret_cast<const sockaddr_in*>(chosen->ai_addr)->sin_addr)
                : static_cast<const void*>(
                      &reinterpret_cast<const sockaddr_in6*>(chosen->ai_addr)->sin6_addr);
        if (inet_ntop(chosen->ai_family, raw, out, sizeof out)) {
            address = QString::fromLatin1(out);
            error = 0;
        }
    }
    freeaddrinfo(list);
    return error;
}

void HostLookup::setResolver(Resolver resolver) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_resolver = std::move(resolver);
}

int HostLookup::inFlight() {
    return g_inFlight;
}
