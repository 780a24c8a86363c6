#include "platform/sim/registry_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "profile/profile.h"
#include <thread>
#include <vector>

namespace {

using sim::RegistryStore;
using sim::RegValue;

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/registry_store_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        dbPath_ = dir_ + "/registry.db";
        ASSERT_EQ(reg_.Open(dbPath_), 0u);
    }
    void TearDown() override {
        reg_.Close();
        std::filesystem::remove_all(dir_);
    }

    std::vector<std::string> Keys(RegistryStore& r, const std::string& path) {
        std::vector<std::string> names;
        EXPECT_EQ(r.EnumKeys(path, names), 0u) << path;
        return names;
    }
    std::vector<std::string> ValueNames(RegistryStore& r, const std::string& path) {
        std::vector<RegValue> values;
        EXPECT_EQ(r.EnumValues(path, values), 0u) << path;
        std::vector<std::string> names;
        for (const RegValue& v : values) names.push_back(v.name);
        return names;
    }
    int64_t Count(const char* sql) {
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(reg_.db(), sql, -1, &s, nullptr), SQLITE_OK) << sql;
        int64_t n = -1;
        if (sqlite3_step(s) == SQLITE_ROW) n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return n;
    }

    std::string dir_;
    std::string dbPath_;
    RegistryStore reg_;
};

TEST_F(RegistryStoreTest, KeysMatchCaseInsensitivelyAndKeepTheirCase) {
    bool created = false;
    ASSERT_EQ(reg_.CreateKey("HKLM\\Software\\Vendor", &created), 0u);
    EXPECT_TRUE(created);

    const char* const spellings[] = {
        "HKLM\\Software\\Vendor",
        "hklm\\SOFTWARE\\vendor",
        "HKEY_LOCAL_MACHINE\\software\\VENDOR",
        "hkey_local_machine\\Software\\Vendor",
        "HKLM\\\\Software\\Vendor\\",
    };
    for (const char* path : spellings) {
        EXPECT_TRUE(reg_.KeyExists(path)) << path;
        EXPECT_EQ(reg_.CreateKey(path, &created), 0u) << path;
        EXPECT_FALSE(created) << path;
    }
    EXPECT_EQ(Keys(reg_, "HKLM"), std::vector<std::string>{"Software"});
    EXPECT_EQ(Keys(reg_, "hklm\\software"), std::vector<std::string>{"Vendor"});
    EXPECT_FALSE(reg_.KeyExists("HKCU\\Software\\Vendor"));
    EXPECT_FALSE(reg_.KeyExists("HKLM\\Software\\Vend"));
}

TEST_F(RegistryStoreTest, ValuesMatchCaseInsensitivelyAndKeepTheirCase) {
    ASSERT_EQ(reg_.SetString("HKCU\\App", "InstallDir", "C:\\A"), 0u);
    ASSERT_EQ(reg_.SetString("hkcu\\APP", "INSTALLDIR", "C:\\B"), 0u);

    RegValue v;
    ASSERT_EQ(reg_.QueryValue("HKEY_CURRENT_USER\\app", "installdir", v), 0u);
    EXPECT_EQ(v.name, "InstallDir");
    EXPECT_EQ(v.data, std::string("C:\\B\0", 5));
    EXPECT_EQ(ValueNames(reg_, "HKCU\\App"), std::vector<std::string>{"InstallDir"});

    EXPECT_EQ(reg_.DeleteValue("HKCU\\App", "installDIR"), 0u);
    EXPECT_EQ(reg_.QueryValue("HKCU\\App", "InstallDir", v), 2u);
}

TEST_F(RegistryStoreTest, SubkeysEnumerateInNtOrder) {
    // NT sorts by upper-cased name, so '_' comes after the letters.
    for (const char* name : {"b", "_x", "A", "c", "a1"})
        ASSERT_EQ(reg_.CreateKey(std::string("HKLM\\K\\") + name), 0u);
    EXPECT_EQ(Keys(reg_, "HKLM\\K"), (std::vector<std::string>{"A", "a1", "b", "c", "_x"}));
}

