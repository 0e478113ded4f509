#include "library/DownloadEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "library/DownloadPaths.h"
#include "library/HeaderLines.h"
#include "net/FtpCli.h"
#include "net/FtpReply.h"
#include "net/FtpUrl.h"
#include "net/HttpCli.h"
#include "net/WSocket.h"
#include "platform/Clock.h"

namespace download {

namespace {

constexpr int kDefaultFtpTimeout = 30;

QString decoded(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

bool isRedirectStatus(int status) {
    return status >= 300 && status < 400;
}

} // namespace

DownloadEngine::DownloadEngine(THttpCli& http, TFtpClient& ftp, QObject* parent)
    : QObject(parent), http_(http), ftp_(ftp) {
    wireHttp();
    wireFtp();
}

DownloadEngine::~DownloadEngine() {
    http_.OnHeaderBegin = nullptr;
    http_.OnHeaderData = nullptr;
    http_.OnHeaderEnd = nullptr;
    http_.OnDocBegin = nullptr;
    http_.OnDocData = nullptr;
    http_.OnDocEnd = nullptr;
    http_.OnLocationChange = nullptr;
    http_.OnTrace = nullptr;
    http_.OnSessionConnected = nullptr;
    ftp_.OnDisplay = nullptr;
    ftp_.OnProgress = nullptr;
    ftp_.OnRequestDone = nullptr;
}

QString DownloadEngine::replacementPath(const QString& target) {
    const QFileInfo info(target);
    return info.dir().filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".qbpart"));
}

bool DownloadEngine::running() const {
    return state_ == EngineState::Probing || state_ == EngineState::Connecting ||
           state_ == EngineState::Fetching;
}

void DownloadEngine::note(const QString& line) {
    if (OnNote)
        OnNote(line);
}

// ---- the HTTP client's events ----------------------------------------------------------------

void DownloadEngine::wireHttp() {
    http_.OnHeaderBegin = [this](THttpCli&) {
        // Each response of a redirect chain brings its own length.
        responseLength_ = -1;
        responseHasLocation_ = false;
        headerEnded_ = false;
    };
    http_.OnHeaderData = [this](THttpCli& h) {
        const QString line = h.CurrentLine();
        if (OnHeaderLine)
            OnHeaderLine(line);
        const std::optional<HeaderField> field = headerField(line);
        if (!field)
            return;
        if (field->is("Content-Length")) {
            responseLength_ = parseContentLength(field->value).value_or(-1);
        } else if (field->is("Location")) {
            responseHasLocation_ = true;
            url_ = redirectTarget(field->value, url_);
            if (probing_)
                probeRedirected_ = true;
            // The client follows http itself; any other scheme is ours to follow.
            if (protocolOf(url_) == QLatin1String("ftp"))
                ftpLocation_ = url_;
            if (OnRedirect)
                OnRedirect();
        }
    };
    http_.OnHeaderEnd = [this](THttpCli&) { httpHeaderEnd(); };
    http_.OnDocBegin = [this](THttpCli&) {
        // A probe answered with a bare document is no download.
        if (probing_ || !sink_)
            return;
        bodyBegun_ = true;
        if (OnDocBegin)
            OnDocBegin();
    };
    http_.OnDocData = [this](THttpCli&, const char* buffer, qint64 len) { httpData(buffer, len); };
    http_.OnDocEnd = [this](THttpCli&) {
        if (!probing_ && bodyBegun_ && OnDocEnd)
            OnDocEnd();
    };
    http_.OnTrace = [this](THttpCli&, const QString& text) {
        if (text.startsWith(QLatin1String("Connection ended by an error")))
            socketError_ = true;
        note(text);
    };
    // Each https connection says once how it is protected.
    http_.OnSessionConnected = [this](THttpCli& h) {
        const TWSocket& socket = h.CtrlSocket();
        if (!socket.TlsProtocol().isEmpty())
            note(socket.TlsProtocol() + ' ' + socket.TlsCipher());
    };
}

