#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace platform {
class RunningCopy;
class RequestServer;
struct Request;
} // namespace platform

// The application's hidden main window. It owns the tray icon and its menu, receives the
// browser helper's requests, and carries the interception switch in its window title:
// exactly "QBY" while clicked downloads are intercepted, "QBY - Download Detect Disabled"
// while they are not. It is never shown.
class TfrmTray : public QWidget {
    Q_OBJECT
public:
    // Runs the whole start-up while the window is created; `arguments` are the command
    // line's arguments without the program name.
    explicit TfrmTray(const QStringList& arguments, QWidget* parent = nullptr);
    ~TfrmTray() override;

    static QString interceptionTitle(bool intercepting);
    // Sets the window title from the switch (the download dialog and the options dialog
    // change the switch too); the check mark of mnuIntercept is left as it is.
    void setInterceptionTitle(bool intercepting);

    // Stores and restores the manager window's placement.
    void SavePosition();
    void SetPosition();

    // Tray menu handlers.
    void mnuInterceptClick();
    void mnuExitClick();
    void Open1Click();
    // "About Quillbay": shown without waiting, in front.
    void N3Click();
    QPointer<QDialog> about_;

    bool isFirstRun() const { return firstRun_; }

    // The browser helper's requests, served whatever the interception switch says: a
    // hand-off opens a download dialog for the copy-data record, a content probe answers in
    // the shared probe block.
    void handOff(const QByteArray& copyData);
    void contentProbe();
    // Where the requests arrive: the endpoint named by the window title (empty when the
    // endpoint could not be made; the reason went to stderr).
    QString requestEndpoint() const;

    QSystemTrayIcon* mdTray1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* O1 = nullptr;
    QMenu* N2 = nullptr;
    QAction* N4 = nullptr;
    QAction* N3 = nullptr;
    QMenu* V1 = nullptr;
    QAction* N7 = nullptr;
    QAction* U1 = nullptr;
    QAction* O3 = nullptr;
    QAction* T2 = nullptr;
    QAction* mnuIntercept = nullptr;
    QAction* mnuExit = nullptr;

signals:
    // The interception title changed: the helper's endpoint follows it.
    void interceptionTitleChanged(const QString& title);

private:
    void buildTrayMenu();
    void startUp(const QStringList& arguments);
    void attachMenu();
    void finishStartUp();
    void onTrayActivated(int reason);
    void onSessionEnd();
    void listenUnder(const QString& title);
    qint64 dispatchRequest(const platform::Request& request);

    bool firstRun_ = true;
    bool menuAttached_ = false;
    bool doubleClickOpens_ = false;
    platform::RequestServer* requestServer_ = nullptr;
    // Taken before start-up registers anything with the browsers.
    std::unique_ptr<platform::RunningCopy> copy_;
};
