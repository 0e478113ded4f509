#include "HttpCli.h"

#include "EventCall.h"
#include "HttpRequestHeader.h"
#include "WSocket.h"
#include "WSocketErrors.h"
#include "platform/MessageLoop.h"

#include <QIODevice>
#include <QPointer>
#include <QTimer>

#include <climits>

namespace {

// Large reads keep the per-event cost low on fast links; a few per wake-up keep
// the user interface responsive.
constexpr qint64 kReceiveBufferSize = 256 * 1024;
constexpr int kReadsPerWakeUp = 8;

QString socketErrorText(int code) {
    return QStringLiteral("%1 (Error #%2)").arg(WSocketErrorDesc(code)).arg(code);
}

// A TLS failure says itself what failed and for which host.
QString socketErrorText(const TWSocket& socket, int code) {
    return code == WSAETLSFAILED ? socket.LastErrorText() : socketErrorText(code);
}

} // namespace

THttpCli::THttpCli(QObject* parent)
    : QObject(parent), socket_(new TWSocket(this)), timeoutTimer_(new QTimer(this)) {
    timeoutTimer_->setSingleShot(true);
    connect(timeoutTimer_, &QTimer::timeout, this, [this] { TimeoutExpired(); });
    socket_->OnDnsLookupDone = [this](TWSocket&, int error) { SocketDnsLookupDone(error); };
    socket_->OnSessionConnected = [this](TWSocket&, int error) { SocketSessionConnected(error); };
    socket_->OnDataAvailable = [this](TWSocket&, int) { SocketDataAvailable(); };
    socket_->OnDataSent = [this](TWSocket&, int) { lastActivity_.start(); };
    socket_->OnSessionClosed = [this](TWSocket&, int error) { SocketSessionClosed(error); };
}

THttpCli::~THttpCli() {
    // The socket goes with us; none of its events may reach a half-destroyed client.
    socket_->OnDnsLookupDone = nullptr;
    socket_->OnSessionConnected = nullptr;
    socket_->OnDataAvailable = nullptr;
    socket_->OnDataSent = nullptr;
    socket_->OnSessionClosed = nullptr;
}

template <typename Handler, typename... Args>
bool THttpCli::Fire(const Handler& handler, Args... args) {
    return CallEvent(this, handler, args...);
}

void THttpCli::Trace(const QString& text) {
    Fire(OnTrace, text);
}

void THttpCli::Get() {
    DoRequestSync(httpGET);
}

void THttpCli::Head() {
    DoRequestSync(httpHEAD);
}

void THttpCli::Post() {
    DoRequestSync(httpPOST);
}

void THttpCli::GetASync() {
    DoRequestAsync(httpGET);
}

void THttpCli::HeadASync() {
    DoRequestAsync(httpHEAD);
}

void THttpCli::PostASync() {
    DoRequestAsync(httpPOST);
}

void THttpCli::DoRequestSync(THttpRequest request) {
    QPointer<THttpCli> self(this);
    DoRequestAsync(request);
    if (!self) // a handler run by the start destroyed the client
        throw EHttpException(QStringLiteral("Connection aborted on request"), 404);
    const int limitMs =
        CallTimeout > 0 ? int(qMin<qint64>(qint64(CallTimeout) * 1000, INT_MAX)) : -1;
    const auto result = platform::waitUntil(
        this, [this] { return state_ == httpReady; }, limitMs);
    if (result == platform::WaitResult::Destroyed)
        throw EHttpException(QStringLiteral("Connection aborted on request"), 404);
    if (result == platform::WaitResult::TimedOut) {
        Stop(httperrTimeout, QStringLiteral("Request timed out: no complete answer within %1 "
                                            "seconds")
                                 .arg(CallTimeout));
        if (!self)
            throw EHttpException(QStringLiteral("Connection aborted on request"), 404);
        throw EHttpException(reasonPhrase_, 404);
    }
    if (result == platform::WaitResult::Ending) {
        Abort();
        throw EHttpException(QStringLiteral("Request abandoned: the program is ending"),
                             httperrAborted);
    }
    if (statusCode_ >= 400 || requestError_ == httperrNoDocument)
        throw EHttpException(reasonPhrase_, statusCode_);
}

