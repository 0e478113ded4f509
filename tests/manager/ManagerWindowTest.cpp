#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "LibraryFixture.h"
#include "platform/ShellIcons.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace {

using qbtest::daysAgo;
using qbtest::settle;

// alpha.zip has a record; beta and gamma have none.
class ManagerWindow : public qbtest::ManagerTest {
protected:
    void SetUp() override {
        ManagerTest::SetUp();
        makeLibrary();
        lib.writeRecord("Programs", "Games", "alpha.zip",
                        {{"Desc", "First"},
                         {"Source", "http://example.com/alpha.zip"},
                         {"DateDownloaded", daysAgo(10)},
                         {"LastOpened", daysAgo(1)},
                         {"Delete", "1"},
                         {"DeleteDays", "30"}});
    }
    library::FileRecord record(const QString& name) {
        return lib.record("Programs", "Games", name);
    }
};

TEST_F(ManagerWindow, LaterStartShowsTheFirstFolderAndItsFirstFile) {
    auto m = create();
    ASSERT_EQ(m->Nav->pageCount(), 2);
    EXPECT_EQ(m->Nav->pageCaption(0), "Programs");
    EXPECT_EQ(m->Nav->buttonCaption(0, 1), "Tools");
    EXPECT_FALSE(m->Nav->button(0, 0)->icon().isNull());
    EXPECT_EQ(m->GetClickedPage(), 0);
    EXPECT_EQ(m->GetClickedButton(), 0);
    EXPECT_EQ(m->FEDownloads->itemCount(), 3);
    EXPECT_EQ(m->pnlCategory->text(), "Games - alpha.zip");
    EXPECT_EQ(m->edtDescription->text(), "First");
    EXPECT_EQ(m->meDelete->text(), "20");
    EXPECT_EQ(m->lblDateDownloaded->text(), daysAgo(10));
    EXPECT_EQ(m->lblVChecked->text(), "Never");
    EXPECT_FALSE(m->lblDeletion->isVisibleTo(m.get()));
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(ManagerWindow, SpeedQuestionOnLaterStartsWithoutASpeed) {
    Settings().writeInteger("Download", "Speed", 0);
    boxes.answer(platform::IDOK);
    int asked = 0;
    auto m = std::make_unique<TfrmManager>();
    QObject::connect(m.get(), &TfrmManager::speedSetupRequested, [&] { ++asked; });
    m->FormCreate();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(boxes.texts()[0], "In order for Quillbay to accurately provide download speed "
                                "statistics, you must specify your download connection speed.\r\r"
                                "Select OK to configure this now.");
    EXPECT_EQ(asked, 1);
}

TEST_F(ManagerWindow, FirstRunLaysOutTheDefaultLibrary) {
    qbtest::TempHome fresh;
    Settings().writeString("Main", "DefaultRoot", fresh.folder() + "library");
    auto m = create();
    EXPECT_FALSE(Settings().readBool("Main", "FirstRun"));
    ASSERT_EQ(m->Nav->pageCount(), 3); // the default library's layout is its own table
    // The folders show the pictures of the icon file shipped with the program.
    const auto shown = [&](int page, int button) {
        return m->Nav->button(page, button)
            ->icon()
            .pixmap(32, 32)
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    };
    const auto shipped = [](int index) {
        return platform::drawShippedIcon(index).convertToFormat(QImage::Format_ARGB32);
    };
    EXPECT_EQ(shown(0, 1), shipped(46)); // Games
    EXPECT_EQ(shown(2, 1), shipped(44)); // E-Mail Files
    EXPECT_NE(shown(0, 1), shown(0, 2));
    EXPECT_EQ(m->GetClickedPage(), 0);
    EXPECT_EQ(m->pnlCategory->text(), "Productivity");
    EXPECT_FALSE(m->edtDescription->isEnabled()); // an empty folder
    // No scan and no speed question on the first run.
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(ManagerWindow, HeadAndCatClickWithAndWithoutFolders) {
    auto m = create();
    // A section without folders lists its own directory and disables the pane.
    m->HeadClick(1);
    settle();
    EXPECT_EQ(m->GetClickedButton(), -1);
    EXPECT_EQ(m->FEDownloads->itemCount(), 1);
    EXPECT_EQ(m->pnlCategory->text(), "");
    EXPECT_FALSE(m->edtDescription->isEnabled());
    // Back to Programs: its first folder again.
    m->HeadClick(0);
    settle();
    EXPECT_EQ(m->FEDownloads->itemCount(), 3);
    EXPECT_TRUE(m->edtDescription->isEnabled());
    // An empty folder.
    QTest::mouseClick(m->Nav->button(0, 1), Qt::LeftButton);
    settle();
    EXPECT_EQ(m->GetClickedButton(), 1);
    EXPECT_EQ(m->FEDownloads->itemCount(), 0);
    EXPECT_EQ(m->pnlCategory->text(), "Tools");
    EXPECT_FALSE(m->edtDescription->isEnabled());
    EXPECT_TRUE(m->edtDescription->text().isEmpty());
}

TEST_F(ManagerWindow, EditsReachTheRecordAndComeBack) {
    auto m = create(true);
    m->FEDownloads->selectName("beta.zip");
    settle();
    EXPECT_EQ(m->edtDescription->text(), "Click here to edit");
    EXPECT_EQ(m->meDelete->text(), "30");
    m->edtDescription->setText("Second");
    m->mmoNotes->setPlainText("line one\nline two");
    m->cbDelete->setChecked(true);
    m->meDelete->setText("45");
    m->FEDownloads->selectName("alpha.zip"); // the selection change saves beta's pane
    settle();
    EXPECT_EQ(record("beta.zip").readString("Desc"), "Second");
    EXPECT_EQ(record("beta.zip").notes(), QStringList({"line one", "line two"}));
    EXPECT_TRUE(record("beta.zip").readBool("Delete"));
    EXPECT_EQ(record("beta.zip").readString("DeleteDays"), "45");
    EXPECT_EQ(record("beta.zip").readString("AlterDeleteOn"), platform::todayStamp());
    EXPECT_EQ(m->edtDescription->text(), "First");
    m->FEDownloads->selectName("beta.zip");
    settle();
    EXPECT_EQ(m->edtDescription->text(), "Second");
    EXPECT_EQ(m->mmoNotes->toPlainText(), "line one\nline two");
    EXPECT_TRUE(m->cbDelete->isChecked());
    EXPECT_EQ(m->meDelete->text(), "45");
    // Enter in a field writes that one field for every selected file.
    m->FEDownloads->selectNames({"alpha.zip", "beta.zip", "gamma.zip"});
    settle();
    EXPECT_EQ(m->pnlCategory->text(), "Games - Multiple Files Selected");
    m->edtSource->setFocus();
    m->edtSource->setText("ftp://host/pub/all.zip");
    QTest::keyClick(m->edtSource, Qt::Key_Return);
    settle();
    for (const char* name : {"alpha.zip", "beta.zip", "gamma.zip"})
        EXPECT_EQ(record(name).readString("Source"), "ftp://host/pub/all.zip") << name;
    EXPECT_EQ(record("gamma.zip").readString("Desc"), "Click here to edit");
    // The auto-delete box writes the whole pane into every selected file.
    m->cbDelete->click();
    settle();
    for (const char* name : {"alpha.zip", "beta.zip", "gamma.zip"})
        EXPECT_EQ(record(name).readBool("Delete"), m->cbDelete->isChecked()) << name;
    EXPECT_EQ(record("gamma.zip").readString("Desc"), m->edtDescription->text());
}

TEST_F(ManagerWindow, DueFilesAndTheMenuCaptions) {
    auto m = create();
    // Written after the start's scan, which would have asked about it.
    lib.writeRecord("Programs", "Games", "beta.zip",
                    {{"DateDownloaded", daysAgo(10)}, {"Delete", "1"}, {"DeleteDays", "5"}});
    m->FEDownloads->selectName("beta.zip");
    settle();
    EXPECT_TRUE(m->lblDeletion->isVisibleTo(m.get()));
    m->PopupMenu1Popup();
    EXPECT_EQ(m->mnuOpen->text(), "&Open File");
    m->FEDownloads->selectNames({"alpha.zip", "beta.zip"});
    m->PopupMenu1Popup();
    EXPECT_EQ(m->mnuOpen->text(), "&Open Files");
    EXPECT_EQ(m->mnuDelete->title(), "&Delete Selected Files");
    EXPECT_EQ(m->mnuScan->text(), "&Scan Folder for Viruses");
}

TEST_F(ManagerWindow, HighlightAndGrayReturnTheFieldToItsPlace) {
    auto m = create(true);
    for (QLineEdit* field : {m->edtDescription, m->edtSource, m->meDelete}) {
        const QRect before = field->geometry();
        for (int round = 0; round < 2; ++round) {
            m->DoHighLight(field);
            m->DoHighLight(field); // a second highlight moves it no further
            EXPECT_EQ(field->geometry().top(), before.top() - 2);
            EXPECT_TRUE(field->hasFrame());
            m->DoGray(field);
            EXPECT_EQ(field->geometry(), before);
            EXPECT_FALSE(field->hasFrame());
        }
    }
    // A highlighted placeholder gives way to typing.
    m->FEDownloads->selectName("beta.zip");
    settle();
    m->DoHighLight(m->edtSource);
    EXPECT_TRUE(m->edtSource->text().isEmpty());
}

TEST_F(ManagerWindow, NotesStopAt440Characters) {
    auto m = create(true);
    m->mmoNotes->setFocus();
    m->mmoNotes->clear();
    QTest::keyClicks(m->mmoNotes, QString(430, 'a'));
    QTest::keyClicks(m->mmoNotes, QString(20, 'b'));
    EXPECT_EQ(m->mmoNotes->toPlainText(), QString(430, 'a') + QString(10, 'b'));
    m->mmoNotes->insertPlainText(QString(50, 'c'));
    EXPECT_EQ(m->mmoNotes->toPlainText().size(), 440);
}

TEST_F(ManagerWindow, ViewStylesFollowTheStoredNumber) {
    struct Case {
        int stored;
        TFileList::ViewStyle style;
    } cases[] = {{1, TFileList::LargeIcons},
                 {2, TFileList::List},
                 {3, TFileList::Details},
                 {4, TFileList::SmallIcons},
                 {0, TFileList::Details}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Settings().writeInteger("Main", "ViewStyle", c.stored);
        auto m = create();
        EXPECT_EQ(m->FEDownloads->viewStyle(), c.style);
        EXPECT_EQ(m->FEDownloads->itemCount(), 3); // every view lists the folder
    }
}

// A shown file that vanishes gets no new record from its pane's edits.
TEST_F(ManagerWindow, FilesAppearingAndVanishingShowUp) {
    auto m = create(true);
    m->FEDownloads->selectName("gamma.zip");
    settle();
    ASSERT_EQ(m->lblFilename->text(), "gamma.zip");
    m->edtDescription->setText("typed for gamma");
    lib.file("Programs", "Games", "delta.zip");
    QFile::remove(lib.path("Programs", "Games", "gamma.zip"));
    const auto names = [&] {
        QStringList names;
        for (int r = 0; r < m->FEDownloads->itemCount(); ++r)
            names << m->FEDownloads->nameAt(r);
        return names;
    };
    const QStringList wanted{"alpha.zip", "beta.zip", "delta.zip"};
    ASSERT_EQ(
        platform::waitUntil(
            m.get(), [&] { return names() == wanted && m->FEDownloads->selectedCount(); }, 5000),
        platform::WaitResult::Done);
    settle();
    // The pane follows the list to its first file; nothing was written for the gone one.
    EXPECT_EQ(m->lblFilename->text(), "alpha.zip");
    EXPECT_EQ(m->edtDescription->text(), "First");
    EXPECT_FALSE(record("gamma.zip").exists());
}

// The caption as a screen reader says it: without the mnemonic marks.
QString spoken(QString caption) {
    caption.replace("&&", QChar(0x1));
    caption.remove('&');
    caption.replace(QChar(0x1), "&");
    return caption;
}

// Every object the accessibility tree below `root` reaches, with its interface.
void collect(QAccessibleInterface* root, QHash<QObject*, QAccessibleInterface*>* reached,
             int depth = 0) {
    if (!root || depth > 40)
        return;
    if (root->object())
        reached->insert(root->object(), root);
    for (int i = 0; i < root->childCount(); ++i)
        collect(root->child(i), reached, depth + 1);
}

TEST_F(ManagerWindow, ControlsAreNamedForAssistiveTechnology) {
    auto m = create(true);
    QHash<QObject*, QAccessibleInterface*> reached;
    collect(QAccessible::queryAccessibleInterface(m.get()), &reached);
    const auto nameOf = [&](QObject* o) {
        QAccessibleInterface* i = reached.value(o);
        return i ? i->text(QAccessible::Name) : QString("<not reached>");
    };
    EXPECT_EQ(nameOf(m->edtDescription), "Description:");
    EXPECT_EQ(nameOf(m->edtSource), "Source:");
    EXPECT_EQ(nameOf(m->cbDelete), "Auto-Delete in");
    EXPECT_EQ(nameOf(m->mmoNotes), "Notes:");
    EXPECT_EQ(nameOf(m->Nav->button(0, 0)), "Games");

    // Every control the user sees is reached, named by its caption or by its label.
    int buttons = 0, entries = 0;
    for (QWidget* w : m->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(m.get()) || w->rect().isEmpty())
            continue;
        if (qobject_cast<QHeaderView*>(w))
            continue; // a list's column headers are reached as its header cells
        const std::string what =
            (w->metaObject()->className() + QString(" ") + w->objectName()).toStdString();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            ++buttons;
            EXPECT_EQ(nameOf(w),
                      button->text().isEmpty() ? button->toolTip() : spoken(button->text()))
                << what;
            EXPECT_FALSE(nameOf(w).isEmpty()) << what;
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            if (!label->text().isEmpty()) {
                EXPECT_EQ(nameOf(w), spoken(label->text())) << what;
            }
            if (label->buddy() && !label->text().isEmpty()) {
                // A shown value keeps its text as its name and is labelled by its caption.
                if (qobject_cast<QLabel*>(label->buddy())) {
                    QAccessibleInterface* value = reached.value(label->buddy());
                    ASSERT_TRUE(value) << what;
                    bool labelled = false;
                    for (const auto& [by, relation] : value->relations(QAccessible::Label))
                        labelled = labelled || by->object() == label;
                    EXPECT_TRUE(labelled) << what;
                } else {
                    EXPECT_EQ(nameOf(label->buddy()), spoken(label->text())) << what;
                }
            }
        } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                   qobject_cast<QAbstractItemView*>(w) || qobject_cast<QComboBox*>(w) ||
                   qobject_cast<QAbstractSpinBox*>(w)) {
            if (qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
                qobject_cast<QComboBox*>(w->parentWidget()))
                continue; // the editor inside a spin or combo box speaks through its box
            EXPECT_FALSE(nameOf(w).isEmpty()) << what;
            EXPECT_NE(nameOf(w), "<not reached>") << what;
        }
    }

    // Every menu, of the menu bar and the popups, names its entries as they read.
    for (QMenu* menu : m->findChildren<QMenu*>()) {
        QAccessibleInterface* items = QAccessible::queryAccessibleInterface(menu);
        ASSERT_TRUE(items) << menu->objectName().toStdString();
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(items->childCount(), actions.size()) << menu->objectName().toStdString();
        for (int i = 0; i < actions.size(); ++i) {
            if (!actions[i]->isSeparator()) {
                ++entries;
                EXPECT_EQ(items->child(i)->text(QAccessible::Name), spoken(actions[i]->text()))
                    << menu->objectName().toStdString() << " " << i;
            }
        }
    }
    // The walk saw the bar's buttons, the pane's check box and the popup menus' entries.
    EXPECT_GE(buttons, 4);
    EXPECT_GE(entries, 10);
}

