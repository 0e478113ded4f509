#include <gtest/gtest.h>

#include "BookmarkTestSupport.h"
#include "download/BookmarkHtml.h"

using download::parseNetscapeBookmarks;

namespace {
QString outlineOf(const QByteArray& content) {
    return bmtest::outline(parseNetscapeBookmarks(content));
}
} // namespace

TEST(NetscapeBookmarkLine, LinksWithEveryKindOfHrefQuoting) {
    struct Case {
        const char* line;
        const char* outline;
    };
    const Case cases[] = {
        {"<DT><A HREF='http://a.example/x.zip'>Single</A>", "Single = http://a.example/x.zip\n"},
        {"<DT><A HREF=\"http://b.example/y?q=1&r=2\" ADD_DATE=\"1\">Double</A>",
         "Double = http://b.example/y?q=1&r=2\n"},
        {"<DT><A HREF=http://c.example/z>Bare</A>", "Bare = http://c.example/z\n"},
        {"<DT><A HREF=http://d.example/ ADD_DATE=5>Blank ends it</A>",
         "Blank ends it = http://d.example/\n"},
        {"<DT><A HREF = \"http://e.example/\">Spaced</A>", "Spaced = http://e.example/\n"},
        {"  <DT><A ADD_DATE=\"7\" HREF=\"ftp://f.example/pub/\">FTP</A>",
         "FTP = ftp://f.example/pub/\n"},
        // Inside quotation marks a blank still ends the URL.
        {"<DT><A HREF=\"http://g.example/a b\">Gap</A>", "Gap = http://g.example/a\n"},
        {"<DT><A HREF=\"http://h.example/\">Tom &amp; Jerry &#39;s &lt;b&gt;</A>",
         "Tom & Jerry 's <b> = http://h.example/\n"},
        {"<DT><A HREF=\"http://i.example/\">Unfinished", "Unfinished = http://i.example/\n"},
        {"<DT><A HREF=\"\">No address</A>", "No address = \n"},
        // No ">" after the URL: no caption, no item.
        {"<DT><A HREF=\"http://j.example/\"", ""},
        // Every test is case-sensitive.
        {"<dt><a href=\"http://k.example/\">lower case</a>", ""},
        {"<DT><AHREF=\"http://l.example/\">no anchor blank</A>", ""},
        {"<DT>HREF=\"http://m.example/\">no anchor</A>", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(outlineOf(c.line), QString::fromUtf8(c.outline)) << c.line;
}

// A bookmarks.html as Firefox exports it, with nested folders as Navigator wrote them:
// folders close at </DL>, rulers become separators, descriptions and attributes are skipped.
TEST(NetscapeBookmarkFile, FoldersCloseAtDlAndRulersBecomeSeparators) {
    const QByteArray file = R"(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<!-- This is an automatically generated file.
     It will be read and overwritten.
     DO NOT EDIT! -->
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<meta http-equiv="Content-Security-Policy"
      content="default-src 'self'; script-src 'none'; img-src data: *; object-src 'none'"></meta>
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks Menu</H1>

<DL><p>
    <DT><H3 ADD_DATE="1700000000" LAST_MODIFIED="1700000100">Mozilla Firefox</H3>
    <DL><p>
        <DT><A HREF="https://support.mozilla.org/products/firefox" ADD_DATE="1700000000" LAST_MODIFIED="1700000000" ICON_URI="https://support.mozilla.org/favicon.ico" ICON="data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAAAXNSR0IArs4c6QAAAA==">Get Help</A>
        <DT><H3 ADD_DATE="939384621" FOLDED>Tools &amp; Compilers</H3>
        <DD>Things that build things
        <DL><p>
            <DT><A HREF="http://gcc.example/" LAST_VISIT="0">GCC</A>
        </DL><p>
        <HR>
        <DT><A HREF="https://www.mozilla.org/about/" ADD_DATE="1700000000">About Us</A>
    </DL><p>
    <HR>
    <DT><A HREF="https://www.debian.org/" ADD_DATE="1700000001" SHORTCUTURL="deb">Debian — The Universal Operating System</A>
    <DD>The Debian home page
    <DT><H3>Empty</H3>
    <DL><p>
    </DL><p>
    <DT><H3 ADD_DATE="1700000000" PERSONAL_TOOLBAR_FOLDER="true">Bookmarks Toolbar</H3>
    <DL><p>
        <DT><A HREF="https://cdimage.debian.org/debian-cd/current/amd64/iso-cd/" ADD_DATE="1700000002">CD images &amp; checksums</A>
    </DL><p>
</DL>
)";
    EXPECT_EQ(
        outlineOf(file),
        QString::fromUtf8("Mozilla Firefox/\n"
                          "  Get Help = https://support.mozilla.org/products/firefox\n"
                          "  Tools & Compilers/\n"
                          "    GCC = http://gcc.example/\n"
                          "  ---\n"
                          "  About Us = https://www.mozilla.org/about/\n"
                          "---\n"
                          "Debian — The Universal Operating System = https://www.debian.org/\n"
                          "Empty/\n"
                          "Bookmarks Toolbar/\n"
                          "  CD images & checksums = "
                          "https://cdimage.debian.org/debian-cd/current/amd64/iso-cd/\n"));
}

TEST(NetscapeBookmarkFile, JunkLinesAndUnbalancedClosesLoseNothingThatFollows) {
    QByteArray file("\x00\x01\xff\xfe garbage\n", 13);
    file += "<H3 with no closing bracket\n"; // folder rule matches, no caption: nothing
    file += "</DL><p>\n";                    // a close with nothing open
    file += "<DT><A HREF=\"http://one.example/\">Caf\xe9</A>\r\n"; // Latin-1, CRLF
    file += "<DT><H3>Open\r";                                      // a lone CR ends a line too
    file += "<DT><A HREF=\"http://two.example/\">Inside</A>\n";
    file += "<DL><p><HR></DL>\n"; // "</DL" comes before "<HR"
    file += "</DL>\n</DL>\n</DL>\n";
    file += "<DT><A HREF=\"http://three.example/\">After</A>\n";
    file += "<DT><H3>Never closed</H3>\n<DT><A HREF=\"http://four.example/\">Last</A>";
    EXPECT_EQ(outlineOf(file), QString::fromUtf8("Café = http://one.example/\n"
                                                 "Open/\n"
                                                 "  Inside = http://two.example/\n"
                                                 "After = http://three.example/\n"
                                                 "Never closed/\n"
                                                 "  Last = http://four.example/\n"));
}

TEST(NetscapeBookmarkFile, AFolderBombNeitherOverflowsNorFloodsTheMenu) {
    QByteArray file;
    for (int i = 0; i < 1000; ++i)
        file += "<DT><H3>x</H3>\n";
    file += "<DT><A HREF=\"http://deep.example/\">Deep</A>\n";
    const download::BookmarkNode tree = parseNetscapeBookmarks(file);

    int depth = 0;
    const download::BookmarkNode* node = &tree;
    while (!node->children.empty() && node->children.front().isFolder()) {
        node = &node->children.front();
        ++depth;
    }
    EXPECT_EQ(depth, download::kMaxBookmarkDepth);
    ASSERT_EQ(node->children.size(), 1u);
    EXPECT_EQ(node->children.front().url, "http://deep.example/");

    QByteArray rulers;
    for (int i = 0; i < download::kMaxBookmarkEntries + 500; ++i)
        rulers += "<HR>\n";
    EXPECT_EQ(int(parseNetscapeBookmarks(rulers).children.size()), download::kMaxBookmarkEntries);
}

TEST(HtmlCharacters, KnownReferencesDecodeOthersStay) {
    struct Case {
        const char* text;
        const char* shown;
    };
    for (const Case& c : {Case{"a &amp; b", "a & b"}, Case{"&quot;q&quot; &apos;", "\"q\" '"},
                          Case{"&#65;&#x42;&#X43;", "ABC"}, Case{"&#x1F4E6;", "\xF0\x9F\x93\xA6"},
                          Case{"AT&T; &unknown; & &;", "AT&T; &unknown; & &;"},
                          Case{"&#0; &#xD800; &#x110000; &#9;", "&#0; &#xD800; &#x110000; &#9;"},
                          Case{"&amp", "&amp"}, Case{"&amp;amp;", "&amp;"}})
        EXPECT_EQ(download::decodeHtmlCharacters(QString::fromUtf8(c.text)),
                  QString::fromUtf8(c.shown))
            << c.text;
}
