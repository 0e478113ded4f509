#include "app/Program.h"
#include "platform/SessionEnd.h"
#include "platform/ShellIcons.h"
#include "widgets/QtDialogs.h"

int main(int argc, char** argv) {
    QuillbayApplication app(argc, argv);
    QApplication::setApplicationName("Quillbay");
    QApplication::setApplicationDisplayName("Quillbay");
    QApplication::setWindowIcon(platform::applicationIcon());
    // The program lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    installQtDialogs();
    platform::installSessionEndHandling();

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    return runProgram(arguments);
}
