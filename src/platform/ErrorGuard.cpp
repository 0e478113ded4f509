#include "platform/ErrorGuard.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cxxabi.h>
#include <exception>

#include "platform/Dialogs.h"

namespace platform {

namespace {

const char* const kUnknownError = "An unexpected error stopped the operation.";

} // namespace

void reportUncaught(const QString& text) {
    std::fprintf(stderr, "Quillbay: %s\n", qPrintable(text));
    std::fflush(stderr);
    // Boxes belong to the user-interface thread; a worker's error is only logged.
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        errorBox(text);
}

void reportCurrentException() {
    try {
        throw;
    } catch (const std::exception& error) {
        reportUncaught(QString::fromUtf8(error.what()));
    } catch (abi::__forced_unwind&) {
        throw; // a cancelled thread must finish unwinding
    } catch (...) {
        reportUncaught(QString::fromLatin1(kUnknownError));
    }
}

bool runGuarded(const std::function<void()>& operation) {
    try {
        operation();
        return true;
    } catch (...) {
        reportCurrentException();
    }
    return false;
}

} // namespace platform
