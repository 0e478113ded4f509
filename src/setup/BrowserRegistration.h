#pragma once

#include <QStringList>

// Connects the browser helper library (QBYAuto.dll beside the executable) to the browsers
// while the program runs: its class becomes Netscape Navigator's handler for http and ftp,
// the library registers itself, and Internet Explorer gets the class as name-space handler
// for both protocols. Every failure is told in a plain box and ends only its own step; a
// missing helper never stops the program.
namespace setup {

inline constexpr const char* kPluginClassName = "QBYAuto.QBYAutomation";
inline constexpr const char* kPluginClassId = "{6C1F3B52-9E07-4D8A-B2C4-71E0A95D3F16}";
inline constexpr const char* kPluginClassKey =
    "CLSID\\{6C1F3B52-9E07-4D8A-B2C4-71E0A95D3F16}\\InprocServer32";
inline constexpr const char* kIEHttpHandlerKey =
    "SOFTWARE\\Classes\\PROTOCOLS\\Name-Space Handler\\http\\QBY.IEClickMon";
inline constexpr const char* kIEFtpHandlerKey =
    "SOFTWARE\\Classes\\PROTOCOLS\\Name-Space Handler\\ftp\\QBY.IEClickMon";

// Makes the helper's class Netscape Navigator's handler for ftp and http, unless both are
// already in place. Silent: Netscape's absence and its automation object's failures are
// not errors.
void registerWithNetscape();

// The helper's self-registration; its failures are told in a box.
void registerPluginLibrary();

// Declares the helper's class to Internet Explorer for http and ftp; one box when any step
// fails.
void registerWithInternetExplorer();

// The helper's self-unregistration. Failures are told in a box, or only written to stderr
// when `quiet` (at the end of the session nothing may hold up the end).
void unregisterPluginLibrary(bool quiet = false);

// Start-up's order: Netscape, then the library, then Internet Explorer, then the manifests
// that let today's browsers start the extension's native-messaging host (not for the
// browsers named in `refusedBridges`, which the user chose not to connect).
void registerWithBrowsers(const QStringList& refusedBridges = {});

} // namespace setup
