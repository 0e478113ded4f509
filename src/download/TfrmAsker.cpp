#include "download/TfrmAsker.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>

#include "download/AppMessageFilter.h"
#include "download/AskerDefaults.h"
#include "download/AskerKeys.h"
#include "download/DownloadRecord.h"
#include "library/Categories.h"
#include "library/DownloadPaths.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "net/FtpCli.h"
#include "net/HttpCli.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/MessageLoop.h"
#include "platform/Shell.h"
#include "platform/WindowTitles.h"
#include "widgets/TActivityBar.h"
#include "widgets/TProgressColumn.h"
#include "widgets/TSpeedDial.h"

#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"

namespace {

const QString kDownloadCaption = QStringLiteral("&Download");
const QString kAbortCaption = QStringLiteral("&Abort");
// Enough lines to follow any transfer; a server that floods headers cannot eat memory.
constexpr int kMaxLogLines = 5000;

} // namespace

QPointer<TfrmAsker> frmAsker;

TfrmAsker::HandlerScope::HandlerScope(TfrmAsker& form) : form_(form) {
    ++form_.handlerDepth_;
}

TfrmAsker::HandlerScope::~HandlerScope() {
    if (--form_.handlerDepth_ == 0 && form_.deletePending_) {
        form_.deletePending_ = false;
        form_.deleteLater();
    }
}

TfrmAsker::TfrmAsker(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAsker"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Download a File"));
    createControls();
    engine_ = new download::DownloadEngine(*Http, *ftp, this);
    wireHttp();
    wireFtp();
    connectControls();
    setFixedSize(kWidth, kHeightWithDetails);
    showStatistics();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // The dialog sees its keys before the focused control does.
    qApp->installEventFilter(this);
    installAppMessageFilter();
    frmAsker = this;
}

TfrmAsker::~TfrmAsker() {
    tmrDLSpeed->stop();
    tmrRedirect->stop();
    // The clients go with the dialog; none of their events may reach a half-destroyed form.
    delete engine_;
    engine_ = nullptr;
}

void TfrmAsker::useLibraryDialogs(TfrmNewSection* newSection, TfrmCategory* newFolder) {
    newSectionDialog_ = newSection;
    newFolderDialog_ = newFolder;
}

// ---- defaults ------------------------------------------------------------------------------

void TfrmAsker::SetDefaultPlace() {
    const download::AskerDefaults defaults = download::AskerDefaults::read();
    cbSection->clear();
    cbSection->addItems(library::sectionNames());
    cbEnableDetect->setChecked(defaults.downloadDetect);
    // An index outside the list selects nothing, and then no folder either.
    const bool sectionInList =
        defaults.defaultSection >= 0 && defaults.defaultSection < cbSection->count();
    cbSection->setCurrentIndex(sectionInList ? defaults.defaultSection : -1);
    cbSectionChange();
    const bool folderInList = defaults.defaultCat >= 0 && defaults.defaultCat < cbCategory->count();
    cbCategory->setCurrentIndex(folderInList ? defaults.defaultCat : -1);
}

void TfrmAsker::cbSectionChange() {
    cbCategory->clear();
    if (cbSection->currentIndex() < 0)
        return;
    cbCategory->addItems(library::categoryNames(cbSection->currentText()));
    cbCategory->setCurrentIndex(cbCategory->count() > 0 ? 0 : -1);
}

void TfrmAsker::SetDefaults() {
    SetDefaultPlace();
    const download::AskerDefaults defaults = download::AskerDefaults::read();
    cbPrompt->setChecked(defaults.promptIfNotOpened);
    meDays->setText(defaults.promptDays);
    cbAutoDelete->setChecked(defaults.autoDelete);
    meDeleteDays->setText(defaults.deleteDays);
    cbAutoScan->setEnabled(!defaults.scannerCommandLine.isEmpty());
    cbAutoScan->setChecked(defaults.scanWhenDone);
    cbOpenWhen->setCurrentIndex(
        defaults.openWhen >= 0 && defaults.openWhen < cbOpenWhen->count() ? defaults.openWhen : 0);
    cbDetails->setChecked(defaults.showDetails);
    cbMinimize->setChecked(defaults.autoMinimize);
    cbClose->setChecked(defaults.autoClose);
    cbPaste->setChecked(defaults.autoPaste);
    cbPromptDone->setChecked(defaults.promptDone);
}

