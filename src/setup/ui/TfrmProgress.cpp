#include "setup/ui/TfrmProgress.h"

#include <QLabel>
#include <QVBoxLayout>

#include "widgets/TActivityBar.h"

TfrmProgress::TfrmProgress(QWidget* parent) : QDialog(parent) {
    setObjectName("frmProgress");
    setWindowTitle("Scanning...");
    // No system buttons: the search cannot be stopped halfway.
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    lblText = new QLabel("Please wait while Quillbay scans your system for installed Virus "
                         "Scanner software.  This may take up to 30 seconds.");
    lblText->setObjectName("lblText");
    lblText->setWordWrap(true);
    aniFind = new TActivityBar;
    aniFind->setObjectName("aniFind");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblText);
    layout->addWidget(aniFind);
    setFixedWidth(360);
}

void TfrmProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    aniFind->start();
}

void TfrmProgress::hideEvent(QHideEvent* event) {
    aniFind->stop();
    QDialog::hideEvent(event);
}
