#pragma once

#include <QApplication>
#include <QStringList>

#include <functional>

// The program's application object. An error that no handler of an event catches is
// shown in an error box; the work of that event stops there and the program goes on.
class QuillbayApplication : public QApplication {
public:
    QuillbayApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs `operation`. An error it does not catch itself is shown in an error box and the
// operation stops there; returns false then.
bool runGuarded(const std::function<void()>& operation);

// Prepares the user's data folder, creates the tray window (which runs the start-up) and
// runs the message loop until Exit. Exit chosen while start-up still runs ends the program
// as soon as start-up returns.
int runProgram(const QStringList& arguments);
