#pragma once

#include <QString>

// Readies the user's data folder before anything reads a setting: creates it (mode 0700) and
// brings along the settings and library files an earlier build kept in `oldFolder` (the
// executable's folder). Each step is told in a line on stderr. False, after an error box, when
// the data folder cannot be used or the move failed: the program must not start then, or it
// would lay out a second, empty library.
bool prepareUserData(const QString& oldFolder);
bool prepareUserData();
