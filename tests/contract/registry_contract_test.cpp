// The registry: the platform's registry calls and the installer's registry
// class, with the answers Windows gives. Every test works below a key of
// its own, HKCU\Software\ContractTests\<unique> (HKLM for the views), and
// removes it at the end.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "command/registry.h"
#include "contract/contract_env.h"
#include "platform/os.h"

#if !defined(_WIN32)
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/sim/machine.h"
#endif

namespace {

using contract::UniqueName;

const char kBase[] = "Software\\ContractTests";

// A self-relative descriptor whose DACL grants everyone mask.
std::vector<unsigned char> Descriptor(uint32_t mask) {
    std::vector<unsigned char> sd = {
        1, 0, 0x04, 0x80,                    // self-relative, DACL present
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // no owner, group or SACL
        20, 0, 0, 0,                         // the DACL
        2, 0, 28, 0, 1, 0, 0, 0,             // ACL: size 28, one ACE
        0, 0, 20, 0,                         // access allowed, size 20
        static_cast<unsigned char>(mask), static_cast<unsigned char>(mask >> 8),
        static_cast<unsigned char>(mask >> 16), static_cast<unsigned char>(mask >> 24),
        1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0,  // S-1-1-0, Everyone
    };
    return sd;
}

uint32_t SetDacl(os::RegKey root, const std::string& path, uint32_t mask, uint32_t view = 0) {
    os::RegKey k = nullptr;
    uint32_t rc = os::OpenRegKey(root, path.c_str(), os::kAccessWriteDac | view, &k);
    if (rc) return rc;
    rc = os::SetRegKeySecurity(k, os::kDaclSecurityInformation, Descriptor(mask).data());
    os::CloseRegKey(k);
    return rc;
}

std::vector<std::string> SubkeyNames(os::RegKey root, const std::string& path, uint32_t view = 0) {
    std::vector<std::string> names;
    os::RegKey k = nullptr;
    if (os::OpenRegKey(root, path.c_str(), os::kKeyRead | view, &k) != 0) return names;
    char name[256];
    for (uint32_t i = 0;; ++i) {
        uint32_t size = sizeof name;
        if (os::EnumRegKey(k, i, name, &size) != 0) break;
        names.push_back(name);
    }
    os::CloseRegKey(k);
    return names;
}

// Removes a tree with the platform calls alone, whatever its security.
void RemoveTree(os::RegKey root, const std::string& path, uint32_t view = 0) {
    SetDacl(root, path, os::kKeyAllAccess, view);
    for (const std::string& name : SubkeyNames(root, path, view))
        RemoveTree(root, path + "\\" + name, view);
    if (view)
        os::DeleteRegKeyEx(root, path.c_str(), view);
    else
        os::DeleteRegKey(root, path.c_str());
}

bool KeyExists(os::RegKey root, const std::string& path, uint32_t view = 0) {
    os::RegKey k = nullptr;
    if (os::OpenRegKey(root, path.c_str(), os::kKeyRead | view, &k) != 0) return false;
    os::CloseRegKey(k);
    return true;
}

uint32_t CreateKey(os::RegKey root, const std::string& path, uint32_t view = 0) {
    os::RegKey k = nullptr;
    uint32_t rc = os::CreateRegKey(root, path.c_str(), os::kRegOptionNonVolatile,
                                   os::kKeyAllAccess | view, &k, nullptr);
    if (rc == 0) os::CloseRegKey(k);
    return rc;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override { key_ = std::string(kBase) + "\\" + UniqueName("reg"); }
    void TearDown() override {
        RemoveTree(os::kHKCU, key_);
        EXPECT_FALSE(KeyExists(os::kHKCU, key_)) << "left behind: " << key_;
        os::DeleteRegKey(os::kHKCU, kBase);  // stays while another run has keys below it
    }
    std::string Path(const std::string& sub) const { return key_ + "\\" + sub; }

    std::string key_;
};

TEST_F(Registry, CreateMakesMissingKeysAndOpenFindsThem) {
    os::RegKey k = nullptr;
    bool created = false;
    ASSERT_EQ(0u, os::CreateRegKey(os::kHKCU, Path("A\\B\\C").c_str(), os::kRegOptionNonVolatile,
                                   os::kKeyAllAccess, &k, &created));
    EXPECT_TRUE(created);
    EXPECT_EQ(0u, os::CloseRegKey(k));
    ASSERT_EQ(0u, os::CreateRegKey(os::kHKCU, Path("a\\b\\c").c_str(), os::kRegOptionNonVolatile,
                                   os::kKeyRead, &k, &created));
    EXPECT_FALSE(created);  // names compare without case
    os::CloseRegKey(k);

    // Relative to an open key, and with a trailing backslash.
    os::RegKey parent = nullptr, child = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, Path("A").c_str(), os::kKeyRead, &parent));
    EXPECT_EQ(0u, os::OpenRegKey(parent, "B\\C\\", os::kKeyRead, &child));
    os::CloseRegKey(child);
    os::CloseRegKey(parent);
    EXPECT_EQ(os::kErrInvalidHandle, os::CloseRegKey(parent));
    EXPECT_EQ(0u, os::CloseRegKey(os::kHKCU));  // closing a root changes nothing

    struct Case {
        const char* what;
        std::string path;
        uint32_t expected;
    };
    const Case cases[] = {
        {"missing key", Path("A\\Nope"), os::kErrFileNotFound},
        {"leading backslash", "\\" + Path("A"), os::kErrBadPathname},
        {"more than 260 characters", Path(std::string(261, 'x')), os::kErrMoreData},
    };
    for (const Case& c : cases) {
        k = reinterpret_cast<os::RegKey>(1);
        EXPECT_EQ(c.expected, os::OpenRegKey(os::kHKCU, c.path.c_str(), os::kKeyRead, &k)) << c.what;
        EXPECT_EQ(nullptr, k) << c.what;
    }
}

