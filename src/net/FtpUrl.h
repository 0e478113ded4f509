#pragma once

#include <QString>

#include <optional>

namespace ftp {

// The server part of an ftp URL and the path behind it.
struct ServerLocation {
    QString host;
    // Decimal, "21" when the URL gives none.
    QString port = QStringLiteral("21");
    // Percent escapes decoded.
    QString user;
    QString password;
    // From the first "/" after the host on, still percent-encoded: callers split it
    // before decoding, so that an escaped "/" never becomes a separator.
    QString rawPath;
};

// Splits "[ftp://][user[:password]@]host[:port][/path]"; an IPv6 address stands in
// brackets. Nothing when the host is missing or the port is not 1..65535.
std::optional<ServerLocation> parseServerLocation(const QString& url);

} // namespace ftp
