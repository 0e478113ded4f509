#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>

#include <csignal>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "NginxServer.h"
#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "ToolRun.h"
#include "app/AppWindows.h"
#include "app/TfrmTray.h"
#include "app/TrayFixture.h"
#include "download/TfrmAsker.h"
#include "library/FileRecord.h"
#include "library/Sections.h"
#include "platform/Registry.h"
#include "platform/RequestServer.h"
#include "setup/BrowserRegistration.h"

namespace {

using qbtest::ToolRun;

// Runs qbyauto while this thread keeps serving, as the program does while a browser waits.
ToolRun qbyauto(const QStringList& args) {
    return qbtest::runTool("qbyauto", args);
}

TEST(Qbyauto, WithoutAReceiverItSaysSo) {
    qbtest::TempHome home;
    const ToolRun send = qbyauto({"send", "http://h/a.zip"});
    EXPECT_EQ(send.exitCode, 2);
    EXPECT_EQ(send.err, "Quillbay is not running or interception is off\n");
    EXPECT_EQ(qbyauto({"probe", "http://h/a.zip"}).exitCode, 2);

    // A receiver under the other title is not the one the helper looks for.
    platform::RequestServer disabled([](const platform::Request&) { return 0; });
    ASSERT_TRUE(disabled.listen(TfrmTray::interceptionTitle(false)));
    EXPECT_EQ(qbyauto({"send", "http://h/a.zip"}).exitCode, 2);
}

TEST(Qbyauto, BadCommandLinesAreRefused) {
    qbtest::TempHome home;
    const QStringList bad[] = {{},
                               {"fetch", "http://h/"},
                               {"send"},
                               {"send", "http://h/", "desc", "extra"},
                               {"send", "http://h/", "--source"},
                               {"send", "http://h/", "--source", "gopher"},
                               {"send", "http://h/" + QString(300, 'x')},
                               {"send", "gopher://h/a.zip"},
                               {"send", "a.zip"},
                               {"probe"},
                               {"probe", "http://h/" + QString(1100, 'x')}};
    for (const QStringList& args : bad) {
        SCOPED_TRACE(qPrintable(args.join(' ')));
        const ToolRun r = qbyauto(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_FALSE(r.err.isEmpty());
    }
}

TEST(Qbyauto, SendsTheRecordTheProgramReads) {
    qbtest::TempHome home;
    QList<platform::Request> seen;
    platform::RequestServer receiver([&](const platform::Request& r) {
        seen << r;
        return 0;
    });
    ASSERT_TRUE(receiver.listen("QBY"));
    EXPECT_EQ(qbyauto({"send", "http://h/dir/a.zip", "A file"}).exitCode, 0);
    EXPECT_EQ(qbyauto({"send", "--source", "IE", "ftp://h/b.iso"}).exitCode, 0);
    // Without --source, the scheme's family (the hand-off's own table) is the source.
    EXPECT_EQ(qbyauto({"send", "Ftp://h/e.zip"}).exitCode, 0);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0].message, platform::WM_COPYDATA);
    const auto record = [](const QByteArray& counted) { return char(counted.size()) + counted; };
    EXPECT_EQ(seen[0].copyData.lpData, record("http\rhttp://h/dir/a.zip\rA file"));
    EXPECT_EQ(seen[1].copyData.lpData, record("IE\rftp://h/b.iso\r"));
    EXPECT_EQ(seen[2].copyData.lpData, record("ftp\rFtp://h/e.zip\r"));
}

