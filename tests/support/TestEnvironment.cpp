#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iterator>
#include <type_traits>

namespace qbtest {

namespace {
// Every variable a home sets, restored (or unset again) when it ends.
const char* const kVariables[] = {
    "QUILLBAY_HOME",         "QUILLBAY_REGISTRY", "XDG_RUNTIME_DIR",    "HOME",
    "XDG_DATA_HOME",         "XDG_CONFIG_HOME",   "QUILLBAY_SHELL_LOG", "QUILLBAY_PROBE_BLOCK",
    "QUILLBAY_PROGRAM_FILES"};
constexpr int kVariableCount = int(std::size(kVariables));
static_assert(kVariableCount == int(std::extent_v<TempHome::Saved>));
} // namespace

TempHome::TempHome() {
    const QString base = dir_.path();
    for (int i = 0; i < kVariableCount; ++i)
        saved_[i] = qgetenv(kVariables[i]);
    const QString paths[] = {base + "/program",           base + "/registry",
                             base + "/runtime",           base + "/home",
                             base + "/home/.local/share", base + "/home/.config"};
    for (int i = 0; i < 6; ++i) {
        QDir().mkpath(paths[i]);
        qputenv(kVariables[i], paths[i].toUtf8());
    }
    qputenv("QUILLBAY_SHELL_LOG", shellLogFile().toUtf8());
    // Tests run side by side: each home has a probe block of its own.
    qputenv("QUILLBAY_PROBE_BLOCK", "/ISBINARYMAP." + QFileInfo(base).fileName().toUtf8());
    // Stand-in helper libraries and resources go into the program folder too.
    qputenv("QUILLBAY_PROGRAM_FILES", paths[0].toUtf8());
    QFile::setPermissions(base + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TempHome::~TempHome() {
    for (int i = 0; i < kVariableCount; ++i) {
        if (saved_[i].isNull())
            qunsetenv(kVariables[i]);
        else
            qputenv(kVariables[i], saved_[i]);
    }
}

QString TempHome::downloads() const {
    return dir_.path() + "/home/Downloads/";
}

QString TempHome::libraryRoot() const {
    return downloads() + "Quillbay/";
}

QString TempHome::folder() const {
    return dir_.path() + "/program/";
}

QString TempHome::file(const QString& name) const {
    return folder() + name;
}

QStringList TempHome::shellLog() const {
    return QString::fromUtf8(readFile(shellLogFile())).split('\n', Qt::SkipEmptyParts);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

XvfbDisplay::XvfbDisplay(const QString& screen) {
    // Xvfb picks a free display number and writes it to the given descriptor: its output.
    process_.start("Xvfb", {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
    if (!process_.waitForStarted(10000)) {
        error_ = "Xvfb did not start; is it installed?";
        return;
    }
    while (!process_.canReadLine() && process_.waitForReadyRead(20000)) {
    }
    const QByteArray number = process_.readLine().trimmed();
    bool numeric = false;
    number.toInt(&numeric);
    if (numeric && process_.state() == QProcess::Running)
        name_ = ":" + QString::fromLatin1(number);
    else
        error_ = "Xvfb did not start: " + QString::fromLocal8Bit(process_.readAllStandardError());
}

XvfbDisplay::~XvfbDisplay() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

} // namespace qbtest
