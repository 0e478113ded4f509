#pragma once

#include <QString>

#include <sys/types.h>

namespace platform {

// Where the tray window receives the browser helper's requests: a Unix-domain socket named
// by the window's title in a folder only this user can enter, so that a helper looking for
// "QBY" finds a receiver exactly while that is the title.

// $XDG_RUNTIME_DIR/quillbay/ ("/tmp/quillbay-<uid>/" without a runtime folder), with a
// trailing "/".
QString endpointFolderPath();

// Whether `path` is a real folder (not a link) owned by `owner` that no one else may enter
// or change; `error` says why not.
bool isPrivateFolder(const QString& path, uid_t owner, QString* error = nullptr);

// The endpoint folder, created with mode 0700 when missing; empty (with `error`) when it
// cannot be made or is not private.
QString ensureEndpointFolder(QString* error = nullptr);

// The socket path for a window title in the endpoint folder, without creating anything;
// empty (with `error`) when the title cannot name a socket there (empty, a "/", too long).
QString endpointPath(const QString& title, QString* error = nullptr);

// Whether the process at the other end of the connected Unix socket `fd` runs as `user`.
bool peerIsUser(int fd, uid_t user);

} // namespace platform
