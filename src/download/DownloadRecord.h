#pragma once

#include <QString>

// The file record a download writes into its folder's record file, and the stamps the
// completion adds to it. Widget-free: the dialog reads its controls into these values.
namespace download {

// The choices of the download dialog that go into the record.
struct DownloadRecordValues {
    QString desc;
    QString source;
    int openWhen = 0;
    bool prompt = true;
    QString promptDays;
    bool autoDelete = false;
    QString deleteDays;
    bool scanWhenDone = false;
};

// Writes Desc, Source, OpenWhen, Prompt, PromptDays, Delete, DeleteDays, DateDownloaded
// (today) and ScanWhenDone, in this order, into the record `fileName` of `recordFile`,
// together in one replacement of the file. Keys the record holds besides them stay.
void writeDownloadRecord(const QString& recordFile, const QString& fileName,
                         const DownloadRecordValues& values);

// The name of the first record of `recordFile` that is `fileName` without regard to
// letter case; empty when there is none.
QString findRecordName(const QString& recordFile, const QString& fileName);

// Writes today's date into `key` of the record found as findRecordName finds it. False,
// and nothing written, when the record file holds no such record.
bool stampRecord(const QString& recordFile, const QString& fileName, const char* key);

} // namespace download
