#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "library/Categories.h"
#include "library/LibraryPaths.h"
#include "library/Sections.h"
#include "platform/Profile.h"

namespace {

using namespace library;

TEST(LibraryPaths, FilesSitInTheProgramFolder) {
    qbtest::TempHome home;
    EXPECT_EQ(sectionListPath(), home.file("Headers.ini"));
    EXPECT_EQ(sectionFilePath("Programs"), home.file("Programs.ini"));
    EXPECT_EQ(recordFilePath("Programs", "FTP Files"), home.file("Programs-FTP Files.ini"));
    EXPECT_EQ(sectionDirectory("/data/lib", "Programs"), "/data/lib/Programs/");
    EXPECT_EQ(sectionDirectory("/data/lib/", "Programs"), "/data/lib/Programs/");
    EXPECT_EQ(folderDirectory("/data/lib/Programs/", "Games"), "/data/lib/Programs/Games/");
}

TEST(LibraryPaths, NamesFromADamagedListStayInsideTheLibrary) {
    qbtest::TempHome home;
    EXPECT_EQ(folderDirectory("/lib/Programs/", ".."), "/lib/Programs/_../");
    EXPECT_EQ(folderDirectory("/lib/Programs/", ""), "/lib/Programs/_/");
    EXPECT_EQ(folderDirectory("/lib/Programs/", "../../etc"), "/lib/Programs/.._.._etc/");
    EXPECT_EQ(recordFilePath("a/b", "."), home.file("a_b-_..ini"));
    EXPECT_EQ(sectionFilePath("Games [old]"), home.file("Games [old].ini"));
}

TEST(Sections, AppendAddsNumberedEntriesInOrder) {
    qbtest::TempHome home;
    EXPECT_EQ(sectionCount(), 0);
    EXPECT_EQ(appendSection("Programs", "/lib/Programs/"), 1);
    EXPECT_EQ(appendSection("Research", "/lib/Research/"), 2);
    EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")),
              "[Main]\nNumHeads=2\n[Header1]\nName=Programs\nLocation=/lib/Programs/\n"
              "[Header2]\nName=Research\nLocation=/lib/Research/\n");
    EXPECT_EQ(sectionNames(), QStringList({"Programs", "Research"}));
    EXPECT_EQ(sectionLocation(2), "/lib/Research/");
    EXPECT_EQ(sectionName(3), "");
}

TEST(Sections, AppendFollowsTheStoredCount) {
    qbtest::TempHome home;
    // A count that disagrees with the entries is trusted, as every reader trusts it.
    ASSERT_TRUE(
        qbtest::writeFile(home.file("headers.ini"),
                          "[main]\nnumheads=1\n[Header1]\nName=A\n[Header2]\nName=Stale\n"));
    EXPECT_EQ(appendSection("B", "/b/"), 2);
    EXPECT_EQ(sectionNames(), QStringList({"A", "B"}));
    EXPECT_EQ(qbtest::readFile(home.file("headers.ini")),
              "[main]\nnumheads=2\n[Header1]\nName=A\n[Header2]\nName=B\nLocation=/b/\n");
}

// Entry k of 4 goes; the others keep their order and move up; the last ini section is
// erased and the count is 3.
TEST(Categories, RemovalMovesLaterEntriesUpAndErasesTheLast) {
    const QStringList names = {"One", "Two", "Three", "Four"};
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        qbtest::TempHome home;
        for (const QString& name : names)
            appendCategory("Programs", name, int(name.size()));
        removeCategory("Programs", k);
        QStringList expected = names;
        expected.removeAt(k - 1);
        EXPECT_EQ(categoryCount("Programs"), 3);
        EXPECT_EQ(categoryNames("Programs"), expected);
        for (int i = 1; i <= 3; ++i)
            EXPECT_EQ(categoryIcon("Programs", i), expected[i - 1].size());
        const platform::IniFile file(sectionFilePath("Programs"));
        EXPECT_EQ(file.readSections(), QStringList({"Main", "Cat1", "Cat2", "Cat3"}));
    }
}

