#include "command/registry.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "profile/inst_profile.h"
#include "profile/profile.h"
#include "profile/section_list.h"
#include "sys/utl.h"

namespace {

constexpr uint32_t kOk = 0;
constexpr uint32_t kBadArgument = 87;
constexpr uint32_t kBufferTooSmall = 122;
constexpr uint32_t kInvalidData = 13;
// Room for a key name (255 characters) and a value name (259).
constexpr uint32_t kKeyNameRoom = 256;
constexpr uint32_t kValueNameRoom = kRegistryValueName + 1;

// Closes the key it holds on every path out of a scope.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey() {
        if (key_) os::CloseRegKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    uint32_t Open(os::RegKey root, const std::string& path, uint32_t access) {
        return os::OpenRegKey(root, path.c_str(), access, &key_);
    }
    uint32_t Create(os::RegKey root, const std::string& path, uint32_t access) {
        return os::CreateRegKey(root, path.c_str(), os::kRegOptionNonVolatile, access, &key_,
                                nullptr);
    }
    os::RegKey get() const { return key_; }

private:
    os::RegKey key_ = nullptr;
};

bool Empty(const char* text) { return !text || !*text; }

// A path that names a key below the root, not the root itself.
bool NamesAKey(const char* path) {
    if (!path) return false;
    for (const char* p = path; *p; ++p)
        if (*p != '\\') return true;
    return false;
}

std::string Child(const std::string& path, const char* name) {
    if (!path.empty() && path.back() == '\\') return path + name;
    return path + "\\" + name;
}

std::string Trim(const std::string& text, const char* chars) {
    const size_t b = text.find_first_not_of(chars);
    if (b == std::string::npos) return std::string();
    const size_t e = text.find_last_not_of(chars);
    return text.substr(b, e - b + 1);
}

std::string TrimBlanks(const std::string& text) { return Trim(text, " \t"); }

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool EqualNoCase(const std::string& a, const char* b) { return Upper(a) == Upper(b); }

void LittleEndian(uint32_t value, unsigned char bytes[4]) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

uint32_t FromLittleEndian(const unsigned char bytes[4]) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Root names of the registry text file.
struct RootName {
    os::RegKey root;
    const char* name;
};
const RootName kRootNames[] = {
    {os::kHKLM, "HKEY_LOCAL_MACHINE"},    {os::kHKCU, "HKEY_CURRENT_USER"},
    {os::kHKCR, "HKEY_CLASSES_ROOT"},     {os::kHKCC, "HKEY_CURRENT_CONFIG"},
    {os::kHKPD, "HKEY_PERFORMANCE_DATA"}, {os::kHKDD, "HKEY_DYN_DATA"},
};

const char* NameOfRoot(os::RegKey root) {
    for (const RootName& r : kRootNames)
        if (r.root == root) return r.name;
    return nullptr;
}