TEST_F(Registry, ValuesKeepTypeAndBytes) {
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::CreateRegKey(os::kHKCU, key_.c_str(), 0, os::kKeyAllAccess, &k, nullptr));
    const unsigned char dword[] = {0x78, 0x56, 0x34, 0x12};
    const char blob[] = {'\0', '\x01', '\0', '\xFF'};
    ASSERT_EQ(0u, os::SetRegValue(k, "Text", os::kRegSz, "abc", 3));  // zero left out
    ASSERT_EQ(0u, os::SetRegValue(k, "Number", os::kRegDword, dword, 4));
    ASSERT_EQ(0u, os::SetRegValue(k, "Blob", os::kRegBinary, blob, 4));
    ASSERT_EQ(0u, os::SetRegValue(k, "", os::kRegSz, "default", 8));

    struct Case {
        const char* name;
        uint32_t type;
        std::string bytes;
    };
    const Case cases[] = {
        {"Text", os::kRegSz, std::string("abc\0", 4)},  // stored with its zero
        {"number", os::kRegDword, std::string("\x78\x56\x34\x12", 4)},
        {"Blob", os::kRegBinary, std::string(blob, 4)},
        {"", os::kRegSz, std::string("default\0", 8)},
    };
    for (const Case& c : cases) {
        uint32_t type = 0, size = 0;
        ASSERT_EQ(0u, os::QueryRegValue(k, c.name, &type, nullptr, &size)) << c.name;
        EXPECT_EQ(c.bytes.size(), size) << c.name;
        char buffer[16] = {};
        size = sizeof buffer;
        ASSERT_EQ(0u, os::QueryRegValue(k, c.name, &type, buffer, &size)) << c.name;
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.bytes, std::string(buffer, size)) << c.name;
    }

    char small[2];
    uint32_t size = sizeof small;
    EXPECT_EQ(os::kErrMoreData, os::QueryRegValue(k, "Text", nullptr, small, &size));
    EXPECT_EQ(4u, size);
    size = sizeof small;
    EXPECT_EQ(os::kErrFileNotFound, os::QueryRegValue(k, "Missing", nullptr, small, &size));
    EXPECT_EQ(0u, os::DeleteRegValue(k, "TEXT"));
    EXPECT_EQ(os::kErrFileNotFound, os::DeleteRegValue(k, "Text"));
    EXPECT_EQ(os::kErrInvalidParameter,
              os::SetRegValue(k, std::string(16384, 'v').c_str(), os::kRegSz, "x", 1));
    os::CloseRegKey(k);

    // A key opened for reading refuses changes.
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, key_.c_str(), os::kKeyRead, &k));
    EXPECT_EQ(os::kErrAccessDenied, os::SetRegValue(k, "Other", os::kRegSz, "x", 2));
    EXPECT_EQ(os::kErrAccessDenied, os::DeleteRegValue(k, "Blob"));
    os::CloseRegKey(k);
}