TEST(Sections, RemovalOfEntryTwoOfFour) {
    qbtest::TempHome home;
    for (const char* name : {"Programs", "Research", "Internet", "Music"})
        appendSection(name, QString("/lib/%1/").arg(name));
    removeSection(2);
    EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")),
              "[Main]\nNumHeads=3\n[Header1]\nName=Programs\nLocation=/lib/Programs/\n"
              "[Header2]\nName=Internet\nLocation=/lib/Internet/\n"
              "[Header3]\nName=Music\nLocation=/lib/Music/\n");
}

TEST(Sections, RemovalOutsideTheListChangesNothing) {
    qbtest::TempHome home;
    appendSection("Only", "/lib/Only/");
    const QByteArray before = qbtest::readFile(home.file("Headers.ini"));
    removeSection(0);
    removeSection(2);
    removeSection(-1);
    EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")), before);
    removeSection(1);
    EXPECT_EQ(sectionCount(), 0);
    EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")), "[Main]\nNumHeads=0\n");
}

TEST(Categories, ExchangeSwapsNameAndIcon) {
    qbtest::TempHome home;
    appendCategory("Programs", "Productivity", 39);
    appendCategory("Programs", "Games", 46);
    appendCategory("Programs", "Utilities", 1);
    exchangeCategories("Programs", 1, 3);
    EXPECT_EQ(categoryNames("Programs"), QStringList({"Utilities", "Games", "Productivity"}));
    EXPECT_EQ(categoryIcon("Programs", 1), 1);
    EXPECT_EQ(categoryIcon("Programs", 3), 39);
    const QByteArray before = qbtest::readFile(sectionFilePath("Programs"));
    exchangeCategories("Programs", 2, 2);
    exchangeCategories("Programs", 2, 4); // no entry 4
    EXPECT_EQ(qbtest::readFile(sectionFilePath("Programs")), before);
}

TEST(Lookups, LastExactMatchOrZero) {
    qbtest::TempHome home;
    EXPECT_EQ(HeaderNumber("Programs"), 0); // no Headers.ini at all
    EXPECT_FALSE(QFile::exists(home.file("Headers.ini")));
    appendSection("Programs", "/a/");
    appendSection("Research", "/b/");
    appendSection("Programs", "/c/");
    EXPECT_EQ(HeaderNumber("Programs"), 3);
    EXPECT_EQ(HeaderNumber("Research"), 2);
    EXPECT_EQ(HeaderNumber("programs"), 0); // letter case counts
    EXPECT_EQ(HeaderNumber("Programs "), 0);
    EXPECT_EQ(HeaderNumber(""), 0);

    appendCategory("Research", "School", 15);
    appendCategory("Research", "Office", 30);
    EXPECT_EQ(CategoryNumber("Research", "Office"), 2);
    EXPECT_EQ(CategoryNumber("Research", "office"), 0);
    EXPECT_EQ(CategoryNumber("Programs", "Office"), 0); // another section's file
}

TEST(Lookups, EntriesWithoutANameReadAsEmpty) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(sectionFilePath("Programs"),
                                  "[Main]\nNumCats=3\n[Cat1]\nName=A\n[Cat3]\nIcon=junk\n"));
    EXPECT_EQ(categoryNames("Programs"), QStringList({"A", "", ""}));
    EXPECT_EQ(categoryIcon("Programs", 3), 0);
    EXPECT_EQ(CategoryNumber("Programs", ""), 3);
}

TEST(Lookups, ADamagedCountIsBounded) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(home.file("Headers.ini"), "[Main]\nNumHeads=-4\n"));
    EXPECT_EQ(sectionCount(), 0);
    EXPECT_TRUE(sectionNames().isEmpty());
    EXPECT_EQ(appendSection("New", "/n/"), 1);
    ASSERT_TRUE(qbtest::writeFile(home.file("Headers.ini"), "[Main]\nNumHeads=2000000000\n"));
    EXPECT_EQ(sectionCount(), 65536);
}

} // namespace
