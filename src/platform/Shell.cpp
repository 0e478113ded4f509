#include "platform/Shell.h"

#include "platform/ProgramFolder.h"
#include "platform/Resources.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace platform {

namespace {

QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

// Appends a request to the shell log; false when requests really run.
bool logRequest(const char* verb, const QString& target, const QString& parameters) {
    const QString log = shellLogFile();
    if (log.isEmpty())
        return false;
    QString line = QString::fromLatin1(verb) + '\t' + oneLine(target);
    if (!parameters.isEmpty())
        line += '\t' + oneLine(parameters);
    QFile file(log);
    // One write per line with O_APPEND: lines of several processes never interleave.
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write((line + '\n').toUtf8());
    return true;
}

void openUrl(const QUrl& url) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QDesktopServices::openUrl(url);
    else
        QProcess::startDetached("xdg-open", {url.toString(QUrl::FullyEncoded)});
}

// A program named by path or found on PATH; empty when there is none.
QString resolveProgram(const QString& name) {
    if (name.contains('/')) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(name);
}

// "http://x", "mailto:a@b", "file:///x" but not "/x" or a bare word.
bool hasUrlScheme(const QString& text) {
    const QUrl url(text);
    // "host.example:8080" parses with the scheme "host.example"; real schemes carry no dot.
    return url.isValid() && url.scheme().size() > 1 && !url.scheme().contains('.');
}

void launch(const QString& target, const QString& parameters) {
    if (target.trimmed().isEmpty())
        return;
    const QFileInfo info(target);
    if (info.exists()) {
        if (info.isFile() && info.isExecutable())
            QProcess::startDetached(info.absoluteFilePath(), QProcess::splitCommand(parameters));
        else
            openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
        return;
    }
    if (parameters.isEmpty() && hasUrlScheme(target)) {
        openUrl(QUrl(target));
        return;
    }
    // A command line: the first word is the program, the rest and the parameters its
    // arguments.
    QStringList words = QProcess::splitCommand(target);
    if (!words.isEmpty()) {
        const QString program = resolveProgram(words.takeFirst());
        if (!program.isEmpty()) {
            QProcess::startDetached(program, words + QProcess::splitCommand(parameters));
            return;
        }
    }
    // What is left may still be an address typed without its scheme ("www.example.com").
    const QUrl guess = QUrl::fromUserInput(target);
    if (parameters.isEmpty() && guess.isValid() && !guess.isLocalFile())
        openUrl(guess);
}

// Desktop entry string value: backslash and control characters escaped.
QString escapeDesktopValue(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

// One argument of an Exec line: always quoted, with the characters that stay special inside
// quotes escaped, and "%" doubled so it is never read as a field code.
QString quoteExecArgument(const QString& argument) {
    QString out = "\"";
    for (const QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    return out + '"';
}

} // namespace

QString shellLogFile() {
    return qEnvironmentVariable("QUILLBAY_SHELL_LOG");
}

void shellOpen(const QString& target, const QString& parameters) {
    if (!logRequest("open", target, parameters))
        launch(target, parameters);
}

void shellStart(const QString& commandLine, const QStringList& arguments) {
    QStringList quoted;
    for (const QString& argument : arguments)
        quoted << QLatin1Char('"') + argument + QLatin1Char('"');
    if (logRequest("open", commandLine, quoted.join(QLatin1Char(' '))))
        return;
    const QFileInfo info(commandLine);
    if (info.isFile() && info.isExecutable()) {
        QProcess::startDetached(info.absoluteFilePath(), arguments);
        return;
    }
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return;
    const QString program = resolveProgram(words.takeFirst());
    if (!program.isEmpty())
        QProcess::startDetached(program, words + arguments);
}

QString programOf(const QString& commandLine) {
    const QFileInfo info(commandLine);
    if (info.isFile() && info.isExecutable())
        return info.absoluteFilePath();
    const QStringList words = QProcess::splitCommand(commandLine);
    return words.isEmpty() ? QString() : resolveProgram(words.first());
}

void shellProperties(const QString& path) {
    if (logRequest("properties", path, QString()))
        return;
    const QFileInfo info(path);
    if (info.exists())
        openUrl(QUrl::fromLocalFile(info.absolutePath()));
}

QString autostartEntryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + "/.config";
    return config + "/autostart/Quillbay.desktop";
}

bool createAutostartEntry(const QString& executable) {
    const QString program = executable.isEmpty() ? executablePath() : executable;
    QString exec;
    const QString home = qEnvironmentVariable("QUILLBAY_HOME");
    if (!home.isEmpty())
        exec = "env " + quoteExecArgument("QUILLBAY_HOME=" + QDir(home).absolutePath()) + ' ';
    exec += quoteExecArgument(QFileInfo(program).absoluteFilePath());

    const QString icon =
        programFilesFor(QFileInfo(program).absolutePath()).resources + "quillbay.png";
    const QString text = "[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=Quillbay\n"
                         "Comment=Verrin Quillbay\n"
                         "Exec=" +
                         escapeDesktopValue(exec) +
                         "\n"
                         "Icon=" +
                         escapeDesktopValue(icon) +
                         "\n"
                         "Terminal=false\n"
                         "X-GNOME-Autostart-enabled=true\n";

    const QString path = autostartEntryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

bool removeAutostartEntry() {
    const QString path = autostartEntryPath();
    return !QFileInfo::exists(path) || QFile::remove(path);
}

bool autostartEntryExists() {
    return QFileInfo::exists(autostartEntryPath());
}

} // namespace platform
