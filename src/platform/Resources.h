#pragma once

#include <QString>

namespace platform {

// The folder of the files shipped with the program (help pages, icons), with a trailing "/":
// "resources/" in the program folder when it is there, else "resources/" beside the
// running executable (a QUILLBAY_HOME program folder holds data, not the shipped files).
QString resourceFolder();

// resourceFolder() + name.
QString resourceFile(const QString& name);

// The path of the running executable.
QString executablePath();

} // namespace platform
