#include "manager/TfrmManager.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "library/Categories.h"
#include "library/FileRecord.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "manager/EventScanner.h"
#include "platform/Clock.h"
#include "platform/Dates.h"
#include "platform/Dialogs.h"
#include "platform/ErrorGuard.h"
#include "platform/Help.h"
#include "platform/MessageLoop.h"
#include "platform/Shell.h"
#include "platform/ShellIcons.h"
#include "widgets/DesktopApps.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace K = library::RecordKey;

namespace {

constexpr char kPageHint[] =
    "Sections contain folders with files.  Right click for a helpful menu.";
constexpr char kButtonHint[] = "Folders contain your files.  Right-click for a helpful menu.";
constexpr char kNoFile[] = "lblFileName";
// A hand-edited icon count must not make the window build a million icons.
constexpr int kMaxIcons = 1024;

QLabel* boldLabel(const QString& text, const QString& name, const QString& hint, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    if (!hint.isEmpty()) {
        label->setToolTip(hint);
        label->setStatusTip(hint);
    }
    return label;
}

void hint(QWidget* w, const QString& text) {
    w->setToolTip(text);
    w->setStatusTip(text);
}

void setBackground(QWidget* w, QPalette::ColorRole role) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, QApplication::palette().color(role));
    w->setPalette(p);
}

// Holds a single-line field without a layout, 2 pixels below its top, so that raising the
// field on highlight is not undone by the next layout pass.
class FieldHolder : public QWidget {
public:
    FieldHolder(QLineEdit* edit, QWidget* parent) : QWidget(parent), edit_(edit) {
        edit->setParent(this);
        edit->setFrame(true);
        const int h = edit->sizeHint().height();
        edit->setFixedHeight(h);
        setFixedHeight(h + 2);
        setMinimumWidth(edit->minimumWidth());
        setMaximumWidth(edit->maximumWidth());
        setSizePolicy(edit->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        edit->move(0, 2);
        setFocusProxy(edit);
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        edit_->resize(width(), edit_->height());
    }

private:
    QLineEdit* edit_;
};

} // namespace

TfrmManager::TfrmManager(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmManager");
    setWindowTitle("Quillbay");
    setWindowIcon(platform::applicationIcon());
    resize(569, 419);
    buildLayout();
    buildMenus();
    buildLibraryOperations();
    buildDropMenu();
    buildPopupMenus();
    buildToolBar();
    buildMainMenu();
}

TfrmManager::~TfrmManager() {
    if (filterInstalled_ && qApp)
        qApp->removeEventFilter(this);
}

