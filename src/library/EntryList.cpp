#include "library/EntryList.h"

namespace library {

namespace {
const QString kMain = QStringLiteral("Main");
const QString kName = QStringLiteral("Name");
} // namespace

EntryList::EntryList(QString path, QString countKey, QString prefix, QString otherKey)
    : file_(std::move(path)), countKey_(std::move(countKey)), prefix_(std::move(prefix)),
      otherKey_(std::move(otherKey)) {}

int EntryList::countIn(const platform::IniContent& c) const {
    return qBound(0, c.readInteger(kMain, countKey_, 0), kMaxEntries);
}

int EntryList::count() const {
    int n = 0;
    file_.inspect([&](const platform::IniContent& c) { n = countIn(c); });
    return n;
}

QString EntryList::name(int n) const {
    return file_.readString(section(n), kName, QString());
}

QString EntryList::other(int n) const {
    return file_.readString(section(n), otherKey_, QString());
}

int EntryList::otherInteger(int n, int def) const {
    return file_.readInteger(section(n), otherKey_, def);
}

QStringList EntryList::names() const {
    QStringList out;
    file_.inspect([&](const platform::IniContent& c) {
        const int n = countIn(c);
        for (int i = 1; i <= n; ++i)
            out.append(c.readString(section(i), kName, QString()));
    });
    return out;
}

int EntryList::numberOf(const QString& wanted) const {
    int found = 0;
    file_.inspect([&](const platform::IniContent& c) {
        const int n = countIn(c);
        for (int i = 1; i <= n; ++i) {
            if (c.readString(section(i), kName, QString()) == wanted)
                found = i;
        }
    });
    return found;
}

int EntryList::append(const QString& name, const QString& other) {
    int number = 0;
    file_.update([&](platform::IniContent& c) {
        c.writeInteger(kMain, countKey_, countIn(c) + 1);
        number = countIn(c);
        c.writeString(section(number), kName, name);
        c.writeString(section(number), otherKey_, other);
    });
    return number;
}

void EntryList::remove(int k) {
    file_.update([&](platform::IniContent& c) {
        const int n = countIn(c);
        if (k < 1 || k > n)
            return;
        // Each later entry moves up one place; the last one is then a copy and goes.
        for (int i = k; i < n; ++i) {
            c.writeString(section(i), kName, c.readString(section(i + 1), kName, QString()));
            c.writeString(section(i), otherKey_,
                          c.readString(section(i + 1), otherKey_, QString()));
        }
        c.eraseSection(section(n));
        c.writeInteger(kMain, countKey_, n - 1);
    });
}

void EntryList::exchange(int i, int j) {
    file_.update([&](platform::IniContent& c) {
        const int n = countIn(c);
        if (i == j || i < 1 || j < 1 || i > n || j > n)
            return;
        const QString nameI = c.readString(section(i), kName, QString());
        const QString otherI = c.readString(section(i), otherKey_, QString());
        c.writeString(section(i), kName, c.readString(section(j), kName, QString()));
        c.writeString(section(i), otherKey_, c.readString(section(j), otherKey_, QString()));
        c.writeString(section(j), kName, nameI);
        c.writeString(section(j), otherKey_, otherI);
    });
}

void EntryList::writeName(int n, const QString& name) {
    file_.writeString(section(n), kName, name);
}

void EntryList::writeOther(int n, const QString& value) {
    file_.writeString(section(n), otherKey_, value);
}

} // namespace library