TEST_F(Registry, SubkeysEnumerateSortedAndEndWith259) {
    for (const char* name : {"b", "A", "c", "a1", "Z"}) ASSERT_EQ(0u, CreateKey(os::kHKCU, Path(name)));
    EXPECT_EQ((std::vector<std::string>{"A", "a1", "b", "c", "Z"}), SubkeyNames(os::kHKCU, key_));

    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, key_.c_str(), os::kKeyRead, &k));
    uint32_t subKeys = 0, values = 9;
    EXPECT_EQ(0u, os::QueryRegKeyCounts(k, &subKeys, &values));
    EXPECT_EQ(5u, subKeys);
    EXPECT_EQ(0u, values);
    char name[2];
    uint32_t size = sizeof name;
    EXPECT_EQ(os::kErrMoreData, os::EnumRegKey(k, 1, name, &size));  // "a1" needs 3 bytes
    size = sizeof name;
    EXPECT_EQ(os::kErrNoMoreItems, os::EnumRegKey(k, 5, name, &size));
    os::CloseRegKey(k);
}

TEST_F(Registry, SubkeysSortByUpperCaseNames) {
    SKIP_KNOWN_WINE_GAP("Wine sorts subkeys by lower-case names");
    for (const char* name : {"b", "_x", "A"}) ASSERT_EQ(0u, CreateKey(os::kHKCU, Path(name)));
    EXPECT_EQ((std::vector<std::string>{"A", "b", "_x"}), SubkeyNames(os::kHKCU, key_));
}

TEST_F(Registry, ValuesEnumerateInCreationOrder) {
    SKIP_KNOWN_WINE_GAP("Wine enumerates values sorted by name");
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::CreateRegKey(os::kHKCU, key_.c_str(), 0, os::kKeyAllAccess, &k, nullptr));
    for (const char* name : {"z", "a", "m"}) ASSERT_EQ(0u, os::SetRegValue(k, name, os::kRegSz, "x", 2));
    std::vector<std::string> names;
    char name[8];
    for (uint32_t i = 0;; ++i) {
        uint32_t size = sizeof name;
        if (os::EnumRegValue(k, i, name, &size, nullptr, nullptr, nullptr) != 0) break;
        names.push_back(name);
    }
    os::CloseRegKey(k);
    EXPECT_EQ((std::vector<std::string>{"z", "a", "m"}), names);
}

TEST_F(Registry, ValueEnumerationAnswers234And259) {
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::CreateRegKey(os::kHKCU, key_.c_str(), 0, os::kKeyAllAccess, &k, nullptr));
    ASSERT_EQ(0u, os::SetRegValue(k, "v", os::kRegSz, "long text", 10));
    char name[8], data[4];
    uint32_t nameSize = sizeof name, type = 0, dataSize = sizeof data;
    EXPECT_EQ(os::kErrMoreData, os::EnumRegValue(k, 0, name, &nameSize, &type, data, &dataSize));
    EXPECT_EQ(10u, dataSize);
    char big[16];
    nameSize = sizeof name;
    dataSize = sizeof big;
    ASSERT_EQ(0u, os::EnumRegValue(k, 0, name, &nameSize, &type, big, &dataSize));
    EXPECT_EQ("v", std::string(name));
    EXPECT_EQ(1u, nameSize);
    EXPECT_EQ(os::kRegSz, type);
    EXPECT_EQ(std::string("long text\0", 10), std::string(big, dataSize));
    nameSize = sizeof name;
    EXPECT_EQ(os::kErrNoMoreItems, os::EnumRegValue(k, 1, name, &nameSize, nullptr, nullptr, nullptr));
    os::CloseRegKey(k);
}

TEST_F(Registry, DeleteKeyTakesOnlyKeysWithoutSubkeys) {
    ASSERT_EQ(0u, CreateKey(os::kHKCU, Path("P\\Child")));
    EXPECT_EQ(os::kErrAccessDenied, os::DeleteRegKey(os::kHKCU, Path("P").c_str()));
    EXPECT_EQ(0u, os::DeleteRegKey(os::kHKCU, Path("P\\Child").c_str()));
    EXPECT_EQ(0u, os::DeleteRegKey(os::kHKCU, Path("P").c_str()));
    EXPECT_EQ(os::kErrFileNotFound, os::DeleteRegKey(os::kHKCU, Path("P").c_str()));
}

