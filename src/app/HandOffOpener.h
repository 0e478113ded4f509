#pragma once

class TfrmAsker;
struct HandOffRequest;

// Opens a new download dialog for a handed-off download: its boxes, download URL, protocol,
// file name and URL directory are set from the request, then its defaults, and it is shown
// without waiting. The global download-dialog reference names it from then on; dialogs
// opened earlier keep running. Returns the dialog.
TfrmAsker* openHandOffDialog(const HandOffRequest& request);

// Gives a download dialog the long-lived windows it works with and connects its signals:
// the interception switch to the tray title, "View Manager" to the manager window.
void connectDownloadDialog(TfrmAsker* dialog);
