#pragma once

#include <QString>

class ProgressBar;

// One download as given on the command line.
struct DownloadRequest {
    QString url;
    QString file;
    bool resume = false;
    // Seconds of silence from the server after which the download fails; 0 = never.
    int timeout = 300;
    // https: certificate authorities trusted instead of the system's store.
    QString caFile;
};

// Runs the download through the program's download engine, the one the download dialog
// uses; prints a failure on stderr and returns the exit status.
int runDownload(const DownloadRequest& request, ProgressBar& progress);

// Exit statuses.
enum : int { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// Prints "qbyget: " + text on stderr.
void printError(const QString& text);
