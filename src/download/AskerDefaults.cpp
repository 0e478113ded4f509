#include "download/AskerDefaults.h"

#include "library/Settings.h"

namespace download {

namespace {
const QString kDownload = QStringLiteral("Download");
const QString kManagement = QStringLiteral("Management");
const QString kVirusScanner = QStringLiteral("VirusScanner");
} // namespace

AskerDefaults AskerDefaults::read() {
    const Settings s;
    AskerDefaults d;
    d.openWhen = s.readInteger(kDownload, "OpenWhen");
    d.defaultSection = s.readInteger(kDownload, "DefaultSection");
    d.defaultCat = s.readInteger(kDownload, "DefaultCat");
    d.downloadDetect = s.readBool(kDownload, "DownloadDetect");
    d.showDetails = s.readBool(kDownload, "ShowDetails");
    d.autoMinimize = s.readBool(kDownload, "AutoMinimize");
    d.autoClose = s.readBool(kDownload, "AutoClose");
    d.autoPaste = s.readBool(kDownload, "AutoPaste");
    d.promptDone = s.readBool(kDownload, "PromptDone");
    d.promptIfNotOpened = s.readBool(kManagement, "PromptIfNotOpened");
    d.promptDays = s.readString(kManagement, "PromptDays");
    d.autoDelete = s.readBool(kManagement, "AutoDelete");
    d.deleteDays = s.readString(kManagement, "DeleteDays");
    d.scannerCommandLine = s.readString(kVirusScanner, "CommandLine");
    d.scanWhenDone = s.readBool(kVirusScanner, "ScanWhenDone");
    return d;
}

void AskerDefaults::write() const {
    Settings s;
    s.writeInteger(kDownload, "OpenWhen", openWhen);
    s.writeInteger(kDownload, "DefaultSection", defaultSection);
    s.writeInteger(kDownload, "DefaultCat", defaultCat);
    s.writeBool(kDownload, "DownloadDetect", downloadDetect);
    s.writeBool(kDownload, "ShowDetails", showDetails);
    s.writeBool(kDownload, "AutoMinimize", autoMinimize);
    s.writeBool(kDownload, "AutoClose", autoClose);
    s.writeBool(kDownload, "AutoPaste", autoPaste);
    s.writeBool(kDownload, "PromptDone", promptDone);
    s.writeBool(kManagement, "PromptIfNotOpened", promptIfNotOpened);
    s.writeString(kManagement, "PromptDays", promptDays);
    s.writeBool(kManagement, "AutoDelete", autoDelete);
    s.writeString(kManagement, "DeleteDays", deleteDays);
    s.writeBool(kVirusScanner, "ScanWhenDone", scanWhenDone);
}

qint64 connectionSpeedSetting() {
    return Settings().readInteger(kDownload, "Speed");
}

} // namespace download
