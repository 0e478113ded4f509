// Fuzz target for what arrives from outside the program on the helper's endpoint: the
// request frames, cut at arbitrary points, and the hand-off record inside them.
#include "handoff/HandOff.h"
#include "platform/RequestFrame.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

void checkHandOff(QByteArrayView record) {
    const HandOffRequest request = parseHandOff(record);
    // The derived name can never leave the folder a download goes to.
    require(!request.fileName.contains('/') && !request.fileName.contains('\\'));
    require(!request.fileName.contains(QChar(0)));
    require(request.fileName != "." && request.fileName != "..");
    require(!request.source.contains('\r') && !request.url.contains('\r'));
    require(request.urlDirectory.size() <= request.url.size());
    // At most 255 counted bytes, never one past the record.
    require(request.source.size() + request.url.size() + request.description.size() <= 255);

    // A record the helper builds from these fields reads back the same.
    if (const auto again = encodeHandOff(request.source, request.url, request.description)) {
        const HandOffRequest back = parseHandOff(*again);
        require(back.source == request.source && back.url == request.url);
        require(request.description.left(back.description.size()) == back.description);
    }
}

void checkFrames(QByteArrayView bytes) {
    platform::RequestReader reader;
    QByteArray understood;
    qsizetype at = 0;
    // Chunks of 1 to 13 bytes: requests must come out the same however they arrive.
    for (qsizetype step = 1; at < bytes.size(); step = step % 13 + 1) {
        const qsizetype take = std::min({step, bytes.size() - at, reader.room()});
        require(take > 0); // a buffer full of an incomplete frame would be a dead end
        require(reader.append(bytes.sliced(at, take)));
        at += take;
        platform::Request request;
        platform::RequestReader::Status status;
        while ((status = reader.next(request)) == platform::RequestReader::Complete) {
            understood += platform::encodeRequest(request);
            if (request.message == platform::WM_COPYDATA)
                checkHandOff(request.copyData.lpData);
        }
        if (status == platform::RequestReader::Malformed)
            break;
    }
    // Every request taken out is exactly the bytes it came from.
    require(bytes.startsWith(understood));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkHandOff(bytes);
    checkFrames(bytes);
    return 0;
}
