#include "app/StartupWindows.h"

#include <QPointer>
#include <QWidget>

#include "app/AppWindows.h"
#include "app/HandOffOpener.h"
#include "app/TfrmTray.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "manager/TfrmManager.h"
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

} // namespace

void createLongLivedWindows() {
    // The windows are created in their fixed order, each followed by one pass of pending
    // messages, so that a request arriving meanwhile is served with the windows that exist.
    // The manager's creation lays out the default library on the first run and runs the
    // event scan on later ones; its signals are connected before, since the scan may
    // already refresh it.
    auto* manager = longLived(new TfrmManager);
    frmManager = manager;
    QObject::connect(manager, &TfrmManager::closing, manager, [] {
        if (frmTray)
            frmTray->SavePosition();
    });
    QObject::connect(manager, &TfrmManager::redownloadRequested, manager, &openRedownloadDialog);
    manager->FormCreate();
    platform::processMessages();

    frmCategory = longLived(new TfrmCategory);
    platform::processMessages();
    frmNewSection = longLived(new TfrmNewSection);
    frmCategory->useNewSectionDialog(frmNewSection);
    // The bar shows what the library dialogs add.
    QObject::connect(frmNewSection, &TfrmNewSection::sectionAdded, manager,
                     [manager](const QString& name, int) { manager->addPageFor(name); });
    QObject::connect(frmCategory, &TfrmCategory::folderAdded, manager,
                     [manager](int section, const QString& folder, int icon) {
                         manager->addButtonFor(section, folder, icon);
                     });
    platform::processMessages();
}

QWidget* managerWindow() {
    return frmManager.data();
}

void openManagerWindow() {
    QWidget* manager = managerWindow();
    if (!manager)
        return;
    manager->show();
    manager->raise();
    manager->activateWindow();
}
