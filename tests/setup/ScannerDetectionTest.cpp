#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "TestEnvironment.h"
#include "setup/ScannerDetection.h"

namespace {

TEST(ScannerDetection, FindsKnownScannersInSearchOrderSkippingHiddenOnes) {
    QTemporaryDir dir;
    const QString r = dir.path() + '/';
    for (const char* name :
         {"NAV/NAVW32.EXE", "tools/scan.exe", ".hidden/SCAN95.EXE", "bin/.NAV.EXE", "bin/clamscan",
          "bin/ClamScan", "bin/notes.txt", "a/TBSCAN.EXE"})
        ASSERT_TRUE(qbtest::writeFile(r + name, "x"));
    int directories = 0;
    const QStringList entries = setup::findScanners(r, [&] { ++directories; });
    const QString blanks(38, ' ');
    EXPECT_EQ(
        entries,
        (QStringList{"ThunderByte Anti-Virus - tbscan.exe" + blanks + r + "a/TBSCAN.EXE",
                     "ClamAV - clamscan" + blanks + r + "bin/clamscan",
                     "Norton AntiVirus for Windows - navw32.exe" + blanks + r + "NAV/NAVW32.EXE",
                     "McAfee VirusScan for DOS - scan.exe" + blanks + r + "tools/scan.exe"}));
    EXPECT_EQ(directories, 5);
}

TEST(ScannerDetection, EntryPathIsTheTextAfterTheBlanks) {
    const std::pair<QString, QString> cases[] = {
        {setup::scannerEntry("Norton AntiVirus for Windows - navw32.exe", "/c/NAV/NAVW32.EXE"),
         "/c/NAV/NAVW32.EXE"},
        {setup::scannerEntry("ClamAV - clamscan", "/usr/bin/my  scanner"), "/usr/bin/my  scanner"},
        {setup::kOwnScanner, setup::kOwnScanner},
        {"", ""},
    };
    for (const auto& [entry, path] : cases)
        EXPECT_EQ(setup::entryPath(entry), path) << qPrintable(entry);
    ASSERT_TRUE(setup::scannerForPath("/usr/bin/clamdscan"));
    EXPECT_EQ(setup::scannerForPath("/usr/bin/clamdscan")->parameters, "--no-summary");
    EXPECT_EQ(setup::scannerForPath("/usr/bin/CLAMSCAN"), nullptr);
    ASSERT_TRUE(setup::scannerForPath("/x/msav.exe"));
}

} // namespace
