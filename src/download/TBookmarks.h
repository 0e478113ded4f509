#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

namespace download {
struct BookmarkNode;
}

// Turns the browsers' bookmarks into a cascading menu under Menu: a submenu per group
// present ("MS IE Favorites", "Navigator Bookmarks", "Communicator Users Bookmarks",
// "Chromium Bookmarks", "Firefox Bookmarks"), folders as submenus, bookmarks as items,
// separators as separators. Choosing a bookmark with a URL calls OnURL with it.
//
// The component owns the items it adds: a rebuild and its destruction delete them and
// nothing else of the menu. Every item carries its URL as its QAction data.
class TBookmarks : public QObject {
    Q_OBJECT
public:
    explicit TBookmarks(QObject* parent = nullptr);
    ~TBookmarks() override;

    QMenu* Menu() const { return menu_; }
    // Each rebuilds the menu when Enabled and a menu is set.
    void setMenu(QMenu* menu);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);

    std::function<void(const QString& url)> OnURL;

    // Deletes the items added before and reads every source afresh; nothing happens
    // unless Enabled and a menu is set.
    void Rebuild();

private:
    void clear();
    void fill(QMenu* menu, const download::BookmarkNode& folder);
    void chosen(const QString& url);

    QPointer<QMenu> menu_;
    bool enabled_ = false;
    // The top-level items added: submenus and their menu actions.
    std::vector<QPointer<QObject>> added_;
};