// The text file's numbers: hexadecimal read from the last character
// backwards, at most eight digits; a character that is no digit counts 0.
uint32_t ParseFileHex(const std::string& digits) {
    uint32_t value = 0;
    size_t used = 0;
    for (size_t i = digits.size(); i > 0 && used < 8; --i, ++used) {
        const char c = digits[i - 1];
        uint32_t d = 0;
        if (c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
        value |= d << (4 * used);
    }
    return value;
}

class HandleSink : public CTextSink {
public:
    explicit HandleSink(os::Handle file) : file_(file) {}
    void Write(const char* data, size_t len) override {
        if (error == kOk) error = os::WriteFile(file_, data, len, nullptr);
    }
    uint32_t error = kOk;

private:
    os::Handle file_;
};

// One key's section, its subkeys' sections, then its values.
uint32_t WriteTree(CSectionList& list, const std::string& path, const char* rootName,
                   os::RegKey root) {
    OpenKey key;
    if (uint32_t rc = key.Open(root, path, os::kKeyRead | os::kKeyCreateSubKey | os::kKeySetValue))
        return rc;
    const std::string sectionName = std::string(rootName) + "\\" + path;
    SECTION_LIST* section = list.AddSection(sectionName.c_str());
    uint32_t subKeys = 0, values = 0;
    if (uint32_t rc = os::QueryRegKeyCounts(key.get(), &subKeys, &values)) return rc;
    for (uint32_t i = 0; i < subKeys; ++i) {
        char name[kKeyNameRoom];
        uint32_t nameSize = sizeof name;
        if (uint32_t rc = os::EnumRegKey(key.get(), i, name, &nameSize)) return rc;
        if (uint32_t rc = WriteTree(list, Child(path, name), rootName, root)) return rc;
    }
    if (!section) return kOk;
    std::vector<unsigned char> data(kRegistryData);
    for (uint32_t i = 0; i < values; ++i) {
        char name[kValueNameRoom];
        uint32_t nameSize = sizeof name, type = 0;
        uint32_t size = static_cast<uint32_t>(data.size());
        // A value past the file's limits is left out, like the other types.
        if (os::EnumRegValue(key.get(), i, name, &nameSize, &type, data.data(), &size) != kOk)
            continue;
        std::string line = "\"" + std::string(name) + "\" = ";
        if (type == os::kRegSz) {
            std::string text(reinterpret_cast<const char*>(data.data()), size);
            text = text.substr(0, text.find('\0'));
            line += "\"" + text + "\"";
        } else if (type == os::kRegDword && size == 4) {
            char number[16];
            std::snprintf(number, sizeof number, "%s:%08x", "dword",
                          static_cast<unsigned>(FromLittleEndian(data.data())));
            line += number;
        } else if (type == os::kRegBinary) {
            line += "hex:";
        } else {
            continue;
        }
        list.AddLine(section, line.c_str(), false);
    }
    return kOk;
}

// One line of a registry text file, written into an open key.
uint32_t LoadLine(os::RegKey key, const LINE_LIST& line) {
    const std::string name = Trim(line.key, " \t\"");
    const std::string value = TrimBlanks(line.value);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        const std::string text = value.substr(1, value.size() - 2);
        return os::SetRegValue(key, name.c_str(), os::kRegSz, text.c_str(),
                               static_cast<uint32_t>(text.size()));
    }
    const size_t colon = value.find(':');
    const std::string type = value.substr(0, colon);
    if (type == "dword") {
        const std::string digits =
            colon == std::string::npos ? std::string() : Trim(value.substr(colon + 1), " \t\"");
        unsigned char bytes[4];
        LittleEndian(ParseFileHex(digits), bytes);
        return os::SetRegValue(key, name.c_str(), os::kRegDword, bytes, sizeof bytes);
    }
    if (type == "hex") return kOk;
    return kInvalidData;
}

uint32_t LoadList(const CSectionList& list) {
    uint32_t result = kOk;
    for (const SECTION_LIST* s = list.head(); s; s = s->next) {
        os::RegKey root = os::kHKLM;
        std::string subKey = s->name;
        const size_t slash = s->name.find('\\');
        const std::string first = s->name.substr(0, slash);
        for (const RootName& r : kRootNames) {
            if (EqualNoCase(first, r.name)) {
                root = r.root;
                subKey = slash == std::string::npos ? std::string() : s->name.substr(slash + 1);
                break;
            }
        }
        OpenKey key;
        if (uint32_t rc = key.Create(root, subKey, os::kKeyWrite)) {
            result = rc;
            continue;
        }
        for (const LINE_LIST* l = s->lines; l; l = l->next) result = LoadLine(key.get(), *l);
    }
    return result;
}

