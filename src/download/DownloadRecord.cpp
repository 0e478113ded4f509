#include "download/DownloadRecord.h"

#include "library/FileRecord.h"
#include "platform/Dates.h"
#include "platform/Profile.h"

namespace download {

namespace {

QString flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

void writeDownloadRecord(const QString& recordFile, const QString& fileName,
                         const DownloadRecordValues& values) {
    namespace key = library::RecordKey;
    const QString today = platform::todayStamp();
    platform::IniFile(recordFile).update([&](platform::IniContent& ini) {
        ini.writeString(fileName, key::Desc, values.desc);
        ini.writeString(fileName, key::Source, values.source);
        ini.writeString(fileName, key::OpenWhen, QString::number(values.openWhen));
        ini.writeString(fileName, key::Prompt, flag(values.prompt));
        ini.writeString(fileName, key::PromptDays, values.promptDays);
        ini.writeString(fileName, key::Delete, flag(values.autoDelete));
        ini.writeString(fileName, key::DeleteDays, values.deleteDays);
        ini.writeString(fileName, key::DateDownloaded, today);
        ini.writeString(fileName, key::ScanWhenDone, flag(values.scanWhenDone));
    });
}

QString findRecordName(const QString& recordFile, const QString& fileName) {
    const QString wanted = fileName.toUpper();
    for (const QString& name : library::FileRecord::fileNames(recordFile)) {
        if (name.toUpper() == wanted)
            return name;
    }
    return {};
}

bool stampRecord(const QString& recordFile, const QString& fileName, const char* key) {
    const QString name = findRecordName(recordFile, fileName);
    if (name.isEmpty())
        return false;
    library::FileRecord(recordFile, name).stampToday(key);
    return true;
}

} // namespace download
