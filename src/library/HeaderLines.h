#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// Reading the response header lines the download dialog logs: which field a line is, the
// announced length and where a redirect leads. Widget-free, tested without a display.
namespace download {

// "Name: value" of a header line, the value without surrounding blanks. Nothing for a
// status line or any line that is not a header field.
struct HeaderField {
    QString name;
    QString value;
    // Field names compare without regard to case ("location" is "Location").
    bool is(const char* field) const;
};
std::optional<HeaderField> headerField(const QString& line);

// A Content-Length value: a decimal number of bytes, nothing when it is not one.
std::optional<qint64> parseContentLength(const QString& value);

// The absolute URL of a Location value received while fetching `currentUrl`: an absolute
// URL stays as it is, a relative one is taken against the current URL.
QString redirectTarget(const QString& location, const QString& currentUrl);

} // namespace download
