// CSectionList: lookups, edits, key lists and the writer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "profile/profile.h"
#include "profile/section_list.h"

namespace {

std::string Dump(const CSectionList& list) {
    std::string out;
    for (const SECTION_LIST* s = list.head(); s; s = s->next) {
        out += "[" + s->name + "]";
        for (const LINE_LIST* l = s->lines; l; l = l->next) out += l->key + "=" + l->value + ";";
    }
    return out;
}

void Load(CSectionList& list, const std::string& text) {
    CProfile::LoadText(text.data(), text.size(), list);
}

class StringSink : public CTextSink {
public:
    void Write(const char* data, size_t len) override { text.append(data, len); }
    std::string text;
};

TEST(FindSection, MatchesTrimmedNameCaseInsensitively) {
    CSectionList list;
    Load(list, "[First]\r\n[ Setup ]\r\nK=1\r\n");
    const SECTION_LIST* setup = list.FindSection("Setup");
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(setup->name, "Setup");
    for (const char* query : {"setup", "[SETUP]", "\"Setup\"", " \t[\"setup\"] ", "SeTuP"})
        EXPECT_EQ(list.FindSection(query), setup) << query;
    for (const char* query : {"Setu", "Setupx", "", "S etup"})
        EXPECT_EQ(list.FindSection(query), nullptr) << query;
    EXPECT_EQ(list.FindSection(nullptr), list.head());
    EXPECT_EQ(list.head()->name, "First");
}

TEST(AddSection, ReturnsExistingOrLinksNew) {
    CSectionList list;
    EXPECT_EQ(list.AddSection(nullptr), nullptr);
    EXPECT_EQ(list.AddSection(""), nullptr);
    SECTION_LIST* a = list.AddSection("A");
    SECTION_LIST* c = list.AddSection("C");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(list.AddSection("[ a ]"), a);
    EXPECT_NE(list.AddSection("B", "a"), nullptr);       // after A
    EXPECT_NE(list.AddSection("D", "missing"), nullptr);  // at the end
    EXPECT_NE(list.AddSection("E", "E"), nullptr);        // not after itself
    EXPECT_NE(list.AddSection("0", "C"), nullptr);        // after C, before D
    EXPECT_EQ(Dump(list), "[A][B][C][0][D][E]");
    EXPECT_EQ(c->next->name, "0");
    EXPECT_EQ(list.SectionCount(), 6u);
}

TEST(AddSection, TrimsBlanksQuotesAndBrackets) {
    struct {
        const char* name;
        const char* stored;
    } cases[] = {
        {"[ Setup ]", "Setup"},
        {"\t\"[[x]]\"\t", "x"},
        {"a]b[c", "a]b[c"},  // only the ends
        {"]a[", "]a["},      // "]" is not trimmed on the left, "[" not on the right
        {"[ ]", ""},
    };
    for (const auto& c : cases) {
        CSectionList list;
        const SECTION_LIST* s = list.AddSection(c.name);
        ASSERT_NE(s, nullptr) << c.name;
        EXPECT_EQ(s->name, c.stored) << c.name;
        EXPECT_EQ(list.FindSection(c.stored), s) << c.name;
    }
}

TEST(AddLine, SplitsAndLinks) {
    CSectionList list;
    SECTION_LIST* s = list.AddSection("S");
    EXPECT_EQ(list.AddLine("missing", "K=1", false), nullptr);
    EXPECT_EQ(list.AddLine("S", "", false), nullptr);
    EXPECT_EQ(list.AddLine("S", nullptr, false), nullptr);
    EXPECT_EQ(list.AddLine(static_cast<const char*>(nullptr), "K=1", false), nullptr);
    EXPECT_EQ(list.AddLine(static_cast<SECTION_LIST*>(nullptr), "K=1", false), nullptr);

    ASSERT_NE(list.AddLine("s", " A = 1 ", false), nullptr);
    ASSERT_NE(list.AddLine(s, "C=3", false), nullptr);
    ASSERT_NE(list.AddLine(s, "B\t=\t2", false, "a"), nullptr);  // after A
    ASSERT_NE(list.AddLine(s, "  bare  ", false, "nope"), nullptr);  // at the end
    EXPECT_EQ(Dump(list), "[S]A=1;B=2;C=3;  bare  =;");

    LINE_LIST* replaced = list.AddLine(s, "b = 20", true);
    EXPECT_EQ(replaced, s->lines->next);
    ASSERT_NE(list.AddLine(s, "D=4", true), nullptr);  // nothing to replace: appended
    EXPECT_EQ(Dump(list), "[S]A=1;B=20;C=3;  bare  =;D=4;");
    EXPECT_EQ(s->last->key, "D");
}

TEST(AddLine, CutsValueToField) {
    CSectionList list;
    SECTION_LIST* s = list.AddSection("S");
    const std::string text = "K=" + std::string(5000, 'v');
    LINE_LIST* l = list.AddLine(s, text.c_str(), false);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->value, std::string(kMaxValue, 'v'));
}

