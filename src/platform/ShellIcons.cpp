#include "platform/ShellIcons.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPixmap>
#include <QtEndian>

#include "platform/Resources.h"

namespace platform {

namespace {

constexpr char kMagic[] = "QBYICONS";
constexpr int kMagicSize = 8;
constexpr quint16 kVersion = 1;
constexpr int kHeaderSize = kMagicSize + 2 + 2;

// The PNG images of an icon file, still encoded; empty when the file is missing or its
// header and lengths do not add up to the file.
QList<QByteArray> splitIconFile(const QByteArray& bytes) {
    if (bytes.size() < kHeaderSize || !bytes.startsWith(QByteArrayView(kMagic, kMagicSize)))
        return {};
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(data + kMagicSize) != kVersion)
        return {};
    const int count = qFromLittleEndian<quint16>(data + kMagicSize + 2);
    if (count > kMaxIconFileEntries)
        return {};
    const qint64 tableEnd = kHeaderSize + qint64(count) * 4;
    if (bytes.size() < tableEnd)
        return {};
    QList<QByteArray> images;
    qint64 at = tableEnd;
    for (int i = 0; i < count; ++i) {
        const qint64 length = qFromLittleEndian<quint32>(data + kHeaderSize + i * 4);
        if (at + length > bytes.size())
            return {};
        images.append(bytes.mid(at, length));
        at += length;
    }
    return at == bytes.size() ? images : QList<QByteArray>();
}

struct CachedFile {
    QByteArray bytes;
    QList<QImage> images; // a null image where an entry does not decode
};

// The file is read at every call (it is small), and decoded again only when its bytes
// changed: a time stamp can miss a rewrite of the same size within its resolution.
const QList<QImage>& loadIcons(const QString& iconFile) {
    static QHash<QString, CachedFile> cache;
    static const QList<QImage> none;
    QFile file(iconFile);
    if (!file.open(QIODevice::ReadOnly))
        return none;
    const QByteArray bytes = file.readAll();
    CachedFile& entry = cache[QFileInfo(iconFile).absoluteFilePath()];
    if (entry.images.isEmpty() || entry.bytes != bytes) {
        entry.bytes = bytes;
        entry.images.clear();
        for (const QByteArray& png : splitIconFile(bytes))
            entry.images.append(QImage::fromData(png, "PNG"));
    }
    return entry.images;
}

} // namespace

QByteArray iconFileBytes(const QList<QImage>& icons) {
    if (icons.size() > kMaxIconFileEntries)
        return {};
    QList<QByteArray> pngs;
    for (const QImage& icon : icons) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        icon.save(&buffer, "PNG");
        pngs.append(png);
    }
    QByteArray bytes(kMagic, kMagicSize);
    uchar number[4];
    qToLittleEndian<quint16>(kVersion, number);
    bytes.append(reinterpret_cast<const char*>(number), 2);
    qToLittleEndian<quint16>(quint16(icons.size()), number);
    bytes.append(reinterpret_cast<const char*>(number), 2);
    for (const QByteArray& png : pngs) {
        qToLittleEndian<quint32>(quint32(png.size()), number);
        bytes.append(reinterpret_cast<const char*>(number), 4);
    }
    for (const QByteArray& png : pngs)
        bytes.append(png);
    return bytes;
}

QImage iconImageFromFile(const QString& iconFile, int index) {
    const QList<QImage>& icons = loadIcons(iconFile);
    if (index >= 0 && index < icons.size() && !icons[index].isNull())
        return icons[index];
    return plainFolderImage();
}

QIcon iconFromFile(const QString& iconFile, int index) {
    return QIcon(QPixmap::fromImage(iconImageFromFile(iconFile, index)));
}

QString folderIconFile(const QString& setting) {
    return QDir::isRelativePath(setting) ? resourceFile(setting) : setting;
}

QIcon applicationIcon() {
    return QIcon(":/quillbay/quillbay.png");
}

} // namespace platform
