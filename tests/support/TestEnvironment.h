#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace qbtest {

// Gives the test a program folder (QUILLBAY_HOME), registry, runtime folder, probe block and
// home of its own, so no test touches another's files; the variables come back at its end.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    // The program folder, with a trailing "/".
    QString folder() const;
    // The home's download folder and the default library root in it, with a trailing "/".
    QString downloads() const;
    QString libraryRoot() const;
    // folder() + name.
    QString file(const QString& name) const;
    // The private root under which every other folder of this home lies.
    QString root() const { return dir_.path(); }
    // Shell requests (open, properties) are logged to this file instead of launched, so
    // that no test starts a browser or a file manager.
    QString shellLogFile() const { return dir_.path() + "/shell.log"; }
    // The logged requests, one "verb<TAB>target[<TAB>parameters]" per entry.
    QStringList shellLog() const;

    using Saved = QByteArray[9];

private:
    QTemporaryDir dir_;
    Saved saved_;
};

// An Xvfb server on a display number it picks itself, stopped by the destructor.
class XvfbDisplay {
public:
    explicit XvfbDisplay(const QString& screen = QStringLiteral("1280x1024x24"));
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool running() const { return !name_.isEmpty(); }
    QString name() const { return name_; } // ":<number>"
    QString error() const { return error_; }

private:
    QProcess process_;
    QString name_;
    QString error_;
};

// Reads a whole file as bytes; an empty array when it cannot be read.
QByteArray readFile(const QString& path);
// Writes bytes to a file, creating parent folders; false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);

} // namespace qbtest