TEST(FindKey, CountsOnlyMatchingKeys) {
    CSectionList list;
    Load(list, "[S]\r\nA=1\r\nB=x\r\na=2\r\n= empty\r\n");
    const SECTION_LIST* s = list.FindSection("S");
    struct {
        const char* key;
        int index;
        const char* value;  // null: not found
    } cases[] = {
        {"A", 0, "1"}, {"a", 1, "2"}, {"A", 2, nullptr}, {"A", -1, nullptr},
        {"B", 0, "x"}, {"", 0, nullptr}, {"C", 0, nullptr},
    };
    for (const auto& c : cases) {
        const LINE_LIST* l = list.FindKey(s, c.key, c.index);
        if (c.value) {
            ASSERT_NE(l, nullptr) << c.key << c.index;
            EXPECT_EQ(l->value, c.value) << c.key << c.index;
        } else {
            EXPECT_EQ(l, nullptr) << c.key << c.index;
        }
    }
    EXPECT_EQ(list.FindKey(s, nullptr, 0), nullptr);
    EXPECT_EQ(list.FindKey(nullptr, "A", 0), nullptr);

    EXPECT_EQ(list.FindKey(s, 0)->key, "A");
    EXPECT_EQ(list.FindKey(s, 3)->value, "empty");
    EXPECT_EQ(list.FindKey(s, 4), nullptr);
    EXPECT_EQ(list.FindKey(s, -1), nullptr);
}

