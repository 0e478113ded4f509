#include "ToolRun.h"

#include "ScriptedServer.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace qbtest {

ToolRun runTool(const QString& name, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(QStringLiteral(QB_BIN_DIR "/") + name, args);
    ToolRun r;
    if (!p.waitForStarted(10000))
        return r;
    if (!pumpUntil([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    if (p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

bool startProgram(QProcess& program) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QB_BIN_DIR "/quillbay"), {});
    return program.waitForStarted(10000);
}

} // namespace qbtest
