#include "platform/SessionEnd.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// The self-pipe: the signal handler may only write a byte; the notifier on the read end
// brings the end to the user-interface thread.
int g_pipe[2] = {-1, -1};
struct sigaction g_previousAction;
QPointer<QSocketNotifier> g_notifier;

// A Quit that comes from the platform (not from the program's own quit()) is the session
// manager's die message.
class DieFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit &&
            event->spontaneous()) {
            endSession();
            return true;
        }
        return false;
    }
};
QPointer<DieFilter> g_dieFilter;

std::function<void()>& registeredHandler() {
    static std::function<void()> handler;
    return handler;
}

extern "C" void onTerminateSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void drainPipe() {
    char buffer[64];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
}

} // namespace

void onSessionEnd(std::function<void()> handler) {
    registeredHandler() = std::move(handler);
}

void endSession() {
    if (registeredHandler())
        registeredHandler()();
    else
        endProcessNow(0);
}

void endProcessNow(int code) {
    std::fflush(nullptr);
    ::_exit(code);
}

void installSessionEndHandling() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || g_notifier)
        return;
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, app);
    QObject::connect(g_notifier, &QSocketNotifier::activated, app, [] {
        drainPipe();
        endSession();
    });

    struct sigaction action = {};
    action.sa_handler = onTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &g_previousAction);

    g_dieFilter = new DieFilter(app);
    app->installEventFilter(g_dieFilter);
}

void uninstallSessionEndHandling() {
    if (!g_notifier)
        return;
    ::sigaction(SIGTERM, &g_previousAction, nullptr);
    delete g_dieFilter;
    delete g_notifier;
    drainPipe();
}

} // namespace platform