TEST_F(Registry, SecurityIsReadAndWrittenAsADescriptor) {
    ASSERT_EQ(0u, CreateKey(os::kHKCU, Path("S")));
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, Path("S").c_str(), os::kKeyRead, &k));
    unsigned char sd[8];
    uint32_t size = sizeof sd;
    EXPECT_EQ(os::kErrInsufficientBuffer,
              os::GetRegKeySecurity(k, os::kDaclSecurityInformation, sd, &size));
    EXPECT_GT(size, sizeof sd);
    std::vector<unsigned char> full(size);
    EXPECT_EQ(0u, os::GetRegKeySecurity(k, os::kDaclSecurityInformation, full.data(), &size));
    EXPECT_EQ(1, full[0]);  // revision
    // Setting it needs WRITE_DAC.
    EXPECT_EQ(os::kErrAccessDenied,
              os::SetRegKeySecurity(k, os::kDaclSecurityInformation, full.data()));
    os::CloseRegKey(k);

    // Reading only: the key still opens for reading and for its security.
    ASSERT_EQ(0u, SetDacl(os::kHKCU, Path("S"), os::kKeyRead));
    EXPECT_EQ(os::kErrAccessDenied,
              os::OpenRegKey(os::kHKCU, Path("S").c_str(), os::kKeyAllAccess, &k));
    EXPECT_TRUE(KeyExists(os::kHKCU, Path("S")));
    ASSERT_EQ(0u, SetDacl(os::kHKCU, Path("S"), os::kKeyAllAccess));
    EXPECT_EQ(0u, os::OpenRegKey(os::kHKCU, Path("S").c_str(), os::kKeyAllAccess, &k));
    os::CloseRegKey(k);
}

TEST_F(Registry, AKeyThatGrantsOnlyReadingRefusesDeletion) {
    SKIP_KNOWN_WINE_GAP("Wine deletes a key whose DACL does not grant DELETE");
    ASSERT_EQ(0u, CreateKey(os::kHKCU, Path("Locked")));
    ASSERT_EQ(0u, SetDacl(os::kHKCU, Path("Locked"), os::kKeyRead));
    EXPECT_EQ(os::kErrAccessDenied, os::DeleteRegKey(os::kHKCU, Path("Locked").c_str()));
    EXPECT_TRUE(KeyExists(os::kHKCU, Path("Locked")));
}

// --- CRegistry ------------------------------------------------------------------

TEST_F(Registry, ClassWritesCreateMissingKeysAndReadBack) {
    const std::string deep = Path("One\\Two\\Three");
    ASSERT_EQ(0u, CRegistry::SetValue(deep.c_str(), "Dir", "C:\\Program Files\\V", os::kHKCU));
    ASSERT_EQ(0u, CRegistry::SetValue(deep.c_str(), "Count", 0xFFFFFFFEu, os::kHKCU));
    std::string text;
    uint32_t number = 0;
    EXPECT_EQ(0u, CRegistry::GetValue(deep.c_str(), "dir", text, os::kHKCU));
    EXPECT_EQ("C:\\Program Files\\V", text);
    EXPECT_EQ(0u, CRegistry::GetValue(deep.c_str(), "COUNT", &number, os::kHKCU));
    EXPECT_EQ(0xFFFFFFFEu, number);

    // The text goes in with the length of its characters (Windows adds the zero).
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, deep.c_str(), os::kKeyRead, &k));
    uint32_t type = 0, size = 0;
    EXPECT_EQ(0u, os::QueryRegValue(k, "Dir", &type, nullptr, &size));
    EXPECT_EQ(os::kRegSz, type);
    EXPECT_EQ(std::strlen("C:\\Program Files\\V") + 1, size);
    EXPECT_EQ(0u, os::QueryRegValue(k, "Count", &type, nullptr, &size));
    EXPECT_EQ(os::kRegDword, type);
    EXPECT_EQ(4u, size);
    os::CloseRegKey(k);
}