// A DACL with one ACE that grants everyone all key access, inherited by
// subkeys, as a self-relative descriptor.
std::vector<unsigned char> EveryoneFullAccessDescriptor() {
    static const unsigned char kDescriptor[] = {
        // revision 1; control: self-relative, DACL present, DACL auto-inherited
        1, 0, 0x04, 0x84,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // no owner, group or SACL
        20, 0, 0, 0,                         // DACL offset
        // ACL revision 4, size 28, one ACE
        4, 0, 28, 0, 1, 0, 0, 0,
        // access allowed, container-inherit | inherited, size 20, mask 0xF003F
        0, 0x12, 20, 0, 0x3F, 0, 0x0F, 0,
        // S-1-1-0, Everyone
        1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0,
    };
    return std::vector<unsigned char>(kDescriptor, kDescriptor + sizeof kDescriptor);
}

}  // namespace

CRegistry::CRegistry() = default;
CRegistry::~CRegistry() = default;

uint32_t CRegistry::GetValue(const char* keyPath, const char* valueName, char* text,
                             os::RegKey root, int32_t limit) {
    if (Empty(keyPath) || Empty(valueName) || !text) return kBadArgument;
    OpenKey key;
    if (uint32_t rc = key.Open(root, keyPath, os::kKeyRead)) return rc;
    std::vector<char> buffer(kRegistryData);
    uint32_t type = 0, size = static_cast<uint32_t>(buffer.size());
    const uint32_t rc = os::QueryRegValue(key.get(), valueName, &type, buffer.data(), &size);
    // A value too big for the buffer still tells its type.
    if ((rc == kOk || rc == os::kErrMoreData) && type != os::kRegSz) return kBadArgument;
    if (rc != kOk) return rc;
    if (limit >= 0 && size > static_cast<uint32_t>(limit)) return kBufferTooSmall;
    std::memcpy(text, buffer.data(), size);
    // A value stored without its zero gets one when there is room.
    const uint32_t room = limit >= 0 ? static_cast<uint32_t>(limit) : kRegistryData;
    if ((size == 0 || buffer[size - 1] != '\0') && size < room) text[size] = '\0';
    return kOk;
}

uint32_t CRegistry::GetValue(const char* keyPath, const char* valueName, std::string& text,
                             os::RegKey root, int32_t limit) {
    std::vector<char> buffer(kRegistryData + 1, '\0');
    if (limit > static_cast<int32_t>(kRegistryData)) limit = -1;
    const uint32_t rc = GetValue(keyPath, valueName, buffer.data(), root, limit);
    if (rc != kOk) return rc;
    const void* end = std::memchr(buffer.data(), '\0', kRegistryData);
    text.assign(buffer.data(), end ? static_cast<const char*>(end) - buffer.data() : kRegistryData);
    return rc;
}

uint32_t CRegistry::GetValue(const char* keyPath, const char* valueName, uint32_t* number,
                             os::RegKey root) {
    if (Empty(keyPath) || Empty(valueName) || !number) return kBadArgument;
    OpenKey key;
    if (uint32_t rc = key.Open(root, keyPath, os::kKeyRead)) return rc;
    unsigned char bytes[4] = {0, 0, 0, 0};
    uint32_t type = 0, size = sizeof bytes;
    const uint32_t rc = os::QueryRegValue(key.get(), valueName, &type, bytes, &size);
    // More than four bytes is no 32-bit number, whatever its type says.
    if (rc == os::kErrMoreData || (rc == kOk && type != os::kRegDword)) return kBadArgument;
    if (rc != kOk) return rc;
    *number = FromLittleEndian(bytes);
    return kOk;
}

uint32_t CRegistry::SetValue(const char* keyPath, const char* valueName, const char* text,
                             os::RegKey root) {
    if (Empty(keyPath) || Empty(valueName) || !text) return kBadArgument;
    OpenKey key;
    if (uint32_t rc = key.Create(root, keyPath, os::kKeyWrite)) return rc;
    return os::SetRegValue(key.get(), valueName, os::kRegSz, text,
                           static_cast<uint32_t>(std::strlen(text)));
}

