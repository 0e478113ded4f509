#pragma once

#include "platform/RequestClient.h"

#include <QByteArray>
#include <QString>

// The two requests of the browser side, sent to the tray window while it intercepts
// (titled "QBY"), as both the command line and the native-messaging host send them.
namespace helper {

inline constexpr const char* kReceiverTitle = "QBY";
inline constexpr const char* kDisabledTitle = "QBY - Download Detect Disabled";

// Sends a hand-off's copy-data record.
platform::SendResult sendHandOff(const QByteArray& record,
                                 int timeoutMs = platform::kSendTimeoutMs);

// Asks whether `url` (at most one probe-block field, 1025 bytes) names a binary download.
// When answered, `verdict` holds the program's answer byte.
platform::SendResult probe(const QByteArray& url, char* verdict,
                           int timeoutMs = platform::kSendTimeoutMs);

// Whether a receiver accepts connections under `title`, without sending it anything.
bool receiverListening(const QString& title);

} // namespace helper
