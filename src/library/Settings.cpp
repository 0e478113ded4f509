#include "library/Settings.h"

#include <stdexcept>

#include "platform/ProgramFolder.h"

namespace {

// Marks the defaults that are the program folder (with its trailing "/").
constexpr char kProgramFolder[] = "\x01program-folder";

struct SettingEntry {
    const char* section;
    const char* key;
    const char* def; // text as stored; booleans "1" / "0"
};

// Every key of dlmain.ini with the default its readers use.
const SettingEntry kSettings[] = {
    {"Main", "FirstRun", "1"},
    {"Main", "ViewStyle", "3"},
    {"Main", "ToolAlign", "3"},
    {"Main", "ShowToolLabels", "1"},
    {"Main", "IconFile", "icons.dll"},
    {"Main", "NumIcons", "62"},
    {"Main", "DefaultRoot", kProgramFolder},
    {"Main", "IEPath", ""},
    {"Main", "NSPath", ""},
    {"Main", "BrowserPath", ""},
    {"Main", "ScannerPath", ""},
    {"General", "AutoStart", "1"},
    {"General", "DetectIE", "0"},
    {"General", "DetectNS", "0"},
    {"Download", "DownloadDetect", "1"},
    {"Download", "DefaultSection", "0"},
    {"Download", "DefaultCat", "0"},
    {"Download", "OpenWhen", "0"},
    {"Download", "AutoMin", "1"},
    {"Download", "AutoMinimize", "0"},
    {"Download", "AutoClose", "0"},
    {"Download", "AutoPaste", "0"},
    {"Download", "PromptDone", "1"},
    {"Download", "ShowDetails", "1"},
    {"Download", "SaveAsDefault", "0"},
    {"Download", "Speed", "28800"}, // SettingDefaults::kSpeedForStatistics
    {"Management", "DeleteType", "0"},
    {"Management", "ConfirmDelete", "1"},
    {"Management", "ConfirmCatDelete", "1"},
    {"Management", "DefaultRoot", kProgramFolder},
    {"Management", "PromptIfNotOpened", "1"},
    {"Management", "PromptDays", SettingDefaults::kPromptDaysText},
    {"Management", "AutoDelete", "0"},
    {"Management", "DeleteDays", "30"},
    {"Management", "ShowMenu", "0"},
    {"Position", "Width", "10000"}, // SettingDefaults::kPositionUnset
    {"Position", "Height", "343"},
    {"Position", "Top", "10000"},
    {"Position", "Left", "10000"},
    {"VirusScanner", "CommandLine", ""},
    {"VirusScanner", "Parameters", ""},
    {"VirusScanner", "ScanWhenDone", "0"},
    {"ToolBar", "New", "1"},
    {"ToolBar", "Delete", "1"},
    {"ToolBar", "Options", "1"},
    {"ToolBar", "Report", "1"},
    {"ToolBar", "Props", "1"},
    {"ToolBar", "Style", "1"},
    {"ToolBar", "Help", "1"},
    {"ToolBar", "Browser", "0"},
    {"ToolBar", "Virus", "0"},
    {"ToolBar", "BrowserCL", ""},
    {"ToolBar", "VirusCL", ""},
};

struct Fallback {
    const char* section;
    const char* key;
    const char* mainKey;
};

const Fallback kMainPathFallbacks[] = {
    {"VirusScanner", "CommandLine", "ScannerPath"},
    {"ToolBar", "VirusCL", "ScannerPath"},
    {"ToolBar", "BrowserCL", "BrowserPath"},
};

// Section and key names compare as the settings file compares them: without case.
template <typename Entry, size_t N>
const Entry* find(const Entry (&table)[N], const QString& section, const QString& key) {
    for (const Entry& e : table) {
        if (section.compare(QLatin1StringView(e.section), Qt::CaseInsensitive) == 0 &&
            key.compare(QLatin1StringView(e.key), Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

const SettingEntry* findEntry(const QString& section, const QString& key) {
    return find(kSettings, section, key);
}

const SettingEntry& entry(const QString& section, const QString& key) {
    const SettingEntry* e = findEntry(section, key);
    if (!e)
        throw std::invalid_argument(
            QString("[%1] %2 is not a setting").arg(section, key).toStdString());
    return *e;
}

QString defaultText(const SettingEntry& e) {
    if (QByteArrayView(e.def) == QByteArrayView(kProgramFolder))
        return platform::programFolder();
    return QString::fromUtf8(e.def);
}

} // namespace

Settings::Settings() : file_(platform::programFile("dlmain.ini")) {}

Settings::Settings(QString path) : file_(std::move(path)) {}

std::optional<QString> Settings::tableDefault(const QString& section, const QString& key) {
    const SettingEntry* e = findEntry(section, key);
    if (!e)
        return std::nullopt;
    return defaultText(*e);
}

QString Settings::readString(const QString& section, const QString& key) const {
    return file_.readString(section, key, defaultText(entry(section, key)));
}

int Settings::readInteger(const QString& section, const QString& key) const {
    return file_.readInteger(section, key, defaultText(entry(section, key)).toInt());
}

bool Settings::readBool(const QString& section, const QString& key) const {
    return file_.readBool(section, key, defaultText(entry(section, key)).toInt() != 0);
}

QString Settings::readString(const QString& section, const QString& key, const QString& def) const {
    entry(section, key);
    return file_.readString(section, key, def);
}

int Settings::readInteger(const QString& section, const QString& key, int def) const {
    entry(section, key);
    return file_.readInteger(section, key, def);
}

bool Settings::readBool(const QString& section, const QString& key, bool def) const {
    entry(section, key);
    return file_.readBool(section, key, def);
}

QString Settings::readWithMainPathFallback(const QString& section, const QString& key) const {
    if (const Fallback* f = find(kMainPathFallbacks, section, key))
        return readString(section, key, readString("Main", f->mainKey));
    throw std::invalid_argument(
        QString("[%1] %2 has no [Main] fallback").arg(section, key).toStdString());
}

void Settings::writeString(const QString& section, const QString& key, const QString& value) {
    entry(section, key);
    file_.writeString(section, key, value);
}

void Settings::writeInteger(const QString& section, const QString& key, int value) {
    entry(section, key);
    file_.writeInteger(section, key, value);
}

void Settings::writeBool(const QString& section, const QString& key, bool value) {
    entry(section, key);
    file_.writeBool(section, key, value);
}
