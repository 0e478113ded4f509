#include "HelperLibrary.h"

#include "TestEnvironment.h"

#include <QFile>

namespace qbtest {

bool installStandInLibrary(const TempHome& home, const QString& library) {
    const QString target = home.file("QBYAuto.dll");
    QFile::remove(target);
    return QFile::copy(library, target);
}

bool installHelperLibrary(const TempHome& home) {
    return installStandInLibrary(home, QStringLiteral(QB_BIN_DIR "/QBYAuto.dll"));
}

} // namespace qbtest
