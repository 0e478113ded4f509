#pragma once

#include <QString>
#include <QStringList>

// The content probe: the browser helper asks whether a URL names a binary download worth
// taking over, through the shared probe block.

// A silent web server must not hold the browser for ever: the probe's HEAD request ends
// after this many seconds without any sign of the server.
inline constexpr int kProbeTimeoutSeconds = 30;

// 1 when the URL names a binary download, else 0. An ftp URL is binary without asking;
// an empty one is not. Otherwise the server is asked with HEAD: a 404 (which is also how
// an unreachable or silent server ends) gives 0, any other failure leaves the verdict to
// the headers received.
int judgeUrl(const QString& url, int timeoutSeconds = kProbeTimeoutSeconds);

// The verdict of a response's header lines: the last Content-Type line decides, 0 when it
// names a text type, 1 otherwise; 1 when there is none (an unnamed type is as likely a
// file as a page, and the helper then lets the user decide in the download dialog).
int verdictFromHeaders(const QStringList& headerLines);

// Handles one probe request: opens the block, judges its URL, writes the answer byte and
// closes the block. A missing block is shown in an error box with the system's message and
// nothing is written.
void answerContentProbe(int timeoutSeconds = kProbeTimeoutSeconds);
