#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/ProfileStore.h"

namespace platform {

// The reading and writing rules of profile values, applied to one parsed file:
// - section and key names compare without regard to case; a name or value never holds a
//   line break (carriage returns and line feeds are written as blanks, so text from
//   outside can never add a key or a section);
// - a read returns the first key of the first section of that name, with surrounding
//   blanks and one pair of enclosing double or single quotes removed, cut to 1023
//   characters; a missing key gives the caller's default;
// - integers are decimal (or hexadecimal after "0x" or "$"); text that does not parse,
//   or does not fit, gives the default; booleans are integers, any non-zero one is true,
//   and they are written "1" and "0".
class IniContent {
public:
    static constexpr int kMaxValueLength = 1023;

    QString readString(const QString& section, const QString& key, const QString& def) const;
    // A value that may hold kNotesSeparator, read as readString reads it but with the
    // separators kept.
    QString readLines(const QString& section, const QString& key, const QString& def) const;
    int readInteger(const QString& section, const QString& key, int def) const;
    qint64 readInt64(const QString& section, const QString& key, qint64 def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    // Every section name in file order (no size limit).
    QStringList readSections() const;
    // The key names of a section, in file order.
    QStringList readSection(const QString& section) const;
    // "Key=Value" for every key of a section, each value read as readString reads it.
    QStringList readSectionValues(const QString& section) const;
    // A section exists when it holds at least one key.
    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeInt64(const QString& section, const QString& key, qint64 value);
    void writeBool(const QString& section, const QString& key, bool value);
    void eraseSection(const QString& section);
    void deleteKey(const QString& section, const QString& key);

private:
    friend class IniFile;
    explicit IniContent(const profile::Document& doc) : doc_(&doc) {}
    explicit IniContent(profile::Document& doc) : doc_(&doc), edit_(&doc) {}
    profile::Document& editable();
    std::optional<QByteArrayView> rawValue(const QString& section, const QString& key) const;
    void setRaw(const QString& section, const QString& key, const QByteArray& value);

    const profile::Document* doc_;
    profile::Document* edit_ = nullptr;
    bool changed_ = false;
};

// A private-profile (ini) file, named by its full path. Every call opens the file, acts
// and is done: a change made by anyone in between is always seen. Every write replaces
// the file atomically and throws ProfileWriteError ("Unable to write to <path>") when
// the system refuses it.
class IniFile {
public:
    explicit IniFile(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }

    QString readString(const QString& section, const QString& key, const QString& def) const;
    QString readLines(const QString& section, const QString& key, const QString& def) const;
    int readInteger(const QString& section, const QString& key, int def) const;
    qint64 readInt64(const QString& section, const QString& key, qint64 def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;
    QStringList readSections() const;
    QStringList readSection(const QString& section) const;
    QStringList readSectionValues(const QString& section) const;
    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeInt64(const QString& section, const QString& key, qint64 value);
    void writeBool(const QString& section, const QString& key, bool value);
    void eraseSection(const QString& section);
    void deleteKey(const QString& section, const QString& key);

    // Several reads from one state of the file.
    void inspect(const std::function<void(const IniContent&)>& reader) const;
    // Several writes that reach the file together in one replacement, or not at all.
    void update(const std::function<void(IniContent&)>& writer);

private:
    QString path_;
};

} // namespace platform
