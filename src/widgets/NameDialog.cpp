#include "widgets/NameDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <exception>

#include "platform/Dialogs.h"

NameDialog::NameDialog(const QString& title, const QString& objectName, QWidget* parent)
    : QDialog(parent) {
    setObjectName(objectName);
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    edtName = new QLineEdit(this);
    edtName->setObjectName("edtName");
    auto* nameLabel = new QLabel("&Name:", this);
    nameLabel->setBuddy(edtName);

    fields_ = new QGridLayout;
    fields_->addWidget(nameLabel, 0, 0);
    fields_->addWidget(edtName, 0, 1, 1, 2);
    fields_->setColumnStretch(1, 1);
    layout_ = new QVBoxLayout(this);
    layout_->addLayout(fields_);
}

QPushButton* NameDialog::sideButton(const QString& caption, const char* objectName) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

void NameDialog::addChoiceRow(const QString& label, QWidget* field, QPushButton* button) {
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    const int row = fields_->rowCount();
    fields_->addWidget(caption, row, 0);
    fields_->addWidget(field, row, 1);
    fields_->addWidget(button, row, 2);
}

void NameDialog::addOKCancel() {
    cmdOK = new QPushButton("&OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = sideButton("&Cancel", "cmdCancel");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout_->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOKClick(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void NameDialog::refuse(const QString& message) {
    platform::showMessage(message);
    edtName->setFocus();
}

bool NameDialog::tryChange(const std::function<void()>& change) {
    try {
        change();
        return true;
    } catch (const std::exception& error) {
        platform::errorBox(QString::fromUtf8(error.what()));
        edtName->setFocus();
        return false;
    }
}

void NameDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
