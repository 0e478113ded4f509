// The browser bridge with a real Chromium: the extension, the native-messaging host and the
// program, each in a process of its own, on a display and a web server of the test's own.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>

#include <csignal>

#include "BrowserSession.h"
#include "HelperLibrary.h"
#include "NginxServer.h"
#include "ScriptedServer.h"
#include "TestCertificates.h"
#include "TestEnvironment.h"
#include "library/Settings.h"
#include "setup/NativeHostManifests.h"

namespace {

using qbtest::ChromiumBrowser;
using qbtest::LoggedRequest;
using qbtest::pollUntil;

// Generous for a loaded machine, yet bounded: a missed step fails instead of hanging.
constexpr int kStartMs = 60000;
constexpr int kStepMs = 30000;

const char* const kDialogTitle = "Download a File";

// A display, nginx with a log, a home with a Chromium profile (where the program writes the
// host manifest), and the program, started and stopped by the test.
class ChromiumBridge : public ::testing::Test {
protected:
    void SetUp() override {
        if (ChromiumBrowser::binary().isEmpty())
            GTEST_SKIP() << "chromium is not installed";
        ASSERT_TRUE(display_.running()) << qPrintable(display_.error());
        ASSERT_TRUE(nginx_.running()) << qPrintable(nginx_.error());
        ASSERT_TRUE(qbtest::installHelperLibrary(home_));
        // The browser downloads slowly, so that its download is still running when the
        // extension pauses it; the program downloads at full speed.
        for (const char* name : {"a.zip", "b.zip", "c.zip", "d.zip"})
            ASSERT_TRUE(
                qbtest::writeFile(nginx_.root() + "/files/" + QString::fromLatin1(name), content_));
        ASSERT_TRUE(qbtest::writeFile(nginx_.root() + "/files/notes.txt", text_));
        ASSERT_TRUE(QDir().mkpath(downloads()));
        // The user has run Chromium before: the program writes the host manifest for it.
        ASSERT_TRUE(QDir().mkpath(profile()));
        browser_ =
            std::make_unique<ChromiumBrowser>(profile(), downloads(), extension(), display_.name());
    }

    void TearDown() override {
        browser_.reset();
        stopProgram(SIGTERM);
    }

    static QString nginxDirectives(const QString& log) {
        return QStringLiteral(R"(
        access_log %1;
        location /files/ {
            if ($http_user_agent ~ Chrome) { set $limit_rate 200k; }
        }
        location = /files/notes.txt {
            add_header Content-Disposition attachment;
            if ($http_user_agent ~ Chrome) { set $limit_rate 200k; }
        }
        )")
            .arg(log);
    }

    QString profile() const { return home_.root() + "/home/.config/chromium"; }
    QString downloads() const { return home_.root() + "/browser-downloads"; }
    static QString extension() { return QStringLiteral(QB_BROWSER_DIR "/chromium"); }
    QString manifest() const {
        return profile() + "/NativeMessagingHosts/" + setup::kNativeHostName + ".json";
    }
    QString endpoint(const QString& title) const {
        return home_.root() + "/runtime/quillbay/" + title;
    }

    void startProgram(bool intercepting) {
        Settings().writeBool("Download", "DownloadDetect", intercepting);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DISPLAY", display_.name());
        env.insert("SSL_CERT_FILE", qbtest::TestCertificates::get().caFile());
        program_.setProcessEnvironment(env);
        program_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program_.start(QStringLiteral(QB_BIN_DIR "/quillbay"), {});
        ASSERT_TRUE(program_.waitForStarted(kStepMs));
        const QString title = intercepting ? "QBY" : "QBY - Download Detect Disabled";
        ASSERT_TRUE(pollUntil(
            [&] { return QFileInfo::exists(endpoint(title)) && QFileInfo::exists(manifest()); },
            kStartMs));
        // The first run shows its configuration wizard, modal to the whole program; the user
        // leaves it (Escape, then Yes to its question).
        ASSERT_NO_FATAL_FAILURE(pressIn("Quillbay Configuration Wizard", "Escape"));
        ASSERT_NO_FATAL_FAILURE(pressIn("Confirm Exit", "Return"));
        ASSERT_TRUE(pollUntil(
            [&] {
                return qbtest::windowsTitled(display_.name(), "Quillbay Configuration Wizard")
                    .isEmpty();
            },
            kStepMs));
    }