void TfrmManager::buildLayout() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QHBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    outer->addWidget(Splitter1);

    Nav = new TNavBar(Splitter1);
    Nav->setMinimumWidth(110);
    auto* pnl1 = new QWidget(Splitter1);
    pnl1->setObjectName("pnl1");
    Splitter1->addWidget(Nav);
    Splitter1->addWidget(pnl1);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({130, 439});
    connect(Splitter1, &QSplitter::splitterMoved, this, [] {
        platform::processMessages();
        platform::postAppMessage(platform::UM_FITBUTTONS);
    });

    auto* right = new QVBoxLayout(pnl1);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(2);
    pnlCategory = new QLabel(pnl1);
    pnlCategory->setObjectName("pnlCategory");
    pnlCategory->setFixedHeight(21);
    pnlCategory->setAutoFillBackground(true);
    {
        QPalette p = pnlCategory->palette();
        p.setColor(QPalette::Window, QApplication::palette().color(QPalette::Dark));
        p.setColor(QPalette::WindowText, Qt::white);
        pnlCategory->setPalette(p);
        QFont f = pnlCategory->font();
        f.setBold(true);
        f.setPixelSize(13);
        pnlCategory->setFont(f);
    }
    right->addWidget(pnlCategory);

    auto* descRow = new QHBoxLayout;
    descRow->addWidget(boldLabel("Description:", "Label2",
                                 "Click to the right of this label to edit the currently selected "
                                 "file's description",
                                 pnl1));
    edtDescription = new QLineEdit(library::kClickHereToEdit, pnl1);
    edtDescription->setObjectName("edtDescription");
    hint(edtDescription, "Click here to edit the description of the currently selected file.  "
                         "Press enter to save changes.");
    descRow->addWidget(new FieldHolder(edtDescription, pnl1), 1);
    right->addLayout(descRow);

    auto* Splitter3 = new QSplitter(Qt::Horizontal, pnl1);
    Splitter3->setObjectName("Splitter3");
    Splitter3->setHandleWidth(2);
    auto* pnlLeftPane = new QWidget(Splitter3);
    pnlLeftPane->setObjectName("pnlLeftPane");
    auto* left = new QVBoxLayout(pnlLeftPane);
    left->setContentsMargins(0, 0, 0, 0);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(
        boldLabel("Source:", "Label4",
                  "Click to the right of this label to edit the currently selected "
                  "file's source.  If the selected file is a partial download, "
                  "selecting this link will enable you to resume downloading.",
                  pnlLeftPane));
    edtSource = new QLineEdit(library::kClickHereToEdit, pnlLeftPane);
    edtSource->setObjectName("edtSource");
    hint(edtSource, "Selecting this link will enable you to resume downloading.   Right-click to "
                    "edit.");
    sourceRow->addWidget(new FieldHolder(edtSource, pnlLeftPane), 1);
    left->addLayout(sourceRow);
    auto* deleteRow = new QHBoxLayout;
    cbDelete = new QCheckBox("Auto-Delete in", pnlLeftPane);
    cbDelete->setObjectName("cbDelete");
    {
        QFont f = cbDelete->font();
        f.setBold(true);
        cbDelete->setFont(f);
    }
    hint(cbDelete, "Check this box if you would like Quillbay to automatically delete the "
                   "currently selected file.");
    deleteRow->addWidget(cbDelete);
    meDelete = new QLineEdit(pnlLeftPane);
    meDelete->setObjectName("meDelete");
    meDelete->setAccessibleName("Auto-Delete in days");
    meDelete->setValidator(
        new QRegularExpressionValidator(QRegularExpression("\\d{0,3}"), meDelete));
    meDelete->setMaxLength(3);
    meDelete->setFixedWidth(40);
    hint(meDelete, "Click here to edit the number of days until auto-deletion for the currently "
                   "selected file.  Press enter to save changes.");
    deleteRow->addWidget(new FieldHolder(meDelete, pnlLeftPane));
    deleteRow->addWidget(boldLabel("days", "Label6", QString(), pnlLeftPane));
    lblDeletion = new QLabel("Due for deletion", pnlLeftPane);
    lblDeletion->setObjectName("lblDeletion");
    {
        QPalette p = lblDeletion->palette();
        p.setColor(QPalette::WindowText, Qt::red);
        lblDeletion->setPalette(p);
    }
    lblDeletion->hide();
    deleteRow->addWidget(lblDeletion);
    deleteRow->addStretch(1);
    left->addLayout(deleteRow);
    left->addWidget(boldLabel("Notes:", "Label1",
                              "Click below this label to edit the currently selected file's notes",
                              pnlLeftPane));
    lblFilename = new QLabel(kNoFile, pnlLeftPane);
    lblFilename->setObjectName("lblFilename");
    lblFilename->hide();

    auto* pnlRightPane = new QWidget(Splitter3);
    pnlRightPane->setObjectName("pnlRightPane");
    auto* dates = new QGridLayout(pnlRightPane);
    dates->setContentsMargins(4, 0, 0, 0);
    const auto dateRow = [&](int row, const QString& caption, const QString& name,
                             const QString& initial, const QString& tip) {
        QLabel* title = boldLabel(caption, name + "Caption", QString(), pnlRightPane);
        auto* value = new QLabel(initial, pnlRightPane);
        value->setObjectName(name);
        hint(value, tip);
        title->setBuddy(value);
        dates->addWidget(title, row, 0);
        dates->addWidget(value, row, 1);
        return value;
    };
    lblDateDownloaded = dateRow(0, "Downloaded:", "lblDateDownloaded", "No Data",
                                "This area displays the date that the currently selected file "
                                "was downloaded.");
    lblLastOpened = dateRow(1, "Opened:", "lblLastOpened", library::kNever,
                            "This area displays the date that the currently selected file was "
                            "last opened.");
    lblVChecked = dateRow(2, "Virus Checked:", "lblVChecked", library::kNever,
                          "This area displays the date that the currently selected file was last "
                          "scanned for viruses.");
    dates->setRowStretch(3, 1);
    Splitter3->addWidget(pnlLeftPane);
    Splitter3->addWidget(pnlRightPane);
    Splitter3->setSizes({308, 130});
    right->addWidget(Splitter3);

    auto* Splitter2 = new QSplitter(Qt::Vertical, pnl1);
    Splitter2->setObjectName("Splitter2");
    Splitter2->setHandleWidth(4);
    auto* notesBox = new QWidget(Splitter2);
    auto* notesRow = new QHBoxLayout(notesBox);
    notesRow->setContentsMargins(0, 0, 0, 0);
    notesRow->setSpacing(0);
    pnlSpacer = new QWidget(notesBox);
    pnlSpacer->setObjectName("pnlSpacer");
    pnlSpacer->setFixedWidth(2);
    notesRow->addWidget(pnlSpacer);
    mmoNotes = new QPlainTextEdit(library::kClickHereToEdit, notesBox);
    mmoNotes->setObjectName("mmoNotes");
    mmoNotes->setAccessibleName("Notes:");
    mmoNotes->setMinimumHeight(32);
    mmoNotes->setTabChangesFocus(true);
    hint(mmoNotes, "Click here to edit the notes for the currently selected file.  Notes are "
                   "limited to 440 characters.");
    notesRow->addWidget(mmoNotes);
    FEDownloads = new TFileList(Splitter2);
    hint(FEDownloads, "This area displays all of the files located in the selected folder.  "
                      "Right-click on a file for a helpful menu. F5 to refresh.");
    Splitter2->addWidget(notesBox);
    Splitter2->addWidget(FEDownloads);
    Splitter2->setSizes({40, 300});
    right->addWidget(Splitter2, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(18);
    setStatusBar(StatusBar1);

    edtDescription->setAccessibleName("Description:");
    edtSource->setAccessibleName("Source:");
    for (QWidget* field : {static_cast<QWidget*>(edtDescription), static_cast<QWidget*>(edtSource),
                           static_cast<QWidget*>(meDelete), static_cast<QWidget*>(mmoNotes)}) {
        field->installEventFilter(this);
        DoGray(field);
    }
    mmoNotes->viewport()->installEventFilter(this);

    // The notes never grow past their limit, typed or pasted.
    connect(mmoNotes, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = mmoNotes->toPlainText();
        if (text.size() <= manager::kNotesLimit)
            return;
        const QSignalBlocker quiet(mmoNotes);
        const int at = qMin(mmoNotes->textCursor().position(), manager::kNotesLimit);
        mmoNotes->setPlainText(text.left(manager::kNotesLimit));
        QTextCursor c = mmoNotes->textCursor();
        c.setPosition(at);
        mmoNotes->setTextCursor(c);
    });
    connect(edtSource, &QLineEdit::textChanged, this, &TfrmManager::edtSourceChange);
    connect(cbDelete, &QCheckBox::clicked, this, [this] {
        // cbDeleteMouseUp
        if (FEDownloads->selectedCount() < 2)
            WriteSettings();
        GrayAll();
        FEDownloads->view()->setFocus();
        WriteSettings();
    });

    connect(Nav, &TNavBar::pageClicked, this, [this](int page) {
        WriteSettings();
        FEDownloads->view()->setFocus();
        currentSection_ = page;
        HeadClick(page);
    });
    connect(Nav, &TNavBar::buttonPressed, this, [this](int page, int button) {
        platform::processMessages();
        WriteSettings();
        platform::processMessages();
        hoverPage_ = page;
        hoverFolder_ = button;
        platform::processMessages();
        FEDownloads->view()->setFocus();
        currentSection_ = page;
        currentFolder_ = button;
    });
    connect(Nav, &TNavBar::buttonClicked, this, [this] { CatClick(); });
    connect(Nav, &TNavBar::buttonHovered, this, [this](int page, int button) {
        hoverPage_ = page;
        hoverFolder_ = button;
    });
    // Handled once the drop has ended: a menu and questions follow.
    connect(Nav, &TNavBar::filesDropped, this,
            [this](int page, int button, const QStringList& paths) {
                const QPoint at = QCursor::pos();
                QTimer::singleShot(0, this, [this, page, button, paths, at] {
                    DropFile1DropFiles(page, button, paths, at);
                });
            });
    connect(FEDownloads, &TFileList::filesDropped, this, &TfrmManager::DropFile2DropFiles);
    // After the drag: the bar is rebuilt, the dragged button with it.
    connect(Nav, &TNavBar::folderReordered, this, &TfrmManager::exchangeFolders,
            Qt::QueuedConnection);
    // Both run after the drag's own mouse handling has returned.
    connect(Nav, &TNavBar::folderDropped, this, [](int target, int, int button) {
        platform::postAppMessage(platform::UM_MOVEFOLDER, target + 1, button + 1);
    });
    connect(Nav, &TNavBar::buttonDragEnded, this,
            [](int, int button) { platform::postAppMessage(platform::UM_ENDBUTTONDRAG, button); });
    connect(FEDownloads, &TFileList::selectionChanged, this,
            &TfrmManager::FEDownloadsSelectionChange);
    connect(FEDownloads, &TFileList::mouseDown, this, &TfrmManager::FEDownloadsMouseDown);
    connect(FEDownloads, &TFileList::doubleClicked, this, &TfrmManager::FEDownloadsDoubleClick);
    connect(FEDownloads, &TFileList::refreshed, this, [] { platform::processMessages(); });
}

