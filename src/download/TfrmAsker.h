#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>

#include "library/DownloadEngine.h"
#include "library/TransferStats.h"

class TBookmarks;

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class TActivityBar;
class TFtpClient;
class THttpCli;
class TProgressColumn;
class TSpeedDial;
class TfrmCategory;
class TfrmNewSection;

// The window a handed-off download opens: it asks where in the library the file goes,
// how to describe it and what should happen to it later, then runs the transfer itself
// with live statistics and acts on the finished file. Each download gets a dialog of its
// own; it is a top-level window with its own task-bar entry and frees itself when closed.
//
// An opener creates it, sets edtName, edtSource and edtDesc and the four inputs below,
// gives it the library dialogs (useLibraryDialogs), connects its signals, calls
// SetDefaults() and show(). The dialog reaches no other window by itself.
//
// A transfer runs inside cmdOKClick: the HTTP and FTP clients' blocking calls let events run
// while they wait, so Abort, the timers and the client's events all run nested inside
// it. Every step reads the dialog's state afresh after a wait, and the dialog is never
// deleted while one of its handlers is still on the stack.
class TfrmAsker : public QWidget {
    Q_OBJECT
public:
    explicit TfrmAsker(QWidget* parent = nullptr);
    ~TfrmAsker() override;
    TfrmAsker(const TfrmAsker&) = delete;
    TfrmAsker& operator=(const TfrmAsker&) = delete;

    // ---- inputs an opener sets before SetDefaults() ----
    // The URL fetched; a redirect replaces it.
    QString DownloadURL;
    // "http"; any other value runs the FTP transfer.
    QString Protocol;
    // The remote file name (the URL's last path segment).
    QString FileName;
    // The URL up to and including its last "/".
    QString URLDirectory;
    // Opened from the library for a re-download: the clipboard is not pasted.
    bool LibraryFlag = false;

    // The "New Section" and "New Folder" dialogs the keys and menus open; either may be
    // null or go away meanwhile, and then its key does nothing.
    void useLibraryDialogs(TfrmNewSection* newSection, TfrmCategory* newFolder);

    // ---- operations other windows call ----
    // The library's sections and folders and every per-download default from dlmain.ini.
    void SetDefaults();
    // Refills the section list and selects the default section and folder.
    void SetDefaultPlace();
    // Refills the folder list for the selected section and selects its first folder.
    void cbSectionChange();
    // Writes the dialog's choices as defaults.
    void SaveSettings();
    // Writes the file record of the current name, section and folder, the interception
    // switch, and the defaults when cbDefault is checked.
    void SaveDownloadInfo();
    // Deletes exactly one file, silently, to the trash or for good.
    static void DeleteFile(const QString& name, bool toRecycleBin);
    // A new folder was created in the section at `sectionPosition` (0-based): select it.
    void SelectNewFolder(int sectionPosition);
    // A bookmark was chosen: it becomes the source.
    void Bookmarks1URL(const QString& url);

    void GetHTTP();
    // The FTP side of the dialog; `resume` continues a partial local file.
    void GetFTP(bool resume);
    // Back to idle after an abort, a close or an error.
    void AbortDownload();
    // Back to idle after a normal end of transfer.
    void EndDownload();
    void NewSectCat(bool isSection);

    // ---- handlers ----
    void cmdOKClick();
    void cmdBookMarksClick();
    void cmdViewManagerClick();
    void cbDefaultClick();
    void cbEnableDetectClick();
    void cbDetailsClick();
    void tmrDLSpeedTimer();
    void tmrRedirectTimer();

    // ---- completion ----
    void HttpDone();
    void VirusScan(const QString& path);
    void FileExec(const QString& path);

    // The downloading state, in which cmdOK reads "&Abort".
    bool isDownloading() const { return downloading_; }
    // Where the transfer writes; empty when the section has no location.
    QString targetPath() const;
    const download::TransferStats& stats() const { return engine_->stats(); }
    const download::DownloadEngine& engine() const { return *engine_; }

    static constexpr int kWidth = 560;
    static constexpr int kHeightWithDetails = 430;
    static constexpr int kHeightWithoutDetails = 332;

