#include "app/StartupWindows.h"

#include <QPointer>
#include <QWidget>

#include "app/AppWindows.h"
#include "app/Program.h"
#include "app/TfrmTray.h"
#include "library/LibraryOperations.h"
#include "library/Settings.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "platform/MessageLoop.h"

namespace {

// The long-lived windows live as long as the tray window, the application's main window.
template <typename Window> Window* longLived(Window* window) {
    if (frmTray) {
        QObject::connect(frmTray, &QObject::destroyed,
                         [guard = QPointer<QWidget>(window)] { delete guard.data(); });
    }
    return window;
}

// The manager window's first-run duties: the default library, then the switch that makes
// every later start a normal one. A library that cannot be laid out, or a switch that
// cannot be written, is reported and tried again at the next start; what was made already
// is not made twice. Start-up goes on either way.
void layOutDefaultLibrary() {
    runGuarded([] {
        library::CreateDefaultHeader();
        Settings().writeBool("Main", "FirstRun", false);
    });
}

} // namespace

void createLongLivedWindows(bool firstRun) {
    // The windows are created in their fixed order, each followed by one pass of pending
    // messages, so that a request arriving meanwhile is served with the windows that exist.
    if (firstRun)
        layOutDefaultLibrary();
    platform::processMessages();

    frmCategory = longLived(new TfrmCategory);
    platform::processMessages();
    frmNewSection = longLived(new TfrmNewSection);
    frmCategory->useNewSectionDialog(frmNewSection);
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
