#include "library/Settings.h"

#include <QtGlobal>

#include "platform/ProgramFolder.h"

namespace {

// Marks the defaults that are the default library folder (with its trailing "/").
constexpr char kLibraryFolder[] = "\x01library-folder";

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
    {"Main", "DefaultRoot", kLibraryFolder},
    {"Main", "IEPath", ""},
    {"Main", "NSPath", ""},
    {"Main", "BrowserPath", ""},
    {"Main", "ScannerPath", ""},
    {"General", "AutoStart", "1"},
    {"General", "DetectIE", "0"},
    {"General", "DetectNS", "0"},
    // Browsers the extension may reach through its native host (the wizard asks).
    {"Bridge", "Chromium", "1"},
    {"Bridge", "GoogleChrome", "1"},
    {"Bridge", "Firefox", "1"},
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
    {"Management", "DefaultRoot", kLibraryFolder},
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

// A key outside the table is a programming error. Developers' and test builds
// (QB_STRICT_KEYS) stop on it at once; a release build reads the caller's default and
// writes nothing, so a misspelt key never costs the user a working program.
const SettingEntry* known(const QString& section, const QString& key) {
    const SettingEntry* e = findEntry(section, key);
#ifdef QB_STRICT_KEYS
    if (!e)
        qFatal("[%s] %s is not a setting", qPrintable(section), qPrintable(key));
#endif
    return e;
}

QString defaultText(const SettingEntry& e) {
    if (QByteArrayView(e.def) == QByteArrayView(kLibraryFolder))
        return platform::defaultLibraryFolder();
    return QString::fromUtf8(e.def);
}

} // namespace

Settings::Settings() : file_(platform::dataFile("dlmain.ini")) {}

Settings::Settings(QString path) : file_(std::move(path)) {}

std::optional<QString> Settings::tableDefault(const QString& section, const QString& key) {
    const SettingEntry* e = findEntry(section, key);
    if (!e)
        return std::nullopt;
    return defaultText(*e);
}

QString Settings::readString(const QString& section, const QString& key) const {
    const SettingEntry* e = known(section, key);
    return e ? file_.readString(section, key, defaultText(*e)) : QString();
}

int Settings::readInteger(const QString& section, const QString& key) const {
    const SettingEntry* e = known(section, key);
    return e ? file_.readInteger(section, key, defaultText(*e).toInt()) : 0;
}

bool Settings::readBool(const QString& section, const QString& key) const {
    const SettingEntry* e = known(section, key);
    return e && file_.readBool(section, key, defaultText(*e).toInt() != 0);
}

QString Settings::readString(const QString& section, const QString& key, const QString& def) const {
    return known(section, key) ? file_.readString(section, key, def) : def;
}

int Settings::readInteger(const QString& section, const QString& key, int def) const {
    return known(section, key) ? file_.readInteger(section, key, def) : def;
}

bool Settings::readBool(const QString& section, const QString& key, bool def) const {
    return known(section, key) ? file_.readBool(section, key, def) : def;
}

QString Settings::readWithMainPathFallback(const QString& section, const QString& key) const {
    if (const Fallback* f = find(kMainPathFallbacks, section, key))
        return readString(section, key, readString("Main", f->mainKey));
#ifdef QB_STRICT_KEYS
    qFatal("[%s] %s has no [Main] fallback", qPrintable(section), qPrintable(key));
#endif
    return readString(section, key);
}

void Settings::writeString(const QString& section, const QString& key, const QString& value) {
    if (known(section, key))
        file_.writeString(section, key, value);
}

void Settings::writeInteger(const QString& section, const QString& key, int value) {
    if (known(section, key))
        file_.writeInteger(section, key, value);
}

void Settings::writeBool(const QString& section, const QString& key, bool value) {
    if (known(section, key))
        file_.writeBool(section, key, value);
}
