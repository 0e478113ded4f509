#include "library/Report.h"

#include <QSaveFile>

#include <algorithm>
#include <vector>

#include "library/FileRecord.h"

namespace library {

namespace {

namespace K = RecordKey;

// Characters as the reader sees them: a character outside the basic plane is one, not two.
int printedLength(const QString& text) {
    int n = 0;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

QString padded(const QString& text, int width) {
    const int n = printedLength(text);
    return n >= width ? text : text + QString(width - n, ' ');
}

struct Column {
    QString header;
    bool padHeader = false;
    int width = 0;
    QStringList values;
};

} // namespace

QString reportText(const ReportFields& fields, const QString& recordFile,
                   const QStringList& names) {
    const QString missing = QString::fromLatin1(kReportMissing);
    const auto valuesOf = [&](const char* key) {
        QStringList values;
        for (const QString& name : names)
            values << (recordFile.isEmpty()
                           ? missing
                           : FileRecord(recordFile, name).readString(key, missing));
        return values;
    };
    const auto widest = [](const QStringList& values) {
        int n = 0;
        for (const QString& v : values)
            n = std::max(n, printedLength(v));
        return n;
    };

    std::vector<Column> columns;
    if (fields.fileName)
        columns.push_back({"FILENAME  ", true, std::max(10, widest(names) + 2), names});
    if (fields.source) {
        QStringList values = valuesOf(K::Source);
        const int width = std::max(6, widest(values) + 2);
        columns.push_back({"SOURCE", true, width, values});
    }
    if (fields.downloaded)
        columns.push_back({"DOWNLOADED  ", false, 12, valuesOf(K::DateDownloaded)});
    if (fields.opened)
        columns.push_back({"OPENED      ", false, 12, valuesOf(K::LastOpened)});
    if (fields.scanned)
        columns.push_back({"SCANNED     ", false, 12, valuesOf(K::LastScanned)});
    if (fields.description)
        columns.push_back({"DESCRIPTION", false, 0, valuesOf(K::Desc)});

    const QString eol = QStringLiteral("\r\n");
    QString header;
    for (const Column& c : columns)
        header += c.padHeader ? padded(c.header, c.width) : c.header;
    QString text = header + eol + eol;
    for (int row = 0; row < names.size(); ++row) {
        QString line;
        for (size_t i = 0; i < columns.size(); ++i) {
            const QString& value = columns[i].values[row];
            line += i + 1 < columns.size() ? padded(value, columns[i].width) : value;
        }
        text += line + eol;
    }
    return text;
}

QString writeReportFile(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString("Cannot create file \"%1\". %2").arg(path, file.errorString());
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return QString("Cannot write file \"%1\". %2").arg(path, reason);
    }
    return {};
}

} // namespace library
