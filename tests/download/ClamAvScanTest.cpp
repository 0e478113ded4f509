#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>

#include "AskerFixture.h"
#include "library/Settings.h"
#include "setup/ScannerDetection.h"

namespace {

using qbtest::AskerFixture;

// The real ClamAV, found as the first-run wizard finds it, scans files as the dialog starts
// it; our own MD5 signature database means nothing is fetched from the network.
TEST(ClamAvScan, TheFoundScannerReportsAMatchingDownloadAndPassesACleanOne) {
    const QString clamscan = "/usr/bin/clamscan";
    if (!QFileInfo(clamscan).isExecutable())
        GTEST_SKIP() << "clamscan is not installed (Debian package clamav)";

    const QString entry = setup::scannerEntry("ClamAV - clamscan", clamscan);
    ASSERT_TRUE(setup::findScanners("/usr/bin/").contains(entry));
    const setup::KnownScanner* known = setup::scannerForPath(setup::entryPath(entry));
    ASSERT_TRUE(known);
    ASSERT_EQ(known->parameters, "--no-summary");

    AskerFixture f;
    const QByteArray payload = "Quillbay test payload: reported by its own signature\n";
    const QString database = f.home.root() + "/signatures dir/own.hdb";
    ASSERT_TRUE(qbtest::writeFile(
        database, QCryptographicHash::hash(payload, QCryptographicHash::Md5).toHex() + ':' +
                      QByteArray::number(payload.size()) + ":Quillbay.Test.Signature\n"));
    Settings().writeString("VirusScanner", "CommandLine", setup::entryPath(entry));
    Settings().writeString("VirusScanner", "Parameters",
                           known->parameters + " -d \"" + database + "\"");

    TfrmAsker* dialog = f.open("http://127.0.0.1:1/payload.bin");
    dialog->cbAutoScan->setEnabled(true);
    dialog->cbAutoScan->setChecked(true);
    struct Case {
        const char* name;
        QByteArray content;
        int exitCode;
        QString verdict;
    } cases[] = {
        {"payload.bin", payload, 1, "Quillbay.Test.Signature.UNOFFICIAL FOUND"},
        {"clean file.bin", payload + "changed", 0, "OK"},
    };
    for (const Case& c : cases) {
        const QString path = f.path(c.name);
        ASSERT_TRUE(qbtest::writeFile(path, c.content));
        // The dialog's start is logged, not launched: the test runs that very command and
        // waits for the scanner's verdict, which a detached start would not tell.
        dialog->VirusScan(path);
        const QStringList started = f.home.shellLog().last().split('\t');
        ASSERT_EQ(started.size(), 3);
        ASSERT_EQ(started[0], "open");
        EXPECT_EQ(started[1], clamscan);
        const QStringList arguments = QProcess::splitCommand(started[2]);
        ASSERT_EQ(arguments.value(0), path);
        QProcess scan;
        scan.start(started[1], arguments);
        ASSERT_TRUE(scan.waitForFinished(30000));
        const QString output = QString::fromUtf8(scan.readAllStandardOutput());
        EXPECT_EQ(scan.exitCode(), c.exitCode) << qPrintable(output + scan.readAllStandardError());
        EXPECT_EQ(output, path + ": " + c.verdict + "\n");
    }
}

} // namespace
