#include "platform/Profile.h"

#include <limits>
#include <stdexcept>

#include "platform/ByteText.h"

namespace platform {

namespace {

using profile::Document;

// Names and values are single lines on disk.
QByteArray lineBytes(const QString& text) {
    return lineBytesFromText(text);
}

// Decimal with an optional sign, or hexadecimal after "0x" or "$" (which, as in the
// system's own conversion, may wrap into the negative range).
template <typename T> std::optional<T> parseInteger(QByteArrayView text) {
    using U = std::make_unsigned_t<T>;
    bool negative = false;
    bool hex = false;
    qsizetype i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        i = 2;
    } else {
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negative = text[i++] == '-';
        if (i < text.size() && text[i] == '$') {
            hex = true;
            ++i;
        }
    }
    if (i == text.size())
        return std::nullopt;
    U value = 0;
    if (hex) {
        if (text.size() - i > qsizetype(sizeof(T) * 2))
            return std::nullopt;
        for (; i < text.size(); ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            value = U(value << 4) | U(d);
        }
        return negative ? T(U(0) - value) : T(value);
    }
    const U limit =
        negative ? U(std::numeric_limits<T>::max()) + 1 : U(std::numeric_limits<T>::max());
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        const U d = U(c - '0');
        if (value > (limit - d) / 10)
            return std::nullopt;
        value = value * 10 + d;
    }
    return negative ? T(U(0) - value) : T(value);
}

QString cutValue(QString text) {
    if (text.size() > IniContent::kMaxValueLength) {
        qsizetype keep = IniContent::kMaxValueLength;
        if (text.at(keep - 1).isHighSurrogate())
            --keep; // never leave half a character
        text.truncate(keep);
    }
    return text;
}

} // namespace

// --- IniContent -----------------------------------------------------------------------

std::optional<QByteArrayView> IniContent::rawValue(const QString& section,
                                                   const QString& key) const {
    const std::optional<QByteArrayView> raw =
        doc_->value(doc_->findSection(lineBytes(section)), lineBytes(key));
    if (!raw)
        return std::nullopt;
    return profile::stripQuotes(*raw);
}

QString IniContent::readString(const QString& section, const QString& key,
                               const QString& def) const {
    const std::optional<QByteArrayView> raw = rawValue(section, key);
    return raw ? cutValue(withLegacyLetters(textFromBytes(*raw))) : def;
}

QString IniContent::readLines(const QString& section, const QString& key,
                              const QString& def) const {
    const std::optional<QByteArrayView> raw = rawValue(section, key);
    return raw ? cutValue(textFromBytes(*raw)) : def;
}

int IniContent::readInteger(const QString& section, const QString& key, int def) const {
    const std::optional<QByteArrayView> raw = rawValue(section, key);
    return raw ? parseInteger<int>(*raw).value_or(def) : def;
}

qint64 IniContent::readInt64(const QString& section, const QString& key, qint64 def) const {
    const std::optional<QByteArrayView> raw = rawValue(section, key);
    return raw ? parseInteger<qint64>(*raw).value_or(def) : def;
}

bool IniContent::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QStringList IniContent::readSections() const {
    QStringList out;
    out.reserve(doc_->sectionCount());
    for (int s = 0; s < doc_->sectionCount(); ++s)
        out.append(textFromBytes(doc_->sectionName(s)));
    return out;
}

QStringList IniContent::readSection(const QString& section) const {
    QStringList out;
    for (QByteArrayView key : doc_->keys(doc_->findSection(lineBytes(section))))
        out.append(textFromBytes(key));
    return out;
}

QStringList IniContent::readSectionValues(const QString& section) const {
    const int s = doc_->findSection(lineBytes(section));
    QStringList out;
    for (QByteArrayView key : doc_->keys(s)) {
        const QByteArrayView value = profile::stripQuotes(doc_->value(s, key).value_or(""));
        out.append(textFromBytes(key) + '=' + cutValue(withLegacyLetters(textFromBytes(value))));
    }
    return out;
}

