#pragma once

#include <QString>

#include <functional>

namespace platform {

// Runs `operation`. An error it does not catch itself is shown in an error box (and written
// to standard error) and the operation stops there; returns false then. The program's
// event dispatch runs every handler this way, and so do the steps that must go on after a
// failed one.
bool runGuarded(const std::function<void()>& operation);

// Reports an error that stopped an operation: on standard error always, in an error box
// when called on the user-interface thread.
void reportUncaught(const QString& text);

// Reports the exception being handled (inside a catch block) with reportUncaught.
void reportCurrentException();

} // namespace platform
