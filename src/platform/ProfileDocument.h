#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <functional>
#include <optional>
#include <vector>

namespace platform::profile {

// Section and key names compare without regard to letter case: ASCII letters fold
// directly, any other text through Unicode case folding.
QByteArray foldName(QByteArrayView name);
// Whether `candidate` folds to `folded` (a result of foldName).
bool sameName(QByteArrayView candidate, const QByteArray& folded);

// Removes the blanks (space, tab, vertical tab, form feed) around a name or value.
QByteArrayView trimBlanks(QByteArrayView text);
// Drops one pair of enclosing double or single quotes, as every value read does.
QByteArrayView stripQuotes(QByteArrayView value);

// One parsed profile file. Every line keeps its own bytes and line break, so an edit
// changes only the lines it touches and everything else is written back byte for byte.
//
// Lines are "[name]" headers (the name runs to the LAST "]" of the line, so names that
// hold brackets round-trip), "key=value" lines (split at the first "="), ";" comments,
// blank lines and anything else, which is kept but never read. Lines before the first
// header belong to no section.
class Document {
public:
    Document() = default;
    explicit Document(const QByteArray& bytes);

    QByteArray serialize() const;
    bool isEmpty() const { return lines_.empty(); }

    // Index of the FIRST section of that name (the only one lookups ever see), or -1.
    int findSection(QByteArrayView name) const;
    int sectionCount() const { return int(sections_.size()); }
    // Every section name in file order, repeated names included.
    QByteArrayView sectionName(int section) const;
    // Trimmed raw value of the first key of that name in the section (quotes not yet
    // removed), or nothing when the key is absent.
    std::optional<QByteArrayView> value(int section, QByteArrayView key) const;
    // Key names of the section in file order (repeated names included).
    std::vector<QByteArrayView> keys(int section) const;

    // Edits; each returns whether the content changed. Names and values must already be
    // single lines.
    // Replaces the first key of that name in the first section of that name, or adds the
    // key after the section's last line, or adds the section at the end of the file.
    bool setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value);
    // Removes every key of that name from the first section of that name.
    bool deleteKey(QByteArrayView section, QByteArrayView key);
    // Removes every section of that name, header, keys and comments.
    bool eraseSection(QByteArrayView section);
    // Removes every section whose name satisfies `match`.
    bool eraseSectionsIf(const std::function<bool(QByteArrayView)>& match);
    // Adds an empty section at the end when none of that name exists.
    bool addSection(QByteArrayView section);

private:
    enum class Kind : quint8 { Blank, Comment, Header, Key, Other };
    enum class Eol : quint8 { None, LF, CRLF, CR };

    struct Line {
        QByteArray text; // without its line break
        Eol eol = Eol::None;
        Kind kind = Kind::Blank;
        int nameBegin = 0, nameEnd = 0;   // header name or key name, trimmed
        int valueBegin = 0, valueEnd = 0; // key value, trimmed
        QByteArrayView name() const {
            return QByteArrayView(text).sliced(nameBegin, nameEnd - nameBegin);
        }
        QByteArrayView value() const {
            return QByteArrayView(text).sliced(valueBegin, valueEnd - valueBegin);
        }
    };

    struct Section {
        int header; // line index of "[name]"
        int end;    // one past its last line
        QByteArray folded;
    };

    static Line makeLine(QByteArray text, Eol eol, int skip = 0);
    static int eolLength(Eol eol);
    static const char* eolBytes(Eol eol);
    void reindex();
    void insertLine(int at, Line line);
    void removeLine(int at);
    void appendLine(Line line);
    int findKeyLine(int section, const QByteArray& foldedKey) const;

    QByteArray source_; // the bytes read; unedited lines point into it
    std::vector<Line> lines_;
    std::vector<Section> sections_;
    QHash<QByteArray, int> first_; // folded name -> first section index
    Eol style_ = Eol::LF;          // line break for new lines: the file's first one
};

} // namespace platform::profile