TEST(GetValue, CopiesAtMostTheBufferAndZeroFills) {
    CSectionList list;
    Load(list, "[S]\r\nA=1\r\nA=2\r\nLONG=abcdef\r\n");
    char buffer[12];

    std::memset(buffer, 'z', sizeof buffer);
    ASSERT_TRUE(list.GetValue("s", "a", buffer, 8, 1));
    EXPECT_EQ(std::string(buffer, 8), std::string("2\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(buffer[8], 'z');

    // A value that fills the buffer is cut and not terminated.
    std::memset(buffer, 'z', sizeof buffer);
    ASSERT_TRUE(list.GetValue("S", "LONG", buffer, 4, 0));
    EXPECT_EQ(std::string(buffer, 5), "abcdz");

    EXPECT_FALSE(list.GetValue("S", "A", buffer, 8, 2));
    EXPECT_FALSE(list.GetValue("T", "A", buffer, 8, 0));
    EXPECT_FALSE(list.GetValue("S", nullptr, buffer, 8, 0));
    EXPECT_FALSE(list.GetValue("S", "A", nullptr, 8, 0));
    EXPECT_TRUE(list.GetValue("S", "A", buffer, 0, 0));
}

TEST(SetValue, ReplacesOrAdds) {
    CSectionList list;
    Load(list, "[S]\r\nA=1\r\nA=2\r\n");
    EXPECT_TRUE(list.SetValue("S", "a", "  two  ", 1));  // stored as given
    EXPECT_TRUE(list.SetValue("S", "B", "", 0));         // key alone
    EXPECT_TRUE(list.SetValue("New", "K", " v ", 0));    // section added at the end
    EXPECT_EQ(Dump(list), "[S]A=1;A=  two  ;B=;[New]K=v;");
    // No third A: the line is added with replace, which hits the first A.
    EXPECT_TRUE(list.SetValue("S", "A", "3", 2));
    EXPECT_EQ(Dump(list), "[S]A=3;A=  two  ;B=;[New]K=v;");
}

TEST(Delete, UnlinksAndKeepsLookupsRight) {
    CSectionList list;
    Load(list, "[A]\r\nX=1\r\nY=2\r\nX=3\r\n[B]\r\nZ=1\r\n[C]\r\nW=1\r\n");

    EXPECT_TRUE(list.DeleteLine("a", "x"));  // the first X only
    EXPECT_FALSE(list.DeleteLine("A", "missing"));
    EXPECT_FALSE(list.DeleteLine("missing", "X"));
    EXPECT_TRUE(list.DeleteLine("A", "X"));  // the last line: appending still works
    ASSERT_NE(list.AddLine("A", "V=9", false), nullptr);
    EXPECT_EQ(Dump(list), "[A]Y=2;V=9;[B]Z=1;[C]W=1;");

    EXPECT_TRUE(list.DeleteSection("b"));
    EXPECT_FALSE(list.DeleteSection("B"));
    EXPECT_FALSE(list.DeleteSection(nullptr));
    EXPECT_EQ(list.FindSection("B"), nullptr);
    EXPECT_TRUE(list.DeleteSection("C"));  // the last section: appending still works
    ASSERT_NE(list.AddSection("b"), nullptr);
    EXPECT_EQ(Dump(list), "[A]Y=2;V=9;[b]");
    EXPECT_EQ(list.SectionCount(), 2u);

    EXPECT_TRUE(list.DeleteAllLines("A"));
    EXPECT_FALSE(list.DeleteAllLines("missing"));
    EXPECT_EQ(list.FindSection("A")->lines, nullptr);
    ASSERT_NE(list.AddLine("A", "N=1", false), nullptr);
    EXPECT_EQ(Dump(list), "[A]N=1;[b]");

    list.ClearAll();
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.FindSection("A"), nullptr);
    EXPECT_EQ(list.SectionCount(), 0u);
    ASSERT_NE(list.AddSection("A"), nullptr);
    EXPECT_EQ(Dump(list), "[A]");
}

TEST(DeleteLineList, FreesTheLineAndAllAfterIt) {
    CSectionList list;
    Load(list, "[S]\r\nA=1\r\nB=2\r\nC=3\r\n");
    SECTION_LIST* s = list.FindSection("S");
    list.DeleteLineList(s->lines->next);
    ASSERT_NE(list.AddLine(s, "D=4", false), nullptr);
    EXPECT_EQ(Dump(list), "[S]A=1;D=4;");
    list.DeleteLineList(s->lines);
    EXPECT_EQ(s->lines, nullptr);
    EXPECT_EQ(s->last, nullptr);
}

TEST(GetAllKey, ListsKeysWhileTheyFit) {
    CSectionList list;
    Load(list, "[S]\r\nA=1\r\nBB=2\r\nC\r\n[E]\r\n");
    // The keys need 2 + 3 + 2 = 7 bytes, and one more for the final empty
    // string.
    struct {
        uint32_t size;
        uint32_t result;
        uint32_t count;
        std::string contents;
    } cases[] = {
        {16, 0, 3, std::string("A\0BB\0C\0\0", 8)},
        {8, 0, 3, std::string("A\0BB\0C\0\0", 8)},
        {7, 14, 2, std::string(7, '\0')},
        {3, 14, 1, std::string(3, '\0')},
        {0, 14, 0, ""},
    };
    for (const auto& c : cases) {
        char buffer[20];
        std::memset(buffer, 'z', sizeof buffer);
        uint32_t size = c.size, count = 99;
        EXPECT_EQ(list.GetAllKey("s", buffer, &size, &count), c.result) << c.size;
        EXPECT_EQ(size, 7u) << c.size;
        EXPECT_EQ(count, c.count) << c.size;
        EXPECT_EQ(std::string(buffer, c.contents.size()), c.contents) << c.size;
        EXPECT_EQ(buffer[c.size], 'z') << c.size;
    }

    char buffer[4] = "zzz";
    uint32_t size = sizeof buffer, count = 99;
    EXPECT_EQ(list.GetAllKey("E", buffer, &size, &count), 0u);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(std::string(buffer, 4), std::string(4, '\0'));

    size = sizeof buffer;
    EXPECT_EQ(list.GetAllKey("S", buffer, &size, nullptr), 14u);
    size = sizeof buffer;
    EXPECT_EQ(list.GetAllKey("missing", buffer, &size, &count), 13u);
    EXPECT_EQ(size, sizeof buffer);
    EXPECT_EQ(list.GetAllKey(nullptr, buffer, &size, &count), 87u);
    EXPECT_EQ(list.GetAllKey("", buffer, &size, &count), 87u);
    EXPECT_EQ(list.GetAllKey("S", nullptr, &size, &count), 87u);
    EXPECT_EQ(list.GetAllKey("S", buffer, nullptr, &count), 87u);
}

TEST(SaveFile, WritesSectionsAndLines) {
    CSectionList list;
    Load(list, "[S]\r\nK=V\r\n");
    StringSink sink;
    EXPECT_EQ(list.SaveFile(sink), 0u);
    EXPECT_EQ(sink.text, "[S]\r\nK = V\r\n\r\n");
}

TEST(SaveFile, RoundTripsThroughTheLoader) {
    CSectionList list;
    Load(list,
         "// header comment\r\n[ Setup ]\r\nNAME = \"x // y\"\r\nFLAG\r\nN=1 /* c */\r\n"
         "[Empty]\r\n[Other]\nA = b = c\n");
    StringSink sink;
    list.SaveFile(sink);
    EXPECT_EQ(sink.text,
              "[Setup]\r\nNAME = \"x // y\"\r\nFLAG\r\nN = 1\r\n\r\n"
              "[Empty]\r\n\r\n"
              "[Other]\r\nA = b = c\r\n\r\n");
    CSectionList again;
    Load(again, sink.text);
    EXPECT_EQ(Dump(again), Dump(list));

    StringSink one;
    list.WriteSection(one, list.FindSection("Other"));
    list.WriteSection(one, nullptr);
    EXPECT_EQ(one.text, "[Other]\r\nA = b = c\r\n\r\n");
}

// Double-byte code pages: a lead byte and its trail are one character,
// compared exactly and never split.
class CodePageTest : public testing::Test {
protected:
    void TearDown() override { SetProfileCodePage(1252); }
};

TEST_F(CodePageTest, LeadBytes) {
    struct {
        uint32_t codePage;
        unsigned char byte;
        bool lead;
    } cases[] = {
        {1252, 0x81, false}, {932, 0x80, false}, {932, 0x81, true},  {932, 0x9F, true},
        {932, 0xA0, false},  {932, 0xDF, false}, {932, 0xE0, true},  {932, 0xFC, true},
        {932, 0xFD, false},  {936, 0x81, true},  {949, 0xFE, true},  {950, 0xFF, false},
        {950, 0x41, false},
    };
    for (const auto& c : cases) {
        SetProfileCodePage(c.codePage);
        EXPECT_EQ(GetProfileCodePage(), c.codePage);
        EXPECT_EQ(IsLeadByte(c.byte), c.lead) << c.codePage << " " << int(c.byte);
    }
}

TEST_F(CodePageTest, TrailBytesAreNotFolded) {
    // 0x82 0x61 and 0x82 0x41 are two different characters in 932; in 1252
    // they are a symbol followed by a and A.
    struct {
        uint32_t codePage;
        bool equal;
    } cases[] = {{1252, true}, {932, false}};
    for (const auto& c : cases) {
        SetProfileCodePage(c.codePage);
        EXPECT_EQ(ProfileEqualNoCase("\x82" "a", 2, "\x82" "A", 2), c.equal) << c.codePage;
        EXPECT_EQ(ProfileFold("\x82" "a", 2) == ProfileFold("\x82" "A", 2), c.equal);
        CSectionList list;
        SECTION_LIST* s = list.AddSection("\x82" "a");
        EXPECT_EQ(list.FindSection("\x82" "A") == s, c.equal) << c.codePage;
        EXPECT_EQ(list.AddSection("\x82" "A") == s, c.equal) << c.codePage;
        EXPECT_TRUE(ProfileEqualNoCase("x\x82" "a", 3, "X\x82" "a", 3));
    }
}

TEST_F(CodePageTest, ClosingBracketAsTrailByte) {
    // In 932, 0x83 0x5D is one character whose trail byte is "]".
    struct {
        uint32_t codePage;
        std::string text;
        std::string expected;
    } cases[] = {
        {932, "[S]\r\n[\x83]\r\n", "[S][\x83]=;"},
        {1252, "[S]\r\n[\x83]\r\n", "[S][\x83]"},
        {932, "[\x83]]\r\nK=1\r\n", "[\x83]]K=1;"},
        {1252, "[\x83]]\r\nK=1\r\n", "[\x83]K=1;"},
    };
    for (const auto& c : cases) {
        SetProfileCodePage(c.codePage);
        CSectionList list;
        Load(list, c.text);
        EXPECT_EQ(Dump(list), c.expected) << c.codePage << " " << c.text;
    }
}

TEST_F(CodePageTest, DoubleByteCharacterIsNeverPartOfAComment) {
    struct {
        uint32_t codePage;
        std::string expected;
    } cases[] = {{936, "[S]K=\x81//x;N=1;"}, {1252, "[S]K=\x81;N=1;"}};
    for (const auto& c : cases) {
        SetProfileCodePage(c.codePage);
        CSectionList list;
        Load(list, "[S]\r\nK=\x81//x\r\nN=1\r\n");
        EXPECT_EQ(Dump(list), c.expected) << c.codePage;
    }
}

TEST_F(CodePageTest, NamesAreCutBetweenCharacters) {
    SetProfileCodePage(932);
    // 254 single bytes and a double-byte character: 256 bytes, the field
    // takes 254 of them rather than half a character.
    const std::string name = std::string(254, 'n') + "\x82\xA0";
    const std::string key = std::string(254, 'k') + "\x82\xA0";
    CSectionList list;
    SECTION_LIST* s = list.AddSection(name.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->name, std::string(254, 'n'));
    LINE_LIST* l = list.AddLine(s, (key + "=v").c_str(), false);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->key, std::string(254, 'k'));
    EXPECT_EQ(list.FindKey(s, key.c_str(), 0), l);
}

}  // namespace