    // Focuses the window titled `title` once it shows and presses `key` in it.
    void pressIn(const QString& title, const QString& key) {
        // A window may carry its title before it is mapped; only a mapped one takes the focus.
        ASSERT_TRUE(pollUntil(
            [&] {
                for (const QString& window : qbtest::windowsTitled(display_.name(), title))
                    if (qbtest::xdotool(display_.name(), {"windowfocus", "--sync", window}))
                        return true;
                return false;
            },
            kStepMs))
            << qPrintable(title);
        ASSERT_TRUE(qbtest::xdotool(display_.name(), {"key", "--clearmodifiers", key}));
    }

    void stopProgram(int signal) {
        if (program_.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(program_.processId()), signal);
        if (!program_.waitForFinished(kStepMs)) {
            program_.kill();
            program_.waitForFinished(5000);
        }
    }

    void startBrowser() {
        ASSERT_TRUE(browser_->start(setup::kChromiumExtensionId, kStartMs))
            << qPrintable(browser_->error());
    }

    QList<LoggedRequest> requestsFor(const QString& path, const QString& method) const {
        QList<LoggedRequest> found;
        for (const LoggedRequest& r : qbtest::readAccessLog(accessLog_))
            if (r.path == path && r.method == method)
                found << r;
        return found;
    }

    // The browser's own GET of `path`, once nginx has logged its end.
    std::optional<LoggedRequest> browserGet(const QString& path) const {
        for (const LoggedRequest& r : requestsFor(path, "GET"))
            if (r.userAgent.contains("Chrome"))
                return r;
        return std::nullopt;
    }

    bool browserFinished(const QString& name, const QByteArray& bytes) const {
        return qbtest::readFile(downloads() + "/" + name) == bytes;
    }

