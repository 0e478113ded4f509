#include "app/StartupWindows.h"

#include <QAction>
#include <QPointer>
#include <QWidget>

#include "app/AppWindows.h"
#include "app/HandOffOpener.h"
#include "app/TfrmTray.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "manager/TfrmManager.h"
#include "manager/TfrmPrint.h"
#include "platform/MessageLoop.h"
#include "setup/ui/TfrmConfig.h"
#include "setup/ui/TfrmPreferences.h"
#include "setup/ui/TfrmProgress.h"

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
    frmPreferences = longLived(new TfrmPreferences);
    // The tray title follows the switch the dialog shows and confirms.
    QObject::connect(frmPreferences, &TfrmPreferences::interceptionSwitchShown, [](bool on) {
        if (!frmTray)
            return;
        frmTray->mnuIntercept->setChecked(on);
        frmTray->setInterceptionTitle(on);
    });
    platform::processMessages();
    frmProgress = longLived(new TfrmProgress);
    platform::processMessages();
    frmConfig = longLived(new TfrmConfig);
    frmConfig->useProgressWindow(frmProgress);
    platform::processMessages();

    // The manager's creation lays out the default library on the first run and runs the
    // event scan (and the speed question) on later ones; its signals are connected before,
    // since both may already use them.
    auto* manager = longLived(new TfrmManager);
    frmManager = manager;
    QObject::connect(manager, &TfrmManager::closing, manager, [] {
        if (frmTray)
            frmTray->SavePosition();
    });
    QObject::connect(manager, &TfrmManager::redownloadRequested, manager, &openRedownloadDialog);
    QObject::connect(manager, &TfrmManager::speedSetupRequested, manager, [] {
        if (!frmPreferences)
            return;
        frmPreferences->showPage(TfrmPreferences::Download);
        openOptionsDialog();
    });
    QObject::connect(frmPreferences, &TfrmPreferences::managerSettingsChanged, manager,
                     [manager](bool toolBarTouched) {
                         manager->applyOptions();
                         if (toolBarTouched)
                             manager->GetToolBar();
                     });
    QObject::connect(manager, &TfrmManager::optionsRequested, manager, [] { openOptionsDialog(); });
    QObject::connect(manager, &TfrmManager::toolBarOptionsRequested, manager, [] {
        if (!frmPreferences)
            return;
        frmPreferences->showPage(TfrmPreferences::Toolbar);
        openOptionsDialog();
    });
    QObject::connect(manager, &TfrmManager::aboutRequested, manager, [] {
        if (frmTray)
            frmTray->N3Click();
    });
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
    QObject::connect(manager, &TfrmManager::newSectionRequested, manager, [] {
        if (frmNewSection)
            frmNewSection->exec();
    });
    QObject::connect(manager, &TfrmManager::newFolderRequested, manager, [](int page) {
        if (frmCategory)
            frmCategory->NewCatShow(page);
    });
    platform::processMessages();

    frmPrint = longLived(new TfrmPrint);
    frmPrint->FormCreate(manager->currentFolderName());
    QObject::connect(manager, &TfrmManager::reportRequested, manager,
                     [](bool print, const library::ReportSource& source) {
                         if (frmPrint)
                             frmPrint->ShowParams(print, source);
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

void openOptionsDialog() {
    if (!frmPreferences)
        return;
    if (frmPreferences->isVisible()) {
        frmPreferences->raise();
        frmPreferences->activateWindow();
        return;
    }
    frmPreferences->exec();
}

void showConfigurationWizard(QObject* context, const std::function<void()>& whenClosed) {
    if (!frmConfig) {
        whenClosed();
        return;
    }
    // The rest of the first start runs when the wizard closes; nothing else of the program
    // can be reached meanwhile.
    QObject::connect(
        frmConfig, &QDialog::finished, context, [whenClosed] { whenClosed(); },
        Qt::SingleShotConnection);
    frmConfig->setWindowModality(Qt::ApplicationModal);
    frmConfig->show();
    frmConfig->raise();
    frmConfig->activateWindow();
}
