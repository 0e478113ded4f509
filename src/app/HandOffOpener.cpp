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

void connectDownloadDialog(TfrmAsker* dialog) {
    dialog->useLibraryDialogs(frmNewSection, frmCategory);
    QObject::connect(dialog, &TfrmAsker::interceptionSwitched, dialog, [](bool intercepting) {
        // The tray window's title is the switch the browser helper reads.
        if (frmTray)
            frmTray->setInterceptionTitle(intercepting);
    });
    QObject::connect(dialog, &TfrmAsker::managerRequested, dialog, &openManagerWindow);
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
