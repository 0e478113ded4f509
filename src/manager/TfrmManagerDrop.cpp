// The manager window: files dropped from the desktop or from its own list, onto a folder
// button or onto the file list. The moving and copying is library::dropFiles.
#include "manager/TfrmManager.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QSignalBlocker>

#include "library/FileOperations.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace {

enum Choice { Cancel = 0, Move = 1, Copy = 2 };

// The hourglass while files move; restored however the drop ends.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

void reportFailures(const QStringList& failed) {
    if (failed.isEmpty())
        return;
    platform::showMessage((failed.size() == 1 ? "This file could not be added:\n"
                                              : "These files could not be added:\n") +
                          failed.join('\n'));
}

bool sameDirectory(const QString& a, const QString& b) {
    return QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
}

} // namespace

void TfrmManager::buildDropMenu() {
    pmFileDrop = new QMenu(this);
    pmFileDrop->setObjectName("pmFileDrop");
    pmFileDrop->addAction("&Move Here")->setData(Move);
    pmFileDrop->addAction("&Copy Here")->setData(Copy);
    pmFileDrop->addSeparator();
    pmFileDrop->addAction("Ca&ncel")->setData(Cancel);
}

int TfrmManager::askDropChoice(const QPoint& at) {
    // Closing the menu without a choice copies.
    QAction* chosen = pmFileDrop->exec(at);
    return chosen ? chosen->data().toInt() : Copy;
}

void TfrmManager::DropFile2DropFiles(const QStringList& paths, const QPoint& at) {
    if (paths.isEmpty())
        return;
    if (Nav->pageCount() == 0) {
        platform::showMessage("You must create a section and folder for these files to be "
                              "placed in.");
        return;
    }
    if (currentSection_ < 0 || Nav->buttonCount(currentSection_) == 0 || currentFolder_ < 0) {
        platform::showMessage("You cannot add files to an empty section.  Please create a folder "
                              "for these files to be placed in.");
        return;
    }
    const QString target = FEDownloads->folder();
    if (target.isEmpty() || sameDirectory(QFileInfo(paths.first()).absolutePath(), target))
        return;
    const QPointer<TfrmManager> self(this);
    const int choice = askDropChoice(at);
    platform::processMessages();
    if (!self || choice == Cancel)
        return;
    library::DropResult result;
    {
        // The list's own refreshes must not save or reload the pane in the middle.
        const QSignalBlocker quiet(FEDownloads);
        const BusyCursor busy;
        result =
            library::dropFiles(paths, {target, {}, {}, {}},
                               choice == Move ? library::DropMode::Move : library::DropMode::Copy);
    }
    if (self)
        afterDrop(result, true);
}

void TfrmManager::DropFile1DropFiles(int page, int button, const QStringList& paths,
                                     const QPoint& at) {
    platform::processMessages();
    if (paths.isEmpty() || page < 0 || button < 0 || button >= Nav->buttonCount(page))
        return;
    const QPointer<TfrmManager> self(this);
    const int choice = askDropChoice(at);
    platform::processMessages();
    if (!self || choice == Cancel || button >= Nav->buttonCount(page))
        return;
    const QString section = Nav->pageCaption(page);
    const QString folder = Nav->buttonCaption(page, button);
    const QString location = library::sectionLocation(page + 1);
    if (location.isEmpty() || QDir::isRelativePath(location))
        return;
    library::DropPlace place;
    place.directory = library::folderDirectory(location, folder);
    place.targetRecords = library::recordFilePath(section, folder);
    // A record comes along only from the folder the list shows.
    if (currentSection_ >= 0 && currentFolder_ >= 0) {
        place.sourceDirectory = FEDownloads->folder();
        place.sourceRecords = recordFile();
    }
    library::DropResult result;
    {
        const BusyCursor busy;
        result = library::dropFiles(
            paths, place, choice == Move ? library::DropMode::Move : library::DropMode::Copy);
    }
    if (self)
        afterDrop(result, page == currentSection_ && button == currentFolder_);
}

void TfrmManager::afterDrop(const library::DropResult& result, bool shownFolder) {
    if (!result.stopped || result.cancelled)
        FEDownloads->refresh();
    if (!result.stopped) {
        platform::processMessages();
        AfterDelete();
        if (shownFolder)
            CatClick();
    }
    reportFailures(result.failed);
}
