#include "app/StartupWindows.h"

#include <QAction>
#include <QPointer>
#include <QWidget>
#include <exception>

#include "app/AppWindows.h"
#include "app/TfrmTray.h"
#include "library/LibraryOperations.h"
#include "library/Settings.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "platform/Dialogs.h"
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

// The manager window's first-run duties: the default library, then the switch that makes
// every later start a normal one. A library that cannot be laid out is reported and tried
// again at the next start; what was made already is not made twice.
void layOutDefaultLibrary() {
    try {
        library::CreateDefaultHeader();
    } catch (const std::exception& error) {
        platform::errorBox(QString::fromUtf8(error.what()));
        return;
    }
    Settings().writeBool("Main", "FirstRun", false);
}

} // namespace

void createLongLivedWindows(bool firstRun) {
    // The windows are created in their fixed order, each followed by one pass of pending
    // messages, so that a request arriving meanwhile is served with the windows that exist.
    if (firstRun)
        layOutDefaultLibrary();
    platform::processMessages();

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
