#include "platform/ShellIcons.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
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

// Every picture of the file, a null image where an entry does not decode; none for a missing
// or damaged file.
QList<QImage> decodeIconFile(const QString& iconFile) {
    QList<QImage> images;
    QFile file(iconFile);
    if (!file.open(QIODevice::ReadOnly))
        return images;
    for (const QByteArray& png : splitIconFile(file.readAll()))
        images.append(QImage::fromData(png, "PNG"));
    return images;
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

QList<QImage> iconImagesFromFile(const QString& iconFile, int count) {
    const QList<QImage> decoded = decodeIconFile(iconFile);
    QList<QImage> images;
    for (int i = 0; i < count; ++i)
        images.append(i < decoded.size() && !decoded[i].isNull() ? decoded[i] : plainFolderImage());
    return images;
}

QImage iconImageFromFile(const QString& iconFile, int index) {
    if (index < 0)
        return plainFolderImage();
    return iconImagesFromFile(iconFile, index + 1).value(index);
}

QList<QIcon> iconsFromFile(const QString& iconFile, int count) {
    QList<QIcon> icons;
    for (const QImage& image : iconImagesFromFile(iconFile, count))
        icons.append(QIcon(QPixmap::fromImage(image)));
    return icons;
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
