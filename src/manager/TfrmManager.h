#pragma once

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPoint>

#include "library/Report.h"
#include "manager/DetailsRules.h"

namespace library {
struct DropResult;
}

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class QPlainTextEdit;
class QStatusBar;
class QWidget;
class TFileList;
class TNavBar;
class TfrmDelete;
class TfrmSectionProps;

// The library manager: the navigation bar of sections and folders, the file list of the
// current folder and the details pane of the selected file's record. Created once and
// hidden; closing hides it again. Its handlers let queued messages run, so each one reads
// its state afresh after every such point.
class TfrmManager : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmManager(QWidget* parent = nullptr);
    ~TfrmManager() override;

    // The creation sequence: the default library on the first run; on later runs the bar
    // from the library, the connection-speed question and the event scan. Returns false
    // when the first run's default library could not be made (reported; tried next start).
    bool FormCreate();

    // ---- navigation bar --------------------------------------------------------------
    void PopulateImageList();
    void PopulateHeaders();
    // The store effect and the page or button together.
    void NewPage(const QString& name, const QString& location);
    void NewButton(const QString& name, const QString& section, int icon, int page);
    // The bar side only, for sections and folders another window has just stored.
    void addPageFor(const QString& name);
    void addButtonFor(int page, const QString& name, int icon);
    void HeadClick(int page);
    void CatClick();
    int GetClickedPage() const { return currentSection_; }
    int GetClickedButton() const { return currentFolder_; }
    QString currentSectionName() const;
    QString currentFolderName() const;
    QString sectionLocation() const { return sectionLocation_; }
    QString recordFile() const;
    QIcon folderIcon(int index) const;
    // UM_MOVEFOLDER's handler: moves folder `folder` (1-based, of the page shown) with its
    // files and records to the end of section `section` (1-based).
    void MoveCatToSection(int section, int folder);

    // ---- section and folder operations (TfrmManagerLibrary.cpp) -----------------------
    // The in-place editor over the current page's caption or the current folder's button;
    // Enter commits (RenameHeader, RenameCategory), Escape and leaving it cancel.
    void mnuRenSectionClick();
    void mnuRenCatClick();
    bool RenameHeader();
    bool RenameCategory();
    // "Confirm Delete" for the current section; the current folder after its question.
    void mnuDelSectionClick();
    void mnuDelCatClick();
    void DelCat();
    // "Properties" of the current section or folder.
    void mnuSectionPropsClick();
    void mnuCatPropsClick();
    // Folders `button` and `onto` of page `page` change places (a button dropped on another).
    void exchangeFolders(int page, int button, int onto);
    // Rebuilds the bar from the library and shows page `page` with folder `folder` (-1: the
    // page's first; -2: none, the section's directory), after sections or folders were
    // removed or moved.
    void reloadBar(int page, int folder);
    QLineEdit* edtRename = nullptr;
    TfrmDelete* frmDelete = nullptr;
    TfrmSectionProps* frmSectionProps = nullptr;

    // ---- details pane ----------------------------------------------------------------
    void UpdateInfo();
    void ClearAll(bool disable);
    void ReEnable();
    void Highlight(QWidget* field);
    void Gray(QWidget* field);
    void GrayAll();
    void DoHighLight(QWidget* field);
    void DoGray(QWidget* field);
    bool isHighlighted(QWidget* field) const;
    void WriteSettings();
    void DoWrite();
    void MultiWrite();
    void WriteSingle(QWidget* field);

    // ---- file list -------------------------------------------------------------------
    void FEDownloadsMouseDown();
    void FEDownloadsSelectionChange();
    void FEDownloadsDoubleClick(bool* suppress);
    void PopupMenu1Popup();
    void mnuOpenClick();
    void mnuPropsClick();
    // Scans the selected file, or the whole folder when several are selected.
    void mnuScanClick();
    // Confirm, then DelFile to the trash / for good.
    void mnuRecBinClick();
    void N17Click();
    // Deletes the selected files; only those really gone lose their records. Returns the
    // names that could not be deleted (also shown to the user).
    QStringList DelFile(bool toTrash);
    // Selects the first file and shows it, or clears the pane when the list is empty.
    void AfterDelete();
    // Applies a stored [Main] ViewStyle number (1 large icons, 2 list, 3 details, 4 small).
    void applyViewStyle(int stored);
    void applyShowMenu();
    // Re-reads what the options dialog may have changed: the file menu choice and the scan entry.
    void applyOptions();
    // With [Management] ShowMenu on, the list's menu is the desktop's own for the first
    // selected file: Open, the applications associated with its type, Open Containing
    // Folder, Move to Trash, Properties. The caller owns the menu; null without a file.
    QMenu* desktopMenu();

    // ---- tool bar (TfrmManagerToolBar.cpp) ---------------------------------------------
    // Applies the tool bar settings; run at every showing and after the options dialog
    // changed them. The labels are brought to the stored state (never toggled blindly).
    void GetToolBar();
    void GetVisibleButtons();
    int GetProperWidth() const;
    void WriteToolBarSettings(bool showLabels, int align);
    void mnuLeftClick();
    void mnuRightClick();
    void mnuTopClick();
    void mnuBottomClick();
    void mnuShowLabelsClick();
    bool toolLabelsShown() const { return labelsShown_; }
    // 1 left, 2 right, 3 top, 4 bottom.
    int toolBarSide() const { return side_; }
    void tbNewClick();
    void tbDeleteClick();
    void tbPropsClick();
    void tbStyleClick();
    void tbReportClick();
    void tbBrowserClick();
    void tbScannerClick();

    // ---- menus (TfrmManagerMenus.cpp) --------------------------------------------------
    void N6Click();
    void pmNewPopup();
    void pmDeletePopup();
    void N15Click();
    void pmPrintPopup();
    void mnuFELargeIconsClick();
    void mnuFESmallIconsClick();
    void mnuFEListClick();
    void mnuFEDetailsClick();
    void WriteStyle(int stored);
    // Whether a report can be made: a section exists and the file list has an item.
    bool canReport() const;
    // The report of the current folder as the file list shows it.
    library::ReportSource reportSource() const;

    // ---- source link -----------------------------------------------------------------
    void edtSourceChange();
    void SourceClick();
    void mnuGoThereClick();

    // The event scan's view of this window: a deleted file refreshes list and pane; a
    // refused deletion unticks the pane's box when it shows that file.
    void refreshAfterScan();
    // A download's scan stamped a record: the pane shows it when that file is shown.
    void fileScanned(const QString& recordFile, const QString& fileName);
    void deletionRefused(const QString& directory, const QString& fileName);

    // ---- dropped files (TfrmManagerDrop.cpp) ------------------------------------------
    // Files dropped onto folder button `button` of page `page` (DropFile1) or onto the file
    // list (DropFile2): pmFileDrop asks move, copy or cancel at `at`.
    void DropFile1DropFiles(int page, int button, const QStringList& paths, const QPoint& at);
    void DropFile2DropFiles(const QStringList& paths, const QPoint& at);
    QMenu* pmFileDrop = nullptr;

    // Controls, named as the program names them (also their object names).
    TNavBar* Nav = nullptr;
    TFileList* FEDownloads = nullptr;
    QLabel* pnlCategory = nullptr;
    QLineEdit* edtDescription = nullptr;
    QLineEdit* edtSource = nullptr;
    QCheckBox* cbDelete = nullptr;
    QLineEdit* meDelete = nullptr;
    QLabel* lblDeletion = nullptr;
    QPlainTextEdit* mmoNotes = nullptr;
    QWidget* pnlSpacer = nullptr;
    QLabel* lblDateDownloaded = nullptr;
    QLabel* lblLastOpened = nullptr;
    QLabel* lblVChecked = nullptr;
    QLabel* lblFilename = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenu* pmNav = nullptr;
    QMenu* pmButton = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* mnuOpen = nullptr;
    QMenu* mnuDelete = nullptr;
    QAction* mnuRecBin = nullptr;
    QAction* N17 = nullptr;
    QAction* mnuScan = nullptr;
    QMenu* mnuViewStyle = nullptr;
    QAction* mnuLargeIcons = nullptr;
    QAction* mnuSmallIcons = nullptr;
    QAction* mnuList = nullptr;
    QAction* mnuDetails = nullptr;
    QAction* mnuProps = nullptr;
    QMenu* pmGoThere = nullptr;
    QAction* mnuGoThere = nullptr;
    QAction* mnuEditLink = nullptr;

    // Tool bar: the cool bar `cb` holds ToolBar1 with its buttons and separators.
    QToolBar* cb = nullptr;
    QWidget* ToolBar1 = nullptr;
    QToolButton* tbNew = nullptr;
    QToolButton* tbDelete = nullptr;
    QToolButton* tbProps = nullptr;
    QToolButton* tbStyle = nullptr;
    QToolButton* tbReport = nullptr;
    QWidget* s2 = nullptr;
    QToolButton* tbBrowser = nullptr;
    QToolButton* tbScanner = nullptr;
    QWidget* s3 = nullptr;
    QToolButton* tbOptions = nullptr;
    QToolButton* tbHelp = nullptr;
    QMenu* pmToolBar = nullptr;
    QAction* mnuButtons = nullptr;
    QAction* mnuLeft = nullptr;
    QAction* mnuRight = nullptr;
    QAction* mnuTop = nullptr;
    QAction* mnuBottom = nullptr;
    QAction* mnuShowLabels = nullptr;

    // Main menu.
    QMenu* mnuFile = nullptr;
    QMenu* N6 = nullptr; // "&New..."
    QAction* mnuNewSect = nullptr;
    QAction* mnuNewCat = nullptr;
    QMenu* N15 = nullptr; // "&Report..."
    QAction* mnuPrintReport = nullptr;
    QAction* mnuSaveReport = nullptr;
    QMenu* mnuWeb = nullptr;
    QAction* mnuMainSite = nullptr;
    QAction* mnuUpgrade = nullptr;
    QAction* mnuOtherProducts = nullptr;
    QAction* mnuWebSupport = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuRename = nullptr;
    QAction* mnuRenSect = nullptr;
    QAction* mnuRenCat = nullptr;
    QMenu* mnuMainDelete = nullptr;
    QAction* mnuMainDelSect = nullptr;
    QAction* mnuMainDelCat = nullptr;
    QAction* mnuRefresh = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuOptions = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuContents = nullptr;
    QAction* mnuGettingStarted = nullptr;
    QAction* mnuTechSupport = nullptr;
    QAction* mnuAbout = nullptr;

    // Popup menus of the pages, the folder buttons and the tool buttons.
    QAction* mnuP_NewSect = nullptr;
    QAction* mnuP_NewCat = nullptr;
    QAction* mnuP_RenSect = nullptr;
    QAction* mnuP_DelSect = nullptr;
    QAction* mnuP_SectProps = nullptr;
    QAction* mnuB_NewSect = nullptr;
    QAction* mnuB_NewCat = nullptr;
    QAction* mnuP_RenCat = nullptr;
    QAction* mnuP_DelCat = nullptr;
    QAction* mnuP_CatProps = nullptr;
    QMenu* pmNew = nullptr;
    QAction* mnuNewSection2 = nullptr;
    QAction* mnuNewFolder2 = nullptr;
    QMenu* pmDelete = nullptr;
    QAction* mnuDeleteSection2 = nullptr;
    QAction* mnuDeleteFolder2 = nullptr;
    QMenu* pmPrint = nullptr;
    QAction* mnuPrint2 = nullptr;
    QAction* mnuSave2 = nullptr;
    QMenu* pmViewStyle = nullptr;
    QAction* mnuTBLargeIcons = nullptr;
    QAction* mnuTBSmallIcons = nullptr;
    QAction* mnuTBList = nullptr;
    QAction* mnuTBDetails = nullptr;

