#include "app/StartupWindows.h"

#include <QWidget>

#include "app/Settings.h"
#include "library/LibraryOperations.h"
#include "platform/MessageLoop.h"

void createLongLivedWindows(bool firstRun) {
    // The windows are created in their fixed order, each followed by one pass of pending
    // messages, so that a request arriving meanwhile is served with the windows that exist.
    if (firstRun) {
        // The manager window's first-run duties: the default library, then the switch that
        // makes every later start a normal one.
        library::CreateDefaultHeader();
        Settings().writeBool("Main", "FirstRun", false);
    }
    platform::processMessages();
}

QWidget* managerWindow() {
    return nullptr;
}

void openManagerWindow() {
    QWidget* manager = managerWindow();
    if (!manager)
        return;
    manager->show();
    manager->raise();
    manager->activateWindow();
}
