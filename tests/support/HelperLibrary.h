#pragma once

#include <QString>

namespace qbtest {

class TempHome;

// Copies the browser helper library built beside the executables (QBYAuto.dll) into the
// test's program folder, so that start-up finds and registers it; false when it is missing.
bool installHelperLibrary(const TempHome& home);

// Puts a stand-in library (tests/plugins) in the program folder as QBYAuto.dll.
bool installStandInLibrary(const TempHome& home, const QString& library);

} // namespace qbtest
