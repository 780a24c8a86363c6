// CInstProfile: messages from the string file, macro variables through the
// host, and platform section names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "profile/inst_profile.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;
using testsupport::WriteHost;

// Stands in for the application's global state: one macro variable and
// the language abbreviation.
class FakeHost : public CInstProfileHost {
public:
    bool RemoteInstall() const override { return remote; }
    bool NetworkOption() const override { return network; }
    bool UsbOnlyOption() const override { return usb; }
    std::string OsDefineString() const override { return osDefine; }
    std::string LanguageAbbreviation() const override { return language; }
    std::string ExpandMacros(const std::string& text, uint16_t, const std::string& abbreviation,
                             const std::string&) const override {
        std::string out = Replace(text, "$DEST_DIR$", "C:\\Program Files\\Veltrix");
        return Replace(out, "$LANG_ABBR$", abbreviation.empty() ? language : abbreviation);
    }

    bool remote = false, network = false, usb = false;
    std::string osDefine = "WINXP", language = "EN";

private:
    static std::string Replace(std::string s, const std::string& from, const std::string& to) {
        for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
            s.replace(at, from.size(), to);
        return s;
    }
};

const char kMain[] =
    "[STRINGS]\r\n"
    "%PRODUCT% = \"Veltrix\"\r\n"
    "[S]\r\n"
    "MSG = @HELLO@\r\n"
    "UNDEF = @NOPE@ stays\r\n"
    "TWO = @HELLO@ and @BYE@\r\n"
    "MIXED = @DEST@\r\n"
    "PAIR = a@b@HELLO@\r\n"
    "OPEN = @HELLO@ and @OPEN\r\n"
    "ADJACENT = @HI@@BYE@\r\n"
    "DEFINED = @PROD_MSG@\r\n"
    "MACRO = $DEST_DIR$\\x\r\n"
    "ESC = @MULTI@\r\n"
    "LANG = $LANG_ABBR$\r\n"
    "OWN = a\\nb\r\n"
    "[MY SECTION]\r\n"
    "K = v\r\n"
    "[LIST]\r\n"
    "A = @HELLO@\r\n"
    "B = $DEST_DIR$\r\n"
    "FLAG\r\n";

const char kStringsEn[] =
    "[MESSAGES]\r\n"
    "HELLO = Hello\r\n"
    "BYE = Bye\r\n"
    "HI = x\r\n"
    "DEST = Install to $DEST_DIR$\r\n"
    "PROD_MSG = %PRODUCT% Setup\r\n"
    "MULTI = a\\nb\r\n";

class InstProfileTest : public testing::Test {
protected:
    void SetUp() override {
        ::mkdir(m.Host("C:\\pkg").c_str(), 0755);
        SetInstProfileHost(&host);
    }
    void TearDown() override {
        SetInstProfileHost(nullptr);
        SetProfileCodePage(1252);
    }
    std::string Put(const std::string& name, const std::string& text) {
        const std::string path = "C:\\pkg\\" + name;
        WriteHost(m.Host(path), text);
        return path;
    }
    // Setup.dat is the main file and its own defines file, as for the
    // installer's data profile.
    void Create(CInstProfile& p, const std::string& main = kMain, bool escapes = false) {
        const std::string file = Put("Setup.dat", main);
        const std::string strings = Put("Strings_EN.dat", kStringsEn);
        ASSERT_TRUE(p.Create(file.c_str(), file.c_str(), strings.c_str(), escapes));
    }
    std::string Get(const CInstProfile& p, const char* section, const char* key,
                    bool macros = true) {
        std::string out = "unset";
        EXPECT_TRUE(p.GetString(section, key, out, macros)) << key;
        return out;
    }

    SimMachine m;
    FakeHost host;
};

