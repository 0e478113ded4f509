#include "platform/MessageLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace platform {

void processMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Posted events queued by the handlers just run must not wait for the next pass.
    QCoreApplication::sendPostedEvents();
}

void waitForMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

namespace {
bool gEnding = false;
}

void requestProgramEnd(bool ending) {
    gEnding = ending;
}

bool programEnding() {
    return gEnding || QCoreApplication::closingDown();
}

WaitResult waitUntil(const QObject* guard, const std::function<bool()>& done, int timeoutMs) {
    const QPointer<const QObject> alive(guard);
    const QDeadlineTimer deadline(timeoutMs < 0 ? qint64(-1) : qint64(timeoutMs), Qt::PreciseTimer);
    // Only a deadline needs a wake-up of its own; everything else arrives as an event.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (guard && !alive)
            return WaitResult::Destroyed;
        if (done())
            return WaitResult::Done;
        if (programEnding())
            return WaitResult::Ending;
        if (deadline.hasExpired())
            return WaitResult::TimedOut;
        // A timer may fire a little before the deadline's own clock says it passed:
        // re-arm it for what is left, or the wait would sleep until some unrelated event.
        if (timeoutMs >= 0 && !wake.isActive())
            wake.start(int(qMax<qint64>(1, deadline.remainingTime())));
        waitForMessages();
    }
}

void postAppMessage(int message, qintptr wParam, qintptr lParam, QObject* receiver) {
    QObject* target = receiver ? receiver : QCoreApplication::instance();
    if (target)
        QCoreApplication::postEvent(target, new AppMessageEvent(message, wParam, lParam));
}

} // namespace platform
