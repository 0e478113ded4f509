#include "library/Sections.h"

#include "library/EntryList.h"
#include "library/LibraryPaths.h"

namespace library {

namespace {
EntryList sections() {
    return EntryList(sectionListPath(), "NumHeads", "Header", "Location");
}
} // namespace

int sectionCount() {
    return sections().count();
}

QStringList sectionNames() {
    return sections().names();
}

QString sectionName(int n) {
    return sections().name(n);
}

QString sectionLocation(int n) {
    return sections().other(n);
}

int HeaderNumber(const QString& name) {
    return sections().numberOf(name);
}

int appendSection(const QString& name, const QString& location) {
    return sections().append(name, location);
}

void removeSection(int k) {
    sections().remove(k);
}

void writeSectionName(int n, const QString& name) {
    sections().writeName(n, name);
}

void writeSectionLocation(int n, const QString& location) {
    sections().writeOther(n, location);
}

} // namespace library
