#include "AskerFixture.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <atomic>

#include "library/LibraryOperations.h"
#include "library/LibraryPaths.h"

namespace qbtest {

AskerFixture::AskerFixture() {
    const QString root = home.root() + "/library/";
    library::NewPage("Programs", root + "Programs/");
    library::NewButton("Utilities", "Programs", 3, 0);
    library::NewButton("Games", "Programs", 4, 0);
    library::NewPage("Internet", root + "Internet/");
    library::NewButton("Web Files", "Internet", 5, 1);
}

AskerFixture::~AskerFixture() {
    delete dialog.data();
}

QStringList AskerFixture::folderFiles() const {
    return QDir(folderDir()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString AskerFixture::folderDir() const {
    return home.root() + "/library/Programs/Utilities/";
}

QString AskerFixture::recordFile() const {
    return library::recordFilePath("Programs", "Utilities");
}

TfrmAsker* AskerFixture::open(const QString& url, std::optional<QString> name) {
    auto* d = new TfrmAsker;
    const QString file = name ? *name : url.mid(url.lastIndexOf('/') + 1);
    d->edtName->setText(file);
    d->edtSource->setEditText(url);
    d->edtDesc->setText("A test download");
    d->DownloadURL = url;
    d->Protocol = url.startsWith("ftp") ? "ftp" : "http";
    d->FileName = url.mid(url.lastIndexOf('/') + 1);
    d->URLDirectory = url.left(url.lastIndexOf('/') + 1);
    d->SetDefaults();
    d->show();
    dialog = d;
    return d;
}

TfrmAsker* AskerFixture::openServed(const QByteArray& body, FileServerOptions options,
                                    const QString& path) {
    server_ = std::make_unique<ScriptedServer>(fileServer(body, options));
    return open(server_->url(path));
}

void AskerFixture::abortAt(qint64 bytes) {
    TfrmAsker* d = dialog;
    whenTrue(
        d, [d, bytes] { return d->stats().value() >= bytes; }, [d] { d->cmdOK->click(); });
}

void AskerFixture::press() {
    dialog->cmdOK->click();
}

bool AskerFixture::waitUntilIdle(int timeoutMs) {
    return pumpUntil([this] { return !dialog || !dialog->isDownloading(); }, timeoutMs);
}

QStringList AskerFixture::log() const {
    QStringList lines;
    if (!dialog)
        return lines;
    for (int i = 0; i < dialog->ListBox1->count(); ++i)
        lines << dialog->ListBox1->item(i)->text();
    return lines;
}

bool AskerFixture::logHas(const QString& line) const {
    return log().contains(line);
}

QStringList AskerFixture::failures() const {
    return log().filter(QRegularExpression("^Failed : "));
}

void whenTrue(QObject* owner, std::function<bool()> condition, std::function<void()> action) {
    auto* timer = new QTimer(owner);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, condition, action] {
        if (!condition())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
}

QByteArray httpResponse(const QByteArray& status, const QList<QByteArray>& fields,
                        const QByteArray& body) {
    QByteArray out = "HTTP/1.0 " + status + "\r\n";
    for (const QByteArray& field : fields)
        out += field + "\r\n";
    return out + "\r\n" + body;
}

QByteArray contentLength(qint64 n) {
    return "Content-Length: " + QByteArray::number(n);
}

std::unique_ptr<ScriptedServer> httpServer(RequestHandler handler) {
    return std::make_unique<ScriptedServer>([handler](ScriptedConnection& c) {
        const QByteArray request = c.readRequestHeader();
        if (!request.isEmpty())
            handler(request, c);
    });
}

QString completeNotice(const QString& name) {
    return "Download Complete for " + name +
           "\r\rThis file has been placed in the following area:\r\rSection: "
           "Programs\rFolder: Utilities";
}

namespace {

qint64 rangeStart(const QByteArray& request) {
    for (const QByteArray& line : request.split('\n')) {
        const QByteArray l = line.trimmed();
        if (l.startsWith("Range: bytes="))
            return l.mid(13, l.indexOf('-') - 13).toLongLong();
    }
    return -1;
}

} // namespace

ScriptedServer::Script fileServer(const QByteArray& body, FileServerOptions options) {
    auto stalled = std::make_shared<std::atomic<bool>>(false);
    return [body, options, stalled](ScriptedConnection& c) {
        const QByteArray request = c.readRequestHeader();
        if (request.isEmpty())
            return;
        const qint64 size = body.size();
        auto length = [&](qint64 n) -> QList<QByteArray> {
            if (!options.announce)
                return {};
            return {"Content-Length: " + (options.contentLength.isEmpty() ? QByteArray::number(n)
                                                                          : options.contentLength)};
        };
        if (request.startsWith("HEAD")) {
            c.send(
                httpResponse("200 OK", length(size) << "Content-Type: application/octet-stream"));
            return;
        }
        const qint64 start = rangeStart(request);
        QByteArray part = body;
        if (start > 0) {
            part = body.mid(start);
            c.send(httpResponse("206 Partial Content",
                                length(part.size()) << "Content-Range: bytes " +
                                                           QByteArray::number(start) + "-" +
                                                           QByteArray::number(size - 1) + "/" +
                                                           QByteArray::number(size)));
        } else {
            c.send(httpResponse("200 OK", length(size)));
        }
        if (options.stallAfter >= 0 && !stalled->exchange(true)) {
            c.send(part.left(options.stallAfter));
            c.waitForPeerClose(20000);
            return;
        }
        if (options.release) {
            c.send(part.left(options.holdAfter));
            part = part.mid(options.holdAfter);
            while (!*options.release && c.sleep(5)) {
            }
        }
        // The surplus comes in the same write as the end of the body: the client notes what
        // it reads, and a later write could arrive after it has ended the request.
        c.send(part + QByteArray(options.extra, 'x'));
    };
}

QList<QStringList> requestLines(const ScriptedServer& server) {
    QList<QStringList> all;
    for (const QByteArray& request : server.received()) {
        QStringList lines;
        for (const QByteArray& line : request.split('\n')) {
            const QString text = QString::fromLatin1(line.trimmed());
            if (!text.isEmpty())
                lines << text;
        }
        all << lines;
    }
    return all;
}

} // namespace qbtest
