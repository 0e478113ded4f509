#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolBox>
#include <QToolButton>
#include <QUrl>

#include "LibraryFixture.h"
#include "library/Categories.h"
#include "library/Sections.h"
#include "library/ui/TfrmDelete.h"
#include "library/ui/TfrmSectionProps.h"
#include "manager/TfrmFileProps.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace {

namespace K = library::RecordKey;

using qbtest::settle;

bool exists(const QString& path) {
    return QFileInfo::exists(path);
}

// The library with records for alpha.zip and beta.zip, in a shown manager window.
class LibraryWindow : public qbtest::ManagerTest {
protected:
    void SetUp() override {
        ManagerTest::SetUp();
        makeLibrary();
        lib.writeRecord("Programs", "Games", "alpha.zip", {{"Desc", "First"}});
        lib.writeRecord("Programs", "Games", "beta.zip", {{"Desc", "Second"}});
        m = create();
        m->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m.get()));
        settle();
    }
    QAbstractButton* caption(int page) {
        return m->Nav->findChild<QToolBox*>()->findChildren<QAbstractButton*>(
            QString(), Qt::FindDirectChildrenOnly)[page];
    }
    static void drop(QWidget* on, const QPoint& at, QMimeData* data, Qt::DropAction action) {
        QDragEnterEvent enter(at, action, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        QDropEvent dropped(QPointF(at), action, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &dropped);
    }
    void dropOnNav(QWidget* over, QMimeData* data) {
        drop(m->Nav, over->mapTo(m->Nav, over->rect().center()), data, Qt::MoveAction);
    }
    void dropOnList(QMimeData* data) {
        QWidget* viewport = m->FEDownloads->view()->viewport();
        drop(viewport, viewport->rect().center(), data, Qt::CopyAction);
    }
    static QMimeData* uris(const QStringList& paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        return data;
    }
    // Answers the move/copy menu the next time it opens: the item with `text`, or closes it
    // without a choice when `text` is empty.
    void chooseFromDropMenu(const QString& text) {
        QMenu* menu = m->pmFileDrop;
        QObject::connect(
            menu, &QMenu::aboutToShow, menu,
            [this, menu, text] {
                ++menusShown;
                QTimer::singleShot(0, menu, [menu, text] {
                    if (text.isEmpty()) {
                        menu->close();
                        return;
                    }
                    for (QAction* a : menu->actions()) {
                        if (a->text() == text)
                            menu->setActiveAction(a);
                    }
                    QTest::keyClick(menu, Qt::Key_Return);
                });
            },
            Qt::SingleShotConnection);
    }
    // Runs `answer` on the modal dialog `dialog` once it is shown.
    static void whenShown(QDialog* dialog, std::function<void()> answer) {
        auto* poll = new QTimer(dialog);
        QObject::connect(poll, &QTimer::timeout, dialog, [dialog, poll, answer] {
            if (!dialog->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            answer();
        });
        poll->start(5);
    }

    std::unique_ptr<TfrmManager> m;
    int menusShown = 0;
    const QString outside = lib.home.folder() + "desktop/"; // a place outside the library
};

// What the rename carries along is the library's part; here the window shows it.
TEST_F(LibraryWindow, SectionRenamedInPlaceKeepsEverything) {
    m->mnuRenSectionClick();
    ASSERT_TRUE(m->edtRename->isVisible());
    EXPECT_EQ(m->edtRename->text(), "Programs");
    // A refused name is said, and the editor stays with its text.
    m->edtRename->setText("notes");
    boxes.answer(platform::IDOK);
    QTest::keyClick(m->edtRename, Qt::Key_Return);
    EXPECT_EQ(boxes.texts(),
              QStringList{"That section already exists, please choose another name."});
    EXPECT_TRUE(m->edtRename->isVisible());
    EXPECT_EQ(m->edtRename->text(), "notes");
    m->edtRename->setText("Software");
    QTest::keyClick(m->edtRename, Qt::Key_Return);
    settle();
    EXPECT_FALSE(m->edtRename->isVisible());
    EXPECT_EQ(m->Nav->pageCaption(0), "Software");
    EXPECT_EQ(m->FEDownloads->folder(), lib.sectionDir("Software") + "Games/");
    EXPECT_EQ(m->edtDescription->text(), "First");
}

// The menus and their shortcuts reach the same operations as the bar.
TEST_F(LibraryWindow, MenuShortcutsAndItemsReachTheOperations) {
    m->activateWindow();
    m->Nav->setFocus();
    const std::pair<QKeyCombination, QString> renames[] = {
        {Qt::ALT | Qt::Key_Backspace, "Programs"},
        {Qt::SHIFT | Qt::ALT | Qt::Key_Backspace, "Games"}};
    for (const auto& [keys, text] : renames) {
        QTest::keySequence(m.get(), QKeySequence(keys));
        ASSERT_TRUE(m->edtRename->isVisible()) << qPrintable(text);
        EXPECT_EQ(m->edtRename->text(), text);
        QTest::keyClick(m->edtRename, Qt::Key_Escape);
    }
    int asked = 0;
    const QList<QDialog*> dialogs{m->frmDelete, m->frmSectionProps};
    for (QDialog* dialog : dialogs)
        QObject::connect(dialog, &QDialog::finished, dialog, [&] { ++asked; });
    for (QAction* item :
         {m->mnuP_DelSect, m->mnuDeleteSection2, m->mnuP_SectProps, m->mnuP_CatProps}) {
        for (QDialog* dialog : dialogs)
            whenShown(dialog, [dialog] { dialog->reject(); });
        item->trigger();
        settle();
    }
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(library::sectionNames(), (QStringList{"Programs", "Notes"}));
}

TEST_F(LibraryWindow, FolderRenamedInPlaceEscapeCancels) {
    // The keyboard goes back where it was when the editor closes: F2 then works again.
    m->Nav->button(0, 0)->setFocus();
    m->mnuRenCatClick();
    m->edtRename->setText("Nothing");
    QTest::keyClick(m->edtRename, Qt::Key_Escape);
    EXPECT_FALSE(m->edtRename->isVisible());
    EXPECT_EQ(library::categoryNames("Programs"), (QStringList{"Games", "Tools"}));

    QTest::keyClick(m->Nav, Qt::Key_F2);
    ASSERT_TRUE(m->edtRename->isVisible());
    m->edtRename->setText("Play");
    QTest::keyClick(m->edtRename, Qt::Key_Return);
    settle();
    EXPECT_EQ(m->Nav->buttonCaption(0, 0), "Play");
    EXPECT_EQ(m->FEDownloads->folder(), lib.sectionDir("Programs") + "Play/");
    EXPECT_EQ(m->pnlCategory->text(), "Play - alpha.zip");
}

TEST_F(LibraryWindow, SectionDeletedAsTheDialogSays) {
    whenShown(m->frmDelete, [this] {
        EXPECT_EQ(m->frmDelete->lblTitle->text(), "Delete Options for \"Programs\"");
        m->frmDelete->cbFolders->setChecked(true);
        m->frmDelete->cmdOK->click();
    });
    m->mnuDelSectionClick();
    settle();
    ASSERT_EQ(m->Nav->pageCount(), 1);
    EXPECT_EQ(m->Nav->pageCaption(0), "Notes");
    EXPECT_EQ(m->GetClickedPage(), 0);
    EXPECT_FALSE(exists(lib.sectionDir("Programs")));
    EXPECT_EQ(library::sectionNames(), QStringList{"Notes"});
}

TEST_F(LibraryWindow, FolderDeletedAfterItsQuestion) {
    boxes.answer(platform::IDCANCEL).answer(platform::IDOK);
    m->mnuDelCatClick();
    EXPECT_EQ(library::categoryCount("Programs"), 2);
    m->mnuDelCatClick();
    settle();
    EXPECT_EQ(boxes.texts().size(), 2);
    EXPECT_EQ(boxes.boxes()[0].text, "There are either files or file information still located "
                                     "in this folder, are you sure you want to delete it?");
    EXPECT_EQ(boxes.boxes()[0].caption, "Confirm Delete");
    EXPECT_EQ(library::categoryNames("Programs"), QStringList{"Tools"});
    // The first folder went: the next one is shown.
    EXPECT_EQ(m->Nav->buttonCount(0), 1);
    EXPECT_EQ(m->GetClickedButton(), 0);
    EXPECT_EQ(m->FEDownloads->folder(), lib.sectionDir("Programs") + "Tools/");
}

TEST_F(LibraryWindow, FolderDraggedOntoAnotherSectionMovesThere) {
    std::unique_ptr<QMimeData> data(TNavBar::folderMimeData(0, 0));
    dropOnNav(caption(1), data.get());
    // Posted: the move runs once the drop has returned.
    EXPECT_EQ(library::categoryCount("Notes"), 0);
    settle();
    EXPECT_EQ(library::categoryNames("Notes"), QStringList{"Games"});
    EXPECT_EQ(m->Nav->buttonCaption(1, 0), "Games");
    EXPECT_EQ(m->Nav->buttonCount(0), 1);

    // A press that ends is posted too, and leaves the button up.
    QToolButton* tools = m->Nav->button(0, 0);
    QTest::mousePress(tools, Qt::LeftButton);
    EXPECT_TRUE(tools->isDown());
    platform::postAppMessage(platform::UM_ENDBUTTONDRAG, 0);
    settle();
    EXPECT_FALSE(tools->isDown());
    QTest::mouseRelease(tools, Qt::LeftButton);
}

TEST_F(LibraryWindow, FolderWithoutDirectoryIsReportedAndStays) {
    QDir(lib.sectionDir("Programs") + "Tools").removeRecursively();
    boxes.answer(platform::IDOK);
    m->MoveCatToSection(2, 2);
    EXPECT_EQ(boxes.texts(), QStringList{"There was an error while moving the folder \"Tools\".  "
                                         "Its corresponding folder could not be found."});
    EXPECT_EQ(m->Nav->buttonCount(0), 2);
    EXPECT_EQ(m->Nav->buttonCount(1), 0);
    EXPECT_TRUE(m->Nav->isEnabled());
}

// The buttons fill the bar's width and follow it when it narrows again, so a button is
// never wider than the bar that shows it.
TEST_F(LibraryWindow, FolderButtonsFollowTheBarWhenItNarrows) {
    auto* splitter = m->findChild<QSplitter*>("Splitter1");
    for (int width : {400, 130}) {
        splitter->setSizes({width, 569 - width});
        settle();
        m->Nav->fitButtons();
        settle();
        EXPECT_LE(m->Nav->button(0, 0)->width(), m->Nav->width()) << width;
        EXPECT_GE(m->Nav->button(0, 0)->width(), m->Nav->width() - 40) << width;
    }
}

TEST_F(LibraryWindow, FolderDroppedOnAnotherButtonChangesPlaces) {
    std::unique_ptr<QMimeData> data(TNavBar::folderMimeData(0, 0));
    dropOnNav(m->Nav->button(0, 1), data.get());
    settle();
    EXPECT_EQ(library::categoryNames("Programs"), (QStringList{"Tools", "Games"}));
    EXPECT_EQ(m->Nav->buttonCaption(0, 1), "Games");
    // The folder shown is still Games, now second.
    EXPECT_EQ(m->GetClickedButton(), 1);
    EXPECT_EQ(m->currentFolderName(), "Games");
}

TEST_F(LibraryWindow, FolderPropertiesCountAndChangeTheIcon) {
    lib.file("Programs", "Games", "big.bin", QByteArray(3000, 'b'));
    whenShown(m->frmSectionProps, [this] {
        TfrmSectionProps* p = m->frmSectionProps;
        EXPECT_EQ(p->windowTitle(), "Games Properties");
        EXPECT_EQ(p->lblType->text(), "Folder");
        EXPECT_EQ(p->lblCount->text(), "4");
        EXPECT_EQ(p->lblSpace->text(), "3k"); // 3026 bytes
        EXPECT_EQ(p->lvIcon->currentRow(), 46);
        p->lvIcon->setCurrentRow(5);
        QTest::keyClick(p, Qt::Key_Return);
    });
    m->mnuCatPropsClick();
    EXPECT_EQ(library::categoryIcon("Programs", 1), 5);
    whenShown(m->frmSectionProps, [this] {
        EXPECT_EQ(m->frmSectionProps->lblCountCaption->text(), "Categories:");
        EXPECT_EQ(m->frmSectionProps->lblCount->text(), "2");
        EXPECT_FALSE(m->frmSectionProps->lvIcon->isVisible());
        QTest::keyClick(m->frmSectionProps, Qt::Key_Escape);
    });
    m->mnuSectionPropsClick();
}

TEST_F(LibraryWindow, DeleteAsksThenDeletesAndShowsTheNextFile) {
    m->FEDownloads->selectName("alpha.zip");
    boxes.answer(platform::IDCANCEL).answer(platform::IDOK);
    m->N17Click();
    EXPECT_TRUE(exists(lib.path("Programs", "Games", "alpha.zip")));
    m->N17Click();
    settle();
    ASSERT_EQ(boxes.boxes().size(), 2);
    EXPECT_EQ(boxes.boxes()[1].text, "Are you sure you want to permanently delete alpha.zip ?");
    EXPECT_EQ(boxes.boxes()[1].caption, "Confirm File Delete");
    EXPECT_FALSE(exists(lib.path("Programs", "Games", "alpha.zip")));
    EXPECT_FALSE(lib.record("Programs", "Games", "alpha.zip").exists());
    EXPECT_EQ(m->edtDescription->text(), "Second");

    boxes.clearRecord();
    m->FEDownloads->selectNames({"beta.zip", "gamma.zip"});
    boxes.answer(platform::IDOK);
    m->mnuRecBinClick();
    settle();
    EXPECT_EQ(boxes.texts(),
              QStringList{"Are you sure you want to send these 2 files to the recycle bin?"});
    EXPECT_TRUE(exists(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/gamma.zip"));
    // The last file went: the pane is cleared and the title is the folder's.
    EXPECT_EQ(m->FEDownloads->itemCount(), 0);
    EXPECT_EQ(m->pnlCategory->text(), "Games");
    EXPECT_FALSE(m->edtDescription->isEnabled());
}

TEST_F(LibraryWindow, FilesThatResistDeletionAreNamedAndKeepTheirRecords) {
    // A trash that cannot be made: nothing goes, nothing is deleted for good instead.
    qbtest::writeFile(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash", "not a folder");
    m->FEDownloads->selectName("alpha.zip");
    boxes.answer(platform::IDOK).answer(platform::IDOK);
    m->mnuRecBinClick();
    settle();
    EXPECT_EQ(boxes.texts(),
              (QStringList{"Are you sure you want to send alpha.zip to the recycle bin?",
                           "This file could not be deleted:\nalpha.zip"}));
    EXPECT_TRUE(exists(lib.path("Programs", "Games", "alpha.zip")));
}

TEST_F(LibraryWindow, ScanningTwoFilesStampsTheWholeFolder) {
    Settings().writeString("VirusScanner", "CommandLine", "/bin/true");
    m->FEDownloads->selectNames({"alpha.zip", "gamma.zip"});
    m->mnuScanClick();
    // Every record of the folder, selected or not; gamma.zip has none and gets none.
    for (const QString name : {"alpha.zip", "beta.zip"})
        EXPECT_EQ(lib.record("Programs", "Games", name).readString(K::LastScanned),
                  platform::todayStamp());
    EXPECT_FALSE(lib.record("Programs", "Games", "gamma.zip").exists());
    EXPECT_EQ(m->lblVChecked->text(), platform::todayStamp());
}

TEST_F(LibraryWindow, FilePropertiesShowTheFileAndItsRecord) {
    m->FEDownloads->selectName("alpha.zip");
    m->mnuPropsClick();
    auto* props = m->findChild<TfrmFileProps*>();
    ASSERT_TRUE(props);
    EXPECT_EQ(props->lblName->text(), "alpha.zip");
    EXPECT_EQ(props->lblFolder->text(), lib.sectionDir("Programs") + "Games");
    EXPECT_TRUE(props->lblSize->text().endsWith("(9 bytes)"));
    EXPECT_TRUE(props->lblType->text().contains("application/zip"));
    EXPECT_EQ(props->lblPermissions->text().left(2), "rw");
    EXPECT_TRUE(props->mmoRecord->toPlainText().contains("Desc=First"));
    props->close();
}

TEST_F(LibraryWindow, ListFileDraggedOntoAButtonTakesItsRecordAlong) {
    chooseFromDropMenu("&Move Here");
    std::unique_ptr<QMimeData> data(uris({lib.path("Programs", "Games", "alpha.zip")}));
    dropOnNav(m->Nav->button(0, 1), data.get());
    settle();
    EXPECT_EQ(menusShown, 1);
    EXPECT_TRUE(exists(lib.path("Programs", "Tools", "alpha.zip")));
    EXPECT_FALSE(exists(lib.path("Programs", "Games", "alpha.zip")));
    EXPECT_EQ(lib.record("Programs", "Tools", "alpha.zip").readString(K::Desc), "First");
    EXPECT_FALSE(lib.record("Programs", "Games", "alpha.zip").exists());
    EXPECT_EQ(m->FEDownloads->itemCount(), 2);

    // Closing the menu without a choice copies.
    qbtest::writeFile(outside + "beta.zip", "desktop beta");
    chooseFromDropMenu(QString());
    data.reset(uris({outside + "beta.zip"}));
    dropOnNav(m->Nav->button(0, 1), data.get());
    settle();
    EXPECT_TRUE(exists(outside + "beta.zip"));
    EXPECT_EQ(qbtest::readFile(lib.path("Programs", "Tools", "beta.zip")), "desktop beta");

    // Onto the bar outside any button: no menu, nothing moves.
    qbtest::writeFile(outside + "stay.txt", "x");
    data.reset(uris({outside + "stay.txt"}));
    dropOnNav(caption(1), data.get());
    settle();
    EXPECT_EQ(menusShown, 2);
    EXPECT_TRUE(exists(outside + "stay.txt"));
}

TEST_F(LibraryWindow, DropOntoTheListAddsFilesWithoutRecords) {
    qbtest::writeFile(outside + "one.txt", "1");
    chooseFromDropMenu("&Copy Here");
    std::unique_ptr<QMimeData> data(uris({outside + "one.txt"}));
    dropOnList(data.get());
    settle();
    EXPECT_EQ(qbtest::readFile(lib.path("Programs", "Games", "one.txt")), "1");
    EXPECT_TRUE(exists(outside + "one.txt"));
    EXPECT_FALSE(lib.record("Programs", "Games", "one.txt").exists());
    EXPECT_EQ(m->FEDownloads->itemCount(), 4);

    // Files of the folder the list shows: no menu, nothing happens.
    chooseFromDropMenu("Ca&ncel");
    data.reset(uris({lib.path("Programs", "Games", "gamma.zip")}));
    dropOnList(data.get());
    settle();
    EXPECT_EQ(menusShown, 1);
}

TEST_F(LibraryWindow, DropOntoTheListOfAnEmptySectionIsRefused) {
    m->HeadClick(1);
    settle();
    qbtest::writeFile(outside + "one.txt", "1");
    boxes.answer(platform::IDOK);
    chooseFromDropMenu("Ca&ncel");
    std::unique_ptr<QMimeData> data(uris({outside + "one.txt"}));
    dropOnList(data.get());
    settle();
    EXPECT_EQ(boxes.texts(), QStringList{"You cannot add files to an empty section.  Please "
                                         "create a folder for these files to be placed in."});
    EXPECT_EQ(menusShown, 0);
}

} // namespace
