#pragma once

#include <QDialog>
#include <QStringList>

#include "library/Report.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

// "Print a Report" / "Save a Report": the fields to report on, then the report printed or
// written to a text file. Created once; the field choices last while the program runs.
class TfrmPrint : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPrint(QWidget* parent = nullptr);

    // The first target: the data folder and the current folder's name (or "Report") + ".txt".
    void FormCreate(const QString& currentFolderName);
    // Sets the dialog up for printing (true) or saving (false) and shows it modally.
    int ShowParams(bool print, const library::ReportSource& source);

    void cmdBrowseClick();
    void cmdOKClick();
    void cmdPreviewClick();

    bool printMode() const { return print_; }
    QString targetFile() const { return target_; }
    library::ReportFields fields() const;
    QString reportText() const;

    // Lays `text` (lines ending in CR LF) out on the printer's pages in Courier 8 pt, one
    // line of text per printed line, longer lines wrapped. False when nothing could be
    // painted on the printer.
    static bool printText(QPrinter* printer, const QString& text);

    QLabel* lblHeading = nullptr;
    QCheckBox* cbFileName = nullptr;
    QCheckBox* cbSource = nullptr;
    QCheckBox* cbDateDownloaded = nullptr;
    QCheckBox* cbDateOpened = nullptr;
    QCheckBox* cbVirusChecked = nullptr;
    QCheckBox* cbDescription = nullptr;
    QLabel* lblFilename = nullptr;
    QLineEdit* edtPrintFile = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLabel* lblWarning = nullptr;
    QPushButton* cmdPreview = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setTarget(const QString& path);

    bool print_ = true;
    QString target_;
    library::ReportSource source_;
};
