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
    return programFiles().resources;
}

QString resourceFile(const QString& name) {
    return resourceFolder() + name;
}

} // namespace platform
