#pragma once

#include <QString>

// Text forms of the FTP control connection: reply codes, multi-line replies,
// the addresses of the data connection and the client's transfer summary.
namespace ftp {

// The three-digit code a reply line starts with, or -1 when it starts otherwise.
int replyCode(const QString& line);

// Gathers the lines of one reply. A single-line reply is "ddd text"; a
// multi-line reply opens with "ddd-text" and ends with the first line that
// starts with the same code followed by a blank (or nothing).
class ReplyAssembler {
public:
    // Takes the next line; true when it ends a reply, whose code code() then holds.
    bool addLine(const QString& line);
    int code() const { return code_; }
    // Forgets a half-received reply (the connection was closed).
    void reset();

private:
    int openCode_ = -1;
    int code_ = -1;
};

// The port of a passive reply: the last two of six comma-separated numbers
// "h1,h2,h3,h4,p1,p2" (usually in parentheses). 0 when the reply has none.
// The address part is read but never used: data connections go to the control peer.
quint16 passivePort(const QString& reply);

// The port of an extended passive reply "229 ... (|||port|)"; 0 when it has none.
quint16 extendedPassivePort(const QString& reply);

// The argument of PORT for an IPv4 address: "h1,h2,h3,h4,p1,p2"; empty for other addresses.
QString portArgument(const QString& address, quint16 port);

// The argument of EPRT: "|1|address|port|" or "|2|address|port|".
QString extendedPortArgument(const QString& address, quint16 port);

// The size announced by a reply such as "150 Opening ... (2048 bytes)": the
// decimal after the last "(" that is followed by a number and "bytes" (a file
// name may hold parentheses); -1 when there is none or it is out of range.
qint64 announcedSize(const QString& reply);

// "! N bytes received/sent in S seconds (R Bytes/sec)"; the rate is left out
// when no whole millisecond has passed.
QString transferSummary(qint64 bytes, qint64 elapsedMs);

// True when a command argument could end the command line early (CR, LF or NUL).
bool breaksCommandLine(const QString& argument);

} // namespace ftp
