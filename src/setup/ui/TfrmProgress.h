#pragma once

#include <QDialog>

class QLabel;
class TActivityBar;

// "Scanning...": a small always-on-top tool window with a running animation, shown while
// the wizard searches the disk.
class TfrmProgress : public QDialog {
    Q_OBJECT
public:
    explicit TfrmProgress(QWidget* parent = nullptr);

    QLabel* lblText = nullptr;
    TActivityBar* aniFind = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};
