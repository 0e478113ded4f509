#include "app/UserData.h"

#include "platform/DataMove.h"
#include "platform/Dialogs.h"
#include "platform/ProgramFolder.h"

#include <cstdio>

namespace {

void tell(const QString& line) {
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

} // namespace

bool prepareUserData(const QString& oldFolder) {
    const platform::DataFolderChoice data = platform::dataFolderFor(platform::executableFolder());
    const QString problem = platform::makeDataFolder(data.folder);
    if (!problem.isEmpty()) {
        const QString text = QString("Quillbay cannot keep its settings and library in %1: %2.")
                                 .arg(data.folder, problem);
        tell(text);
        platform::errorBox(text);
        return false;
    }
    // Only the user's own data folder replaces the old place; an explicit or portable
    // folder is used as it is.
    if (data.kind != platform::DataFolderKind::User)
        return true;
    const platform::DataMove move = platform::moveOldLibrary(oldFolder, data.folder);
    const QString line = move.line(oldFolder, data.folder);
    if (!line.isEmpty())
        tell(line);
    if (move.status == platform::DataMove::Failed) {
        platform::errorBox(line);
        return false;
    }
    return true;
}

bool prepareUserData() {
    return prepareUserData(platform::executableFolder());
}
