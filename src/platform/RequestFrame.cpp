#include "platform/RequestFrame.h"

#include <QtEndian>

namespace platform {

namespace {

template <typename T> void put(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    out.append(bytes, sizeof(T));
}

template <typename T> T get(const char* at) {
    return qFromLittleEndian<T>(at);
}

} // namespace

QByteArray encodeRequest(const Request& request) {
    QByteArray out;
    put<quint32>(out, request.message);
    if (request.message == WM_COPYDATA) {
        put<quint64>(out, request.copyData.dwData);
        put<quint32>(out, quint32(request.copyData.lpData.size()));
        out.append(request.copyData.lpData);
    }
    return out;
}

QByteArray encodeReply(qint64 result) {
    QByteArray out;
    put<qint64>(out, result);
    return out;
}

std::optional<qint64> decodeReply(QByteArrayView bytes) {
    if (bytes.size() != kReplySize)
        return std::nullopt;
    return get<qint64>(bytes.data());
}

bool RequestReader::append(QByteArrayView bytes) {
    if (bytes.size() > room())
        return false;
    buffer_.append(bytes.data(), bytes.size());
    return true;
}

RequestReader::Status RequestReader::next(Request& out) {
    if (malformed_)
        return Malformed;
    const qsizetype have = buffer_.size();
    if (have < 4)
        return NeedMore;
    const char* p = buffer_.constData();
    const quint32 message = get<quint32>(p);
    qsizetype frameSize = 4;
    if (message == WM_COPYDATA) {
        if (have < 16)
            return NeedMore;
        const quint32 cbData = get<quint32>(p + 12);
        if (cbData > quint32(kMaxCopyData)) {
            malformed_ = true;
            return Malformed;
        }
        frameSize = 16 + qsizetype(cbData);
        if (have < frameSize)
            return NeedMore;
        out.copyData.dwData = get<quint64>(p + 4);
        out.copyData.lpData = buffer_.mid(16, cbData);
    } else if (message == WM_CONTENTPROBE) {
        out.copyData = CopyData();
    } else {
        malformed_ = true;
        return Malformed;
    }
    out.message = message;
    buffer_.remove(0, frameSize);
    return Complete;
}

} // namespace platform