TEST_F(ManagerWindow, ClosingHidesAndAsksForThePlacement) {
    auto m = create();
    int closings = 0;
    QObject::connect(m.get(), &TfrmManager::closing, [&] { ++closings; });
    m->show();
    settle();
    m->close();
    EXPECT_FALSE(m->isVisible());
    EXPECT_EQ(closings, 1);
    m->show();
    settle();
    EXPECT_EQ(m->Nav->pageCount(), 2); // the bar is built once
}

TEST_F(ManagerWindow, DesktopMenuOffersTheFilesApplications) {
    qbtest::writeFile(qEnvironmentVariable("XDG_DATA_HOME") + "/applications/arc.desktop",
                      "[Desktop Entry]\nType=Application\nName=Archiver\nExec=arc %f\n"
                      "MimeType=application/zip;\n");
    auto m = create();
    m->FEDownloads->selectName("beta.zip");
    std::unique_ptr<QMenu> menu(m->desktopMenu());
    ASSERT_TRUE(menu);
    QStringList captions;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            captions << a->text();
    EXPECT_EQ(captions, QStringList({"Open", "Open with Archiver", "Open Containing Folder",
                                     "Move to Trash", "Properties"}));
    menu->actions()[1]->trigger();
    EXPECT_EQ(lib.home.shellLog(), QStringList({"open\t\"arc\"\t\"" +
                                                lib.path("Programs", "Games", "beta.zip") + "\""}));
}