void THttpCli::DoRequestAsync(THttpRequest request) {
    if (state_ != httpReady)
        throw EHttpException(QStringLiteral("HTTP component is busy"), httperrBusy);
    if (request == httpPOST && !SendSource)
        throw EHttpException(QStringLiteral("HTTP component has nothing to post"), httperrNoData);
    requestType_ = request;
    redirectCount_ = 0;
    credentialsFromUrl_ = false;
    target_ = ParseHttpUrl(URL, haveTarget_ ? target_ : HttpUrl());
    haveTarget_ = true;
    // The range and the credentials belong to this call: every hop of it
    // carries them, and no later call does.
    callRangeBegin_ = ContentRangeBegin;
    callRangeEnd_ = ContentRangeEnd;
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
    callUser_ = Username;
    callPassword_ = Password;
    if (target_.hasUserInfo) {
        callUser_ = target_.user;
        callPassword_ = target_.password;
        credentialsFromUrl_ = true;
    }
    StartRequest();
}

void THttpCli::StartRequest() {
    ++requestSerial_;
    requestEnded_ = false;
    receivedHeader_.clear();
    wwwAuthInfos_.clear();
    receivedRangeBegin_.clear();
    receivedRangeEnd_.clear();
    currentLine_.clear();
    reasonPhrase_.clear();
    contentType_.clear();
    parser_.start(requestType_ == httpHEAD);
    contentLength_ = -1; // each response says its own length, each redirect hop's too
    receivedCount_ = 0;
    sentCount_ = 0;
    statusCode_ = 0;
    headerLineCount_ = 0;
    bodyChunkCount_ = 0;
    locationPending_ = false;
    requestError_ = httperrNoError;
    leftForElsewhere_ = false;
    documentName_ = DocumentNameOf(target_.path);
    if (socket_->State() != wsClosed) {
        // A socket left open by a caller's Abort while idle: closing it is not this request's end.
        auto closed = std::move(socket_->OnSessionClosed);
        socket_->Close();
        socket_->OnSessionClosed = std::move(closed);
    }

    QPointer<THttpCli> self(this);
    const quint64 serial = requestSerial_;
    ChangeState(httpStarting);
    if (!self || requestSerial_ != serial || requestEnded_)
        return;
    RestartTimeout();
    if (!IsHttpScheme(target_.scheme)) {
        Fail(httperrConnection, QStringLiteral("Protocol not supported: %1").arg(target_.scheme));
        return;
    }
    if (target_.scheme == QLatin1String("https") && !Proxy.isEmpty()) {
        Fail(httperrConnection, QStringLiteral("https through a proxy is not supported"));
        return;
    }
    ChangeState(httpDnsLookup);
    if (!self || requestSerial_ != serial || state_ != httpDnsLookup)
        return;
    try {
        socket_->DnsLookup(Proxy.isEmpty() ? target_.host : Proxy);
    } catch (const ESocketException&) {
        Fail(httperrConnection, QStringLiteral("can't resolve hostname to IP address"));
    }
}

void THttpCli::Reconnect() {
    StartRequest();
}

void THttpCli::ChangeState(THttpState state) {
    state_ = state;
    QPointer<THttpCli> self(this);
    if (!Fire(OnStateChange))
        return;
    if (state == httpReady && state_ == httpReady) {
        const THttpRequest request = requestType_;
        const int error = requestError_;
        QMetaObject::invokeMethod(
            this, [this, request, error] { Fire(OnRequestDone, request, error); },
            Qt::QueuedConnection);
    }
}

