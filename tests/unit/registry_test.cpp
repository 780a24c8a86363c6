// The installer's registry class and the registry sections of the command
// profile on simulated machines: the views of a 64-bit Windows, keys that
// refuse deletion, failing writes, Windows 9x, the text file's lines and
// the VALUE lines of CT_ADDREG and CT_DELREG.
#include "command/registry.h"

#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

#include "app/installer_app.h"
#include "profile/inst_profile.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;

std::string Ini64() { return WithKey(sim::Machine::DefaultIni(), "Machine", "Is64Bit", "1"); }

std::string IniWindows98() {
    std::string ini = WithKey(sim::Machine::DefaultIni(), "Version", "Platform", "1");
    return WithKey(WithKey(ini, "Version", "Major", "4"), "Version", "Minor", "10");
}

std::string Stored(SimMachine& m, const std::string& path, const std::string& name) {
    std::string text;
    return m.machine().registry().QueryString(path, name, text) == 0 ? text : "<none>";
}

bool StoreHas(SimMachine& m, const std::string& path) {
    return m.machine().registry().KeyExists(path);
}

TEST(RegistryViews, WritesLandWhereTheRunningProgramSeesHklmSoftware) {
    struct Case {
        bool machine64;
        bool program64;
        const char* storePath;
    };
    const Case cases[] = {
        {false, false, "HKLM\\Software\\Vendor"},
        {true, false, "HKLM\\Software\\Wow6432Node\\Vendor"},
        {true, true, "HKLM\\Software\\Vendor"},
    };
    for (const Case& c : cases) {
        SimMachine m(c.machine64 ? Ini64() : std::string());
        m.process().program64 = c.program64;
        ASSERT_EQ(0u, CRegistry::SetValue("Software\\Vendor", "Dir", "C:\\V", os::kHKLM));
        ASSERT_EQ(0u, CRegistry::SetValue("Software\\Vendor", "User", "me", os::kHKCU));
        EXPECT_EQ("C:\\V", Stored(m, c.storePath, "Dir")) << c.storePath;
        EXPECT_EQ("me", Stored(m, "HKCU\\Software\\Vendor", "User"));  // never redirected
        std::string back;
        EXPECT_EQ(0u, CRegistry::GetValue("Software\\Vendor", "Dir", back, os::kHKLM));
        EXPECT_EQ("C:\\V", back);
    }
}

TEST(RegistryViews, AnExplicitWow6432NodePathIsNotRedirectedTwice) {
    SimMachine m(Ini64());
    ASSERT_EQ(0u, CRegistry::SetValue("Software\\Wow6432Node\\V", "n", 1u, os::kHKLM));
    EXPECT_TRUE(StoreHas(m, "HKLM\\Software\\Wow6432Node\\V"));
    EXPECT_FALSE(StoreHas(m, "HKLM\\Software\\Wow6432Node\\Wow6432Node"));
    // The 32-bit view of HKLM\Software lists the redirected keys.
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKLM, "Software", os::kKeyRead, &k));
    std::vector<std::string> names;
    char name[256];
    for (uint32_t i = 0;; ++i) {
        uint32_t size = sizeof name;
        if (os::EnumRegKey(k, i, name, &size) != 0) break;
        names.push_back(name);
    }
    os::CloseRegKey(k);
    EXPECT_EQ((std::vector<std::string>{"Microsoft", "V"}), names);
}

TEST(RegistryFaults, ProtectedKeysFromMachineIniGiveWayToTheSecurityRetry) {
    std::string ini = sim::Machine::DefaultIni() +
                      "[RegistryProtected]\r\n"
                      "HKLM\\Software\\Vendor\\Locked = 1\r\n"
                      "HKLM\\Software\\Vendor\\Open = 0\r\n";
    SimMachine m(ini);
    uint32_t granted = 0;
    ASSERT_EQ(0u, m.machine().registry().KeyAccess("HKLM\\Software\\Vendor\\Locked", &granted));
    EXPECT_EQ(os::kKeyRead, granted);
    EXPECT_FALSE(StoreHas(m, "HKLM\\Software\\Vendor\\Open"));

    EXPECT_EQ(os::kErrAccessDenied, os::DeleteRegKey(os::kHKLM, "Software\\Vendor\\Locked"));
    EXPECT_EQ(os::kErrAccessDenied,
              CRegistry::SetValue("Software\\Vendor\\Locked", "v", "x", os::kHKLM));
    EXPECT_EQ(0u, CRegistry::DeleteKey("Software\\Vendor\\Locked", true, os::kHKLM));
    EXPECT_FALSE(StoreHas(m, "HKLM\\Software\\Vendor\\Locked"));
}