void TfrmManager::buildMenus() {
    pmNav = new QMenu(this);
    pmNav->setObjectName("pmNav");
    pmButton = new QMenu(this);
    pmButton->setObjectName("pmButton");
    Nav->pageMenu = pmNav;
    Nav->buttonMenu = pmButton;
    connect(pmNav, &QMenu::aboutToShow, this, &TfrmManager::GrayAll);
    connect(pmButton, &QMenu::aboutToShow, this, &TfrmManager::GrayAll);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    mnuOpen = PopupMenu1->addAction("&Open File", this, &TfrmManager::mnuOpenClick);
    mnuOpen->setObjectName("mnuOpen");
    mnuDelete = PopupMenu1->addMenu("&Delete File...");
    mnuDelete->setObjectName("mnuDelete");
    mnuRecBin = mnuDelete->addAction("&Send to Recycle Bin");
    mnuRecBin->setObjectName("mnuRecBin");
    mnuRecBin->setShortcut(QKeySequence(Qt::Key_Delete));
    N17 = mnuDelete->addAction("&Permanently Delete");
    N17->setObjectName("N17");
    N17->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    mnuScan = PopupMenu1->addAction("&Scan for Viruses");
    mnuScan->setObjectName("mnuScan");
    mnuScan->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    PopupMenu1->addSeparator();
    mnuViewStyle = PopupMenu1->addMenu("&View Style");
    mnuViewStyle->setObjectName("mnuViewStyle");
    const auto style = [this](const char* caption, const char* name, void (TfrmManager::*click)()) {
        QAction* a = mnuViewStyle->addAction(caption, this, click);
        a->setObjectName(name);
        a->setCheckable(true);
        return a;
    };
    mnuLargeIcons = style("&Large Icons", "mnuLargeIcons", &TfrmManager::mnuFELargeIconsClick);
    mnuSmallIcons = style("&Small Icons", "mnuSmallIcons", &TfrmManager::mnuFESmallIconsClick);
    mnuList = style("&List", "mnuList", &TfrmManager::mnuFEListClick);
    mnuDetails = style("&Details", "mnuDetails", &TfrmManager::mnuFEDetailsClick);
    mnuDetails->setChecked(true);
    mnuProps = PopupMenu1->addAction("&Properties", this, &TfrmManager::mnuPropsClick);
    mnuProps->setObjectName("mnuProps");
    mnuProps->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TfrmManager::PopupMenu1Popup);
    // The shortcuts work in the list without opening the menu.
    for (QAction* a : {mnuRecBin, N17, mnuScan, mnuProps}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        FEDownloads->addAction(a);
    }
    connect(FEDownloads, &TFileList::contextMenuRequested, this, [this](const QPoint& at) {
        if (!Settings().readBool("Management", "ShowMenu")) {
            PopupMenu1->popup(at);
        } else if (QMenu* menu = desktopMenu()) {
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(at);
        }
    });

    pmGoThere = new QMenu(this);
    pmGoThere->setObjectName("pmGoThere");
    mnuGoThere = pmGoThere->addAction("&Go There", this, &TfrmManager::mnuGoThereClick);
    mnuGoThere->setObjectName("mnuGoThere");
    pmGoThere->addSeparator();
    mnuEditLink = pmGoThere->addAction("&Edit Link", this, [this] {
        edtSource->setFocus();
        edtSource->selectAll();
    });
    mnuEditLink->setObjectName("mnuEditLink");
    edtSource->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edtSource, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (manager::looksLikeAddress(edtSource->text()))
            pmGoThere->popup(edtSource->mapToGlobal(at));
        else if (QMenu* standard = edtSource->createStandardContextMenu()) {
            standard->setAttribute(Qt::WA_DeleteOnClose);
            standard->popup(edtSource->mapToGlobal(at));
        }
    });
}

