#pragma once

#include <QString>
#include <QStringList>

// The folders of one section, in its section file "<section>.ini": [Main] NumCats and
// [Cat<n>] Name / Icon. Numbers run from 1 in the order the folders appear; every call
// reads or changes the file at once.
namespace library {

int categoryCount(const QString& section);
// The folder names in order (empty for an entry without Name).
QStringList categoryNames(const QString& section);
QString categoryName(const QString& section, int n);
// [Cat<n>] Icon, the index into the icon file; 0 when missing or unreadable.
int categoryIcon(const QString& section, int n);
// The number of the last folder of the section named exactly `name`, 0 when none.
int CategoryNumber(const QString& section, const QString& name);

// Adds [Cat<count+1>] with Name and Icon and counts it; returns its number.
int appendCategory(const QString& section, const QString& name, int icon);
// Removes entry k; the later ones move up a place.
void removeCategory(const QString& section, int k);
// Folders i and j exchange places (each takes the other's Name and Icon).
void exchangeCategories(const QString& section, int i, int j);
void writeCategoryName(const QString& section, int n, const QString& name);
void writeCategoryIcon(const QString& section, int n, int icon);

} // namespace library
