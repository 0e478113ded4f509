#pragma once

#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

// Walks a directory tree on the user-interface thread and reports, through its events,
// every file that matches one of its masks and every directory it enters or finishes.
// Pending events run once per directory, so the windows stay responsive during a walk.
//
// On this platform a "hidden" entry is one whose name starts with "."; a "system" entry
// is anything that is neither a regular file nor a directory (sockets, devices, FIFOs).
// Symbolic links are followed, but a directory already entered (same device and inode)
// is never entered again, so a link loop ends. Pseudo and remote file systems (/proc,
// /sys, /dev, /run, network mounts) are not entered.
class TTreeScanner {
public:
    using Event = std::function<void(TTreeScanner* sender)>;

    TTreeScanner() = default;
    TTreeScanner(const TTreeScanner&) = delete;
    TTreeScanner& operator=(const TTreeScanner&) = delete;

    QString InitialDirectory() const { return initialDirectory_; }
    void setInitialDirectory(const QString& directory) { initialDirectory_ = directory; }

    // The first mask of the sorted list, or empty; writing replaces the whole list.
    QString FileMask() const { return masks_.isEmpty() ? QString() : masks_.first(); }
    void setFileMask(const QString& mask);
    // The mask list as comma text; an item holding blanks or commas is quoted.
    QString FileMaskCommaText() const;
    void setFileMaskCommaText(const QString& text);
    // The masks in the order they are tried.
    QStringList masks() const { return masks_; }

    bool Recursive = true;
    bool FindHiddenFiles = false;
    bool FindHiddenFolders = false;

    QString FileFound() const { return fileFound_; }
    qint64 FileSize() const { return fileSize_; }
    bool SearchInProgress() const { return searching_; }

    Event OnFileFound;
    Event OnDirectoryFound;
    Event OnDirectoryDone;
    Event OnSearchDone;

    // Runs the whole walk; returns after OnSearchDone.
    void Execute();

    // Directories holding pseudo or remote file systems, from the mount table; the walk
    // does not enter them. Empty when the table cannot be read.
    static QSet<QString> unsearchableMounts(const QString& mountTable = "/proc/self/mounts");

    // "/a/b" and "/a/b/" both give "/a/b/"; "/" stays "/".
    static QString normalisedDirectory(const QString& directory);

private:
    void scan(const QString& directory);
    void fire(const Event& event);
    void insertMask(const QString& mask);
    // Records a directory about to be entered; false when it was entered before (a link
    // loop) or cannot be examined.
    bool firstEntry(const QString& directory);

    QString initialDirectory_;
    QStringList masks_;
    QList<QRegularExpression> expressions_;
    QString fileFound_;
    qint64 fileSize_ = 0;
    bool searching_ = false;
    QSet<std::pair<quint64, quint64>> entered_;
    QSet<QString> skipped_;
};
