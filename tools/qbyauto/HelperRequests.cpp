#include "HelperRequests.h"

#include "platform/ProbeBlock.h"
#include "platform/RequestEndpoint.h"

#include <QFile>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace helper {

platform::SendResult sendHandOff(const QByteArray& record, int timeoutMs) {
    platform::Request request;
    request.message = platform::WM_COPYDATA;
    request.copyData.lpData = record;
    return platform::sendRequest(kReceiverTitle, request, timeoutMs);
}

platform::SendResult probe(const QByteArray& url, char* verdict, int timeoutMs) {
    platform::ProbeBlock block;
    if (!block.create()) {
        platform::SendResult failed;
        failed.error = block.errorString();
        return failed;
    }
    block.setField(0, url);
    platform::Request request;
    request.message = platform::WM_CONTENTPROBE;
    const platform::SendResult sent = platform::sendRequest(kReceiverTitle, request, timeoutMs);
    *verdict = block.answer();
    block.unlink();
    return sent;
}

bool receiverListening(const QString& title) {
    const QString path = platform::endpointPath(title);
    if (path.isEmpty() || !QFile::exists(path) ||
        !platform::isPrivateFolder(platform::endpointFolderPath(), ::getuid()))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(),
                size_t(qMin<qsizetype>(native.size(), sizeof address.sun_path - 1)));
    const bool listening =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        platform::peerIsUser(fd, ::getuid());
    ::close(fd);
    return listening;
}

} // namespace helper
