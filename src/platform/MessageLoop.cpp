#include "platform/MessageLoop.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace platform {

void processMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Posted events queued by the handlers just run must not wait for the next pass.
    QCoreApplication::sendPostedEvents();
}

void waitForMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void postAppMessage(int message, qintptr wParam, qintptr lParam, QObject* receiver) {
    QObject* target = receiver ? receiver : QCoreApplication::instance();
    if (target)
        QCoreApplication::postEvent(target, new AppMessageEvent(message, wParam, lParam));
}

} // namespace platform