void TfrmAsker::SaveSettings() {
    download::AskerDefaults d;
    d.openWhen = cbOpenWhen->currentIndex();
    d.defaultSection = cbSection->currentIndex();
    d.defaultCat = cbCategory->currentIndex();
    d.downloadDetect = cbEnableDetect->isChecked();
    d.showDetails = cbDetails->isChecked();
    d.autoMinimize = cbMinimize->isChecked();
    d.autoClose = cbClose->isChecked();
    d.autoPaste = cbPaste->isChecked();
    d.promptDone = cbPromptDone->isChecked();
    d.promptIfNotOpened = cbPrompt->isChecked();
    d.promptDays = meDays->text();
    d.autoDelete = cbAutoDelete->isChecked();
    d.deleteDays = meDeleteDays->text();
    d.scanWhenDone = cbAutoScan->isChecked();
    d.write();
}

QString TfrmAsker::recordFile() const {
    return library::recordFilePath(cbSection->currentText(), cbCategory->currentText());
}

bool TfrmAsker::recordNameUsable() const {
    const QString name = edtName->text();
    return !name.trimmed().isEmpty() && download::fileNameProblem(name).isEmpty() &&
           !cbSection->currentText().isEmpty() && !cbCategory->currentText().isEmpty();
}

void TfrmAsker::SaveDownloadInfo() {
    // Without a usable name or a folder there is no file the record could describe.
    if (recordNameUsable()) {
        download::DownloadRecordValues values;
        values.desc = edtDesc->text();
        values.source = edtSource->currentText();
        values.openWhen = cbOpenWhen->currentIndex();
        values.prompt = cbPrompt->isChecked();
        values.promptDays = meDays->text();
        values.autoDelete = cbAutoDelete->isChecked();
        values.deleteDays = meDeleteDays->text();
        values.scanWhenDone = cbAutoScan->isChecked();
        download::writeDownloadRecord(recordFile(), edtName->text(), values);
    }
    Settings().writeBool(QStringLiteral("Download"), QStringLiteral("DownloadDetect"),
                         cbEnableDetect->isChecked());
    if (cbDefault->isChecked())
        SaveSettings();
}

QString TfrmAsker::targetPath() const {
    const QString location = library::sectionLocation(cbSection->currentIndex() + 1);
    return download::downloadTargetPath(location, cbCategory->currentText(), edtName->text());
}

// ---- check boxes, keys and buttons -----------------------------------------------------------

void TfrmAsker::cbDefaultClick() {
    Settings().writeBool(QStringLiteral("Download"), QStringLiteral("SaveAsDefault"),
                         cbDefault->isChecked());
}

void TfrmAsker::cbEnableDetectClick() {
    emit interceptionSwitched(cbEnableDetect->isChecked());
}

void TfrmAsker::cbDetailsClick() {
    setFixedSize(kWidth, cbDetails->isChecked() ? kHeightWithDetails : kHeightWithoutDetails);
}

bool TfrmAsker::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget*>(watched)->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        // Download is the default button; a focused button takes its own Enter, and a
        // running transfer is never stopped by a stray one.
        if (qobject_cast<QPushButton*>(watched))
            return false;
        if (!isDownloading() && cmdOK->isEnabled())
            cmdOK->click();
        return true;
    }
    if (plain && key->key() == Qt::Key_Escape) {
        // Exit is the cancel button; while a transfer runs it is disabled.
        if (Button2->isEnabled())
            Button2->click();
        return true;
    }
    switch (download::askerKeyAction(key->key(), key->modifiers())) {
    case download::AskerKey::NewFolder:
        // The place of a running download cannot change: its file is on its way there.
        if (!isDownloading())
            NewSectCat(false);
        return true;
    case download::AskerKey::NewSection:
        if (!isDownloading())
            NewSectCat(true);
        return true;
    case download::AskerKey::Bookmarks:
        cmdBookMarks->click();
        return true;
    case download::AskerKey::Help:
        platform::openHelp();
        return true;
    case download::AskerKey::None:
        break;
    }
    return false;
}

void TfrmAsker::NewSectCat(bool isSection) {
    HandlerScope scope(*this);
    if (!isSection) {
        // The new-folder dialog posts UM_SELECTNEWFOLDER once the folder exists.
        if (newFolderDialog_)
            newFolderDialog_->NewCatShow(cbSection->currentIndex());
        return;
    }
    if (!newSectionDialog_)
        return;
    QPointer<TfrmAsker> self(this);
    newSectionDialog_->exec();
    if (!self)
        return;
    SetDefaultPlace();
    cbSection->setCurrentIndex(cbSection->count() - 1);
    platform::processMessages();
    if (self)
        cbSectionChange();
}

