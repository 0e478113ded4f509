#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// What the end-to-end tests with a real browser need: a display of their own, Chromium with
// a temporary profile and the extension loaded, and the program's windows seen from outside.
namespace qbtest {

// Calls `done` every `intervalMs` until it holds or `timeoutMs` have passed; its last answer.
bool pollUntil(const std::function<bool()>& done, int timeoutMs, int intervalMs = 100);

// The ids of the top-level windows on `display` whose title contains `title` (xdotool).
QStringList windowsTitled(const QString& display, const QString& title);

// Runs xdotool on `display` with `args`; true when it succeeded.
bool xdotool(const QString& display, const QStringList& args);

// Chromium with the profile folder `profile` (its download folder set to `downloads`) and the
// unpacked extension in `extension`. The browser runs in a session of its own: the destructor
// ends it and every process it started.
class ChromiumBrowser {
public:
    ChromiumBrowser(const QString& profile, const QString& downloads, const QString& extension,
                    const QString& display);
    ~ChromiumBrowser();
    ChromiumBrowser(const ChromiumBrowser&) = delete;
    ChromiumBrowser& operator=(const ChromiumBrowser&) = delete;

    static QString binary();

    // Starts the browser and waits until the service worker of the extension with ID
    // `extensionId` runs; false with error() otherwise.
    bool start(const QString& extensionId, int timeoutMs);
    // Opens `url` in the running browser, as a second browser call with the same profile.
    bool open(const QString& url);
    QString error() const { return error_; }

private:
    QStringList commonArguments() const;
    void stop();

    QString profile_;
    QString downloads_;
    QString extension_;
    QString display_;
    QProcess process_;
    QString error_;
};

// The requests nginx logged in its combined format.
struct LoggedRequest {
    QString method;
    QString path;
    int status = 0;
    qint64 bytes = 0;
    QString userAgent;
};
QList<LoggedRequest> readAccessLog(const QString& file);

} // namespace qbtest
