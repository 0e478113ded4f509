#pragma once

class QWidget;

// Creates the long-lived windows once, in their fixed order, letting pending messages run
// after each. The manager window's creation lays out the default library on the first run
// and runs the event scan on later ones.
void createLongLivedWindows();

// The manager window, or nullptr while the program has none.
QWidget* managerWindow();

// Shows the manager window and brings it to the front.
void openManagerWindow();