TEST(RegistryFaults, APermissionRetryCannotRemoveAProtectedKeyWithSubkeys) {
    // Its subkeys cannot be listed for deletion, so it keeps them and stays.
    SimMachine m;
    sim::RegistryStore& store = m.machine().registry();
    ASSERT_EQ(0u, store.CreateKey("HKLM\\Software\\V\\Locked\\Child"));
    ASSERT_EQ(0u, store.SetKeyAccess("HKLM\\Software\\V\\Locked", os::kKeyRead));
    EXPECT_EQ(os::kErrAccessDenied, CRegistry::DeleteKey("Software\\V\\Locked", false, os::kHKLM));
    EXPECT_TRUE(StoreHas(m, "HKLM\\Software\\V\\Locked\\Child"));
    uint32_t granted = 0;
    store.KeyAccess("HKLM\\Software\\V\\Locked", &granted);
    EXPECT_EQ(os::kKeyAllAccess, granted);  // its security was opened on the way
}

// An ACE of the access-allowed (0), access-denied (1) or object (5) kind.
std::vector<unsigned char> Ace(uint8_t type, uint8_t flags, uint32_t mask,
                               const std::vector<unsigned char>& sid) {
    std::vector<unsigned char> ace = {type, flags, 0, 0};
    for (int i = 0; i < 4; ++i) ace.push_back(static_cast<unsigned char>(mask >> (8 * i)));
    if (type == 5) ace.insert(ace.end(), {0, 0, 0, 0});  // no object types named
    ace.insert(ace.end(), sid.begin(), sid.end());
    ace[2] = static_cast<unsigned char>(ace.size());
    return ace;
}

std::vector<unsigned char> Acl(const std::vector<std::vector<unsigned char>>& aces) {
    std::vector<unsigned char> acl = {4, 0, 0, 0, static_cast<unsigned char>(aces.size()), 0, 0, 0};
    for (const auto& ace : aces) acl.insert(acl.end(), ace.begin(), ace.end());
    acl[2] = static_cast<unsigned char>(acl.size());
    return acl;
}

const std::vector<unsigned char> kEveryone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
const std::vector<unsigned char> kSystem = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const std::vector<unsigned char> kAdministrators = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

// The descriptor layout the security functions build in memory: revision,
// control, then pointers to owner, group, SACL and DACL.
struct AbsoluteDescriptor {
    uint8_t revision = 1;
    uint8_t sbz = 0;
    uint16_t control = 0x0004;  // DACL present
    void* owner = nullptr;
    void* group = nullptr;
    void* sacl = nullptr;
    void* dacl = nullptr;
};

