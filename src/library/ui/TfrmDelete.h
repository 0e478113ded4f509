#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// "Confirm Delete" for a section: three boxes say what goes besides the record files of its
// folders, which always go. Created once and reused; the boxes keep their last states.
class TfrmDelete : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDelete(QWidget* parent = nullptr);

    // Asks about the section at 1-based number `section` and, on OK, deletes it as chosen
    // (DelSection). True when it was deleted; an error on the way is shown in an error box.
    bool ShowForm(int section);
    bool DelSection();

    QLabel* lblTitle = nullptr;
    QCheckBox* cbSectionInfo = nullptr;
    QCheckBox* cbCategory = nullptr;
    QCheckBox* cbFolders = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int section_ = 0;
};
