#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "LibraryFixture.h"
#include "platform/Help.h"
#include "widgets/TFileList.h"
#include "widgets/TNavBar.h"

namespace {

using qbtest::settle;

const char* const kButtonKeys[] = {"New",     "Delete", "Props",   "Style", "Report",
                                   "Browser", "Virus",  "Options", "Help"};

class ToolBar : public qbtest::ManagerTest {
protected:
    // Only the named buttons are to be shown.
    void onlyButtons(const QStringList& shown) {
        Settings s;
        for (const char* key : kButtonKeys)
            s.writeBool("ToolBar", key, shown.contains(key));
    }
    static QStringList shownButtons(TfrmManager& m) {
        QStringList names;
        for (QWidget* w : m.ToolBar1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!w->isHidden())
                names << w->objectName();
        return names;
    }
};

// ---- which buttons show ------------------------------------------------------------------

TEST_F(ToolBar, ButtonsFollowTheKeysWithTheSeparatorRules) {
    struct Case {
        QStringList keys;
        QStringList shown; // in bar order, separators included
    } cases[] = {
        {{"New"}, {"tbNew"}},
        // Report does not count for the first separator.
        {{"Report", "Browser"}, {"tbReport", "tbBrowser"}},
        {{"New", "Browser"}, {"tbNew", "s2", "tbBrowser"}},
        {{"Virus", "Help"}, {"tbScanner", "s3", "tbHelp"}},
        {{"Style", "Options"}, {"tbStyle", "s2", "tbOptions"}},
        {{kButtonKeys, kButtonKeys + 9},
         {"tbNew", "tbDelete", "tbProps", "tbStyle", "tbReport", "s2", "tbBrowser", "tbScanner",
          "s3", "tbOptions", "tbHelp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys.join(',').toStdString());
        onlyButtons(c.keys);
        auto m = create();
        m->GetToolBar();
        EXPECT_FALSE(m->cb->isHidden());
        EXPECT_EQ(shownButtons(*m), c.shown);
    }
}

TEST_F(ToolBar, NoButtonHidesTheCoolBarAndChoosingOneBringsItBack) {
    onlyButtons({});
    auto m = create(true);
    EXPECT_TRUE(m->cb->isHidden());
    onlyButtons({"Help"});
    m->GetToolBar();
    EXPECT_FALSE(m->cb->isHidden());
    EXPECT_EQ(shownButtons(*m), QStringList{"tbHelp"});
}

// Each button speaks its caption, has a hint and a hot picture of its own.
TEST_F(ToolBar, ButtonsCarryCaptionsHintsAndTwoPictures) {
    auto m = create();
    QList<QImage> seen;
    for (QToolButton* button : m->ToolBar1->findChildren<QToolButton*>()) {
        if (!button->objectName().startsWith("tb"))
            continue; // the bar's own extension button
        const std::string name = button->objectName().toStdString();
        EXPECT_FALSE(button->text().isEmpty()) << name;
        EXPECT_EQ(button->accessibleName(), button->text()) << name;
        EXPECT_FALSE(button->toolTip().isEmpty()) << name;
        EXPECT_EQ(button->size(), QSize(56, 36)) << name;
        const QImage normal = button->icon().pixmap(20, QIcon::Normal).toImage();
        const QImage hot = button->icon().pixmap(20, QIcon::Active).toImage();
        EXPECT_NE(normal, hot) << name;
        EXPECT_FALSE(seen.contains(hot)) << name << " looks like another button";
        seen << hot;
    }
    EXPECT_EQ(seen.size(), 9);
}

// ---- docking and labels ------------------------------------------------------------------

TEST_F(ToolBar, StoredAlignmentDocksTheBar) {
    const std::pair<int, Qt::ToolBarArea> cases[] = {
        {0, Qt::TopToolBarArea},   {5, Qt::TopToolBarArea}, {1, Qt::LeftToolBarArea},
        {2, Qt::RightToolBarArea}, {3, Qt::TopToolBarArea}, {4, Qt::BottomToolBarArea}};
    for (const auto& [stored, area] : cases) {
        Settings().writeInteger("Main", "ToolAlign", stored);
        auto m = create(true);
        EXPECT_EQ(m->toolBarArea(m->cb), area) << stored;
    }
}

TEST_F(ToolBar, LabelsOffDockedLeftGiveWidth32AndOnAgainTheWidestLabel) {
    Settings().writeInteger("Main", "ToolAlign", 1);
    auto m = create();
    m->GetToolBar();
    EXPECT_EQ(m->ToolBar1->width(), 56); // View Style is shown
    m->mnuShowLabelsClick();
    EXPECT_FALSE(m->toolLabelsShown());
    EXPECT_EQ(m->ToolBar1->width(), 32);
    EXPECT_EQ(m->tbNew->size(), QSize(32, 26));
    EXPECT_FALSE(m->mnuShowLabels->isChecked());
    EXPECT_FALSE(Settings().readBool("Main", "ShowToolLabels"));
    m->mnuShowLabelsClick();
    EXPECT_EQ(m->ToolBar1->width(), 56);
    EXPECT_EQ(m->tbNew->height(), 36);
    EXPECT_TRUE(m->mnuShowLabels->isChecked());
    EXPECT_TRUE(Settings().readBool("Main", "ShowToolLabels"));
    EXPECT_EQ(m->toolBarArea(m->cb), Qt::LeftToolBarArea);
}

TEST_F(ToolBar, ProperWidthIsThatOfTheWidestShownLabel) {
    const QList<QPair<QStringList, int>> cases = {
        {{"New", "Help"}, 29},       {{"Help", "Delete"}, 38}, {{"Report", "New"}, 39},
        {{"Options", "Delete"}, 43}, {{"Props"}, 44},          {{"Browser", "New"}, 45},
        {{"Virus", "Browser"}, 47},  {{"Style", "Virus"}, 56}};
    auto m = create();
    for (const auto& [keys, width] : cases) {
        onlyButtons(keys);
        m->GetVisibleButtons();
        EXPECT_EQ(m->GetProperWidth(), width) << qPrintable(keys.join(','));
        m->mnuRightClick();
        EXPECT_EQ(m->ToolBar1->width(), width) << qPrintable(keys.join(','));
    }
}

TEST_F(ToolBar, LabelsOffAndOnWhileOnTop) {
    auto m = create();
    m->GetToolBar();
    EXPECT_EQ(m->ToolBar1->height(), 39);
    m->mnuShowLabelsClick();
    EXPECT_EQ(m->ToolBar1->height(), 29);
    EXPECT_EQ(m->tbHelp->size(), QSize(30, 26));
    EXPECT_EQ(m->tbHelp->toolButtonStyle(), Qt::ToolButtonIconOnly);
    m->mnuBottomClick();
    EXPECT_EQ(m->ToolBar1->height(), 26);
    EXPECT_EQ(Settings().readInteger("Main", "ToolAlign"), 4);
    EXPECT_FALSE(Settings().readBool("Main", "ShowToolLabels"));
    m->mnuShowLabelsClick();
    EXPECT_EQ(m->ToolBar1->height(), 39);
    EXPECT_EQ(m->tbHelp->size(), QSize(56, 36));
    EXPECT_EQ(m->tbHelp->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

TEST_F(ToolBar, DockingMovesTheCheckMarkAndStoresTheSide) {
    auto m = create();
    m->mnuRightClick();
    EXPECT_TRUE(m->mnuRight->isChecked());
    EXPECT_FALSE(m->mnuTop->isChecked());
    EXPECT_EQ(Settings().readInteger("Main", "ToolAlign"), 2);
    EXPECT_EQ(m->toolBarArea(m->cb), Qt::RightToolBarArea);
    m->mnuTop->trigger();
    EXPECT_EQ(m->toolBarArea(m->cb), Qt::TopToolBarArea);
    EXPECT_EQ(Settings().readInteger("Main", "ToolAlign"), 3);
}

// Labels stored as off stay off however often the window is shown.
TEST_F(ToolBar, StoredLabelsOffSurviveEveryShowing) {
    Settings().writeBool("Main", "ShowToolLabels", false);
    auto m = create();
    for (int showing = 0; showing < 3; ++showing) {
        m->show();
        settle();
        EXPECT_FALSE(m->toolLabelsShown()) << "showing " << showing;
        EXPECT_FALSE(Settings().readBool("Main", "ShowToolLabels"));
        m->hide();
        settle();
    }
}

// ---- what the buttons do -----------------------------------------------------------------

TEST_F(ToolBar, LaunchButtonsAndHelpGoThroughTheShell) {
    Settings().writeString("Toolbar", "BrowserCL", "/usr/bin/browser --new-window");
    Settings().writeString("ToolBar", "VirusCL", "/opt/scan/scanner");
    auto m = create();
    m->tbBrowser->click();
    m->tbScanner->click();
    m->tbHelp->click();
    EXPECT_EQ(lib.home.shellLog(),
              QStringList({"open\t/usr/bin/browser --new-window", "open\t/opt/scan/scanner",
                           "open\t" + platform::helpPage()}));
}

TEST_F(ToolBar, OptionsButtonMenuAndDoubleClickAskForTheOptionsDialog) {
    auto m = create();
    QSignalSpy options(m.get(), &TfrmManager::optionsRequested);
    QSignalSpy toolBarPage(m.get(), &TfrmManager::toolBarOptionsRequested);
    m->tbOptions->click();
    m->mnuOptions->trigger();
    EXPECT_EQ(options.count(), 2);
    m->mnuButtons->trigger();
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m->ToolBar1, &doubleClick);
    EXPECT_EQ(toolBarPage.count(), 2);
    EXPECT_EQ(options.count(), 2);
}

// ---- menus -------------------------------------------------------------------------------

struct MenuState {
    bool newFolder, deleteSection, deleteFolder, report, folderItems;
};

// The menus as they open, over an empty library first and then over each kind of place.
TEST_F(ToolBar, MenuEnablingRules) {
    const auto expectMenus = [](TfrmManager& m, const char* what, const MenuState& e) {
        m.N6Click();
        m.pmNewPopup();
        m.pmDeletePopup();
        m.N15Click();
        m.pmPrintPopup();
        EXPECT_TRUE(m.mnuNewSect->isEnabled()) << what;
        EXPECT_EQ(m.mnuNewCat->isEnabled(), e.newFolder) << what;
        EXPECT_EQ(m.mnuNewFolder2->isEnabled(), e.newFolder) << what;
        EXPECT_EQ(m.mnuDeleteSection2->isEnabled(), e.deleteSection) << what;
        EXPECT_EQ(m.mnuDeleteFolder2->isEnabled(), e.deleteFolder) << what;
        for (QAction* a : {m.mnuPrintReport, m.mnuSaveReport, m.mnuPrint2, m.mnuSave2})
            EXPECT_EQ(a->isEnabled(), e.report) << what << " " << qPrintable(a->objectName());
        for (QAction* a : {m.mnuRenCat, m.mnuMainDelCat, m.mnuP_RenCat})
            EXPECT_EQ(a->isEnabled(), e.folderItems) << what << " " << qPrintable(a->objectName());
    };
    {
        auto m = create(true);
        expectMenus(*m, "no section", {false, false, false, false, false});
        // A shortcut reaches the item without its menu: the request checks the rule again.
        QSignalSpy folder(m.get(), &TfrmManager::newFolderRequested);
        QSignalSpy section(m.get(), &TfrmManager::newSectionRequested);
        m->mnuNewCat->setEnabled(true);
        m->mnuNewCat->trigger();
        m->mnuNewSection2->trigger();
        EXPECT_EQ(folder.count(), 0);
        EXPECT_EQ(section.count(), 1);
    }
    struct Case {
        const char* what;
        std::function<void(TfrmManager&)> select;
        MenuState expected;
    };
    const QList<Case> cases = {
        {"folder with files",
         [](TfrmManager& m) { m.HeadClick(0); },
         {true, true, true, true, true}},
        {"empty folder",
         [](TfrmManager& m) { QTest::mouseClick(m.Nav->button(0, 1), Qt::LeftButton); },
         {true, true, true, false, true}},
        // The section's own directory is listed: a report can be made of its loose files.
        {"section without folders",
         [](TfrmManager& m) { m.HeadClick(1); },
         {true, true, false, true, false}},
    };
    makeLibrary();
    auto m = create(true);
    for (const Case& c : cases) {
        c.select(*m);
        settle();
        expectMenus(*m, c.what, c.expected);
    }
}

TEST_F(ToolBar, ReportItemsAskForTheReportOfTheListedFiles) {
    makeLibrary();
    auto m = create();
    QSignalSpy reports(m.get(), &TfrmManager::reportRequested);
    m->mnuSave2->trigger();
    m->mnuPrintReport->trigger();
    ASSERT_EQ(reports.count(), 2);
    EXPECT_FALSE(reports[0][0].toBool());
    EXPECT_TRUE(reports[1][0].toBool());
    const auto source = reports[0][1].value<library::ReportSource>();
    EXPECT_EQ(source.folderName, "Games");
    EXPECT_EQ(source.recordFile, lib.record("Programs", "Games", "x").recordFile());
    EXPECT_EQ(source.names, QStringList({"alpha.zip", "beta.zip", "gamma.zip"}));
    // An empty folder has nothing to report, even through an item enabled meanwhile.
    QTest::mouseClick(m->Nav->button(0, 1), Qt::LeftButton);
    settle();
    m->mnuSaveReport->setEnabled(true);
    m->mnuSaveReport->trigger();
    EXPECT_EQ(reports.count(), 2);
}

TEST_F(ToolBar, NewFolderOpensOnTheCurrentSection) {
    makeLibrary();
    auto m = create();
    QSignalSpy folder(m.get(), &TfrmManager::newFolderRequested);
    m->HeadClick(1);
    settle();
    m->mnuP_NewCat->trigger();
    ASSERT_EQ(folder.count(), 1);
    EXPECT_EQ(folder[0][0].toInt(), 1);
}

TEST_F(ToolBar, ViewStyleMenusStayInStep) {
    makeLibrary();
    auto m = create();
    const QList<QPair<QAction*, QAction*>> twins = {{m->mnuLargeIcons, m->mnuTBLargeIcons},
                                                    {m->mnuSmallIcons, m->mnuTBSmallIcons},
                                                    {m->mnuList, m->mnuTBList},
                                                    {m->mnuDetails, m->mnuTBDetails}};
    struct Step {
        QAction* click;
        int checkedTwin; // index into twins
        int stored;
        TFileList::ViewStyle view;
    };
    const QList<Step> steps = {{m->mnuTBList, 2, 2, TFileList::List},
                               {m->mnuSmallIcons, 1, 4, TFileList::SmallIcons},
                               {m->mnuSmallIcons, 1, 4, TFileList::SmallIcons},
                               {m->mnuTBLargeIcons, 0, 1, TFileList::LargeIcons},
                               {m->mnuDetails, 3, 3, TFileList::Details}};
    for (const Step& s : steps) {
        s.click->trigger();
        for (int i = 0; i < twins.size(); ++i) {
            EXPECT_EQ(twins[i].first->isChecked(), i == s.checkedTwin) << s.stored;
            EXPECT_EQ(twins[i].second->isChecked(), i == s.checkedTwin) << s.stored;
        }
        EXPECT_EQ(Settings().readInteger("Main", "ViewStyle"), s.stored);
        EXPECT_EQ(m->FEDownloads->viewStyle(), s.view);
    }
    // A stored number outside 1..4 leaves details with nothing checked in either menu.
    m->applyViewStyle(5);
    for (const auto& [a, b] : twins) {
        EXPECT_FALSE(a->isChecked());
        EXPECT_FALSE(b->isChecked());
    }
    EXPECT_EQ(m->FEDownloads->viewStyle(), TFileList::Details);
}

TEST_F(ToolBar, MenuShortcuts) {
    auto m = create();
    const std::pair<QAction*, const char*> items[] = {{m->mnuNewSect, "Ctrl+S"},
                                                      {m->mnuNewCat, "Ctrl+N"},
                                                      {m->mnuRenSect, "Alt+Backspace"},
                                                      {m->mnuRenCat, "Shift+Alt+Backspace"},
                                                      {m->mnuMainDelSect, "Ctrl+Del"},
                                                      {m->mnuMainDelCat, "Shift+Del"},
                                                      {m->mnuRefresh, "F5"},
                                                      {m->mnuOptions, "Ctrl+O"},
                                                      {m->mnuContents, "F1"},
                                                      {m->mnuNewSection2, "Ctrl+S"},
                                                      {m->mnuNewFolder2, "Ctrl+N"},
                                                      {m->mnuDeleteSection2, "Ctrl+Del"},
                                                      {m->mnuDeleteFolder2, "Shift+Del"},
                                                      {m->mnuP_RenSect, "Alt+Backspace"},
                                                      {m->mnuP_DelSect, "Ctrl+Del"},
                                                      {m->mnuP_RenCat, "Shift+Alt+Backspace"},
                                                      {m->mnuP_DelCat, "Shift+Del"}};
    for (const auto& [action, keys] : items)
        EXPECT_EQ(action->shortcut(), QKeySequence(keys)) << qPrintable(action->objectName());
}

// Shift+Del in the file list deletes files for good (the list's own item); elsewhere it is
// the main menu's "delete folder". Neither is ever ambiguous.
TEST_F(ToolBar, ShiftDeleteBelongsToTheFileListWhileItHasTheFocus) {
    makeLibrary();
    auto m = create();
    m->show();
    m->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m.get()));
    settle();
    QSignalSpy files(m->N17, &QAction::triggered);
    QSignalSpy folder(m->mnuMainDelCat, &QAction::triggered);
    boxes.answer(platform::IDCANCEL).answer(platform::IDCANCEL);
    m->FEDownloads->view()->setFocus();
    QTest::keyClick(m->FEDownloads->view(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(files.count(), 1);
    EXPECT_EQ(folder.count(), 0);
    m->Nav->setFocus();
    QTest::keyClick(m->Nav, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(files.count(), 1);
    EXPECT_EQ(folder.count(), 1);
    // Each asks its own question first.
    ASSERT_EQ(boxes.texts().size(), 2);
    EXPECT_TRUE(boxes.texts()[0].startsWith("Are you sure you want to permanently delete"));
    EXPECT_TRUE(boxes.texts()[1].contains("are you sure you want to delete it?"));
}

} // namespace