uint32_t CRegistry::SetValue(const char* keyPath, const char* valueName, uint32_t number,
                             os::RegKey root) {
    if (Empty(keyPath) || Empty(valueName)) return kBadArgument;
    OpenKey key;
    if (uint32_t rc = key.Create(root, keyPath, os::kKeyWrite)) return rc;
    unsigned char bytes[4];
    LittleEndian(number, bytes);
    return os::SetRegValue(key.get(), valueName, os::kRegDword, bytes, sizeof bytes);
}

uint32_t CRegistry::DeleteKey(const char* keyPath, bool onlyThisKey, os::RegKey root) {
    // An empty path would be the root itself, and with it everything below.
    if (!NamesAKey(keyPath)) return kBadArgument;
    if (onlyThisKey) {
        uint32_t rc = os::DeleteRegKey(root, keyPath);
        if (rc == os::kErrAccessDenied && SetDaclPermission(keyPath, root) == kOk)
            rc = os::DeleteRegKey(root, keyPath);
        return rc;
    }
    uint32_t rc = DeleteSubKey(keyPath, root);
    if (rc == kOk) rc = DeleteEmptyParent(keyPath, root);
    return rc;
}

uint32_t CRegistry::DeleteValue(const char* keyPath, const char* valueName, os::RegKey root) {
    if (Empty(keyPath) || Empty(valueName)) return kBadArgument;
    OpenKey key;
    if (uint32_t rc = key.Open(root, keyPath, os::kKeyWrite)) return rc;
    return os::DeleteRegValue(key.get(), valueName);
}

uint32_t CRegistry::DeleteSubKey(const char* keyPath, os::RegKey root) {
    if (!NamesAKey(keyPath)) return kBadArgument;
    const std::string path = keyPath;
    {
        // A key that may not be opened is still tried below: its refusal to
        // be deleted is what the security retry mends.
        OpenKey key;
        if (key.Open(root, path, os::kKeyAllAccess) == kOk) {
            uint32_t subKeys = 0;
            if (uint32_t rc = os::QueryRegKeyCounts(key.get(), &subKeys, nullptr)) return rc;
            for (uint32_t i = 0; i < subKeys; ++i) {
                char name[kKeyNameRoom];
                uint32_t nameSize = sizeof name;
                if (uint32_t rc = os::EnumRegKey(key.get(), 0, name, &nameSize)) return rc;
                if (uint32_t rc = DeleteSubKey(Child(path, name).c_str(), root)) return rc;
            }
        }
    }
    uint32_t rc = os::DeleteRegKey(root, keyPath);
    if (rc == os::kErrAccessDenied && SetDaclPermission(keyPath, root) == kOk)
        rc = os::DeleteRegKey(root, keyPath);
    return rc;
}

uint32_t CRegistry::DeleteEmptyParent(const char* keyPath, os::RegKey root) {
    if (!keyPath) return kBadArgument;
    std::string path = keyPath;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    for (;;) {
        const size_t slash = path.rfind('\\');
        if (slash == std::string::npos) return kOk;
        path.erase(slash);
        // A top-level key such as Software is never removed.
        if (path.find('\\') == std::string::npos) return kOk;
        {
            OpenKey key;
            if (uint32_t rc =
                    key.Open(root, path, os::kKeyRead | os::kKeyCreateSubKey | os::kKeySetValue))
                return rc;
            uint32_t subKeys = 0, values = 0;
            if (uint32_t rc = os::QueryRegKeyCounts(key.get(), &subKeys, &values)) return rc;
            if (subKeys || values) return kOk;
        }
        if (uint32_t rc = os::DeleteRegKey(root, path.c_str())) return rc;
    }
}

uint32_t CRegistry::SetDaclPermission(const char* keyPath, os::RegKey root) {
    if (!keyPath) return kBadArgument;
    const std::vector<unsigned char> descriptor = EveryoneFullAccessDescriptor();
    OpenKey key;
    if (uint32_t rc = key.Open(root, keyPath, os::kAccessWriteDac)) return rc;
    return os::SetRegKeySecurity(key.get(), os::kDaclSecurityInformation, descriptor.data());
}

