#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QtEndian>

#include <lz4.h>

#include "BookmarkTestSupport.h"
#include "TestEnvironment.h"
#include "download/BookmarkChromium.h"
#include "download/BookmarkFirefox.h"

namespace {

// An abridged Bookmarks file as Chromium writes it.
const QByteArray kChromiumFile = R"({
   "checksum": "9b4d3f7e0c1a2b3c4d5e6f708192a3b4",
   "roots": {
      "bookmark_bar": {
         "children": [ {
            "children": [ {
               "date_added": "13345678901234567",
               "date_last_used": "0",
               "guid": "4a1d5c3e-0f6b-4d8e-9a2c-1b3d5f7e9a0c",
               "id": "6",
               "meta_info": { "power_bookmark_meta": "" },
               "name": "Debian CD images",
               "type": "url",
               "url": "https://cdimage.debian.org/debian-cd/current/amd64/iso-cd/"
            } ],
            "date_modified": "13345678901234567",
            "id": "5",
            "name": "Downloads",
            "type": "folder"
         }, {
            "id": "7",
            "name": "",
            "type": "url",
            "url": "https://www.kernel.org/"
         } ],
         "id": "1",
         "name": "Bookmarks bar",
         "type": "folder"
      },
      "other": {
         "children": [ {
            "name": "Qt 6 documentation",
            "type": "url",
            "url": "https://doc.qt.io/qt-6/"
         }, {
            "name": "from some future version",
            "type": "shortcut_group"
         } ],
         "name": "Other bookmarks",
         "type": "folder"
      },
      "synced": { "children": [ ], "name": "Mobile bookmarks", "type": "folder" }
   },
   "version": 1
}
)";

const char* const kChromiumOutline = "Bookmarks bar/\n"
                                     "  Downloads/\n"
                                     "    Debian CD images = "
                                     "https://cdimage.debian.org/debian-cd/current/amd64/iso-cd/\n"
                                     "  https://www.kernel.org/ = https://www.kernel.org/\n"
                                     "Other bookmarks/\n"
                                     "  Qt 6 documentation = https://doc.qt.io/qt-6/\n";

// An abridged Firefox bookmark backup.
const QByteArray kFirefoxBackup =
    R"({"guid":"root________","title":"","index":0,"dateAdded":1700000000000000,)"
    R"("lastModified":1700000100000000,"id":1,"typeCode":2,"type":"text/x-moz-place-container",)"
    R"("root":"placesRoot","children":[)"
    R"({"guid":"menu________","title":"menu","index":0,"id":2,"typeCode":2,)"
    R"("type":"text/x-moz-place-container","root":"bookmarksMenuFolder","children":[)"
    R"({"guid":"WbC1kPZqK3mA","title":"Mozilla Firefox","index":0,"id":7,"typeCode":2,)"
    R"("type":"text/x-moz-place-container","children":[)"
    R"({"guid":"8d3PfXu9xY2b","title":"Get Help","index":0,"id":8,"typeCode":1,)"
    R"("iconUri":"https://support.mozilla.org/favicon.ico","type":"text/x-moz-place",)"
    R"("uri":"https://support.mozilla.org/products/firefox"},)"
    R"({"guid":"Qm0vT7rN1sLk","title":"","index":1,"id":9,"typeCode":1,)"
    R"("type":"text/x-moz-place","uri":"https://www.mozilla.org/about/"}]},)"
    R"({"guid":"Zr5bH2cW8eJd","index":1,"id":10,"typeCode":3,)"
    R"("type":"text/x-moz-place-separator"},)"
    R"({"guid":"Kx4nM6vB0qPw","title":"Recent Tags","index":2,"id":11,"typeCode":1,)"
    R"("type":"text/x-moz-place","uri":"place:type=6&sort=14&maxResults=10"}]},)"
    R"({"guid":"toolbar_____","title":"toolbar","index":1,"id":3,"typeCode":2,)"
    R"("type":"text/x-moz-place-container","root":"toolbarFolder","children":[)"
    R"({"guid":"Fy7gS3dA1zXc","title":"Debian","index":0,"id":12,"typeCode":1,)"
    R"("type":"text/x-moz-place","uri":"https://www.debian.org/","keyword":"deb"}]},)"
    R"({"guid":"tags________","title":"tags","index":2,"id":4,"typeCode":2,)"
    R"("type":"text/x-moz-place-container","root":"tagsFolder","children":[)"
    R"({"title":"linux","id":13,"typeCode":2,"type":"text/x-moz-place-container","children":[)"
    R"({"title":"Debian","id":14,"typeCode":1,"type":"text/x-moz-place",)"
    R"("uri":"https://www.debian.org/"}]}]},)"
    R"({"guid":"unfiled_____","title":"unfiled","index":3,"id":5,"typeCode":2,)"
    R"("type":"text/x-moz-place-container","root":"unfiledBookmarksFolder","children":[]},)"
    R"({"guid":"mobile______","title":"mobile","index":4,"id":6,"typeCode":2,)"
    R"("type":"text/x-moz-place-container","root":"mobileFolder"}]})";

