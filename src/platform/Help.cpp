#include "platform/Help.h"

#include "platform/Resources.h"
#include "platform/Shell.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace platform {

QString helpPage(const QString& topic) {
    const QString folder = resourceFolder() + "help/";
    // A topic is a bare page name: nothing in it may lead out of the help folder.
    static const QRegularExpression pageName("^[A-Za-z0-9_-]+$");
    if (pageName.match(topic).hasMatch()) {
        const QString page = folder + topic + ".html";
        if (QFileInfo(page).isFile())
            return page;
    }
    return folder + "index.html";
}

void openHelp(const QString& topic) {
    shellOpen(helpPage(topic));
}

} // namespace platform
