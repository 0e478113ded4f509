#include "manager/DetailsRules.h"

#include "library/FileRecord.h"
#include "platform/Clock.h"
#include "platform/Dates.h"
#include "platform/Profile.h"

namespace manager {

Countdown deletionCountdown(const QString& dateDownloaded, const QString& alterDeleteOn,
                            int deleteDays, const QDate& today) {
    QDate base = today;
    if (!alterDeleteOn.isEmpty())
        base = platform::parseShortDate(alterDeleteOn);
    else if (!dateDownloaded.isEmpty())
        base = platform::parseShortDate(dateDownloaded);
    const qint64 left = deleteDays - base.daysTo(today);
    if (left > 0)
        return {QString::number(left), false};
    return {"00", true};
}

bool applyDaysRule(const QString& recordFile, const QString& fileName, const QString& typed) {
    platform::IniFile file(recordFile);
    const QString stored = file.readString(fileName, library::RecordKey::DeleteDays, "00");
    if (stored == typed)
        return false;
    file.update([&](platform::IniContent& content) {
        content.writeString(fileName, library::RecordKey::AlterDeleteOn, platform::todayStamp());
        content.writeString(fileName, library::RecordKey::DeleteDays, typed);
    });
    return true;
}

bool looksLikeAddress(const QString& source) {
    return source.startsWith("http://") || source.startsWith("www.") ||
           source.startsWith("ftp://") || source.startsWith("ftp.");
}

QString sourceExtension(const QString& source) {
    for (qsizetype i = source.size() - 1; i >= 0; --i) {
        const QChar c = source.at(i);
        if (c == '\\' || c == ':')
            return QString();
        if (c == '.')
            return source.mid(i);
    }
    return QString();
}

SourceAction sourceClickAction(const QString& source) {
    return sourceExtension(source).isEmpty() ? SourceAction::OpenInBrowser
                                             : SourceAction::Redownload;
}

SourceAction goThereAction(const QString& source) {
    const QString ext = sourceExtension(source).toUpper();
    return ext == ".EXE" || ext == ".ZIP" ? SourceAction::Redownload : SourceAction::OpenInBrowser;
}

Redownload redownloadOf(const QString& source) {
    Redownload r;
    r.url = source;
    r.protocol = source.startsWith("ftp") ? "ftp" : "http";
    r.fileName = source.mid(source.lastIndexOf('/') + 1);
    r.directory = source;
    if (!r.fileName.isEmpty()) {
        const qsizetype at = r.directory.indexOf(r.fileName);
        if (at >= 0)
            r.directory.remove(at, r.fileName.size());
    }
    return r;
}

} // namespace manager