const char* const kFirefoxBackupOutline =
    "Bookmarks Menu/\n"
    "  Mozilla Firefox/\n"
    "    Get Help = https://support.mozilla.org/products/firefox\n"
    "    https://www.mozilla.org/about/ = https://www.mozilla.org/about/\n"
    "  ---\n"
    "Bookmarks Toolbar/\n"
    "  Debian = https://www.debian.org/\n";

// A bookmarks.html in a profile (the parser has its own tests).
const QByteArray kFirefoxExport = "<DT><A HREF=\"https://www.debian.org/\">Debian</A>\n";
const char* const kFirefoxExportOutline = "Debian = https://www.debian.org/\n";

QByteArray littleEndian32(quint32 value) {
    const quint32 le = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&le), 4);
}

QByteArray lz4Block(const QByteArray& data) {
    QByteArray block(LZ4_compressBound(int(data.size())), '\0');
    const int n =
        LZ4_compress_default(data.constData(), block.data(), int(data.size()), int(block.size()));
    block.truncate(n);
    return block;
}

// The file Firefox writes: magic, decompressed size, one LZ4 block.
QByteArray mozLz4(const QByteArray& json) {
    return QByteArray("mozLz40\0", 8) + littleEndian32(quint32(json.size())) + lz4Block(json);
}

bool writeFileAt(const QString& path, const QByteArray& bytes, const QDateTime& modified) {
    if (!qbtest::writeFile(path, bytes))
        return false;
    QFile f(path);
    return f.open(QIODevice::ReadWrite) &&
           f.setFileTime(modified, QFileDevice::FileModificationTime);
}

QString outline(const std::optional<download::BookmarkNode>& tree) {
    return tree ? bmtest::outline(*tree) : QStringLiteral("(none)");
}

const QDateTime kOlder = QDateTime::fromSecsSinceEpoch(1700000000);
const QDateTime kNewer = QDateTime::fromSecsSinceEpoch(1700086400);

} // namespace

TEST(ChromiumBookmarks, RootsInOrderWithNestedFoldersAndNamelessLinks) {
    EXPECT_EQ(outline(download::parseChromiumBookmarks(kChromiumFile)), kChromiumOutline);
}

TEST(ChromiumBookmarks, FilesThatAreNotBookmarksGiveNothing) {
    for (const QByteArray& json :
         {QByteArray(), QByteArray("{"), QByteArray("[]"), QByteArray("{\"roots\": 5}"),
          QByteArray("\x00\xff garbage", 10), kChromiumFile.left(kChromiumFile.size() / 2),
          QByteArray(R"({"roots":{"bookmark_bar":{"children":[)"
                     R"({"type":"folder","name":"only a folder","children":[]}]}}})")})
        EXPECT_FALSE(download::parseChromiumBookmarks(json)) << json.toStdString();
}