void THttpCli::SocketDnsLookupDone(int error) {
    if (state_ != httpDnsLookup || requestEnded_)
        return;
    if (error) {
        Fail(httperrConnection, QStringLiteral("can't resolve hostname to IP address"));
        return;
    }
    QPointer<THttpCli> self(this);
    ChangeState(httpDnsLookupDone);
    if (!self || state_ != httpDnsLookupDone)
        return;
    lastActivity_.start();
    try {
        socket_->SetAddr(socket_->DnsResult());
        socket_->SetPort(Proxy.isEmpty() ? target_.port : ProxyPort);
        socket_->SetProto(QStringLiteral("tcp"));
        // SNI and the certificate check use the host the Host line names.
        if (target_.scheme == QLatin1String("https"))
            socket_->SetTls(TlsOptions{target_.host, CaFile});
        else
            socket_->ClearTls();
        socket_->Connect();
    } catch (const ESocketException& e) {
        Fail(httperrConnection, QStringLiteral("can't connect: ") +
                                    (e.ErrorCode ? socketErrorText(e.ErrorCode) : e.Message()));
    }
}

void THttpCli::SocketSessionConnected(int error) {
    if (state_ != httpDnsLookupDone || requestEnded_)
        return;
    if (error) {
        Fail(httperrConnection, socketErrorText(*socket_, error));
        return;
    }
    lastActivity_.start();
    QPointer<THttpCli> self(this);
    ChangeState(httpConnected);
    if (!self || state_ != httpConnected)
        return;
    if (!Fire(OnSessionConnected) || state_ != httpConnected)
        return;
    ChangeState(httpWaitingHeader);
    if (!self || state_ != httpWaitingHeader)
        return;
    SendRequest();
}

void THttpCli::SendRequest() {
    static const char* const methods[] = {"GET", "POST", "HEAD"};
    HttpRequestHeaderFields fields;
    fields.method = QString::fromLatin1(methods[requestType_]);
    fields.viaProxy = !Proxy.isEmpty();
    // An IPv6 literal keeps its brackets wherever it names a host.
    const QString host =
        target_.host.contains(QLatin1Char(':')) ? '[' + target_.host + ']' : target_.host;
    // Through a proxy the request names the whole URL of this hop.
    fields.target =
        fields.viaProxy
            ? EncodeRequestPath(
                  QStringLiteral("http://") + host +
                  (target_.port == QLatin1String("80") ? QString() : ':' + target_.port) +
                  target_.path)
            : EncodeRequestPath(target_.path);
    fields.sender = Sender;
    fields.reference = Reference;
    fields.contentTypePost = ContentTypePost;
    fields.agent = Agent;
    fields.host = host;
    fields.noCache = NoCache;
    if (requestType_ == httpPOST)
        fields.postLength = SendSource->size() - SendSource->pos();
    fields.modifiedSince = ModifiedSince;
    fields.username = callUser_;
    fields.password = callPassword_;
    fields.proxyUsername = ProxyUsername;
    fields.proxyPassword = ProxyPassword;
    fields.cookie = Cookie;
    fields.rangeBegin = callRangeBegin_;
    fields.rangeEnd = callRangeEnd_;

    const quint64 serial = requestSerial_;
    auto stillSending = [&] { return requestSerial_ == serial && state_ == httpWaitingHeader; };
    if (!Fire(OnRequestHeaderBegin) || !stillSending())
        return;
    QByteArray buffer;
    for (const QByteArray& line : BuildRequestHeaderLines(fields)) {
        buffer += line + "\r\n";
        if (!Fire(OnCommand, QString::fromLatin1(line)) || !stillSending())
            return;
    }
    if (!Fire(OnRequestHeaderEnd) || !stillSending())
        return;
    buffer += "\r\n";
    if (!Fire(OnCommand, QString()) || !stillSending())
        return;
    try {
        socket_->SendStr(buffer);
        if (requestType_ == httpPOST) {
            if (!Fire(OnSendBegin) || !stillSending())
                return;
            QByteArray piece;
            while (!(piece = SendSource->read(64 * 1024)).isEmpty()) {
                socket_->SendStr(piece);
                sentCount_ += piece.size();
                if (!Fire(OnSendData, piece.constData(), qint64(piece.size())) || !stillSending())
                    return;
            }
            Fire(OnSendEnd);
        }
    } catch (const ESocketException& e) {
        Fail(httperrConnection, e.ErrorCode ? socketErrorText(e.ErrorCode) : e.Message());
    }
}