TEST(RegistrySecurity, TheDaclDecidesWhatTheUserMayDo) {
    struct Case {
        const char* what;
        std::vector<unsigned char> acl;  // empty: a null DACL
        uint32_t granted;
    };
    const Case cases[] = {
        {"everyone reads", Acl({Ace(0, 0, os::kKeyRead, kEveryone)}), os::kKeyRead},
        {"object ACE", Acl({Ace(5, 0x12, os::kKeyAllAccess, kEveryone)}), os::kKeyAllAccess},
        {"generic all", Acl({Ace(0, 0, 0x10000000, kEveryone)}), os::kKeyAllAccess},
        {"deny first wins", Acl({Ace(1, 0, os::kAccessDelete, kEveryone),
                                 Ace(0, 0, os::kKeyAllAccess, kEveryone)}),
         os::kKeyAllAccess & ~os::kAccessDelete},
        {"allow first wins", Acl({Ace(0, 0, os::kKeyAllAccess, kEveryone),
                                  Ace(1, 0, os::kAccessDelete, kEveryone)}),
         os::kKeyAllAccess},
        {"inherit-only is for subkeys", Acl({Ace(0, 0x08, os::kKeyAllAccess, kEveryone),
                                             Ace(0, 0, os::kKeyRead, kEveryone)}),
         os::kKeyRead},
        {"another account", Acl({Ace(0, 0, os::kKeyAllAccess, kSystem)}), 0},
        {"the administrators", Acl({Ace(0, 0, os::kKeyAllAccess, kAdministrators)}),
         os::kKeyAllAccess},
        {"null DACL", {}, os::kKeyAllAccess},
    };
    for (const Case& c : cases) {
        for (bool absolute : {false, true}) {
            SimMachine m;
            ASSERT_EQ(0u, m.machine().registry().CreateKey("HKCU\\K"));
            std::vector<unsigned char> acl = c.acl;
            AbsoluteDescriptor abs;
            abs.dacl = acl.empty() ? nullptr : acl.data();
            std::vector<unsigned char> rel = {1, 0, 0x04, 0x80, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0, 0};
            if (!acl.empty()) {
                rel[16] = 20;
                rel.insert(rel.end(), acl.begin(), acl.end());
            }
            os::RegKey k = nullptr;
            ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, "K", os::kAccessWriteDac, &k));
            EXPECT_EQ(0u, os::SetRegKeySecurity(k, os::kDaclSecurityInformation,
                                                absolute ? static_cast<const void*>(&abs)
                                                         : rel.data()))
                << c.what;
            os::CloseRegKey(k);
            uint32_t granted = 0;
            m.machine().registry().KeyAccess("HKCU\\K", &granted);
            EXPECT_EQ(c.granted, granted) << c.what << (absolute ? ", absolute" : ", self-relative");
        }
    }
}

TEST(RegistryFaults, AnInjectedWriteFailureIsTheAnswerOfEveryWriteBelowTheKey) {
    SimMachine m(sim::Machine::DefaultIni() +
                 "[RegistryWriteFails]\r\nHKLM\\Software\\Broken = 1016\r\n");
    sim::RegistryStore& store = m.machine().registry();
    ASSERT_EQ(0u, store.SetWriteFault("HKLM\\Software\\Broken", 0));
    ASSERT_EQ(0u, store.SetString("HKLM\\Software\\Broken\\Old", "v", "kept"));
    ASSERT_EQ(0u, store.SetWriteFault("HKLM\\Software\\Broken", 1016));

    const std::string file = "[HKEY_LOCAL_MACHINE\\Software\\Broken]\r\n\"v\" = \"x\"\r\n";
    struct Case {
        const char* what;
        uint32_t got;
    };
    const Case cases[] = {
        {"new key", CRegistry::SetValue("Software\\Broken\\New", "v", "x", os::kHKLM)},
        {"value of an old key", CRegistry::SetValue("Software\\Broken\\Old", "v", 2u, os::kHKLM)},
        {"deleting a value", CRegistry::DeleteValue("Software\\Broken\\Old", "v", os::kHKLM)},
        {"deleting the key", CRegistry::DeleteKey("Software\\Broken\\Old", true, os::kHKLM)},
        {"the text file", CRegistry::LoadFromText(file.data(), file.size())},
    };
    for (const Case& c : cases) EXPECT_EQ(1016u, c.got) << c.what;
    std::string text;
    EXPECT_EQ(0u, CRegistry::GetValue("Software\\Broken\\Old", "v", text, os::kHKLM));
    EXPECT_EQ("kept", text);
    EXPECT_EQ(0u, CRegistry::SetValue("Software\\BrokenNot", "v", "x", os::kHKLM));
}

