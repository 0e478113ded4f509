// What the download dialog does with a finished file: the notice, the virus scan, the
// record stamps and opening the file.

#include "download/TfrmAsker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTabWidget>
#include <QTimer>

#include "download/DownloadRecord.h"
#include "library/FileRecord.h"
#include "library/Settings.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"

void TfrmAsker::completionNotice(const QString& path) {
    QPointer<TfrmAsker> self(this);
    if (cbPromptDone->isChecked()) {
        platform::messageBox(QStringLiteral("Download Complete for ") + QFileInfo(path).fileName() +
                                 QStringLiteral("\r\rThis file has been placed in the following "
                                                "area:\r\rSection: ") +
                                 cbSection->currentText() + QStringLiteral("\rFolder: ") +
                                 cbCategory->currentText(),
                             QString(), platform::MB_OK | platform::MB_ICONINFORMATION);
        if (!self)
            return;
    }
    if (cbAutoScan->isChecked())
        VirusScan(path);
    if (cbOpenWhen->currentIndex() == 1)
        FileExec(path);
}

void TfrmAsker::VirusScan(const QString& path) {
    if (!cbAutoScan->isChecked())
        return;
    const QString scanner =
        Settings().readString(QStringLiteral("VirusScanner"), QStringLiteral("CommandLine"));
    // Without a scanner nothing is scanned, and the record must not say otherwise.
    if (scanner.trimmed().isEmpty())
        return;
    download::stampRecord(recordFile(), QFileInfo(path).fileName(),
                          library::RecordKey::LastScanned);
    // The path is one argument whatever it holds; it is never split again. The scanner's
    // own parameters follow it, as on a scan from the manager: a scanner that needs them
    // would otherwise run without doing its work while the record says it was scanned.
    const QString parameters =
        Settings().readString(QStringLiteral("VirusScanner"), QStringLiteral("Parameters"));
    platform::shellStart(scanner, QStringList{path} + QProcess::splitCommand(parameters));
    emit fileScanned(recordFile(), QFileInfo(path).fileName());
}

void TfrmAsker::FileExec(const QString& path) {
    download::stampRecord(recordFile(), QFileInfo(path).fileName(), library::RecordKey::LastOpened);
}

void TfrmAsker::openWhenDone(const QString& path) {
    // Only a file that arrived whole is opened, and never after an abort.
    if (cbOpenWhen->currentIndex() != 1 || !completionRun_ || cancelled_)
        return;
    platform::shellOpen(path);
}
