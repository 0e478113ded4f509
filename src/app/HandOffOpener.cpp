#include "app/HandOffOpener.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/AppWindows.h"
#include "app/HandOff.h"
#include "download/TfrmAsker.h"

TfrmAsker* openHandOffDialog(const HandOffRequest& request) {
    // The dialog names itself the newest in frmAsker; older ones keep running.
    auto* dialog = new TfrmAsker();
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
