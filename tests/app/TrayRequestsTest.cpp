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

// Without the helper library, and with a local machine store that refuses writes: the
// failures are told at the start and at the end, and start-up goes on.
TEST(TrayRequests, RegistrationFailuresAreToldAndStartUpGoesOn) {
    for (const bool protectedMachine : {false, true}) {
        SCOPED_TRACE(protectedMachine ? "a protected local machine store" : "no helper library");
        qbtest::TempHome home;
        Settings().writeBool("Main", "FirstRun", false);
        Settings().writeInteger("Download", "Speed", 28800); // no speed question
        if (protectedMachine) {
            ASSERT_TRUE(qbtest::installHelperLibrary(home));
            Registry machine(Registry::LocalMachine);
            machine.createKey("SOFTWARE");
            ASSERT_TRUE(QFile::setPermissions(machine.filePath(), QFile::ReadOwner));
        }
        qbtest::DialogAnswerer boxes;
        boxes.answerOthersWith(platform::IDOK);
        auto tray = std::make_unique<TfrmTray>(QStringList());
        EXPECT_EQ(boxes.texts(),
                  protectedMachine ? QStringList({kIEFailed}) : QStringList({kMissing, kIEFailed}));
        EXPECT_TRUE(tray->Open1->isEnabled()) << "start-up went on to its end";
        EXPECT_EQ(tray->requestEndpoint(), home.root() + "/runtime/quillbay/QBY");
        boxes.clearRecord();
        tray.reset();
        EXPECT_EQ(boxes.texts(), protectedMachine ? QStringList() : QStringList({kMissing}));
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
