#include "library/ui/TfrmSectionProps.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/Categories.h"
#include "library/LibraryEdits.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "platform/ErrorGuard.h"
#include "platform/Help.h"
#include "platform/Profile.h"
#include "platform/ShellIcons.h"

TfrmSectionProps::TfrmSectionProps(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSectionProps");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto value = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return label;
    };
    imgIcon = value("imgIcon");
    lblType = value("lblType");
    lblName = value("lblName");
    lblLocation = value("lblLocation");
    lblLocation->setWordWrap(true);
    lblCount = value("lblCount");
    lblSpace = value("lblSpace");
    lblCountCaption = new QLabel(this);
    lblSpaceCaption = new QLabel("Total File Space:", this);
    form->addRow(imgIcon, lblName);
    form->addRow("Type:", lblType);
    form->addRow("Location:", lblLocation);
    form->addRow(lblCountCaption, lblCount);
    form->addRow(lblSpaceCaption, lblSpace);
    layout->addLayout(form);
    for (QLabel* label : {lblType, lblLocation, lblCount, lblSpace}) {
        if (auto* caption = qobject_cast<QLabel*>(form->labelForField(label)))
            label->setAccessibleName(caption->text());
    }
    lvIcon = new QListWidget(this);
    lvIcon->setObjectName("lvIcon");
    lvIcon->setAccessibleName("Icon");
    lvIcon->setViewMode(QListView::IconMode);
    lvIcon->setIconSize(QSize(platform::kFolderIconSize, platform::kFolderIconSize));
    lvIcon->setGridSize(QSize(64, 60));
    lvIcon->setMovement(QListView::Static);
    lvIcon->setResizeMode(QListView::Adjust);
    lvIcon->setSelectionMode(QAbstractItemView::SingleSelection);
    lvIcon->setMinimumHeight(160);
    layout->addWidget(lvIcon, 1);
    connect(lvIcon, &QListWidget::currentRowChanged, this, &TfrmSectionProps::lvIconClick);
    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName("cmdCancel");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(420, 420);
}

void TfrmSectionProps::fillIcons() {
    const Settings settings;
    const int count = qBound(0, settings.readInteger("Main", "NumIcons"), kMaxIcons);
    const QString file = platform::folderIconFile(settings.readString("Main", "IconFile"));
    const QList<QIcon> icons = platform::iconsFromFile(file, count);
    for (int i = 0; i < count; ++i)
        new QListWidgetItem(icons[i], QString("Icon %1").arg(i + 1), lvIcon);
}

void TfrmSectionProps::lvIconClick() {
    QListWidgetItem* item = lvIcon->currentItem();
    imgIcon->setPixmap(item ? item->icon().pixmap(platform::kFolderIconSize) : QPixmap());
}

int TfrmSectionProps::PreShow(bool isSection, int folder, int section) {
    const QString sectionName = library::sectionName(section);
    const QString location = library::sectionLocation(section);
    lvIcon->setVisible(!isSection);
    imgIcon->setVisible(!isSection);
    lblSpaceCaption->setVisible(!isSection);
    lblSpace->setVisible(!isSection);
    if (isSection) {
        setWindowTitle(sectionName + " Properties");
        lblType->setText("Section");
        lblName->setText(sectionName);
        lblLocation->setText(location.isEmpty() ? "No Data" : location);
        lblCountCaption->setText("Categories:");
        lblCount->setText(platform::IniFile(library::sectionFilePath(sectionName))
                              .readString("Main", "NumCats", "0"));
    } else {
        const QString name = library::categoryName(sectionName, folder);
        const QString directory = library::folderDirectory(location, name);
        const library::FolderSpace space = library::folderSpace(directory);
        setWindowTitle(name + " Properties");
        lblType->setText("Folder");
        lblName->setText(name);
        lblLocation->setText(directory);
        lblCountCaption->setText("Files:");
        lblCount->setText(QString::number(space.files));
        lblSpace->setText(library::kilobytesText(space.bytes));
        if (lvIcon->count() == 0)
            fillIcons();
        lvIcon->setCurrentRow(library::categoryIcon(sectionName, folder));
        lvIconClick();
    }
    lblCount->setAccessibleName(lblCountCaption->text());
    cmdOK->setFocus();
    if (exec() != QDialog::Accepted || isSection)
        return -1;
    const QList<QListWidgetItem*> chosen = lvIcon->selectedItems();
    // No item chosen keeps the folder's icon.
    const int icon =
        chosen.isEmpty() ? library::categoryIcon(sectionName, folder) : lvIcon->row(chosen.first());
    const bool written =
        platform::runGuarded([&] { library::writeCategoryIcon(sectionName, folder, icon); });
    return written ? icon : -1;
}

void TfrmSectionProps::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        platform::openHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}