TEST(RegistryWindows9x, DeletingOnlyTheKeyTakesItsWholeTree) {
    SimMachine m(IniWindows98());
    ASSERT_EQ(0u, CRegistry::SetValue("Software\\V\\P\\Sub", "n", 1u, os::kHKLM));
    EXPECT_EQ(0u, CRegistry::DeleteKey("Software\\V\\P", true, os::kHKLM));
    EXPECT_FALSE(StoreHas(m, "HKLM\\Software\\V\\P"));
    EXPECT_TRUE(StoreHas(m, "HKLM\\Software\\V"));  // no parents removed
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKLM, "Software\\V", os::kKeyAllAccess, &k));
    uint32_t size = 64;
    unsigned char sd[64];
    EXPECT_EQ(os::kErrCallNotImplemented,
              os::GetRegKeySecurity(k, os::kDaclSecurityInformation, sd, &size));
    os::CloseRegKey(k);
    EXPECT_EQ(os::kErrCallNotImplemented,
              os::DeleteRegKeyEx(os::kHKLM, "Software\\V", os::kKeyWow64_64Key));
}

TEST(RegistryClass, TextValuesAreCutNowhereAndEndWithTheirZero) {
    SimMachine m;
    // Stored by another program without its terminating zero.
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::CreateRegKey(os::kHKCU, "Software\\T", 0, os::kKeyAllAccess, &k, nullptr));
    const char raw[] = "abcX";
    ASSERT_EQ(0u, os::SetRegValue(k, "raw", os::kRegSz, raw, 3));
    os::CloseRegKey(k);

    char text[8];
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(0u, CRegistry::GetValue("Software\\T", "raw", text, os::kHKCU, 4));
    EXPECT_EQ(std::string("abc\0", 4), std::string(text, 4));
    std::memset(text, 'z', sizeof text);
    EXPECT_EQ(0u, CRegistry::GetValue("Software\\T", "raw", text, os::kHKCU, 3));
    EXPECT_EQ("abcz", std::string(text, 4));  // no room for a zero
    EXPECT_EQ(122u, CRegistry::GetValue("Software\\T", "raw", text, os::kHKCU, 2));

    const std::string long4095(4095, 'L');
    ASSERT_EQ(0u, CRegistry::SetValue("Software\\T", "long", long4095.c_str(), os::kHKCU));
    std::string back;
    EXPECT_EQ(0u, CRegistry::GetValue("Software\\T", "long", back, os::kHKCU));
    EXPECT_EQ(long4095, back);
    const std::string long4096(4096, 'L');
    ASSERT_EQ(0u, CRegistry::SetValue("Software\\T", "longer", long4096.c_str(), os::kHKCU));
    EXPECT_EQ(os::kErrMoreData, CRegistry::GetValue("Software\\T", "longer", back, os::kHKCU));
}

