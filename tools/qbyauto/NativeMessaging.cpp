#include "NativeMessaging.h"

#include "handoff/HandOff.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cstring>

namespace nativehost {

namespace {

HostRequest invalid(const QString& code, const QString& error, const QJsonValue& id) {
    HostRequest request;
    request.errorCode = code;
    request.error = error;
    request.id = id;
    return request;
}

bool hasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// A description is one line in the download dialog: line breaks and other control
// characters from a page title become blanks.
QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar(' ');
    }
    return text;
}

QByteArray compact(QJsonObject object, const QJsonValue& id) {
    if (!id.isUndefined())
        object.insert(QStringLiteral("id"), id);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool readExactly(const ReadFunction& read, char* buffer, qint64 size) {
    qint64 got = 0;
    while (got < size) {
        const qint64 n = read(buffer + got, size - got);
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

// Reads and drops `size` bytes in small pieces: an oversized request costs no memory.
bool skip(const ReadFunction& read, quint64 size) {
    char scratch[4096];
    while (size > 0) {
        const qint64 n = read(scratch, qint64(qMin<quint64>(size, sizeof scratch)));
        if (n <= 0)
            return false;
        size -= quint64(n);
    }
    return true;
}

} // namespace

HostRequest parseRequest(QByteArrayView json) {
    const QJsonValue none(QJsonValue::Undefined);
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(json.data(), json.size()), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return invalid("bad-request", "The message is not JSON: " + parseError.errorString(), none);
    if (!document.isObject())
        return invalid("bad-request", "The message is not a JSON object", none);
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue type = object.value(QStringLiteral("type"));
    if (!type.isString())
        return invalid("bad-request", "The message has no type", id);

    HostRequest request;
    request.id = id;
    const QString kind = type.toString();
    if (kind == QLatin1String("status")) {
        request.kind = HostRequest::Status;
        return request;
    }
    if (kind != QLatin1String("probe") && kind != QLatin1String("handoff"))
        return invalid("bad-request", QStringLiteral("Unknown message type \"%1\"").arg(kind), id);

    const QJsonValue url = object.value(QStringLiteral("url"));
    if (!url.isString() || url.toString().isEmpty())
        return invalid("bad-request", "The message has no URL", id);
    request.url = url.toString();
    if (hasControlCharacter(request.url))
        return invalid("bad-request", "The URL holds control characters", id);
    const QString schemeSource = handOffSourceOf(request.url);
    if (schemeSource.isEmpty())
        return invalid("bad-request", "Quillbay takes only http, https and ftp URLs", id);

    if (kind == QLatin1String("probe")) {
        if (request.url.toUtf8().size() > kMaxProbeUrlBytes)
            return invalid("too-long", "The URL is too long for a probe", id);
        request.kind = HostRequest::Probe;
        return request;
    }

    const QJsonValue source = object.value(QStringLiteral("source"));
    if (!source.isString() || source.toString() != schemeSource)
        return invalid("bad-request",
                       QStringLiteral("The source of this URL is \"%1\"").arg(schemeSource), id);
    request.source = schemeSource;
    const QJsonValue description = object.value(QStringLiteral("description"));
    if (!description.isUndefined() && !description.isNull() && !description.isString())
        return invalid("bad-request", "The description is not text", id);
    request.description = oneLine(description.toString());
    request.kind = HostRequest::HandOff;
    return request;
}

QByteArray errorReply(const QString& code, const QString& message, const QJsonValue& id) {
    return compact({{"ok", false}, {"error", code}, {"message", message}}, id);
}

QByteArray replyTo(const HostRequest& request, Program& program) {
    if (request.kind == HostRequest::Invalid)
        return errorReply(request.errorCode, request.error, request.id);

    Outcome outcome;
    if (request.kind == HostRequest::HandOff) {
        const auto record = encodeHandOff(request.source, request.url, request.description);
        if (!record)
            return errorReply("too-long", "The URL is too long for a hand-off", request.id);
        outcome = program.handOff(*record);
    } else if (request.kind == HostRequest::Probe) {
        outcome = program.probe(request.url);
    } else {
        outcome = program.status();
    }

    if (outcome.status == Outcome::NotRunning)
        return errorReply("not-running", "Quillbay is not running or interception is off",
                          request.id);
    if (outcome.status == Outcome::Failed)
        return errorReply("failed", outcome.error, request.id);
    QJsonObject reply{{"ok", true}};
    if (request.kind == HostRequest::Probe)
        reply.insert("verdict", outcome.verdict ? 1 : 0);
    if (request.kind == HostRequest::Status) {
        reply.insert("reachable", outcome.reachable);
        reply.insert("intercepting", outcome.intercepting);
    }
    return compact(reply, request.id);
}

QByteArray frame(QByteArrayView json) {
    const quint32 length = quint32(json.size());
    QByteArray bytes(sizeof length, Qt::Uninitialized);
    std::memcpy(bytes.data(), &length, sizeof length);
    bytes.append(json.data(), json.size());
    return bytes;
}

int serve(const ReadFunction& read, const WriteFunction& write, Program& program) {
    for (;;) {
        char header[4];
        const qint64 first = read(header, 1);
        if (first == 0)
            return 0; // the browser closed the pipe between messages: the normal end
        if (first < 0 || !readExactly(read, header + 1, 3))
            return 1;
        quint32 length;
        std::memcpy(&length, header, sizeof length);

        QByteArray reply;
        if (length > kMaxRequestBytes) {
            if (!skip(read, length))
                return 1;
            reply = errorReply(
                "too-long",
                QStringLiteral("A message holds at most %1 bytes").arg(kMaxRequestBytes));
        } else {
            QByteArray json(qsizetype(length), Qt::Uninitialized);
            if (!readExactly(read, json.data(), length)) {
                // Said so, for anyone still listening; then the input is over.
                write(frame(errorReply("bad-request", "The message broke off")));
                return 1;
            }
            reply = replyTo(parseRequest(json), program);
        }
        if (!write(frame(reply)))
            return 1;
    }
}

} // namespace nativehost
