#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Earlier builds kept the settings and the library's ini files beside the executable. On the
// first start after the change they move to the data folder; the library's directories stay
// where they are, since every section stores its own full location.
struct DataMove {
    enum Status {
        NothingToMove, // no settings or section list beside the executable
        Moved,         // every ini file is now in the data folder and gone from the old one
        Kept,          // the data folder holds a library already: both are left as they are
        Failed,        // nothing was changed; `error` says why
    };
    Status status = NothingToMove;
    QStringList files; // the names moved (Moved) or found (Kept, Failed)
    QString error;
    // The line that tells the user what happened; empty for NothingToMove.
    QString line(const QString& from, const QString& to) const;
};

// Moves every "*.ini" file of `from` into `to` (an existing folder), when `from` holds
// dlmain.ini or Headers.ini. All files are copied before any original is removed, so a
// failure leaves the old folder whole and the data folder as it was.
DataMove moveOldLibrary(const QString& from, const QString& to);

} // namespace platform