// The scan's answers are its own table; here the shown folder follows them.
TEST_F(ManagerWindow, TheStartsScanUpdatesTheShownFolder) {
    for (const int answer : {platform::IDNO, platform::IDYES}) {
        SCOPED_TRACE(answer == platform::IDYES ? "deleted" : "kept");
        lib.writeRecord("Programs", "Games", "alpha.zip", {{"Delete", "1"}, {"DeleteDays", "5"}});
        boxes.answer(answer);
        auto m = create();
        ASSERT_EQ(boxes.texts().size(), 1);
        EXPECT_TRUE(boxes.texts()[0].contains("\"alpha.zip\""));
        boxes.clearRecord();
        if (answer == platform::IDNO) {
            EXPECT_EQ(m->lblFilename->text(), "alpha.zip");
            EXPECT_FALSE(m->cbDelete->isChecked());
        } else {
            EXPECT_EQ(m->FEDownloads->itemCount(), 2);
            EXPECT_EQ(m->lblFilename->text(), "beta.zip");
        }
    }
}

TEST_F(ManagerWindow, OpeningFilesStampsTheirRecords) {
    auto m = create();
    m->FEDownloads->selectNames({"beta.zip", "gamma.zip"});
    settle();
    bool suppress = false;
    m->FEDownloadsDoubleClick(&suppress);
    EXPECT_TRUE(suppress);
    EXPECT_EQ(lib.home.shellLog(),
              QStringList({"open\t" + lib.path("Programs", "Games", "beta.zip"),
                           "open\t" + lib.path("Programs", "Games", "gamma.zip")}));
    EXPECT_EQ(record("beta.zip").readString("LastOpened"), platform::todayStamp());
    EXPECT_EQ(record("gamma.zip").readString("LastOpened"), platform::todayStamp());
    EXPECT_EQ(m->lblLastOpened->text(), platform::todayStamp());
}

TEST_F(ManagerWindow, ADownloadsScanShowsWhenItsFileIsShown) {
    auto m = create(true);
    ASSERT_EQ(m->FEDownloads->firstSelectedName(), "alpha.zip");
    const QString file = lib.record("Programs", "Games", "x").recordFile();
    m->fileScanned(file, "beta.zip"); // another file: nothing changes
    EXPECT_EQ(m->lblVChecked->text(), "Never");
    m->fileScanned(lib.record("Programs", "Tools", "x").recordFile(), "alpha.zip");
    EXPECT_EQ(m->lblVChecked->text(), "Never");
    m->fileScanned(file, "alpha.zip");
    EXPECT_EQ(m->lblVChecked->text(), platform::todayStamp());
}

} // namespace
