#include "platform/ProfileDocument.h"

#include <cstring>

#include "platform/ByteText.h"

namespace platform::profile {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool isAscii(QByteArrayView text) {
    for (char c : text) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

constexpr char kBom[] = "\xEF\xBB\xBF";

} // namespace

QByteArray foldName(QByteArrayView name) {
    if (!isAscii(name))
        return textFromBytes(name).toCaseFolded().toUtf8();
    QByteArray out(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i)
        out[i] = asciiLower(name[i]);
    return out;
}

bool sameName(QByteArrayView candidate, const QByteArray& folded) {
    if (candidate.size() != folded.size())
        return !isAscii(candidate) && foldName(candidate) == folded;
    for (qsizetype i = 0; i < candidate.size(); ++i) {
        const char c = candidate[i];
        if (uchar(c) >= 0x80)
            return foldName(candidate) == folded;
        // An ASCII mismatch with only ASCII before it cannot be undone by folding later.
        if (asciiLower(c) != folded[i])
            return false;
    }
    return true;
}

QByteArrayView trimBlanks(QByteArrayView text) {
    qsizetype b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    return text.sliced(b, e - b);
}

QByteArrayView stripQuotes(QByteArrayView value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

Document::Document(const QByteArray& bytes) : source_(bytes) {
    const char* p = source_.constData();
    const qsizetype n = source_.size();
    lines_.reserve(size_t(n / 24 + 1));
    bool styleSeen = false;
    qsizetype pos = 0;
    while (pos < n) {
        const char* lf = static_cast<const char*>(std::memchr(p + pos, '\n', size_t(n - pos)));
        const qsizetype lfAt = lf ? lf - p : n;
        const char* cr = static_cast<const char*>(std::memchr(p + pos, '\r', size_t(lfAt - pos)));
        qsizetype end;
        Eol eol;
        if (cr) {
            end = cr - p;
            eol = (end + 1 == lfAt) ? Eol::CRLF : Eol::CR;
        } else {
            end = lfAt;
            eol = lf ? Eol::LF : Eol::None;
        }
        const int skip = (pos == 0 && source_.startsWith(kBom)) ? 3 : 0;
        lines_.push_back(makeLine(QByteArray::fromRawData(p + pos, end - pos), eol, skip));
        if (!styleSeen && eol != Eol::None) {
            style_ = eol;
            styleSeen = true;
        }
        pos = end + eolLength(eol);
    }
    reindex();
}

Document::Line Document::makeLine(QByteArray text, Eol eol, int skip) {
    Line line;
    line.eol = eol;
    const QByteArrayView view(text);
    int b = skip, e = int(view.size());
    while (b < e && isBlank(view[b]))
        ++b;
    while (e > b && isBlank(view[e - 1]))
        --e;
    if (b == e) {
        line.kind = Kind::Blank;
    } else if (view[b] == '[') {
        int close = e - 1;
        while (close > b && view[close] != ']')
            --close;
        if (close > b) {
            line.kind = Kind::Header;
            line.nameBegin = b + 1;
            line.nameEnd = close;
            while (line.nameBegin < line.nameEnd && isBlank(view[line.nameBegin]))
                ++line.nameBegin;
            while (line.nameEnd > line.nameBegin && isBlank(view[line.nameEnd - 1]))
                --line.nameEnd;
        } else {
            line.kind = Kind::Other;
        }
    } else if (view[b] == ';') {
        line.kind = Kind::Comment;
    } else {
        const void* eq = std::memchr(view.data() + b, '=', size_t(e - b));
        if (!eq) {
            line.kind = Kind::Other;
        } else {
            const int at = int(static_cast<const char*>(eq) - view.data());
            line.kind = Kind::Key;
            line.nameBegin = b;
            line.nameEnd = at;
            while (line.nameEnd > b && isBlank(view[line.nameEnd - 1]))
                --line.nameEnd;
            line.valueBegin = at + 1;
            line.valueEnd = e;
            while (line.valueBegin < e && isBlank(view[line.valueBegin]))
                ++line.valueBegin;
        }
    }
    line.text = std::move(text);
    return line;
}

int Document::eolLength(Eol eol) {
    return eol == Eol::None ? 0 : (eol == Eol::CRLF ? 2 : 1);
}

const char* Document::eolBytes(Eol eol) {
    switch (eol) {
    case Eol::LF:
        return "\n";
    case Eol::CRLF:
        return "\r\n";
    case Eol::CR:
        return "\r";
    case Eol::None:
        break;
    }
    return "";
}

void Document::reindex() {
    sections_.clear();
    first_.clear();
    for (int i = 0; i < int(lines_.size()); ++i) {
        if (lines_[i].kind != Kind::Header)
            continue;
        if (!sections_.empty())
            sections_.back().end = i;
        sections_.push_back(Section{i, int(lines_.size()), foldName(lines_[i].name())});
    }
    // QHash::insert replaces: walk backwards so that the first section of a name wins.
    first_.reserve(qsizetype(sections_.size()));
    for (int s = int(sections_.size()) - 1; s >= 0; --s)
        first_.insert(sections_[s].folded, s);
}

QByteArray Document::serialize() const {
    qsizetype size = 0;
    for (const Line& line : lines_)
        size += line.text.size() + eolLength(line.eol);
    QByteArray out;
    out.reserve(size);
    for (const Line& line : lines_) {
        out.append(line.text);
        out.append(eolBytes(line.eol), eolLength(line.eol));
    }
    return out;
}

int Document::findSection(QByteArrayView name) const {
    return first_.value(foldName(trimBlanks(name)), -1);
}

QByteArrayView Document::sectionName(int section) const {
    return lines_[sections_[section].header].name();
}

int Document::findKeyLine(int section, const QByteArray& foldedKey) const {
    const Section& s = sections_[section];
    for (int i = s.header + 1; i < s.end; ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Key && sameName(line.name(), foldedKey))
            return i;
    }
    return -1;
}

std::optional<QByteArrayView> Document::value(int section, QByteArrayView key) const {
    if (section < 0)
        return std::nullopt;
    const QByteArray folded = foldName(trimBlanks(key));
    if (folded.isEmpty())
        return std::nullopt;
    const int at = findKeyLine(section, folded);
    if (at < 0)
        return std::nullopt;
    return lines_[at].value();
}

std::vector<QByteArrayView> Document::keys(int section) const {
    std::vector<QByteArrayView> out;
    if (section < 0)
        return out;
    const Section& s = sections_[section];
    for (int i = s.header + 1; i < s.end; ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Key && line.nameEnd > line.nameBegin)
            out.push_back(line.name());
    }
    return out;
}

