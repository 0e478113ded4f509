#include "app/Program.h"

#include <QThread>

#include <cstdio>
#include <cxxabi.h>
#include <exception>
#include <memory>

#include "app/TfrmTray.h"
#include "app/UserData.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"

namespace {

void reportUncaught(const QString& text) {
    std::fprintf(stderr, "Quillbay: %s\n", qPrintable(text));
    std::fflush(stderr);
    // Boxes belong to the user-interface thread; a worker's error is only logged.
    if (QThread::currentThread() == QCoreApplication::instance()->thread())
        platform::errorBox(text);
}

const char* const kUnknownError = "An unexpected error stopped the operation.";

} // namespace

QuillbayApplication::QuillbayApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QuillbayApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        reportUncaught(QString::fromUtf8(error.what()));
    } catch (abi::__forced_unwind&) {
        throw; // a cancelled thread must finish unwinding
    } catch (...) {
        reportUncaught(QString::fromLatin1(kUnknownError));
    }
    return false;
}

bool runGuarded(const std::function<void()>& operation) {
    try {
        operation();
        return true;
    } catch (const std::exception& error) {
        reportUncaught(QString::fromUtf8(error.what()));
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        reportUncaught(QString::fromLatin1(kUnknownError));
    }
    return false;
}

int runProgram(const QStringList& arguments) {
    std::unique_ptr<TfrmTray> tray;
    runGuarded([&] {
        if (prepareUserData())
            tray = std::make_unique<TfrmTray>(arguments);
    });
    if (!tray)
        return 1;
    // Exit chosen during start-up found no loop running to end.
    if (platform::programEnding())
        return 0;
    return QApplication::exec();
}
