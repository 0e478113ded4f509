#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "DialogAnswerer.h"
#include "platform/Dialogs.h"

using namespace platform;
using qbtest::DialogAnswerer;

// Without a handler a box gets its safe answer at once; Enter would press its default one.
TEST(Dialogs, WithoutAHandlerEveryBoxGetsItsSafeAnswerAtOnce) {
    ASSERT_EQ(dialogHandler(), nullptr);
    struct Case {
        unsigned flags;
        int safe, byDefault;
    };
    const Case cases[] = {
        {MB_OK, IDOK, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL, IDCANCEL},
        {MB_YESNO | MB_ICONWARNING, IDNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO, IDNO},
        {MB_YESNO | MB_DEFBUTTON3, IDNO, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON1, IDCANCEL, IDYES},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL, IDCANCEL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(messageBox("Replace the existing file?", "Confirm", c.flags), c.safe) << c.flags;
        EXPECT_EQ((MessageBoxRequest{"", "", c.flags}.defaultAnswer()), c.byDefault) << c.flags;
    }
    EXPECT_TRUE(
        openFileDialog("Browse for Virus Scanner", "All Executables (*.exe)|*.exe").isEmpty());
    EXPECT_TRUE(browseForFolder("Choose a section location below:").isEmpty());
    EXPECT_FALSE(printDialog(nullptr));
}

TEST(Dialogs, TheAnswererSeesTextCaptionButtonsAndIconAndAnswersInOrder) {
    DialogAnswerer answerer;
    answerer.answer(IDYES).answer(IDCANCEL).answer(IDOK).answer(IDOK).answer(IDNO);

    EXPECT_EQ(messageBox("Open it now?", "Confirm", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(messageBox("Delete it?", "Confirm File Delete", MB_OKCANCEL), IDCANCEL);
    showMessage("Please specify a name for the new section.");
    errorBox("Unable to write to /x/dlmain.ini");
    EXPECT_EQ(messageBox("Sure?", QString(), MB_YESNO), IDNO);

    ASSERT_EQ(answerer.boxes().size(), 5);
    const auto& first = answerer.boxes()[0];
    EXPECT_EQ(first.text, "Open it now?");
    EXPECT_EQ(first.caption, "Confirm");
    EXPECT_EQ(first.buttons(), unsigned(MB_YESNO));
    EXPECT_EQ(first.icon(), unsigned(MB_ICONQUESTION));
    EXPECT_EQ(answerer.boxes()[1].buttons(), unsigned(MB_OKCANCEL));
    // A plain box, an error box and an uncaptioned one carry the application title.
    EXPECT_EQ(answerer.boxes()[2].buttons(), unsigned(MB_OK));
    EXPECT_EQ(answerer.boxes()[2].icon(), 0u);
    EXPECT_EQ(answerer.boxes()[3].icon(), unsigned(MB_ICONERROR));
    for (int i : {2, 3, 4})
        EXPECT_EQ(answerer.boxes()[i].caption, "Quillbay") << i;
    EXPECT_EQ(answerer.texts().mid(3), QStringList({"Unable to write to /x/dlmain.ini", "Sure?"}));
}

// Each misuse fails the test instead of waiting; a box still gets its safe answer.
TEST(Dialogs, UnscriptedDialogsAndWrongOrUnusedAnswersFail) {
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            answer = messageBox("Surprise", "Caption", MB_YESNO);
        },
        "Unexpected message box [Caption] \"Surprise\"");
    EXPECT_EQ(answer, IDNO);
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            answerer.answer(IDYES);
            answer = messageBox("Delete?", "Confirm File Delete", MB_OKCANCEL);
        },
        "is not a button of the message box");
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_NONFATAL_FAILURE(DialogAnswerer().answer(IDOK), "never used");
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            saveFileDialog("Save Report As");
        },
        "Unexpected file dialog \"Save Report As\"");
    EXPECT_NONFATAL_FAILURE(
        {
            DialogAnswerer answerer;
            printDialog(nullptr, "Print");
        },
        "Unexpected print dialog");
}

TEST(Dialogs, AReactionRunsWhileTheBoxIsShown) {
    DialogAnswerer answerer;
    answerer.answer(IDOK).answer(IDOK);
    QStringList seen;
    answerer.onBox([&](const DialogAnswerer::Box& box) {
        seen << box.text;
        // A box raised while another is shown is answered in turn.
        if (box.text == "outer")
            showMessage("inner");
    });
    showMessage("outer");
    EXPECT_EQ(seen, QStringList({"outer", "inner"}));
}

TEST(Dialogs, FileDialogsCarryTheirRequestAndReturnTheScriptedChoice) {
    DialogAnswerer answerer;
    answerer.answerFile("/tmp/report.txt").answerFile("/home/u/Sections/").answerFile("");
    EXPECT_EQ(
        saveFileDialog("Save Report As", "Text files (*.txt)|*.TXT", "/tmp", "Games.txt", ".txt"),
        "/tmp/report.txt");
    // The chosen folder comes back without trailing "/", as callers append it themselves.
    EXPECT_EQ(browseForFolder("Choose a section location below:", "/home/u"), "/home/u/Sections");
    EXPECT_EQ(openFileDialog("Browse for Netscape.exe"), "");

    ASSERT_EQ(answerer.fileDialogs().size(), 3);
    const FileDialogRequest& save = answerer.fileDialogs()[0];
    EXPECT_EQ(save.kind, FileDialogRequest::Save);
    EXPECT_EQ(save.caption, "Save Report As");
    EXPECT_EQ(save.filter, "Text files (*.txt)|*.TXT");
    EXPECT_EQ(save.startFolder, "/tmp");
    EXPECT_EQ(save.fileName, "Games.txt");
    EXPECT_EQ(save.defaultSuffix, "txt");
    EXPECT_EQ(answerer.fileDialogs()[1].kind, FileDialogRequest::Folder);
    EXPECT_EQ(answerer.fileDialogs()[2].kind, FileDialogRequest::Open);
}

TEST(Dialogs, WindowsFiltersBecomeQtNameFilters) {
    struct Case {
        const char* windows;
        const char* qt;
    };
    const Case cases[] = {
        {"Text files (*.txt)|*.TXT", "Text files (*.txt) (*.TXT)"},
        {"Netscape (Netscape.exe)|Netscape.exe", "Netscape (Netscape.exe) (Netscape.exe)"},
        {"Programs|*.exe;*.com|All files|*.*", "Programs (*.exe *.com);;All files (*)"},
        {"", ""},
        {"Dangling description", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qtNameFilters(c.windows), c.qt) << c.windows;
}