void THttpCli::SocketDataAvailable() {
    if (!receiveBuffer_)
        receiveBuffer_.reset(new char[kReceiveBufferSize]);
    char* buffer = receiveBuffer_.get();
    for (int reads = 0; reads < kReadsPerWakeUp; ++reads) {
        const qint64 n = socket_->Receive(buffer, kReceiveBufferSize);
        if (n <= 0)
            return;
        lastActivity_.start();
        if (state_ != httpWaitingHeader && state_ != httpWaitingBody)
            continue; // nothing expects data now: drop it
        if (!ProcessData(buffer, n))
            return;
    }
}

bool THttpCli::ProcessData(const char* data, qint64 len) {
    QByteArrayView input(data, len);
    const quint64 serial = requestSerial_;
    for (;;) {
        if (requestSerial_ != serial || requestEnded_ ||
            (state_ != httpWaitingHeader && state_ != httpWaitingBody))
            return false;
        switch (parser_.feed(input)) {
        case HttpResponseParser::Result::NeedMore:
            return true;
        case HttpResponseParser::Result::HeaderLine:
            if (!ProcessHeaderLine(parser_.line()))
                return false;
            break;
        case HttpResponseParser::Result::HeaderEnd:
            if (!ProcessHeaderEnd())
                return false;
            if (parser_.completed()) {
                socket_->Close(); // no body follows: the response is complete
                return false;
            }
            break;
        case HttpResponseParser::Result::Body: {
            const QByteArrayView body = parser_.body();
            if (!DeliverBody(body.data(), body.size()))
                return false;
            break;
        }
        case HttpResponseParser::Result::Complete:
            if (!input.isEmpty() &&
                (!Fire(OnTrace,
                       QStringLiteral("The server sent more than its Content-Length; "
                                      "the bytes beyond it are not part of the document")) ||
                 requestSerial_ != serial || requestEnded_))
                return false;
            socket_->Close(); // reported back through SocketSessionClosed
            return false;
        case HttpResponseParser::Result::Failed:
            Fail(parser_.errorText() == QLatin1String("HTTP line too long") ? httperrOverflow
                                                                            : httperrProtocol,
                 parser_.errorText());
            return false;
        }
    }
}

bool THttpCli::ProcessHeaderLine(const QString& line) {
    currentLine_ = line;
    const quint64 serial = requestSerial_;
    auto stillReading = [&] {
        return requestSerial_ == serial && state_ == httpWaitingHeader && !requestEnded_;
    };
    if (headerLineCount_++ == 0 && (!Fire(OnHeaderBegin) || !stillReading()))
        return false;
    receivedHeader_ << line;
    ReadHeaderField(line);
    if (!parser_.note().isEmpty() && (!Fire(OnTrace, parser_.note()) || !stillReading()))
        return false;
    if (!Fire(OnHeaderData) || !stillReading())
        return false;
    if (statusCode_ >= 400) {
        requestError_ = httperrStatus;
        socket_->Close();
        return false;
    }
    return true;
}

void THttpCli::ReadHeaderField(const QString&) {
    statusCode_ = parser_.statusCode();
    reasonPhrase_ = parser_.reasonPhrase();
    contentLength_ = parser_.contentLength();
    contentType_ = parser_.contentType();
    receivedRangeBegin_ = parser_.rangeBegin();
    receivedRangeEnd_ = parser_.rangeEnd();
    wwwAuthInfos_ = parser_.wwwAuthenticate();
    if (parser_.hasLocation() && (!locationPending_ || Location != parser_.location())) {
        Location = parser_.location();
        // An empty Location names nothing to go to.
        locationPending_ = !Location.isEmpty();
        if (locationPending_)
            locationTarget_ = ResolveLocation(Location, target_);
    }
}