void DownloadEngine::httpHeaderEnd() {
    headerEnded_ = true;
    const int status = http_.StatusCode();
    if (probing_ || !ftpLocation_.isEmpty() || (isRedirectStatus(status) && responseHasLocation_))
        return;
    if (status < 200 || status >= 300) {
        // Only a success carries the file; anything else would be saved as if it were it.
        failure_ = QStringLiteral("Failed : %1 %2").arg(status).arg(http_.ReasonPhrase());
        failedStep_ = FailedStep::Transfer;
        http_.Abort();
        return;
    }
    if (status == 206) {
        const QString begin = http_.ReceivedRangeBegin();
        const qint64 asked = offset_;
        if (begin.isEmpty() ? asked != 0 : begin != QString::number(asked)) {
            failure_ = QStringLiteral("Failed : the server sent bytes from %1 instead of %2")
                           .arg(begin.isEmpty() ? QStringLiteral("?") : begin)
                           .arg(asked);
            failedStep_ = FailedStep::Transfer;
            http_.Abort();
            return;
        }
    } else if (offset_ > 0) {
        // The range was ignored: the whole file comes, and it must not land on the part.
        note(QStringLiteral("Quillbay:  The server ignored the range and sends the whole file; "
                            "the part on disk stays until it has arrived whole"));
        if (!switchToReplacement()) {
            http_.Abort();
            return;
        }
    }
    if (!openSink()) {
        http_.Abort();
        return;
    }
    total_ = responseLength_ >= 0 ? offset_ + responseLength_ : -1;
    stats_.begin(offset_, total_);
}

void DownloadEngine::httpData(const char* buffer, qint64 len) {
    if (probing_ || !sink_ || writeFailed_ || len <= 0)
        return;
    if (sink_->write(buffer, len) != len) {
        writeFailed_ = true;
        writeError_ = sink_->errorString();
        http_.Abort();
        return;
    }
    received_ += len;
    lastChunk_ = len;
    stats_.addChunk(len);
    if (OnDocData)
        OnDocData(len);
}

// ---- the FTP client's events -----------------------------------------------------------------

void DownloadEngine::wireFtp() {
    ftp_.OnDisplay = [this](TFtpClient&, const QString& msg) { ftpDisplay(msg); };
    ftp_.OnProgress = [this](TFtpClient&, qint64 count, bool&) {
        if (state_ != EngineState::Fetching)
            return;
        const qint64 got = std::max<qint64>(count - offset_, 0);
        const qint64 length = got - received_;
        received_ = got;
        lastChunk_ = length;
        // A size counted from the restart point shows once the count passes it.
        if (total_ >= 0 && offset_ + received_ > total_ && announced_ >= 0) {
            total_ = offset_ + announced_;
            stats_.setTotal(total_);
        }
        stats_.setCount(offset_ + received_);
        if (OnDocData)
            OnDocData(length);
    };
    ftp_.OnRequestDone = [this](TFtpClient&, TFtpRequest request, int error) {
        if (OnFtpRequestDone)
            OnFtpRequestDone(int(request), error & 0xffff);
    };
}

void DownloadEngine::ftpDisplay(const QString& msg) {
    if (OnFtpLine)
        OnFtpLine(msg);
    if (state_ != EngineState::Fetching || !msg.contains(QLatin1String("< 150")))
        return;
    announced_ = ftp::announcedSize(msg);
    // Servers differ: the size counts the whole file or only what follows the restart point.
    // Until the bytes tell, the larger reading is shown.
    if (announced_ < 0)
        total_ = -1;
    else
        total_ = announced_ >= offset_ ? announced_ : offset_ + announced_;
    stats_.begin(offset_, total_);
    if (OnDocBegin)
        OnDocBegin();
}

// ---- one run ---------------------------------------------------------------------------------

