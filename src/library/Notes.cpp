#include "library/Notes.h"

#include <QRegularExpression>

#include "library/FileRecord.h"
#include "platform/ByteText.h"

namespace library {

namespace {
const QChar kSeparator(platform::kNotesSeparator);
}

QString NotesToString(const QStringList& lines) {
    return lines.join(kSeparator);
}

QString NotesToString(const QString& text) {
    static const QRegularExpression lineBreak("\r\n|\n|\r");
    return QString(text).replace(lineBreak, QString(kSeparator));
}

QStringList notesLines(const QString& value) {
    QStringList lines = value.split(kSeparator);
    if (lines.last().isEmpty())
        lines.removeLast(); // every line ends with a separator or with the value
    return lines;
}

QStringList ReadNotes(const QString& recordFile, const QString& fileName) {
    return FileRecord(recordFile, fileName).notes();
}

} // namespace library
