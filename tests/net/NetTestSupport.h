#pragma once

#include "ScriptedServer.h"
#include "net/HttpCli.h"

#include <QList>
#include <QString>

// A response: the status line, the header fields and the body.
inline QByteArray response(const QByteArray& statusLine, const QList<QByteArray>& fields,
                           const QByteArray& body = {}) {
    QByteArray out = statusLine + "\r\n";
    for (const QByteArray& field : fields)
        out += field + "\r\n";
    return out + "\r\n" + body;
}

// Answers every connection the same way, after reading its request header.
inline qbtest::ScriptedServer::Script answerAll(const QByteArray& reply) {
    return [reply](qbtest::ScriptedConnection& c) {
        c.readRequestHeader();
        c.send(reply);
    };
}

// Runs a blocking call of the client; its failure as "code reason", "" on success.
inline QString httpOutcome(THttpCli& http, void (THttpCli::*call)()) {
    try {
        (http.*call)();
        return {};
    } catch (const EHttpException& e) {
        return QString("%1 %2").arg(e.ErrorCode).arg(e.Message());
    }
}

// The message of the E that `call` raises, or "no exception".
template <class E, class Call> QString raised(Call&& call) {
    try {
        call();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("no exception");
}
