#pragma once

#include <QEvent>

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

// Posts a private message to the application object (or to `receiver`), so that
// its handling runs after the current input event.
void postAppMessage(int message, qintptr wParam = 0, qintptr lParam = 0,
                    QObject* receiver = nullptr);

} // namespace platform