TEST(ChromiumBookmarks, EachBrowserProfileGetsAFolderNamedAsTheBrowserNamesIt) {
    qbtest::TempHome home;
    const QString config = home.root() + "/config";
    EXPECT_EQ(outline(download::readChromiumBookmarks(config)), "(none)");

    ASSERT_TRUE(qbtest::writeFile(config + "/chromium/Default/Bookmarks", kChromiumFile));
    ASSERT_TRUE(qbtest::writeFile(config + "/chromium/Local State",
                                  R"({"profile":{"info_cache":{"Default":{"name":"Work"}}}})"));
    ASSERT_TRUE(qbtest::writeFile(config + "/chromium/System Profile/Preferences", "{}"));
    // One profile: its roots directly.
    EXPECT_EQ(outline(download::readChromiumBookmarks(config)), kChromiumOutline);

    ASSERT_TRUE(qbtest::writeFile(
        config + "/google-chrome/Profile 1/Bookmarks",
        R"({"roots":{"bookmark_bar":{"name":"Bookmarks bar","type":"folder","children":[)"
        R"({"name":"Debian","type":"url","url":"https://www.debian.org/"}]}}})"));
    ASSERT_TRUE(qbtest::writeFile(config + "/google-chrome/Profile 2/Bookmarks", "{broken"));
    EXPECT_EQ(outline(download::readChromiumBookmarks(config)),
              "Chromium - Work/\n" + bmtest::indented(kChromiumOutline) +
                  "Google Chrome - Profile 1/\n"
                  "  Bookmarks bar/\n"
                  "    Debian = https://www.debian.org/\n");
}

TEST(MozLz4, BrokenFilesAreRefusedWithoutAllocatingTheClaimedSize) {
    const QByteArray good = mozLz4(kFirefoxBackup);
    const QByteArray block = lz4Block(kFirefoxBackup);
    const quint32 size = quint32(kFirefoxBackup.size());
    struct Case {
        const char* what;
        QByteArray file;
    };
    const Case cases[] = {
        {"empty", {}},
        {"header only", good.left(12)},
        {"bad magic", QByteArray("mozLz41\0", 8) + good.mid(8)},
        {"plain JSON", kFirefoxBackup},
        {"claims 4 GiB", good.left(8) + littleEndian32(0xFFFFFFFFu) + block},
        {"claims more than the limit",
         good.left(8) + littleEndian32(quint32(download::kMaxMozLz4Size) + 1) + block},
        {"claims zero", good.left(8) + littleEndian32(0) + block},
        {"claims one byte more", good.left(8) + littleEndian32(size + 1) + block},
        {"claims one byte less", good.left(8) + littleEndian32(size - 1) + block},
        {"truncated block", good.left(good.size() - 20)},
        {"block of junk", good.left(12) + QByteArray(200, '\xff')},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(download::decodeMozLz4(c.file)) << c.what;
}

TEST(FirefoxBookmarks, NewestBackupOfEveryListedProfile) {
    qbtest::TempHome home;
    const QString firefox = home.root() + "/firefox";
    const QString work = home.root() + "/elsewhere/work-profile";
    ASSERT_TRUE(qbtest::writeFile(firefox + "/profiles.ini", R"([Install4F96D1932A9F858E]
Default=abcd1234.default-esr
Locked=1

[Profile1]
Name=work
IsRelative=0
Path=)" + work.toUtf8() + R"(

[Profile0]
Name=default-esr
IsRelative=1
Path=abcd1234.default-esr
Default=1

[Profile2]
Name=gone
IsRelative=1
Path=missing.profile

[General]
StartWithLastProfile=1
Version=2
)"));
    const QString backups = firefox + "/abcd1234.default-esr/bookmarkbackups/";
    const QByteArray older =
        R"({"type":"text/x-moz-place-container","children":[{"root":"toolbarFolder",)"
        R"("type":"text/x-moz-place-container","children":[{"title":"Old","type":"text/x-moz-place",)"
        R"("uri":"https://old.example/"}]}]})";
    ASSERT_TRUE(
        writeFileAt(backups + "bookmarks-2023-11-15_2_AAAA.jsonlz4", mozLz4(older), kOlder));
    ASSERT_TRUE(writeFileAt(backups + "bookmarks-2023-11-14_3_BBBB.jsonlz4", mozLz4(kFirefoxBackup),
                            kNewer));
    ASSERT_TRUE(qbtest::writeFile(firefox + "/abcd1234.default-esr/bookmarks.html",
                                  "<DT><A HREF=\"https://export.example/\">Export</A>\n"));
    ASSERT_TRUE(qbtest::writeFile(work + "/bookmarks.html", kFirefoxExport));

    EXPECT_EQ(outline(download::readFirefoxBookmarks(firefox)),
              "work/\n" + bmtest::indented(QString::fromUtf8(kFirefoxExportOutline)) +
                  "default-esr/\n" + bmtest::indented(kFirefoxBackupOutline));
}

// A broken newest backup falls back to the one before; a profile with only broken files
// leaves its group out.
TEST(FirefoxBookmarks, ABrokenNewestBackupFallsBackToTheOneBefore) {
    const QByteArray good = mozLz4(kFirefoxBackup);
    const QByteArray notABackup = mozLz4(R"({"type":"text/x-moz-place-container","children":[]})");
    // The ways a file fails to decode are the decoder's table; one stands for them here.
    for (const QByteArray& broken :
         {QByteArray("mozLz41\0", 8) + good.mid(8), notABackup, mozLz4("{\"type\": [")}) {
        qbtest::TempHome home;
        const QString firefox = home.root() + "/firefox";
        const QString backups = firefox + "/x1.default/bookmarkbackups/";
        ASSERT_TRUE(writeFileAt(backups + "bookmarks-b.jsonlz4", broken, kNewer));
        EXPECT_EQ(outline(download::readFirefoxBookmarks(firefox)), "(none)");
        ASSERT_TRUE(writeFileAt(backups + "bookmarks-a.jsonlz4", good, kOlder));
        EXPECT_EQ(outline(download::readFirefoxBookmarks(firefox)), kFirefoxBackupOutline);
    }
}

TEST(FirefoxBookmarks, WithoutProfilesIniEveryProfileFolderIsLookedAt) {
    qbtest::TempHome home;
    const QString firefox = home.root() + "/firefox";
    ASSERT_TRUE(qbtest::writeFile(firefox + "/Crash Reports/events/x", "junk"));
    ASSERT_TRUE(
        qbtest::writeFile(firefox + "/q9w8e7r6.default-release/bookmarks.html", kFirefoxExport));
    EXPECT_EQ(outline(download::readFirefoxBookmarks(firefox)),
              QString::fromUtf8(kFirefoxExportOutline));
}
