#pragma once

#include <QString>
#include <QStringList>

#include "platform/Profile.h"

namespace library {

// Key names of a file record.
namespace RecordKey {
inline constexpr char Desc[] = "Desc";
inline constexpr char Source[] = "Source";
inline constexpr char Notes[] = "Notes";
inline constexpr char DateDownloaded[] = "DateDownloaded";
inline constexpr char LastOpened[] = "LastOpened";
inline constexpr char LastScanned[] = "LastScanned";
inline constexpr char Delete[] = "Delete";
inline constexpr char DeleteDays[] = "DeleteDays";
inline constexpr char AlterDeleteOn[] = "AlterDeleteOn";
inline constexpr char OpenPrompt[] = "OpenPrompt";
inline constexpr char OpenWhen[] = "OpenWhen";
inline constexpr char Prompt[] = "Prompt";
inline constexpr char PromptDays[] = "PromptDays";
inline constexpr char ScanWhenDone[] = "ScanWhenDone";
} // namespace RecordKey

// Placeholders stored and shown as values.
inline constexpr char kClickHereToEdit[] = "Click here to edit"; // no description, source, notes
inline constexpr char kNever[] = "Never";                        // not opened or scanned
// The download date the event scan assumes when a record has none.
inline constexpr char kNoData[] = "NODATA";

// The record of one file: the ini section named by the file's name (no path) in the
// record file of its folder. Every call opens the record file, acts and is done.
class FileRecord {
public:
    FileRecord(QString recordFile, QString fileName);
    // The record of `fileName` in folder `folder` of section `section`.
    static FileRecord of(const QString& section, const QString& folder, const QString& fileName);

    const QString& recordFile() const { return file_.path(); }
    const QString& fileName() const { return name_; }

    // Reads with the record's own default for the key ("Click here to edit" for Desc,
    // Source and Notes; "Never" for LastOpened and LastScanned; "" for the dates; "0" for
    // OpenWhen; "30" for DeleteDays; "0" for Delete and "1" for OpenPrompt). Keys that are
    // written but never read (Prompt, PromptDays, ScanWhenDone) read as "".
    QString readString(const char* key) const;
    QString readString(const char* key, const QString& def) const;
    int readInteger(const char* key) const;
    int readInteger(const char* key, int def) const;
    bool readBool(const char* key) const;
    bool readBool(const char* key, bool def) const;

    void writeString(const char* key, const QString& value);
    void writeInteger(const char* key, int value);
    void writeBool(const char* key, bool value);
    // Writes today's date stamp into a date key (DateDownloaded, LastOpened, LastScanned,
    // AlterDeleteOn).
    void stampToday(const char* key);

    // The notes decoded into lines; the notes encoding of `lines` written.
    QStringList notes() const;
    void writeNotes(const QStringList& lines);

    // What a read of `key` yields when the record does not hold it.
    static QString defaultValue(const char* key);

    // Whether the record holds any key.
    bool exists() const;
    // Removes the whole record.
    void erase();

    // The names of every record of a record file, in file order.
    static QStringList fileNames(const QString& recordFile);
    // Every key of the record as "Key=Value" lines, for copying a record whole.
    QStringList keyValueLines() const;

private:
    platform::IniFile file_;
    QString name_;
};

} // namespace library
