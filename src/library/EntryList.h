#pragma once

#include <QString>
#include <QStringList>

#include "platform/Profile.h"

namespace library {

// A numbered list of named entries in one ini file: a count under [Main] and entries
// [<prefix>1] .. [<prefix><count>], each with a Name and one more key. Sections
// (Headers.ini: NumHeads, Header<n>, Location) and folders (section file: NumCats,
// Cat<n>, Icon) are both such lists. Numbers run from 1; every change is one atomic
// replacement of the file, so a crash never leaves a count that disagrees with the
// entries.
class EntryList {
public:
    EntryList(QString path, QString countKey, QString prefix, QString otherKey);

    // The stored count; negative or absurd values (a damaged file) are bounded.
    int count() const;
    // "Name" of entry n, empty when missing.
    QString name(int n) const;
    // The other key of entry n as text, empty when missing.
    QString other(int n) const;
    int otherInteger(int n, int def) const;
    // The names of entries 1..count.
    QStringList names() const;
    // The number of the LAST entry whose name equals `name` exactly (case included), 0
    // when none does.
    int numberOf(const QString& name) const;

    // Adds an entry after the last one; returns its number.
    int append(const QString& name, const QString& other);
    // Removes entry k: the later entries move up one place and the count drops by one.
    // Numbers outside 1..count change nothing.
    void remove(int k);
    // Entries i and j exchange their name and other key.
    void exchange(int i, int j);
    void writeName(int n, const QString& name);
    void writeOther(int n, const QString& value);

    static constexpr int kMaxEntries = 65536;

private:
    QString section(int n) const { return prefix_ + QString::number(n); }
    int countIn(const platform::IniContent& c) const;

    platform::IniFile file_;
    QString countKey_;
    QString prefix_;
    QString otherKey_;
};

} // namespace library
