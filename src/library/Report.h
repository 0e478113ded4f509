#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace library {

// The record columns a report can hold, in their fixed order.
struct ReportFields {
    bool fileName = true;
    bool source = true;
    bool downloaded = true;
    bool opened = false;
    bool scanned = false;
    bool description = true;
};

// What a report is made of: the current folder's name, its record file and the names its
// file list shows, in the list's order.
struct ReportSource {
    QString folderName;
    QString recordFile;
    QStringList names;
};

// What a report prints for a record key that is missing.
inline constexpr char kReportMissing[] = "----------";

// The report of the files `names` (in the order given) of one folder, whose records lie in
// `recordFile`: a header line, one empty line, then one line per file in fixed-width
// columns. Every line ends with CR LF. Widths count characters, not bytes.
QString reportText(const ReportFields& fields, const QString& recordFile, const QStringList& names);

// Writes `text` as UTF-8 to `path` through a temporary file beside it, which replaces the
// target only once it is complete: a failed write leaves an existing report as it was.
// Returns the error to show, empty on success.
QString writeReportFile(const QString& path, const QString& text);

} // namespace library