TEST(RegistryClass, CallsFromTwoThreadsAtOnceAllSucceed) {
    SimMachine m;
    uint32_t failures[2] = {0, 0};
    auto worker = [&](int which) {
        const std::string key = "Software\\Threads\\W" + std::to_string(which);
        for (uint32_t i = 0; i < 200; ++i) {
            uint32_t back = 0;
            if (CRegistry::SetValue(key.c_str(), "n", i, os::kHKCU) != 0 ||
                CRegistry::GetValue(key.c_str(), "n", &back, os::kHKCU) != 0 || back != i)
                ++failures[which];
        }
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
    EXPECT_EQ(0u, failures[0]);
    EXPECT_EQ(0u, failures[1]);
}

// --- the registry text file --------------------------------------------------------

TEST(RegistryTextFile, LinesAreReadAsTheirTypeSays) {
    struct Case {
        const char* line;
        uint32_t result;
        const char* text;  // REG_SZ written, or null
        int64_t number;    // REG_DWORD written, or -1
    };
    const Case cases[] = {
        {"\"N\" = \"a, b\"", 0, "a, b", -1},
        {"N = \"\"", 0, "", -1},
        {"\"N\" = dword:0000001f", 0, nullptr, 31},
        {"\"N\" = dword: \"FF\"", 0, nullptr, 255},
        {"\"N\" = dword:123456789", 0, nullptr, 0x23456789},
        {"\"N\" = dword:1g", 0, nullptr, 0x10},  // not a digit: 0
        {"\"N\" = dword:", 0, nullptr, 0},
        {"\"N\" = hex:", 0, nullptr, -1},
        {"\"N\" = hex:01,02", 0, nullptr, -1},
        {"\"N\" = DWORD:1", 13, nullptr, -1},
        {"\"N\" = text", 13, nullptr, -1},
        {"\"N\" = \"open", 13, nullptr, -1},
        {"N", 13, nullptr, -1},
    };
    for (const Case& c : cases) {
        SimMachine m;
        const std::string file = std::string("[HKEY_CURRENT_USER\\Software\\F]\r\n") + c.line + "\r\n";
        EXPECT_EQ(c.result, CRegistry::LoadFromText(file.data(), file.size())) << c.line;
        EXPECT_TRUE(StoreHas(m, "HKCU\\Software\\F")) << c.line;
        sim::RegValue v;
        const uint32_t found = m.machine().registry().QueryValue("HKCU\\Software\\F", "N", v);
        if (c.text) {
            ASSERT_EQ(0u, found) << c.line;
            EXPECT_EQ(os::kRegSz, v.type) << c.line;
            EXPECT_EQ(c.text, Stored(m, "HKCU\\Software\\F", "N")) << c.line;
        } else if (c.number >= 0) {
            uint32_t n = 0;
            ASSERT_EQ(0u, m.machine().registry().QueryDword("HKCU\\Software\\F", "N", n)) << c.line;
            EXPECT_EQ(static_cast<uint32_t>(c.number), n) << c.line;
        } else {
            EXPECT_EQ(2u, found) << c.line;
        }
    }
}

TEST(RegistryTextFile, SectionsNameTheirRootOrLieBelowHklm) {
    SimMachine m;
    const std::string file =
        "[hkey_current_user\\Software\\A]\r\n\"v\" = \"1\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\B]\r\n\"v\" = \"2\"\r\n"
        "[HKEY_CLASSES_ROOT\\.abc]\r\n\"v\" = \"3\"\r\n"
        "[Software\\C]\r\n\"v\" = \"4\"\r\n"
        "[HKEY_USERS\\D]\r\n\"v\" = \"5\"\r\n";
    EXPECT_EQ(0u, CRegistry::LoadFromText(file.data(), file.size()));
    EXPECT_EQ("1", Stored(m, "HKCU\\Software\\A", "v"));
    EXPECT_EQ("2", Stored(m, "HKLM\\Software\\B", "v"));
    EXPECT_EQ("3", Stored(m, "HKCR\\.abc", "v"));
    EXPECT_EQ("4", Stored(m, "HKLM\\Software\\C", "v"));
    EXPECT_EQ("5", Stored(m, "HKLM\\HKEY_USERS\\D", "v"));  // not a root of the file
}

TEST(RegistryTextFile, TheResultIsThatOfTheLastLine) {
    SimMachine m;
    const std::string bad_then_good = "[Software\\R]\r\n\"a\" = junk\r\n\"b\" = \"ok\"\r\n";
    const std::string good_then_bad = "[Software\\R]\r\n\"b\" = \"ok\"\r\n\"a\" = junk\r\n";
    EXPECT_EQ(0u, CRegistry::LoadFromText(bad_then_good.data(), bad_then_good.size()));
    EXPECT_EQ(13u, CRegistry::LoadFromText(good_then_bad.data(), good_then_bad.size()));
    EXPECT_EQ("ok", Stored(m, "HKLM\\Software\\R", "b"));
}

TEST(RegistryTextFile, AnUnknownRootCannotBeSaved) {
    SimMachine m;
    ASSERT_EQ(0u, CRegistry::SetValue("S-1-5-18\\Software", "v", "x", os::kHKU));
    EXPECT_EQ(87u, CRegistry::SaveToFile("S-1-5-18", "C:\\users.reg", os::kHKU));
    EXPECT_FALSE(os::FileExists("C:\\users.reg"));
}

TEST(RegistryTextFile, RandomBytesAndDeepSectionsLoadWithoutHarm) {
    SimMachine m;
    uint32_t seed = 12345;
    std::string bytes;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(seed >> 16));
    }
    CRegistry::LoadFromText(bytes.data(), bytes.size());  // any result, no crash

    // A section name is cut by the profile format, so the key is shallower.
    std::string deep = "[HKEY_CURRENT_USER";
    for (int i = 0; i < 1000; ++i) deep += "\\L";
    deep += "]\r\n\"v\" = \"x\"\r\n";
    EXPECT_EQ(0u, CRegistry::LoadFromText(deep.data(), deep.size()));
    EXPECT_TRUE(StoreHas(m, "HKCU\\L\\L\\L"));
}

