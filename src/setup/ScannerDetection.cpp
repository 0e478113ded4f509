#include "setup/ScannerDetection.h"

#include <QFileInfo>

#include "platform/Registry.h"
#include "setup/TTreeScanner.h"

namespace setup {

namespace {
const QString kBlanks(38, ' ');
}

const QList<KnownScanner>& knownScanners() {
    static const QList<KnownScanner> scanners = {
        {"SCAN32.EXE", "McAfee VirusScan for Windows - scan32.exe", false, {}},
        {"SCAN95.EXE", "McAfee VirusScan for Windows - scan95.exe", false, {}},
        {"SCAN.EXE", "McAfee VirusScan for DOS - scan.exe", false, {}},
        {"NAVW32.EXE", "Norton AntiVirus for Windows - navw32.exe", false, {}},
        {"NAVW.EXE", "Norton AntiVirus for Windows - navw.exe", false, {}},
        {"NAV.EXE", "Norton AntiVirus for DOS - nav.exe", false, {}},
        {"MSAV.EXE", "Microsoft AntiVirus for DOS - msav.exe", false, {}},
        {"TBSCAN.EXE", "ThunderByte Anti-Virus - tbscan.exe", false, {}},
        // The scanners of this platform; the summary would only clutter the scan's output.
        {"clamscan", "ClamAV - clamscan", true, "--no-summary"},
        {"clamdscan", "ClamAV daemon - clamdscan", true, "--no-summary"},
    };
    return scanners;
}

QString scannerMasks() {
    return "MSAV.EXE,NAV.EXE,NAVW.EXE,NAVW32.EXE,SCAN.EXE,SCAN32.EXE,SCAN95.EXE,TBSCAN.EXE,"
           "clamscan,clamdscan";
}

QString scannerEntry(const QString& label, const QString& path) {
    return label + kBlanks + path;
}

QString entryPath(const QString& entry) {
    const int at = entry.indexOf(kBlanks);
    return at < 0 ? entry : entry.mid(at + kBlanks.size());
}

const KnownScanner* scannerForPath(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    for (const KnownScanner& scanner : knownScanners()) {
        const bool same =
            scanner.exactName ? name == scanner.fileName : name.toUpper() == scanner.fileName;
        if (same)
            return &scanner;
    }
    return nullptr;
}

QStringList findScanners(const QString& root, const std::function<void()>& onDirectory) {
    QStringList entries;
    TTreeScanner search;
    search.setFileMaskCommaText(scannerMasks());
    search.setInitialDirectory(root);
    search.OnFileFound = [&](TTreeScanner* s) {
        if (const KnownScanner* known = scannerForPath(s->FileFound()))
            entries << scannerEntry(known->label, s->FileFound());
    };
    if (onDirectory)
        search.OnDirectoryFound = [&](TTreeScanner*) { onDirectory(); };
    search.Execute();
    return entries;
}

BrowserLocations findBrowsers() {
    BrowserLocations found{kNotFound, kNotFound};
    const platform::Registry user(platform::Registry::CurrentUser);
    const QString netscapeKey = "\\Software\\Netscape\\Netscape Navigator\\Main";
    if (user.keyExists(netscapeKey))
        found.netscape =
            user.readString(netscapeKey, "Install Directory") + "/Program/Netscape.exe";
    const platform::Registry machine(platform::Registry::LocalMachine);
    const QString explorerKey =
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
    if (machine.keyExists(explorerKey))
        found.explorer = machine.readString(explorerKey, "");
    return found;
}

} // namespace setup
