#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// A download handed over by the browser helper, read from its copy-data record and ready
// for a download dialog.
//
// The record holds one length-prefixed string: the first byte counts the characters that
// follow (0 to 255); only those are read, a NUL among them included. The bytes are UTF-8
// where they form valid UTF-8 and Latin-1 otherwise. The string holds three fields, each
// ended by a carriage return except the last: source ("IE", "http" or "ftp"), URL and
// description (which may hold further carriage returns).
struct HandOffRequest {
    QString source;       // field 1 as sent
    QString url;          // field 2: download URL and source box
    QString description;  // field 3: description box
    QString fileName;     // derived from the URL; name box and file name
    QString urlDirectory; // the URL without the file name
    QString protocol;     // the source, "IE" replaced by the URL's protocol
};

HandOffRequest parseHandOff(QByteArrayView copyData);

// The file name a URL names: the text after its last "\" or ":", then after its last "/",
// less the characters \ : * ? " < > | and control characters. Never "." or "..": such a name
// would step out of the folder the file goes to, so it gives an empty name.
QString fileNameFromUrl(const QString& url);

// The URL with the file name removed where it ends the URL (its last occurrence); the URL
// itself when the name is empty or does not occur.
QString urlDirectoryOf(const QString& url, const QString& fileName);

// The URL's characters before the one that precedes its first "/": "http" for
// "http://host/file"; empty when the URL has no "/" or starts with one.
QString protocolOfUrl(const QString& url);

// The source a helper sends for a URL, as the download dialog reads it: "http" for http
// and https URLs, "ftp" for ftp URLs, in any letter case of the scheme; empty for any
// other scheme, which the program cannot download.
QString handOffSourceOf(const QString& url);

// The copy-data record a helper sends for a hand-off, UTF-8: nothing when source and URL
// do not fit in the 255 counted bytes; a description too long for the rest is cut at a
// character boundary.
std::optional<QByteArray> encodeHandOff(const QString& source, const QString& url,
                                        const QString& description);
