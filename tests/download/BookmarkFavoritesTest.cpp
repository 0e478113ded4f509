#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include "BookmarkTestSupport.h"
#include "TestEnvironment.h"
#include "download/BookmarkFavorites.h"

namespace {

bool writeShortcut(const QString& path, const QString& url) {
    return qbtest::writeFile(path,
                             ("[DEFAULT]\r\nBASEURL=" + url +
                              "\r\n[InternetShortcut]\r\nURL=" + url + "\r\nModified=B0C2E6B3\r\n")
                                 .toUtf8());
}

} // namespace

// Subfolders come first, then shortcuts, each in name order. Links are followed, also out of
// the tree, but never back up it; pipes (a read would block) and dangling links are skipped.
TEST(FavoritesDirectory, SubfoldersNestFirstThenShortcutsInNameOrder) {
    qbtest::TempHome home;
    const QString fav = home.root() + "/Favorites";
    ASSERT_TRUE(writeShortcut(fav + "/zeta.url", "http://zeta.example/"));
    ASSERT_TRUE(writeShortcut(fav + "/Alpha.URL", "http://alpha.example/"));
    ASSERT_TRUE(writeShortcut(fav + "/b-Links/inner.Url", "http://inner.example/"));
    ASSERT_TRUE(writeShortcut(fav + "/b-Links/Deeper/deep.url", "ftp://deep.example/pub/x.zip"));
    ASSERT_TRUE(QDir().mkpath(fav + "/A-empty"));
    ASSERT_TRUE(QDir().mkpath(fav + "/folder.url")); // a directory, whatever its name
    ASSERT_TRUE(writeShortcut(fav + "/.hidden/secret.url", "http://hidden.example/"));
    ASSERT_TRUE(
        writeShortcut(fav + "/Downloads - Debian packages for the stable amd64 release 12..url",
                      "http://deb.example/"));
    ASSERT_TRUE(
        qbtest::writeFile(fav + "/no address.url", "[InternetShortcut]\r\nIconIndex=0\r\n"));
    ASSERT_TRUE(qbtest::writeFile(fav + "/readme.txt", "[InternetShortcut]\r\nURL=http://no/\r\n"));
    ASSERT_TRUE(qbtest::writeFile(fav + "/url", "not a shortcut: no suffix"));
    ASSERT_TRUE(QFile::link(fav, fav + "/loop"));
    ASSERT_TRUE(QFile::link(fav + "/b-Links", fav + "/b-Links/Deeper/up"));
    const QString shared = home.root() + "/shared";
    ASSERT_TRUE(writeShortcut(shared + "/team.url", "http://team.example/"));
    ASSERT_TRUE(QFile::link(shared, fav + "/Team"));
    ASSERT_TRUE(QFile::link(shared + "/team.url", fav + "/again.url"));
    ASSERT_EQ(mkfifo((fav + "/pipe.url").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fav + "/nowhere", fav + "/dangling.url"));

    EXPECT_EQ(bmtest::outline(download::readFavoritesDirectory(fav)),
              "A-empty/\n"
              "b-Links/\n"
              "  Deeper/\n"
              "    deep = ftp://deep.example/pub/x.zip\n"
              "  inner = http://inner.example/\n"
              "folder.url/\n"
              "Team/\n"
              "  team = http://team.example/\n"
              "again = http://team.example/\n"
              "Alpha = http://alpha.example/\n"
              "Downloads - Debian pa...ble amd64 release 12. = http://deb.example/\n"
              "no address = N/A\n"
              "zeta = http://zeta.example/\n");
}
