#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

#include "DialogAnswerer.h"
#include "TestEnvironment.h"
#include "library/Categories.h"
#include "library/LibraryOperations.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "platform/MessageLoop.h"

namespace {

// Runs `whileOpen` inside the modal loop that `open` starts. A dialog still open afterwards
// is closed, so that a test that fails never hangs; the result says whether it closed itself.
bool closedByItself(QDialog& dialog, const std::function<void()>& open,
                    const std::function<void()>& whileOpen) {
    bool ran = false;
    bool leftOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
        ran = true;
        whileOpen();
        if (dialog.isVisible()) {
            leftOpen = true;
            dialog.reject();
        }
    });
    open();
    return ran && !leftOpen;
}

// Catches UM_SELECTNEWFOLDER on its way to the application, with the last folder of the
// named section at that moment.
class SelectNewFolderMessages : public QObject {
public:
    SelectNewFolderMessages() { qApp->installEventFilter(this); }
    ~SelectNewFolderMessages() override { qApp->removeEventFilter(this); }

    QList<int> positions;
    QStringList lastFolders;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::Type(platform::UM_SELECTNEWFOLDER)) {
            const int position = int(static_cast<platform::AppMessageEvent*>(event)->wParam);
            positions << position;
            const QStringList folders = library::categoryNames(library::sectionName(position + 1));
            lastFolders << (folders.isEmpty() ? QString() : folders.last());
        }
        return false;
    }
};

class CategoryDialog : public ::testing::Test {
protected:
    void SetUp() override {
        library::NewPage("Programs", home.folder() + "Programs/");
        library::NewPage("Research", home.folder() + "Research/");
        library::NewButton("Games", "Programs", 46, 0);
        edtName = dialog.findChild<QLineEdit*>("edtName");
        cbSection = dialog.findChild<QComboBox*>("cbSection");
        lvIcon = dialog.findChild<QListWidget*>("lvIcon");
        ASSERT_TRUE(edtName && cbSection && lvIcon);
    }

    QPushButton* button(const char* name) { return dialog.findChild<QPushButton*>(name); }

    // Opens the dialog for section `page`, runs `whileOpen` and cancels.
    void whileShown(int page, const std::function<void()>& whileOpen) {
        closedByItself(
            dialog, [&] { dialog.NewCatShow(page); },
            [&] {
                whileOpen();
                button("cmdCancel")->click();
            });
    }

    // Opens the dialog for section `page`, gives the name, section and icon, and presses OK.
    bool addFolder(int page, const QString& name, int section, int icon) {
        return closedByItself(
            dialog, [&] { dialog.NewCatShow(page); },
            [&] {
                edtName->setText(name);
                cbSection->setCurrentIndex(section);
                lvIcon->setCurrentRow(icon);
                button("cmdOK")->click();
            });
    }

    qbtest::TempHome home;
    qbtest::DialogAnswerer boxes;
    SelectNewFolderMessages messages;
    TfrmCategory dialog;
    QLineEdit* edtName = nullptr;
    QComboBox* cbSection = nullptr;
    QListWidget* lvIcon = nullptr;
};

TEST_F(CategoryDialog, ShowsTheSectionsAndTheIcons) {
    EXPECT_EQ(edtName->text(), "New Folder");
    QStringList sections;
    QStringList captions;
    int selected = -1;
    bool allDrawn = true;
    whileShown(1, [&] {
        for (int i = 0; i < cbSection->count(); ++i)
            sections << cbSection->itemText(i);
        selected = cbSection->currentIndex();
        for (int i = 0; i < lvIcon->count(); ++i) {
            captions << lvIcon->item(i)->text();
            allDrawn = allDrawn && !lvIcon->item(i)->icon().isNull();
        }
        EXPECT_EQ(lvIcon->selectedItems().value(0), lvIcon->item(0));
    });
    EXPECT_EQ(sections, QStringList({"Programs", "Research"}));
    EXPECT_EQ(selected, 1);
    ASSERT_EQ(captions.size(), 62);
    EXPECT_EQ(captions.first(), "Icon 1");
    EXPECT_EQ(captions.last(), "Icon 62");
    // Without an icons.dll the program's own pictures stand in.
    EXPECT_TRUE(allDrawn);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(QFileInfo::exists(home.file("Research.ini")));
    EXPECT_TRUE(messages.positions.isEmpty());
}

TEST_F(CategoryDialog, IconCountComesFromTheSettings) {
    Settings().writeInteger("Main", "NumIcons", 5);
    int count = 0;
    whileShown(0, [&] { count = lvIcon->count(); });
    EXPECT_EQ(count, 5);
}

