#pragma once

#include "net/HttpCli.h"

#include <QString>

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
