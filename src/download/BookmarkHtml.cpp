#include "download/BookmarkHtml.h"

#include "platform/ByteText.h"

namespace download {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// The text between the first ">" of `text` and the next "<" (or the end).
std::optional<QString> taggedText(QStringView text) {
    const qsizetype open = text.indexOf(u'>');
    if (open < 0)
        return std::nullopt;
    const qsizetype close = text.indexOf(u'<', open + 1);
    const QStringView inner =
        close < 0 ? text.sliced(open + 1) : text.sliced(open + 1, close - open - 1);
    return decodeHtmlCharacters(inner.toString());
}

void addLinkLine(QStringView line, BookmarkTreeBuilder& builder) {
    qsizetype pos = line.indexOf(u"HREF") + 4;
    QChar terminator = u' ';
    for (; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"' || c == u'\'')
            terminator = c;
        else if (!isBlank(c) && c != u'=')
            break;
    }
    qsizetype end = pos;
    while (end < line.size() && !isBlank(line[end]) && line[end] != u'>' && line[end] != terminator)
        ++end;
    if (const auto caption = taggedText(line.sliced(end)))
        builder.addLink(*caption, line.sliced(pos, end - pos).toString());
}

void parseLine(QStringView line, BookmarkTreeBuilder& builder) {
    if (const qsizetype h3 = line.indexOf(u"<H3"); h3 >= 0) {
        if (const auto caption = taggedText(line.sliced(h3 + 2)))
            builder.openFolder(*caption);
    } else if (line.contains(u"</DL")) {
        builder.closeFolder();
    } else if (line.contains(u"<HR")) {
        builder.addSeparator();
    } else if (line.contains(u"<A ") && line.contains(u"HREF")) {
        addLinkLine(line, builder);
    }
}

std::optional<char32_t> namedCharacter(QStringView name) {
    static const struct {
        const char16_t* name;
        char32_t ch;
    } kNames[] = {{u"amp", U'&'},  {u"lt", U'<'},    {u"gt", U'>'},
                  {u"quot", U'"'}, {u"apos", U'\''}, {u"nbsp", U' '}};
    for (const auto& n : kNames) {
        if (name == QStringView(n.name))
            return n.ch;
    }
    return std::nullopt;
}

std::optional<char32_t> numericCharacter(QStringView digits) {
    bool ok = false;
    const bool hex = digits.startsWith(u'x') || digits.startsWith(u'X');
    const uint value = hex ? digits.sliced(1).toUInt(&ok, 16) : digits.toUInt(&ok, 10);
    // Control characters and non-characters would only disturb the menu.
    if (!ok || value < 0x20 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return char32_t(value);
}

struct Reference {
    char32_t ch;
    qsizetype length;
};

// The reference at the start of `text` ("&amp;", "&#39;", "&#x263A;"), if it is one.
std::optional<Reference> characterReference(QStringView text) {
    if (!text.startsWith(u'&'))
        return std::nullopt;
    // References are short; a far ";" belongs to some other text.
    const qsizetype semi = text.first(std::min<qsizetype>(text.size(), 12)).indexOf(u';');
    if (semi < 0)
        return std::nullopt;
    const QStringView name = text.sliced(1, semi - 1);
    const auto ch = name.startsWith(u'#') ? numericCharacter(name.sliced(1)) : namedCharacter(name);
    if (!ch)
        return std::nullopt;
    return Reference{*ch, semi + 1};
}

} // namespace

QString decodeHtmlCharacters(const QString& text) {
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (const auto ref = characterReference(QStringView(text).sliced(i))) {
            out += QString::fromUcs4(&ref->ch, 1);
            i += ref->length;
        } else {
            out += text[i++];
        }
    }
    return out;
}

BookmarkNode parseNetscapeBookmarks(const QByteArray& content) {
    BookmarkNode root = BookmarkNode::folder({});
    BookmarkTreeBuilder builder(root);
    qsizetype start = 0;
    while (start < content.size() && !builder.full()) {
        qsizetype end = start;
        while (end < content.size() && content[end] != '\n' && content[end] != '\r')
            ++end;
        if (end > start)
            parseLine(platform::textFromBytes(QByteArrayView(content).sliced(start, end - start)),
                      builder);
        start = end + 1;
    }
    return root;
}

std::optional<BookmarkNode> readNetscapeBookmarkFile(const QString& path) {
    const auto content = readBoundedFile(path);
    if (!content)
        return std::nullopt;
    return parseNetscapeBookmarks(*content);
}

} // namespace download
