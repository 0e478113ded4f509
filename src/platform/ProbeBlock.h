#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace platform {

// The shared block of a content probe: the helper writes the URL to judge, the program writes
// its answer. Per-user POSIX shared memory of exactly kProbeBlockSize bytes:
//
//   offset    0, 1025 bytes: the URL, ended by a NUL or by the end of the field
//   offset 1025, 1025 bytes: second string (read, not used)
//   offset 2050, 1025 bytes: third string (read, not used)
//   offset 3075,    1 byte:  the answer, 1 = binary download, 0 = not binary
//
// Each ProbeBlock holds its own descriptor and mapping for its lifetime, so a probe that
// runs inside another (the program lets messages run while it asks the server) never sees
// or closes the outer probe's mapping.
class ProbeBlock {
public:
    static constexpr int kProbeBlockSize = 3076;
    static constexpr int kFieldSize = 1025;
    static constexpr int kFieldCount = 3;
    static constexpr int kAnswerOffset = 3075;

    enum Result { Opened, Missing, NotMapped };

    ProbeBlock() = default;
    ~ProbeBlock();
    ProbeBlock(const ProbeBlock&) = delete;
    ProbeBlock& operator=(const ProbeBlock&) = delete;

    // "/ISBINARYMAP.<uid>": one block per user. $QUILLBAY_PROBE_BLOCK ("/name") names another
    // one, for sessions (and tests) that run side by side under one user.
    static QByteArray name();

    // The program's side: opens the existing block. Missing when there is none (the
    // operating system's message in errorString()); NotMapped when it exists but cannot be
    // used: not ours, smaller than the layout, or the mapping fails.
    Result openExisting();
    // The helper's side: creates the block (or takes over its own leftover), sized and
    // zeroed, and holds an exclusive lock on it so that helpers probing at the same time
    // take turns. False with errorString() on failure.
    bool create();
    // Removes the name (the helper, once it has the answer); the mapping stays usable.
    void unlink();

    bool isMapped() const { return data_ != nullptr; }
    QString errorString() const { return error_; }

    // Every access first checks that the block still has its whole layout: another process
    // may shrink it while it is mapped, and touching the lost pages would fault.
    // Field 0..2 up to its first NUL, or all kFieldSize bytes when it has none; empty
    // when the block has shrunk.
    QByteArray field(int index) const;
    // Writes a field, cut to kFieldSize bytes and NUL-padded.
    void setField(int index, QByteArrayView bytes);
    char answer() const;
    // Writes the answer byte; false (nothing written) when the block has meanwhile shrunk
    // below its layout, so that a write can never fault.
    bool setAnswer(char value);

private:
    void release();
    bool map();
    bool stillWhole() const;

    int fd_ = -1;
    char* data_ = nullptr;
    QString error_;
};

} // namespace platform
