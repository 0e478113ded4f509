// The manager window: its file list, its source link and what the event scan changes in it.
#include "manager/TfrmManager.h"

#include <QAbstractItemView>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
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
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include "library/Categories.h"
#include "library/FileOperations.h"
#include "library/FileRecord.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "manager/EventScanner.h"
#include "manager/TfrmFileProps.h"
#include "platform/Clock.h"
#include "platform/Dates.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/MessageLoop.h"
#include "platform/Shell.h"
#include "platform/ShellIcons.h"
#include "widgets/DesktopApps.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace K = library::RecordKey;

// ---- file list ----------------------------------------------------------------------

void TfrmManager::setFileItemsEnabled(bool enabled, bool scanEnabled) {
    mnuOpen->setEnabled(enabled);
    mnuDelete->setEnabled(enabled);
    mnuRecBin->setEnabled(enabled);
    N17->setEnabled(enabled);
    mnuProps->setEnabled(enabled);
    mnuScan->setEnabled(scanEnabled);
}

void TfrmManager::FEDownloadsMouseDown() {
    const QPointer<TfrmManager> self(this);
    GrayAll();
    platform::processMessages();
    if (!self)
        return;
    const bool hasFile = FEDownloads->selectedCount() > 0 || !FEDownloads->focusedName().isEmpty();
    if (!FEDownloads->folder().isEmpty() && hasFile) {
        if (FEDownloads->selectedCount() == 0)
            FEDownloads->selectName(FEDownloads->focusedName());
        if (!edtDescription->isEnabled())
            ReEnable();
        UpdateInfo();
        setFileItemsEnabled(true, !Settings().readString("VirusScanner", "CommandLine").isEmpty());
        return;
    }
    if (FEDownloads->hasFirstItem()) {
        FEDownloads->selectFirst();
        platform::processMessages();
        if (!self)
            return;
        ReEnable();
        lblFilename->setText(FEDownloads->firstSelectedName());
        UpdateInfo();
        return;
    }
    ClearAll(true);
    setFileItemsEnabled(false, false);
}

void TfrmManager::FEDownloadsSelectionChange() {
    const QPointer<TfrmManager> self(this);
    platform::processMessages();
    if (!self || catClicking_ || currentSection_ < 0 || currentFolder_ < 0)
        return;
    if (FEDownloads->selectedCount() < 2) {
        WriteSettings();
        GrayAll();
        if (!self)
            return;
        if (!FEDownloads->folder().isEmpty() && FEDownloads->selectedCount() > 0) {
            if (!edtDescription->isEnabled())
                ReEnable();
            UpdateInfo();
            setFileItemsEnabled(true, true);
        } else {
            setFileItemsEnabled(false, false);
        }
        return;
    }
    pnlCategory->setText(currentFolderName() + " - Multiple Files Selected");
}

void TfrmManager::FEDownloadsDoubleClick(bool* suppress) {
    if (FEDownloads->folder().isEmpty() || FEDownloads->selectedCount() == 0)
        return;
    *suppress = true;
    mnuOpenClick();
}

void TfrmManager::PopupMenu1Popup() {
    const bool many = FEDownloads->selectedCount() >= 2;
    mnuOpen->setText(many ? "&Open Files" : "&Open File");
    mnuDelete->setTitle(many ? "&Delete Selected Files" : "&Delete File");
    mnuScan->setText(many ? "&Scan Folder for Viruses" : "&Scan for Viruses");
}

void TfrmManager::mnuOpenClick() {
    const QString file = recordFile();
    const QStringList names = FEDownloads->selectedNames();
    if (names.isEmpty())
        return;
    for (const QString& name : names) {
        platform::shellOpen(FEDownloads->pathOf(name));
        if (currentFolder_ >= 0 && manager::isPlainFileName(name))
            library::FileRecord(file, name).stampToday(K::LastOpened);
    }
    lblLastOpened->setText(platform::todayStamp());
}

void TfrmManager::mnuPropsClick() {
    const QString name = FEDownloads->firstSelectedName();
    if (name.isEmpty())
        return;
    auto* props = new TfrmFileProps(FEDownloads->pathOf(name), recordFile(), this);
    props->setAttribute(Qt::WA_DeleteOnClose);
    props->show();
}

void TfrmManager::mnuScanClick() {
    const QStringList names = FEDownloads->selectedNames();
    if (names.isEmpty() || FEDownloads->folder().isEmpty())
        return;
    library::scanFiles(FEDownloads->folder(), names, recordFile());
    lblVChecked->setText(platform::todayStamp());
}

void TfrmManager::mnuRecBinClick() {
    askAndDelete(true);
}

void TfrmManager::N17Click() {
    askAndDelete(false);
}

void TfrmManager::askAndDelete(bool toTrash) {
    const QStringList names = FEDownloads->selectedNames();
    if (!names.isEmpty() &&
        platform::messageBox(library::deleteQuestion(names, toTrash), library::kDeleteCaption,
                             platform::MB_OKCANCEL) == platform::IDOK)
        DelFile(toTrash);
}

QStringList TfrmManager::DelFile(bool toTrash) {
    const QPointer<TfrmManager> self(this);
    // The list must not change under the loop.
    FEDownloads->setAutoRefresh(false);
    const QStringList stayed = library::deleteFiles(
        FEDownloads->folder(), FEDownloads->selectedNames(), recordFile(), toTrash);
    platform::processMessages();
    if (!self)
        return stayed;
    FEDownloads->refresh();
    AfterDelete();
    FEDownloads->setAutoRefresh(true);
    if (!stayed.isEmpty())
        platform::showMessage((stayed.size() == 1 ? "This file could not be deleted:\n"
                                                  : "These files could not be deleted:\n") +
                              stayed.join('\n'));
    return stayed;
}

