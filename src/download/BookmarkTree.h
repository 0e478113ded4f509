#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// The widget-free shape of a bookmark menu: every reader builds one of these and the
// menu component turns it into submenus and items.
namespace download {

struct BookmarkNode {
    enum class Kind { Folder, Link, Separator };

    Kind kind = Kind::Folder;
    // As shown: already shortened.
    QString caption;
    // Links only; may be empty (such an item is shown but does nothing).
    QString url;
    // Folders only.
    std::vector<BookmarkNode> children;

    static BookmarkNode folder(const QString& caption) { return {Kind::Folder, caption, {}, {}}; }
    static BookmarkNode link(const QString& caption, const QString& url) {
        return {Kind::Link, caption, url, {}};
    }
    static BookmarkNode separator() { return {Kind::Separator, {}, {}, {}}; }

    bool isFolder() const { return kind == Kind::Folder; }
    bool empty() const { return children.empty(); }
};

// Limits every reader keeps, so that a hostile or broken file cannot exhaust memory,
// the stack or the menu.
inline constexpr int kMaxBookmarkDepth = 32;
inline constexpr int kMaxBookmarkEntries = 20000;
inline constexpr qint64 kMaxBookmarkFileSize = qint64(64) * 1024 * 1024;

// A text of 46 characters or more becomes its first 21 characters + "..." + its last
// 21; shorter texts stay as they are. Characters are code points, so a character
// outside the basic plane is never cut in half.
QString shortenCaption(const QString& text);

// The whole content of a regular file of at most maxSize bytes; nothing when the path
// is not a regular file (directories, pipes and devices are refused, so a read can
// never block or run for ever), cannot be read or is larger.
std::optional<QByteArray> readBoundedFile(const QString& path,
                                          qint64 maxSize = kMaxBookmarkFileSize);

// Grows a tree from the top down within the limits. Captions are cleaned (control
// characters become blanks) and shortened. Folders nested deeper than
// kMaxBookmarkDepth are merged into their deepest allowed ancestor, so nothing in them
// is lost; once kMaxBookmarkEntries entries are in, further ones are dropped.
class BookmarkTreeBuilder {
public:
    // root must outlive the builder and must not be changed elsewhere meanwhile.
    explicit BookmarkTreeBuilder(BookmarkNode& root);

    void openFolder(const QString& caption);
    // Returns to the parent level; false (and nothing changes) at the top level.
    bool closeFolder();
    void addLink(const QString& caption, const QString& url);
    void addSeparator();

    bool full() const { return entries_ >= kMaxBookmarkEntries; }
    bool hasLinks() const { return links_ > 0; }

private:
    BookmarkNode& current() { return *path_.back(); }
    bool take();

    // The open folders from the root down. Only the last one ever gets children while
    // it is open, so the pointers into the parents' child lists stay valid.
    std::vector<BookmarkNode*> path_;
    int merged_ = 0;
    int entries_ = 0;
    int links_ = 0;
};

// The bookmarks of one browser profile.
struct ProfileBookmarks {
    QString name;
    BookmarkNode tree;
};

// Profiles read from one place at most; the rest are left out.
inline constexpr int kMaxBrowserProfiles = 32;

// The content of one browser's group: the entries of a single profile directly, else a
// folder per profile captioned with its name; nothing when no profile has an entry.
std::optional<BookmarkNode> joinProfiles(std::vector<ProfileBookmarks> profiles);

} // namespace download
