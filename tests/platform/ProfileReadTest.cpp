#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "platform/Profile.h"

namespace {

// A file of the given bytes in the test's own program folder.
platform::IniFile iniWith(const qbtest::TempHome& home, const QString& name,
                          const QByteArray& bytes) {
    const QString path = home.file(name);
    EXPECT_TRUE(qbtest::writeFile(path, bytes));
    return platform::IniFile(path);
}

template <typename Case> class WithHome : public ::testing::TestWithParam<Case> {
protected:
    qbtest::TempHome home;
};

// Each case: the bytes after "K" on a line of section [S], and what a read returns.
struct ValueCase {
    const char* line;
    const char* expected;
};

using ProfileValueRead = WithHome<ValueCase>;

TEST_P(ProfileValueRead, StripsBlanksAndOnePairOfQuotes) {
    const ValueCase& c = GetParam();
    const platform::IniFile file =
        iniWith(home, "values.ini", QByteArray("[S]\r\nK") + c.line + "\r\n");
    EXPECT_EQ(file.readString("S", "K", "<default>"), QString(c.expected)) << "line: K" << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProfileValueRead,
    ::testing::Values(ValueCase{"=value", "value"}, ValueCase{" =   value  ", "value"},
                      ValueCase{"=\tvalue\t", "value"}, ValueCase{"=\"quoted\"", "quoted"},
                      ValueCase{"='single'", "single"}, ValueCase{"=\" padded \"", " padded "},
                      ValueCase{"=  \"x\"  ", "x"}, ValueCase{"=\"mismatch'", "\"mismatch'"},
                      ValueCase{"=\"", "\""}, ValueCase{"=\"\"", ""},
                      ValueCase{"=\"a\"b\"", "a\"b"}, ValueCase{"=''x''", "'x'"},
                      ValueCase{"=\"open", "\"open"}, ValueCase{"=", ""}, ValueCase{"=a=b", "a=b"},
                      ValueCase{"=x ; not a comment", "x ; not a comment"}));

struct IntegerCase {
    const char* value;
    int expected; // with default -99
};

using ProfileIntegerRead = WithHome<IntegerCase>;

TEST_P(ProfileIntegerRead, UnparsableTextGivesTheDefault) {
    const IntegerCase& c = GetParam();
    const platform::IniFile file =
        iniWith(home, "numbers.ini", QByteArray("[Download]\nSpeed=") + c.value + "\n");
    EXPECT_EQ(file.readInteger("Download", "Speed", -99), c.expected) << "value: " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Integers, ProfileIntegerRead,
    ::testing::Values(IntegerCase{"42", 42}, IntegerCase{"  42  ", 42}, IntegerCase{"-7", -7},
                      IntegerCase{"+7", 7}, IntegerCase{"\"15\"", 15}, IntegerCase{"0x1F", 31},
                      IntegerCase{"$10", 16}, IntegerCase{"abc", -99}, IntegerCase{"12abc", -99},
                      IntegerCase{"1 2", -99}, IntegerCase{"", -99}, IntegerCase{"-", -99},
                      IntegerCase{"0x", -99}, IntegerCase{"2147483647", 2147483647},
                      IntegerCase{"-2147483648", -2147483647 - 1}, IntegerCase{"2147483648", -99},
                      IntegerCase{"99999999999", -99}, IntegerCase{"3.5", -99}));

struct BoolCase {
    const char* value; // nullptr: the key is absent
    bool withTrueDefault;
    bool withFalseDefault;
};

using ProfileBoolRead = WithHome<BoolCase>;

TEST_P(ProfileBoolRead, AnyNonZeroIntegerIsTrue) {
    const BoolCase& c = GetParam();
    QByteArray bytes = "[Main]\n";
    if (c.value)
        bytes += QByteArray("Flag=") + c.value + "\n";
    const platform::IniFile file = iniWith(home, "flags.ini", bytes);
    EXPECT_EQ(file.readBool("Main", "Flag", true), c.withTrueDefault) << c.value;
    EXPECT_EQ(file.readBool("Main", "Flag", false), c.withFalseDefault) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Booleans, ProfileBoolRead,
                         ::testing::Values(BoolCase{"1", true, true}, BoolCase{"2", true, true},
                                           BoolCase{"-1", true, true}, BoolCase{"0", false, false},
                                           BoolCase{"yes", true, false},
                                           BoolCase{"true", true, false}, BoolCase{"", true, false},
                                           BoolCase{nullptr, true, false}));

// Which line a lookup finds, in files of every shape.
TEST(ProfileRead, LookupsFindTheirLine) {
    const QByteArray dup = "[S]\nA=first\nA=second\n[T]\nX=1\n[s]\nA=third\nB=only in the second\n";
    const QByteArray orphan = "Orphan=before any section\n[Main]\nKey=v\n";
    const QByteArray styles = "\xEF\xBB\xBF[A]\r\nK=crlf\r\n[B]\nK=lf\n[C]\rK=cr\r[D]\nK=end";
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"names without case", "[ToolBar]\nOpenwhen=1\n", "toolbar", "OPENWHEN", "1"},
        {"non-ASCII names without case", "[Grüße]\nÄrger=2\n", "GRÜßE", "ärger", "2"},
        {"...both ways", "[Grüße]\nÄrger=2\n", "grüße", "ÄRGER", "2"},
        {"...but no other folding", "[Grüße]\nÄrger=2\n", "grusse", "arger", "<default>"},
        {"the first key wins", dup, "S", "A", "first"},
        {"only the first section of a name is seen", dup, "S", "B", "<default>"},
        {"missing section", orphan, "Other", "Key", "<default>"},
        {"missing key", orphan, "Main", "Other", "<default>"},
        {"a key before any section", orphan, "", "Orphan", "<default>"},
        {"a header runs to the last bracket", "[movie [1080p].mkv]\nDesc=film\n",
         "movie [1080p].mkv", "Desc", "film"},
        {"a header's blanks and comment", "[ spaced ] ; note\nK=v\n", "spaced", "K", "v"},
        {"byte order mark and CRLF", styles, "A", "K", "crlf"},
        {"LF", styles, "B", "K", "lf"},
        {"CR", styles, "C", "K", "cr"},
        {"no final line break", styles, "D", "K", "end"},
    };
    qbtest::TempHome home;
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const platform::IniFile file = iniWith(home, QString("f%1.ini").arg(i), c.bytes);
        EXPECT_EQ(file.readString(c.section, c.key, "<default>"), QString(c.expected));
    }
}

