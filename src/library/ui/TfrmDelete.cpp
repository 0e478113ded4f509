#include "library/ui/TfrmDelete.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/LibraryEdits.h"
#include "library/Sections.h"
#include "platform/ErrorGuard.h"
#include "platform/Help.h"

TfrmDelete::TfrmDelete(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDelete");
    setWindowTitle("Confirm Delete");
    auto* layout = new QVBoxLayout(this);
    lblTitle = new QLabel(this);
    lblTitle->setObjectName("lblTitle");
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    layout->addWidget(lblTitle);
    const auto box = [this, layout](const char* text, const char* name, bool on) {
        auto* check = new QCheckBox(text, this);
        check->setObjectName(name);
        check->setChecked(on);
        layout->addWidget(check);
        return check;
    };
    cbSectionInfo = box("Delete section configuration  information", "cbSectionInfo", true);
    cbCategory = box("Delete all folder information", "cbCategory", true);
    cbFolders = box("Delete all files in this section", "cbFolders", false);
    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName("cmdCancel");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (DelSection())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool TfrmDelete::ShowForm(int section) {
    section_ = section;
    lblTitle->setText("Delete Options for \"" + library::sectionName(section) + '"');
    lblTitle->setAccessibleName(lblTitle->text());
    cmdOK->setFocus();
    return exec() == QDialog::Accepted;
}

bool TfrmDelete::DelSection() {
    library::SectionDeletion what;
    what.sectionInfo = cbSectionInfo->isChecked();
    what.folderInfo = cbCategory->isChecked();
    what.files = cbFolders->isChecked();
    return platform::runGuarded([&] { library::deleteSection(section_, what); });
}

void TfrmDelete::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        platform::openHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}
