#pragma once

#include <QDialog>

class QLabel;

// "About Quillbay": the program's name, version, licence and the folders it uses. Shown
// without waiting; Enter and Escape close it.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QLabel* lblName = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblLicence = nullptr;
    QLabel* lblFolder = nullptr;
};
