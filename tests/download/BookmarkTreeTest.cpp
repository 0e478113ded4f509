#include <gtest/gtest.h>

#include <sys/stat.h>

#include "BookmarkTestSupport.h"
#include "TestEnvironment.h"
#include "download/BookmarkTree.h"

using download::BookmarkNode;
using download::BookmarkTreeBuilder;

// 46 characters or more keep their ends; characters outside the basic plane (two UTF-16
// units each) count as one and are never cut.
TEST(BookmarkCaption, TextsOf46CharactersOrMoreKeepTheirEnds) {
    struct Case {
        QString text;
        QString shown;
    };
    const QString digits = QString("0123456789").repeated(4);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x93\xA6");
    for (const Case& c : {
             Case{"", ""},
             Case{"Short", "Short"},
             Case{digits + "abcde", digits + "abcde"}, // 45: unchanged
             Case{digits + "abcdef", "012345678901234567890...567890123456789abcdef"},
             Case{"Downloads - Debian packages for the stable amd64 release 12.",
                  "Downloads - Debian pa...ble amd64 release 12."},
             Case{emoji.repeated(45), emoji.repeated(45)},
             Case{emoji.repeated(46), emoji.repeated(21) + "..." + emoji.repeated(21)},
         })
        EXPECT_EQ(download::shortenCaption(c.text), c.shown) << c.text.toStdString();
}

TEST(BookmarkTreeBuilder, BuildsNestedFoldersAndCleansCaptions) {
    BookmarkNode root;
    BookmarkTreeBuilder b(root);
    b.openFolder("Tools");
    b.addLink("Tab\there", "http://a/");
    b.addSeparator();
    EXPECT_TRUE(b.closeFolder());
    EXPECT_FALSE(b.closeFolder()) << "the top level has no parent to return to";
    b.addLink("Top", "http://b/");
    EXPECT_EQ(bmtest::outline(root), "Tools/\n  Tab here = http://a/\n  ---\nTop = http://b/\n");
}

TEST(BookmarkTreeBuilder, StopsTakingEntriesAtTheLimitButKeepsLevelsBalanced) {
    BookmarkNode root;
    BookmarkTreeBuilder b(root);
    for (int i = 0; i < download::kMaxBookmarkEntries - 1; ++i)
        b.addSeparator();
    b.openFolder("last one in");
    b.openFolder("dropped");
    b.addLink("dropped", "http://x/");
    EXPECT_TRUE(b.full());
    EXPECT_TRUE(b.closeFolder());
    EXPECT_TRUE(b.closeFolder());
    EXPECT_FALSE(b.closeFolder());
    ASSERT_EQ(int(root.children.size()), download::kMaxBookmarkEntries);
    EXPECT_TRUE(root.children.back().isFolder());
    EXPECT_TRUE(root.children.back().empty());
}

TEST(BookmarkFileRead, OnlyRegularFilesWithinTheLimitAreRead) {
    qbtest::TempHome home;
    const QString dir = home.root() + "/files";
    ASSERT_TRUE(qbtest::writeFile(dir + "/ten", "0123456789"));
    const QString fifo = dir + "/pipe";
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);

    EXPECT_EQ(download::readBoundedFile(dir + "/ten", 10), QByteArray("0123456789"));
    EXPECT_FALSE(download::readBoundedFile(dir + "/ten", 9));
    EXPECT_FALSE(download::readBoundedFile(dir + "/missing"));
    EXPECT_FALSE(download::readBoundedFile(dir));
    // A pipe would block the read for ever.
    EXPECT_FALSE(download::readBoundedFile(fifo));
}
