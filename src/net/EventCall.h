#pragma once

#include <QObject>
#include <QPointer>
#include <QtGlobal>

#include <exception>

// Calls one of a client's On... events. The handler is copied first, so that it
// may replace itself; an exception it throws is logged, never let through the
// event loop. Returns false when the handler destroyed the client.
template <typename Owner, typename Handler, typename... Args>
bool CallEvent(Owner* owner, const Handler& handler, Args... args) {
    if (!handler)
        return true;
    QPointer<QObject> alive(owner);
    Handler call = handler;
    try {
        call(*owner, args...);
    } catch (const std::exception& e) {
        qWarning("%s: an event handler failed: %s", Owner::staticMetaObject.className(), e.what());
    } catch (...) {
        qWarning("%s: an event handler failed", Owner::staticMetaObject.className());
    }
    return !alive.isNull();
}
