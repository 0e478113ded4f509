#pragma once

class QWidget;

// The manager window's placement in [Position] of the settings file.

// Stores width, height, top and left, in this order, but only while `window` is visible:
// a hidden window keeps the placement stored when it was last closed.
void storePlacement(QWidget* window);

// Restores a stored placement before the window is shown; without one (Width absent) the
// window keeps its designed size and is centred. A stored placement is kept on a screen.
void restorePlacement(QWidget* window);
