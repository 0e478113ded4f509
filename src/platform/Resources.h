#pragma once

#include <QString>

namespace platform {

// The folder of the files shipped with the program (help pages, icons), with a trailing "/":
// "resources/" beside the executable in a build tree, share/quillbay/ under the install
// prefix when installed (see programFiles()).
QString resourceFolder();

// resourceFolder() + name.
QString resourceFile(const QString& name);

// The path of the running executable.
QString executablePath();

} // namespace platform
