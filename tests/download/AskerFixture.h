#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>

#include <functional>
#include <memory>
#include <optional>

#include "DialogAnswerer.h"
#include "ScriptedServer.h"
#include "TestEnvironment.h"
#include "download/TfrmAsker.h"

namespace qbtest {

// A file server: HEAD answers the length, GET the body (206 from a "Range: bytes=N-").
// `stallAfter` >= 0 stops the first GET after that many bytes until the client goes.
struct FileServerOptions {
    qint64 stallAfter = -1;
    bool announce = true; // false leaves out every Content-Length
    // Bytes sent beyond the body (a server that sends more than it announced).
    qint64 extra = 0;
    QByteArray contentLength; // sent as given instead of the true length when set
    // With `release` set, every GET sends `holdAfter` body bytes and waits until the test
    // releases the rest: the test sees the transfer while it runs, whatever the timing.
    qint64 holdAfter = 0;
    std::shared_ptr<std::atomic<bool>> release;
};
ScriptedServer::Script fileServer(const QByteArray& body, FileServerOptions options = {});

// An HTTP/1.0 answer: status line, fields, empty line, body.
QByteArray httpResponse(const QByteArray& status, const QList<QByteArray>& fields,
                        const QByteArray& body = {});
QByteArray contentLength(qint64 n);
// A server that hands every request header to `handler`.
using RequestHandler = std::function<void(const QByteArray& request, ScriptedConnection& c)>;
std::unique_ptr<ScriptedServer> httpServer(RequestHandler handler);

// The notice of a file that arrived whole in Programs / Utilities.
QString completeNotice(const QString& name = "tool.bin");

// A library of "Programs" (folders "Utilities", "Games") and "Internet" ("Web Files"),
// scripted boxes, and download dialogs opened the way a hand-off opens them.
class AskerFixture {
public:
    AskerFixture();
    ~AskerFixture();

    TempHome home;
    DialogAnswerer boxes;

    // The directory of the folder Programs / Utilities, with its trailing "/".
    QString folderDir() const;
    // The record file of Programs / Utilities.
    QString recordFile() const;
    // `name` in Programs / Utilities.
    QString path(const QString& name = "tool.bin") const { return folderDir() + name; }
    // The files in Programs / Utilities (a replacement left behind shows here).
    QStringList folderFiles() const;

    // A dialog filled like a hand-off of `url` (file name = its last segment unless given),
    // with its defaults applied and shown.
    TfrmAsker* open(const QString& url, std::optional<QString> name = std::nullopt);
    // Starts a file server for `body` (see fileServer) and opens a dialog on its `path`.
    TfrmAsker* openServed(const QByteArray& body, FileServerOptions options = {},
                          const QString& path = "/tool.bin");
    // The server openServed started.
    ScriptedServer& server() { return *server_; }
    // Presses Abort from inside the transfer once `bytes` have arrived.
    void abortAt(qint64 bytes);
    // Presses Download (or Abort) and returns when its handler has returned.
    void press();
    // Lets events run until the dialog is idle again (a redirect restart, say).
    bool waitUntilIdle(int timeoutMs = 15000);

    QPointer<TfrmAsker> dialog;
    std::unique_ptr<ScriptedServer> server_;

    QStringList log() const;
    QString logText() const { return log().join('\n'); }
    bool logHas(const QString& line) const;
    // The log's "Failed : ..." lines.
    QStringList failures() const;
};

// Runs `action` once, from inside whatever wait is running then, as soon as `condition`
// holds; checks every few milliseconds until `owner` goes.
void whenTrue(QObject* owner, std::function<bool()> condition, std::function<void()> action);

// The request lines ("GET /f HTTP/1.0", "Range: bytes=0-"...) each connection sent.
QList<QStringList> requestLines(const ScriptedServer& server);

} // namespace qbtest