// ---- creation ------------------------------------------------------------------------

bool TfrmManager::FormCreate() {
    if (!filterInstalled_) {
        qApp->installEventFilter(this);
        filterInstalled_ = true;
    }
    if (Settings().readBool("Main", "FirstRun"))
        return firstRunCreation();
    laterRunCreation();
    return true;
}

bool TfrmManager::firstRunCreation() {
    try {
        library::CreateDefaultHeader();
    } catch (const std::exception& error) {
        platform::errorBox(QString::fromUtf8(error.what()));
        return false;
    }
    setFolderItemsEnabled(false);
    PopulateImageList();
    PopulateHeaders();
    sectionLocation_ = library::sectionLocation(1);
    FEDownloads->setFolder(sectionLocation_);
    applyShowMenu();
    applyViewStyle(Settings().readInteger("Main", "ViewStyle"));
    if (!FEDownloads->hasFirstItem()) {
        GrayAll();
        ClearAll(true);
    }
    currentSection_ = Nav->pageCount() > 0 ? 0 : -1;
    currentFolder_ = -1;
    // A switch that cannot be written is reported and the window goes on; the next start
    // is a first run again, which does not lay out the library twice.
    platform::runGuarded([] { Settings().writeBool("Main", "FirstRun", false); });
    if (currentSection_ == 0)
        HeadClick(0);
    return true;
}

