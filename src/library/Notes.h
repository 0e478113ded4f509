#pragma once

#include <QString>
#include <QStringList>

// The notes encoding: a multi-line text kept in one value, each line break replaced by
// the character 255 (stored as the single byte 0xFF, which UTF-8 text never holds).
namespace library {

// Lines joined by character 255.
QString NotesToString(const QStringList& lines);
// A text's line breaks (CR LF, LF or CR) replaced by character 255.
QString NotesToString(const QString& text);
// The value split at every character 255; a trailing 255 gives no empty last line.
QStringList notesLines(const QString& value);
// The notes of a record, decoded; "Click here to edit" when it has none.
QStringList ReadNotes(const QString& recordFile, const QString& fileName);

} // namespace library