TEST_F(InstProfileTest, MessagesThenMacros) {
    CInstProfile p;
    Create(p);
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {
        {"MSG", "Hello"},
        {"UNDEF", "@NOPE@ stays"},
        {"TWO", "Hello and Bye"},
        // A macro inside a message expands: messages come first.
        {"MIXED", "Install to C:\\Program Files\\Veltrix"},
        // The failed pair's second "@" opens no token.
        {"PAIR", "a@b@HELLO@"},
        {"OPEN", "Hello and @OPEN"},
        // The search goes on after the message put in place, so a shorter
        // message does not hide the token right after it.
        {"ADJACENT", "xBye"},
        {"DEFINED", "Veltrix Setup"},
        {"MACRO", "C:\\Program Files\\Veltrix\\x"},
        // Messages always convert escapes, the main profile only when asked.
        {"ESC", "a\nb"},
        {"OWN", "a\\nb"},
        {"LANG", "EN"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, Get(p, "S", c.key)) << c.key;

    EXPECT_EQ("Install to $DEST_DIR$", Get(p, "S", "MIXED", false));
    std::string out;
    ASSERT_TRUE(p.GetString("S", "LANG", out, true, 0x040C, "FR"));
    EXPECT_EQ("FR", out);
    out = "kept";
    EXPECT_FALSE(p.GetString("S", "MISSING", out));
    EXPECT_EQ("kept", out);

    CInstProfile escapes;
    Create(escapes, kMain, true);
    EXPECT_EQ("a\nb", Get(escapes, "S", "OWN"));
}

TEST_F(InstProfileTest, RemoteInstallKeepsMacrosAndListsNothing) {
    CInstProfile p;
    Create(p);
    host.remote = true;
    EXPECT_EQ("$DEST_DIR$\\x", Get(p, "S", "MACRO"));
    EXPECT_EQ("Install to $DEST_DIR$", Get(p, "S", "MIXED"));
    std::vector<std::string> list = {"untouched"};
    EXPECT_TRUE(p.GetAllKey("LIST", list));
    EXPECT_EQ(std::vector<std::string>{"untouched"}, list);

    host.remote = false;
    EXPECT_TRUE(p.GetAllKey("LIST", list));
    EXPECT_EQ((std::vector<std::string>{"A = Hello", "B = C:\\Program Files\\Veltrix", "FLAG"}),
              list);
}

TEST_F(InstProfileTest, AllKeysCutToTheCallersSize) {
    CInstProfile p;
    Create(p);
    std::vector<std::string> list;
    // "A = Hello" and its terminator take 10 bytes; 4 are left for the next
    // entry once its terminator and the list's end are counted.
    ASSERT_TRUE(p.GetAllKey("LIST", list, 0, nullptr, nullptr, 16));
    EXPECT_EQ((std::vector<std::string>{"A = Hello", "B = "}), list);
    EXPECT_FALSE(p.GetAllKey("NONE", list));
}

TEST_F(InstProfileTest, WithoutAHostNothingIsExpandedAndTheLanguageIsEnglish) {
    SetInstProfileHost(nullptr);
    CInstProfile p;
    Create(p, std::string(kMain) + "[OPT]\r\nK=1\r\n[OPT.EN]\r\nK=1\r\n");
    EXPECT_EQ("$DEST_DIR$\\x", Get(p, "S", "MACRO"));
    EXPECT_EQ("Install to $DEST_DIR$", Get(p, "S", "MIXED"));
    std::string name;
    ASSERT_TRUE(p.FindPlatformSection("opt", name));
    EXPECT_EQ("OPT.EN", name);
}

TEST_F(InstProfileTest, PlatformSectionCandidatesInOrder) {
    const std::vector<std::string> all = {
        "OPT.WINXP.EN.NETWORK.USB", "OPT.WINXP.EN.NETWORK", "OPT.WINXP.EN.USB", "OPT.WINXP.EN",
        "OPT.WINXP.NETWORK.USB",    "OPT.WINXP.NETWORK",    "OPT.WINXP.USB",    "OPT.WINXP",
        "OPT.EN.NETWORK.USB",       "OPT.EN.NETWORK",       "OPT.EN.USB",       "OPT.EN",
        "OPT.NETWORK.USB",          "OPT.NETWORK",          "OPT.USB",          "OPT",
    };
    const struct {
        bool network, usb;
        std::vector<std::string> order;
    } cases[] = {
        {true, true, all},
        {true, false,
         {"OPT.WINXP.EN.NETWORK", "OPT.WINXP.EN", "OPT.WINXP.NETWORK", "OPT.WINXP",
          "OPT.EN.NETWORK", "OPT.EN", "OPT.NETWORK", "OPT"}},
        {false, true,
         {"OPT.WINXP.EN.USB", "OPT.WINXP.EN", "OPT.WINXP.USB", "OPT.WINXP", "OPT.EN.USB",
          "OPT.EN", "OPT.USB", "OPT"}},
        {false, false, {"OPT.WINXP.EN", "OPT.WINXP", "OPT.EN", "OPT"}},
    };
    for (const auto& c : cases) {
        host.network = c.network;
        host.usb = c.usb;
        host.osDefine = "WinXP";  // upper-cased in the candidates
        host.language = "en";
        // Every variant present, in lower case; each round removes the
        // chosen one, so the next candidate must come up.
        std::vector<std::string> present = all;
        CInstProfile p;
        for (const std::string& expected : c.order) {
            std::string text;
            for (const std::string& s : present) {
                std::string lower = s;
                for (char& ch : lower) ch = static_cast<char>(std::tolower(ch));
                text += "[" + lower + "]\r\nK = 1\r\n";
            }
            const std::string file = Put("Config.dat", text);
            if (!p.IsLoaded())
                ASSERT_TRUE(p.Create(file.c_str(), "", "", false));
            else
                p.ReloadMain(file.c_str());
            std::string name;
            ASSERT_TRUE(p.FindPlatformSection("Opt", name)) << expected;
            EXPECT_EQ(expected, name) << c.network << c.usb;
            present.erase(std::find(present.begin(), present.end(), expected));
        }
        // Variants of options that are off are never chosen.
        std::string name = "unchanged";
        EXPECT_EQ(c.network && c.usb, present.empty());
        if (!present.empty()) {
            std::string text;
            for (const std::string& s : present) text += "[" + s + "]\r\nK = 1\r\n";
            p.ReloadMain(Put("Config.dat", text).c_str());
            EXPECT_FALSE(p.FindPlatformSection("OPT", name)) << c.network << c.usb;
        }
    }
}

TEST_F(InstProfileTest, EmptyOsDefineGivesADoubleDot) {
    host.osDefine.clear();
    CInstProfile p;
    Create(p, "[OPT..EN]\r\nK = 1\r\n[OPT.EN]\r\nK = 1\r\n");
    std::string name;
    ASSERT_TRUE(p.FindPlatformSection("OPT", name));
    EXPECT_EQ("OPT..EN", name);
}

TEST_F(InstProfileTest, SectionWithABlankIsReadableButNeverFound) {
    CInstProfile p;
    Create(p);
    EXPECT_EQ("v", Get(p, "MY SECTION", "K"));
    EXPECT_FALSE(p.HasSection("MY SECTION"));
    std::string name;
    EXPECT_FALSE(p.FindPlatformSection("MY SECTION", name));
    EXPECT_TRUE(p.HasSection("list"));
    EXPECT_TRUE(p.HasSection("STRINGS"));
    EXPECT_FALSE(p.HasSection("LIS"));
    EXPECT_FALSE(p.HasSection(""));
}

TEST_F(InstProfileTest, TooManySectionNamesFindNothing) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "[" + std::string(200, 'S') + std::to_string(i) + "]\r\nK = 1\r\n";
    text += "[OPT]\r\nK = 1\r\n";
    CInstProfile p;
    Create(p, text);
    EXPECT_EQ("1", Get(p, "OPT", "K"));
    EXPECT_FALSE(p.HasSection("OPT"));
    std::string name;
    EXPECT_FALSE(p.FindPlatformSection("OPT", name));
}

