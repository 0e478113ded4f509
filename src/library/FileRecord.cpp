#include "library/FileRecord.h"

#include "library/LibraryPaths.h"
#include "library/Notes.h"
#include "platform/Dates.h"

namespace library {

namespace {

struct RecordDefault {
    const char* key;
    const char* def;
};

// What a reader gets for a key the record does not hold.
const RecordDefault kDefaults[] = {
    {RecordKey::Desc, kClickHereToEdit},
    {RecordKey::Source, kClickHereToEdit},
    {RecordKey::Notes, kClickHereToEdit},
    {RecordKey::DateDownloaded, ""},
    {RecordKey::LastOpened, kNever},
    {RecordKey::LastScanned, kNever},
    {RecordKey::Delete, "0"},
    {RecordKey::DeleteDays, "30"},
    {RecordKey::AlterDeleteOn, ""},
    {RecordKey::OpenPrompt, "1"},
    {RecordKey::OpenWhen, "0"},
    {RecordKey::Prompt, ""},
    {RecordKey::PromptDays, ""},
    {RecordKey::ScanWhenDone, ""},
};

QString defaultOf(const char* key) {
    for (const RecordDefault& d : kDefaults) {
        if (qstricmp(d.key, key) == 0)
            return QString::fromUtf8(d.def);
    }
    return {};
}

} // namespace

FileRecord::FileRecord(QString recordFile, QString fileName)
    : file_(std::move(recordFile)), name_(std::move(fileName)) {}

FileRecord FileRecord::of(const QString& section, const QString& folder, const QString& fileName) {
    return FileRecord(recordFilePath(section, folder), fileName);
}

QString FileRecord::defaultValue(const char* key) {
    return defaultOf(key);
}

QString FileRecord::readString(const char* key) const {
    return file_.readString(name_, key, defaultOf(key));
}

QString FileRecord::readString(const char* key, const QString& def) const {
    return file_.readString(name_, key, def);
}

int FileRecord::readInteger(const char* key) const {
    return file_.readInteger(name_, key, defaultOf(key).toInt());
}

int FileRecord::readInteger(const char* key, int def) const {
    return file_.readInteger(name_, key, def);
}

bool FileRecord::readBool(const char* key) const {
    return file_.readBool(name_, key, defaultOf(key).toInt() != 0);
}

bool FileRecord::readBool(const char* key, bool def) const {
    return file_.readBool(name_, key, def);
}

void FileRecord::writeString(const char* key, const QString& value) {
    file_.writeString(name_, key, value);
}

void FileRecord::writeInteger(const char* key, int value) {
    file_.writeInteger(name_, key, value);
}

void FileRecord::writeBool(const char* key, bool value) {
    file_.writeBool(name_, key, value);
}

void FileRecord::stampToday(const char* key) {
    file_.writeString(name_, key, platform::todayStamp());
}

QStringList FileRecord::notes() const {
    return notesLines(file_.readLines(name_, RecordKey::Notes, defaultOf(RecordKey::Notes)));
}

void FileRecord::writeNotes(const QStringList& lines) {
    writeString(RecordKey::Notes, NotesToString(lines));
}

bool FileRecord::exists() const {
    return file_.sectionExists(name_);
}

void FileRecord::erase() {
    file_.eraseSection(name_);
}

QStringList FileRecord::fileNames(const QString& recordFile) {
    return platform::IniFile(recordFile).readSections();
}

QStringList FileRecord::keyValueLines() const {
    return file_.readSectionValues(name_);
}

} // namespace library
