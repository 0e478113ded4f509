#pragma once

#include <QDate>
#include <QString>

// The details pane's rules that need no widget: the auto-delete countdown, the rule that
// decides whether typed days are written, and how a source text is followed.
namespace manager {

// What the days field shows for a record with auto-delete on.
struct Countdown {
    QString days; // the days left, or "00" once the file is due
    bool due = false;
};

// Days left of a record counted from `alterDeleteOn` when it is not empty, else from
// `dateDownloaded` (empty counts as today), against `today`. Throws platform::DateError
// when the base date does not parse.
Countdown deletionCountdown(const QString& dateDownloaded, const QString& alterDeleteOn,
                            int deleteDays, const QDate& today);

// Writes the days field into a record: when the stored DeleteDays text (default "00")
// differs from `typed`, AlterDeleteOn becomes today and DeleteDays the typed text.
// Returns whether it wrote.
bool applyDaysRule(const QString& recordFile, const QString& fileName, const QString& typed);

// A source text shown as a link: it begins with "http://", "www.", "ftp://" or "ftp."
// (case matters).
bool looksLikeAddress(const QString& source);

// The extension as taken from a file name: from the last "." with neither "\" nor ":"
// after it, to the end; empty when there is none.
QString sourceExtension(const QString& source);

// What following a source does.
enum class SourceAction { Redownload, OpenInBrowser };
// A click on the link re-downloads whenever the text has an extension.
SourceAction sourceClickAction(const QString& source);
// "Go There" re-downloads only .exe and .zip addresses.
SourceAction goThereAction(const QString& source);

// The download dialog's inputs for re-downloading `source`.
struct Redownload {
    QString url;
    QString protocol;  // "ftp" or "http"
    QString fileName;  // after the last "/"
    QString directory; // the source with the first occurrence of the file name removed
};
Redownload redownloadOf(const QString& source);

// The longest notes text the pane takes.
inline constexpr int kNotesLimit = 440;

} // namespace manager
