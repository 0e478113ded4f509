#pragma once

#include <QString>
#include <optional>

#include "platform/Profile.h"

// Defaults of the settings whose readers do not all agree; every other default lives in
// the settings table (Settings.cpp) and is used by the reads without a default.
namespace SettingDefaults {
// [Download] Speed: the statistics and the options dialog assume a 28.8k modem...
inline constexpr int kSpeedForStatistics = 28800;
// ...while the manager window takes an absent speed as "not set yet" and asks for it.
inline constexpr int kSpeedForManager = 0;
// [Download] DefaultSection and DefaultCat as the section and folder operations read
// them: an absent value must never look like position 0, which they reset.
inline constexpr int kDefaultPlaceForLibrary = -1;
// [Management] PromptDays: read as text by the dialogs, as a number by the event scan.
inline constexpr char kPromptDaysText[] = "10";
inline constexpr int kPromptDaysNumber = 10;
// [Position] Width (and Top, Left) when no placement has been stored.
inline constexpr int kPositionUnset = 10000;
// [Position] Width once a placement is stored but the width is missing.
inline constexpr int kPositionWidth = 421;
// [ToolBar] Browser and Virus where the manager builds its tool bar.
inline constexpr bool kToolBarLaunchButtons = true;
} // namespace SettingDefaults

// The program's settings file, dlmain.ini in the user's data folder. Every call opens the
// file, acts and is done, so each write reaches the file at once and a change made by any
// other window is seen by the next read. Section and key names compare without regard to
// case. A key that is not in the settings table is a programming error: developers' and
// test builds (QB_STRICT_KEYS) stop on it, a release build reads the caller's default (the
// empty value where the caller gave none) and drops the write. A refused write throws
// platform::ProfileWriteError.
class Settings {
public:
    Settings();
    explicit Settings(QString path);

    QString path() const { return file_.path(); }

    // Reads with the default of the settings table.
    QString readString(const QString& section, const QString& key) const;
    int readInteger(const QString& section, const QString& key) const;
    bool readBool(const QString& section, const QString& key) const;

    // Reads with the caller's own default.
    QString readString(const QString& section, const QString& key, const QString& def) const;
    int readInteger(const QString& section, const QString& key, int def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    // The options dialog shows a [Main] path where a command line is not set:
    // [VirusScanner] CommandLine and [ToolBar] VirusCL fall back to [Main] ScannerPath,
    // [ToolBar] BrowserCL to [Main] BrowserPath.
    QString readWithMainPathFallback(const QString& section, const QString& key) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // The table's default as text (booleans "1" and "0"), or nothing for a key not in it.
    static std::optional<QString> tableDefault(const QString& section, const QString& key);

private:
    platform::IniFile file_;
};
