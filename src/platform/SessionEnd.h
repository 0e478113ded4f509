#pragma once

#include <functional>

namespace platform {

// The end of the desktop session reaches the program two ways: the session manager's die
// message (which the platform delivers as a spontaneous Quit event to the application)
// and SIGTERM (logout, shutdown, kill). Both run the one registered handler on the
// user-interface thread. The handler agrees to the end and ends the program at once
// (endProcessNow), writing nothing. The session manager's save-yourself request
// (commitDataRequest) is not an end: it also comes for checkpoints, and the program keeps
// nothing unsaved, so it is left unanswered, which agrees to it.

// Registers the handler, replacing the previous one. Without a handler (or with an empty
// one), a session end ends the process at once.
void onSessionEnd(std::function<void()> handler);

// Connects both ways to the handler. Call once the application object exists, on the
// user-interface thread; calling it again does nothing.
void installSessionEndHandling();

// Restores SIGTERM's default action and disconnects the session manager (tests).
void uninstallSessionEndHandling();

// Runs the handler as a session end would (the tray window's query path, tests).
void endSession();

// Ends the process now with `code`: no destructors, no handlers, nothing written.
[[noreturn]] void endProcessNow(int code = 0);

} // namespace platform