TEST_F(Registry, ClassAnswers87And122And2) {
    const std::string k = Path("E");
    ASSERT_EQ(0u, CRegistry::SetValue(k.c_str(), "Text", "0123456789", os::kHKCU));
    ASSERT_EQ(0u, CRegistry::SetValue(k.c_str(), "Number", 7u, os::kHKCU));
    char text[32];
    uint32_t number = 0;
    struct Case {
        const char* what;
        uint32_t got;
        uint32_t expected;
    };
    std::memset(text, 'z', sizeof text);
    const Case cases[] = {
        {"text of a number", CRegistry::GetValue(k.c_str(), "Number", text, os::kHKCU), 87},
        {"number of a text", CRegistry::GetValue(k.c_str(), "Text", &number, os::kHKCU), 87},
        {"empty name", CRegistry::GetValue(k.c_str(), "", text, os::kHKCU), 87},
        {"empty path", CRegistry::GetValue("", "Text", text, os::kHKCU), 87},
        {"null path", CRegistry::GetValue(nullptr, "Text", &number, os::kHKCU), 87},
        {"set, empty name", CRegistry::SetValue(k.c_str(), "", "x", os::kHKCU), 87},
        {"set, empty path", CRegistry::SetValue("", "n", 1u, os::kHKCU), 87},
        {"delete, empty path", CRegistry::DeleteKey("", false, os::kHKCU), 87},
        {"delete, only backslashes", CRegistry::DeleteKey("\\\\", true, os::kHKCU), 87},
        {"longer than the limit", CRegistry::GetValue(k.c_str(), "Text", text, os::kHKCU, 10), 122},
        {"missing value", CRegistry::GetValue(k.c_str(), "None", text, os::kHKCU), 2},
        {"missing key", CRegistry::GetValue(Path("None").c_str(), "Text", &number, os::kHKCU), 2},
        {"delete missing value", CRegistry::DeleteValue(k.c_str(), "None", os::kHKCU), 2},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, c.got) << c.what;
    EXPECT_EQ(std::string(sizeof text, 'z'), std::string(text, sizeof text));  // untouched

    EXPECT_EQ(0u, CRegistry::GetValue(k.c_str(), "Text", text, os::kHKCU, 11));  // zero included
    EXPECT_STREQ("0123456789", text);
    EXPECT_EQ(0u, CRegistry::DeleteValue(k.c_str(), "Text", os::kHKCU));
    EXPECT_EQ(2u, CRegistry::GetValue(k.c_str(), "Text", text, os::kHKCU));
}

TEST_F(Registry, ClassDeletesTreesAndTheParentsTheyLeaveEmpty) {
    ASSERT_EQ(0u, CRegistry::SetValue(key_.c_str(), "Keep", "parent stays", os::kHKCU));
    for (const char* sub : {"V\\P\\Sub\\A\\Deep", "V\\P\\Sub\\B", "Other"})
        ASSERT_EQ(0u, CRegistry::SetValue(Path(sub).c_str(), "n", 1u, os::kHKCU));

    EXPECT_EQ(0u, CRegistry::DeleteKey(Path("V\\P\\Sub").c_str(), false, os::kHKCU));
    EXPECT_FALSE(KeyExists(os::kHKCU, Path("V")));  // P and V were left empty
    EXPECT_TRUE(KeyExists(os::kHKCU, Path("Other")));
    EXPECT_EQ((std::vector<std::string>{"Other"}), SubkeyNames(os::kHKCU, key_));

    // Only this key: one with subkeys stays.
    ASSERT_EQ(0u, CreateKey(os::kHKCU, Path("Q\\R")));
    EXPECT_EQ(os::kErrAccessDenied, CRegistry::DeleteKey(Path("Q").c_str(), true, os::kHKCU));
    EXPECT_EQ(0u, CRegistry::DeleteKey(Path("Q\\R").c_str(), true, os::kHKCU));
    EXPECT_TRUE(KeyExists(os::kHKCU, Path("Q")));  // no parents removed
    EXPECT_EQ(os::kErrFileNotFound, CRegistry::DeleteKey(Path("Q\\R").c_str(), false, os::kHKCU));
}

TEST_F(Registry, ClassNeverRemovesATopLevelKey) {
    const std::string top = UniqueName("ContractTop");
    ASSERT_EQ(0u, CRegistry::SetValue((top + "\\A\\B").c_str(), "n", 1u, os::kHKCU));
    EXPECT_EQ(0u, CRegistry::DeleteKey((top + "\\A\\B").c_str(), false, os::kHKCU));
    EXPECT_FALSE(KeyExists(os::kHKCU, top + "\\A"));
    EXPECT_TRUE(KeyExists(os::kHKCU, top));
    EXPECT_TRUE(SubkeyNames(os::kHKCU, top).empty());
    RemoveTree(os::kHKCU, top);

    // Removing the test's own key walks up to Software and stops there.
    ASSERT_EQ(0u, CreateKey(os::kHKCU, Path("Only")));
    EXPECT_EQ(0u, CRegistry::DeleteKey(Path("Only").c_str(), false, os::kHKCU));
    EXPECT_FALSE(KeyExists(os::kHKCU, key_));
    EXPECT_TRUE(KeyExists(os::kHKCU, "Software"));
}

