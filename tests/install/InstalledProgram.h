#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace qbinstall {

// The build folder whose install rules and package configuration are tested.
QString buildFolder();

// How a command run to its end went: exit code -1 when it did not start, crashed or was
// still running at the deadline.
struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        int timeoutMs = 120000);

// A `cmake --install` of the build into a temporary prefix, and a user of it: a home of
// its own with nothing of the test's environment that would redirect the program's folders.
class InstalledCopy {
public:
    InstalledCopy();
    bool installed() const { return installed_; }
    QString error() const { return error_; }
    QString prefix() const { return root() + "/prefix/"; }
    QString root() const { return dir_.path(); }
    QString home() const { return root() + "/home/"; }
    QString dataFolder() const { return home() + ".local/share/quillbay/"; }
    QString libraryRoot() const { return home() + "Downloads/Quillbay/"; }
    // The endpoint the running program answers the helper on.
    QString endpoint() const { return root() + "/runtime/quillbay/QBY"; }
    // The environment of a user starting the installed program on `platform`.
    QProcessEnvironment environment(const QString& platform = "offscreen") const;

    // Starts bin/quillbay and waits until it serves the helper (its data folder is ready by
    // then; the first run's library may still be in the making); false when it did not.
    bool start(QProcess& program, const QProcessEnvironment& env);
    // Ends the program as the session's end does and returns its stderr.
    QByteArray stop(QProcess& program);

private:
    QTemporaryDir dir_;
    bool installed_ = false;
    QString error_;
};

} // namespace qbinstall
