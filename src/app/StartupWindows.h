#pragma once

#include <functional>

class QObject;
class QWidget;

// Creates the long-lived windows once, in their fixed order, letting pending messages run
// after each. The manager window's creation lays out the default library on the first run
// and runs the event scan on later ones.
void createLongLivedWindows();

// The manager window, or nullptr while the program has none.
QWidget* managerWindow();

// Shows the manager window and brings it to the front.
void openManagerWindow();

// Shows the options dialog modally, or brings it to the front when it is open already.
void openOptionsDialog();

// Shows the first-run wizard, modal to the whole program, and runs `whenClosed` (guarded
// by `context`) once it has closed, however it closed; at once when there is no wizard.
void showConfigurationWizard(QObject* context, const std::function<void()>& whenClosed);
