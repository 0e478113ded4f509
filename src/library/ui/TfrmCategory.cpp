#include "library/ui/TfrmCategory.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "library/LibraryOperations.h"
#include "library/NameValidation.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "library/ui/TfrmNewSection.h"
#include "platform/Help.h"
#include "platform/MessageLoop.h"
#include "platform/ShellIcons.h"

TfrmCategory::TfrmCategory(QWidget* parent) : NameDialog("New Folder", "frmCategory", parent) {
    edtName->setText("New Folder");
    cbSection = new QComboBox(this);
    cbSection->setObjectName("cbSection");
    cbSection->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbSection->setMinimumContentsLength(16);
    cmdNewSection = sideButton("&New Section", "cmdNewSection");
    addChoiceRow("&Section:", cbSection, cmdNewSection);

    lblIcon = new QLabel("Choose an icon to represent this folder:", this);
    lblIcon->setObjectName("lblIcon");
    lvIcon = new QListWidget(this);
    lvIcon->setObjectName("lvIcon");
    lvIcon->setViewMode(QListView::IconMode);
    lvIcon->setIconSize(QSize(platform::kFolderIconSize, platform::kFolderIconSize));
    lvIcon->setGridSize(QSize(64, 60));
    lvIcon->setMovement(QListView::Static);
    lvIcon->setResizeMode(QListView::Adjust);
    lvIcon->setUniformItemSizes(true);
    lvIcon->setSelectionMode(QAbstractItemView::SingleSelection);
    lvIcon->setMinimumHeight(190);
    lblIcon->setBuddy(lvIcon);
    bodyLayout()->addSpacing(6);
    bodyLayout()->addWidget(lblIcon);
    bodyLayout()->addWidget(lvIcon, 1);
    addOKCancel();
    resize(440, 400);

    connect(cmdNewSection, &QPushButton::clicked, this, &TfrmCategory::cmdNewSectionClick);
}

TfrmCategory::~TfrmCategory() = default;

void TfrmCategory::useNewSectionDialog(TfrmNewSection* newSection) {
    newSectionDialog_ = newSection;
}

void TfrmCategory::NewCatShow(int page) {
    cbSection->clear();
    cbSection->addItems(library::sectionNames());
    if (page >= 0 && page < cbSection->count())
        cbSection->setCurrentIndex(page);
    exec();
}

void TfrmCategory::FormShow() {
    if (lvIcon->count() == 0)
        fillIcons();
    if (lvIcon->count() > 0) {
        lvIcon->setCurrentRow(0);
        lvIcon->scrollToTop();
    }
    edtName->setFocus();
    edtName->selectAll();
}

void TfrmCategory::fillIcons() {
    const Settings settings;
    const int count = qBound(0, settings.readInteger("Main", "NumIcons"), kMaxIcons);
    const QString iconFile = platform::folderIconFile(settings.readString("Main", "IconFile"));
    const QList<QIcon> icons = platform::iconsFromFile(iconFile, count);
    for (int i = 0; i < count; ++i) {
        auto* item = new QListWidgetItem(icons[i], QString("Icon %1").arg(i + 1), lvIcon);
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
}

int TfrmCategory::selectedIcon() const {
    const QList<QListWidgetItem*> chosen = lvIcon->selectedItems();
    return chosen.isEmpty() ? 0 : lvIcon->row(chosen.first());
}

void TfrmCategory::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        platform::openHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmCategory::cmdNewSectionClick() {
    if (!newSectionDialog_)
        return;
    // The dialog may go while it runs; the connection then goes with it.
    TfrmNewSection* newSection = newSectionDialog_;
    // The section made over this dialog becomes the chosen one.
    const QMetaObject::Connection added =
        connect(newSection, &TfrmNewSection::sectionAdded, this, [this](const QString& name) {
            cbSection->addItem(name);
            cbSection->setCurrentIndex(cbSection->count() - 1);
        });
    newSection->exec();
    disconnect(added);
}

void TfrmCategory::cmdOKClick() {
    const int position = cbSection->currentIndex();
    if (position < 0) {
        refuse("Please choose the section for the new folder, or make one with New Section.");
        return;
    }
    const QString section = cbSection->currentText();
    if (const auto refusal = library::newFolderRefusal(edtName->text(), section)) {
        refuse(*refusal);
        return;
    }
    const QString name = library::libraryName(edtName->text());
    const int icon = selectedIcon();
    if (!tryChange([&] { library::NewButton(name, section, icon, position); }))
        return;
    // An open download dialog selects the section and its last folder, the one just made.
    platform::postAppMessage(platform::UM_SELECTNEWFOLDER, position);
    emit folderAdded(position, name, icon);
    // The selection and the windows' repainting run before the dialog closes.
    platform::processMessages();
    accept();
}
