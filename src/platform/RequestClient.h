#pragma once

#include "platform/RequestFrame.h"

#include <QString>

namespace platform {

// The browser helper's side of the transport: sends one request to the receiver whose
// window title is `title` and waits for the message result, as a synchronous window message
// waits for its window procedure. Blocking; never call it on the thread that receives.
struct SendResult {
    enum Status {
        Answered,   // the receiver handled the request; `result` is its answer
        NoReceiver, // nothing listens under that title (program not running, other title)
        Failed,     // the endpoint is unsafe, the receiver vanished or did not answer in time
    };
    Status status = Failed;
    qint64 result = 0;
    QString error;
};

// How long a sender waits for the answer: a probe may wait on a slow web server.
inline constexpr int kSendTimeoutMs = 300 * 1000;

SendResult sendRequest(const QString& title, const Request& request,
                       int timeoutMs = kSendTimeoutMs);

} // namespace platform
