#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include <memory>

#include "TestEnvironment.h"
#include "download/TBookmarks.h"
#include "platform/Registry.h"

using platform::Registry;

namespace {

// The menu's items as the user reads them, one per line, two blanks of indent per level:
// "Caption/" for a submenu, "Caption = URL" for an item, "---" for a separator.
QString outline(const QMenu* menu, int level = 0) {
    QString out;
    const QString indent(2 * level, u' ');
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            out += indent + "---\n";
        else if (action->menu())
            out += indent + action->iconText() + "/\n" + outline(action->menu(), level + 1);
        else if (action->data().isValid())
            out += indent + action->iconText() + " = " + action->data().toString() + '\n';
        else
            out += indent + action->iconText() + '\n';
    }
    return out;
}

// The item reached through the captions of its submenus.
QAction* item(const QMenu* menu, const QStringList& path) {
    for (QAction* action : menu->actions()) {
        if (action->iconText() != path.front())
            continue;
        if (path.size() == 1)
            return action;
        return action->menu() ? item(action->menu(), path.mid(1)) : nullptr;
    }
    return nullptr;
}

// Every source present: favourites, the Navigator file, two Communicator users, a
// Chromium profile and a Firefox profile.
class BookmarkMenu : public ::testing::Test {
protected:
    void SetUp() override {
        const QString fav = home.root() + "/Favorites";
        shortcut(fav + "/Linux/Debian.url", "http://www.debian.org/");
        shortcut(fav + "/Tom & Jerry.url", "http://cartoons.example/");
        ASSERT_TRUE(qbtest::writeFile(fav + "/broken.url", "[InternetShortcut]\n"));
        Registry user(Registry::CurrentUser);
        ASSERT_TRUE(
            user.writeValue("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            "Favorites", fav));

        const QString navigator = home.root() + "/netscape/bookmark.htm";
        ASSERT_TRUE(qbtest::writeFile(navigator,
                                      "<DL><p>\n"
                                      "<DT><H3>Software</H3>\n"
                                      "<DL><p>\n"
                                      "<DT><A HREF=\"ftp://ftp.example/pub/tool.zip\">Tool</A>\n"
                                      "</DL><p>\n"
                                      "<HR>\n"
                                      "<DT><A HREF=\"\">Nowhere</A>\n"
                                      "</DL><p>\n"));
        ASSERT_TRUE(user.writeValue("Software\\Netscape\\Netscape Navigator\\Bookmark List",
                                    "File Location", navigator));

        Registry machine(Registry::LocalMachine);
        const QString users = "Software\\Netscape\\Netscape Navigator\\Users\\";
        ASSERT_TRUE(qbtest::writeFile(home.root() + "/users/ann/bookmark.htm",
                                      "<DT><A HREF='http://ann.example/'>Ann's page</A>\n"));
        ASSERT_TRUE(machine.writeValue(users + "ann", "DirRoot", home.root() + "/users/ann"));
        ASSERT_TRUE(machine.writeValue(users + "bob", "DirRoot", ""));

        ASSERT_TRUE(qbtest::writeFile(
            home.root() + "/home/.config/chromium/Default/Bookmarks",
            R"({"roots":{"bookmark_bar":{"name":"Bookmarks bar","type":"folder","children":[)"
            R"({"name":"Kernel","type":"url","url":"https://www.kernel.org/"}]}}})"));
        ASSERT_TRUE(
            qbtest::writeFile(home.root() + "/home/.mozilla/firefox/p.default/bookmarks.html",
                              "<DT><A HREF=\"https://www.mozilla.org/\">Mozilla</A>\n"));
    }

    void shortcut(const QString& path, const QString& url) {
        ASSERT_TRUE(qbtest::writeFile(path, ("[InternetShortcut]\nURL=" + url + "\n").toUtf8()));
    }

    qbtest::TempHome home;
    QMenu popup;
    QMenu* web = popup.addMenu("Web BookMarks...");
    QAction* own = web->addAction("Not a bookmark");
};

const char* const kEverySource = "Not a bookmark\n"
                                 "MS IE Favorites/\n"
                                 "  Linux/\n"
                                 "    Debian = http://www.debian.org/\n"
                                 "  broken = N/A\n"
                                 "  Tom & Jerry = http://cartoons.example/\n"
                                 "Navigator Bookmarks/\n"
                                 "  Software/\n"
                                 "    Tool = ftp://ftp.example/pub/tool.zip\n"
                                 "  ---\n"
                                 "  Nowhere = \n"
                                 "Communicator Users Bookmarks/\n"
                                 "  ann/\n"
                                 "    Ann's page = http://ann.example/\n"
                                 "  bob/\n"
                                 "Chromium Bookmarks/\n"
                                 "  Bookmarks bar/\n"
                                 "    Kernel = https://www.kernel.org/\n"
                                 "Firefox Bookmarks/\n"
                                 "  Mozilla = https://www.mozilla.org/\n";

} // namespace

// Nothing is read while disabled; then every source becomes a group, in order, and an item
// with an address reports it. A rebuild and a move touch only the reader's own items.
TEST_F(BookmarkMenu, EverySourceBecomesAGroupInOrder) {
    auto bookmarks = std::make_unique<TBookmarks>();
    QStringList chosen;
    bookmarks->OnURL = [&](const QString& url) { chosen << url; };
    bookmarks->setMenu(web);
    EXPECT_EQ(outline(web), "Not a bookmark\n");
    bookmarks->setEnabled(true);
    EXPECT_EQ(outline(web), kEverySource);

    for (const QStringList& path :
         {QStringList{"MS IE Favorites", "Linux", "Debian"},
          QStringList{"Navigator Bookmarks", "Nowhere"},
          QStringList{"MS IE Favorites", "Tom & Jerry"},
          QStringList{"Communicator Users Bookmarks", "ann", "Ann's page"}}) {
        QAction* action = item(web, path);
        ASSERT_TRUE(action) << path.join(" > ").toStdString();
        action->trigger();
    }
    own->trigger();
    // Neither the item without an address nor the menu's own item reports anything.
    EXPECT_EQ(chosen, QStringList({"http://www.debian.org/", "http://cartoons.example/",
                                   "http://ann.example/"}));

    ASSERT_TRUE(Registry(Registry::LocalMachine)
                    .deleteKey("Software\\Netscape\\Netscape Navigator\\Users\\bob"));
    bookmarks->Rebuild();
    EXPECT_EQ(outline(web), QString(kEverySource).remove("  bob/\n"));
    // Moving to another menu takes the items along; destruction takes them away.
    QMenu other;
    bookmarks->setMenu(&other);
    EXPECT_EQ(outline(web), "Not a bookmark\n");
    EXPECT_TRUE(outline(&other).startsWith("MS IE Favorites/\n"));
    bookmarks.reset();
    EXPECT_TRUE(other.actions().isEmpty());
    EXPECT_EQ(web->actions(), QList<QAction*>{own});
}

TEST(BookmarkMenuEmpty, NeitherBrowserGivesNoEntries) {
    qbtest::TempHome home;
    QMenu web;
    TBookmarks bookmarks;
    bookmarks.setEnabled(true);
    bookmarks.setMenu(&web);
    EXPECT_TRUE(web.actions().isEmpty());
}
