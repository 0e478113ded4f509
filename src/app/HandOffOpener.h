#pragma once

#include <QString>

class TfrmAsker;
struct HandOffRequest;
namespace manager {
struct Redownload;
}

// Opens a new download dialog for a handed-off download: its boxes, download URL, protocol,
// file name and URL directory are set from the request, then its defaults, and it is shown
// without waiting. The global download-dialog reference names it from then on; dialogs
// opened earlier keep running. Returns the dialog.
TfrmAsker* openHandOffDialog(const HandOffRequest& request);

// Gives a download dialog the long-lived windows it works with and connects its signals:
// the interception switch to the tray title, "View Manager" to the manager window.
void connectDownloadDialog(TfrmAsker* dialog);

// Opens the download dialog to fetch a file's source again into the manager's current
// section and folder (0-based positions), resuming the local file `localName`. The newest
// dialog is reused unless it is busy with a transfer.
void openRedownloadDialog(const manager::Redownload& what, const QString& description,
                          int sectionPosition, int folderPosition, const QString& localName);
