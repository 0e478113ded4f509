#include "platform/Resources.h"

#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace platform {

QString executablePath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo("/proc/self/exe").canonicalFilePath();
}

QString resourceFolder() {
    const QString inProgramFolder = programFolder() + "resources/";
    if (QFileInfo(inProgramFolder).isDir())
        return inProgramFolder;
    return QFileInfo(executablePath()).absolutePath() + "/resources/";
}

QString resourceFile(const QString& name) {
    return resourceFolder() + name;
}

} // namespace platform
