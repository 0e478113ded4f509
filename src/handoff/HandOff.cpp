#include "handoff/HandOff.h"

#include "platform/ByteText.h"

namespace {

// Takes the text before the first carriage return out of `rest`, with the carriage return;
// without one the field is empty and `rest` stays as it is.
QString takeField(QString& rest) {
    const qsizetype end = rest.indexOf(QChar('\r'));
    if (end < 0)
        return {};
    QString field = rest.left(end);
    rest.remove(0, end + 1);
    return field;
}

bool forbiddenInName(QChar c) {
    static const QString kForbidden = QStringLiteral("\\:*?\"<>|");
    return kForbidden.contains(c) || c.unicode() < 0x20;
}

} // namespace

HandOffRequest parseHandOff(QByteArrayView copyData) {
    // A record too short for what its length byte counts gives what it has: nothing past
    // the record is ever read.
    QByteArrayView counted;
    if (!copyData.isEmpty())
        counted = copyData.sliced(1, qMin<qsizetype>(uchar(copyData[0]), copyData.size() - 1));
    QString rest = platform::textFromBytes(counted);

    HandOffRequest request;
    request.source = takeField(rest);
    request.url = takeField(rest);
    request.description = rest;
    request.fileName = fileNameFromUrl(request.url);
    request.urlDirectory = urlDirectoryOf(request.url, request.fileName);
    request.protocol =
        request.source == QLatin1String("IE") ? protocolOfUrl(request.url) : request.source;
    return request;
}

QString fileNameFromUrl(const QString& url) {
    const qsizetype cut = qMax(url.lastIndexOf('\\'), url.lastIndexOf(':'));
    QString name = url.mid(cut + 1);
    name = name.mid(name.lastIndexOf('/') + 1);
    name.removeIf(forbiddenInName);
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return name;
}

QString urlDirectoryOf(const QString& url, const QString& fileName) {
    if (fileName.isEmpty())
        return url;
    const qsizetype at = url.lastIndexOf(fileName);
    if (at < 0)
        return url;
    QString directory = url;
    directory.remove(at, fileName.size());
    return directory;
}

QString protocolOfUrl(const QString& url) {
    const qsizetype slash = url.indexOf('/');
    return slash < 1 ? QString() : url.left(slash - 1);
}

QString handOffSourceOf(const QString& url) {
    const qsizetype colon = url.indexOf(QLatin1String("://"));
    if (colon < 1)
        return {};
    const QString scheme = url.left(colon).toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return QStringLiteral("http");
    if (scheme == QLatin1String("ftp"))
        return QStringLiteral("ftp");
    return {};
}

std::optional<QByteArray> encodeHandOff(const QString& source, const QString& url,
                                        const QString& description) {
    constexpr qsizetype kMaxCounted = 255;
    const QByteArray head = (source + '\r' + url + '\r').toUtf8();
    if (head.size() > kMaxCounted)
        return std::nullopt;
    QByteArray tail = description.toUtf8();
    const qsizetype room = kMaxCounted - head.size();
    if (tail.size() > room) {
        qsizetype cut = room;
        // The first byte left out must not continue a character that is kept.
        while (cut > 0 && (uchar(tail[cut]) & 0xC0) == 0x80)
            --cut;
        tail.truncate(cut);
    }
    const QByteArray counted = head + tail;
    return char(counted.size()) + counted;
}
