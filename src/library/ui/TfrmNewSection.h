#pragma once

#include "widgets/NameDialog.h"

class QLineEdit;
class QPushButton;

// "New Section": a name and the directory the section gets, root + name + "/". Created once
// at start-up and reused; the typed name stays between uses. OK adds the section to the
// library (directory and Headers.ini) and closes; the windows that show sections hook in
// through sectionAdded.
class TfrmNewSection : public NameDialog {
    Q_OBJECT
public:
    explicit TfrmNewSection(QWidget* parent = nullptr);
    ~TfrmNewSection() override;

    // The directory new sections go under, ending in "/".
    QString root() const { return root_; }

    void FormShow() override;
    void edtNameChange();
    void cmdBrowseClick();
    void cmdOKClick() override;

    QLineEdit* edtLocation = nullptr;
    QPushButton* cmdBrowse = nullptr;

signals:
    // A section was added: its name and its 0-based position in the list of sections.
    void sectionAdded(const QString& name, int position);

private:
    QString root_;
};