TEST_F(Registry, ClassOpensTheSecurityOfAKeyThatRefusesDeletion) {
    ASSERT_EQ(0u, CRegistry::SetValue(key_.c_str(), "Keep", "x", os::kHKCU));
    for (const char* sub : {"Leaf", "Tree\\Locked"}) {
        ASSERT_EQ(0u, CreateKey(os::kHKCU, Path(sub)));
        ASSERT_EQ(0u, SetDacl(os::kHKCU, Path(sub), os::kKeyRead)) << sub;
    }
    EXPECT_EQ(0u, CRegistry::DeleteKey(Path("Leaf").c_str(), true, os::kHKCU));
    EXPECT_FALSE(KeyExists(os::kHKCU, Path("Leaf")));
    EXPECT_EQ(0u, CRegistry::DeleteKey(Path("Tree\\Locked").c_str(), false, os::kHKCU));
    EXPECT_FALSE(KeyExists(os::kHKCU, Path("Tree")));
    EXPECT_TRUE(KeyExists(os::kHKCU, key_));
}

TEST_F(Registry, ClassCopiesTextsAndNumbers) {
    ASSERT_EQ(0u, CRegistry::SetValue(Path("Src").c_str(), "Text", "a,b", os::kHKCU));
    ASSERT_EQ(0u, CRegistry::SetValue(Path("Src\\Sub").c_str(), "Number", 31u, os::kHKCU));
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, Path("Src").c_str(), os::kKeyAllAccess, &k));
    ASSERT_EQ(0u, os::SetRegValue(k, "Blob", os::kRegBinary, "\x01\x02", 2));
    os::CloseRegKey(k);

    ASSERT_EQ(0u, CRegistry::CopyKey(Path("Src").c_str(), Path("Flat").c_str(), false, os::kHKCU,
                                     os::kHKCU));
    ASSERT_EQ(0u, CRegistry::CopyKey(Path("Src").c_str(), Path("Dst").c_str(), true, os::kHKCU,
                                     os::kHKCU));
    std::string text;
    uint32_t number = 0;
    EXPECT_EQ(0u, CRegistry::GetValue(Path("Flat").c_str(), "Text", text, os::kHKCU));
    EXPECT_EQ("a,b", text);
    EXPECT_FALSE(KeyExists(os::kHKCU, Path("Flat\\Sub")));
    EXPECT_EQ(0u, CRegistry::GetValue(Path("Dst\\Sub").c_str(), "Number", &number, os::kHKCU));
    EXPECT_EQ(31u, number);
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, Path("Dst").c_str(), os::kKeyRead, &k));
    uint32_t size = 0;
    EXPECT_EQ(os::kErrFileNotFound, os::QueryRegValue(k, "Blob", nullptr, nullptr, &size));
    os::CloseRegKey(k);
    EXPECT_EQ(2u, CRegistry::CopyKey(Path("None").c_str(), Path("X").c_str(), true, os::kHKCU,
                                     os::kHKCU));
}

std::string ReadText(const std::string& path) {
    std::string data;
    EXPECT_EQ(0u, os::ReadWholeFile(path.c_str(), data)) << path;
    return data;
}

