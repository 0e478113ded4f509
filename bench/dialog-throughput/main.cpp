// bench_dialog URL FOLDER: one download through the download dialog, shown offscreen, into
// a library section at FOLDER; prints "seconds user-seconds system-seconds bytes" on stdout.
// run.sh times it beside qbyget and curl on the same file.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include <sys/resource.h>

#include <cstdio>

#include "download/TfrmAsker.h"
#include "library/LibraryOperations.h"
#include "platform/Dialogs.h"
#include "platform/MessageLoop.h"

namespace {

// Every box gets its safe answer; a bench has no one to click.
class NoOneThere : public platform::DialogHandler {
public:
    int messageBox(const platform::MessageBoxRequest& request) override {
        std::fprintf(stderr, "box: %s\n", qPrintable(request.text));
        return platform::IDOK;
    }
    QString fileDialog(const platform::FileDialogRequest&) override { return {}; }
    bool printDialog(QPrinter*, const QString&) override { return false; }
};

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_dialog URL FOLDER\n");
        return 2;
    }
    const QString url = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    NoOneThere boxes;
    platform::installDialogHandler(&boxes);
    library::NewPage("Bench", folder + "/");
    library::NewButton("Files", "Bench", 3, 0);

    auto* dialog = new TfrmAsker;
    const QString name = url.mid(url.lastIndexOf('/') + 1);
    dialog->edtName->setText(name);
    dialog->edtSource->setEditText(url);
    dialog->DownloadURL = url;
    dialog->Protocol = url.startsWith("ftp") ? "ftp" : "http";
    dialog->FileName = name;
    dialog->URLDirectory = url.left(url.lastIndexOf('/') + 1);
    dialog->SetDefaults();
    dialog->cbPromptDone->setChecked(false);
    dialog->show();
    platform::processMessages();

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer clock;
    clock.start();
    dialog->cmdOK->click();
    platform::waitUntil(dialog, [dialog] { return !dialog->isDownloading(); });
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const qint64 bytes = QFileInfo(folder + "/Files/" + name).size();
    std::printf("%.3f %.3f %.3f %lld\n", elapsed,
                seconds(after.ru_utime) - seconds(before.ru_utime),
                seconds(after.ru_stime) - seconds(before.ru_stime), bytes);
    delete dialog;
    return 0;
}
