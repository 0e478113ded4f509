#include <gtest/gtest.h>

#include <utility>

#include "handoff/HandOff.h"

namespace {

// A record as the helper sends it: length byte, then the characters.
QByteArray record(const QByteArray& counted) {
    return char(counted.size()) + counted;
}

TEST(HandOff, PayloadsGiveTheirFields) {
    struct Case {
        const char* what;
        QByteArray copyData;
        QString source, url, description, fileName, urlDirectory, protocol;
    };
    const Case cases[] = {
        {"IE with URL and description", record("IE\rhttp://host/dir/setup.exe\rSetup"), "IE",
         "http://host/dir/setup.exe", "Setup", "setup.exe", "http://host/dir/", "http"},
        {"IE with https: the HTTP family, the URL unchanged", record("IE\rhttps://host/d/a.zip\r"),
         "IE", "https://host/d/a.zip", "", "a.zip", "https://host/d/", "http"},
        {"an https source is the HTTP family too", record("https\rhttps://host/a.zip\r"), "https",
         "https://host/a.zip", "", "a.zip", "https://host/", "http"},
        {"a port's colon is not the name's start", record("http\rhttp://host:8080/get/a.zip\r"),
         "http", "http://host:8080/get/a.zip", "", "a.zip", "http://host:8080/get/", "http"},
        {"a trailing slash names no file", record("ftp\rftp://host/pub/\rdir"), "ftp",
         "ftp://host/pub/", "dir", "", "ftp://host/pub/", "ftp"},
        {"characters a file name cannot hold are dropped", record("IE\rhttp://host/cgi?f=a|b\r"),
         "IE", "http://host/cgi?f=a|b", "", "cgif=ab", "http://host/cgi?f=a|b", "http"},
        {"after the last backslash", record("http\rhttp://host/x\\y\\z.bin\r"), "http",
         "http://host/x\\y\\z.bin", "", "z.bin", "http://host/x\\y\\", "http"},
        {"length byte 0", record("") + "IE\rhttp://host/a.zip\rignored", "", "", "", "", "", ""},
        {"empty record", QByteArray(), "", "", "", "", "", ""},
        {"no carriage return: all description", record("just words"), "", "", "just words", "", "",
         ""},
        {"one carriage return: no URL yet", record("IE\rhttp://h/a.zip"), "IE", "",
         "http://h/a.zip", "", "", ""},
        {"further carriage returns stay in the description",
         record("http\rhttp://h/a.zip\rline 1\rline 2\r"), "http", "http://h/a.zip",
         "line 1\rline 2\r", "a.zip", "http://h/", "http"},
        {"bytes after the counted ones are not read",
         record("http\rhttp://h/a.zip\rdesc") + "\rmore", "http", "http://h/a.zip", "desc", "a.zip",
         "http://h/", "http"},
        {"a NUL among the counted bytes counts", record(QByteArray("IE\rhttp://h/x\0y\rd", 17)),
         "IE", QString::fromLatin1("http://h/x\0y", 12), "d", "xy",
         QString::fromLatin1("http://h/x\0y", 12), "http"},
        {"IE without any slash gives no protocol", record("IE\rmailto:me\r"), "IE", "mailto:me", "",
         "me", "mailto:", ""},
        {"IE with a leading slash gives no protocol", record("IE\r/files/a.zip\r"), "IE",
         "/files/a.zip", "", "a.zip", "/files/", ""},
        {"a dot-dot name is no name", record("http\rhttp://h/dir/..\r"), "http", "http://h/dir/..",
         "", "", "http://h/dir/..", "http"},
        {"the name goes where it ends the URL", record("http\rhttp://a.zip.example/a.zip\r"),
         "http", "http://a.zip.example/a.zip", "", "a.zip", "http://a.zip.example/", "http"},
        {"a length byte beyond the record reads only the record",
         "\xff"
         "http\rhttp://h/a.zip\rd",
         "http", "http://h/a.zip", "d", "a.zip", "http://h/", "http"},
        {"UTF-8 where valid", record("http\rhttp://h/caf\xc3\xa9.zip\rR\xc3\xa9sum\xc3\xa9"),
         "http", "http://h/café.zip", "Résumé", "café.zip", "http://h/", "http"},
        // The system code page's bytes: a lone 0xE9 is no UTF-8, so it is Latin-1 "é".
        {"Latin-1 elsewhere", record("http\rhttp://h/caf\xe9.zip\r\xe9t\xe9"), "http",
         "http://h/café.zip", "été", "café.zip", "http://h/", "http"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HandOffRequest r = parseHandOff(c.copyData);
        EXPECT_EQ(r.source, c.source);
        EXPECT_EQ(r.url, c.url);
        EXPECT_EQ(r.description, c.description);
        EXPECT_EQ(r.fileName, c.fileName);
        EXPECT_EQ(r.urlDirectory, c.urlDirectory);
        EXPECT_EQ(r.protocol, c.protocol);
    }
}

TEST(HandOff, DerivedNamesNeverCarryAPathOrControlCharacter) {
    const char* const urls[] = {"http://h/a/b/..",
                                "http://h/.",
                                "http://h/x:..",
                                "http://h/a\\..",
                                "ftp://h/\t\x01name\x1f.bin",
                                "http://h/\"<a>\"*?.zip"};
    const char* const names[] = {"", "", "", "", "name.bin", "a.zip"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(urls[i]);
        EXPECT_EQ(fileNameFromUrl(QString::fromLatin1(urls[i])), QString::fromLatin1(names[i]));
    }
}

TEST(HandOff, TheSourceOfAUrlIsItsSchemesFamily) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/a.zip", "http"}, {"HTTP://h/c.zip", "http"}, {"https://h/d.zip", "http"},
        {"Ftp://h/e.zip", "ftp"},   {"gopher://h/a.zip", ""},   {"a.zip", ""},
        {"://h/a.zip", ""}};
    for (const auto& [url, source] : cases)
        EXPECT_EQ(handOffSourceOf(url), source) << url;
}

TEST(HandOff, HelperRecordsReadBackAndLongOnesAreCutOrRefused) {
    const auto plain = encodeHandOff("IE", "http://h/a.zip", "A file");
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(*plain, record("IE\rhttp://h/a.zip\rA file"));

    // The description is cut to fit, never inside a character.
    const QString longDescription = QString(300, QChar(0x00e9));
    const auto cut = encodeHandOff("http", "http://h/a.zip", longDescription);
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(uchar(cut->at(0)), cut->size() - 1);
    EXPECT_LE(cut->size(), 256);
    const HandOffRequest back = parseHandOff(*cut);
    EXPECT_EQ(back.url, "http://h/a.zip");
    EXPECT_FALSE(back.description.isEmpty());
    EXPECT_TRUE(longDescription.startsWith(back.description));
    EXPECT_EQ(back.description.toUtf8().size() + 2 + 4 + 14, cut->size() - 1);

    // A URL that cannot fit is refused rather than cut.
    EXPECT_FALSE(encodeHandOff("http", "http://h/" + QString(250, 'x'), "").has_value());
}

} // namespace