    // ---- controls; each one's objectName is its name ----
    QTabWidget* PageControl1 = nullptr;
    QWidget* tsDownload = nullptr;
    QWidget* tsAdvanced = nullptr;
    QLineEdit* edtDesc = nullptr;
    QComboBox* edtSource = nullptr;
    QLineEdit* edtName = nullptr;
    QComboBox* cbOpenWhen = nullptr;
    QComboBox* cbSection = nullptr;
    QComboBox* cbCategory = nullptr;
    QPushButton* cmdBookMarks = nullptr;
    QPushButton* cmdSection = nullptr;
    QPushButton* cmdFolder = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* cmdViewManager = nullptr;
    QListWidget* ListBox1 = nullptr;
    TProgressColumn* dg = nullptr;
    TSpeedDial* gSpeed = nullptr;
    TActivityBar* gActive = nullptr;
    QLabel* lblFileSize = nullptr;
    QLabel* lbldlbytes = nullptr;
    QWidget* pnlPacketSize = nullptr;
    QLabel* lblPacketSize = nullptr;
    QLabel* lblSpeed = nullptr;
    QLabel* lblPercent = nullptr;
    QLabel* lblAverage = nullptr;
    QLabel* lblETA = nullptr;
    QCheckBox* cbPaste = nullptr;
    QCheckBox* cbPrompt = nullptr;
    QLineEdit* meDays = nullptr;
    QCheckBox* cbAutoDelete = nullptr;
    QLineEdit* meDeleteDays = nullptr;
    QCheckBox* cbAutoScan = nullptr;
    QCheckBox* cbMinimize = nullptr;
    QCheckBox* cbClose = nullptr;
    QCheckBox* cbDetails = nullptr;
    QCheckBox* cbEnableDetect = nullptr;
    QCheckBox* cbDefault = nullptr;
    QCheckBox* cbPromptDone = nullptr;
    QMenu* pmBookMarks = nullptr;
    // "Web BookMarks...": the submenu the bookmark reader fills.
    QMenu* BookMarks = nullptr;
    TBookmarks* Bookmarks1 = nullptr;
    THttpCli* Http = nullptr;
    TFtpClient* ftp = nullptr;
    QTimer* tmrDLSpeed = nullptr;
    QTimer* tmrRedirect = nullptr;

signals:
    // The interception box was switched: the tray title is the switch the helper reads.
    void interceptionSwitched(bool intercepting);
    // "View Manager" was pressed.
    void managerRequested();
    // The scanner was started on a downloaded file; its record (the ini section `fileName`
    // of `recordFile`) now says it was scanned today.
    void fileScanned(const QString& recordFile, const QString& fileName);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Keeps the dialog alive while a handler that waits is on the stack: a close meanwhile
    // only hides it, and the last handler to return frees it.
    class HandlerScope {
    public:
        explicit HandlerScope(TfrmAsker& form);
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        TfrmAsker& form_;
    };

    // Layout (AskerLayout.cpp).
    void createControls();
    QWidget* createDownloadTab();
    QWidget* createAdvancedTab();
    QWidget* createInstruments();
    void connectControls();

    // The form.
    void FormShow();
    // Whether the dialog may close now; shows the busy message when it may not.
    bool FormCloseQuery();
    void FormClose();
    void SetDetailsState(bool enabled);
    void setMainButton(bool downloading);
    void bringToFront();
    void log(const QString& line);
    void showStatistics();
    void describeFromClipboardOrBrowser();
    // The edited source replaces the download URL it was filled from.
    void takeSourceAsUrl();
    QString recordFile() const;
    bool recordNameUsable() const;

    // One transfer through the engine (AskerTransfer.cpp).
    void runEngine(download::DownloadJob job);
    void reportFailure();
    // The source box no longer shows the URL the dialog was filled with or redirected to.
    bool sourceEdited() const;
    bool askReplace(download::Question question);
    // An error no handler expected (a refused record write): shown, and back to idle.
    void handlerFailed(const std::exception& e);
    // Repaints the instruments at most every few tenths of a second.
    void showStatisticsNowAndThen();
    void failTransfer(const QString& reason);

    // The HTTP side (HttpDownload.cpp).
    void wireHttp();
    void PerformHttpDownload();
    void HttpHeaderData(const QString& line);
    void HttpLocationChange();
    void HttpDocBegin();
    void HttpDocData(qint64 len);
    void HttpDocEnd();

    // The FTP side (FtpDownload.cpp).
    void wireFtp();
    void ftpDisplay(const QString& msg);
    void ftpProgress(qint64 count);
    // `request` is the TFtpRequest that ended; error 0 means success.
    void ftpRequestDone(int request, int error);
    void FTPDone();
    // Lets events run until the FTP client is idle; false when the dialog went meanwhile
    // or the program is ending.
    bool waitForFtpReady();
    // Lets events run for `ms` milliseconds; false when the dialog went meanwhile or the
    // program is ending.
    bool pumpFor(int ms);

    // Completion (Completion.cpp).
    void completionNotice(const QString& path);
    void openWhenDone(const QString& path);

    download::DownloadEngine* engine_ = nullptr;
    // The file the running (or last) transfer writes.
    QString target_;
    // The source as the opener or a redirect filled it; anything else is the user's edit.
    QString filledSource_;
    QElapsedTimer paintClock_;
    bool downloading_ = false;
    // The user pressed Abort (or closed): no auto-exit, no opening.
    bool cancelled_ = false;
    // The last transfer ended with a whole file.
    bool completionRun_ = false;
    bool transferRunning_ = false;
    bool shown_ = false;

    int handlerDepth_ = 0;
    bool deletePending_ = false;

    QPointer<TfrmNewSection> newSectionDialog_;
    QPointer<TfrmCategory> newFolderDialog_;
};

// The newest download dialog, or null once it is gone; older dialogs keep running.
extern QPointer<TfrmAsker> frmAsker;
