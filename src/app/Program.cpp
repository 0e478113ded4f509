#include "app/Program.h"

#include <memory>

#include "app/TfrmTray.h"
#include "app/UserData.h"
#include "platform/MessageLoop.h"

QuillbayApplication::QuillbayApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QuillbayApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        platform::reportCurrentException();
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
