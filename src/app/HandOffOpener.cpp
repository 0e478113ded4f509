#include "app/HandOffOpener.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/AppWindows.h"
#include "app/StartupWindows.h"
#include "app/TfrmTray.h"
#include "download/TfrmAsker.h"
#include "handoff/HandOff.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "manager/DetailsRules.h"
#include "manager/TfrmManager.h"

void connectDownloadDialog(TfrmAsker* dialog) {
    dialog->useLibraryDialogs(frmNewSection, frmCategory);
    QObject::connect(dialog, &TfrmAsker::interceptionSwitched, dialog, [](bool intercepting) {
        // The tray window's title is the switch the browser helper reads.
        // The tray's check mark follows, so that it always tells the stored state.
        if (frmTray) {
            frmTray->setInterceptionTitle(intercepting);
            frmTray->mnuIntercept->setChecked(intercepting);
        }
    });
    QObject::connect(dialog, &TfrmAsker::managerRequested, dialog, &openManagerWindow);
    QObject::connect(dialog, &TfrmAsker::fileScanned, dialog,
                     [](const QString& recordFile, const QString& fileName) {
                         if (frmManager)
                             frmManager->fileScanned(recordFile, fileName);
                     });
}

TfrmAsker* openHandOffDialog(const HandOffRequest& request) {
    // The dialog names itself the newest in frmAsker; older ones keep running.
    auto* dialog = new TfrmAsker();
    connectDownloadDialog(dialog);
    dialog->edtName->setText(request.fileName);
    dialog->edtSource->setEditText(request.url);
    dialog->edtDesc->setText(request.description);
    dialog->DownloadURL = request.url;
    dialog->FileName = request.fileName;
    dialog->Protocol = request.protocol;
    dialog->URLDirectory = request.urlDirectory;
    dialog->SetDefaults();
    dialog->show();
    return dialog;
}

void openRedownloadDialog(const manager::Redownload& what, const QString& description,
                          int sectionPosition, int folderPosition, const QString& localName) {
    TfrmAsker* dialog = frmAsker.data();
    if (!dialog || dialog->isDownloading()) {
        dialog = new TfrmAsker();
        connectDownloadDialog(dialog);
    }
    dialog->DownloadURL = what.url;
    dialog->edtSource->setEditText(what.url);
    dialog->Protocol = what.protocol;
    dialog->FileName = what.fileName;
    dialog->edtName->setText(what.fileName);
    dialog->edtDesc->setText(description);
    dialog->URLDirectory = what.directory;
    dialog->SetDefaults();
    if (sectionPosition >= 0 && sectionPosition < dialog->cbSection->count()) {
        dialog->cbSection->setCurrentIndex(sectionPosition);
        dialog->cbSectionChange();
    }
    if (folderPosition >= 0 && folderPosition < dialog->cbCategory->count())
        dialog->cbCategory->setCurrentIndex(folderPosition);
    dialog->edtName->setText(localName);
    dialog->LibraryFlag = true;
    dialog->show();
}
