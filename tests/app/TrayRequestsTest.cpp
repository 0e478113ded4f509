#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>

#include "DialogAnswerer.h"
#include "HelperLibrary.h"
#include "TestEnvironment.h"
#include "app/AppWindows.h"
#include "app/TfrmTray.h"
#include "handoff/HandOff.h"
#include "library/Settings.h"
#include "platform/PlatformFakes.h"
#include "platform/ProbeBlock.h"
#include "platform/Registry.h"
#include "setup/BrowserRegistration.h"

#include <QComboBox>
#include <QLineEdit>

#include "download/TfrmAsker.h"

using platform::Registry;

namespace {

const char* const kMissing = "Missing QBYAuto.dll - this file must be in the Quillbay folder.";
const char* const kIEFailed = "Failed to register Quillbay with Internet Explorer";

// The answer of a probe for `url` sent to the window titled `title`; -1 when unanswered.
int probeThrough(const QString& title, const QString& url) {
    platform::ProbeBlock block;
    if (!block.create())
        return -1;
    block.setField(0, url.toUtf8());
    const platform::SendResult sent = qbtest::Sender(title, qbtest::probeRequest()).result();
    block.unlink();
    return sent.status == platform::SendResult::Answered ? block.answer() : -1;
}

TEST(TrayRequests, RegistrationFailuresAreToldAndStartUpGoesOn) {
    struct Case {
        const char* what;
        const char* library; // nullptr: none
        const char* status;
        bool machineReadOnly;
        QStringList startBoxes, endBoxes;
    };
    const Case cases[] = {
        {"no helper library", nullptr, "0", false, {kMissing, kIEFailed}, {kMissing}},
        {"the helper's entry points fail",
         QB_TEST_PLUGIN,
         "7",
         false,
         {"Failed to register QBYAuto.DLL", kIEFailed},
         {"Failed to unregister QBYAuto.DLL"}},
        {"a protected local machine store", QB_BIN_DIR "/QBYAuto.dll", "0", true, {kIEFailed}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qbtest::TempHome home;
        Settings().writeBool("Main", "FirstRun", false);
        Settings().writeInteger("Download", "Speed", 28800); // no speed question
        if (c.library) {
            ASSERT_TRUE(qbtest::installStandInLibrary(home, c.library));
        }
        if (c.machineReadOnly) {
            Registry machine(Registry::LocalMachine);
            machine.createKey("SOFTWARE");
            ASSERT_TRUE(QFile::setPermissions(machine.filePath(), QFile::ReadOwner));
        }
        qputenv("QB_TESTPLUGIN_STATUS", c.status);
        qbtest::DialogAnswerer boxes;
        boxes.answerOthersWith(platform::IDOK);
        auto tray = std::make_unique<TfrmTray>(QStringList());
        EXPECT_EQ(boxes.texts(), c.startBoxes);
        EXPECT_TRUE(tray->Open1->isEnabled()) << "start-up went on to its end";
        EXPECT_EQ(tray->requestEndpoint(), home.root() + "/runtime/quillbay/QBY");
        boxes.clearRecord();
        tray.reset();
        EXPECT_EQ(boxes.texts(), c.endBoxes);
        qunsetenv("QB_TESTPLUGIN_STATUS");
    }
}

// Requests, probes and hand-offs alike, are served whatever the switch says; each hand-off
// opens a dialog of its own and the reference names the newest.
TEST(TrayRequests, TheEndpointFollowsTheSwitchAndRequestsAreServedEitherWay) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    TfrmTray tray({});
    const QString on = TfrmTray::interceptionTitle(true);
    const QString off = TfrmTray::interceptionTitle(false);
    EXPECT_EQ(probeThrough(on, "ftp://host/file.zip"), 1);
    tray.handOff(*encodeHandOff("IE", "http://host/dir/setup.exe", "Setup"));
    QPointer<TfrmAsker> first = frmAsker;
    ASSERT_TRUE(first);
    EXPECT_EQ(first->edtName->text(), "setup.exe");
    EXPECT_EQ(first->edtSource->currentText(), "http://host/dir/setup.exe");
    EXPECT_EQ(first->edtDesc->text(), "Setup");
    EXPECT_TRUE(first->isVisible());

    tray.mnuIntercept->trigger();
    EXPECT_EQ(QFileInfo(tray.requestEndpoint()).fileName(), off);
    EXPECT_EQ(qbtest::Sender(on, qbtest::probeRequest()).result().status,
              platform::SendResult::NoReceiver);
    EXPECT_EQ(probeThrough(off, "ftp://host/file.zip"), 1);
    EXPECT_EQ(probeThrough(off, ""), 0);
    tray.handOff(QByteArray("\x00", 1));
    ASSERT_TRUE(frmAsker);
    EXPECT_NE(frmAsker, first);
    EXPECT_TRUE(first) << "the first dialog keeps running";
    EXPECT_EQ(frmAsker->edtName->text(), "");
    EXPECT_EQ(frmAsker->edtDesc->text(), "");

    tray.mnuIntercept->trigger();
    EXPECT_EQ(QFileInfo(tray.requestEndpoint()).fileName(), on);
    EXPECT_FALSE(QFileInfo::exists(home.root() + "/runtime/quillbay/" + off));
    first->close();
    frmAsker->close();
}

} // namespace
