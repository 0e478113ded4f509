// Profile-file figures, printed in milliseconds:
//  (a) six keys read from every record of a 10,000-record file;
//  (b) one key written into each of 1,000 records of a 1,000-record file, each write a
//      full atomic replacement of the file (and, for reference, the same without the
//      flush to disk before each rename);
//  (c) the reads of (a) done by re-parsing the file at each read, measured on a sample
//      of records and projected to all of them.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "platform/Profile.h"

namespace {

const char* const kReadKeys[] = {"Desc", "Source", "DateDownloaded", "LastOpened"};

QString recordName(int i) {
    return QString("download-%1 [mirror].zip").arg(i, 5, 10, QChar('0'));
}

// A record file shaped like the ones the program writes: fourteen keys per record.
void makeRecordFile(const QString& path, int records) {
    QByteArray out;
    for (int i = 0; i < records; ++i) {
        out += "[" + recordName(i).toUtf8() + "]\r\n";
        out += "Desc=Installer for version " + QByteArray::number(i) + " of the tool\r\n";
        out += "Source=http://downloads.example.org/files/release/download-" +
               QByteArray::number(i) + ".zip\r\n";
        out += "Notes=first line\xFFsecond line\r\n";
        out += "DateDownloaded=5/12/2026\r\nLastOpened=Never\r\nLastScanned=Never\r\n";
        out += "Delete=0\r\nDeleteDays=30\r\nAlterDeleteOn=\r\nOpenPrompt=1\r\n";
        out += "OpenWhen=0\r\nPrompt=1\r\nPromptDays=10\r\nScanWhenDone=0\r\n";
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// Six reads of one record; returns a checksum so that nothing is optimised away.
qint64 readRecord(const platform::IniFile& file, const QString& name) {
    qint64 sum = 0;
    for (const char* key : kReadKeys)
        sum += file.readString(name, key, QString()).size();
    sum += file.readBool(name, "Delete", false) ? 1 : 0;
    sum += file.readInteger(name, "DeleteDays", 30);
    return sum;
}

double readAll(const platform::IniFile& file, int records, qint64& sum) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < records; ++i)
        sum += readRecord(file, recordName(i));
    return double(t.nsecsElapsed()) / 1e6;
}

double writeAll(platform::IniFile& file, int records, const QString& value) {
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < records; ++i)
        file.writeString(recordName(i), "LastOpened", value);
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString big = dir.filePath("Downloads-Large.ini");
    const QString small = dir.filePath("Downloads-Small.ini");
    makeRecordFile(big, 10000);
    makeRecordFile(small, 1000);
    std::printf("record files: 10,000 records = %lld bytes, 1,000 records = %lld bytes\n",
                QFileInfo(big).size(), QFileInfo(small).size());

    qint64 sum = 0;
    const platform::IniFile bigFile(big);
    const double a = readAll(bigFile, 10000, sum);
    std::printf("(a) 60,000 reads (6 keys x 10,000 records):            %9.1f ms\n", a);

    platform::IniFile smallFile(small);
    const double b = writeAll(smallFile, 1000, "5/13/2026");
    std::printf("(b) 1,000 writes into a 1,000-record file:              %9.1f ms\n", b);
    platform::profile::setSyncEnabled(false);
    const double bNoSync = writeAll(smallFile, 1000, "5/14/2026");
    platform::profile::setSyncEnabled(true);
    std::printf("    the same without the flush before each rename:     %9.1f ms\n", bNoSync);

    const int sample = 100;
    platform::profile::setCacheEnabled(false);
    const double c = readAll(bigFile, sample, sum);
    platform::profile::setCacheEnabled(true);
    std::printf("(c) re-parsing at each read: %d reads took %.1f ms;\n", sample * 6, c);
    std::printf("    projected to 60,000 reads:                         %9.1f ms\n",
                c * 10000.0 / sample);
    std::printf("(checksum %lld)\n", sum);
    return 0;
}