void Document::insertLine(int at, Line line) {
    if (at > 0 && lines_[at - 1].eol == Eol::None)
        lines_[at - 1].eol = style_;
    if (line.eol == Eol::None)
        line.eol = style_;
    lines_.insert(lines_.begin() + at, std::move(line));
    for (Section& s : sections_) {
        if (s.header >= at)
            ++s.header;
        if (s.end >= at)
            ++s.end;
    }
}

void Document::removeLine(int at) {
    lines_.erase(lines_.begin() + at);
    for (Section& s : sections_) {
        if (s.header > at)
            --s.header;
        if (s.end > at)
            --s.end;
    }
}

void Document::appendLine(Line line) {
    if (!lines_.empty() && lines_.back().eol == Eol::None)
        lines_.back().eol = style_;
    if (line.eol == Eol::None)
        line.eol = style_;
    lines_.push_back(std::move(line));
    const int at = int(lines_.size()) - 1;
    if (lines_[at].kind == Kind::Header) {
        Section s{at, at + 1, foldName(lines_[at].name())};
        if (!first_.contains(s.folded))
            first_.insert(s.folded, int(sections_.size()));
        sections_.push_back(std::move(s));
    } else if (!sections_.empty()) {
        sections_.back().end = at + 1;
    }
}

bool Document::setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value) {
    const QByteArrayView name = trimBlanks(section);
    const QByteArrayView keyName = trimBlanks(key);
    QByteArray text;
    text.reserve(keyName.size() + 1 + value.size());
    const int s = first_.value(foldName(name), -1);
    if (s < 0) {
        appendLine(makeLine(QByteArray("[").append(name).append(']'), Eol::None));
        appendLine(makeLine(text.append(keyName).append('=').append(value), Eol::None));
        return true;
    }
    const int at = findKeyLine(s, foldName(keyName));
    if (at >= 0) {
        // The key keeps the spelling it has in the file.
        Line& line = lines_[at];
        text.append(line.name()).append('=').append(value);
        if (text == line.text)
            return false;
        line = makeLine(std::move(text), line.eol);
        return true;
    }
    int after = sections_[s].header;
    for (int i = sections_[s].end - 1; i > after; --i) {
        if (lines_[i].kind != Kind::Blank) {
            after = i;
            break;
        }
    }
    insertLine(after + 1, makeLine(text.append(keyName).append('=').append(value), Eol::None));
    return true;
}

bool Document::deleteKey(QByteArrayView section, QByteArrayView key) {
    const int s = findSection(section);
    if (s < 0)
        return false;
    const QByteArray folded = foldName(trimBlanks(key));
    bool changed = false;
    for (int i = sections_[s].end - 1; i > sections_[s].header; --i) {
        if (lines_[i].kind == Kind::Key && sameName(lines_[i].name(), folded)) {
            removeLine(i);
            changed = true;
        }
    }
    return changed;
}

bool Document::eraseSectionsIf(const std::function<bool(QByteArrayView)>& match) {
    bool changed = false;
    for (int s = int(sections_.size()) - 1; s >= 0; --s) {
        const Section& section = sections_[s];
        if (!match(lines_[section.header].name()))
            continue;
        lines_.erase(lines_.begin() + section.header, lines_.begin() + section.end);
        changed = true;
    }
    if (changed)
        reindex();
    return changed;
}

bool Document::eraseSection(QByteArrayView section) {
    const QByteArray folded = foldName(trimBlanks(section));
    return eraseSectionsIf([&](QByteArrayView name) { return sameName(name, folded); });
}

bool Document::addSection(QByteArrayView section) {
    if (findSection(section) >= 0)
        return false;
    appendLine(makeLine(QByteArray("[").append(trimBlanks(section)).append(']'), Eol::None));
    return true;
}

} // namespace platform::profile