TEST_F(InstProfileTest, LongExpansionsAreCutToTheBuffers) {
    // Defined strings make texts just below the work buffer; the message
    // and the macro then push them past it. A line holds 4095 bytes.
    const std::string chunk(4091, 'x');
    const std::string message(50, 'm');
    const std::string main = "[STRINGS]\r\n%Q%=" + chunk +
                             "\r\n[S]\r\nMSG = %Q%%Q%%Q%%Q%@LONG@\r\n"
                             "MACRO = %Q%%Q%%Q%%Q%$DEST_DIR$\r\nSHORT = $DEST_DIR$\r\n";
    const std::string file = Put("Setup.dat", main);
    const std::string strings = Put("Strings_EN.dat", "[MESSAGES]\r\nLONG = " + message + "\r\n");
    CInstProfile p;
    ASSERT_TRUE(p.Create(file.c_str(), file.c_str(), strings.c_str(), false));
    const std::string x(4 * chunk.size(), 'x');

    std::string out;
    ASSERT_TRUE(p.GetString("S", "MSG", out, false));
    EXPECT_EQ((x + message).substr(0, kProfileText - 1), out);

    ASSERT_TRUE(p.GetString("S", "MACRO", out));
    EXPECT_EQ((x + "C:\\Program Files\\Veltrix").substr(0, kProfileText - 1), out);

    ASSERT_TRUE(p.GetString("S", "MSG", out, true, 0, nullptr, nullptr, kProfilePath));
    EXPECT_EQ(std::string(kProfilePath - 1, 'x'), out);
    ASSERT_TRUE(p.GetString("S", "SHORT", out, true, 0, nullptr, nullptr, 8));
    EXPECT_EQ("C:\\Prog", out);
}

