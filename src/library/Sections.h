#pragma once

#include <QString>
#include <QStringList>

// The section list, Headers.ini: [Main] NumHeads and [Header<n>] Name / Location.
// Numbers run from 1 in the order the sections appear; every call reads or changes the
// file at once.
namespace library {

int sectionCount();
// The names in order (empty for an entry without Name).
QStringList sectionNames();
QString sectionName(int n);
// [Header<n>] Location, an absolute directory ending in "/"; empty when missing.
QString sectionLocation(int n);
// The number of the last section named exactly `name`, 0 when none.
int HeaderNumber(const QString& name);

// Adds [Header<count+1>] with Name and Location and counts it; returns its number.
int appendSection(const QString& name, const QString& location);
// Removes entry k; the later ones move up a place.
void removeSection(int k);
void writeSectionName(int n, const QString& name);
void writeSectionLocation(int n, const QString& location);

} // namespace library
