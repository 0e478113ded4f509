#include "download/BookmarkTree.h"

#include <QFile>
#include <QFileInfo>

namespace download {

namespace {
constexpr qsizetype kShortenFrom = 46;
constexpr qsizetype kKeptAtEachEnd = 21;

QString cleanCaption(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return shortenCaption(out);
}
} // namespace

QString shortenCaption(const QString& text) {
    const QList<uint> points = text.toUcs4();
    if (points.size() < kShortenFrom)
        return text;
    const QList<uint> head = points.first(kKeptAtEachEnd);
    const QList<uint> tail = points.last(kKeptAtEachEnd);
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(head.constData()), head.size()) +
           QStringLiteral("...") +
           QString::fromUcs4(reinterpret_cast<const char32_t*>(tail.constData()), tail.size());
}

std::optional<QByteArray> readBoundedFile(const QString& path, qint64 maxSize) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > maxSize)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The file may have grown since it was looked at: never read past the limit.
    QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize || file.error() != QFile::NoError)
        return std::nullopt;
    return bytes;
}

BookmarkTreeBuilder::BookmarkTreeBuilder(BookmarkNode& root) : path_{&root} {}

bool BookmarkTreeBuilder::take() {
    if (full())
        return false;
    ++entries_;
    return true;
}

void BookmarkTreeBuilder::openFolder(const QString& caption) {
    // A folder that cannot be added still opens a level, so that its close matches.
    if (!take() || merged_ > 0 || int(path_.size()) > kMaxBookmarkDepth) {
        ++merged_;
        return;
    }
    current().children.push_back(BookmarkNode::folder(cleanCaption(caption)));
    path_.push_back(&current().children.back());
}

bool BookmarkTreeBuilder::closeFolder() {
    if (merged_ > 0) {
        --merged_;
        return true;
    }
    if (path_.size() == 1)
        return false;
    path_.pop_back();
    return true;
}

void BookmarkTreeBuilder::addLink(const QString& caption, const QString& url) {
    if (!take())
        return;
    current().children.push_back(BookmarkNode::link(cleanCaption(caption), url));
    ++links_;
}

void BookmarkTreeBuilder::addSeparator() {
    if (take())
        current().children.push_back(BookmarkNode::separator());
}

std::optional<BookmarkNode> joinProfiles(std::vector<ProfileBookmarks> profiles) {
    std::erase_if(profiles, [](const ProfileBookmarks& p) { return p.tree.empty(); });
    if (profiles.empty())
        return std::nullopt;
    if (profiles.size() == 1)
        return std::move(profiles.front().tree);
    BookmarkNode group = BookmarkNode::folder({});
    for (ProfileBookmarks& p : profiles) {
        p.tree.caption = cleanCaption(p.name);
        group.children.push_back(std::move(p.tree));
    }
    return group;
}

} // namespace download