EngineState DownloadEngine::run(const DownloadJob& job) {
    job_ = job;
    url_ = job.url;
    aborted_ = false;
    failure_.clear();
    failedStep_ = FailedStep::None;
    failureCode_ = 0;
    failureReason_.clear();
    offset_ = received_ = lastChunk_ = 0;
    total_ = -1;
    replacing_ = false;
    writeFailed_ = false;
    sink_.reset();
    stats_.start(platform::tickCount());
    if (protocolOf(url_) == QLatin1String("ftp"))
        return runFtp();
    return runHttp();
}

void DownloadEngine::abort() {
    if (!running())
        return;
    aborted_ = true;
    http_.Abort();
    ftp_.Abort();
}

EngineState DownloadEngine::end(EngineState state) {
    state_ = state;
    return state;
}

EngineState DownloadEngine::fail(FailedStep step, const QString& line, int code,
                                 const QString& reason) {
    if (failure_.isEmpty()) {
        failure_ = line;
        failedStep_ = step;
        failureCode_ = code;
        failureReason_ = reason;
    }
    if (replacing_)
        dropReplacement();
    else
        closeSink(); // the part that arrived stays for a resume
    return end(EngineState::Failed);
}

void DownloadEngine::dropReplacement() {
    if (sink_) {
        sink_->close();
        sink_.reset();
    }
    QFile::remove(replacementPath(job_.target));
}

bool DownloadEngine::decideLocalFile(qint64 serverSize) {
    const QFileInfo info(job_.target);
    if (info.exists() && !info.isFile()) {
        fail(
            FailedStep::Transfer,
            QStringLiteral("Failed : %1 is not a file").arg(QDir::toNativeSeparators(job_.target)));
        return false;
    }
    const qint64 local = info.exists() ? info.size() : 0;
    offset_ = 0;
    replacing_ = false;
    if (local == 0)
        return true;
    auto ask = [this](Question question) { return OnAsk && OnAsk(question); };
    switch (job_.existing) {
    case ExistingFile::Replace:
        replacing_ = true;
        return true;
    case ExistingFile::Ask:
        if (!ask(Question::OtherSource)) {
            end(EngineState::Declined);
            return false;
        }
        replacing_ = true;
        return true;
    case ExistingFile::Resume:
        break;
    }
    if (serverSize >= 0 && local >= serverSize) {
        if (!ask(Question::CompleteExists)) {
            end(EngineState::Declined);
            return false;
        }
        replacing_ = true;
        note(QStringLiteral("Quillbay:  Starting download at byte 0"));
        return true;
    }
    offset_ = local;
    note(QStringLiteral("Quillbay:  Starting download at byte %1").arg(offset_));
    return true;
}

bool DownloadEngine::switchToReplacement() {
    if (sink_) {
        sink_->close();
        sink_.reset();
    }
    replacing_ = true;
    offset_ = 0;
    return true;
}

bool DownloadEngine::openSink() {
    const QString path = replacing_ ? replacementPath(job_.target) : job_.target;
    auto file = std::make_unique<QFile>(path);
    const bool append = !replacing_ && offset_ > 0;
    const QIODevice::OpenMode mode = append ? QIODevice::WriteOnly | QIODevice::Append
                                            : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!file->open(mode) || (append && file->size() != offset_)) {
        failure_ = QStringLiteral("Failed : The file %1 cannot be written: %2")
                       .arg(QDir::toNativeSeparators(path), file->errorString());
        failedStep_ = FailedStep::Transfer;
        return false;
    }
    sink_ = std::move(file);
    return true;
}

bool DownloadEngine::closeSink() {
    if (!sink_)
        return true;
    bool ok = sink_->flush();
    if (!ok)
        writeError_ = sink_->errorString();
    sink_->close();
    if (ok && sink_->error() != QFileDevice::NoError) {
        ok = false;
        writeError_ = sink_->errorString();
    }
    sink_.reset();
    return ok;
}