void TfrmAsker::SelectNewFolder(int sectionPosition) {
    // A running download keeps its folder: the file and its record land in the same one.
    if (isDownloading())
        return;
    SetDefaultPlace();
    cbSection->setCurrentIndex(
        sectionPosition >= 0 && sectionPosition < cbSection->count() ? sectionPosition : -1);
    cbSectionChange();
    cbCategory->setCurrentIndex(cbCategory->count() - 1);
}

void TfrmAsker::Bookmarks1URL(const QString& url) {
    edtSource->setEditText(url);
    edtSource->setFocus();
}

void TfrmAsker::cmdBookMarksClick() {
    HandlerScope scope(*this);
    QPointer<TfrmAsker> self(this);
    platform::processMessages();
    if (!self)
        return;
    pmBookMarks->popup(QCursor::pos());
    platform::processMessages();
}

void TfrmAsker::cmdViewManagerClick() {
    emit managerRequested();
}

void TfrmAsker::DeleteFile(const QString& name, bool toRecycleBin) {
    platform::processMessages();
    // One file, never a folder with everything in it.
    if (!QFileInfo(name).isFile() && !QFileInfo(name).isSymLink()) {
        platform::processMessages();
        return;
    }
    // The shell reads "*" and "?" as wildcards, but here they are characters of one name:
    // the file goes only when nothing else would go with it.
    const QStringList matches = platform::shellMatches(name);
    if (matches.size() == 1 &&
        QFileInfo(matches.first()).absoluteFilePath() == QFileInfo(name).absoluteFilePath())
        platform::shellDelete(name, toRecycleBin);
    platform::processMessages();
}

// ---- showing and closing ---------------------------------------------------------------------

void TfrmAsker::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmAsker::FormShow() {
    bringToFront();
    if (!shown_)
        filledSource_ = edtSource->currentText().trimmed();
    shown_ = true;
    engine_->stats().setConnectionSpeed(download::connectionSpeedSetting());
    showStatistics();
    describeFromClipboardOrBrowser();
    // A long URL shows from its start.
    if (edtSource->lineEdit())
        edtSource->lineEdit()->setCursorPosition(0);
    edtDesc->setFocus();
}

void TfrmAsker::describeFromClipboardOrBrowser() {
    if (cbPaste->isChecked() && !LibraryFlag) {
        // One line, once: the description is a single value of the record.
        QString text = QGuiApplication::clipboard()->text();
        static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
        text.replace(lineBreaks, QStringLiteral(" "));
        edtDesc->setText(text.trimmed());
        return;
    }
    if (edtDesc->text() != QLatin1String("IE"))
        return;
    // The browser helper names Internet Explorer: its window title is the description.
    QString title;
    const QStringList titles = platform::topLevelWindowTitles(); // bottom first
    for (auto it = titles.crbegin(); it != titles.crend(); ++it) {
        if (it->contains(QLatin1String("Internet Explorer"), Qt::CaseInsensitive)) {
            title = it->left(255);
            break;
        }
    }
    edtDesc->setText(title);
}

void TfrmAsker::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    if (handlerDepth_ > 0) {
        // A handler below us still runs on this dialog: it frees the dialog when it returns.
        setAttribute(Qt::WA_DeleteOnClose, false);
        deletePending_ = true;
    }
}

bool TfrmAsker::FormCloseQuery() {
    if (isDownloading()) {
        bringToFront();
        platform::showMessage(
            QStringLiteral("Quillbay is currently busy downloading a file.\r\rIf you would like "
                           "to cancel the download and close this window you must first select "
                           "the button labeled \"Abort\"."));
        return false;
    }
    AbortDownload();
    EndDownload();
    return true;
}

void TfrmAsker::FormClose() {
    try {
        if (cbDefault->isChecked()) {
            SaveDownloadInfo();
            SaveSettings();
        }
    } catch (const std::exception& e) {
        platform::errorBox(QString::fromLocal8Bit(e.what()));
    }
    if (platform::waitUntil(this, [this] { return Http->State() == httpReady; }) !=
            platform::WaitResult::Done ||
        !waitForFtpReady())
        return;
    platform::processMessages();
}

// ---- the main button and the two states --------------------------------------------------------

void TfrmAsker::setMainButton(bool downloading) {
    downloading_ = downloading;
    cmdOK->setText(downloading ? kAbortCaption : kDownloadCaption);
    cmdOK->setIcon(
        style()->standardIcon(downloading ? QStyle::SP_BrowserStop : QStyle::SP_ArrowDown));
}

