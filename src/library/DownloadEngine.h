#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

#include "library/TransferStats.h"

class QFile;
class TFtpClient;
class THttpCli;

// One download from an http or ftp URL into a local file, without widgets: the probe,
// redirects (also from http to ftp), resume with a checked byte range, the replacement
// file and the rules that decide whether a file arrived whole. The download dialog and
// qbyget both drive it; the clients belong to the caller.
namespace download {

// Where a run stands. A run starts in Probing or Connecting and ends in one of the last
// five states, which stay until the next run.
enum class EngineState {
    Idle,       // nothing has run yet
    Probing,    // HEAD on its way: the size, redirects and whether the URL answers at all
    Connecting, // FTP login, directory and transfer type before the retrieve
    Fetching,   // GET or RETR running; body bytes go to the file being written
    Complete,   // the whole file lies under its name: the only state that earns the notice
    Declined,   // the user kept the file that was there; nothing was changed
    Redirected, // the probe was sent to another http URL; the caller starts over at url()
    Failed,     // refused, cut short or unwritable; the bytes on disk before are untouched
    Aborted,    // stopped by abort(); a partial file of this download stays for a resume
};

// What may become of a file that already lies at the target.
enum class ExistingFile {
    Resume,  // an earlier part of this download: continue it from its size
    Ask,     // it may belong to another source: ask before replacing, never resume onto it
    Replace, // download it anew; it stays until the replacement is whole
};

// The questions a run may ask its caller; true means go ahead and replace.
enum class Question {
    CompleteExists,  // the local file is as long as the server's already
    OtherSource,     // a file of that name is there, and the URL is not the one it came from
    RestartFromZero, // the FTP server refuses to resume
};

// Which step failed, for the caller's wording.
enum class FailedStep { None, Probe, Transfer, Ftp };

struct DownloadJob {
    QString url;
    QString target;
    ExistingFile existing = ExistingFile::Resume;
    // A probe redirected to another http URL ends the run as Redirected instead of going on.
    bool stopAfterProbeRedirect = false;
    // Seconds of silence after which a request fails; 0 waits for ever.
    int timeout = 0;
    // https: certificate authorities trusted instead of the system's store (tests, qbyget).
    QString caFile;
    QString ftpPassword = QStringLiteral("quillbay@localhost");
};

class DownloadEngine : public QObject {
    Q_OBJECT
public:
    DownloadEngine(THttpCli& http, TFtpClient& ftp, QObject* parent = nullptr);
    ~DownloadEngine() override;

    // Runs the whole download, letting events run while it waits; returns the end state.
    EngineState run(const DownloadJob& job);
    // Stops a running download; run() then returns Aborted.
    void abort();

    EngineState state() const { return state_; }
    bool running() const;
    // The URL in use: the job's, or where redirects led.
    QString url() const { return url_; }
    bool isFtp() const { return ftp_mode_; }
    // Why the run failed: a log line and the server's code and reason where there is one.
    QString failure() const { return failure_; }
    FailedStep failedStep() const { return failedStep_; }
    int failureCode() const { return failureCode_; }
    QString failureReason() const { return failureReason_; }
    // Bytes of the file at the start of this transfer (the resumed part) and received since.
    qint64 resumeOffset() const { return offset_; }
    qint64 received() const { return received_; }
    // The whole file's expected size; -1 when unknown.
    qint64 expectedTotal() const { return total_; }
    // The size of the last body chunk.
    qint64 lastChunk() const { return lastChunk_; }
    // The hidden file a replacement is written to before it takes the target's place.
    static QString replacementPath(const QString& target);

    TransferStats& stats() { return stats_; }
    const TransferStats& stats() const { return stats_; }

    // Every protocol line (response header lines, FTP commands and replies) and the engine's
    // own notes, in order.
    std::function<void(const QString& line)> OnHeaderLine;
    std::function<void(const QString& line)> OnFtpLine;
    std::function<void(const QString& line)> OnNote;
    // A Location was followed; url() is the new URL.
    std::function<void()> OnRedirect;
    // The body starts: resumeOffset() and expectedTotal() are set.
    std::function<void()> OnDocBegin;
    // A body chunk was written; keep this cheap, it runs for every chunk.
    std::function<void(qint64 length)> OnDocData;
    // The connection ended after body data (HTTP) or the transfer ended (FTP).
    std::function<void()> OnDocEnd;
    // An FTP request ended; error 0 is success.
    std::function<void(int request, int error)> OnFtpRequestDone;
    // A question for the user; no handler means no.
    std::function<bool(Question)> OnAsk;

private:
    EngineState runHttp();
    EngineState runFtp();
    // How a GET that ran to its end (or was cut off after its header began) ended.
    EngineState judgeHttpEnd();
    // Chooses how the local file is written before the transfer; false when the run ends.
    bool decideLocalFile(qint64 serverSize);
    bool openSink();
    bool switchToReplacement();
    // Flushes and closes the sink; false on a write error.
    bool closeSink();
    EngineState finishWhole();
    EngineState fail(FailedStep step, const QString& line, int code = 0,
                     const QString& reason = QString());
    EngineState end(EngineState state);
    void dropReplacement();
    void note(const QString& line);
    void wireHttp();
    void wireFtp();
    void httpHeaderEnd();
    void httpData(const char* buffer, qint64 len);
    void ftpDisplay(const QString& msg);
    bool ftpRetrieve(bool resume);
    bool ftpAlreadyWhole() const;

    THttpCli& http_;
    TFtpClient& ftp_;
    DownloadJob job_;
    EngineState state_ = EngineState::Idle;
    QString url_;
    bool ftp_mode_ = false;
    bool aborted_ = false;

    // The file being written: the target itself (new file or resume) or the replacement.
    std::unique_ptr<QFile> sink_;
    bool replacing_ = false;
    bool writeFailed_ = false;
    QString writeError_;
    qint64 offset_ = 0;
    qint64 received_ = 0;
    qint64 total_ = -1;
    qint64 lastChunk_ = 0;

    // The HTTP response being read.
    bool probing_ = false;
    bool probeRedirected_ = false;
    bool headerEnded_ = false;
    bool responseHasLocation_ = false;
    bool bodyBegun_ = false;
    bool socketError_ = false;
    qint64 responseLength_ = -1;
    QString ftpLocation_;

    // FTP: the size a 150 reply announced (-1 none), the local size before the retrieve.
    qint64 announced_ = -1;
    qint64 localBefore_ = 0;

    QString failure_;
    FailedStep failedStep_ = FailedStep::None;
    int failureCode_ = 0;
    QString failureReason_;
    TransferStats stats_;
};

} // namespace download