EngineState DownloadEngine::finishWhole() {
    const QString written = replacing_ ? replacementPath(job_.target) : job_.target;
    if (!closeSink())
        return fail(FailedStep::Transfer,
                    QStringLiteral("Failed : The file %1 cannot be written: %2")
                        .arg(QDir::toNativeSeparators(written), writeError_));
    if (replacing_) {
        // rename() replaces the old file in one step: there is always a whole file there.
        const QByteArray from = QFile::encodeName(written);
        const QByteArray to = QFile::encodeName(job_.target);
        if (std::rename(from.constData(), to.constData()) != 0)
            return fail(FailedStep::Transfer,
                        QStringLiteral("Failed : The file %1 cannot be replaced: %2")
                            .arg(QDir::toNativeSeparators(job_.target),
                                 QString::fromLocal8Bit(std::strerror(errno))));
        replacing_ = false;
    }
    stats_.setCount(offset_ + received_);
    return end(EngineState::Complete);
}

EngineState DownloadEngine::runHttp() {
    ftp_mode_ = false;
    QPointer<DownloadEngine> self(this);
    state_ = EngineState::Probing;
    probing_ = true;
    probeRedirected_ = false;
    ftpLocation_.clear();
    socketError_ = false;
    http_.URL = url_;
    http_.CaFile = job_.caFile;
    http_.Timeout = job_.timeout;
    http_.ContentRangeBegin.clear();
    http_.ContentRangeEnd.clear();
    qint64 serverSize = -1;
    try {
        http_.Head();
        serverSize = responseLength_;
    } catch (const EHttpException& e) {
        if (!self)
            return EngineState::Aborted;
        probing_ = false;
        if (aborted_) {
            failure_ = QStringLiteral("Failed : %1 %2").arg(e.ErrorCode).arg(e.Message());
            return end(EngineState::Aborted);
        }
        return fail(FailedStep::Probe,
                    QStringLiteral("Failed : %1 %2").arg(e.ErrorCode).arg(e.Message()), e.ErrorCode,
                    e.Message());
    }
    if (!self)
        return EngineState::Aborted;
    probing_ = false;
    if (aborted_)
        return end(EngineState::Aborted);
    if (!ftpLocation_.isEmpty()) {
        url_ = ftpLocation_;
        return runFtp();
    }
    if (probeRedirected_ && job_.stopAfterProbeRedirect)
        return end(EngineState::Redirected);

    if (!decideLocalFile(serverSize))
        return state_;
    state_ = EngineState::Fetching;
    headerEnded_ = false;
    bodyBegun_ = false;
    socketError_ = false;
    http_.URL = url_;
    http_.CaFile = job_.caFile;
    if (offset_ > 0 || replacing_) {
        // A replacement asks from 0 as well: the answer then says whether ranges work.
        http_.ContentRangeBegin = QString::number(offset_);
        http_.ContentRangeEnd.clear();
    }
    stats_.start(platform::tickCount());
    try {
        http_.Get();
    } catch (const EHttpException& e) {
        if (!self)
            return EngineState::Aborted;
        // A response that began and was then cut off is no refusal by the server: the rules
        // below judge it, and what arrived stays for a resume.
        const bool cutOff = http_.RequestError() == httperrConnection &&
                            !http_.ReceivedHeader().isEmpty() && !aborted_ && !writeFailed_ &&
                            failure_.isEmpty();
        if (cutOff) {
            if (!(total_ >= 0 && offset_ + received_ < total_))
                socketError_ = true;
            return judgeHttpEnd();
        }
        if (writeFailed_)
            return fail(FailedStep::Transfer,
                        QStringLiteral("Failed : The file %1 cannot be written: %2")
                            .arg(QDir::toNativeSeparators(job_.target), writeError_));
        if (!failure_.isEmpty())
            return fail(failedStep_, failure_);
        if (aborted_) {
            failure_ = QStringLiteral("Failed : %1 %2").arg(e.ErrorCode).arg(e.Message());
            if (replacing_)
                dropReplacement();
            else
                closeSink();
            return end(EngineState::Aborted);
        }
        return fail(FailedStep::Transfer,
                    QStringLiteral("Failed : %1 %2").arg(e.ErrorCode).arg(e.Message()), e.ErrorCode,
                    e.Message());
    }
    if (!self)
        return EngineState::Aborted;
    return judgeHttpEnd();
}

