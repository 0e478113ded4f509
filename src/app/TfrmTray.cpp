#include "app/TfrmTray.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

#include "app/AppWindows.h"
#include "app/ContentProbe.h"
#include "app/HandOffOpener.h"
#include "app/Program.h"
#include "app/StartupWindows.h"
#include "app/TfrmAbout.h"
#include "app/WindowPlacement.h"
#include "handoff/HandOff.h"
#include "library/Settings.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/MessageLoop.h"
#include "platform/RequestServer.h"
#include "platform/RunningCopies.h"
#include "platform/SessionEnd.h"
#include "platform/Shell.h"
#include "platform/ShellIcons.h"
#include "setup/BrowserRegistration.h"
#include "setup/NativeHostManifests.h"

#include <cstdio>

namespace {
// The web entries open pages shipped with the program, so none of them leads nowhere.
const char* const kMainSitePage = "Verrin_Main_Site";
const char* const kUpgradePage = "Upgrade_Quillbay";
const char* const kDownloadsPage = "Download_More";
const char* const kSupportPage = "Technical_Support";
} // namespace

TfrmTray::TfrmTray(const QStringList& arguments, QWidget* parent) : QWidget(parent) {
    setObjectName("frmTray");
    // A hidden tool window: never shown, never on the task bar.
    setAttribute(Qt::WA_DontShowOnScreen);
    setWindowFlags(Qt::Tool);
    frmTray = this;
    copy_ = std::make_unique<platform::RunningCopy>();
    buildTrayMenu();
    // The helper's requests arrive under the window title, which follows the switch.
    requestServer_ = new platform::RequestServer(
        [this](const platform::Request& request) { return dispatchRequest(request); }, this);
    connect(this, &QWidget::windowTitleChanged, this, &TfrmTray::listenUnder);
    platform::onSessionEnd([this] { onSessionEnd(); });
    if (!runGuarded([&] { startUp(arguments); })) {
        // A start-up step failed and was reported: the tray still offers its menu, Exit
        // included.
        attachMenu();
        finishStartUp();
    }
}

TfrmTray::~TfrmTray() {
    delete requestServer_;
    requestServer_ = nullptr;
    // Another running copy still needs what the browsers were given.
    copy_->whenLast([] {
        setup::unregisterPluginLibrary();
        setup::removeNativeHostManifests();
    });
    if (frmTray == this) {
        frmTray = nullptr;
        platform::onSessionEnd({});
    }
}

QString TfrmTray::interceptionTitle(bool intercepting) {
    return intercepting ? QStringLiteral("QBY") : QStringLiteral("QBY - Download Detect Disabled");
}

void TfrmTray::setInterceptionTitle(bool intercepting) {
    const QString title = interceptionTitle(intercepting);
    if (windowTitle() == title)
        return;
    setWindowTitle(title);
    emit interceptionTitleChanged(title);
}