void TfrmManager::laterRunCreation() {
    PopulateImageList();
    applyViewStyle(Settings().readInteger("Main", "ViewStyle"));
    applyShowMenu();
    if (!headersPopulated_)
        PopulateHeaders();
    if (Nav->pageCount() == 0) {
        currentSection_ = currentFolder_ = -1;
        sectionLocation_.clear();
        ClearAll(true);
        setFolderItemsEnabled(false);
    } else {
        sectionLocation_ = library::sectionLocation(1);
        currentSection_ = 0;
        currentFolder_ = Nav->buttonCount(0) > 0 ? 0 : -1;
        HeadClick(0);
        if (FEDownloads->hasFirstItem()) {
            FEDownloads->selectFirst();
            lblFilename->setText(FEDownloads->firstSelectedName());
            FEDownloadsMouseDown();
        }
    }
    const QPointer<TfrmManager> self(this);
    if (Settings().readInteger("Download", "Speed", SettingDefaults::kSpeedForManager) == 0) {
        platform::showMessage("In order for Quillbay to accurately provide download speed "
                              "statistics, you must specify your download connection speed.\r\r"
                              "Select OK to configure this now.");
        if (!self)
            return;
        emit speedSetupRequested();
    }
    if (!self)
        return;
    manager::scanforevents({[self] {
                                if (self)
                                    self->refreshAfterScan();
                            },
                            [self](const QString& dir, const QString& name) {
                                if (self)
                                    self->deletionRefused(dir, name);
                            }});
}

// ---- navigation bar -----------------------------------------------------------------

void TfrmManager::PopulateImageList() {
    Settings settings;
    const int count = qBound(0, settings.readInteger("Main", "NumIcons"), kMaxIcons);
    const QString file = platform::folderIconFile(settings.readString("Main", "IconFile"));
    icons_ = platform::iconsFromFile(file, count);
}

QIcon TfrmManager::folderIcon(int index) const {
    if (index >= 0 && index < icons_.size())
        return icons_[index];
    return QIcon(QPixmap::fromImage(platform::plainFolderImage()));
}

void TfrmManager::PopulateHeaders() {
    const int n = library::sectionCount();
    for (int i = 1; i <= n; ++i) {
        QString caption = library::sectionName(i);
        if (caption.isEmpty())
            caption = QString("Header%1").arg(i);
        const int page = Nav->addPage(caption, kPageHint);
        const int m = library::categoryCount(caption);
        for (int j = 1; j <= m; ++j) {
            QString folder = library::categoryName(caption, j);
            if (folder.isEmpty())
                folder = QString("Category%1").arg(j);
            Nav->addButton(page, folder, folderIcon(library::categoryIcon(caption, j)),
                           kButtonHint);
        }
    }
    headersPopulated_ = true;
}

void TfrmManager::NewPage(const QString& name, const QString& location) {
    library::NewPage(name, location);
    addPageFor(name);
}

void TfrmManager::NewButton(const QString& name, const QString& section, int icon, int page) {
    library::NewButton(name, section, icon, page);
    addButtonFor(page, name, icon);
}

void TfrmManager::addPageFor(const QString& name) {
    Nav->addPage(name, kPageHint);
}

void TfrmManager::addButtonFor(int page, const QString& name, int icon) {
    Nav->addButton(page, name, folderIcon(icon), kButtonHint);
    platform::postAppMessage(platform::UM_FITBUTTONS);
}