// The whole road of a download over TLS (the test authority trusted as a user trusts one):
// the helper hands the URL over, the dialog opens with what it derived, and pressing Download
// files the server's bytes into the library. Plain HTTP takes it in the installed program.
TEST(Qbyauto, AHandedOffHttpsDownloadLandsInTheLibrary) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    ASSERT_TRUE(qbtest::TestCertificates::get().ok())
        << qPrintable(qbtest::TestCertificates::get().error());
    qbtest::TrustTestAuthority trust;
    qbtest::NginxServer nginx({}, qbtest::nginxTls(qbtest::TestCertificates::get().good()));
    ASSERT_TRUE(nginx.running()) << qPrintable(nginx.error());
    const QByteArray content = qbtest::randomBytes(700001, 443);
    ASSERT_TRUE(qbtest::writeFile(nginx.root() + "/files/secure.bin", content));
    const QString url = nginx.httpsUrl("/files/secure.bin", "localhost");

    TfrmTray tray({});
    const ToolRun r = qbyauto({"send", url, "A file"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QPointer<TfrmAsker> dialog = frmAsker;
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->edtName->text(), "secure.bin");
    EXPECT_EQ(dialog->edtSource->currentText(), url);
    EXPECT_EQ(dialog->edtDesc->text(), "A file");
    // https is of the HTTP family; the URL keeps its scheme.
    EXPECT_EQ(dialog->Protocol, "http");
    EXPECT_EQ(dialog->DownloadURL, url);
    EXPECT_EQ(dialog->URLDirectory, nginx.httpsUrl("/files/", "localhost"));
    EXPECT_EQ(dialog->cbSection->currentText(), "Programs");

    qbtest::DialogAnswerer boxes;
    boxes.answer(platform::IDOK); // "Download Complete for <name> ..."
    dialog->cmdOK->click();
    ASSERT_TRUE(dialog);
    const QString folder = dialog->cbCategory->currentText();
    EXPECT_EQ(qbtest::readFile(library::sectionLocation(1) + folder + "/secure.bin"), content);
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith("Download Complete for secure.bin"))
        << qPrintable(boxes.texts()[0]);
    const library::FileRecord record = library::FileRecord::of("Programs", folder, "secure.bin");
    EXPECT_EQ(record.readString("Desc"), "A file");
    EXPECT_EQ(record.readString("Source"), url);
    dialog->close();
}

// The program itself: start-up registers the helper and opens the endpoint, the helper
// reaches it, and the session's end unregisters the helper, at once and writing no settings.
// A second copy that died beside it never cut the first one off.
TEST(Qbyauto, TheProgramRegistersServesAndUnregistersAndASecondCopyNeverCutsItOff) {
    qbtest::TempHome home;
    qbtest::storeLaterStart(home);
    const QByteArray settings = qbtest::readFile(home.file("dlmain.ini"));
    platform::Registry classes(platform::Registry::ClassesRoot);
    const QString endpoint = home.root() + "/runtime/quillbay/QBY";
    QProcess first;
    ASSERT_TRUE(qbtest::startProgram(first));
    ASSERT_TRUE(qbtest::pumpUntil([&] { return QFileInfo::exists(endpoint); }, 30000));

    QProcess second;
    ASSERT_TRUE(qbtest::startProgram(second));
    QByteArray secondErr;
    EXPECT_TRUE(qbtest::pumpUntil(
        [&] {
            secondErr += second.readAllStandardError();
            return secondErr.contains("another copy");
        },
        30000))
        << secondErr.constData();
    second.kill();
    ASSERT_TRUE(second.waitForFinished(20000));

    // Probes are served once start-up lets messages run, after the registration steps; the
    // helper prints the program's verdict (the verdicts themselves are the content probe's).
    const std::pair<QString, QByteArray> probes[] = {
        {"ftp://127.0.0.1/pub/file.zip", "1\n"},
        {QString("http://127.0.0.1:%1/a.zip").arg(qbtest::closedPort()), "0\n"}};
    for (const auto& [url, verdict] : probes) {
        const ToolRun r = qbyauto({"probe", url});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(r.out, verdict) << qPrintable(url);
    }
    EXPECT_EQ(classes.readValue(setup::kPluginClassKey, ""), home.file("QBYAuto.dll"));

    ::kill(first.processId(), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_EQ(qbtest::readFile(home.file("dlmain.ini")), settings) << "the session end wrote";
    EXPECT_FALSE(classes.keyExists(setup::kPluginClassKey));
    EXPECT_FALSE(QFileInfo::exists(endpoint));
}

} // namespace