void TfrmTray::buildTrayMenu() {
    mdTray1 = new QSystemTrayIcon(platform::applicationIcon(), this);
    mdTray1->setObjectName("mdTray1");
    mdTray1->setToolTip("Verrin Quillbay - Right Click for Options");
    connect(mdTray1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onTrayActivated(reason); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    Open1 = PopupMenu1->addAction("Open Download File Manager", this, &TfrmTray::Open1Click);
    Open1->setObjectName("Open1");
    Open1->setEnabled(false);
    O1 = PopupMenu1->addAction("Setup Options", this, [] { openOptionsDialog(); });
    O1->setObjectName("O1");

    N2 = PopupMenu1->addMenu("Help");
    N2->setObjectName("N2");
    N4 = N2->addAction("&Contents", this, [] { platform::openHelp(); });
    N4->setObjectName("N4");
    N3 = N2->addAction("&About Quillbay", this, &TfrmTray::N3Click);
    N3->setObjectName("N3");
    PopupMenu1->addSeparator()->setObjectName("N1");

    V1 = PopupMenu1->addMenu("Visit Verrin on the Web");
    V1->setObjectName("V1");
    N7 = V1->addAction("Main Site (Quillbay help pages)", this,
                       [] { platform::openHelp(kMainSitePage); });
    N7->setObjectName("N7");
    U1 = V1->addAction("Upgrade Quillbay", this, [] { platform::openHelp(kUpgradePage); });
    U1->setObjectName("U1");
    O3 = V1->addAction("Download more Verrin software", this,
                       [] { platform::openHelp(kDownloadsPage); });
    O3->setObjectName("O3");
    T2 = V1->addAction("Technical Support", this, [] { platform::openHelp(kSupportPage); });
    T2->setObjectName("T2");
    PopupMenu1->addSeparator()->setObjectName("N5");

    mnuIntercept =
        PopupMenu1->addAction("Intercept Clicked Downloads", this, &TfrmTray::mnuInterceptClick);
    mnuIntercept->setObjectName("mnuIntercept");
    mnuIntercept->setCheckable(true);
    mnuIntercept->setChecked(true);
    PopupMenu1->addSeparator()->setObjectName("N8");
    mnuExit = PopupMenu1->addAction("Exit", this, &TfrmTray::mnuExitClick);
    mnuExit->setObjectName("mnuExit");
}

void TfrmTray::startUp(const QStringList& arguments) {
    setWindowTitle(interceptionTitle(true));
    const bool detect = Settings().readBool("Download", "DownloadDetect");
    mnuIntercept->setChecked(detect);
    setInterceptionTitle(detect);
    QStringList refusedBridges;
    for (const setup::HostManifestPlace& place : setup::hostManifestPlaces())
        if (!Settings().readBool("Bridge", place.settingKey))
            refusedBridges << place.name;
    setup::registerWithBrowsers(refusedBridges);

    // The icon shows at once; without a tray area it docks as soon as one appears.
    mdTray1->show();

    // Exit may be chosen wherever start-up lets events run: it goes no further then.
    platform::processMessages();
    if (platform::programEnding())
        return;
    firstRun_ = Settings().readBool("Main", "FirstRun");
    if (firstRun_) {
        createLongLivedWindows();
        if (platform::programEnding())
            return;
        // The tray menu comes only once the wizard has closed, with the manager window.
        showConfigurationWizard(this, [this] {
            openManagerWindow();
            attachMenu();
            finishStartUp();
        });
        return;
    }
    attachMenu();
    createLongLivedWindows();
    if (platform::programEnding())
        return;
    // Arguments carry no function; later starts echo the first two.
    if (!arguments.isEmpty()) {
        platform::showMessage(arguments.value(0));
        if (platform::programEnding())
            return;
        platform::showMessage(arguments.value(1));
    }
    finishStartUp();
}

void TfrmTray::attachMenu() {
    mdTray1->setContextMenu(PopupMenu1);
    menuAttached_ = true;
}

void TfrmTray::finishStartUp() {
    Open1->setEnabled(true);
    doubleClickOpens_ = true;
}

void TfrmTray::onTrayActivated(int reason) {
    if (reason == QSystemTrayIcon::DoubleClick && doubleClickOpens_)
        Open1Click();
}

void TfrmTray::Open1Click() {
    SetPosition();
    openManagerWindow();
}

void TfrmTray::N3Click() {
    if (!about_)
        about_ = new TfrmAbout(this);
    about_->setWindowFlag(Qt::Window);
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void TfrmTray::mnuInterceptClick() {
    // The action toggled its own check mark before this runs.
    const bool on = mnuIntercept->isChecked();
    if (!runGuarded([on] { Settings().writeBool("Download", "DownloadDetect", on); })) {
        // The switch stays as stored: the mark goes back, the title never changed.
        mnuIntercept->setChecked(!on);
        return;
    }
    setInterceptionTitle(on);
}

void TfrmTray::mnuExitClick() {
    platform::processMessages();
    // A placement that cannot be stored is reported; the program ends all the same.
    runGuarded([this] { SavePosition(); });
    // Every nested wait (a transfer's blocking call) gives up at its next turn...
    platform::requestProgramEnd();
    // ...and every loop ends, modal ones included. quit() would first ask each window to
    // close, and a dialog that is downloading refuses: no window is asked anything.
    QCoreApplication::exit(0);
}

void TfrmTray::SavePosition() {
    storePlacement(managerWindow());
}

void TfrmTray::SetPosition() {
    restorePlacement(managerWindow());
}

void TfrmTray::onSessionEnd() {
    // The session may end: agree and go at once, writing nothing. No box may hold up the
    // end, so a failed unregistration is only logged.
    requestServer_->close();
    copy_->whenLast([] {
        setup::unregisterPluginLibrary(true);
        setup::removeNativeHostManifests();
    });
    platform::endProcessNow(0);
}

void TfrmTray::listenUnder(const QString& title) {
    if (!requestServer_->listen(title))
        std::fprintf(stderr, "Quillbay: cannot receive the browser helper's requests: %s\n",
                     qPrintable(requestServer_->errorString()));
}

QString TfrmTray::requestEndpoint() const {
    return requestServer_ ? requestServer_->endpoint() : QString();
}

qint64 TfrmTray::dispatchRequest(const platform::Request& request) {
    if (request.message == platform::WM_COPYDATA)
        handOff(request.copyData.lpData);
    else if (request.message == platform::WM_CONTENTPROBE)
        contentProbe();
    // Neither request has an answer of its own: the message result is always 0.
    return 0;
}

void TfrmTray::handOff(const QByteArray& copyData) {
    openHandOffDialog(parseHandOff(copyData));
}

void TfrmTray::contentProbe() {
    answerContentProbe();
}
