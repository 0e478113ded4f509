// The manager window: renaming, deleting, reordering and moving sections and folders, and
// their properties. The store effects are library::LibraryEdits; this file keeps the bar,
// the file list and the pane in step with them.
#include "manager/TfrmManager.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QShortcut>
#include <QToolButton>
#include <functional>

#include "library/Categories.h"
#include "library/LibraryEdits.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "library/ui/TfrmDelete.h"
#include "library/ui/TfrmSectionProps.h"
#include "platform/Dialogs.h"
#include "platform/ErrorGuard.h"
#include "platform/MessageLoop.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace {

// The in-place rename editor: Enter commits, Escape cancels, leaving it cancels unless a
// message about the name is being shown.
class RenameEditor : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    std::function<void()> onEnter;
    bool holdFocus = false;
    // Where the keyboard was before the rename: it goes back there when the editor closes.
    QPointer<QWidget> returnTo;

    void finish() {
        if (hasFocus() && returnTo)
            returnTo->setFocus();
        hide();
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            if (onEnter)
                onEnter();
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            finish();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        if (!holdFocus)
            hide();
    }
};

// Runs a rename in the store with the editor kept open meanwhile. A refused name is said and
// the editor stays with its text for another try; otherwise the editor closes. True when
// the store took the name.
bool commitRename(RenameEditor* editor, const std::function<std::optional<QString>()>& rename) {
    std::optional<QString> refusal;
    editor->holdFocus = true;
    const bool done = platform::runGuarded([&] { refusal = rename(); });
    editor->holdFocus = false;
    if (done && refusal) {
        platform::showMessage(*refusal);
        editor->setFocus();
        return false;
    }
    editor->finish();
    return done;
}

} // namespace

void TfrmManager::buildLibraryOperations() {
    auto* editor = new RenameEditor(Nav);
    editor->setObjectName("edtRename");
    editor->setAccessibleName("Name");
    editor->hide();
    edtRename = editor;
    editor->onEnter = [this] {
        if (renameFolder_ >= 0)
            RenameCategory();
        else
            RenameHeader();
    };
    frmDelete = new TfrmDelete(this);
    frmSectionProps = new TfrmSectionProps(this);

    connect(mnuRecBin, &QAction::triggered, this, &TfrmManager::mnuRecBinClick);
    connect(N17, &QAction::triggered, this, &TfrmManager::N17Click);
    connect(mnuScan, &QAction::triggered, this, &TfrmManager::mnuScanClick);
    // F2 renames what the bar shows as current: the folder, else the section.
    auto* rename = new QShortcut(QKeySequence(Qt::Key_F2), Nav);
    rename->setContext(Qt::WidgetWithChildrenShortcut);
    connect(rename, &QShortcut::activated, this, [this] {
        if (currentFolder_ >= 0)
            mnuRenCatClick();
        else
            mnuRenSectionClick();
    });
}

// ---- rename -------------------------------------------------------------------------

void TfrmManager::startRename(QWidget* over, const QString& text, bool section) {
    if (!over)
        return;
    renameFolder_ = section ? -1 : currentFolder_;
    renamePage_ = currentSection_;
    edtRename->setGeometry(QRect(over->mapTo(Nav, QPoint(0, 0)), over->size()));
    static_cast<RenameEditor*>(edtRename)->returnTo = QApplication::focusWidget();
    edtRename->setText(text);
    edtRename->selectAll();
    edtRename->show();
    edtRename->raise();
    edtRename->setFocus();
}

void TfrmManager::mnuRenSectionClick() {
    if (currentSection_ < 0)
        return;
    GrayAll();
    startRename(Nav->pageCaptionWidget(currentSection_), currentSectionName(), true);
}

void TfrmManager::mnuRenCatClick() {
    if (currentSection_ < 0 || currentFolder_ < 0)
        return;
    GrayAll();
    startRename(Nav->button(currentSection_, currentFolder_), currentFolderName(), false);
}

bool TfrmManager::RenameHeader() {
    auto* editor = static_cast<RenameEditor*>(edtRename);
    const int page = renamePage_;
    if (page < 0 || page >= Nav->pageCount()) {
        editor->finish();
        return false;
    }
    if (!commitRename(editor, [&] { return library::renameSection(page + 1, editor->text()); }))
        return false;
    const QString name = library::sectionName(page + 1);
    Nav->setPageCaption(page, name);
    if (page == currentSection_) {
        sectionLocation_ = library::sectionLocation(page + 1);
        if (currentFolder_ >= 0)
            CatClick();
        else
            FEDownloads->setFolder(sectionLocation_);
    }
    return true;
}

bool TfrmManager::RenameCategory() {
    auto* editor = static_cast<RenameEditor*>(edtRename);
    const int page = renamePage_;
    const int button = renameFolder_;
    if (page < 0 || button < 0 || button >= Nav->buttonCount(page)) {
        editor->finish();
        return false;
    }
    const QString section = Nav->pageCaption(page);
    if (!commitRename(editor,
                      [&] { return library::renameFolder(section, button + 1, editor->text()); }))
        return false;
    Nav->setButtonCaption(page, button, library::categoryName(section, button + 1));
    if (page == currentSection_) {
        currentFolder_ = button;
        CatClick();
    }
    return true;
}

// ---- delete -------------------------------------------------------------------------

