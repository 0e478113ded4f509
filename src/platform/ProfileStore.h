#pragma once

#include <QString>
#include <functional>
#include <stdexcept>

#include "platform/ProfileDocument.h"

namespace platform {

// A write the system refused (read-only file or folder, missing folder, full disk): the
// file on disk is exactly as it was before the write.
class ProfileWriteError : public std::runtime_error {
public:
    explicit ProfileWriteError(const QString& path);
    // The full path of the file, as resolved on disk.
    QString path;
    // "Unable to write to <path>".
    QString message() const;
};

namespace profile {

// Files larger than this are not parsed (they read as empty and refuse writes, so that
// a stray huge file is never replaced by a short one).
inline constexpr qint64 kMaxFileSize = qint64(256) * 1024 * 1024;

// The file `path` names, matched without regard to letter case within its folder: the
// exact name when it exists, else an existing entry whose name differs only in case,
// else `path` itself (a first write then creates the file under that very name).
QString resolvePath(const QString& path);

// Runs `reader` on the file's current content: empty when the file is missing or cannot
// be read. The parsed file is cached and re-validated on every call by device, inode,
// size and modification time (nanoseconds), so any change made since is seen at once.
void read(const QString& path, const std::function<void(const Document&)>& reader);

// Runs `edit` on the file's current content and, when it reports a change, replaces the
// file atomically: a temporary file in the same folder, flushed to disk, renamed over the
// old one. A crash, a kill or a full disk leaves either the old file or the new one,
// never a mix. An edit that changes nothing writes nothing. Throws ProfileWriteError
// when the write is refused; a file or folder without any write permission bit counts as
// read-only even for root, like a read-only attribute.
void modify(const QString& path, const std::function<bool(Document&)>& edit);

// Switches the parse cache off and on; for measuring what the cache saves.
void setCacheEnabled(bool enabled);
// Switches the flush to disk before each rename off and on; for measuring what it costs.
void setSyncEnabled(bool enabled);

} // namespace profile
} // namespace platform