TEST_F(CategoryDialog, OKPostsTheChosenPositionOnceTheFolderExists) {
    QSignalSpy added(&dialog, &TfrmCategory::folderAdded);
    // Opened from the first section's page, the user picks the second.
    EXPECT_TRUE(addFolder(0, "Games", 1, 7));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(boxes.boxes().isEmpty());
    EXPECT_EQ(messages.positions, QList<int>({1}));
    EXPECT_EQ(messages.lastFolders, QStringList({"Games"}));
    EXPECT_EQ(qbtest::readFile(home.file("Research.ini")),
              "[Main]\nNumCats=1\n[Cat1]\nName=Games\nIcon=7\n");
    EXPECT_TRUE(QFileInfo(home.folder() + "Research/Games").isDir());
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added[0], QVariantList({1, "Games", 7}));
}

TEST_F(CategoryDialog, OneNameOncePerSectionButInManySections) {
    const QByteArray programs = qbtest::readFile(home.file("Programs.ini"));
    boxes.answer(platform::IDOK);
    // Opened from the second section's page, the user picks the first, which has Games.
    EXPECT_FALSE(addFolder(1, "Games", 0, 3));
    EXPECT_EQ(boxes.texts(), QStringList({"That folder already exists under that section, "
                                          "please choose another name."}));
    EXPECT_EQ(edtName->text(), "Games");
    EXPECT_EQ(qbtest::readFile(home.file("Programs.ini")), programs);
    EXPECT_TRUE(messages.positions.isEmpty());

    EXPECT_TRUE(addFolder(1, "Games", 1, 3));
    EXPECT_EQ(library::categoryNames("Research"), QStringList({"Games"}));
    EXPECT_EQ(library::categoryNames("Programs"), QStringList({"Games"}));
}

TEST_F(CategoryDialog, TheNameStaysAndTheFirstIconIsChosenAgain) {
    whileShown(0, [&] {
        edtName->setText("Tools");
        lvIcon->setCurrentRow(9);
    });
    int chosen = -1;
    closedByItself(
        dialog, [&] { dialog.NewCatShow(0); },
        [&] {
            chosen = dialog.selectedIcon();
            EXPECT_EQ(edtName->text(), "Tools");
            // A cleared choice means the first icon.
            lvIcon->clearSelection();
            button("cmdOK")->click();
        });
    EXPECT_EQ(chosen, 0);
    EXPECT_EQ(library::categoryNames("Programs"), QStringList({"Games", "Tools"}));
    EXPECT_EQ(library::categoryIcon("Programs", 2), 0);
}

TEST_F(CategoryDialog, NewSectionMadeOverTheDialogIsChosen) {
    TfrmNewSection newSection;
    dialog.useNewSectionDialog(&newSection);
    bool innerClosed = false;
    QString chosen;
    const bool closed = closedByItself(
        dialog, [&] { dialog.NewCatShow(0); },
        [&] {
            innerClosed = closedByItself(
                newSection, [&] { button("cmdNewSection")->click(); },
                [&] {
                    newSection.edtName->setText("Music");
                    newSection.cmdOK->click();
                });
            chosen = cbSection->currentText();
            edtName->setText("Albums");
            button("cmdOK")->click();
        });
    EXPECT_TRUE(innerClosed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(chosen, "Music");
    EXPECT_EQ(library::sectionNames(), QStringList({"Programs", "Research", "Music"}));
    EXPECT_EQ(library::categoryNames("Music"), QStringList({"Albums"}));
    EXPECT_TRUE(QFileInfo(home.libraryRoot() + "Music/Albums").isDir());
    EXPECT_EQ(messages.positions, QList<int>({2}));
}

TEST_F(CategoryDialog, AnEmptyLibraryAsksForASection) {
    qbtest::TempHome empty;
    boxes.answer(platform::IDOK);
    EXPECT_FALSE(addFolder(0, "Games", -1, 0));
    EXPECT_EQ(boxes.texts(),
              QStringList({"Please choose the section for the new folder, or make one with New "
                           "Section."}));
    EXPECT_TRUE(messages.positions.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(empty.file("Headers.ini")));
}

TEST_F(CategoryDialog, F1OpensTheHelp) {
    whileShown(0, [&] { QTest::keyClick(edtName, Qt::Key_F1); });
    const QStringList log = home.shellLog();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("open\t"));
    EXPECT_TRUE(log[0].endsWith("help/index.html"));
}

} // namespace
