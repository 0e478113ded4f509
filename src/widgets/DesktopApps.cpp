#include "widgets/DesktopApps.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

namespace desktop {

namespace {

QStringList dataDirs() {
    QStringList dirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + "/.local/share";
    dirs << home;
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = "/usr/local/share:/usr/share";
    dirs << system.split(':', Qt::SkipEmptyParts);
    return dirs;
}

QStringList configDirs() {
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + "/.config";
    return {home};
}

// The [group] key=value pairs of an ini-like XDG file.
QMap<QString, QMap<QString, QString>> readGroups(const QString& path) {
    QMap<QString, QMap<QString, QString>> groups;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QString group;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && !groups[group].contains(line.left(eq).trimmed()))
            groups[group].insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return groups;
}

// The path of an entry id, the first data directory winning.
QString entryPath(const QString& id) {
    for (const QString& dir : dataDirs()) {
        const QString path = dir + "/applications/" + id;
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

bool load(const QString& id, Application* app) {
    const QString path = entryPath(id);
    if (path.isEmpty())
        return false;
    const auto entry = readGroups(path).value("Desktop Entry");
    if (entry.value("Type") != "Application" || entry.value("Hidden") == "true" ||
        entry.value("NoDisplay") == "true" || entry.value("Exec").isEmpty())
        return false;
    *app = {id, entry.value("Name", id), entry.value("Exec")};
    return true;
}

} // namespace

QList<Application> applicationsFor(const QString& mimeType) {
    QStringList ordered;
    QSet<QString> removed;
    QStringList lists;
    for (const QString& dir : configDirs())
        lists << dir + "/mimeapps.list";
    for (const QString& dir : dataDirs())
        lists << dir + "/applications/mimeapps.list";
    for (const QString& list : lists) {
        const auto groups = readGroups(list);
        for (const char* group : {"Default Applications", "Added Associations"})
            for (const QString& id :
                 groups.value(group).value(mimeType).split(';', Qt::SkipEmptyParts))
                if (!removed.contains(id))
                    ordered << id;
        for (const QString& id :
             groups.value("Removed Associations").value(mimeType).split(';', Qt::SkipEmptyParts))
            removed.insert(id);
    }
    // Every entry that lists the type itself.
    for (const QString& dir : dataDirs()) {
        const QStringList ids =
            QDir(dir + "/applications").entryList({"*.desktop"}, QDir::Files, QDir::Name);
        for (const QString& id : ids) {
            const auto entry = readGroups(dir + "/applications/" + id).value("Desktop Entry");
            if (entry.value("MimeType").split(';', Qt::SkipEmptyParts).contains(mimeType) &&
                !removed.contains(id))
                ordered << id;
        }
    }
    QList<Application> apps;
    QSet<QString> seen;
    for (const QString& id : ordered) {
        if (seen.contains(id))
            continue;
        seen.insert(id);
        Application app;
        if (load(id, &app))
            apps << app;
    }
    return apps;
}

QStringList commandFor(const Application& app, const QString& path) {
    // Split by the desktop entry rules: blanks separate, double quotes group, backslash
    // escapes inside quotes.
    QStringList words;
    QString word;
    bool quoted = false, any = false;
    const QString exec = app.exec;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size())
                word += exec.at(++i);
            else if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == ' ') {
            if (any || !word.isEmpty())
                words << word;
            word.clear();
            any = false;
        } else {
            word += c;
        }
    }
    if (any || !word.isEmpty())
        words << word;
    QStringList command;
    bool placed = false;
    for (const QString& w : words) {
        if (w == "%f" || w == "%F" || w == "%u" || w == "%U") {
            if (!placed)
                command << path;
            placed = true;
        } else if (w.size() == 2 && w.startsWith('%')) {
            continue; // %i, %c, %k and the deprecated codes
        } else {
            command << QString(w).replace("%%", "%");
        }
    }
    if (!placed && !command.isEmpty())
        command << path;
    return command;
}

} // namespace desktop
