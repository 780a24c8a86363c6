// The profile loader: cleaning, line cutting and building the section list,
// driven through CProfile::LoadText.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "profile/profile.h"

namespace {

// "[A]X=1;Z=3;[B]Y=2;": the whole list in file order.
std::string Dump(const CSectionList& list) {
    std::string out;
    for (const SECTION_LIST* s = list.head(); s; s = s->next) {
        out += "[" + s->name + "]";
        for (const LINE_LIST* l = s->lines; l; l = l->next) out += l->key + "=" + l->value + ";";
    }
    return out;
}

std::string Load(const std::string& text) {
    CSectionList list;
    CProfile::LoadText(text.data(), text.size(), list);
    return Dump(list);
}

// Links both ways, tails, owners and the index agree with a walk.
void ExpectConsistent(const CSectionList& list) {
    size_t sections = 0;
    const SECTION_LIST* prev = nullptr;
    for (const SECTION_LIST* s = list.head(); s; s = s->next) {
        ++sections;
        ASSERT_EQ(s->prev, prev);
        ASSERT_EQ(list.FindSection(s->name.c_str()), s) << s->name;
        ASSERT_LE(s->name.size(), kMaxSectionName);
        const LINE_LIST* lprev = nullptr;
        for (const LINE_LIST* l = s->lines; l; l = l->next) {
            ASSERT_EQ(l->prev, lprev);
            ASSERT_EQ(l->section, s);
            ASSERT_LE(l->key.size(), kMaxKey);
            ASSERT_LE(l->value.size(), kMaxValue);
            lprev = l;
        }
        ASSERT_EQ(s->last, lprev);
        prev = s;
    }
    ASSERT_EQ(sections, list.SectionCount());
}

struct LoadCase {
    const char* what;
    std::string text;
    std::string expected;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.what; }

class LoadTextTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadTextTest, BuildsList) {
    const LoadCase& c = GetParam();
    CSectionList list;
    CProfile::LoadText(c.text.data(), c.text.size(), list);
    EXPECT_EQ(Dump(list), c.expected) << c.what;
    ExpectConsistent(list);
}

using namespace std::string_literals;

const LoadCase kLoadCases[] = {
    {"empty text", "", ""},
    {"key lines without a header are dropped", "K=1\r\nL=2\r\n", ""},
    {"header blanks trimmed", "[ Setup ]\r\nK=1\r\n", "[Setup]K=1;"},
    {"quotes and brackets trimmed from the header", "[\"Quoted\"]\r\nK=1\r\n", "[Quoted]K=1;"},
    {"repeated header merges into the first",
     "[A]\r\nX=1\r\n[B]\r\nY=2\r\n[a]\r\nZ=3\r\n", "[A]X=1;Z=3;[B]Y=2;"},
    {"split at the first equals sign", "[S]\r\nKEY = a = b\r\n", "[S]KEY=a = b;"},
    {"key alone", "[S]\r\nKEY\r\n", "[S]KEY=;"},
    {"empty key", "[S]\r\n= v\r\n", "[S]=v;"},
    {"blanks and tabs trimmed", "\t[S] \r\n \tK\t=\t v \t\r\n", "[S]K=v;"},
    {"last line without a break still counts", "[S]\r\nK=1", "[S]K=1;"},
    {"bare LF and bare CR end lines", "[S]\nA=1\rB=2\n", "[S]A=1;B=2;"},
    {"blank lines vanish", "[S]\r\n\r\n\n\r\n\rK=1\r\n\r\n", "[S]K=1;"},
    {"trailing line comment", "[S]\r\nKEY = 1 // note\r\nN=2\r\n", "[S]KEY=1;N=2;"},
    {"line comment after a header", "[S] // note\r\nK=1\r\n", "[S]K=1;"},
    {"comment line and the blank lines after it", "[S]\r\nA=1\r\n// note\r\n\r\n\r\nB=2\r\n",
     "[S]A=1;B=2;"},
    {"comment as the first line", "// note\r\n[S]\r\nK=1\r\n", "[S]K=1;"},
    // The comment's line breaks are the last bytes of the text: the line
    // before the comment is still closed, so the last key is not lost.
    {"trailing line comment on the last line", "[S]\r\nA=0\r\nKEY = 1 // note\r\n",
     "[S]A=0;KEY=1;"},
    {"comment after the last line without a break", "[S]\r\nKEY = 1 // note", "[S]KEY=1;"},
    {"comment line last, after blank lines", "[S]\r\nK=1\r\n\r\n// end\r\n\r\n", "[S]K=1;"},
    {"block comment over three lines", "[S]\r\nA=1\r\n/* one\r\ntwo\r\nthree */\r\nB=2\r\n",
     "[S]A=1;B=2;"},
    {"block comment inside a line", "[S]\r\nK=a/*x*/b\r\n", "[S]K=ab;"},
    {"block comment joins lines", "[S]\r\nK=a/*\r\n*/b\r\n", "[S]K=ab;"},
    {"/*/ does not close itself", "[S]\r\nA=1/*/B=2*/\r\nC=3\r\n", "[S]A=1;C=3;"},
    {"unterminated block comment drops the rest and its line",
     "[S]\r\nA=1\r\nB=2 /* open\r\n[T]\r\nC=3\r\n", "[S]A=1;"},
    {"a single slash is text", "[S]\r\nK=a/b\r\n", "[S]K=a/b;"},
    {"comment markers in quotes are text", "[S]\r\nURL = \"http://x/*y*/\" // gone\r\nN=2\r\n",
     "[S]URL=\"http://x/*y*/\";N=2;"},
    {"an odd quote turns comments off for the rest",
     "[S]\r\nA=\"x\r\n// not a comment\r\nB=2 /* kept */\r\n",
     "[S]A=\"x;// not a comment=;B=2 /* kept */;"},
    {"a closing quote turns them on again", "[S]\r\nA=\"x\r\nB=y\" // gone\r\nN=1\r\n",
     "[S]A=\"x;B=y\";N=1;"},
    {"NUL ends the text, its line is dropped", "[S]\r\nA=1\r\nB=\0 2\r\nC=3\r\n"s, "[S]A=1;"},
    {"NUL inside a comment is removed with it", "[S]\r\nA=1 /* \0 */\r\nC=3\r\n"s,
     "[S]A=1;C=3;"},
    {"header must end with ]", "[S]\r\n[T\r\nK=1\r\n", "[S][T=;K=1;"},
    {"empty header names a section", "[]\r\nK=1\r\n", "[]K=1;"},
};