uint32_t CRegistry::CopyKey(const char* sourcePath, const char* destinationPath,
                            bool withSubkeys, os::RegKey sourceRoot,
                            os::RegKey destinationRoot) {
    if (Empty(sourcePath) || Empty(destinationPath)) return kBadArgument;
    OpenKey key;
    if (uint32_t rc = key.Open(sourceRoot, sourcePath, os::kKeyRead)) return rc;
    uint32_t subKeys = 0, values = 0;
    if (uint32_t rc = os::QueryRegKeyCounts(key.get(), &subKeys, &values)) return rc;
    if (withSubkeys) {
        const std::string source = sourcePath, destination = destinationPath;
        for (uint32_t i = 0; i < subKeys; ++i) {
            char name[kKeyNameRoom];
            uint32_t nameSize = sizeof name;
            if (uint32_t rc = os::EnumRegKey(key.get(), i, name, &nameSize)) return rc;
            if (uint32_t rc = CopyKey(Child(source, name).c_str(), Child(destination, name).c_str(),
                                      true, sourceRoot, destinationRoot))
                return rc;
        }
    }
    return CopyValue(key.get(), values, destinationPath, destinationRoot);
}

uint32_t CRegistry::CopyValue(os::RegKey key, uint32_t count, const char* destinationPath,
                              os::RegKey destinationRoot) {
    std::vector<unsigned char> data(kRegistryData);
    for (uint32_t i = 0; i < count; ++i) {
        char name[kValueNameRoom];
        uint32_t nameSize = sizeof name, type = 0;
        uint32_t size = static_cast<uint32_t>(data.size());
        if (uint32_t rc = os::EnumRegValue(key, i, name, &nameSize, &type, data.data(), &size))
            return rc;
        uint32_t rc = kOk;
        if (type == os::kRegSz) {
            std::string text(reinterpret_cast<const char*>(data.data()), size);
            text = text.substr(0, text.find('\0'));
            rc = SetValue(destinationPath, name, text.c_str(), destinationRoot);
        } else if (type == os::kRegDword) {
            rc = SetValue(destinationPath, name, FromLittleEndian(data.data()), destinationRoot);
        }
        if (rc != kOk) return rc;
    }
    return kOk;
}

uint32_t CRegistry::SaveToFile(const char* keyPath, const char* fileName, os::RegKey root) {
    const char* rootName = NameOfRoot(root);
    if (!keyPath || Empty(fileName) || !rootName) return kBadArgument;
    os::Handle file = nullptr;
    if (uint32_t rc = os::CreateNewFile(fileName, &file)) return rc;
    CSectionList list;
    const uint32_t rc = WriteTree(list, keyPath, rootName, root);
    // What was gathered is written even when the walk stopped early.
    HandleSink sink(file);
    list.SaveFile(sink);
    os::CloseHandle(file);
    return rc != kOk ? rc : sink.error;
}

uint32_t CRegistry::LoadFromFile(const char* fileName) {
    CSectionList list;
    if (uint32_t rc = CProfile::LoadFile(fileName, list)) return rc;
    return LoadList(list);
}

uint32_t CRegistry::LoadFromText(const char* data, size_t size) {
    CSectionList list;
    CProfile::LoadText(data, size, list);
    return LoadList(list);
}

// --- registry sections of the command profile ---------------------------------

