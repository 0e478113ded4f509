// The TLS side of TWSocket: the handshake after the connect, reads and writes through
// the session, and the session's end.
#include "WSocket.h"

#include "EventCall.h"
#include "WSocketErrors.h"

#include <QPointer>
#include <QSocketNotifier>

void TWSocket::SetTls(const TlsOptions& options) {
    if (state_ != wsClosed) {
        RaiseException(QStringLiteral("Cannot change TLS if not closed"));
        return;
    }
    tlsEnabled_ = true;
    tlsOptions_ = options;
}

void TWSocket::ClearTls() {
    if (state_ != wsClosed) {
        RaiseException(QStringLiteral("Cannot change TLS if not closed"));
        return;
    }
    tlsEnabled_ = false;
    tlsOptions_ = {};
}

QString TWSocket::TlsProtocol() const {
    return tls_ && !handshaking_ ? tls_->protocol() : QString();
}

QString TWSocket::TlsCipher() const {
    return tls_ && !handshaking_ ? tls_->cipher() : QString();
}

QString TWSocket::LastErrorText() const {
    if (lastError_ == WSAETLSFAILED && !tlsFailure_.isEmpty())
        return tlsFailure_;
    return WSocketErrorDesc(lastError_);
}

void TWSocket::ContinueHandshake() {
    switch (tls_->handshake()) {
    case TlsLayer::Result::WantRead:
        handshakeWantsWrite_ = false;
        readNotifier_->setEnabled(true);
        UpdateWriteNotifier();
        return;
    case TlsLayer::Result::WantWrite:
        handshakeWantsWrite_ = true;
        readNotifier_->setEnabled(false);
        UpdateWriteNotifier();
        return;
    case TlsLayer::Result::Closed:
        HandshakeFailed(QStringLiteral("TLS handshake with %1 failed: the server closed the "
                                       "connection")
                            .arg(tlsOptions_.host));
        return;
    case TlsLayer::Result::Failed:
        HandshakeFailed(tls_->failure());
        return;
    case TlsLayer::Result::Done:
        break;
    }
    handshaking_ = false;
    handshakeWantsWrite_ = false;
    readNotifier_->setEnabled(true);
    QPointer<TWSocket> self(this);
    const quint64 session = session_;
    ChangeState(wsConnected);
    if (!self || session_ != session)
        return;
    UpdateWriteNotifier();
    if (!CallEvent(this, OnSessionConnected, 0))
        return;
    // Application data may have come with the end of the handshake.
    if (session_ == session && tls_ && tls_->hasPending())
        ScheduleTlsRead();
}

void TWSocket::HandshakeFailed(const QString& reason) {
    // The session never opened: no OnSessionClosed, only the failed connect.
    tlsFailure_ = reason;
    lastError_ = WSAETLSFAILED;
    QPointer<TWSocket> self(this);
    ReleaseSocket();
    ChangeState(wsClosed);
    if (self)
        CallEvent(this, OnSessionConnected, int(WSAETLSFAILED));
}

void TWSocket::ScheduleTlsRead() {
    if (tlsReadPosted_)
        return;
    tlsReadPosted_ = true;
    const quint64 session = session_;
    QMetaObject::invokeMethod(
        this,
        [this, session] {
            tlsReadPosted_ = false;
            // Inside the read handler the outer round looks again once the handler returns.
            if (session_ == session && fd_ >= 0 && tls_ && !handshaking_ && !inReadHandler_)
                ReadReady();
        },
        Qt::QueuedConnection);
}

qint64 TWSocket::ReceiveTls(char* buffer, qint64 len) {
    qint64 got = 0;
    while (got < len && !tlsEnded_) {
        qint64 n = 0;
        const TlsLayer::Result result = tls_->read(buffer + got, len - got, n);
        if (result == TlsLayer::Result::Done) {
            got += n;
            continue;
        }
        if (result == TlsLayer::Result::WantWrite) {
            readWantsWrite_ = true;
            UpdateWriteNotifier();
        } else if (result == TlsLayer::Result::Closed) {
            tlsEnded_ = true;
        } else if (result == TlsLayer::Result::Failed) {
            tlsEnded_ = true;
            tlsEndError_ = tls_->failureCode();
            tlsFailure_ = tls_->failure();
        }
        break;
    }
    if (got > 0) {
        readCount_ += got;
        return got;
    }
    if (tlsEnded_) {
        if (tlsEndError_) {
            readError_ = lastError_ = tlsEndError_;
            return -1;
        }
        peerClosed_ = true;
        return 0;
    }
    lastError_ = WSAEWOULDBLOCK;
    return -1;
}

qint64 TWSocket::WriteTls(const char* data, qint64 len, int& error) {
    qint64 put = 0;
    while (put < len) {
        qint64 n = 0;
        const TlsLayer::Result result = tls_->write(data + put, len - put, n);
        if (result == TlsLayer::Result::Done) {
            put += n;
            continue;
        }
        if (result == TlsLayer::Result::WantRead) {
            writeWantsRead_ = true;
        } else if (result == TlsLayer::Result::Closed) {
            error = WSAESHUTDOWN;
            return -1;
        } else if (result == TlsLayer::Result::Failed) {
            tlsFailure_ = tls_->failure();
            error = tls_->failureCode();
            return -1;
        }
        break;
    }
    return put;
}
