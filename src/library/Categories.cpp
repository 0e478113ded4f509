#include "library/Categories.h"

#include "library/EntryList.h"
#include "library/LibraryPaths.h"

namespace library {

namespace {
EntryList categories(const QString& section) {
    return EntryList(sectionFilePath(section), "NumCats", "Cat", "Icon");
}
} // namespace

int categoryCount(const QString& section) {
    return categories(section).count();
}

QStringList categoryNames(const QString& section) {
    return categories(section).names();
}

QString categoryName(const QString& section, int n) {
    return categories(section).name(n);
}

int categoryIcon(const QString& section, int n) {
    return categories(section).otherInteger(n, 0);
}

int CategoryNumber(const QString& section, const QString& name) {
    return categories(section).numberOf(name);
}

int appendCategory(const QString& section, const QString& name, int icon) {
    return categories(section).append(name, QString::number(icon));
}

void removeCategory(const QString& section, int k) {
    categories(section).remove(k);
}

void exchangeCategories(const QString& section, int i, int j) {
    categories(section).exchange(i, j);
}

void writeCategoryName(const QString& section, int n, const QString& name) {
    categories(section).writeName(n, name);
}

void writeCategoryIcon(const QString& section, int n, int icon) {
    categories(section).writeOther(n, QString::number(icon));
}

} // namespace library
