#pragma once

#include <QPointer>

#include "widgets/NameDialog.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class TfrmNewSection;

// "New Folder": a name, the section it goes in and its icon. Created once at start-up and
// reused; the typed name stays between uses. OK adds the folder to the library (directory
// and section file), posts UM_SELECTNEWFOLDER with the section's position so that an open
// download dialog selects the new folder, and closes; the windows that show folders hook in
// through folderAdded.
class TfrmCategory : public NameDialog {
    Q_OBJECT
public:
    // Icon lists longer than this come from a damaged setting, not from an icon file.
    static constexpr int kMaxIcons = 1000;

    explicit TfrmCategory(QWidget* parent = nullptr);
    ~TfrmCategory() override;

    // The "New Section" dialog its button opens; null (or gone) leaves the button idle.
    void useNewSectionDialog(TfrmNewSection* newSection);

    // Shows the dialog modally for a folder of the section at 0-based position `page`.
    void NewCatShow(int page);

    void FormShow() override;
    void cmdOKClick() override;
    void cmdNewSectionClick();

    // The icon index of the chosen item; icon 0 while no item is chosen.
    int selectedIcon() const;

    QComboBox* cbSection = nullptr;
    QLabel* lblIcon = nullptr;
    QListWidget* lvIcon = nullptr;
    QPushButton* cmdNewSection = nullptr;

signals:
    // A folder was added: the 0-based position of its section, its name and icon index.
    void folderAdded(int sectionPosition, const QString& folder, int icon);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillIcons();

    QPointer<TfrmNewSection> newSectionDialog_;
};