void TfrmManager::AfterDelete() {
    if (FEDownloads->hasFirstItem()) {
        FEDownloads->selectFirst();
        if (!edtDescription->isEnabled())
            ReEnable();
        lblFilename->setText(FEDownloads->firstSelectedName());
        UpdateInfo();
    } else {
        ClearAll(true);
        GrayAll();
        pnlCategory->setText(currentFolderName());
    }
}

void TfrmManager::applyViewStyle(int stored) {
    // Applying the stored style checks its items and sets the view; it writes nothing back.
    // Any other number leaves details with no check mark.
    setViewStyleChecks(stored);
    const TFileList::ViewStyle style = stored == 1   ? TFileList::LargeIcons
                                       : stored == 2 ? TFileList::List
                                       : stored == 4 ? TFileList::SmallIcons
                                                     : TFileList::Details;
    FEDownloads->setViewStyle(style);
}

void TfrmManager::applyShowMenu() {
    // With the desktop's menu on, the list's own Delete key goes through; otherwise the
    // list's popup menu and its shortcuts handle it.
    const bool desktopMenu = Settings().readBool("Management", "ShowMenu");
    mnuRecBin->setEnabled(!desktopMenu);
}

void TfrmManager::applyOptions() {
    applyShowMenu();
    // The scan entry follows the scanner only while a file is chosen.
    if (mnuOpen->isEnabled())
        mnuScan->setEnabled(!Settings().readString("VirusScanner", "CommandLine").isEmpty());
}

// ---- source link --------------------------------------------------------------------

void TfrmManager::edtSourceChange() {
    const bool link = manager::looksLikeAddress(edtSource->text());
    QFont f = edtSource->font();
    f.setUnderline(link);
    edtSource->setFont(f);
    QPalette p = edtSource->palette();
    p.setColor(QPalette::Text,
               link ? QColor(Qt::blue) : QApplication::palette().color(QPalette::Text));
    edtSource->setPalette(p);
    edtSource->setCursor(link ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

void TfrmManager::redownload(const QString& localName) {
    const QString source = edtSource->text();
    const manager::Redownload what = manager::redownloadOf(source);
    emit redownloadRequested(
        what, edtDescription->text(), library::HeaderNumber(currentSectionName()) - 1,
        library::CategoryNumber(currentSectionName(), currentFolderName()) - 1, localName);
}

void TfrmManager::SourceClick() {
    const QString source = edtSource->text();
    if (manager::sourceClickAction(source) == manager::SourceAction::Redownload) {
        QString local = FEDownloads->firstSelectedName();
        if (local.isEmpty())
            local = manager::redownloadOf(source).fileName;
        redownload(local);
    } else {
        platform::shellOpen(source);
    }
}

void TfrmManager::mnuGoThereClick() {
    const QString source = edtSource->text();
    if (manager::goThereAction(source) == manager::SourceAction::Redownload)
        redownload(FEDownloads->firstSelectedName());
    else
        platform::shellOpen(source);
}

QMenu* TfrmManager::desktopMenu() {
    const QString name = FEDownloads->firstSelectedName();
    if (name.isEmpty())
        return nullptr;
    const QString path = FEDownloads->pathOf(name);
    auto* menu = new QMenu(this);
    menu->setObjectName("desktopMenu");
    menu->addAction("Open", this, &TfrmManager::mnuOpenClick);
    static QMimeDatabase mimes;
    const QString type = mimes.mimeTypeForFile(path).name();
    for (const desktop::Application& app : desktop::applicationsFor(type)) {
        menu->addAction(QString("Open with %1").arg(app.name), this, [app, path] {
            const QStringList command = desktop::commandFor(app, path);
            if (command.isEmpty())
                return;
            // Quoted as the shell stand-in splits them: literal quotes tripled.
            QStringList quoted;
            for (const QString& word : command)
                quoted << '"' + QString(word).replace("\"", "\"\"\"") + '"';
            platform::shellOpen(quoted.first(), quoted.mid(1).join(' '));
        });
    }
    menu->addSeparator();
    menu->addAction("Open Containing Folder", this,
                    [path] { platform::shellOpen(QFileInfo(path).absolutePath()); });
    // The trash's own rules and the record's: only a file really gone loses its record.
    menu->addAction("Move to Trash", this, [this] { DelFile(true); });
    menu->addSeparator();
    menu->addAction("Properties", this, &TfrmManager::mnuPropsClick);
    return menu;
}

// ---- the event scan's effects -------------------------------------------------------

void TfrmManager::refreshAfterScan() {
    FEDownloads->refresh();
    if (FEDownloads->hasFirstItem()) {
        if (FEDownloads->selectedCount() == 0)
            FEDownloads->selectFirst();
        lblFilename->setText(FEDownloads->firstSelectedName());
        UpdateInfo();
    } else {
        ClearAll(true);
        GrayAll();
        pnlCategory->setText(currentFolderName());
    }
}

void TfrmManager::fileScanned(const QString& file, const QString& fileName) {
    if (isVisible() && FEDownloads->firstSelectedName() == fileName && file == recordFile())
        lblVChecked->setText(platform::todayStamp());
}

void TfrmManager::deletionRefused(const QString& directory, const QString& fileName) {
    if (QDir::cleanPath(FEDownloads->folder()) == QDir::cleanPath(directory) &&
        FEDownloads->selectedNames().contains(fileName))
        cbDelete->setChecked(false);
}