std::string CaseName(const testing::TestParamInfo<LoadCase>& info) {
    std::string name;
    bool upper = true;
    for (const char* p = info.param.what; *p; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p))) {
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p;
            upper = false;
        } else {
            upper = true;
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, LoadTextTest, testing::ValuesIn(kLoadCases), CaseName);

TEST(LoadText, LinesUpTo4095BytesLoad) {
    struct {
        size_t lineLength;
        bool loads;
    } cases[] = {{kMaxLine, true}, {kMaxLine + 1, false}};
    for (const auto& c : cases) {
        const std::string value(c.lineLength - 2, 'v');
        CSectionList list;
        const std::string text = "[S]\r\nA=1\r\nK=" + value + "\r\nB=2\r\n";
        CProfile::LoadText(text.data(), text.size(), list);
        EXPECT_EQ(Dump(list), c.loads ? "[S]A=1;K=" + value + ";B=2;" : "[S]A=1;")
            << c.lineLength;
    }
}

TEST(LoadText, MegabyteLineStopsParsingAndKeepsWhatCameBefore) {
    const std::string text = "[S]\r\nA=1\r\n" + std::string(1 << 20, 'x') + "\r\n[T]\r\nB=2\r\n";
    EXPECT_EQ(Load(text), "[S]A=1;");
}

TEST(LoadText, OverlongNamesAreCutAndStillFound) {
    const std::string name(300, 'N');
    const std::string key(300, 'K');
    const std::string text = "[" + name + "]\r\n" + key + "=1\r\n[" + name + "]\r\nX=2\r\n";
    CSectionList list;
    CProfile::LoadText(text.data(), text.size(), list);
    ExpectConsistent(list);
    ASSERT_EQ(list.SectionCount(), 1u);
    const SECTION_LIST* s = list.FindSection(name.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->name, name.substr(0, kMaxSectionName));
    ASSERT_NE(s->lines, nullptr);
    EXPECT_EQ(s->lines->key, key.substr(0, kMaxKey));
    char value[8];
    EXPECT_TRUE(list.GetValue(name.c_str(), key.c_str(), value, sizeof value, 0));
    EXPECT_STREQ(value, "1");
    EXPECT_TRUE(list.GetValue(name.c_str(), "X", value, sizeof value, 0));
}

TEST(LoadText, HundredThousandSectionsAllFindable) {
    constexpr int kSections = 100000;
    std::string text;
    text.reserve(kSections * 32);
    for (int i = 0; i < kSections; ++i)
        text += "[SECTION_" + std::to_string(i) + "]\r\nKEY = " + std::to_string(i) + "\r\n";
    CSectionList list;
    CProfile::LoadText(text.data(), text.size(), list);
    ASSERT_EQ(list.SectionCount(), static_cast<size_t>(kSections));
    int order = 0;
    for (const SECTION_LIST* s = list.head(); s; s = s->next, ++order)
        ASSERT_EQ(s->name, "SECTION_" + std::to_string(order));
    char value[16];
    for (int i = 0; i < kSections; ++i) {
        const std::string query = "section_" + std::to_string(i);
        ASSERT_TRUE(list.GetValue(query.c_str(), "key", value, sizeof value, 0)) << query;
        ASSERT_EQ(std::to_string(i), value);
    }
}

