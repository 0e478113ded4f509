#include "manager/TfrmPrint.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Dialogs.h"
#include "platform/Help.h"
#include "platform/ProgramFolder.h"
#include "widgets/FormLayout.h"

namespace {

constexpr char kPrintHeading[] = "Select the fields that you would like to print.";
constexpr char kSaveHeading[] = "Select the fields that you would like to save in the report.";
constexpr char kWarning[] =
    "Please note that long fields may prevent the information from fitting on a single line "
    "when printed (wrap to the next line).  If you encounter this, it is recommended that you "
    "save a report first and then adjust the document formatting manually before printing.";
constexpr int kTabStop = 8;

QString targetName(const QString& folderName) {
    return (folderName.isEmpty() ? QStringLiteral("Report") : folderName) + ".txt";
}

QString expandTabs(const QString& line) {
    QString out;
    for (const QChar c : line) {
        if (c == '\t')
            out += QString(kTabStop - out.size() % kTabStop, ' ');
        else
            out += c;
    }
    return out;
}

} // namespace

TfrmPrint::TfrmPrint(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPrint");
    setWindowTitle("Print a Report");
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    lblHeading = forms::named(new QLabel(kPrintHeading, this), "lblHeading");
    lblHeading->setWordWrap(true);
    const auto box = [this](const char* caption, const char* name, bool checked) {
        auto* b = forms::named(new QCheckBox(caption, this), name);
        b->setChecked(checked);
        return b;
    };
    cbFileName = box("File Name", "cbFileName", true);
    cbSource = box("Source", "cbSource", true);
    cbDateDownloaded = box("Date Downloaded", "cbDateDownloaded", true);
    cbDateOpened = box("Date Opened", "cbDateOpened", false);
    cbVirusChecked = box("Virus Checked", "cbVirusChecked", false);
    cbDescription = box("Description", "cbDescription", true);

    lblFilename = forms::named(new QLabel("Report Filename", this), "lblFilename");
    edtPrintFile = forms::named(new QLineEdit(this), "edtPrintFile");
    edtPrintFile->setReadOnly(true);
    edtPrintFile->setAccessibleName("Report Filename");
    lblFilename->setBuddy(edtPrintFile);
    cmdBrowse = forms::named(new QPushButton("...", this), "cmdBrowse");
    cmdBrowse->setAccessibleName("Browse for the report file");
    cmdBrowse->setAutoDefault(false);
    cmdBrowse->setFixedWidth(28);
    lblWarning = forms::named(new QLabel(kWarning, this), "lblWarning");
    lblWarning->setWordWrap(true);

    cmdPreview = forms::named(new QPushButton("Pre&view...", this), "cmdPreview");
    cmdPreview->setAutoDefault(false);
    cmdOK = forms::named(new QPushButton("&OK", this), "cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = forms::named(new QPushButton("&Cancel", this), "cmdCancel");
    cmdCancel->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeading);
    auto* boxes = new QGridLayout;
    boxes->addWidget(cbFileName, 0, 0);
    boxes->addWidget(cbSource, 1, 0);
    boxes->addWidget(cbDateDownloaded, 2, 0);
    boxes->addWidget(cbDateOpened, 0, 1);
    boxes->addWidget(cbVirusChecked, 1, 1);
    boxes->addWidget(cbDescription, 2, 1);
    layout->addLayout(boxes);
    layout->addWidget(lblFilename);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(edtPrintFile, 1);
    fileRow->addWidget(cmdBrowse);
    layout->addLayout(fileRow);
    layout->addWidget(lblWarning);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPreview);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);

    connect(cmdBrowse, &QPushButton::clicked, this, &TfrmPrint::cmdBrowseClick);
    connect(cmdPreview, &QPushButton::clicked, this, &TfrmPrint::cmdPreviewClick);
    connect(cmdOK, &QPushButton::clicked, this, &TfrmPrint::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    setTarget(platform::dataFolder() + targetName(QString()));
}

void TfrmPrint::FormCreate(const QString& currentFolderName) {
    setTarget(platform::dataFolder() + targetName(currentFolderName));
}

void TfrmPrint::setTarget(const QString& path) {
    target_ = path;
    edtPrintFile->setText(path);
}

int TfrmPrint::ShowParams(bool print, const library::ReportSource& source) {
    print_ = print;
    source_ = source;
    setWindowTitle(print ? "Print a Report" : "Save a Report");
    lblHeading->setText(print ? kPrintHeading : kSaveHeading);
    lblFilename->setVisible(!print);
    edtPrintFile->setVisible(!print);
    cmdBrowse->setVisible(!print);
    lblWarning->setVisible(print);
    cmdPreview->setVisible(print);
    if (!print)
        setTarget(QFileInfo(target_).absolutePath() + '/' + targetName(source.folderName));
    layout()->activate();
    setFixedSize(QSize(293, 272).expandedTo(sizeHint()));
    cmdOK->setFocus();
    return exec();
}

library::ReportFields TfrmPrint::fields() const {
    return {cbFileName->isChecked(),   cbSource->isChecked(),       cbDateDownloaded->isChecked(),
            cbDateOpened->isChecked(), cbVirusChecked->isChecked(), cbDescription->isChecked()};
}

QString TfrmPrint::reportText() const {
    return library::reportText(fields(), source_.recordFile, source_.names);
}

void TfrmPrint::cmdBrowseClick() {
    const QFileInfo current(target_);
    const QString chosen =
        platform::saveFileDialog("Save Report As", "Text files (*.txt)|*.TXT",
                                 current.absolutePath(), current.fileName(), ".txt");
    if (!chosen.isEmpty())
        setTarget(chosen);
}

void TfrmPrint::cmdOKClick() {
    if (print_) {
        QPrinter printer(QPrinter::HighResolution);
        if (!platform::printDialog(&printer, windowTitle()))
            return;
        if (!printText(&printer, reportText())) {
            platform::errorBox("The report could not be printed.");
            return;
        }
        accept();
        return;
    }
    if (QFileInfo::exists(target_) &&
        platform::messageBox(
            "The specified file \"" + target_ + "\" already exists.  Replace the existing file?",
            "Warning", platform::MB_YESNO | platform::MB_ICONWARNING) != platform::IDYES)
        return;
    const QString error = library::writeReportFile(target_, reportText());
    if (!error.isEmpty()) {
        // The dialog stays open, so another name can be chosen.
        platform::errorBox(error);
        return;
    }
    accept();
}

void TfrmPrint::cmdPreviewClick() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName("ppdReport");
    const QString text = reportText();
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&text](QPrinter* p) { printText(p, text); });
    preview.exec();
}

bool TfrmPrint::printText(QPrinter* printer, const QString& text) {
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    // "Courier" is matched by the desktop's fonts; the hints keep it fixed-pitch when it is
    // missing (the URW Nimbus Mono stands in on Debian).
    QFont font("Courier");
    font.setPointSizeF(8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    painter.setFont(font);
    const QFontMetrics metrics(painter.font(), printer);
    const int width = printer->width();
    const int height = printer->height();
    const int perLine = qMax(1, width / qMax(1, metrics.horizontalAdvance('M')));

    QStringList lines = text.split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    int y = metrics.ascent();
    for (const QString& raw : lines) {
        QString line = expandTabs(raw);
        do {
            if (y + metrics.descent() > height) {
                printer->newPage();
                y = metrics.ascent();
            }
            painter.drawText(0, y, line.left(perLine));
            line.remove(0, perLine);
            y += metrics.lineSpacing();
        } while (!line.isEmpty());
    }
    return painter.end();
}

void TfrmPrint::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        platform::openHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}