TEST_F(Registry, TextFileRoundTrip) {
    // Values created in name order, so that any enumeration order agrees.
    ASSERT_EQ(0u, CRegistry::SetValue(Path("Tree").c_str(), "A Text", "E:\\Data,Old", os::kHKCU));
    ASSERT_EQ(0u, CRegistry::SetValue(Path("Tree").c_str(), "B Number", 31u, os::kHKCU));
    ASSERT_EQ(0u, CRegistry::SetValue(Path("Tree").c_str(), "C Empty", "", os::kHKCU));
    ASSERT_EQ(0u, CRegistry::SetValue(Path("Tree\\Sub").c_str(), "Max", 0xFFFFFFFFu, os::kHKCU));
    ASSERT_EQ(0u, CreateKey(os::kHKCU, Path("Tree\\Sub\\Empty")));
    os::RegKey k = nullptr;
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, Path("Tree").c_str(), os::kKeyAllAccess, &k));
    ASSERT_EQ(0u, os::SetRegValue(k, "D Blob", os::kRegBinary, "\x01\x02", 2));
    ASSERT_EQ(0u, os::SetRegValue(k, "E Multi", os::kRegMultiSz, "a\0b\0", 5));
    os::CloseRegKey(k);

    const std::string file = contract::ScratchDir() + UniqueName("registry") + ".reg";
    ASSERT_EQ(0u, CRegistry::SaveToFile(Path("Tree").c_str(), file.c_str(), os::kHKCU));
    const std::string root = "HKEY_CURRENT_USER\\" + Path("Tree");
    EXPECT_EQ("[" + root + "]\r\n"
              "\"A Text\" = \"E:\\Data,Old\"\r\n"
              "\"B Number\" = dword:0000001f\r\n"
              "\"C Empty\" = \"\"\r\n"
              "\"D Blob\" = hex:\r\n"
              "\r\n"
              "[" + root + "\\Sub]\r\n"
              "\"Max\" = dword:ffffffff\r\n"
              "\r\n"
              "[" + root + "\\Sub\\Empty]\r\n"
              "\r\n",
              ReadText(file));

    // A second save never overwrites the file.
    const std::string saved = ReadText(file);
    EXPECT_EQ(os::kErrFileExists, CRegistry::SaveToFile(key_.c_str(), file.c_str(), os::kHKCU));
    EXPECT_EQ(saved, ReadText(file));

    RemoveTree(os::kHKCU, Path("Tree"));
    ASSERT_FALSE(KeyExists(os::kHKCU, Path("Tree")));
    EXPECT_EQ(0u, CRegistry::LoadFromFile(file.c_str()));
    std::string text;
    uint32_t number = 0;
    EXPECT_EQ(0u, CRegistry::GetValue(Path("Tree").c_str(), "A Text", text, os::kHKCU));
    EXPECT_EQ("E:\\Data,Old", text);
    EXPECT_EQ(0u, CRegistry::GetValue(Path("Tree").c_str(), "B Number", &number, os::kHKCU));
    EXPECT_EQ(31u, number);
    EXPECT_EQ(0u, CRegistry::GetValue(Path("Tree\\Sub").c_str(), "Max", &number, os::kHKCU));
    EXPECT_EQ(0xFFFFFFFFu, number);
    EXPECT_TRUE(KeyExists(os::kHKCU, Path("Tree\\Sub\\Empty")));
    ASSERT_EQ(0u, os::OpenRegKey(os::kHKCU, Path("Tree").c_str(), os::kKeyRead, &k));
    uint32_t subKeys = 0, values = 0;
    EXPECT_EQ(0u, os::QueryRegKeyCounts(k, &subKeys, &values));
    EXPECT_EQ(3u, values);  // the raw bytes and the other type are not carried
    os::CloseRegKey(k);

    EXPECT_EQ(os::kErrFileNotFound,
              CRegistry::LoadFromFile((contract::ScratchDir() + "none.reg").c_str()));
    os::RemoveFile(file.c_str());
}

TEST_F(Registry, APathOfAThousandLevelsFailsWithoutACrash) {
    std::string deep = key_;
    for (int i = 0; i < 1000; ++i) deep += "\\L";
    EXPECT_EQ(os::kErrMoreData, CRegistry::SetValue(deep.c_str(), "v", "x", os::kHKCU));
    EXPECT_EQ(os::kErrMoreData, CRegistry::DeleteKey(deep.c_str(), false, os::kHKCU));
    EXPECT_FALSE(KeyExists(os::kHKCU, key_));
}

// --- the 64-bit view --------------------------------------------------------------

#if !defined(_WIN32)
// The same rows on a 64-bit Windows of the simulator.
class SimMachine64 {
public:
    explicit SimMachine64(bool program64) : saved_(sim::CurrentProcess()) {
        char tmpl[] = "/tmp/contract-machine64-XXXXXX";
        folder_ = ::mkdtemp(tmpl);
        std::string ini = sim::Machine::DefaultIni();
        for (auto [from, to] : {std::pair<const char*, const char*>{"Is64Bit = 0", "Is64Bit = 1"},
                                {"Major = 5", "Major = 6"},
                                {"Minor = 1", "Minor = 0"}})
            ini.replace(ini.find(from), std::strlen(from), to);
        FILE* f = std::fopen((folder_ + "/machine.ini").c_str(), "wb");
        std::fwrite(ini.data(), 1, ini.size(), f);
        std::fclose(f);
        EXPECT_EQ(0u, sim::Machine::Open(folder_, machine_));
        process_.machine = machine_.get();
        process_.program64 = program64;
        sim::SetCurrentProcess(&process_);
    }
    ~SimMachine64() {
        sim::SetCurrentProcess(saved_);
        machine_.reset();
        if (std::system(("rm -rf '" + folder_ + "'").c_str()) != 0) ADD_FAILURE() << folder_;
    }

private:
    sim::Process* saved_;
    std::string folder_;
    std::unique_ptr<sim::Machine> machine_;
    sim::Process process_;
};
#endif

bool RunningProgramIs64Bit() {
#if defined(_WIN32)
    return sizeof(void*) == 8;
#else
    return sim::CurrentProcess()->program64;
#endif
}

