#pragma once

#include <QString>

// The download dialog's defaults in dlmain.ini: what a new dialog starts with and what
// it stores when its choices are to be kept. Widget-free; the dialog copies them to and
// from its controls.
namespace download {

struct AskerDefaults {
    // [Download]
    int openWhen = 0;
    int defaultSection = 0;
    int defaultCat = 0;
    bool downloadDetect = true;
    bool showDetails = true;
    bool autoMinimize = false;
    bool autoClose = false;
    bool autoPaste = false;
    bool promptDone = true;
    // [Management]
    bool promptIfNotOpened = true;
    QString promptDays = QStringLiteral("10");
    bool autoDelete = false;
    QString deleteDays = QStringLiteral("30");
    // [VirusScanner]; the scanner's command line is only read: without one there is
    // nothing to scan with.
    bool scanWhenDone = false;
    QString scannerCommandLine;

    // Every value from the settings file, each missing one with its table default.
    static AskerDefaults read();
    // Writes OpenWhen, DefaultSection, DefaultCat, DownloadDetect, ShowDetails,
    // AutoMinimize, AutoClose, AutoPaste and PromptDone under [Download], then
    // PromptIfNotOpened, PromptDays, AutoDelete and DeleteDays under [Management], then
    // ScanWhenDone under [VirusScanner], in this order.
    void write() const;
};

// The connection speed the statistics scale to ([Download] Speed), in bits per second.
qint64 connectionSpeedSetting();

} // namespace download