QString TfrmManager::currentSectionName() const {
    return currentSection_ >= 0 ? Nav->pageCaption(currentSection_) : QString();
}

QString TfrmManager::currentFolderName() const {
    return Nav->buttonCaption(currentSection_, currentFolder_);
}

QString TfrmManager::recordFile() const {
    return library::recordFilePath(currentSectionName(), currentFolderName());
}

void TfrmManager::HeadClick(int page) {
    if (page < 0 || page >= Nav->pageCount())
        return;
    pnlCategory->clear();
    if (Nav->activePage() != page)
        Nav->setActivePage(page);
    currentSection_ = page;
    const QString caption = Nav->pageCaption(page);
    const int n = library::sectionCount();
    for (int i = 1; i <= n; ++i) {
        QString name = library::sectionName(i);
        if (name.isEmpty())
            name = "67135"; // a nameless entry matches no page
        if (name == caption)
            sectionLocation_ = library::sectionLocation(i);
    }
    if (Nav->buttonCount(page) == 0) {
        currentFolder_ = -1;
        ClearAll(true);
        FEDownloads->setFolder(sectionLocation_);
        setFolderItemsEnabled(false);
        return;
    }
    setFolderItemsEnabled(true);
    // The list always follows the section's first folder, shown or not.
    currentFolder_ = 0;
    CatClick();
    platform::processMessages();
}

void TfrmManager::CatClick() {
    platform::processMessages();
    const QPointer<TfrmManager> self(this);
    if (!self)
        return;
    catClicking_ = true;
    try {
        const QString folder = currentFolderName();
        if (currentSection_ < 0 || currentFolder_ < 0 || folder.isEmpty())
            throw std::runtime_error("no current folder");
        const QString dir = library::folderDirectory(sectionLocation_, folder);
        if (QFileInfo(dir).isDir())
            FEDownloads->setFolder(dir);
        platform::processMessages();
        if (!self)
            return;
        pnlCategory->setText(currentFolderName());
        if (!FEDownloads->hasFirstItem()) {
            ClearAll(true);
        } else {
            FEDownloads->selectFirst();
            ReEnable();
            platform::processMessages();
            if (!self)
                return;
            FEDownloadsMouseDown();
            platform::processMessages();
            if (!self)
                return;
            lblFilename->setText(FEDownloads->firstSelectedName());
            UpdateInfo();
        }
        if (FEDownloads->selectedCount() > 0)
            pnlCategory->setText(currentFolderName() + " - " + FEDownloads->firstSelectedName());
    } catch (const std::exception& error) {
        // Nothing to load; the list keeps its folder.
        std::fprintf(stderr, "Quillbay: folder not loaded: %s\n", error.what());
    }
    if (self)
        catClicking_ = false;
}

// ---- details pane -------------------------------------------------------------------

void TfrmManager::UpdateInfo() {
    if (lblFilename->text().isEmpty() || lblFilename->text() == kNoFile)
        return;
    lblDeletion->hide();
    if (FEDownloads->hasFirstItem() && FEDownloads->selectedCount() > 0) {
        const QString name = FEDownloads->firstSelectedName();
        pnlCategory->setText(
            currentFolderName() + " - " +
            (FEDownloads->selectedCount() < 2 ? name : QString("Multiple Files Selected")));
        lblFilename->setText(name);
        const library::FileRecord record(recordFile(), name);
        const QString downloaded = record.readString(K::DateDownloaded);
        lblDateDownloaded->setText(downloaded);
        cbDelete->setChecked(record.readBool(K::Delete));
        edtDescription->setText(record.readString(K::Desc));
        edtSource->setText(record.readString(K::Source));
        mmoNotes->setPlainText(record.notes().join('\n'));
        lblVChecked->setText(record.readString(K::LastScanned));
        lblLastOpened->setText(record.readString(K::LastOpened));
        if (!cbDelete->isChecked()) {
            meDelete->setText(record.readString(K::DeleteDays));
        } else {
            try {
                const manager::Countdown left = manager::deletionCountdown(
                    downloaded, record.readString(K::AlterDeleteOn),
                    record.readInteger(K::DeleteDays), platform::today());
                meDelete->setText(left.days);
                lblDeletion->setVisible(left.due);
            } catch (const std::exception& error) {
                meDelete->setText(record.readString(K::DeleteDays));
                std::fprintf(stderr, "Quillbay: no countdown for %s: %s\n", qPrintable(name),
                             error.what());
            }
        }
    }
    platform::processMessages();
    platform::processMessages();
}