bool IniContent::sectionExists(const QString& section) const {
    return !doc_->keys(doc_->findSection(lineBytes(section))).empty();
}

bool IniContent::valueExists(const QString& section, const QString& key) const {
    return rawValue(section, key).has_value();
}

profile::Document& IniContent::editable() {
    if (!edit_)
        throw std::logic_error("profile content opened for reading only");
    return *edit_;
}

void IniContent::setRaw(const QString& section, const QString& key, const QByteArray& value) {
    changed_ |= editable().setValue(lineBytes(section), lineBytes(key), value);
}

void IniContent::writeString(const QString& section, const QString& key, const QString& value) {
    setRaw(section, key, lineBytes(value));
}

void IniContent::writeInteger(const QString& section, const QString& key, int value) {
    setRaw(section, key, QByteArray::number(value));
}

void IniContent::writeInt64(const QString& section, const QString& key, qint64 value) {
    setRaw(section, key, QByteArray::number(value));
}

void IniContent::writeBool(const QString& section, const QString& key, bool value) {
    setRaw(section, key, value ? "1" : "0");
}

void IniContent::eraseSection(const QString& section) {
    changed_ |= editable().eraseSection(lineBytes(section));
}

void IniContent::deleteKey(const QString& section, const QString& key) {
    changed_ |= editable().deleteKey(lineBytes(section), lineBytes(key));
}

// --- IniFile --------------------------------------------------------------------------

void IniFile::inspect(const std::function<void(const IniContent&)>& reader) const {
    profile::read(path_, [&](const Document& doc) { reader(IniContent(doc)); });
}

void IniFile::update(const std::function<void(IniContent&)>& writer) {
    profile::modify(path_, [&](Document& doc) {
        IniContent content(doc);
        writer(content);
        return content.changed_;
    });
}

namespace {
template <typename F> auto query(const IniFile& file, F f) {
    decltype(f(std::declval<const IniContent&>())) result{};
    file.inspect([&](const IniContent& content) { result = f(content); });
    return result;
}
} // namespace

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    return query(*this, [&](const IniContent& c) { return c.readString(section, key, def); });
}

QString IniFile::readLines(const QString& section, const QString& key, const QString& def) const {
    return query(*this, [&](const IniContent& c) { return c.readLines(section, key, def); });
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    return query(*this, [&](const IniContent& c) { return c.readInteger(section, key, def); });
}

qint64 IniFile::readInt64(const QString& section, const QString& key, qint64 def) const {
    return query(*this, [&](const IniContent& c) { return c.readInt64(section, key, def); });
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return query(*this, [&](const IniContent& c) { return c.readBool(section, key, def); });
}

QStringList IniFile::readSections() const {
    return query(*this, [&](const IniContent& c) { return c.readSections(); });
}

QStringList IniFile::readSection(const QString& section) const {
    return query(*this, [&](const IniContent& c) { return c.readSection(section); });
}

QStringList IniFile::readSectionValues(const QString& section) const {
    return query(*this, [&](const IniContent& c) { return c.readSectionValues(section); });
}

bool IniFile::sectionExists(const QString& section) const {
    return query(*this, [&](const IniContent& c) { return c.sectionExists(section); });
}

bool IniFile::valueExists(const QString& section, const QString& key) const {
    return query(*this, [&](const IniContent& c) { return c.valueExists(section, key); });
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    update([&](IniContent& c) { c.writeString(section, key, value); });
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    update([&](IniContent& c) { c.writeInteger(section, key, value); });
}

void IniFile::writeInt64(const QString& section, const QString& key, qint64 value) {
    update([&](IniContent& c) { c.writeInt64(section, key, value); });
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    update([&](IniContent& c) { c.writeBool(section, key, value); });
}

void IniFile::eraseSection(const QString& section) {
    update([&](IniContent& c) { c.eraseSection(section); });
}

void IniFile::deleteKey(const QString& section, const QString& key) {
    update([&](IniContent& c) { c.deleteKey(section, key); });
}

} // namespace platform