void TfrmManager::mnuDelSectionClick() {
    if (currentSection_ < 0)
        return;
    GrayAll();
    const int page = currentSection_;
    frmDelete->ShowForm(page + 1);
    // Whatever was removed, the bar shows the library as it is now; the page before the
    // removed one comes to the front (the first when the first went).
    const int pages = library::sectionCount();
    const int show = pages == Nav->pageCount() ? page : qMax(0, page - 1);
    reloadBar(pages > 0 ? qMin(show, pages - 1) : -1, -1);
}

void TfrmManager::mnuDelCatClick() {
    if (currentSection_ < 0 || currentFolder_ < 0)
        return;
    GrayAll();
    const QString folderDir = library::folderDirectory(sectionLocation_, currentFolderName());
    const bool hasEntries =
        !QDir(folderDir)
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
             .isEmpty() ||
        QFileInfo::exists(recordFile());
    if (hasEntries && Settings().readBool("Management", "ConfirmCatDelete")) {
        const int answer = platform::messageBox(
            "There are either files or file information still located in this folder, are you "
            "sure you want to delete it?",
            "Confirm Delete", platform::MB_OKCANCEL);
        if (answer != platform::IDOK)
            return;
    }
    DelCat();
}

void TfrmManager::DelCat() {
    const int page = currentSection_;
    const int button = currentFolder_;
    if (page < 0 || button < 0)
        return;
    FEDownloads->setAutoRefresh(false);
    const bool done = platform::runGuarded([&] { library::deleteFolder(page + 1, button + 1); });
    FEDownloads->setAutoRefresh(true);
    if (!done) {
        reloadBar(page, button);
        return;
    }
    afterFolderGone(page, button);
}

void TfrmManager::afterFolderGone(int page, int removed) {
    const int left = library::categoryCount(Nav->pageCaption(page));
    // The previous folder, the next one when the first went.
    reloadBar(page, left == 0 ? -2 : qMax(0, removed - 1));
}

void TfrmManager::reloadBar(int page, int folder) {
    static_cast<RenameEditor*>(edtRename)->finish();
    Nav->clear();
    PopulateHeaders();
    if (page < 0 || page >= Nav->pageCount()) {
        currentSection_ = currentFolder_ = -1;
        sectionLocation_.clear();
        FEDownloads->setFolder(QString());
        pnlCategory->clear();
        ClearAll(true);
        GrayAll();
        return;
    }
    HeadClick(page);
    const int buttons = Nav->buttonCount(page);
    if (buttons == 0 || folder == -2) {
        // No folder left: the list shows the section directory and the pane is empty.
        currentFolder_ = -1;
        FEDownloads->setFolder(sectionLocation_);
        pnlCategory->clear();
        ClearAll(true);
        GrayAll();
        return;
    }
    if (folder >= 0 && folder < buttons && folder != currentFolder_) {
        currentFolder_ = folder;
        CatClick();
    }
    platform::postAppMessage(platform::UM_FITBUTTONS);
}

// ---- reorder and move ---------------------------------------------------------------

void TfrmManager::exchangeFolders(int page, int button, int onto) {
    const QString section = Nav->pageCaption(page);
    if (!platform::runGuarded([&] { library::exchangeCategories(section, button + 1, onto + 1); }))
        return;
    const bool followCurrent = page == currentSection_;
    int current = currentFolder_;
    if (followCurrent && current == button)
        current = onto;
    else if (followCurrent && current == onto)
        current = button;
    Nav->clear();
    PopulateHeaders();
    Nav->setActivePage(page);
    currentFolder_ = current;
    platform::postAppMessage(platform::UM_FITBUTTONS);
}

void TfrmManager::MoveCatToSection(int section, int folder) {
    const int from = Nav->activePage();
    if (from < 0 || section < 1 || section > library::sectionCount() || section == from + 1 ||
        folder < 1 || folder > Nav->buttonCount(from))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Nav->setEnabled(false);
    FEDownloads->setAutoRefresh(false);
    hoverPage_ = hoverFolder_ = -1;
    const QString name = Nav->buttonCaption(from, folder - 1);
    library::FolderMove moved;
    const bool done =
        platform::runGuarded([&] { moved = library::moveFolder(from + 1, folder, section); });
    FEDownloads->setAutoRefresh(true);
    Nav->setEnabled(true);
    QApplication::restoreOverrideCursor();
    if (done && !moved.complete)
        platform::errorBox(QString("Some files of the folder \"%1\" could not be moved; they are "
                                   "still in its directory, with their records.")
                               .arg(name));
    if (done && moved.complete)
        afterFolderGone(from, folder - 1);
    else
        reloadBar(from, folder - 1);
}

// ---- properties ---------------------------------------------------------------------

void TfrmManager::mnuSectionPropsClick() {
    if (currentSection_ < 0)
        return;
    GrayAll();
    frmSectionProps->PreShow(true, 0, currentSection_ + 1);
}

void TfrmManager::mnuCatPropsClick() {
    if (currentSection_ < 0 || currentFolder_ < 0)
        return;
    GrayAll();
    const int page = currentSection_;
    const int button = currentFolder_;
    const int icon = frmSectionProps->PreShow(false, button + 1, page + 1);
    if (icon >= 0 && button < Nav->buttonCount(page))
        Nav->setButtonIcon(page, button, folderIcon(icon));
}