void TfrmManager::ClearAll(bool disable) {
    edtDescription->clear();
    edtSource->clear();
    cbDelete->setChecked(false);
    meDelete->clear();
    mmoNotes->clear();
    lblFilename->clear();
    lblDateDownloaded->clear();
    lblLastOpened->clear();
    lblVChecked->clear();
    lblDeletion->hide();
    if (disable) {
        for (QWidget* w : {static_cast<QWidget*>(edtDescription), static_cast<QWidget*>(edtSource),
                           static_cast<QWidget*>(cbDelete), static_cast<QWidget*>(meDelete),
                           static_cast<QWidget*>(mmoNotes)})
            w->setEnabled(false);
    }
}

void TfrmManager::ReEnable() {
    for (QWidget* w : {static_cast<QWidget*>(edtDescription), static_cast<QWidget*>(edtSource),
                       static_cast<QWidget*>(cbDelete), static_cast<QWidget*>(meDelete),
                       static_cast<QWidget*>(mmoNotes)})
        w->setEnabled(true);
}

bool TfrmManager::isField(QWidget* w) const {
    return w && (w == edtDescription || w == edtSource || w == meDelete || w == mmoNotes);
}

void TfrmManager::Highlight(QWidget* field) {
    platform::postAppMessage(platform::UM_HIGHLIGHT, reinterpret_cast<qintptr>(field));
    if (FEDownloads->selectedCount() < 2)
        WriteSettings();
}

void TfrmManager::Gray(QWidget* field) {
    platform::postAppMessage(platform::UM_GRAY, reinterpret_cast<qintptr>(field));
    if (FEDownloads->selectedCount() < 2)
        WriteSettings();
}

void TfrmManager::GrayAll() {
    const QPointer<TfrmManager> self(this);
    for (QWidget* field : {static_cast<QWidget*>(edtDescription), static_cast<QWidget*>(edtSource),
                           static_cast<QWidget*>(meDelete), static_cast<QWidget*>(mmoNotes)}) {
        platform::postAppMessage(platform::UM_GRAY, reinterpret_cast<qintptr>(field));
        platform::processMessages();
        if (!self)
            return;
    }
}

bool TfrmManager::isHighlighted(QWidget* field) const {
    for (const auto& home : homes_)
        if (home.first == field)
            return true;
    return false;
}

void TfrmManager::DoHighLight(QWidget* field) {
    if (!isField(field))
        return;
    setBackground(field, QPalette::ToolTipBase);
    if (field == mmoNotes) {
        pnlSpacer->setFixedWidth(0);
        mmoNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        mmoNotes->setFrameShape(QFrame::StyledPanel);
        if (mmoNotes->toPlainText().startsWith(library::kClickHereToEdit))
            mmoNotes->clear();
        if (!isHighlighted(field))
            homes_.append({field, field->pos()});
        return;
    }
    auto* edit = static_cast<QLineEdit*>(field);
    edit->setFrame(true);
    if (field != meDelete && edit->text() == library::kClickHereToEdit)
        edit->clear();
    // A field already raised stays where it is.
    if (!isHighlighted(field)) {
        homes_.append({field, field->pos()});
        field->move(field->pos() - QPoint(0, 2));
    }
    platform::processMessages();
}

void TfrmManager::DoGray(QWidget* field) {
    if (!isField(field))
        return;
    setBackground(field, QPalette::Button);
    QPoint home;
    bool was = false;
    for (int i = 0; i < homes_.size(); ++i) {
        if (homes_[i].first == field) {
            home = homes_[i].second;
            homes_.removeAt(i);
            was = true;
            break;
        }
    }
    if (field == mmoNotes) {
        pnlSpacer->setFixedWidth(2);
        mmoNotes->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        mmoNotes->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        mmoNotes->setFrameShape(QFrame::NoFrame);
        return;
    }
    static_cast<QLineEdit*>(field)->setFrame(false);
    if (was)
        field->move(home);
}

void TfrmManager::WriteSettings() {
    if (FEDownloads->selectedCount() < 2)
        DoWrite();
    else
        MultiWrite();
    lblFilename->setText(FEDownloads->firstSelectedName());
}

void TfrmManager::writeRecord(const QString& name) {
    // A file that went away meanwhile gets no new record from what the pane still shows.
    if (!manager::isPlainFileName(name) || !QFileInfo::exists(FEDownloads->pathOf(name)))
        return;
    library::FileRecord record(recordFile(), name);
    record.writeString(K::Desc, edtDescription->text());
    record.writeString(K::Source, edtSource->text());
    record.writeNotes(mmoNotes->toPlainText().split('\n'));
    record.writeBool(K::Delete, cbDelete->isChecked());
    manager::applyDaysRule(record.recordFile(), name, meDelete->text());
}