TEST_F(RegistryStoreTest, ValuesEnumerateInCreationOrderAcrossResets) {
    const std::string key = "HKLM\\Order";
    for (const char* name : {"z", "a", "m"}) ASSERT_EQ(reg_.SetString(key, name, name), 0u);
    ASSERT_EQ(reg_.SetDword(key, "Z", 7), 0u);  // replaces type and data, keeps its place
    ASSERT_EQ(reg_.SetString(key, "b", "b"), 0u);
    EXPECT_EQ(ValueNames(reg_, key), (std::vector<std::string>{"z", "a", "m", "b"}));

    std::vector<RegValue> values;
    ASSERT_EQ(reg_.EnumValues(key, values), 0u);
    EXPECT_EQ(values[0].type, sim::kRegDword);
    EXPECT_EQ(values[0].data, std::string("\x07\0\0\0", 4));

    ASSERT_EQ(reg_.DeleteValue(key, "a"), 0u);
    ASSERT_EQ(reg_.SetString(key, "a", "again"), 0u);  // a deleted value comes back last
    EXPECT_EQ(ValueNames(reg_, key), (std::vector<std::string>{"z", "m", "b", "a"}));
}

TEST_F(RegistryStoreTest, DwordsRoundTripLittleEndian) {
    struct Case {
        uint32_t value;
        std::string bytes;
    };
    const Case cases[] = {
        {0, std::string("\0\0\0\0", 4)},
        {1, std::string("\x01\0\0\0", 4)},
        {0x12345678, "\x78\x56\x34\x12"},
        {0xFFFFFFFF, "\xFF\xFF\xFF\xFF"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(reg_.SetDword("HKLM\\D", "v", c.value), 0u);
        RegValue raw;
        ASSERT_EQ(reg_.QueryValue("HKLM\\D", "v", raw), 0u);
        EXPECT_EQ(raw.type, sim::kRegDword);
        EXPECT_EQ(raw.data, c.bytes) << c.value;
        uint32_t back = 0xDEADBEEF;
        ASSERT_EQ(reg_.QueryDword("HKLM\\D", "v", back), 0u);
        EXPECT_EQ(back, c.value);
    }
}

TEST_F(RegistryStoreTest, StringsRoundTripWithTheirNul) {
    const std::string texts[] = {"", "C:\\Program Files\\Vendor", "Dr\xC3\xBC" "cker"};
    for (const std::string& text : texts) {
        ASSERT_EQ(reg_.SetString("HKLM\\S", "", text), 0u);  // the default value
        RegValue raw;
        ASSERT_EQ(reg_.QueryValue("HKLM\\S", "", raw), 0u);
        EXPECT_EQ(raw.name, "");
        EXPECT_EQ(raw.type, sim::kRegSz);
        EXPECT_EQ(raw.data, text + std::string(1, '\0'));
        std::string back = "junk";
        ASSERT_EQ(reg_.QueryString("HKLM\\S", "", back), 0u);
        EXPECT_EQ(back, text);
    }
    // Binary data with NULs inside survives untouched.
    const std::string blob("\0\x01\0\xFF", 4);
    ASSERT_EQ(reg_.SetValue("HKLM\\S", "bin", sim::kRegBinary, blob), 0u);
    RegValue raw;
    ASSERT_EQ(reg_.QueryValue("HKLM\\S", "bin", raw), 0u);
    EXPECT_EQ(raw.data, blob);
}

TEST_F(RegistryStoreTest, TypedQueriesRejectOtherTypes) {
    struct Case {
        uint32_t type;
        std::string data;
        bool asDword;  // else as string
        uint32_t expected;
    };
    const Case cases[] = {
        {sim::kRegSz, std::string("1234", 4), true, 13},
        {sim::kRegBinary, std::string("\x01\0\0\0", 4), true, 13},
        {sim::kRegDword, std::string("\x01\0\0", 3), true, 13},
        {sim::kRegDword, std::string("\x01\0\0\0\0", 5), true, 13},
        {sim::kRegDword, std::string("\x01\0\0\0", 4), false, 13},
        {sim::kRegMultiSz, std::string("a\0\0", 3), false, 13},
        {sim::kRegBinary, std::string("a\0", 2), false, 13},
        {sim::kRegExpandSz, std::string("%TEMP%\0", 7), false, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(reg_.SetValue("HKLM\\T", "v", c.type, c.data), 0u);
        uint32_t dw = 0;
        std::string text;
        const uint32_t got = c.asDword ? reg_.QueryDword("HKLM\\T", "v", dw)
                                       : reg_.QueryString("HKLM\\T", "v", text);
        EXPECT_EQ(got, c.expected) << "type " << c.type << " size " << c.data.size();
    }
    std::string text;
    ASSERT_EQ(reg_.QueryString("HKLM\\T", "v", text), 0u);
    EXPECT_EQ(text, "%TEMP%");
}

TEST_F(RegistryStoreTest, MissingAndMalformedPathsAnswerWindowsErrors) {
    ASSERT_EQ(reg_.SetString("HKLM\\Present", "v", "x"), 0u);
    RegValue v;
    uint32_t dw;
    std::string s;
    std::vector<std::string> names;
    std::vector<RegValue> values;

    struct Case {
        const char* what;
        uint32_t got;
        uint32_t expected;
    };
    const Case cases[] = {
        {"query, missing key", reg_.QueryValue("HKLM\\Absent", "v", v), 2},
        {"query, missing value", reg_.QueryValue("HKLM\\Present", "w", v), 2},
        {"query, root without rows", reg_.QueryValue("HKCC", "v", v), 2},
        {"dword, missing key", reg_.QueryDword("HKLM\\Absent", "v", dw), 2},
        {"string, missing value", reg_.QueryString("HKLM\\Present", "w", s), 2},
        {"delete value, missing", reg_.DeleteValue("HKLM\\Present", "w"), 2},
        {"delete value, missing key", reg_.DeleteValue("HKLM\\Absent", "v"), 2},
        {"delete key, missing", reg_.DeleteKey("HKLM\\Absent"), 2},
        {"delete tree, missing", reg_.DeleteTree("HKLM\\Present\\Absent"), 2},
        {"enum keys, missing", reg_.EnumKeys("HKLM\\Absent", names), 2},
        {"enum values, missing", reg_.EnumValues("HKLM\\Absent", values), 2},
        {"enum keys, empty root", reg_.EnumKeys("HKU", names), 0},
        {"create, unknown root", reg_.CreateKey("HKXX\\Software"), 6},
        {"set, unknown root", reg_.SetString("Software\\Vendor", "v", "x"), 6},
        {"query, unknown root", reg_.QueryValue("HKEY_NOWHERE\\A", "v", v), 6},
        {"create, empty path", reg_.CreateKey(""), 87},
        {"set, only backslashes", reg_.SetString("\\\\", "v", "x"), 87},
        {"delete key, root", reg_.DeleteKey("HKLM"), 5},
        {"delete tree, root", reg_.DeleteTree("HKEY_LOCAL_MACHINE\\"), 5},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
    EXPECT_TRUE(reg_.KeyExists("HKU"));
    EXPECT_FALSE(reg_.KeyExists("HKXX"));
    EXPECT_FALSE(reg_.KeyExists(""));
    EXPECT_EQ(Count("SELECT COUNT(*) FROM keys WHERE parent = 0"), 1);  // reads create no roots
}

TEST_F(RegistryStoreTest, DeleteKeyRefusesSubkeysAndTakesItsValues) {
    ASSERT_EQ(reg_.SetString("HKLM\\P\\Child", "v", "x"), 0u);
    ASSERT_EQ(reg_.SetString("HKLM\\P", "v", "x"), 0u);
    EXPECT_EQ(reg_.DeleteKey("HKLM\\P"), 5u);
    EXPECT_TRUE(reg_.KeyExists("HKLM\\P\\Child"));

    ASSERT_EQ(reg_.DeleteKey("HKLM\\p\\CHILD"), 0u);
    EXPECT_FALSE(reg_.KeyExists("HKLM\\P\\Child"));
    ASSERT_EQ(reg_.DeleteKey("HKLM\\P"), 0u);
    EXPECT_FALSE(reg_.KeyExists("HKLM\\P"));

    ASSERT_EQ(reg_.CreateKey("HKLM\\P\\Child"), 0u);
    EXPECT_TRUE(ValueNames(reg_, "HKLM\\P").empty());
    EXPECT_TRUE(ValueNames(reg_, "HKLM\\P\\Child").empty());
}

TEST_F(RegistryStoreTest, DeleteTreeRemovesEverythingBelow) {
    for (const char* key : {"HKLM\\Soft\\V", "HKLM\\Soft\\V\\A", "HKLM\\Soft\\V\\A\\Deep",
                            "HKLM\\Soft\\V\\B", "HKLM\\Soft\\Other"})
        ASSERT_EQ(reg_.SetDword(key, "n", 1), 0u);

    ASSERT_EQ(reg_.DeleteTree("hklm\\soft\\v"), 0u);
    EXPECT_FALSE(reg_.KeyExists("HKLM\\Soft\\V"));
    EXPECT_FALSE(reg_.KeyExists("HKLM\\Soft\\V\\A\\Deep"));
    EXPECT_EQ(Keys(reg_, "HKLM\\Soft"), std::vector<std::string>{"Other"});
    EXPECT_EQ(ValueNames(reg_, "HKLM\\Soft\\Other"), std::vector<std::string>{"n"});
    EXPECT_EQ(Count("SELECT COUNT(*) FROM \"values\" WHERE key NOT IN (SELECT id FROM keys)"), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM keys"), 3);  // HKLM, Soft, Other

    bool created = false;
    ASSERT_EQ(reg_.CreateKey("HKLM\\Soft\\V\\A", &created), 0u);
    EXPECT_TRUE(created);
    EXPECT_EQ(Keys(reg_, "HKLM\\Soft\\V"), std::vector<std::string>{"A"});
    EXPECT_TRUE(Keys(reg_, "HKLM\\Soft\\V\\A").empty());
    EXPECT_TRUE(ValueNames(reg_, "HKLM\\Soft\\V").empty());
    EXPECT_TRUE(ValueNames(reg_, "HKLM\\Soft\\V\\A").empty());
}

TEST_F(RegistryStoreTest, ContentsPersistAcrossReopen) {
    ASSERT_EQ(reg_.SetString("HKLM\\Persist", "b", "text"), 0u);
    ASSERT_EQ(reg_.SetDword("HKLM\\Persist", "a", 42), 0u);
    ASSERT_EQ(reg_.CreateKey("HKCU\\Empty"), 0u);
    reg_.Close();
    EXPECT_FALSE(reg_.IsOpen());

    ASSERT_EQ(reg_.Open(dbPath_), 0u);
    uint32_t dw = 0;
    std::string text;
    ASSERT_EQ(reg_.QueryDword("HKLM\\Persist", "A", dw), 0u);
    EXPECT_EQ(dw, 42u);
    ASSERT_EQ(reg_.QueryString("HKLM\\Persist", "B", text), 0u);
    EXPECT_EQ(text, "text");
    EXPECT_EQ(ValueNames(reg_, "HKLM\\Persist"), (std::vector<std::string>{"b", "a"}));
    EXPECT_TRUE(reg_.KeyExists("HKCU\\Empty"));
}

TEST_F(RegistryStoreTest, TwoStoresOnOneFileSeeEachOthersWrites) {
    RegistryStore other;
    ASSERT_EQ(other.Open(dbPath_), 0u);

    ASSERT_EQ(reg_.SetString("HKLM\\Shared", "first", "1"), 0u);
    std::string text;
    ASSERT_EQ(other.QueryString("HKLM\\Shared", "FIRST", text), 0u);
    EXPECT_EQ(text, "1");

    ASSERT_EQ(other.SetString("HKLM\\shared", "second", "2"), 0u);
    ASSERT_EQ(other.SetString("HKLM\\Shared", "first", "changed"), 0u);
    EXPECT_EQ(ValueNames(reg_, "HKLM\\Shared"), (std::vector<std::string>{"first", "second"}));
    ASSERT_EQ(reg_.QueryString("HKLM\\Shared", "first", text), 0u);
    EXPECT_EQ(text, "changed");

    ASSERT_EQ(reg_.DeleteTree("HKLM\\Shared"), 0u);
    EXPECT_FALSE(other.KeyExists("HKLM\\Shared"));
}

TEST_F(RegistryStoreTest, ConcurrentWritersWaitForEachOther) {
    // Two installer runs writing at once: neither may lose a write to a lock.
    constexpr int kPerWriter = 100;
    uint32_t failures[2] = {0, 0};
    auto writer = [&](int which) {
        RegistryStore store;
        if (store.Open(dbPath_) != 0) {
            failures[which] = kPerWriter;
            return;
        }
        for (int i = 0; i < kPerWriter; ++i) {
            const std::string key = "HKLM\\Run" + std::to_string(which) + "\\K" + std::to_string(i % 7);
            if (store.SetDword(key, "v" + std::to_string(i), static_cast<uint32_t>(i)) != 0)
                ++failures[which];
        }
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();
    EXPECT_EQ(failures[0], 0u);
    EXPECT_EQ(failures[1], 0u);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM \"values\""), 2 * kPerWriter);
}

TEST_F(RegistryStoreTest, PositionalEnumerationFollowsTheListedOrder) {
    for (const char* name : {"b", "_x", "A"}) ASSERT_EQ(reg_.CreateKey(std::string("HKLM\\E\\") + name), 0u);
    for (const char* name : {"z", "a"}) ASSERT_EQ(reg_.SetString("HKLM\\E", name, name), 0u);
    const std::vector<std::string> keys = Keys(reg_, "HKLM\\E");
    const std::vector<std::string> values = ValueNames(reg_, "HKLM\\E");
    for (uint32_t i = 0; i <= keys.size(); ++i) {
        std::string name;
        const uint32_t rc = reg_.EnumKey("HKLM\\E", i, name);
        EXPECT_EQ(rc, i < keys.size() ? 0u : 259u) << i;
        if (i < keys.size()) {
            EXPECT_EQ(name, keys[i]);
        }
    }
    for (uint32_t i = 0; i <= values.size(); ++i) {
        RegValue v;
        const uint32_t rc = reg_.EnumValue("HKLM\\E", i, v);
        EXPECT_EQ(rc, i < values.size() ? 0u : 259u) << i;
        if (i < values.size()) {
            EXPECT_EQ(v.name, values[i]);
        }
    }
    uint32_t subKeys = 0, count = 0;
    ASSERT_EQ(reg_.CountKey("HKLM\\E", &subKeys, &count), 0u);
    EXPECT_EQ(subKeys, 3u);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(reg_.CountKey("HKU", &subKeys, &count), 0u);  // a root without rows
    EXPECT_EQ(subKeys + count, 0u);
    std::string name;
    EXPECT_EQ(reg_.EnumKey("HKU", 0, name), 259u);
    EXPECT_EQ(reg_.CountKey("HKLM\\Absent", &subKeys, &count), 2u);
    EXPECT_EQ(reg_.ExistingPart("hklm\\e\\A\\No\\More"), "HKLM\\e\\A");
    EXPECT_EQ(reg_.ExistingPart("HKCU\\x"), "HKCU");
}

TEST_F(RegistryStoreTest, AKeyWithoutDeleteRightStaysAloneAndInItsTree) {
    ASSERT_EQ(reg_.SetString("HKLM\\T\\Locked", "v", "x"), 0u);
    ASSERT_EQ(reg_.CreateKey("HKLM\\T\\Free"), 0u);
    ASSERT_EQ(reg_.SetKeyAccess("HKLM\\T\\Locked", 0x20019), 0u);
    EXPECT_EQ(reg_.DeleteKey("HKLM\\T\\Locked"), 5u);
    EXPECT_EQ(reg_.DeleteTree("HKLM\\T"), 5u);
    EXPECT_TRUE(reg_.KeyExists("HKLM\\T\\Free"));  // nothing of the tree went
    EXPECT_EQ(reg_.SetKeyAccess("HKLM", 0x20019), 5u);
    EXPECT_EQ(reg_.SetKeyAccess("HKLM\\Absent", 0x20019), 2u);

    reg_.Close();
    ASSERT_EQ(reg_.Open(dbPath_), 0u);
    uint32_t granted = 0;
    ASSERT_EQ(reg_.KeyAccess("HKLM\\T\\Locked", &granted), 0u);
    EXPECT_EQ(granted, 0x20019u);
    ASSERT_EQ(reg_.KeyAccess("HKLM\\T\\Free", &granted), 0u);
    EXPECT_EQ(granted, 0xF003Fu);

    ASSERT_EQ(reg_.SetKeyAccess("HKLM\\T\\Locked", 0xF003F), 0u);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM key_access"), 0);
    EXPECT_EQ(reg_.DeleteTree("HKLM\\T"), 0u);
    // Rights that keep DELETE leave the key deletable, and go with it.
    ASSERT_EQ(reg_.CreateKey("HKLM\\U"), 0u);
    ASSERT_EQ(reg_.SetKeyAccess("HKLM\\U", 0x30019), 0u);
    EXPECT_EQ(reg_.DeleteKey("HKLM\\U"), 0u);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM key_access"), 0);
}

TEST_F(RegistryStoreTest, AWriteFaultAnswersEveryWriteAtOrBelowItsKey) {
    ASSERT_EQ(reg_.SetString("HKLM\\Broken\\Old", "v", "x"), 0u);
    ASSERT_EQ(reg_.SetWriteFault("hklm\\BROKEN", 1016), 0u);
    struct Case {
        const char* what;
        uint32_t got;
        uint32_t expected;
    };
    const Case cases[] = {
        {"new key", reg_.CreateKey("HKLM\\Broken\\New"), 1016},
        {"existing key", reg_.CreateKey("HKLM\\Broken\\Old"), 0},
        {"set value", reg_.SetString("HKLM\\Broken\\Old", "v", "y"), 1016},
        {"delete value", reg_.DeleteValue("HKLM\\Broken\\Old", "v"), 1016},
        {"delete key", reg_.DeleteKey("HKLM\\Broken\\Old"), 1016},
        {"delete tree", reg_.DeleteTree("HKLM\\Broken"), 1016},
        {"a sibling with a longer name", reg_.SetString("HKLM\\BrokenNot", "v", "x"), 0},
        {"the parent", reg_.SetString("HKLM", "v", "x"), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
    std::string text;
    EXPECT_EQ(reg_.QueryString("HKLM\\Broken\\Old", "v", text), 0u);
    EXPECT_EQ(text, "x");

    reg_.Close();
    ASSERT_EQ(reg_.Open(dbPath_), 0u);
    EXPECT_EQ(reg_.SetString("HKLM\\Broken\\Old", "v", "y"), 1016u);
    ASSERT_EQ(reg_.SetWriteFault("HKLM\\Broken", 0), 0u);
    EXPECT_EQ(reg_.SetString("HKLM\\Broken\\Old", "v", "y"), 0u);
}

TEST_F(RegistryStoreTest, MachineIniSeedsProtectedKeysAndWriteFaults) {
    CSectionList ini;
    const std::string text =
        "[RegistryProtected]\r\n"
        "HKLM\\Software\\Vendor\\Locked = 1\r\n"
        "HKLM\\Software\\Vendor\\NotLocked = 0\r\n"
        "[RegistryWriteFails]\r\n"
        "HKCU\\Software\\Full = 112\r\n";
    CProfile::LoadText(text.data(), text.size(), ini);
    sim::SeedRegistryFaults(reg_, ini);
    uint32_t granted = 0;
    ASSERT_EQ(reg_.KeyAccess("HKLM\\Software\\Vendor\\Locked", &granted), 0u);
    EXPECT_EQ(granted, 0x20019u);
    EXPECT_FALSE(reg_.KeyExists("HKLM\\Software\\Vendor\\NotLocked"));
    EXPECT_EQ(reg_.SetString("HKCU\\Software\\Full\\X", "v", "x"), 112u);
}

TEST(RegistryStoreOpen, MissingFolderIsNotFound) {
    RegistryStore reg;
    EXPECT_EQ(reg.Open("/tmp/registry_store_test_no_such_dir/x/registry.db"), 2u);
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_EQ(reg.CreateKey("HKLM\\A"), 6u);
}

}  // namespace