EngineState DownloadEngine::judgeHttpEnd() {
    if (aborted_) {
        if (replacing_)
            dropReplacement();
        else
            closeSink();
        return end(EngineState::Aborted);
    }
    if (!failure_.isEmpty())
        return fail(failedStep_, failure_);
    if (!ftpLocation_.isEmpty()) {
        closeSink();
        if (replacing_)
            dropReplacement();
        url_ = ftpLocation_;
        return runFtp();
    }
    if (!headerEnded_)
        return fail(FailedStep::Transfer,
                    QStringLiteral("Failed : the connection ended inside the response header"));
    if (!sink_ && !openSink()) // an empty body still makes a file
        return fail(failedStep_, failure_);
    if (socketError_)
        return fail(FailedStep::Transfer,
                    QStringLiteral("Failed : the connection broke after %1 bytes; press Download "
                                   "to resume")
                        .arg(offset_ + received_));
    // Bytes beyond the announced length are kept (the length was wrong, not the body).
    if (total_ >= 0 && offset_ + received_ < total_)
        return fail(FailedStep::Transfer,
                    QStringLiteral("Failed : the connection ended after %1 of %2 bytes; press "
                                   "Download to resume")
                        .arg(offset_ + received_)
                        .arg(total_));
    return finishWhole();
}

// ---- FTP -------------------------------------------------------------------------------------

bool DownloadEngine::ftpRetrieve(bool resume) {
    ftp_.LocalFileName = replacing_ ? replacementPath(job_.target) : job_.target;
    ftp_.Passive = true;
    announced_ = -1;
    received_ = 0;
    total_ = -1;
    state_ = EngineState::Fetching;
    const bool ok = resume ? ftp_.ResumeRetrieve() : ftp_.Retrieve();
    if (ok && OnDocEnd)
        OnDocEnd();
    return ok;
}

bool DownloadEngine::ftpAlreadyWhole() const {
    // REST at the end of the file: nothing follows, and the size says the file is all there.
    return offset_ > 0 && received_ == 0 &&
           (announced_ < 0 || announced_ == 0 || announced_ == offset_);
}

