#include "library/ui/TfrmNewSection.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/NameValidation.h"
#include "platform/Dialogs.h"

TfrmNewSection::TfrmNewSection(QWidget* parent)
    : NameDialog("New Section", "frmNewSection", parent) {
    edtLocation = new QLineEdit(this);
    edtLocation->setObjectName("edtLocation");
    edtLocation->setReadOnly(true);
    cmdBrowse = sideButton("&Browse", "cmdBrowse");
    addChoiceRow("Location:", edtLocation, cmdBrowse);
    bodyLayout()->addStretch(1);
    addOKCancel();
    setMinimumWidth(460);

    // The location follows every change of the name, typed or set.
    connect(edtName, &QLineEdit::textChanged, this, &TfrmNewSection::edtNameChange);
    connect(cmdBrowse, &QPushButton::clicked, this, &TfrmNewSection::cmdBrowseClick);
}

TfrmNewSection::~TfrmNewSection() = default;

void TfrmNewSection::FormShow() {
    root_ = library::newSectionRoot();
    // The name kept from the last use has its location shown too, so that what OK creates
    // is always what the dialog shows.
    edtNameChange();
    edtName->setFocus();
    edtName->selectAll();
}

void TfrmNewSection::edtNameChange() {
    edtLocation->setText(library::newSectionLocation(root_, edtName->text()));
}

void TfrmNewSection::cmdBrowseClick() {
    const QString folder = platform::browseForFolder("Choose a section location below:", root_);
    if (folder.isEmpty())
        return;
    root_ = library::withTrailingSlash(folder);
    edtNameChange();
}

void TfrmNewSection::cmdOKClick() {
    const QString location = library::newSectionLocation(root_, edtName->text());
    if (const auto refusal = library::newSectionRefusal(edtName->text(), location)) {
        refuse(*refusal);
        return;
    }
    const QString name = library::libraryName(edtName->text());
    int number = 0;
    if (!tryChange([&] { number = library::NewPage(name, location); }))
        return;
    emit sectionAdded(name, number - 1);
    accept();
}
