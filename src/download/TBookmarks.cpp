#include "download/TBookmarks.h"

#include <QAction>
#include <QMenu>

#include "download/BookmarkSources.h"

namespace {

// An "&" in a title is text, not a mnemonic marker.
QString menuText(const QString& caption) {
    QString text = caption;
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

TBookmarks::TBookmarks(QObject* parent) : QObject(parent) {}

TBookmarks::~TBookmarks() {
    clear();
}

void TBookmarks::setMenu(QMenu* menu) {
    menu_ = menu;
    Rebuild();
}

void TBookmarks::setEnabled(bool enabled) {
    enabled_ = enabled;
    Rebuild();
}

void TBookmarks::Rebuild() {
    if (!enabled_ || !menu_)
        return;
    clear();
    const std::vector<download::BookmarkNode> groups =
        download::readBookmarkGroups(download::BookmarkLocations::forUser());
    for (const download::BookmarkNode& group : groups) {
        QMenu* sub = menu_->addMenu(menuText(group.caption));
        added_.emplace_back(sub);
        fill(sub, group);
    }
}

void TBookmarks::clear() {
    for (const QPointer<QObject>& item : added_)
        delete item.data();
    added_.clear();
}

void TBookmarks::fill(QMenu* menu, const download::BookmarkNode& folder) {
    using Kind = download::BookmarkNode::Kind;
    for (const download::BookmarkNode& node : folder.children) {
        switch (node.kind) {
        case Kind::Folder:
            fill(menu->addMenu(menuText(node.caption)), node);
            break;
        case Kind::Separator:
            menu->addSeparator();
            break;
        case Kind::Link: {
            QAction* action = menu->addAction(menuText(node.caption));
            action->setData(node.url);
            connect(action, &QAction::triggered, this, [this, url = node.url] { chosen(url); });
            break;
        }
        }
    }
}

void TBookmarks::chosen(const QString& url) {
    if (!url.isEmpty() && OnURL)
        OnURL(url);
}