namespace {

struct ValuePieces {
    std::string first;   // CT_ADDREG: the type
    std::string second;  // the value name
    std::string rest;    // CT_ADDREG: the data, commas included
};

// "type, name, data": the first two pieces are comma-separated tokens
// (empty ones skipped), the third is the rest of the line.
ValuePieces SplitValueLine(const std::string& text) {
    ValuePieces pieces;
    size_t i = 0;
    auto token = [&](std::string& out) {
        while (i < text.size() && text[i] == ',') ++i;
        if (i >= text.size()) return false;
        const size_t start = i;
        while (i < text.size() && text[i] != ',') ++i;
        out = text.substr(start, i - start);
        if (i < text.size()) ++i;
        return true;
    };
    if (token(pieces.first) && token(pieces.second)) pieces.rest = text.substr(i);
    pieces.first = TrimBlanks(pieces.first);
    pieces.second = TrimBlanks(pieces.second);
    pieces.rest = TrimBlanks(pieces.rest);
    return pieces;
}

void LogLine(const char* text) {
    if (CLog* log = GetLog()) log->Log("%s", text);
}

struct RegistrySection {
    os::RegKey root = os::kHKLM;
    std::string keyName;
    std::vector<ValuePieces> values;
};

// Root, key name and VALUE lines of a section; the failing step's log line
// on failure.
bool ReadRegistrySection(const char* section, const CInstProfile* profile,
                         const char* keyNameError, const char* linesError,
                         RegistrySection& out) {
    std::string rootText;
    if (profile && profile->GetString(section, "ROOTKEY", rootText) &&
        Upper(rootText).find("HKCU") != std::string::npos)
        out.root = os::kHKCU;
    if (!profile || !profile->GetString(section, "KEYNAME", out.keyName) || out.keyName.empty()) {
        LogLine(keyNameError);
        return false;
    }
    std::vector<std::string> lines;
    if (!profile->GetAllKey(section, lines)) {
        LogLine(linesError);
        return false;
    }
    for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos || !EqualNoCase(TrimBlanks(line.substr(0, eq)), "VALUE"))
            continue;
        out.values.push_back(SplitValueLine(line.substr(eq + 1)));
    }
    return true;
}

const CInstProfile* CommandProfile(const CInstProfile* profile) {
    return profile ? profile : GetCommandProfile();
}

}  // namespace

bool AddRegistrySection(const char* section, const CInstProfile* profile,
                        const SectionFilter& applies) {
    if (Empty(section)) {
        LogLine("Get Add registry section error!");
        return false;
    }
    if (applies && !applies(section)) return true;
    RegistrySection reg;
    if (!ReadRegistrySection(section, CommandProfile(profile), "Get Add registry Key Name error!",
                             "Get value fail!", reg))
        return false;
    for (const ValuePieces& v : reg.values) {
        if (v.second.empty()) continue;
        // Each value stands alone: one that cannot be written stops no other.
        if (EqualNoCase(v.first, "REG_DWORD"))
            CRegistry::SetValue(reg.keyName.c_str(), v.second.c_str(), HexOrDecToNumber(v.rest),
                                reg.root);
        else
            CRegistry::SetValue(reg.keyName.c_str(), v.second.c_str(), v.rest.c_str(), reg.root);
    }
    return true;
}

bool DeleteRegistrySection(const char* section, const CInstProfile* profile,
                           const SectionFilter& applies) {
    if (Empty(section)) {
        LogLine("Get Delete registry section error!");
        return false;
    }
    if (applies && !applies(section)) return true;
    const CInstProfile* commands = CommandProfile(profile);
    RegistrySection reg;
    if (!ReadRegistrySection(section, commands, "Get Delete registry Key Name error!",
                             "Delete value fail!", reg))
        return false;
    for (const ValuePieces& v : reg.values) {
        // "VALUE = name" alone names the value in its first piece.
        const std::string& name = v.second.empty() ? v.first : v.second;
        if (!name.empty()) CRegistry::DeleteValue(reg.keyName.c_str(), name.c_str(), reg.root);
    }
    uint32_t deleteKey = 0;
    if (commands->GetDword(section, "DELETE_KEY", &deleteKey) && deleteKey != 0) {
        CRegistry::DeleteKey(reg.keyName.c_str(), false, reg.root);
        if (CLog* log = GetLog()) log->Log("Delete Key (%s) ", reg.keyName.c_str());
    }
    return true;
}
