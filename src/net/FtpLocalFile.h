#pragma once

#include <QString>

// How other programs may use the local file while a download writes it. This
// platform's locks are advisory: the exclusive modes take a flock() that other
// downloads of the same file respect; the others take none.
enum TFtpShareMode {
    ftpShareCompat,
    ftpShareExclusive,
    ftpShareDenyWrite,
    ftpShareDenyRead,
    ftpShareDenyNone
};

// The local end of a download. It is opened before the transfer is requested,
// without cutting anything off, and changed only once the server has accepted
// the transfer: a refused request never costs the bytes already on disk.
class FtpLocalFile {
public:
    FtpLocalFile() = default;
    ~FtpLocalFile();
    FtpLocalFile(const FtpLocalFile&) = delete;
    FtpLocalFile& operator=(const FtpLocalFile&) = delete;

    // Opens the file for writing, creating it when absent; false with errorString() set.
    bool open(const QString& path, TFtpShareMode mode);
    bool isOpen() const { return fd_ >= 0; }
    // The file's size as it is on disk.
    qint64 size() const;
    // The transfer was accepted: writing starts at `position`; anything the file
    // holds beyond it is cut off. False with errorString() set.
    bool begin(qint64 position);
    // Writes all bytes at the current position; false with errorString() set.
    bool write(const char* data, qint64 len);
    // Removes the file if this download created it and never began writing it
    // (the request failed), so that a refused download leaves nothing behind.
    void discardIfUnused();
    void close();
    QString errorString() const { return error_; }

private:
    bool fail(const QString& what, int err);

    int fd_ = -1;
    QString path_;
    bool created_ = false;
    bool begun_ = false;
    QString error_;
};