void CheckViews() {
    if (!KeyExists(os::kHKLM, "Software\\Wow6432Node", os::kKeyWow64_64Key))
        GTEST_SKIP() << "needs a 64-bit Windows";
    const std::string name = UniqueName("view");
    const std::string native = std::string(kBase) + "\\" + name;
    const std::string redirected = std::string("Software\\Wow6432Node\\ContractTests\\") + name;
    const uint32_t mine = RunningProgramIs64Bit() ? os::kKeyWow64_64Key : os::kKeyWow64_32Key;
    const uint32_t other = mine ^ (os::kKeyWow64_64Key | os::kKeyWow64_32Key);

    // The 32-bit view of HKLM\Software is its Wow6432Node.
    ASSERT_EQ(0u, CreateKey(os::kHKLM, native + "\\Only32", os::kKeyWow64_32Key));
    EXPECT_TRUE(KeyExists(os::kHKLM, redirected + "\\Only32", os::kKeyWow64_64Key));
    EXPECT_FALSE(KeyExists(os::kHKLM, native + "\\Only32", os::kKeyWow64_64Key));
    ASSERT_EQ(0u, CreateKey(os::kHKLM, native + "\\Only64", os::kKeyWow64_64Key));
    EXPECT_FALSE(KeyExists(os::kHKLM, native + "\\Only64", os::kKeyWow64_32Key));

    // Without a view bit the program gets its own view, CRegistry included.
    ASSERT_EQ(0u, CRegistry::SetValue((native + "\\Mine").c_str(), "n", 1u, os::kHKLM));
    EXPECT_TRUE(KeyExists(os::kHKLM, native + "\\Mine", mine));
    EXPECT_FALSE(KeyExists(os::kHKLM, native + "\\Mine", other));
    EXPECT_EQ(0u, CRegistry::DeleteKey((native + "\\Mine").c_str(), true, os::kHKLM));
    EXPECT_FALSE(KeyExists(os::kHKLM, native + "\\Mine", mine));

    // Deleting in one view leaves the other alone.
    EXPECT_EQ(os::kErrFileNotFound,
              os::DeleteRegKeyEx(os::kHKLM, (native + "\\Only64").c_str(), os::kKeyWow64_32Key));
    EXPECT_EQ(0u, os::DeleteRegKeyEx(os::kHKLM, (native + "\\Only32").c_str(), os::kKeyWow64_32Key));
    EXPECT_TRUE(KeyExists(os::kHKLM, native + "\\Only64", os::kKeyWow64_64Key));

    // HKCU\Software is one key for both.
    const std::string user = std::string(kBase) + "\\" + name;
    ASSERT_EQ(0u, CreateKey(os::kHKCU, user, os::kKeyWow64_32Key));
    EXPECT_TRUE(KeyExists(os::kHKCU, user, os::kKeyWow64_64Key));

    RemoveTree(os::kHKLM, native, os::kKeyWow64_64Key);
    RemoveTree(os::kHKLM, native, os::kKeyWow64_32Key);
    RemoveTree(os::kHKCU, user);
    for (uint32_t view : {os::kKeyWow64_64Key, os::kKeyWow64_32Key})
        os::DeleteRegKeyEx(os::kHKLM, kBase, view);
    os::DeleteRegKey(os::kHKCU, kBase);
    EXPECT_FALSE(KeyExists(os::kHKLM, native, os::kKeyWow64_64Key));
    EXPECT_FALSE(KeyExists(os::kHKLM, native, os::kKeyWow64_32Key));
}

TEST(RegistryView, ThirtyTwoBitProgramsSeeHklmSoftwareThroughWow6432Node) {
#if defined(_WIN32)
    CheckViews();
#else
    for (bool program64 : {false, true}) {
        SCOPED_TRACE(program64 ? "64-bit program" : "32-bit program");
        SimMachine64 machine(program64);
        CheckViews();
    }
#endif
}

TEST(RegistryView, ViewBitsChangeNothingOnA32BitWindows) {
    if (KeyExists(os::kHKLM, "Software\\Wow6432Node", os::kKeyWow64_64Key))
        GTEST_SKIP() << "a 64-bit Windows";
    const std::string key = std::string(kBase) + "\\" + UniqueName("view");
    ASSERT_EQ(0u, CreateKey(os::kHKLM, key, os::kKeyWow64_32Key));
    EXPECT_TRUE(KeyExists(os::kHKLM, key, os::kKeyWow64_64Key));
    EXPECT_TRUE(KeyExists(os::kHKLM, key));
    RemoveTree(os::kHKLM, key);
    EXPECT_FALSE(KeyExists(os::kHKLM, key));
    os::DeleteRegKey(os::kHKLM, kBase);
}

}  // namespace
