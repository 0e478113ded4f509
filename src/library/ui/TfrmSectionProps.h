#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

// "Properties" of a section (its location and number of folders) or of a folder (its
// location, files, space, and its icon, which OK stores). Created once and reused.
class TfrmSectionProps : public QDialog {
    Q_OBJECT
public:
    // Icon lists longer than this come from a damaged setting, not from an icon file.
    static constexpr int kMaxIcons = 1000;

    explicit TfrmSectionProps(QWidget* parent = nullptr);

    // Shows the properties of section `section` (1-based) or, with `isSection` false, of its
    // folder `folder` (1-based). Returns the folder's chosen icon after OK, -1 otherwise.
    int PreShow(bool isSection, int folder, int section);

    QLabel* lblType = nullptr;
    QLabel* lblName = nullptr;
    QLabel* lblLocation = nullptr;
    QLabel* lblCountCaption = nullptr;
    QLabel* lblCount = nullptr;
    QLabel* lblSpaceCaption = nullptr;
    QLabel* lblSpace = nullptr;
    QLabel* imgIcon = nullptr;
    QListWidget* lvIcon = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillIcons();
    void lvIconClick();
};
