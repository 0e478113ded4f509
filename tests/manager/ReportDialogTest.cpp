#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>

#include "LibraryFixture.h"
#include "manager/TfrmPrint.h"
#include "platform/Help.h"
#include "platform/ProgramFolder.h"

namespace {

using qbtest::settle;

// Runs the tool and returns what it printed; empty when it cannot run.
QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

QStringList collapsedLines(const QString& text) {
    QStringList lines;
    for (QString line : text.split('\n')) {
        line = line.simplified();
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

// The dialog over the records of Programs/Games, each use run modally with `inside` acting
// on the open dialog; the use tells whether the dialog was still open afterwards.
class ReportDialog : public ::testing::Test {
protected:
    void SetUp() override {
        lib.writeRecord("Programs", "Games", "alpha.zip",
                        {{"Source", "http://example.com/alpha.zip"},
                         {"DateDownloaded", "3/4/2026"},
                         {"Desc", "First"}});
        lib.writeRecord("Programs", "Games", "beta.zip", {{"Desc", "Second"}});
        source = {"Games",
                  lib.record("Programs", "Games", "x").recordFile(),
                  {"alpha.zip", "beta.zip", "nothing.zip"}};
        dialog = std::make_unique<TfrmPrint>();
        dialog->FormCreate("Games");
    }
    struct Use {
        int result;
        bool stayedOpen;
    };
    Use use(bool print, const std::function<void()>& inside) {
        bool open = false;
        QTimer::singleShot(0, dialog.get(), [&] {
            inside();
            settle();
            open = dialog->isVisible();
            if (open)
                dialog->reject();
        });
        const int result = dialog->ShowParams(print, source);
        return {result, open};
    }
    QString expectedReport() const {
        return "FILENAME     SOURCE                        DOWNLOADED  DESCRIPTION\r\n"
               "\r\n"
               "alpha.zip    http://example.com/alpha.zip  3/4/2026    First\r\n"
               "beta.zip     ----------                    ----------  Second\r\n"
               "nothing.zip  ----------                    ----------  ----------\r\n";
    }

    qbtest::TempLibrary lib;
    qbtest::DialogAnswerer boxes;
    library::ReportSource source;
    std::unique_ptr<TfrmPrint> dialog;
    const QString target = platform::dataFolder() + "Games.txt"; // where a report goes first
};

TEST_F(ReportDialog, SaveModeWritesTheReportBesideTheDataAsTheFolderName) {
    const Use u = use(false, [&] {
        EXPECT_EQ(dialog->windowTitle(), "Save a Report");
        EXPECT_EQ(dialog->lblHeading->text(),
                  "Select the fields that you would like to save in the report.");
        EXPECT_TRUE(dialog->edtPrintFile->isVisible());
        EXPECT_TRUE(dialog->edtPrintFile->isReadOnly());
        EXPECT_TRUE(dialog->cmdBrowse->isVisible());
        EXPECT_FALSE(dialog->lblWarning->isVisible());
        EXPECT_FALSE(dialog->cmdPreview->isVisible());
        EXPECT_EQ(dialog->edtPrintFile->text(), target);
        EXPECT_TRUE(dialog->cmdOK->isDefault());
        QTest::keyClick(dialog.get(), Qt::Key_Return);
    });
    EXPECT_EQ(u.result, QDialog::Accepted);
    EXPECT_FALSE(u.stayedOpen);
    EXPECT_EQ(qbtest::readFile(target), expectedReport().toUtf8());
    EXPECT_TRUE(boxes.boxes().isEmpty());
}

TEST_F(ReportDialog, ExistingReportIsReplacedOnlyWhenTheUserSaysYes) {
    ASSERT_TRUE(qbtest::writeFile(target, "old"));
    boxes.answer(platform::IDNO);
    Use u = use(false, [&] { dialog->cmdOK->click(); });
    EXPECT_TRUE(u.stayedOpen);
    EXPECT_EQ(qbtest::readFile(target), QByteArray("old"));
    ASSERT_EQ(boxes.boxes().size(), 1);
    EXPECT_EQ(boxes.boxes()[0].text,
              "The specified file \"" + target + "\" already exists.  Replace the existing file?");
    EXPECT_EQ(boxes.boxes()[0].buttons(), unsigned(platform::MB_YESNO));
    EXPECT_EQ(boxes.boxes()[0].icon(), unsigned(platform::MB_ICONWARNING));

    boxes.answer(platform::IDYES);
    u = use(false, [&] { dialog->cmdOK->click(); });
    EXPECT_FALSE(u.stayedOpen);
    EXPECT_EQ(qbtest::readFile(target), expectedReport().toUtf8());
}

TEST_F(ReportDialog, BrowseChoosesTheTargetAndAFailedWriteKeepsTheDialogOpen) {
    const QString missing = lib.home.folder() + "no/such/dir/r.txt";
    boxes.answerFile(QString()).answerFile(missing);
    boxes.answer(platform::IDOK);
    const Use u = use(false, [&] {
        dialog->cmdBrowse->click(); // cancelled: nothing changes
        EXPECT_EQ(dialog->targetFile(), target);
        dialog->cmdBrowse->click();
        EXPECT_EQ(dialog->edtPrintFile->text(), missing);
        dialog->cmdOK->click();
    });
    EXPECT_TRUE(u.stayedOpen);
    ASSERT_EQ(boxes.fileDialogs().size(), 2);
    const platform::FileDialogRequest& request = boxes.fileDialogs()[0];
    EXPECT_EQ(request.kind, platform::FileDialogRequest::Save);
    EXPECT_EQ(request.caption, "Save Report As");
    EXPECT_EQ(request.filter, "Text files (*.txt)|*.TXT");
    EXPECT_EQ(request.defaultSuffix, "txt");
    ASSERT_EQ(boxes.boxes().size(), 1);
    EXPECT_TRUE(boxes.boxes()[0].text.contains(missing));
    EXPECT_EQ(boxes.boxes()[0].icon(), unsigned(platform::MB_ICONERROR));
}

TEST_F(ReportDialog, FieldChoicesLastBetweenUses) {
    use(false, [&] {
        dialog->cbSource->click();
        dialog->cbDateOpened->click();
        dialog->cmdCancel->click();
    });
    const Use u = use(false, [&] {
        EXPECT_FALSE(dialog->cbSource->isChecked());
        EXPECT_TRUE(dialog->cbDateOpened->isChecked());
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    });
    EXPECT_EQ(u.result, QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(dialog->reportText().split("\r\n")[0],
              "FILENAME     DOWNLOADED  OPENED      DESCRIPTION");
}

TEST_F(ReportDialog, PrintModeCancelledStaysOpenAndF1OpensHelp) {
    boxes.answerPrint(false);
    const Use u = use(true, [&] {
        EXPECT_EQ(dialog->windowTitle(), "Print a Report");
        EXPECT_EQ(dialog->lblHeading->text(), "Select the fields that you would like to print.");
        EXPECT_TRUE(dialog->lblWarning->isVisible());
        EXPECT_TRUE(dialog->lblWarning->text().startsWith("Please note that long fields"));
        EXPECT_FALSE(dialog->edtPrintFile->isVisible());
        EXPECT_TRUE(dialog->cmdPreview->isVisible());
        dialog->cmdOK->click();
        QTest::keyClick(dialog.get(), Qt::Key_F1);
    });
    EXPECT_TRUE(u.stayedOpen);
    EXPECT_EQ(boxes.printCaptions().size(), 1);
    EXPECT_EQ(lib.home.shellLog(), QStringList{"open\t" + platform::helpPage()});
}

// The preview beside the print dialog shows the same report, laid out on its pages.
TEST_F(ReportDialog, PreviewShowsTheReportPages) {
    for (int i = 0; i < 150; ++i)
        source.names << QString("file%1.bin").arg(i);
    int pages = 0;
    bool previewed = false;
    const Use u = use(true, [&] {
        QTimer poll;
        QElapsedTimer waited;
        waited.start();
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!preview && waited.elapsed() < 5000)
                return;
            poll.stop();
            ASSERT_TRUE(preview) << "no preview came";
            previewed = true;
            settle();
            if (auto* widget = preview->findChild<QPrintPreviewWidget*>())
                pages = widget->pageCount();
            preview->reject();
        });
        poll.start(10);
        dialog->cmdPreview->click();
    });
    EXPECT_TRUE(previewed);
    EXPECT_GE(pages, 2);
    EXPECT_TRUE(u.stayedOpen); // previewing prints nothing and keeps the choices open
    EXPECT_TRUE(boxes.printCaptions().isEmpty());
}

// The printed page holds the report's lines in a fixed-pitch Courier (Nimbus Mono here),
// and a long report runs on over several pages without losing a line.
TEST_F(ReportDialog, PrintsTheLinesInAMonospacedFontAcrossPages) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
        QStandardPaths::findExecutable("pdffonts").isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    for (int i = 0; i < 150; ++i)
        source.names << QString("file%1.bin").arg(i, 3, 10, QChar('0'));
    const QString pdf = lib.home.file("report.pdf");
    boxes.answerPrint(true, [pdf](QPrinter* printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdf);
    });
    const Use u = use(true, [&] { dialog->cmdOK->click(); });
    EXPECT_FALSE(u.stayedOpen);
    ASSERT_TRUE(QFile::exists(pdf));

    const QStringList printed = collapsedLines(run("pdftotext", {"-layout", pdf, "-"}));
    const QStringList expected = collapsedLines(dialog->reportText().remove('\r'));
    EXPECT_EQ(printed, expected);
    const QString info = run("pdfinfo", {pdf});
    const QRegularExpressionMatch pages = QRegularExpression("Pages:\\s+(\\d+)").match(info);
    ASSERT_TRUE(pages.hasMatch()) << qPrintable(info);
    EXPECT_GE(pages.captured(1).toInt(), 2);
    const QString fonts = run("pdffonts", {pdf});
    EXPECT_TRUE(fonts.contains("NimbusMono")) << qPrintable(fonts);
    EXPECT_FALSE(fonts.contains("DejaVu")) << qPrintable(fonts);
}

} // namespace
