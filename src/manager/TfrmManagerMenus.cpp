// The manager's main menu and the popup menus of its pages, folder buttons and tool
// buttons, with their shortcuts and the rules that enable their items.
#include "manager/TfrmManager.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include "library/Settings.h"
#include "platform/Help.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace {

// The maker's pages, shipped with the help.
constexpr char kMainSitePage[] = "Verrin_Main_Site";
constexpr char kUpgradePage[] = "Upgrade_Quillbay";
constexpr char kOtherProductsPage[] = "Download_More";
constexpr char kSupportPage[] = "Technical_Support";

// Shift+Del in the file list deletes the selected files for good, as the list's own menu
// says; elsewhere in the window it is the main menu's "delete folder".
class ListShortcutFilter : public QObject {
public:
    ListShortcutFilter(QObject* parent, QAction* permanentDelete)
        : QObject(parent), action_(permanentDelete) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Delete &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
                event->accept();
                if (type == QEvent::KeyPress && action_->isEnabled())
                    action_->trigger();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAction* action_;
};

QAction* item(QMenu* menu, const char* caption, const char* name,
              const QKeySequence& shortcut = QKeySequence()) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    return a;
}

QMenu* submenu(QMenu* menu, const char* caption, const char* name) {
    QMenu* sub = menu->addMenu(caption);
    sub->setObjectName(name);
    return sub;
}

} // namespace

