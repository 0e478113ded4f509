#pragma once

#include <QString>

namespace platform {

// The browser helper library among the program's own files (programFilesFolder()). It is a shared
// library whatever its suffix; its name is matched without regard to case ("QBYAuto.DLL" finds
// "qbyauto.dll").
inline constexpr const char* kPluginFileName = "QBYAuto.dll";

// How a call into the helper library ended.
enum class PluginStatus {
    Ok,           // the entry point returned 0
    Missing,      // no such file among the program's files
    LoadFailed,   // the file is there but no loadable library
    EntryMissing, // the library lacks the entry point: corrupted
    EntryFailed,  // the entry point returned a non-zero status
};

struct PluginResult {
    PluginStatus status = PluginStatus::Missing;
    long code = 0;       // the entry point's return value, when it ran
    QString path;        // the library's path
    QString loaderError; // dlerror() text of a failed load or lookup
    bool ok() const { return status == PluginStatus::Ok; }
};

// The path of the helper library among the program's files: the existing entry whose name
// matches kPluginFileName without regard to case, else the name as written.
QString pluginPath();

// Loads `library`, calls its entry point `entry` (long (*)()) and releases the library.
// A missing or broken library is a result, never a crash or a failed start.
PluginResult callPluginEntry(const char* entry, const QString& library = pluginPath());

// The helper's self-registration and self-unregistration.
PluginResult registerPlugin();
PluginResult unregisterPlugin();

} // namespace platform
