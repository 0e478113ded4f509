#pragma once

#include <QEvent>

#include <functional>

class QObject;

namespace platform {

// The program's private window messages, delivered as custom events with these numbers.
enum AppMessage : int {
    UM_HIGHLIGHT = 3024,
    UM_GRAY = 3025,
    UM_MOVEFOLDER = 3026,
    UM_SELECTNEWFOLDER = 3027,
    UM_FITBUTTONS = 3028,
    UM_ENDBUTTONDRAG = 3029,
};

// A posted private message with its two parameters.
class AppMessageEvent : public QEvent {
public:
    AppMessageEvent(int message, qintptr wParam = 0, qintptr lParam = 0)
        : QEvent(static_cast<QEvent::Type>(message)), wParam(wParam), lParam(lParam) {}
    qintptr wParam;
    qintptr lParam;
};

// Lets every pending event run once, without waiting.
void processMessages();

// Sleeps until at least one event arrives, then runs the pending ones. Blocking
// calls loop on this instead of spinning a core.
void waitForMessages();

// Why a nested wait ended.
enum class WaitResult {
    Done,      // the condition holds
    Destroyed, // the guarding object was destroyed by a handler that ran during the wait
    Ending,    // the program is ending: the caller must give up its work at once
    TimedOut,  // the deadline passed first
};

// The one nested wait of the program: lets events run, sleeping between them, until
// `done` holds. `guard` (may be null) is checked before `done` is asked, so `done` may
// read the guard's members. A negative `timeoutMs` waits without a deadline.
WaitResult waitUntil(const QObject* guard, const std::function<bool()>& done, int timeoutMs = -1);

// Marks the program as ending: every nested wait returns Ending at its next turn.
// Tests withdraw the mark with `false`.
void requestProgramEnd(bool ending = true);
bool programEnding();

// Posts a private message to the application object (or to `receiver`), so that
// its handling runs after the current input event.
void postAppMessage(int message, qintptr wParam = 0, qintptr lParam = 0,
                    QObject* receiver = nullptr);

} // namespace platform
