#pragma once

#include <QString>

namespace platform {

// The folder that holds the running executable, with a trailing "/".
// QUILLBAY_HOME overrides it (tests, portable installs).
QString programFolder();

// programFolder() + name.
QString programFile(const QString& name);

} // namespace platform
