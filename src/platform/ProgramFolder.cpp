#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QString programFolder() {
    QString dir = qEnvironmentVariable("QUILLBAY_HOME");
    if (dir.isEmpty()) {
        dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                           : QFileInfo("/proc/self/exe").canonicalPath();
    }
    dir = QDir::cleanPath(QDir(dir).absolutePath());
    if (!dir.endsWith('/'))
        dir += '/';
    return dir;
}

QString programFile(const QString& name) {
    return programFolder() + name;
}

} // namespace platform