void TfrmAsker::SetDetailsState(bool enabled) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{cmdBookMarks, cmdSection, cmdFolder, edtDesc, cbCategory,
                                         cbOpenWhen, edtName, cbSection, edtSource})
        control->setEnabled(enabled);
}

void TfrmAsker::bringToFront() {
    raise();
    activateWindow();
}

void TfrmAsker::log(const QString& line) {
    while (ListBox1->count() >= kMaxLogLines)
        delete ListBox1->takeItem(0);
    ListBox1->addItem(line);
    ListBox1->setCurrentRow(ListBox1->count() - 1);
}

void TfrmAsker::showStatistics() {
    const download::TransferView& v = engine_->stats().view();
    lblFileSize->setText(v.fileSize);
    lbldlbytes->setText(v.bytesSoFar);
    lblPacketSize->setText(v.packetSize);
    lblSpeed->setText(v.speed);
    lblPercent->setText(v.percent);
    lblAverage->setText(v.average);
    lblETA->setText(v.eta);
    dg->setMaximum(v.progressMax);
    dg->setValue(v.progressValue);
    dg->setIndeterminate(transferRunning_ && !v.sizeKnown);
    gSpeed->setMaximum(v.dialMax);
    gSpeed->setFirstIndication(v.dialFirstPoint);
    gSpeed->setSecondIndication(v.dialSecondPoint);
    gSpeed->setProgress(v.dialProgress);
}

void TfrmAsker::takeSourceAsUrl() {
    const QString source = edtSource->currentText().trimmed();
    if (source.isEmpty() || source == DownloadURL)
        return;
    // What the source box shows is what gets downloaded and recorded.
    DownloadURL = source;
    Protocol = download::protocolOf(source) == QLatin1String("ftp") ? QStringLiteral("ftp")
                                                                    : QStringLiteral("http");
    const download::UrlParts parts = download::splitUrlDirectory(source);
    URLDirectory = parts.directory;
    FileName = parts.fileName;
}

void TfrmAsker::cmdOKClick() {
    HandlerScope scope(*this);
    if (!isDownloading() && edtName->text() != edtName->text().trimmed()) {
        // The record and the file carry the same name, without the blanks around it.
        edtName->setText(edtName->text().trimmed());
    }
    const QString name = edtName->text();
    if (name.trimmed().isEmpty()) {
        platform::showMessage(QStringLiteral("You must specify a filename for this download."));
        edtName->setFocus();
        return;
    }
    if (isDownloading()) {
        AbortDownload();
        return;
    }
    const QString problem = download::fileNameProblem(name);
    if (!problem.isEmpty()) {
        platform::showMessage(problem);
        edtName->setFocus();
        return;
    }
    try {
        engine_->stats().start(platform::tickCount());
        showStatistics();
        setMainButton(true);
        Button2->setEnabled(false);
        if (cbCategory->currentText().isEmpty()) {
            bringToFront();
            platform::showMessage(QStringLiteral("Please specify a folder to place this file in.  "
                                                 "To create a new folder, type CTRL+N."));
            AbortDownload();
            return;
        }
        SetDetailsState(false);
        takeSourceAsUrl();
        SaveDownloadInfo();
        SaveSettings();
        if (cbMinimize->isChecked())
            showMinimized();
        if (Protocol == QLatin1String("http"))
            GetHTTP();
        else
            GetFTP(true);
    } catch (const std::exception& e) {
        // A refused write of the record or the settings: the transfer does not start.
        platform::errorBox(QString::fromLocal8Bit(e.what()));
        AbortDownload();
    }
}

void TfrmAsker::AbortDownload() {
    gActive->stop();
    cancelled_ = true;
    engine_->abort();
    // A pending restart after a redirect would undo the abort.
    tmrRedirect->stop();
    tmrDLSpeed->stop();
    transferRunning_ = false;
    QPointer<TfrmAsker> self(this);
    Http->Abort();
    platform::waitUntil(this, [this] { return Http->State() == httpReady; });
    if (!self)
        return;
    platform::processMessages();
    if (!self)
        return;
    ftp->Abort();
    if (!waitForFtpReady())
        return;
    setMainButton(false);
    Button2->setEnabled(true);
    SetDetailsState(true);
    showStatistics();
}

void TfrmAsker::EndDownload() {
    gActive->stop();
    transferRunning_ = false;
    setMainButton(false);
    Button2->setEnabled(true);
    SetDetailsState(true);
    // Only a whole file shows "Complete".
    if (completionRun_)
        engine_->stats().end();
    showStatistics();
}
