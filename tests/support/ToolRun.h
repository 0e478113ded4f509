#pragma once

#include <QByteArray>
#include <QStringList>

class QProcess;

namespace qbtest {

// How a program run by a test ended: exit code -1 when it did not start, crashed or was
// still running at the deadline.
struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs build/bin/<name> with `args` to its end, letting this thread's events run meanwhile, so
// that a receiver in the test process can serve the tool while it waits.
ToolRun runTool(const QString& name, const QStringList& args, int timeoutMs = 60000);

// Starts the program (build/bin/quillbay) headless with the test's environment.
bool startProgram(QProcess& program);

} // namespace qbtest
