#include <gtest/gtest.h>

#include <QAccessible>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "TestEnvironment.h"
#include "widgets/QtDialogs.h"

using namespace platform;

namespace {

// Installs the real Qt handler for one test and puts the previous one back.
struct WithQtDialogs {
    WithQtDialogs() : previous(installDialogHandler(nullptr)) { installQtDialogs(); }
    ~WithQtDialogs() { installDialogHandler(previous); }
    DialogHandler* previous;
};

// Runs `act` on the modal dialog of type T once it shows. A dialog that does not show, or one
// of another type, fails the test; the stray dialog is closed so that nothing hangs.
template <typename T> void whenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    auto limit = std::make_shared<QDeadlineTimer>(10000);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<T*>(modal)) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        } else if (limit->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog did not show";
            if (auto* stray = qobject_cast<QDialog*>(modal))
                stray->reject();
        }
    });
    timer->start(10);
}

// While it lives, any message box that shows fails the test and is closed.
class NoBoxAllowed {
public:
    NoBoxAllowed() {
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "unexpected box: " << box->text().toStdString();
                box->reject();
            }
        });
        timer_.start(10);
    }

private:
    QTimer timer_;
};

} // namespace

TEST(QtDialogs, MessageBoxShowsTheRequestAsPlainTextAndReportsTheButton) {
    WithQtDialogs qt;
    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Confirm");
        EXPECT_EQ(box->text(), "Busy with <b>a.zip</b>.\n\nAbort first.");
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
                  box->button(QMessageBox::No));
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(messageBox("Busy with <b>a.zip</b>.\r\rAbort first.", "Confirm",
                         MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2),
              IDYES);
}

TEST(QtDialogs, AMessageBoxSpeaksItsTextAndButtons) {
    WithQtDialogs qt;
    QStringList spoken;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* i) {
            if (!i)
                return;
            spoken.append(i->text(QAccessible::Name));
            for (int c = 0; c < i->childCount(); ++c)
                walk(i->child(c));
        };
        walk(QAccessible::queryAccessibleInterface(box));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(messageBox("The file a.zip is gone.\r\rRemove its record?", "Quillbay",
                         MB_YESNO | MB_ICONQUESTION),
              IDNO);
    EXPECT_TRUE(spoken.contains("The file a.zip is gone.\n\nRemove its record?"))
        << spoken.join('|').toStdString();
    EXPECT_TRUE(spoken.contains("Yes"));
    EXPECT_TRUE(spoken.contains("No"));
}

TEST(QtDialogs, EscapeGivesTheSafeAnswer) {
    WithQtDialogs qt;
    struct Case {
        unsigned flags;
        int answer;
    };
    const Case cases[] = {{MB_YESNO, IDNO}, {MB_OKCANCEL, IDCANCEL}, {MB_OK, IDOK}};
    for (const Case& c : cases) {
        whenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        EXPECT_EQ(messageBox("Sure?", "Quillbay", c.flags), c.answer) << c.flags;
    }
}

TEST(QtDialogs, SaveDialogAddsTheSuffixAndLeavesTheOverwriteQuestionToTheCaller) {
    WithQtDialogs qt;
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(home.file("report.txt"), "old"));
    NoBoxAllowed noOverwriteQuestion;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Save Report As");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters(), QStringList({"Text files (*.txt) (*.TXT)"}));
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText("report");
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(saveFileDialog("Save Report As", "Text files (*.txt)|*.TXT", home.folder(),
                             "Games.txt", ".txt"),
              home.file("report.txt"));
}

TEST(QtDialogs, CancelledDialogsGiveNothingAndFoldersComeWithoutSlash) {
    WithQtDialogs qt;
    qbtest::TempHome home;
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(openFileDialog("Browse for Virus Scanner", "All Executables (*.exe)|*.exe"), "");

    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_EQ(dialog->directory().absolutePath() + "/", home.folder());
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(browseForFolder("Choose a section location below:", home.folder()),
              home.folder().chopped(1));
}
