#pragma once

#include <QApplication>
#include <QStringList>

#include <functional>

#include "platform/ErrorGuard.h"

// The program's application object. An error that no handler of an event catches is
// shown in an error box; the work of that event stops there and the program goes on.
class QuillbayApplication : public QApplication {
public:
    QuillbayApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The one guard of the program's operations (platform/ErrorGuard.h).
using platform::runGuarded;

// Prepares the user's data folder, creates the tray window (which runs the start-up) and
// runs the message loop until Exit. Exit chosen while start-up still runs ends the program
// as soon as start-up returns.
int runProgram(const QStringList& arguments);