bool THttpCli::ProcessHeaderEnd() {
    const quint64 serial = requestSerial_;
    if (parser_.headerless()) {
        contentType_ = parser_.contentType();
        if (headerLineCount_++ == 0 &&
            (!Fire(OnHeaderBegin) || requestSerial_ != serial || requestEnded_))
            return false;
    }
    if (locationPending_) {
        if (!IsHttpScheme(locationTarget_.scheme)) {
            // Another protocol is the caller's to follow; this request ends here.
            locationPending_ = false;
            Trace(QStringLiteral("Location is not an http URL, not followed: %1").arg(Location));
            if (Fire(OnHeaderEnd) && requestSerial_ == serial && !requestEnded_) {
                leftForElsewhere_ = true;
                socket_->Close();
            }
            return false;
        }
        if (redirectCount_ >= MaxRedirects) {
            locationPending_ = false;
            Fail(httperrTooManyRedirects,
                 QStringLiteral("Too many redirections: more than %1, the last to %2")
                     .arg(MaxRedirects)
                     .arg(Location));
            return false;
        }
        ++redirectCount_;
        if (target_.scheme == QLatin1String("https") &&
            locationTarget_.scheme == QLatin1String("http"))
            Trace(QStringLiteral("Redirected from https to http: %1 comes without encryption")
                      .arg(Location));
        if (!Fire(OnHeaderEnd) || requestSerial_ != serial || requestEnded_ || !locationPending_)
            return false;
        headerLineCount_ = 0;
        bodyChunkCount_ = 0;
        receivedCount_ = 0;
        socket_->Close(); // the redirect continues when the close is reported
        return false;
    }
    if (documentName_.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) &&
        contentType_ == QLatin1String("text/html")) {
        documentName_.chop(3);
        documentName_ += QLatin1String("htm");
    }
    QPointer<THttpCli> self(this);
    ChangeState(httpWaitingBody);
    if (!self || state_ != httpWaitingBody || requestSerial_ != serial)
        return false;
    return Fire(OnHeaderEnd) && state_ == httpWaitingBody && requestSerial_ == serial;
}

bool THttpCli::DeliverBody(const char* data, qint64 len) {
    const quint64 serial = requestSerial_;
    if (bodyChunkCount_ == 0 && (!Fire(OnDocBegin) || requestSerial_ != serial || requestEnded_))
        return false;
    ++bodyChunkCount_;
    receivedCount_ += len;
    if (!Fire(OnDocData, data, len) || requestSerial_ != serial)
        return false;
    // Written even when the handler aborted: bytes received are never dropped.
    if (ReceiveStream && ReceiveStream->write(data, len) != len) {
        Fail(httperrStreamWrite,
             QStringLiteral("Can't write the received data: %1").arg(ReceiveStream->errorString()));
        return false;
    }
    return state_ == httpWaitingBody && !requestEnded_;
}