TEST(LoadText, RandomBytesKeepTheListConsistent) {
    // Profile-like alphabet, so headers, comments and quotes all occur.
    const char alphabet[] = "[]=/*\"\r\n\t abAB\x81\x82\xE0";
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        std::string text(rng() % 2000, '\0');
        for (char& c : text)
            c = (rng() % 8 == 0) ? static_cast<char>(rng())
                                 : alphabet[rng() % (sizeof alphabet - 1)];
        CSectionList list;
        CProfile::LoadText(text.data(), text.size(), list);
        ExpectConsistent(list);
        if (testing::Test::HasFatalFailure()) return;
    }
}

TEST(LoadText, LoadsIntoAListThatAlreadyHoldsSections) {
    CSectionList list;
    const std::string first = "[A]\r\nX=1\r\n";
    const std::string second = "[a]\r\nY=2\r\n[B]\r\nZ=3\r\n";
    CProfile::LoadText(first.data(), first.size(), list);
    CProfile::LoadText(second.data(), second.size(), list);
    EXPECT_EQ(Dump(list), "[A]X=1;Y=2;[B]Z=3;");
}

TEST(ProcessData, NormalizesBreaksAndRemovesComments) {
    struct {
        std::string in, out;
    } cases[] = {
        {"a\rb\nc\r\nd\n\re", "a\r\nb\r\nc\r\nd\r\ne"},
        {"\r\n\r\nx", "\r\nx"},
        {"// c\r\n\r\nx", "x"},
        {"x // c\r\n\r\ny", "x \r\ny"},
        {"x /* c\r\n c */ y", "x  y"},
        {"x /* never closed", "x "},
        {"x // no break", "x \r\n"},
        {"\"// q\" // c\ny", "\"// q\" \r\ny"},
        {"a\0b"s, "a\0b"s},
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        EXPECT_TRUE(CProfile::ProcessData(c.in.data(), c.in.size(), out));
        EXPECT_EQ(out, c.out) << testing::PrintToString(c.in);
    }
}

TEST(ReadOneLine, CutsOneLine) {
    struct {
        std::string text;
        uint32_t available;
        uint32_t result;
        std::string line;
        uint32_t consumed;
    } cases[] = {
        {"  a b \t\r\nnext", 4096, 0, "a b", 9},
        {"a\nb", 4096, 0, "a", 2},
        {"a\rb\r\n", 4096, 0, "a\rb", 5},
        {"\r\n", 4096, 0, "", 2},
        {"last line", 4096, 0x103, "", 0},
        {"", 4096, 0x103, "", 0},
        {"abc\r\n", 4, 0, "abc", 5},
        {"abcd\r\n", 4, 14, "", 0},
        {"\r\n", 1, 0, "", 2},
        {"a\r\n", 0, 87, "", 0},
    };
    for (const auto& c : cases) {
        char buffer[4096];
        std::memset(buffer, 'z', sizeof buffer);
        uint32_t length = c.available;
        EXPECT_EQ(CProfile::ReadOneLine(c.text.c_str(), buffer, &length), c.result)
            << testing::PrintToString(c.text);
        if (c.result == 0) {
            EXPECT_EQ(std::string(buffer), c.line);
            EXPECT_EQ(length, c.consumed);
        } else {
            EXPECT_EQ(length, c.available);
        }
    }
    uint32_t length = 10;
    char buffer[10];
    EXPECT_EQ(CProfile::ReadOneLine(nullptr, buffer, &length), 87u);
    EXPECT_EQ(CProfile::ReadOneLine("a\r\n", nullptr, &length), 87u);
    EXPECT_EQ(CProfile::ReadOneLine("a\r\n", buffer, nullptr), 87u);
}

TEST(IsSection, NeedsBothBrackets) {
    struct {
        const char* line;
        bool section;
    } cases[] = {
        {"[S]", true}, {"[]", true}, {"[ S ]", true}, {"[S", false}, {"S]", false},
        {"[", false},  {"]", false}, {"", false},     {" [S]", false},
    };
    for (const auto& c : cases) EXPECT_EQ(CProfile::IsSection(c.line), c.section) << c.line;
    EXPECT_FALSE(CProfile::IsSection(nullptr));
}

}  // namespace