EngineState DownloadEngine::runFtp() {
    ftp_mode_ = true;
    QPointer<DownloadEngine> self(this);
    state_ = EngineState::Connecting;
    const std::optional<ftp::ServerLocation> server = ftp::parseServerLocation(url_);
    QString path = server ? server->rawPath : QString();
    const int type = path.lastIndexOf(QLatin1String(";type="), -1, Qt::CaseInsensitive);
    if (type >= 0)
        path.truncate(type);
    // The path is relative to where the login leaves us; only an encoded "/" names the root.
    if (path.startsWith('/'))
        path.remove(0, 1);
    const int last = path.lastIndexOf('/');
    const QString directory = decoded(path.left(std::max(last, 0)));
    const QString file = decoded(path.mid(last + 1));
    if (!server || file.isEmpty())
        return fail(FailedStep::Ftp,
                    QStringLiteral("Failed : %1 names no file on an FTP server").arg(url_));

    const auto failFtp = [&]() {
        if (aborted_)
            return end(EngineState::Aborted);
        const int code = ftp_.StatusCode();
        return fail(FailedStep::Ftp,
                    QStringLiteral("FTP Error#%1 - last Response was: '%2'")
                        .arg(code)
                        .arg(ftp_.LastReply()),
                    code, ftp_.LastReply());
    };
    try {
        if (ftp_.State() != ftpReady || ftp_.Connected())
            ftp_.Abort();
        ftp_.Timeout = job_.timeout > 0 ? job_.timeout : kDefaultFtpTimeout;
        ftp_.HostName = server->host;
        ftp_.Port = server->port;
        ftp_.UserName = server->user.isEmpty() ? QStringLiteral("anonymous") : server->user;
        ftp_.PassWord = server->user.isEmpty() || server->password.isEmpty() ? job_.ftpPassword
                                                                             : server->password;
        ftp_.HostFileName = file;
        ftp_.ShareMode = ftpShareDenyNone;
        ftp_.Passive = true;
        // Login, the file's directory and binary type; false when a step is refused.
        const auto connect = [&] {
            state_ = EngineState::Connecting;
            if (!ftp_.Login())
                return false;
            if (!directory.isEmpty()) {
                ftp_.HostDirName = directory;
                if (!ftp_.ChangeDir())
                    return false;
            }
            ftp_.Binary = true;
            return ftp_.SetType();
        };
        if (!connect())
            return self ? failFtp() : EngineState::Aborted;
        if (aborted_)
            return end(EngineState::Aborted);

        if (!decideLocalFile(-1))
            return state_;
        bool ok = ftpRetrieve(!replacing_ && offset_ > 0);
        if (!self)
            return EngineState::Aborted;
        if (!ok && !aborted_ && offset_ > 0 && !replacing_ && ftp_.StatusCode() == 504) {
            note(QStringLiteral("Site does not permit download resuming."));
            if (!OnAsk || !OnAsk(Question::RestartFromZero)) {
                ftp_.Abort();
                return end(EngineState::Declined);
            }
            if (!self)
                return EngineState::Aborted;
            replacing_ = true;
            offset_ = 0;
            // A new session: the refused one may be in any state the server left it.
            ftp_.Abort();
            ok = connect() && ftpRetrieve(false);
            if (!self)
                return EngineState::Aborted;
        }
        if (ok && !aborted_ && ftpAlreadyWhole()) {
            if (!OnAsk || !OnAsk(Question::CompleteExists)) {
                ftp_.Abort();
                return end(EngineState::Declined);
            }
            if (!self)
                return EngineState::Aborted;
            replacing_ = true;
            offset_ = 0;
            ok = ftpRetrieve(false);
            if (!self)
                return EngineState::Aborted;
        }
        if (!ok || aborted_) {
            const EngineState state = failFtp();
            ftp_.Abort();
            if (replacing_)
                dropReplacement();
            return state;
        }
        const qint64 written = QFileInfo(ftp_.LocalFileName).size();
        // The size may count the whole file or only what followed the restart point.
        const bool whole =
            announced_ < 0 || written == announced_ || (offset_ > 0 && received_ == announced_);
        try {
            if (ftp_.Connected() && ftp_.State() == ftpReady)
                ftp_.Quit();
        } catch (const FtpException& e) {
            note(QStringLiteral("Quillbay:  %1").arg(e.Message()));
        }
        if (!self)
            return EngineState::Aborted;
        ftp_.Abort();
        if (!whole)
            return fail(FailedStep::Transfer,
                        QStringLiteral("Failed : the transfer ended after %1 bytes of %2; press "
                                       "Download to resume")
                            .arg(written)
                            .arg(announced_ >= offset_ ? announced_ : offset_ + announced_));
        total_ = written;
        received_ = written - offset_;
        stats_.setTotal(total_);
        return finishWhole();
    } catch (const FtpException& e) {
        if (!self)
            return EngineState::Aborted;
        ftp_.Abort();
        return fail(FailedStep::Ftp, QStringLiteral("Failed : ") + e.Message(), 0, e.Message());
    }
}

} // namespace download