// --- CT_ADDREG and CT_DELREG -------------------------------------------------------

// The log lines after the banner, without their time stamps.
std::vector<std::string> LogLines(SimMachine& m, const std::string& winPath) {
    std::istringstream in(testsupport::ReadHost(m.Host(winPath)));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 12 && line[0] == '[' && line[9] == ']') lines.push_back(line.substr(12));
    }
    return lines;
}

class RegistrySection : public ::testing::Test {
protected:
    void Load(const std::string& text) {
        testsupport::WriteHost(m.package() + "/cmd.txt", text);
        ASSERT_TRUE(profile.Create("D:\\cmd.txt", nullptr, nullptr, false));
    }
    std::vector<std::string> Log() { return LogLines(m, app.log().FileName()); }

    SimMachine m{testsupport::FixedClockIni()};
    CInstallerApp app;
    CInstProfile profile;
};

TEST_F(RegistrySection, AddWritesEachValueLine) {
    Load("[ADD]\r\n"
         "KEYNAME = Software\\Vendor\\App\r\n"
         "VALUE = REG_SZ, Path, E:\\Data,Old\r\n"
         "VALUE = REG_DWORD, Flags, 0x10\r\n"
         "VALUE = reg_dword, Count, 10\r\n"
         "VALUE = REG_SZ,,, Skipped,, commas\r\n"
         "VALUE = STRING, Name ,  spaced text  \r\n"
         "VALUE = REG_SZ\r\n"
         "value = REG_SZ, Lower, key\r\n"
         "OTHER = REG_SZ, Other, no\r\n"
         "[USER]\r\nROOTKEY = hkcu\r\nKEYNAME = Software\\U\r\nVALUE = REG_SZ, v, 1\r\n"
         "[LONGNAME]\r\nROOTKEY = HKEY_CURRENT_USER\r\nKEYNAME = Software\\L\r\n"
         "VALUE = REG_SZ, v, 1\r\n");
    EXPECT_TRUE(AddRegistrySection("ADD", &profile));
    const std::string key = "HKLM\\Software\\Vendor\\App";
    EXPECT_EQ("E:\\Data,Old", Stored(m, key, "Path"));
    uint32_t n = 0;
    EXPECT_EQ(0u, m.machine().registry().QueryDword(key, "Flags", n));
    EXPECT_EQ(16u, n);
    EXPECT_EQ(0u, m.machine().registry().QueryDword(key, "Count", n));
    EXPECT_EQ(10u, n);
    EXPECT_EQ(", commas", Stored(m, key, "Skipped"));  // empty pieces skipped, the rest kept
    EXPECT_EQ("spaced text", Stored(m, key, "Name"));
    EXPECT_EQ("key", Stored(m, key, "Lower"));
    EXPECT_EQ("<none>", Stored(m, key, "Other"));
    std::vector<sim::RegValue> values;
    m.machine().registry().EnumValues(key, values);
    EXPECT_EQ(6u, values.size());

    EXPECT_TRUE(AddRegistrySection("USER", &profile));
    EXPECT_EQ("1", Stored(m, "HKCU\\Software\\U", "v"));
    // Only a text holding "HKCU" names the current user.
    EXPECT_TRUE(AddRegistrySection("LONGNAME", &profile));
    EXPECT_EQ("1", Stored(m, "HKLM\\Software\\L", "v"));
    EXPECT_TRUE(Log().empty());
}

