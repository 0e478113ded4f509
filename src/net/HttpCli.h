#pragma once

#include "HttpResponseParser.h"
#include "HttpUrl.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

class QIODevice;
class QTimer;
class TWSocket;

// A failed request of a blocking call: Message is the reason phrase, ErrorCode
// the status code (400 and more from the server, 404 for the client's own
// failures, 1 and 2 for a refused start).
class EHttpException : public std::runtime_error {
public:
    EHttpException(const QString& message, int errorCode)
        : std::runtime_error(message.toStdString()), ErrorCode(errorCode) {}
    QString Message() const { return QString::fromStdString(what()); }
    int ErrorCode;
};

enum THttpState : quint8 {
    httpReady = 0,
    httpStarting = 1,
    httpConnected = 2,
    httpDnsLookup = 3,
    httpDnsLookupDone = 4,
    httpWaitingHeader = 5,
    httpWaitingBody = 6,
    httpAborting = 7,
};

enum THttpRequest { httpGET, httpPOST, httpHEAD };

// Why a request ended, as OnRequestDone and RequestError() report it.
enum THttpRequestError {
    httperrNoError = 0,
    httperrBusy = 1,
    httperrNoData = 2,
    httperrAborted = 3,
    httperrOverflow = 4, // a header line longer than the line buffer
    httperrTimeout = 5,  // Timeout seconds without any sign of the server
    httperrTooManyRedirects = 6,
    httperrStreamWrite = 7, // ReceiveStream refused a body chunk
    httperrConnection = 8,  // lookup, connect or connection failure
    httperrStatus = 9,      // the server answered 400 or more
    httperrProtocol = 10,   // a response that breaks HTTP (status line, framing, size bounds)
    httperrNoDocument = 11, // a GET answered 204, 304 or 3xx without a Location
};

// Event-driven HTTP/1.0 client on one TWSocket, on the user-interface thread.
// One request at a time (GET, HEAD, POST). Redirects are followed inside the
// same request. The body is handed out in chunks to OnDocData and written to
// ReceiveStream when one is set.
//
// Get, Head and Post are blocking: they sleep in the event loop until the
// request has ended, so every handler of the program (Abort of this client
// included) runs inside them. They raise EHttpException when the request
// ends with a status of 400 or more; the client's own failures (lookup,
// connect, abort, timeout...) carry 404 and a reason phrase saying what happened.
//
// Events are std::function members with the client as first argument. A
// handler may abort the request or destroy the client; the client checks that
// it still exists after each event. Settable properties are public members;
// run-time values are read through functions of the same names.
class THttpCli : public QObject {
    Q_OBJECT
public:
    explicit THttpCli(QObject* parent = nullptr);
    ~THttpCli() override;
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    QString URL;
    QString Proxy;
    QString ProxyPort = QStringLiteral("80");
    QString Sender;
    QString Agent;
    QString Reference;
    // Basic authentication of the next requests. User information in URL
    // overrides them for that request only. Neither is sent to another host
    // a redirect leads to.
    QString Username;
    QString Password;
    QString ProxyUsername;
    QString ProxyPassword;
    bool NoCache = false;
    QDateTime ModifiedSince; // sent when valid
    QString Cookie;
    QString ContentTypePost = QStringLiteral("application/x-www-form-urlencoded");
    // Byte range of the next request (each redirect hop of it), in decimal;
    // cleared when the request starts. Only the
    // caller sets them: a received Content-Range goes to ReceivedRangeBegin/End,
    // so that it can never ride along on the next request.
    QString ContentRangeBegin;
    QString ContentRangeEnd;
    // The last Location value received.
    QString Location;
    // Kept for callers' configuration; waits always sleep on the event loop.
    bool MultiThreaded = false;
    // Seconds without any sign of the server (lookup result, connect, data)
    // after which a request ends with "Timeout..."; 0 waits for ever.
    int Timeout = 0;
    // Seconds a whole blocking call (Get, Head, Post) may last, however lively
    // the server is, before it ends with "Request timed out..."; 0 sets no bound.
    int CallTimeout = 0;
    // Owned by the caller: each body chunk is written to it when set.
    QIODevice* ReceiveStream = nullptr;
    // Owned by the caller: the data of a POST.
    QIODevice* SendSource = nullptr;
    // https: a PEM file of certificate authorities trusted instead of the system's
    // store (for tests and private setups); empty = the system store.
    QString CaFile;

