#include "platform/DataMove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

bool holds(const QStringList& names, const char* wanted) {
    return names.contains(QString::fromLatin1(wanted), Qt::CaseInsensitive);
}

QStringList iniFiles(const QString& folder) {
    return QDir(folder).entryList({"*.ini"}, QDir::Files | QDir::Hidden, QDir::Name);
}

// Removes the files made so far, so that a failed move leaves the data folder as it was.
void removeAll(const QStringList& paths) {
    for (const QString& path : paths)
        QFile::remove(path);
}

} // namespace

QString DataMove::line(const QString& from, const QString& to) const {
    switch (status) {
    case NothingToMove:
        return {};
    case Moved:
        return QString("Quillbay: moved the settings and library files (%1) from %2 to %3; the "
                       "library's folders stay where they are%4.")
            .arg(files.join(", "), from, to,
                 error.isEmpty() ? QString() : QString(" (%1)").arg(error));
    case Kept:
        return QString("Quillbay: the settings and library files of an earlier build in %1 were "
                       "left there, because %2 holds a library already.")
            .arg(from, to);
    case Failed:
        return QString("Quillbay: could not move the settings and library files from %1 to %2: "
                       "%3. Nothing was changed.")
            .arg(from, to, error);
    }
    return {};
}

DataMove moveOldLibrary(const QString& from, const QString& to) {
    DataMove move;
    const QString source = QDir(from).absolutePath() + '/';
    const QString target = QDir(to).absolutePath() + '/';
    if (source == target)
        return move;
    const QStringList names = iniFiles(source);
    if (!holds(names, "dlmain.ini") && !holds(names, "Headers.ini"))
        return move;
    move.files = names;

    // A library in the data folder is never overwritten: two libraries stay two.
    const QStringList present = iniFiles(target);
    bool collides = holds(present, "dlmain.ini") || holds(present, "Headers.ini");
    for (const QString& name : names)
        collides = collides || present.contains(name, Qt::CaseInsensitive);
    if (collides) {
        move.status = DataMove::Kept;
        return move;
    }

    QStringList copies;
    for (const QString& name : names) {
        const QString copy = target + name + ".moving";
        QFile::remove(copy);
        QFile file(source + name);
        if (!file.copy(copy)) {
            removeAll(copies);
            move.status = DataMove::Failed;
            move.error = QString("%1: %2").arg(name, file.errorString());
            return move;
        }
        copies << copy;
    }
    QStringList placed;
    for (const QString& name : names) {
        if (!QFile::rename(target + name + ".moving", target + name)) {
            removeAll(placed);
            removeAll(copies);
            move.status = DataMove::Failed;
            move.error = QString("%1 could not be put in place").arg(name);
            return move;
        }
        placed << target + name;
    }

    QStringList left;
    for (const QString& name : names) {
        if (!QFile::remove(source + name))
            left << name;
    }
    move.status = DataMove::Moved;
    if (!left.isEmpty())
        move.error = QString("the old copies of %1 could not be removed").arg(left.join(", "));
    return move;
}

} // namespace platform
