#include "InstalledProgram.h"

#include "ScriptedServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>

namespace qbinstall {

QString buildFolder() {
    return QDir::cleanPath(QStringLiteral(QB_BIN_DIR "/.."));
}

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
        int timeoutMs) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    if (p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    return r;
}

InstalledCopy::InstalledCopy() {
    QDir().mkpath(home());
    QDir().mkpath(root() + "/runtime");
    QFile::setPermissions(root() + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const Run r = run("cmake", {"--install", buildFolder(), "--prefix", root() + "/prefix"});
    installed_ = r.exitCode == 0;
    if (!installed_)
        error_ = QString::fromLocal8Bit(r.out + r.err);
}

QProcessEnvironment InstalledCopy::environment(const QString& platform) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Whatever the test process was given to keep the folders apart does not reach a user.
    for (const char* name : {"QUILLBAY_HOME", "QUILLBAY_PROGRAM_FILES", "QUILLBAY_REGISTRY",
                             "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "DISPLAY"})
        env.remove(name);
    env.insert("HOME", QDir::cleanPath(home()));
    env.insert("XDG_RUNTIME_DIR", root() + "/runtime");
    env.insert("QT_QPA_PLATFORM", platform);
    // No browser or file manager is ever launched by a test.
    env.insert("QUILLBAY_SHELL_LOG", root() + "/shell.log");
    env.insert("QUILLBAY_PROBE_BLOCK", "/ISBINARYMAP.install." + QFileInfo(root()).fileName());
    return env;
}

bool InstalledCopy::start(QProcess& program, const QProcessEnvironment& env) {
    QFile::remove(endpoint());
    program.setProcessEnvironment(env);
    program.start(prefix() + "bin/quillbay", {});
    if (!program.waitForStarted(10000))
        return false;
    return qbtest::pumpUntil(
               [&] {
                   return QFileInfo::exists(endpoint()) || program.state() == QProcess::NotRunning;
               },
               60000) &&
           program.state() == QProcess::Running;
}

QByteArray InstalledCopy::stop(QProcess& program) {
    if (program.state() == QProcess::Running) {
        ::kill(program.processId(), SIGTERM);
        if (!program.waitForFinished(20000)) {
            program.kill();
            program.waitForFinished(5000);
        }
    }
    return program.readAllStandardError();
}

} // namespace qbinstall