    THttpState State() const { return state_; }
    int StatusCode() const { return statusCode_; }
    QString ReasonPhrase() const { return reasonPhrase_; }
    // From the last Content-Length header; -1 when unknown (absent or not a number).
    qint64 ContentLength() const { return contentLength_; }
    QString ContentType() const { return contentType_; }
    QString DocumentName() const { return documentName_; }
    // Every non-empty header line received for the current request, status line first.
    const QStringList& ReceivedHeader() const { return receivedHeader_; }
    // The header line being processed (OnHeaderData reads it here).
    QString CurrentLine() const { return currentLine_; }
    qint64 ReceivedCount() const { return receivedCount_; }
    qint64 SentCount() const { return sentCount_; }
    QStringList WWWAuthInfos() const { return wwwAuthInfos_; }
    // The range of the last Content-Range header received ("" when none).
    QString ReceivedRangeBegin() const { return receivedRangeBegin_; }
    QString ReceivedRangeEnd() const { return receivedRangeEnd_; }
    THttpRequestError RequestError() const { return requestError_; }
    TWSocket& CtrlSocket() { return *socket_; }

    void Get();
    void Head();
    void Post();
    void GetASync();
    void HeadASync();
    void PostASync();
    void Abort();

    using Event = std::function<void(THttpCli&)>;
    using DataEvent = std::function<void(THttpCli&, const char* buffer, qint64 len)>;
    Event OnStateChange;
    Event OnSessionConnected;
    Event OnRequestHeaderBegin;
    std::function<void(THttpCli&, const QString& line)> OnCommand;
    Event OnRequestHeaderEnd;
    Event OnHeaderBegin;
    Event OnHeaderData;
    Event OnHeaderEnd;
    Event OnDocBegin;
    DataEvent OnDocData;
    Event OnDocEnd;
    Event OnSendBegin;
    DataEvent OnSendData;
    Event OnSendEnd;
    Event OnLocationChange;
    std::function<void(THttpCli&, THttpRequest request, int error)> OnRequestDone;
    // Notes about the request that are not errors (a header that could not be read...).
    std::function<void(THttpCli&, const QString& text)> OnTrace;

    // Redirects one blocking call follows; the next one fails.
    static constexpr int MaxRedirects = 20;
    // Longest header line, line end included.
    static constexpr int LineBufferSize = 8192;

private:
    void DoRequestSync(THttpRequest request);
    void DoRequestAsync(THttpRequest request);
    void StartRequest();
    void Reconnect();
    void ChangeState(THttpState state);
    void SocketDnsLookupDone(int error);
    void SocketSessionConnected(int error);
    void SocketDataAvailable();
    void SocketSessionClosed(int error);
    void SendRequest();
    // Each returns false when the request ended or the client is gone.
    bool ProcessData(const char* data, qint64 len);
    bool ProcessHeaderLine(const QString& line);
    bool ProcessHeaderEnd();
    bool DeliverBody(const char* data, qint64 len);
    void ReadHeaderField(const QString& line);
    // Ends the request with the client's own failure.
    void Fail(THttpRequestError error, const QString& reason);
    void EndRequest();
    void SetReady();
    // Ends a running request the way Abort does, with this error and reason.
    void Stop(THttpRequestError error, const QString& reason);
    void RestartTimeout();
    void TimeoutExpired();
    void Trace(const QString& text);
    template <typename Handler, typename... Args> bool Fire(const Handler& handler, Args... args);

    TWSocket* socket_;
    QTimer* timeoutTimer_;
    QElapsedTimer lastActivity_;
    std::unique_ptr<char[]> receiveBuffer_;
    HttpUrl target_;
    bool haveTarget_ = false;
    THttpState state_ = httpReady;
    THttpRequest requestType_ = httpGET;
    THttpRequestError requestError_ = httperrNoError;
    int statusCode_ = 0;
    QString reasonPhrase_;
    qint64 contentLength_ = -1;
    QString contentType_;
    QString documentName_;
    QStringList receivedHeader_;
    QString currentLine_;
    QStringList wwwAuthInfos_;
    QString receivedRangeBegin_;
    QString receivedRangeEnd_;
    qint64 receivedCount_ = 0;
    qint64 sentCount_ = 0;
    int headerLineCount_ = 0;
    int bodyChunkCount_ = 0;
    HttpResponseParser parser_;
    // The range and credentials of the running call, sent on each of its hops.
    QString callRangeBegin_;
    QString callRangeEnd_;
    QString callUser_;
    QString callPassword_;
    // The socket was closed because the response points to another protocol.
    bool leftForElsewhere_ = false;
    bool locationPending_ = false;
    HttpUrl locationTarget_;
    int redirectCount_ = 0;
    bool credentialsFromUrl_ = false;
    bool requestEnded_ = false;
    // Counts requests, so that posted work of an ended request is dropped.
    quint64 requestSerial_ = 0;
};