void TfrmManager::DoWrite() {
    const QString name = lblFilename->text();
    if (name.isEmpty() || name == kNoFile || currentSection_ < 0 || currentFolder_ < 0 ||
        currentFolder_ >= Nav->buttonCount(currentSection_) || !edtDescription->isEnabled())
        return;
    writeRecord(name);
}

void TfrmManager::MultiWrite() {
    if (currentSection_ < 0 || currentFolder_ < 0 || !edtDescription->isEnabled())
        return;
    for (const QString& name : FEDownloads->selectedNames())
        writeRecord(name);
}

void TfrmManager::WriteSingle(QWidget* field) {
    if (currentSection_ < 0 || currentFolder_ < 0)
        return;
    const QString file = recordFile();
    for (const QString& name : FEDownloads->selectedNames()) {
        if (!manager::isPlainFileName(name))
            continue;
        library::FileRecord record(file, name);
        if (field == edtDescription)
            record.writeString(K::Desc, edtDescription->text());
        else if (field == edtSource)
            record.writeString(K::Source, edtSource->text());
        else if (field == meDelete)
            manager::applyDaysRule(file, name, meDelete->text());
    }
}

// ---- events -------------------------------------------------------------------------

bool TfrmManager::appMessage(QEvent* event) {
    auto* message = static_cast<platform::AppMessageEvent*>(event);
    QWidget* target = reinterpret_cast<QWidget*>(message->wParam);
    switch (int(event->type())) {
    case platform::UM_HIGHLIGHT:
        // The handle is compared with each field before it is used.
        if (isField(target))
            DoHighLight(target);
        return true;
    case platform::UM_GRAY:
        if (isField(target))
            DoGray(target);
        return true;
    case platform::UM_FITBUTTONS:
        Nav->fitButtons();
        return true;
    case platform::UM_MOVEFOLDER:
        MoveCatToSection(int(message->wParam), int(message->lParam));
        return true;
    case platform::UM_ENDBUTTONDRAG:
        Nav->endButtonDrag(int(message->wParam));
        return true;
    default:
        return false;
    }
}

void TfrmManager::fieldKeyUp(QWidget* field, int key) {
    if (field == mmoNotes) {
        if (key == Qt::Key_Escape) {
            mmoNotes->undo();
            GrayAll();
            FEDownloads->view()->setFocus();
        }
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        WriteSingle(field);
        FEDownloads->view()->setFocus();
    } else if (key == Qt::Key_Escape) {
        static_cast<QLineEdit*>(field)->undo();
        platform::processMessages();
        Nav->setFocus();
    }
}

bool TfrmManager::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp) {
        const int type = int(event->type());
        if (type >= platform::UM_HIGHLIGHT && type <= platform::UM_ENDBUTTONDRAG)
            return appMessage(event);
        return false;
    }
    QWidget* field = qobject_cast<QWidget*>(watched);
    if (watched == mmoNotes->viewport())
        field = mmoNotes;
    if (!isField(field))
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        Highlight(field);
        break;
    case QEvent::FocusOut:
        Gray(field);
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Escape belongs to the field here, not to the window; Enter is taken on release.
        if (key == Qt::Key_Escape ||
            (field != mmoNotes && (key == Qt::Key_Return || key == Qt::Key_Enter)))
            return true;
        break;
    }
    case QEvent::KeyRelease:
        fieldKeyUp(field, static_cast<QKeyEvent*>(event)->key());
        break;
    case QEvent::MouseButtonPress:
        if (field == edtSource && !edtSource->hasFocus() &&
            manager::looksLikeAddress(edtSource->text()) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            SourceClick();
            return true;
        }
        // edtSourceMouseDown
        field->setFocus();
        if (FEDownloads->selectedCount() < 2)
            WriteSettings();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmManager::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    PopulateImageList();
    headersPopulated_ = true;
    // The list takes the focus first, so that no field opens for editing on its own.
    FEDownloads->view()->setFocus();
    FEDownloads->refresh();
    GetToolBar();
    FEDownloadsMouseDown();
}

void TfrmManager::closeEvent(QCloseEvent* event) {
    WriteSettings();
    emit closing();
    event->accept(); // hides; the program stays in the tray
}

void TfrmManager::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        platform::openHelp();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
