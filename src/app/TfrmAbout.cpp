#include "app/TfrmAbout.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ProgramFolder.h"
#include "platform/ShellIcons.h"

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle("About Quillbay");
    setWindowIcon(platform::applicationIcon());
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(platform::applicationIcon().pixmap(48, 48));
    icon->setAccessibleName("Quillbay icon");
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    lblName = new QLabel("Quillbay", this);
    lblName->setObjectName("lblName");
    QFont f = lblName->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    lblName->setFont(f);
    layout->addWidget(lblName, 0, Qt::AlignHCenter);
    lblVersion = new QLabel(QString("Version %1").arg(QB_VERSION), this);
    lblVersion->setObjectName("lblVersion");
    layout->addWidget(lblVersion, 0, Qt::AlignHCenter);
    lblLicence = new QLabel("A download manager for the desktop.\nCopyright the Quillbay "
                            "developers. Free to use, copy and change under the terms of the "
                            "GNU General Public License, version 3 or later.",
                            this);
    lblLicence->setObjectName("lblLicence");
    lblLicence->setWordWrap(true);
    layout->addWidget(lblLicence);
    // Both folders, since the user's data no longer lives beside the program.
    lblFolder = new QLabel(QString("Program files: %1\nYour data: %2")
                               .arg(platform::programFiles().resources, platform::dataFolder()),
                           this);
    lblFolder->setObjectName("lblFolder");
    lblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblFolder->setWordWrap(true);
    layout->addWidget(lblFolder);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