TEST_F(RegistrySection, FailuresLogTheirLine) {
    Load("[NOKEY]\r\nVALUE = REG_SZ, v, 1\r\n[EMPTYKEY]\r\nKEYNAME =\r\n");
    struct Case {
        bool add;
        const char* section;
        const char* line;
    };
    const Case cases[] = {
        {true, "", "Get Add registry section error!"},
        {true, "NOKEY", "Get Add registry Key Name error!"},
        {true, "EMPTYKEY", "Get Add registry Key Name error!"},
        {true, "MISSING", "Get Add registry Key Name error!"},
        {false, "", "Get Delete registry section error!"},
        {false, "NOKEY", "Get Delete registry Key Name error!"},
        {false, "MISSING", "Get Delete registry Key Name error!"},
    };
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        const bool ok = c.add ? AddRegistrySection(c.section, &profile)
                              : DeleteRegistrySection(c.section, &profile);
        EXPECT_FALSE(ok) << c.line;
        expected.push_back(c.line);
    }
    EXPECT_EQ(expected, Log());
}

TEST_F(RegistrySection, ASectionForAnotherSystemIsPassedOver) {
    Load("[ADD]\r\nKEYNAME = Software\\X\r\nVALUE = REG_SZ, v, 1\r\nSUPPORTED_OS = ME\r\n"
         "[DEL]\r\nKEYNAME = Software\\Y\r\nDELETE_KEY = 1\r\n");
    ASSERT_EQ(0u, CRegistry::SetValue("Software\\Y", "v", "x", os::kHKLM));
    std::vector<std::string> asked;
    auto notHere = [&](const char* section) {
        asked.push_back(section);
        return false;
    };
    EXPECT_TRUE(AddRegistrySection("ADD", &profile, notHere));
    EXPECT_TRUE(DeleteRegistrySection("DEL", &profile, notHere));
    EXPECT_EQ((std::vector<std::string>{"ADD", "DEL"}), asked);
    EXPECT_FALSE(StoreHas(m, "HKLM\\Software\\X"));
    EXPECT_TRUE(StoreHas(m, "HKLM\\Software\\Y"));
}

TEST_F(RegistrySection, DeleteRemovesValuesThenTheKeyAndItsEmptyParents) {
    Load("[VALUES]\r\nROOTKEY = HKCU\r\nKEYNAME = Software\\V\\P\r\n"
         "VALUE = REG_SZ, Named\r\n"
         "VALUE = Alone\r\n"
         "VALUE = , Second\r\n"
         "[TREE]\r\nROOTKEY = HKCU\r\nKEYNAME = Software\\V\\P\\Sub\r\nDELETE_KEY = 1\r\n");
    const std::string p = "HKCU\\Software\\V\\P";
    for (const char* name : {"Named", "Alone", "Second", "REG_SZ", "Kept"})
        ASSERT_EQ(0u, m.machine().registry().SetString(p, name, "x"));
    ASSERT_EQ(0u, m.machine().registry().SetString(p + "\\Sub\\A\\Deep", "v", "x"));

    EXPECT_TRUE(DeleteRegistrySection("VALUES", &profile));
    std::vector<sim::RegValue> values;
    m.machine().registry().EnumValues(p, values);
    ASSERT_EQ(2u, values.size());
    EXPECT_EQ("REG_SZ", values[0].name);  // a first piece names a value only alone
    EXPECT_EQ("Kept", values[1].name);

    ASSERT_EQ(0u, m.machine().registry().DeleteValue(p, "REG_SZ"));
    ASSERT_EQ(0u, m.machine().registry().DeleteValue(p, "Kept"));
    EXPECT_TRUE(DeleteRegistrySection("TREE", &profile));
    EXPECT_FALSE(StoreHas(m, "HKCU\\Software\\V"));
    EXPECT_TRUE(StoreHas(m, "HKCU\\Software"));  // empty now, and still there
    EXPECT_EQ((std::vector<std::string>{"Delete Key (Software\\V\\P\\Sub) "}), Log());
}

}  // namespace