void TfrmManager::buildMainMenu() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");

    mnuFile = MainMenu1->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    N6 = submenu(mnuFile, "&New...", "N6");
    mnuNewSect = item(N6, "&Section", "mnuNewSect", QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuNewCat = item(N6, "&Folder", "mnuNewCat", QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(N6, &QMenu::aboutToShow, this, &TfrmManager::N6Click);
    N15 = submenu(mnuFile, "&Report...", "N15");
    mnuPrintReport = item(N15, "&Print a Report", "mnuPrintReport");
    mnuSaveReport = item(N15, "&Save a Report", "mnuSaveReport");
    connect(N15, &QMenu::aboutToShow, this, &TfrmManager::N15Click);
    mnuWeb = submenu(mnuFile, "&Verrin on the Web...", "mnuWeb");
    mnuMainSite = item(mnuWeb, "&Main Site (Quillbay help pages)", "mnuMainSite");
    mnuUpgrade = item(mnuWeb, "&Upgrade", "mnuUpgrade");
    mnuOtherProducts = item(mnuWeb, "&Other Products", "mnuOtherProducts");
    mnuWebSupport = item(mnuWeb, "&Technical Support", "mnuWebSupport");
    mnuFile->addSeparator();
    mnuExit = item(mnuFile, "&Exit", "mnuExit");
    mnuExit->setStatusTip("Close the Download Manager window");
    mnuExit->setToolTip("Close the Download Manager window");

    mnuEdit = MainMenu1->addMenu("&Edit");
    mnuEdit->setObjectName("mnuEdit");
    mnuRename = submenu(mnuEdit, "&Rename...", "mnuRename");
    mnuRenSect =
        item(mnuRename, "&Section", "mnuRenSect", QKeySequence(Qt::ALT | Qt::Key_Backspace));
    mnuRenCat = item(mnuRename, "&Folder", "mnuRenCat",
                     QKeySequence(Qt::SHIFT | Qt::ALT | Qt::Key_Backspace));
    mnuMainDelete = submenu(mnuEdit, "&Delete...", "mnuMainDelete");
    mnuMainDelSect =
        item(mnuMainDelete, "&Section", "mnuMainDelSect", QKeySequence(Qt::CTRL | Qt::Key_Delete));
    mnuMainDelCat =
        item(mnuMainDelete, "&Folder", "mnuMainDelCat", QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    mnuEdit->addSeparator();
    mnuRefresh = item(mnuEdit, "&Refresh File Display", "mnuRefresh", QKeySequence(Qt::Key_F5));

    mnuView = MainMenu1->addMenu("&View");
    mnuView->setObjectName("mnuView");
    mnuOptions = item(mnuView, "&Options", "mnuOptions", QKeySequence(Qt::CTRL | Qt::Key_O));

    mnuHelp = MainMenu1->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    mnuContents = item(mnuHelp, "&Contents", "mnuContents", QKeySequence(Qt::Key_F1));
    mnuGettingStarted = item(mnuHelp, "&Getting Started", "mnuGettingStarted");
    mnuTechSupport = item(mnuHelp, "&Technical Support", "mnuTechSupport");
    mnuHelp->addSeparator();
    mnuAbout = item(mnuHelp, "&About", "mnuAbout");

    for (QAction* a : {mnuNewSect})
        connect(a, &QAction::triggered, this, &TfrmManager::newSectionRequested);
    connect(mnuNewCat, &QAction::triggered, this, &TfrmManager::requestNewFolder);
    connect(mnuPrintReport, &QAction::triggered, this, [this] { requestReport(true); });
    connect(mnuSaveReport, &QAction::triggered, this, [this] { requestReport(false); });
    connect(mnuMainSite, &QAction::triggered, this, [] { platform::openHelp(kMainSitePage); });
    connect(mnuUpgrade, &QAction::triggered, this, [] { platform::openHelp(kUpgradePage); });
    connect(mnuOtherProducts, &QAction::triggered, this,
            [] { platform::openHelp(kOtherProductsPage); });
    connect(mnuWebSupport, &QAction::triggered, this, [] { platform::openHelp(kSupportPage); });
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuRefresh, &QAction::triggered, this, [this] { FEDownloads->refresh(); });
    connect(mnuOptions, &QAction::triggered, this, &TfrmManager::optionsRequested);
    connect(mnuContents, &QAction::triggered, this, [] { platform::openHelp(); });
    connect(mnuGettingStarted, &QAction::triggered, this,
            [] { platform::openHelp(platform::kGettingStartedTopic); });
    connect(mnuTechSupport, &QAction::triggered, this, [] { platform::openHelp(kSupportPage); });
    connect(mnuAbout, &QAction::triggered, this, &TfrmManager::aboutRequested);
    connect(mnuRenSect, &QAction::triggered, this, &TfrmManager::mnuRenSectionClick);
    connect(mnuRenCat, &QAction::triggered, this, &TfrmManager::mnuRenCatClick);
    connect(mnuMainDelSect, &QAction::triggered, this, &TfrmManager::mnuDelSectionClick);
    connect(mnuMainDelCat, &QAction::triggered, this, &TfrmManager::mnuDelCatClick);

    FEDownloads->installEventFilter(new ListShortcutFilter(this, N17));
}

void TfrmManager::buildPopupMenus() {
    QMenu* navNew = submenu(pmNav, "&New...", "mnuP_New");
    mnuP_NewSect = item(navNew, "&Section", "mnuP_NewSect", QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuP_NewCat = item(navNew, "&Folder", "mnuP_NewCat", QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuP_RenSect =
        item(pmNav, "&Rename Section", "mnuP_RenSect", QKeySequence(Qt::ALT | Qt::Key_Backspace));
    mnuP_DelSect =
        item(pmNav, "&Delete Section", "mnuP_DelSect", QKeySequence(Qt::CTRL | Qt::Key_Delete));
    pmNav->addSeparator();
    mnuP_SectProps = item(pmNav, "&Properties", "mnuP_SectProps");

    QMenu* buttonNew = submenu(pmButton, "&New...", "mnuB_New");
    mnuB_NewSect = item(buttonNew, "&Section", "mnuB_NewSect");
    mnuB_NewCat = item(buttonNew, "&Folder", "mnuB_NewCat");
    mnuP_RenCat = item(pmButton, "&Rename Folder", "mnuP_RenCat",
                       QKeySequence(Qt::SHIFT | Qt::ALT | Qt::Key_Backspace));
    mnuP_DelCat =
        item(pmButton, "&Delete Folder", "mnuP_DelCat", QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    pmButton->addSeparator();
    mnuP_CatProps = item(pmButton, "&Properties", "mnuP_CatProps");
    // A folder can only be made in a section.
    for (QMenu* menu : {navNew, buttonNew})
        connect(menu, &QMenu::aboutToShow, this, [this] {
            const bool any = Nav->pageCount() > 0;
            mnuP_NewCat->setEnabled(any);
            mnuB_NewCat->setEnabled(any);
        });

    pmNew = new QMenu(this);
    pmNew->setObjectName("pmNew");
    mnuNewSection2 =
        item(pmNew, "New &Section", "mnuNewSection2", QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuNewFolder2 = item(pmNew, "New &Folder", "mnuNewFolder2", QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(pmNew, &QMenu::aboutToShow, this, &TfrmManager::pmNewPopup);

    pmDelete = new QMenu(this);
    pmDelete->setObjectName("pmDelete");
    mnuDeleteSection2 = item(pmDelete, "Delete &Section", "mnuDeleteSection2",
                             QKeySequence(Qt::CTRL | Qt::Key_Delete));
    mnuDeleteFolder2 = item(pmDelete, "&Delete Folder", "mnuDeleteFolder2",
                            QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    connect(pmDelete, &QMenu::aboutToShow, this, &TfrmManager::pmDeletePopup);

    pmPrint = new QMenu(this);
    pmPrint->setObjectName("pmPrint");
    mnuPrint2 = item(pmPrint, "&Print a Report", "mnuPrint2");
    mnuSave2 = item(pmPrint, "&Save a Report", "mnuSave2");
    connect(pmPrint, &QMenu::aboutToShow, this, &TfrmManager::pmPrintPopup);

    pmViewStyle = new QMenu(this);
    pmViewStyle->setObjectName("pmViewStyle");
    mnuTBLargeIcons = item(pmViewStyle, "&Large Icons", "mnuTBLargeIcons");
    mnuTBSmallIcons = item(pmViewStyle, "&Small Icons", "mnuTBSmallIcons");
    mnuTBList = item(pmViewStyle, "&List", "mnuTBList");
    mnuTBDetails = item(pmViewStyle, "&Details", "mnuTBDetails");
    const std::pair<QAction*, void (TfrmManager::*)()> styles[] = {
        {mnuTBLargeIcons, &TfrmManager::mnuFELargeIconsClick},
        {mnuTBSmallIcons, &TfrmManager::mnuFESmallIconsClick},
        {mnuTBList, &TfrmManager::mnuFEListClick},
        {mnuTBDetails, &TfrmManager::mnuFEDetailsClick}};
    for (const auto& [action, click] : styles) {
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, click);
    }

    for (QAction* a : {mnuP_NewSect, mnuB_NewSect, mnuNewSection2})
        connect(a, &QAction::triggered, this, &TfrmManager::newSectionRequested);
    for (QAction* a : {mnuP_NewCat, mnuB_NewCat, mnuNewFolder2})
        connect(a, &QAction::triggered, this, &TfrmManager::requestNewFolder);
    connect(mnuPrint2, &QAction::triggered, this, [this] { requestReport(true); });
    connect(mnuSave2, &QAction::triggered, this, [this] { requestReport(false); });
    connect(mnuP_RenSect, &QAction::triggered, this, &TfrmManager::mnuRenSectionClick);
    connect(mnuP_RenCat, &QAction::triggered, this, &TfrmManager::mnuRenCatClick);
    for (QAction* a : {mnuP_DelSect, mnuDeleteSection2})
        connect(a, &QAction::triggered, this, &TfrmManager::mnuDelSectionClick);
    for (QAction* a : {mnuP_DelCat, mnuDeleteFolder2})
        connect(a, &QAction::triggered, this, &TfrmManager::mnuDelCatClick);
    connect(mnuP_SectProps, &QAction::triggered, this, &TfrmManager::mnuSectionPropsClick);
    connect(mnuP_CatProps, &QAction::triggered, this, &TfrmManager::mnuCatPropsClick);
}

// ---- enabling rules ------------------------------------------------------------------

void TfrmManager::N6Click() {
    mnuNewCat->setEnabled(Nav->pageCount() > 0);
}

void TfrmManager::pmNewPopup() {
    mnuNewFolder2->setEnabled(Nav->pageCount() > 0);
}

void TfrmManager::pmDeletePopup() {
    const bool section = Nav->pageCount() > 0 && currentSection_ >= 0;
    mnuDeleteSection2->setEnabled(section);
    mnuDeleteFolder2->setEnabled(section && Nav->buttonCount(currentSection_) > 0);
}

bool TfrmManager::canReport() const {
    return Nav->pageCount() > 0 && FEDownloads->itemCount() > 0;
}

void TfrmManager::N15Click() {
    mnuPrintReport->setEnabled(canReport());
    mnuSaveReport->setEnabled(canReport());
}

void TfrmManager::pmPrintPopup() {
    mnuPrint2->setEnabled(canReport());
    mnuSave2->setEnabled(canReport());
}

void TfrmManager::setFolderItemsEnabled(bool enabled) {
    for (QAction* a : {mnuP_RenCat, mnuRenCat, mnuMainDelCat})
        a->setEnabled(enabled);
}

// A shortcut reaches an item without its menu opening: each request checks its rule again.
void TfrmManager::requestNewFolder() {
    if (Nav->pageCount() == 0)
        return;
    emit newFolderRequested(currentSection_ >= 0 ? currentSection_ : 0);
}

void TfrmManager::requestReport(bool print) {
    if (!canReport())
        return;
    emit reportRequested(print, reportSource());
}

library::ReportSource TfrmManager::reportSource() const {
    library::ReportSource source;
    source.folderName = currentFolderName();
    if (currentSection_ >= 0 && currentFolder_ >= 0)
        source.recordFile = recordFile();
    for (int row = 0; row < FEDownloads->itemCount(); ++row)
        source.names << FEDownloads->nameAt(row);
    return source;
}

// ---- view style ------------------------------------------------------------------------

void TfrmManager::setViewStyleChecks(int stored) {
    // The file list's submenu and the tool button's menu show the same choice.
    const std::pair<QAction*, QAction*> twins[] = {{mnuLargeIcons, mnuTBLargeIcons},
                                                   {mnuList, mnuTBList},
                                                   {mnuDetails, mnuTBDetails},
                                                   {mnuSmallIcons, mnuTBSmallIcons}};
    for (int i = 0; i < 4; ++i) {
        twins[i].first->setChecked(stored == i + 1);
        twins[i].second->setChecked(stored == i + 1);
    }
}

void TfrmManager::clickViewStyle(int stored) {
    setViewStyleChecks(stored);
    FEDownloads->setViewStyle(stored == 1   ? TFileList::LargeIcons
                              : stored == 2 ? TFileList::List
                              : stored == 4 ? TFileList::SmallIcons
                                            : TFileList::Details);
    WriteStyle(stored);
}

void TfrmManager::WriteStyle(int stored) {
    Settings().writeInteger("Main", "ViewStyle", stored);
}

void TfrmManager::mnuFELargeIconsClick() {
    clickViewStyle(1);
}

void TfrmManager::mnuFEListClick() {
    clickViewStyle(2);
}

void TfrmManager::mnuFEDetailsClick() {
    clickViewStyle(3);
}

void TfrmManager::mnuFESmallIconsClick() {
    clickViewStyle(4);
}