void THttpCli::SocketSessionClosed(int error) {
    if (requestEnded_)
        return;
    if (locationPending_ && state_ != httpAborting) {
        locationPending_ = false;
        if (locationTarget_.host != target_.host || locationTarget_.port != target_.port ||
            locationTarget_.scheme != target_.scheme) {
            // Credentials are for the host they were given for, never for where it sends us,
            // and never in the clear after an https to http redirect.
            callUser_.clear();
            callPassword_.clear();
            credentialsFromUrl_ = false;
        }
        target_ = locationTarget_;
        const quint64 serial = requestSerial_;
        if (!Fire(OnLocationChange) || requestSerial_ != serial || requestEnded_ ||
            state_ == httpAborting)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (requestSerial_ == serial && !requestEnded_ && state_ != httpAborting)
                    Reconnect();
            },
            Qt::QueuedConnection);
        return;
    }
    if (requestError_ == httperrNoError && !leftForElsewhere_ &&
        (state_ == httpWaitingHeader || state_ == httpWaitingBody)) {
        // Only an ending that completes the response is a success.
        if (parser_.finish(error != 0) == HttpResponseParser::Result::Failed) {
            statusCode_ = 404;
            reasonPhrase_ = parser_.errorText();
            if (error)
                reasonPhrase_ += QStringLiteral(": ") + socketErrorText(*socket_, error);
            requestError_ = httperrConnection;
        } else if (requestType_ == httpGET && !parser_.headerless() &&
                   (statusCode_ == 204 || statusCode_ == 304 ||
                    (statusCode_ >= 300 && statusCode_ < 400 && Location.isEmpty()))) {
            // An answer without a document is not a download, whatever its code.
            reasonPhrase_ = QStringLiteral("No document: the server answered %1 %2")
                                .arg(statusCode_)
                                .arg(reasonPhrase_);
            requestError_ = httperrNoDocument;
        }
    }
    EndRequest();
}

void THttpCli::Fail(THttpRequestError error, const QString& reason) {
    statusCode_ = 404;
    reasonPhrase_ = reason;
    requestError_ = error;
    locationPending_ = false;
    if (socket_->State() != wsClosed) {
        QPointer<THttpCli> self(this);
        socket_->Close(); // reported back through SocketSessionClosed
        if (!self)
            return;
    }
    EndRequest();
}

void THttpCli::EndRequest() {
    if (requestEnded_)
        return;
    requestEnded_ = true;
    timeoutTimer_->stop();
    if (bodyChunkCount_ > 0 && !Fire(OnDocEnd))
        return;
    const quint64 serial = requestSerial_;
    QMetaObject::invokeMethod(
        this,
        [this, serial] {
            if (requestSerial_ == serial && state_ != httpReady)
                SetReady();
        },
        Qt::QueuedConnection);
}

void THttpCli::SetReady() {
    ChangeState(httpReady);
}

void THttpCli::Abort() {
    Stop(httperrAborted, QStringLiteral("Connection aborted on request"));
}

void THttpCli::Stop(THttpRequestError error, const QString& reason) {
    if (state_ == httpReady) {
        if (socket_->State() != wsClosed)
            socket_->Close();
        return;
    }
    if (requestEnded_)
        return;
    const bool lookup = state_ == httpDnsLookup;
    const quint64 serial = requestSerial_;
    QPointer<THttpCli> self(this);
    ChangeState(httpAborting);
    if (!self || requestSerial_ != serial || requestEnded_)
        return;
    if (lookup)
        socket_->CancelLookup();
    statusCode_ = 404;
    reasonPhrase_ = reason;
    requestError_ = error;
    locationPending_ = false;
    if (socket_->State() != wsClosed) {
        socket_->Close();
        if (!self)
            return;
    }
    EndRequest();
}

void THttpCli::RestartTimeout() {
    lastActivity_.start();
    if (Timeout > 0)
        timeoutTimer_->start(Timeout * 1000);
    else
        timeoutTimer_->stop();
}

void THttpCli::TimeoutExpired() {
    if (Timeout <= 0 || state_ == httpReady || requestEnded_)
        return;
    // Activity only stamps the time; the timer is re-armed for what is left.
    const qint64 quiet = lastActivity_.elapsed();
    const qint64 limit = qint64(Timeout) * 1000;
    if (quiet < limit) {
        timeoutTimer_->start(int(limit - quiet));
        return;
    }
    if (socket_->TlsHandshaking()) {
        Stop(httperrTimeout, QStringLiteral("TLS handshake with %1 timed out: no answer for %2 "
                                            "seconds")
                                 .arg(target_.host)
                                 .arg(Timeout));
        return;
    }
    Stop(httperrTimeout,
         QStringLiteral("Request timed out: nothing received from the server for %1 seconds")
             .arg(Timeout));
}
