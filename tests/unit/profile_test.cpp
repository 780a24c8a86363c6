// CProfile: typed lookups, defined strings, lists and writes back to the
// main file, on profiles read from a simulated machine.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/os.h"
#include "profile/profile.h"
#include "sim_fixture.h"

namespace {

using testsupport::ReadHost;
using testsupport::SimMachine;
using testsupport::WriteHost;

class ProfileTest : public testing::Test {
protected:
    void SetUp() override { ::mkdir(m.Host("C:\\pkg").c_str(), 0755); }
    void TearDown() override { SetProfileCodePage(1252); }

    // Writes C:\pkg\<name>; answers its Windows path.
    std::string Put(const std::string& name, const std::string& text) {
        const std::string path = "C:\\pkg\\" + name;
        WriteHost(m.Host(path), text);
        return path;
    }
    std::string Get(const CProfile& p, const char* section, const char* key,
                    bool escapes = false) {
        char buffer[16384];
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(0u, p.GetString(section, key, buffer, sizeof buffer, escapes)) << key;
        return buffer;
    }

    SimMachine m;
};

std::vector<std::string> HostFiles(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

// Splits a NUL-separated list that ends with an empty string.
std::vector<std::string> List(const char* buffer) {
    std::vector<std::string> out;
    for (const char* p = buffer; *p; p += std::strlen(p) + 1) out.push_back(p);
    return out;
}

TEST_F(ProfileTest, NumbersFollowTheDecimalAndOddHexRules) {
    const std::string file = Put("Setup.dat",
                                 "[N]\r\n"
                                 "HEX = 0x1F\r\nHEXUP = 0X1f\r\nDEC = 31\r\nHEX0 = 0x\r\n"
                                 "HEX9 = 0x123456789\r\nNEG = -5\r\nWORD = abc\r\n"
                                 "ODD = 0x1G\r\nDIGITS = 0x9Z9\r\nINNER = 1F0x2\r\n"
                                 "BIG = 99999999999\r\nLEAD = 12abc\r\n");
    CProfile p(file.c_str(), "");
    const struct {
        const char* key;
        uint32_t value;
    } cases[] = {
        {"HEX", 31},         {"HEXUP", 31},           {"DEC", 31},
        {"HEX0", 0},         {"HEX9", 0x23456789},    {"NEG", static_cast<uint32_t>(-5)},
        {"WORD", 0},         {"ODD", 0x10},           {"DIGITS", 0x909},
        {"INNER", 0x1F2},    {"BIG", 0x7FFFFFFF},     {"LEAD", 12},
    };
    for (const auto& c : cases) {
        uint32_t v = 0xDEADBEEF;
        EXPECT_EQ(0u, p.GetDword("n", c.key, &v)) << c.key;
        EXPECT_EQ(c.value, v) << c.key;
    }
    uint32_t v = 7;
    EXPECT_EQ(13u, p.GetDword("N", "MISSING", &v));
    EXPECT_EQ(13u, p.GetDword("OTHER", "HEX", &v));
    EXPECT_EQ(7u, v);
}

TEST_F(ProfileTest, DefinedStringsExpand) {
    const std::string file = Put("Setup.dat",
                                 "[STRINGS]\r\n"
                                 "%A% = x\r\n"
                                 "%N% = \"%B%!\"\r\n"
                                 "%B% = hi\r\n"
                                 "%OVR% = main\r\n"
                                 "%EMPTY% = \r\n"
                                 "[S]\r\n"
                                 "SAY = say %A% and %A%\r\n"
                                 "NEST = %N%\r\n"
                                 "SURE = 100% sure\r\n"
                                 "FIFTY = 50% of %A%\r\n"
                                 "UNDEF = %NOPE% stays\r\n"
                                 "RETRY = %NOPE%A%\r\n"
                                 "OVR = %OVR%\r\n"
                                 "QUOTED = \"%A%\"\r\n"
                                 "CASE = %a%\r\n"
                                 "GONE = [%EMPTY%]\r\n"
                                 "PLAIN = no tokens\r\n");
    const std::string defines = Put("Defines.dat", "[STRINGS]\r\n%OVR% = \"defines\"\r\n");
    CProfile p(file.c_str(), defines.c_str());
    ASSERT_TRUE(p.IsLoaded());
    ASSERT_TRUE(p.IsDefinesLoaded());
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {
        {"SAY", "say x and x"},
        {"NEST", "hi!"},
        {"SURE", "100% sure"},
        {"FIFTY", "50% of x"},
        {"UNDEF", "%NOPE% stays"},
        // The failed pair's closing "%" opens the next token.
        {"RETRY", "%NOPEx"},
        {"OVR", "defines"},
        {"QUOTED", "\"x\""},
        {"CASE", "x"},
        {"GONE", "[]"},
        {"PLAIN", "no tokens"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, Get(p, "S", c.key)) << c.key;

    std::string out = "old";
    EXPECT_EQ(13u, p.GetString("S", "MISSING", out));
    EXPECT_EQ("old", out);
    EXPECT_EQ(0u, p.GetString("S", "NEST", out));
    EXPECT_EQ("hi!", out);
}

TEST_F(ProfileTest, MainFileDefinesWhenTheDefinesFileDoesNotLoad) {
    const std::string file =
        Put("Setup.dat", "[STRINGS]\r\n%OVR% = main\r\n[S]\r\nOVR = %OVR%\r\n");
    CProfile p(file.c_str(), "C:\\pkg\\missing.dat");
    EXPECT_TRUE(p.IsLoaded());
    EXPECT_FALSE(p.IsDefinesLoaded());
    EXPECT_EQ("main", Get(p, "S", "OVR"));

    // Without the main file the defines file is not even tried.
    CProfile none("C:\\pkg\\missing.dat", file.c_str());
    EXPECT_FALSE(none.IsLoaded());
    EXPECT_FALSE(none.IsDefinesLoaded());
    EXPECT_EQ("", none.FileName());
    char buffer[8];
    EXPECT_EQ(13u, none.GetString("S", "OVR", buffer, sizeof buffer));
}

TEST_F(ProfileTest, EscapesBecomeLineBreaksOnlyWhenAsked) {
    const std::string file = Put("Setup.dat",
                                 "[STRINGS]\r\n%NL% = \\n\r\n"
                                 "[S]\r\nTWO = Line1\\nLine2\r\nCR = a\\rb\r\n"
                                 "BACK = a\\\\nb\r\nTOKEN = x%NL%y\r\n"
                                 "JP = \x83\\n\r\n");
    CProfile p(file.c_str(), "");
    const struct {
        const char* key;
        bool escapes;
        const char* expected;
    } cases[] = {
        {"TWO", true, "Line1\nLine2"},
        {"TWO", false, "Line1\\nLine2"},
        {"CR", true, "a\rb"},
        {"BACK", true, "a\\\nb"},
        // After the tokens: an escape from a defined value converts too.
        {"TOKEN", true, "x\ny"},
        {"JP", true, "\x83\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Get(p, "S", c.key, c.escapes)) << c.key << " " << c.escapes;

    // In a double-byte code page the backslash is the trail byte of the
    // character and no escape.
    SetProfileCodePage(932);
    EXPECT_EQ("\x83\\n", Get(p, "S", "JP", true));
}

TEST_F(ProfileTest, BufferSizeLimitsTheResult) {
    const std::string file = Put("Setup.dat",
                                 "[STRINGS]\r\n%LONG% = 0123456789012345\r\n"
                                 "[S]\r\nTOKEN = <%LONG%>\r\nTEXT = abcdefghij\r\n");
    CProfile p(file.c_str(), "");
    char buffer[12];

    // The expansion does not fit: the unexpanded value stays, still 0.
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(0u, p.GetString("S", "TOKEN", buffer, sizeof buffer));
    EXPECT_STREQ("<%LONG%>", buffer);

    // A value as long as the buffer is cut and terminated.
    EXPECT_EQ(0u, p.GetString("S", "TEXT", buffer, 10));
    EXPECT_STREQ("abcdefghi", buffer);

    // A missing key leaves the buffer as it was.
    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(13u, p.GetString("S", "MISSING", buffer, sizeof buffer));
    EXPECT_EQ(std::string(sizeof buffer, 'Z'), std::string(buffer, sizeof buffer));

    std::string out;
    EXPECT_EQ(0u, p.GetString("S", "TOKEN", out, 12));
    EXPECT_EQ("<%LONG%>", out);
    EXPECT_EQ(0u, p.GetString("S", "TOKEN", out, 19));
    EXPECT_EQ("<0123456789012345>", out);
}

TEST_F(ProfileTest, SelfReferringDefinesStopAtTheBound) {
    const std::string file = Put("Setup.dat",
                                 "[STRINGS]\r\n"
                                 "%SELF% = %SELF%\r\n"
                                 "%A% = <%B%\r\n%B% = [%C%\r\n%C% = (%A%\r\n"
                                 "%P% = %Q%\r\n%Q% = %R%\r\n%R% = %P%\r\n"
                                 "%TWICE% = %TWICE%%TWICE%\r\n"
                                 "[S]\r\nSELF = %SELF%\r\nRING = %A%\r\nLOOP = %P%\r\n"
                                 "TWICE = x%TWICE%\r\n");
    CProfile p(file.c_str(), "");
    EXPECT_EQ("%SELF%", Get(p, "S", "SELF"));

    const std::string ring = Get(p, "S", "RING");
    EXPECT_EQ(0u, ring.rfind("<[(<[(<[(", 0)) << ring.substr(0, 40);
    EXPECT_LT(ring.size(), 3u * kMaxDefinedReplacements);

    const std::string loop = Get(p, "S", "LOOP");
    EXPECT_TRUE(loop == "%P%" || loop == "%Q%" || loop == "%R%") << loop;

    // Doubling reaches the size bound; the result does not fit, so the
    // value comes back unexpanded.
    EXPECT_EQ("x%TWICE%", Get(p, "S", "TWICE"));
}

TEST_F(ProfileTest, CompositeValuesAndTheirFailureCodes) {
    const std::string file = Put("Setup.dat",
                                 "[C]\r\nPAIR = 10,20\r\nONE = 10\r\nRGB = 255,128,0\r\n"
                                 "HEXRGB = 0xFF,0x80,0x0\r\nWIDE = 256,1,2\r\nBOX = 1,2,3,4\r\n"
                                 "EMPTYPART = ,5\r\nSPACED = 3, 4\r\n");
    CProfile p(file.c_str(), "");
    const struct {
        const char* key;
        uint32_t size, point, colour, rect;
    } codes[] = {
        {"PAIR", 0, 0, 87, 87},     {"ONE", 87, 87, 87, 87},   {"RGB", 0, 0, 0, 87},
        {"BOX", 0, 0, 0, 0},        {"MISSING", 13, 87, 13, 87},
    };
    for (const auto& c : codes) {
        CSize size;
        CPoint point;
        uint32_t colour = 0;
        CRect rect;
        EXPECT_EQ(c.size, p.GetControl("C", c.key, &size)) << c.key;
        EXPECT_EQ(c.point, p.GetControl("C", c.key, &point)) << c.key;
        EXPECT_EQ(c.colour, p.GetControl("C", c.key, &colour)) << c.key;
        EXPECT_EQ(c.rect, p.GetControl("C", c.key, &rect)) << c.key;
    }
    EXPECT_EQ(87u, p.GetControl("C", "PAIR", static_cast<CSize*>(nullptr)));
    EXPECT_EQ(87u, p.GetControl(nullptr, "PAIR", static_cast<uint32_t*>(nullptr)));

    CSize size;
    ASSERT_EQ(0u, p.GetControl("C", "PAIR", &size));
    EXPECT_EQ(10, size.cx);
    EXPECT_EQ(20, size.cy);
    ASSERT_EQ(0u, p.GetControl("C", "EMPTYPART", &size));
    EXPECT_EQ(0, size.cx);
    EXPECT_EQ(5, size.cy);
    CPoint point;
    ASSERT_EQ(0u, p.GetControl("C", "SPACED", &point));
    EXPECT_EQ(3, point.x);
    EXPECT_EQ(4, point.y);

    const struct {
        const char* key;
        uint32_t colour;
    } colours[] = {{"RGB", 33023}, {"HEXRGB", 33023}, {"WIDE", 0x020100}};
    for (const auto& c : colours) {
        uint32_t colour = 0;
        ASSERT_EQ(0u, p.GetControl("C", c.key, &colour)) << c.key;
        EXPECT_EQ(c.colour, colour) << c.key;
    }

    CRect rect;
    ASSERT_EQ(0u, p.GetControl("C", "BOX", &rect));
    EXPECT_EQ(1, rect.left);
    EXPECT_EQ(2, rect.top);
    EXPECT_EQ(3, rect.right);
    EXPECT_EQ(4, rect.bottom);
}

TEST_F(ProfileTest, SectionNamesInBothFormsAndTooSmall) {
    const std::string file = Put("Setup.dat", "[A]\r\n[BB]\r\nK=1\r\n[CCC]\r\n");
    CProfile p(file.c_str(), "");
    const struct {
        bool nul;
        size_t size;
        uint32_t code;
        std::string content;  // the whole buffer
    } cases[] = {
        {true, 10, 0, std::string("A\0BB\0CCC\0\0", 10)},
        {true, 12, 0, std::string("A\0BB\0CCC\0\0\0\0", 12)},
        // The last name's terminator fits, the list's final one would not.
        {true, 9, 14, std::string("A\0BB\0\0\0\0\0", 9)},
        {false, 9, 0, std::string("A BB CCC\0", 9)},
        {false, 12, 0, std::string("A BB CCC   \0", 12)},
        {false, 8, 14, std::string("A BB   \0", 8)},
    };
    for (const auto& c : cases) {
        std::vector<char> buffer(c.size, 'Z');
        EXPECT_EQ(c.code, p.GetSectionName(buffer.data(), c.size, c.nul))
            << c.nul << " " << c.size;
        EXPECT_EQ(c.content, std::string(buffer.data(), c.size)) << c.nul << " " << c.size;
    }

    CProfile empty;
    char buffer[16];
    EXPECT_EQ(13u, empty.GetSectionName(buffer, sizeof buffer, true));
    EXPECT_EQ(13u, empty.GetSectionName(buffer, sizeof buffer, false));
    EXPECT_EQ(87u, p.GetSectionName(nullptr, 16, true));
}

TEST_F(ProfileTest, AllKeysOfASection) {
    const std::string file = Put("Setup.dat",
                                 "[STRINGS]\r\n%X% = \"ex\"\r\n"
                                 "[K]\r\nA = %X%\r\nFLAG\r\nB = 1\\n2\r\n"
                                 "[EMPTY]\r\n");
    CProfile p(file.c_str(), "");
    char buffer[64];
    std::memset(buffer, 'Z', sizeof buffer);
    ASSERT_EQ(0u, p.GetAllKey("K", buffer, sizeof buffer, false));
    EXPECT_EQ((std::vector<std::string>{"A = ex", "FLAG", "B = 1\n2"}), List(buffer));
    ASSERT_EQ(0u, p.GetAllKey("k", buffer, sizeof buffer, true));
    EXPECT_EQ((std::vector<std::string>{"A = ex", "B = 1\n2"}), List(buffer));

    std::memset(buffer, 'Z', sizeof buffer);
    EXPECT_EQ(0u, p.GetAllKey("EMPTY", buffer, sizeof buffer, false));
    EXPECT_EQ(std::string(sizeof buffer, '\0'), std::string(buffer, sizeof buffer));

    EXPECT_EQ(13u, p.GetAllKey("NONE", buffer, sizeof buffer, false));
    // "A = ex" and its terminator fit in 8 bytes, "FLAG" does not.
    EXPECT_EQ(14u, p.GetAllKey("K", buffer, 8, false));
    EXPECT_EQ((std::vector<std::string>{"A = ex"}), List(buffer));
    EXPECT_EQ(87u, p.GetAllKey("", buffer, sizeof buffer, false));
    EXPECT_EQ(87u, p.GetAllKey("K", nullptr, sizeof buffer, false));
    EXPECT_EQ(87u, p.GetAllKey("K", buffer, 0, false));
}

TEST_F(ProfileTest, WritesReachTheFileAndShowAfterReload) {
    const std::string file = Put("Setup.dat",
                                 "[S]\r\nNAME = old\r\nKEEP = 1\r\n[CLEAR]\r\nA = 1\r\nB = 2\r\n");
    CProfile p(file.c_str(), "");
    ASSERT_EQ(file, p.FileName());

    EXPECT_EQ(0u, p.SetValue("S", "name", "new"));
    EXPECT_EQ("old", Get(p, "S", "NAME"));  // the loaded lists are not changed

    EXPECT_EQ(0u, p.SetValue("S", "NUMBER", static_cast<uint32_t>(-7)));
    EXPECT_EQ(0u, p.SetValue("S", "SIZE", CSize{640, 480}));
    EXPECT_EQ(0u, p.SetValue("S", "POINT", CPoint{-3, 9}));
    EXPECT_EQ(0u, p.SetColour("S", "COLOUR", 33023));
    EXPECT_EQ(0u, p.SetValue("S", "RECT", CRect{1, 2, 3, 4}));
    EXPECT_EQ(0u, p.SetValue("NEWSECTION", "K", "v"));
    EXPECT_EQ(0u, p.SetValue("CLEAR", "", ""));

    p.Reload(file.c_str(), "");
    const struct {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"S", "NAME", "new"},        {"S", "KEEP", "1"},       {"S", "NUMBER", "-7"},
        {"S", "SIZE", "640,480"},    {"S", "POINT", "-3,9"},   {"S", "COLOUR", "255,128,0"},
        {"S", "RECT", "1,2,3,4"},    {"NEWSECTION", "K", "v"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, Get(p, c.section, c.key)) << c.key;
    char buffer[16];
    EXPECT_EQ(0u, p.GetAllKey("CLEAR", buffer, sizeof buffer, false));
    EXPECT_EQ("", std::string(buffer));
    uint32_t colour = 0;
    EXPECT_EQ(0u, p.GetControl("S", "COLOUR", &colour));
    EXPECT_EQ(33023u, colour);
}

TEST_F(ProfileTest, BadWriteArguments) {
    const std::string file = Put("Setup.dat", "[S]\r\nK = 1\r\n");
    const std::string before = ReadHost(m.Host(file));
    CProfile p(file.c_str(), "");
    EXPECT_EQ(87u, p.SetValue(nullptr, "K", "v"));
    EXPECT_EQ(87u, p.SetValue("S", nullptr, "v"));
    EXPECT_EQ(87u, p.SetValue("S", "K", static_cast<const char*>(nullptr)));
    EXPECT_EQ(87u, p.SetValue("", "K", "v"));
    EXPECT_EQ(87u, p.SetValue("S", "", 5u));
    EXPECT_EQ(87u, p.SetValue("", "K", CRect{}));
    EXPECT_EQ(before, ReadHost(m.Host(file)));
}

TEST_F(ProfileTest, WriteToAProfileThatNeverLoadedFails) {
    CProfile p("C:\\pkg\\missing.dat", "");
    EXPECT_NE(0u, p.SetValue("S", "K", "v"));
    EXPECT_NE(0u, p.SetValue("S", "", ""));
    EXPECT_NE(0u, p.SetValue("S", "N", 1u));
    CProfile never;
    EXPECT_NE(0u, never.SetValue("S", "K", "v"));
    EXPECT_EQ(std::vector<std::string>{}, HostFiles(m.Host("C:\\pkg")));
}

TEST_F(ProfileTest, WriteToTheCdRomAnswersWriteProtect) {
    WriteHost(m.package() + "/Setup.dat", "[S]\r\nK = 1\r\n");
    CProfile p("D:\\Setup.dat", "");
    ASSERT_TRUE(p.IsLoaded());
    EXPECT_EQ(19u, p.SetValue("S", "K", "2"));
    EXPECT_EQ("[S]\r\nK = 1\r\n", ReadHost(m.package() + "/Setup.dat"));
}

TEST_F(ProfileTest, FileNameIsCutAt519Bytes) {
    // A name that long loads from no file on the machine; the member is
    // checked through a folder path of the maximum length instead.
    std::string dir = "C:\\pkg";
    while (dir.size() < 500) {
        dir += "\\" + std::string(40, 'd');
        ASSERT_EQ(0u, os::MakeDirectory(dir.c_str()));
    }
    const std::string file = dir + "\\" + std::string(40, 'f') + ".dat";
    ASSERT_GT(file.size(), kMaxProfileFileName);
    WriteHost(m.Host(file), "[S]\r\nK = 1\r\n");
    CProfile p(file.c_str(), "");
    ASSERT_TRUE(p.IsLoaded());
    EXPECT_EQ(file.substr(0, kMaxProfileFileName), p.FileName());
}

// The platform's INI writer on the simulated machine.
TEST_F(ProfileTest, SimIniWriterEdits) {
    const struct {
        const char* what;
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    } cases[] = {
        {"replaces the key, any case", "[S]\r\nK = 1\r\nL=2\r\n", "s", "k", "9",
         "[S]\r\nk=9\r\nL=2\r\n"},
        {"adds after the section's last line", "[S]\r\nK=1\r\n\r\n[T]\r\nX=1\r\n", "S", "N", "v",
         "[S]\r\nK=1\r\nN=v\r\n\r\n[T]\r\nX=1\r\n"},
        {"adds the section at the end", "[S]\r\nK=1", "T", "N", "v",
         "[S]\r\nK=1\r\n[T]\r\nN=v\r\n"},
        {"creates the file", nullptr, "S", "K", "v", "[S]\r\nK=v\r\n"},
        {"a key of another section stays", "[A]\r\nK=1\r\n[B]\r\n", "B", "K", "2",
         "[A]\r\nK=1\r\n[B]\r\nK=2\r\n"},
    };
    for (const auto& c : cases) {
        const std::string path = "C:\\pkg\\w.ini";
        os::RemoveFile(path.c_str());
        if (c.before) Put("w.ini", c.before);
        EXPECT_EQ(0u, os::WriteProfileString(c.section, c.key, c.value, path.c_str())) << c.what;
        EXPECT_EQ(c.after, ReadHost(m.Host(path))) << c.what;
    }

    Put("w.ini", "[S]\r\nA=1\r\nB=2\r\n\r\n[T]\r\nX=1\r\n");
    EXPECT_EQ(0u, os::WriteProfileSection("S", "\0", "C:\\pkg\\w.ini"));
    EXPECT_EQ("[S]\r\n\r\n[T]\r\nX=1\r\n", ReadHost(m.Host("C:\\pkg\\w.ini")));

    EXPECT_EQ(3u, os::WriteProfileString("S", "K", "v", "C:\\nofolder\\w.ini"));
    EXPECT_EQ(3u, os::WriteProfileString("S", "K", "v", ""));
    EXPECT_EQ(19u, os::WriteProfileString("S", "K", "v", "D:\\w.ini"));
    EXPECT_FALSE(os::FileExists("D:\\w.ini"));
}

}  // namespace
