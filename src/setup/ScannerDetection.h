#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the first-run wizard finds on this system: the browsers named in the registry
// stand-in and the known virus scanners on disk.
namespace setup {

// A known scanner program: its file name, the label shown for it, and whether the name
// must match exactly (this platform's programs) or without regard to case (the old
// upper-case DOS and Windows names).
struct KnownScanner {
    QString fileName;
    QString label;
    bool exactName;
    QString parameters; // suggested optional parameters
};
const QList<KnownScanner>& knownScanners();

// The masks the search uses, as comma text.
QString scannerMasks();

// The two entries put in front of the found scanners.
inline constexpr const char* kNoScanner = "Do not configure a scanner at this time.";
inline constexpr const char* kOwnScanner = "I wish to specify my own scanner.";
inline constexpr const char* kNotFound = "Not Found";

// "label" + 38 blanks + path: the blanks push the path out of sight in the list.
QString scannerEntry(const QString& label, const QString& path);
// The path of an entry: its text after the 38 blanks, or the whole text without them.
QString entryPath(const QString& entry);
// The known scanner a path names, or nullptr.
const KnownScanner* scannerForPath(const QString& path);

// The entries of every known scanner below `root`, in the order the search reports them;
// hidden files and folders are skipped. `onDirectory` runs for each directory entered.
QStringList findScanners(const QString& root = "/", const std::function<void()>& onDirectory = {});

// The browser locations in the registry stand-in, "Not Found" where the key is missing.
struct BrowserLocations {
    QString netscape;
    QString explorer;
};
BrowserLocations findBrowsers();

} // namespace setup
