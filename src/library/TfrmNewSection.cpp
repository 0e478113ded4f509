#include "library/TfrmNewSection.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <exception>

#include "app/AppWindows.h"
#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"
#include "library/NameValidation.h"
#include "platform/Dialogs.h"

TfrmNewSection::TfrmNewSection(QWidget* parent) : QDialog(parent) {
    setObjectName("frmNewSection");
    setWindowTitle("New Section");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    edtName = new QLineEdit(this);
    edtName->setObjectName("edtName");
    edtLocation = new QLineEdit(this);
    edtLocation->setObjectName("edtLocation");
    edtLocation->setReadOnly(true);
    cmdBrowse = new QPushButton("&Browse", this);
    cmdBrowse->setObjectName("cmdBrowse");
    cmdBrowse->setAutoDefault(false);
    cmdOK = new QPushButton("&OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("&Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setAutoDefault(false);

    auto* nameLabel = new QLabel("&Name:", this);
    nameLabel->setBuddy(edtName);
    auto* locationLabel = new QLabel("Location:", this);

    auto* fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(edtName, 0, 1, 1, 2);
    fields->addWidget(locationLabel, 1, 0);
    fields->addWidget(edtLocation, 1, 1);
    fields->addWidget(cmdBrowse, 1, 2);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    // The location follows every change of the name, typed or set.
    connect(edtName, &QLineEdit::textChanged, this, &TfrmNewSection::edtNameChange);
    connect(cmdBrowse, &QPushButton::clicked, this, &TfrmNewSection::cmdBrowseClick);
    connect(cmdOK, &QPushButton::clicked, this, &TfrmNewSection::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmNewSection::~TfrmNewSection() {
    if (frmNewSection == this)
        frmNewSection = nullptr;
}

void TfrmNewSection::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

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

void TfrmNewSection::refuse(const QString& message) {
    platform::showMessage(message);
    edtName->setFocus();
}

void TfrmNewSection::cmdOKClick() {
    const QString location = library::newSectionLocation(root_, edtName->text());
    if (const auto refusal = library::newSectionRefusal(edtName->text(), location)) {
        refuse(*refusal);
        return;
    }
    const QString name = library::libraryName(edtName->text());
    int number = 0;
    try {
        number = library::NewPage(name, location);
    } catch (const std::exception& error) {
        platform::errorBox(QString::fromUtf8(error.what()));
        edtName->setFocus();
        return;
    }
    emit sectionAdded(name, number - 1);
    accept();
}
