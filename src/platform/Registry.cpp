#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/ByteText.h"
#include "platform/ProfileStore.h"

namespace platform {

namespace {

using profile::Document;

const char* const kRootNames[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT"};

QString normalKey(const QString& key) {
    return key.split('\\', Qt::SkipEmptyParts).join('\\');
}

// Value names become ini keys: the default value is "@", and the characters an ini key
// cannot hold (or that a read would strip) are written as %XX.
QByteArray encodeValueName(const QString& name) {
    if (name.isEmpty())
        return "@";
    const QByteArray bytes = bytesFromText(name);
    if (bytes == "@")
        return "%40";
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar c = uchar(bytes[i]);
        const bool edge = i == 0 || i == bytes.size() - 1;
        if (c == '%' || c == '=' || c < 0x20 || (edge && (c == ' ' || c == '\t')) ||
            (i == 0 && (c == ';' || c == '['))) {
            out.append('%').append(QByteArray::number(c, 16).rightJustified(2, '0').toUpper());
        } else {
            out.append(char(c));
        }
    }
    return out;
}

QString decodeValueName(QByteArrayView key) {
    if (key == "@")
        return {};
    return textFromBytes(QByteArray::fromPercentEncoding(key.toByteArray()));
}

bool isKeyOrBelow(const QString& section, const QString& key) {
    return section.compare(key, Qt::CaseInsensitive) == 0 ||
           section.startsWith(key + '\\', Qt::CaseInsensitive);
}

bool keyExistsIn(const Document& doc, const QString& key) {
    if (key.isEmpty())
        return true;
    for (int s = 0; s < doc.sectionCount(); ++s) {
        if (isKeyOrBelow(textFromBytes(doc.sectionName(s)), key))
            return true;
    }
    return false;
}

// Values are always written inside quotes, so that a read gives back their exact text,
// blanks and quotes included.
QByteArray quoted(const QString& data) {
    return '"' + lineBytesFromText(data) + '"';
}

} // namespace

Registry::Registry(Root root) : root_(root) {}

QString Registry::folder() {
    QString dir = qEnvironmentVariable("QUILLBAY_REGISTRY");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
              "/quillbay/registry";
    dir = QDir::cleanPath(QDir(dir).absolutePath());
    return dir.endsWith('/') ? dir : dir + '/';
}

QString Registry::rootName(Root root) {
    return kRootNames[root];
}

std::optional<Registry::Root> Registry::rootFromName(const QString& name) {
    for (int r = CurrentUser; r <= ClassesRoot; ++r) {
        if (name.compare(kRootNames[r], Qt::CaseInsensitive) == 0)
            return Root(r);
    }
    return std::nullopt;
}

QString Registry::filePath() const {
    return folder() + rootName(root_) + ".ini";
}

namespace {
template <typename F> auto inspect(const QString& path, F f) {
    decltype(f(std::declval<const Document&>())) result{};
    profile::read(path, [&](const Document& doc) { result = f(doc); });
    return result;
}

bool change(const QString& path, const std::function<bool(Document&)>& edit) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    try {
        profile::modify(path, edit);
        return true;
    } catch (const ProfileWriteError&) {
        return false;
    }
}
} // namespace

bool Registry::keyExists(const QString& key) const {
    const QString k = normalKey(key);
    return inspect(filePath(), [&](const Document& doc) { return keyExistsIn(doc, k); });
}

std::optional<QString> Registry::readValue(const QString& key, const QString& name) const {
    const QByteArray section = lineBytesFromText(normalKey(key));
    return inspect(filePath(), [&](const Document& doc) -> std::optional<QString> {
        const auto raw = doc.value(doc.findSection(section), encodeValueName(name));
        if (!raw)
            return std::nullopt;
        return textFromBytes(profile::stripQuotes(*raw));
    });
}

bool Registry::valueExists(const QString& key, const QString& name) const {
    return readValue(key, name).has_value();
}

QString Registry::readString(const QString& key, const QString& name, const QString& def) const {
    return readValue(key, name).value_or(def);
}

QStringList Registry::subKeys(const QString& key) const {
    const QString k = normalKey(key);
    const QString prefix = k.isEmpty() ? QString() : k + '\\';
    return inspect(filePath(), [&](const Document& doc) {
        QStringList out;
        for (int s = 0; s < doc.sectionCount(); ++s) {
            const QString section = textFromBytes(doc.sectionName(s));
            if (section.size() <= prefix.size() || !section.startsWith(prefix, Qt::CaseInsensitive))
                continue;
            const QString child = section.mid(prefix.size()).section('\\', 0, 0);
            if (!child.isEmpty() && !out.contains(child, Qt::CaseInsensitive))
                out.append(child);
        }
        return out;
    });
}

QStringList Registry::valueNames(const QString& key) const {
    const QByteArray section = lineBytesFromText(normalKey(key));
    return inspect(filePath(), [&](const Document& doc) {
        QStringList out;
        for (QByteArrayView name : doc.keys(doc.findSection(section)))
            out.append(decodeValueName(name));
        return out;
    });
}

bool Registry::createKey(const QString& key) {
    const QString k = normalKey(key);
    return change(filePath(), [&](Document& doc) {
        return !keyExistsIn(doc, k) && doc.addSection(lineBytesFromText(k));
    });
}

bool Registry::writeValue(const QString& key, const QString& name, const QString& data) {
    const QByteArray section = lineBytesFromText(normalKey(key));
    return change(filePath(), [&](Document& doc) {
        return doc.setValue(section, encodeValueName(name), quoted(data));
    });
}

bool Registry::deleteValue(const QString& key, const QString& name) {
    const QByteArray section = lineBytesFromText(normalKey(key));
    return change(filePath(),
                  [&](Document& doc) { return doc.deleteKey(section, encodeValueName(name)); });
}

bool Registry::deleteKey(const QString& key) {
    const QString k = normalKey(key);
    if (k.isEmpty())
        return false; // a root itself cannot be deleted
    return change(filePath(), [&](Document& doc) {
        return doc.eraseSectionsIf(
            [&](QByteArrayView section) { return isKeyOrBelow(textFromBytes(section), k); });
    });
}

} // namespace platform