    QStringList downloadFolder() const {
        return QDir(downloads()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Every file of that name the program's library holds.
    QStringList inLibrary(const QString& name) const {
        QStringList found;
        QDirIterator it(home_.libraryRoot(), {name}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }

    // Starts a download the way a user does: by opening its URL in the browser.
    void browse(const QString& path) { EXPECT_TRUE(browser_->open(nginx_.url(path))); }

    // Opens the toolbar popup as a page, once it shows `status` in its title.
    QString openPopup(const QString& status) {
        EXPECT_TRUE(browser_->open(
            QStringLiteral("chrome-extension://%1/popup.html").arg(setup::kChromiumExtensionId)));
        QStringList pages;
        EXPECT_TRUE(pollUntil(
            [&] {
                return !(pages = qbtest::windowsTitled(display_.name(), "Quillbay: " + status))
                            .isEmpty();
            },
            kStepMs))
            << qPrintable(status);
        return pages.value(0);
    }

    // Waits until `count` download dialogs are open; `dialogs` names them.
    bool waitForDialogs(int count, QStringList& dialogs) {
        return pollUntil(
            [&] {
                return (dialogs = qbtest::windowsTitled(display_.name(), kDialogTitle)).size() ==
                       count;
            },
            kStepMs);
    }

    // Presses Download (Alt+D) in `dialog` and waits for `name` to land whole in the library.
    void downloadInDialog(const QString& dialog, const QString& name) {
        ASSERT_TRUE(qbtest::xdotool(display_.name(), {"windowfocus", "--sync", dialog}));
        ASSERT_TRUE(qbtest::xdotool(display_.name(), {"key", "--clearmodifiers", "alt+d"}));
        QStringList landed;
        ASSERT_TRUE(pollUntil(
            [&] {
                landed = inLibrary(name);
                return landed.size() == 1 && qbtest::readFile(landed[0]) == content_;
            },
            kStepMs))
            << qPrintable(landed.join(", "));
    }

    // The browser downloads `name` itself, whole, and no download dialog opens.
    void expectBrowserKeeps(const QString& name) {
        SCOPED_TRACE(qPrintable(name));
        browse("/files/" + name);
        EXPECT_TRUE(pollUntil([&] { return browserFinished(name, content_); }, kStepMs))
            << qPrintable(downloadFolder().join(", "));
        EXPECT_TRUE(qbtest::windowsTitled(display_.name(), kDialogTitle).isEmpty());
        EXPECT_TRUE(inLibrary(name).isEmpty());
    }

    qbtest::TempHome home_;
    qbtest::XvfbDisplay display_;
    QTemporaryDir logDir_;
    QString accessLog_ = logDir_.path() + "/access.log";
    // The same files over TLS, with a certificate of the test authority, which the program
    // trusts through SSL_CERT_FILE.
    qbtest::NginxServer nginx_{nginxDirectives(accessLog_),
                               qbtest::nginxTls(qbtest::TestCertificates::get().good())};
    const QByteArray content_ = qbtest::randomBytes(600 * 1024, 4711);
    const QByteArray text_ = QByteArray("Plain notes, kept by the browser.\n").repeated(10000);
    QProcess program_;
    std::unique_ptr<ChromiumBrowser> browser_;
};

// A clicked .zip goes to the program, whole, and the browser's own download is cancelled
// without a trace; a .txt, and the one download skipped in the popup, stay with the browser.
// The first .zip comes over TLS: the program checks the server's certificate itself.
TEST_F(ChromiumBridge, TheProgramTakesZipsTheBrowserKeepsTextAndSkippedOnes) {
    ASSERT_TRUE(qbtest::TestCertificates::get().ok());
    ASSERT_NO_FATAL_FAILURE(startProgram(true));
    ASSERT_NO_FATAL_FAILURE(startBrowser());

    EXPECT_TRUE(browser_->open(nginx_.httpsUrl("/files/a.zip", "localhost")));
    QStringList dialogs;
    ASSERT_TRUE(waitForDialogs(1, dialogs));
    // The browser's request ended early (cancelled, not finished) and its file is gone.
    ASSERT_TRUE(pollUntil([&] { return browserGet("/files/a.zip") && downloadFolder().isEmpty(); },
                          kStepMs))
        << qPrintable(downloadFolder().join(", "));
    EXPECT_LT(browserGet("/files/a.zip")->bytes, content_.size());
    // The program was asked about the URL (a HEAD) before anything was handed over.
    EXPECT_FALSE(requestsFor("/files/a.zip", "HEAD").isEmpty());

    ASSERT_NO_FATAL_FAILURE(downloadInDialog(dialogs[0], "a.zip"));
    EXPECT_TRUE(downloadFolder().isEmpty());

    browse("/files/notes.txt");
    EXPECT_TRUE(pollUntil([&] { return browserFinished("notes.txt", text_); }, kStepMs))
        << qPrintable(downloadFolder().join(", "));
    // Judged by the program (its HEAD), left to the browser: no second dialog.
    EXPECT_FALSE(requestsFor("/files/notes.txt", "HEAD").isEmpty());
    EXPECT_EQ(qbtest::windowsTitled(display_.name(), kDialogTitle).size(), 1);
    EXPECT_TRUE(inLibrary("notes.txt").isEmpty());

    // The popup's skip button (focused at once, so Enter presses it) lets the browser keep
    // the next download, and only that one.
    const QString popup = openPopup("Quillbay is running and takes over clicked downloads.");
    ASSERT_FALSE(popup.isEmpty());
    ASSERT_TRUE(qbtest::xdotool(display_.name(), {"windowfocus", "--sync", popup}));
    ASSERT_TRUE(qbtest::xdotool(display_.name(), {"key", "--clearmodifiers", "Return"}));
    browse("/files/b.zip");
    EXPECT_TRUE(pollUntil([&] { return browserFinished("b.zip", content_); }, kStepMs));
    EXPECT_TRUE(requestsFor("/files/b.zip", "HEAD").isEmpty());
    browse("/files/c.zip");
    EXPECT_TRUE(pollUntil(
        [&] { return qbtest::windowsTitled(display_.name(), kDialogTitle).size() == 2; }, kStepMs));
    // The browser's c.zip was cancelled like a.zip.
    const QStringList kept{"b.zip", "notes.txt"};
    EXPECT_TRUE(
        pollUntil([&] { return browserGet("/files/c.zip") && downloadFolder() == kept; }, kStepMs))
        << qPrintable(downloadFolder().join(", "));
}

// With interception off, with the program ended (its host manifest gone with it) and with a
// host whose program is not running, the browser downloads every file itself, whole.
TEST_F(ChromiumBridge, WithoutTheProgramInterceptingTheBrowserDownloadsItself) {
    ASSERT_NO_FATAL_FAILURE(startProgram(false));
    ASSERT_NO_FATAL_FAILURE(startBrowser());
    EXPECT_FALSE(openPopup("Quillbay is running; its interception is off.").isEmpty());
    expectBrowserKeeps("b.zip");
    // Interception off: the host found no receiver, so the program was never asked.
    EXPECT_TRUE(requestsFor("/files/b.zip", "HEAD").isEmpty());

    stopProgram(SIGTERM);
    EXPECT_FALSE(QFileInfo::exists(manifest()));
    expectBrowserKeeps("c.zip");

    // A manifest left behind (a program that crashed): the host runs and finds no program.
    setup::installNativeHostManifests();
    ASSERT_TRUE(QFileInfo::exists(manifest()));
    expectBrowserKeeps("d.zip");
    setup::removeNativeHostManifests();
    EXPECT_EQ(downloadFolder().size(), 3) << qPrintable(downloadFolder().join(", "));
}

} // namespace
