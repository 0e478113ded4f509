#include "app/HandOffOpener.h"

#include "app/AppWindows.h"
#include "app/HandOff.h"

#if __has_include("download/TfrmAsker.h")
#include "download/TfrmAsker.h"

TfrmAsker* openHandOffDialog(const HandOffRequest& request) {
    auto* dialog = new TfrmAsker();
    frmAsker = dialog;
    dialog->edtName->setText(request.fileName);
    dialog->edtSource->setCurrentText(request.url);
    dialog->edtDesc->setText(request.description);
    dialog->setDownloadUrl(request.url);
    dialog->setFileName(request.fileName);
    dialog->setProtocol(request.protocol);
    dialog->setUrlDirectory(request.urlDirectory);
    dialog->SetDefaults();
    dialog->show();
    return dialog;
}

#else
#include <cstdio>

TfrmAsker* openHandOffDialog(const HandOffRequest& request) {
    std::fprintf(stderr, "Quillbay: no download dialog is available for %s\n",
                 qPrintable(request.url));
    return nullptr;
}

#endif