TEST_F(InstProfileTest, AtSignAsATrailByteOpensNoMessage) {
    SetProfileCodePage(932);
    CInstProfile p;
    Create(p, "[S]\r\nJP = \x81@@HELLO@\r\n");
    EXPECT_EQ("\x81@Hello", Get(p, "S", "JP"));
}

TEST_F(InstProfileTest, WithoutMainFileEveryLookupFails) {
    const std::string strings = Put("Strings_EN.dat", kStringsEn);
    CInstProfile p;
    EXPECT_FALSE(p.Create("", "", strings.c_str(), false));
    EXPECT_TRUE(p.MessagesLoaded());
    std::string out;
    std::vector<std::string> list;
    uint32_t value = 0;
    EXPECT_FALSE(p.GetString("MESSAGES", "HELLO", out));
    EXPECT_FALSE(p.GetAllKey("MESSAGES", list));
    EXPECT_FALSE(p.GetDword("MESSAGES", "HELLO", &value));
    EXPECT_FALSE(p.HasSection("MESSAGES"));

    // A main file that cannot be read: created, but nothing is found.
    CInstProfile missing;
    EXPECT_TRUE(missing.Create("C:\\pkg\\missing.dat", "", "", false));
    EXPECT_FALSE(missing.GetString("S", "K", out));
}

TEST_F(InstProfileTest, ReloadSwitchesTheStringFile) {
    CInstProfile p;
    Create(p);
    const std::string fr = Put("Strings_FR.dat", "[MESSAGES]\r\nHELLO = Bonjour\r\n");
    EXPECT_TRUE(p.ReloadMessages(fr.c_str()));
    EXPECT_EQ(fr, p.MessageFileName());
    EXPECT_EQ("Bonjour", Get(p, "S", "MSG"));
    EXPECT_EQ("Bonjour and @BYE@", Get(p, "S", "TWO"));

    EXPECT_TRUE(p.ReloadMain(Put("Other.dat", "[S]\r\nMSG = other @HELLO@\r\n").c_str()));
    EXPECT_EQ("other Bonjour", Get(p, "S", "MSG"));
}

TEST_F(InstProfileTest, TypedLookupsNeedNoExpansion) {
    CInstProfile p;
    Create(p, "[C]\r\nN = 0x10\r\nPAIR = 1,2\r\nRGB = 1,2,3\r\nBOX = 1,2,3,4\r\nONE = 5\r\n");
    uint32_t n = 0, colour = 0;
    CSize size;
    CPoint point;
    CRect rect;
    EXPECT_TRUE(p.GetDword("C", "N", &n));
    EXPECT_EQ(16u, n);
    EXPECT_TRUE(p.GetControl("C", "PAIR", &size));
    EXPECT_TRUE(p.GetControl("C", "PAIR", &point));
    EXPECT_TRUE(p.GetColour("C", "RGB", colour));
    EXPECT_EQ(0x030201u, colour);
    EXPECT_TRUE(p.GetControl("C", "BOX", &rect));
    EXPECT_FALSE(p.GetControl("C", "ONE", &size));
    EXPECT_FALSE(p.GetControl("C", "MISSING", &rect));
}

}  // namespace

namespace {

TEST(InstProfileListing, PathsInAListedSectionKeepTheirBackslashes) {
    testsupport::SimMachine m;
    testsupport::WriteHost(m.package() + "/cmd.dat",
                           "[COPY]\r\nFILE = D:\\data\\readme.txt, C:\\new\\readme.txt\r\n");
    testsupport::WriteHost(m.package() + "/str.dat", "[TEXTS]\r\nLINE = one\\ntwo\r\n");
    CInstProfile command, strings;
    command.Create("D:\\cmd.dat", "", nullptr, false);
    strings.Create("D:\\str.dat", "", nullptr, true);
    std::vector<std::string> out;
    ASSERT_TRUE(command.GetAllKey("COPY", out));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("FILE = D:\\data\\readme.txt, C:\\new\\readme.txt", out[0]);
    ASSERT_TRUE(strings.GetAllKey("TEXTS", out));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("LINE = one\ntwo", out[0]);
}

}  // namespace