signals:
    // The window closes (hides): its placement is to be stored.
    void closing();
    // The speed is not set: the options dialog's download page is wanted.
    void speedSetupRequested();
    // Re-download `source` into the current section and folder as `localName`.
    void redownloadRequested(const manager::Redownload& what, const QString& description,
                             int sectionPosition, int folderPosition, const QString& localName);
    // The options dialog is wanted, modally; on its tool-bar page for the second.
    void optionsRequested();
    void toolBarOptionsRequested();
    void aboutRequested();
    // The report dialog, in print (true) or save (false) mode, for `source`.
    void reportRequested(bool print, const library::ReportSource& source);
    void newSectionRequested();
    // A new folder, the dialog opened on section `page` (0-based).
    void newFolderRequested(int page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void buildToolBar();
    void buildMainMenu();
    void buildPopupMenus();
    void dockToolBar(int side);
    void setToolButtonSize(int width, int height);
    void showToolMenu(QMenu* menu);
    void setFolderItemsEnabled(bool enabled);
    void setViewStyleChecks(int stored);
    void clickViewStyle(int stored);
    void requestNewFolder();
    void requestReport(bool print);
    void laterRunCreation();
    bool firstRunCreation();
    bool isField(QWidget* w) const;
    void writeRecord(const QString& name);
    void setFileItemsEnabled(bool enabled, bool scanEnabled);
    void redownload(const QString& localName);
    bool appMessage(QEvent* event);
    void fieldKeyUp(QWidget* field, int key);
    void buildLibraryOperations();
    void buildDropMenu();
    void startRename(QWidget* over, const QString& text, bool section);
    void afterFolderGone(int page, int removed);
    // pmFileDrop at `at`: 1 move, 2 copy, 0 cancel.
    int askDropChoice(const QPoint& at);
    // The list, the pane and the failures after a drop; `shownFolder` reloads the folder shown.
    void afterDrop(const library::DropResult& result, bool shownFolder);
    // The delete question for the selected files, then DelFile when it is answered OK.
    void askAndDelete(bool toTrash);

    QList<QIcon> icons_;
    int currentSection_ = -1;
    int currentFolder_ = -1;
    int hoverPage_ = -1;
    int hoverFolder_ = -1;
    int renamePage_ = -1;
    int renameFolder_ = -1;
    bool renaming_ = false;
    QString sectionLocation_;
    bool headersPopulated_ = false;
    bool catClicking_ = false;
    bool filterInstalled_ = false;
    bool labelsShown_ = true;
    int side_ = 3;
    // Where a highlighted single-line field stood before it moved up.
    QList<QPair<QWidget*, QPoint>> homes_;
};