TEST(ProfileRead, ReadsAreCutTo1023Characters) {
    qbtest::TempHome home;
    const QByteArray x(2000, 'x');
    const QByteArray quoted = "\"" + QByteArray(1023, 'q') + "\"";
    QByteArray euro;
    for (int i = 0; i < 1100; ++i)
        euro += "€";
    const platform::IniFile file =
        iniWith(home, "long.ini", "[L]\nX=" + x + "\nQ=" + quoted + "\nE=" + euro + "\n");
    EXPECT_EQ(file.readString("L", "X", ""), QString(1023, 'x'));
    EXPECT_EQ(file.readString("L", "Q", ""), QString(1023, 'q'));
    EXPECT_EQ(file.readString("L", "E", ""), QString(1023, QChar(0x20AC)));
    EXPECT_EQ(file.readSectionValues("L").first(), "X=" + QString(1023, 'x'));
}

TEST(ProfileRead, ListsEverySectionWithoutASizeLimit) {
    qbtest::TempHome home;
    QByteArray bytes;
    QStringList expected;
    for (int i = 0; i < 2000; ++i) {
        const QString name = QString("a rather long file name number %1.zip").arg(i);
        expected << name;
        bytes += "[" + name.toUtf8() + "]\nDesc=d\n";
    }
    EXPECT_EQ(iniWith(home, "many.ini", bytes).readSections(), expected);
}

TEST(ProfileRead, SectionListingsAndExistence) {
    qbtest::TempHome home;
    const platform::IniFile file =
        iniWith(home, "list.ini",
                "[Rec]\n; comment\nDesc = \"A file\" \n\nno equals sign\n"
                "Source=http://x/?a=b\n[Empty]\n; only a comment\n");
    EXPECT_EQ(file.readSection("rec"), QStringList({"Desc", "Source"}));
    EXPECT_EQ(file.readSectionValues("REC"), QStringList({"Desc=A file", "Source=http://x/?a=b"}));
    EXPECT_TRUE(file.sectionExists("rec"));
    EXPECT_FALSE(file.sectionExists("Empty")); // no keys
    EXPECT_FALSE(file.sectionExists("Nope"));
    EXPECT_TRUE(file.valueExists("Rec", "source"));
    EXPECT_FALSE(file.valueExists("Rec", "Notes"));
    EXPECT_FALSE(file.valueExists("Rec", "; comment"));

    // Sections of one name are listed each, their values from the first one.
    const platform::IniFile dup =
        iniWith(home, "dup.ini", "[S]\nA=first\nA=second\n[T]\nX=1\n[s]\nA=third\n");
    EXPECT_EQ(dup.readSections(), QStringList({"S", "T", "s"}));
    EXPECT_EQ(dup.readSectionValues("S"), QStringList({"A=first", "A=first"}));
    const platform::IniFile brackets =
        iniWith(home, "brackets.ini", "[a [b].c]\nK=v\n[ spaced ] ; note\nK=v\n[unclosed\nK=v\n");
    EXPECT_EQ(brackets.readSections(), QStringList({"a [b].c", "spaced"}));

    const platform::IniFile missing(home.file("nothing-here.ini"));
    EXPECT_EQ(missing.readString("Main", "Key", "def"), "def");
    EXPECT_EQ(missing.readInteger("Main", "Key", 7), 7);
    EXPECT_TRUE(missing.readSections().isEmpty());
    EXPECT_FALSE(missing.sectionExists("Main"));
}

} // namespace
