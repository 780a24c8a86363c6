// The registry calls on the simulated machine of the current process. An
// open key is a path into the machine's registry store with the access it
// was opened for; the store holds one registry, that of a 64-bit machine's
// 64-bit view, and the 32-bit view is mapped onto its Wow6432Node here.
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/sim/machine.h"

namespace os {
namespace {

constexpr uint32_t kErrNoAccess = 998;
constexpr uint32_t kErrKeyDeleted = 1018;

// Limits of the ANSI registry calls: the subkey text is converted in a
// buffer of 260 characters, a key name holds at most 255, a value name
// at most 16383.
constexpr size_t kMaxSubKeyText = 260;
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

constexpr uint32_t kViewBits = kKeyWow64_64Key | kKeyWow64_32Key;
constexpr uint32_t kSynchronize = 0x00100000;
constexpr uint32_t kMaximumAllowed = 0x02000000;
constexpr uint32_t kGenericAll = 0x10000000;
constexpr uint32_t kGenericExecute = 0x20000000;
constexpr uint32_t kGenericWrite = 0x40000000;
constexpr uint32_t kGenericRead = 0x80000000;
// The owner of a key may always read and change its security.
constexpr uint32_t kOwnerRights = kAccessReadControl | kAccessWriteDac;

struct SimKey {
    std::string path;   // store path, views already applied
    uint32_t access;    // what the handle may do
    uint32_t view;      // view bit for opens relative to this key, or 0
};

// The store is one connection shared by the process's threads; this lock
// makes each registry call one step on it.
std::mutex g_lock;
std::set<const SimKey*> g_open;

sim::Machine* CurrentMachine() {
    sim::Process* p = sim::CurrentProcess();
    return p ? p->machine : nullptr;
}

bool Is9x(const sim::Machine& m) { return m.version().platformId != 2; }

const char* RootName(RegKey key) {
    if (key == kHKLM) return "HKLM";
    if (key == kHKCU) return "HKCU";
    if (key == kHKCR) return "HKCR";
    if (key == kHKU) return "HKU";
    if (key == kHKCC) return "HKCC";
    return nullptr;
}

bool IsPredefined(RegKey key) {
    return key == kHKLM || key == kHKCU || key == kHKCR || key == kHKU || key == kHKCC ||
           key == kHKPD || key == kHKDD;
}

// The open key behind a handle that is not a root; null when it is no
// open key of this process.
const SimKey* Lookup(RegKey key) {
    const SimKey* k = reinterpret_cast<const SimKey*>(key);
    return g_open.count(k) ? k : nullptr;
}

uint32_t MapGeneric(uint32_t access) {
    uint32_t out = access & ~(kGenericAll | kGenericExecute | kGenericWrite | kGenericRead);
    if (access & kGenericRead) out |= kKeyRead;
    if (access & kGenericWrite) out |= kKeyWrite;
    if (access & kGenericExecute) out |= kKeyRead;
    if (access & kGenericAll) out |= kKeyAllAccess;
    return out;
}

bool EqualNoCase(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

struct Target {
    std::string path;  // store path
    uint32_t view = 0;
};

// The store path of parent\subKey in the view the call asks for (else the
// parent's, else the running program's).
uint32_t Resolve(sim::Machine& m, RegKey parent, const char* subKey, uint32_t access,
                 Target& target) {
    const std::string sub = subKey ? subKey : "";
    if (!sub.empty() && sub[0] == '\\') return kErrBadPathname;
    if (sub.size() > kMaxSubKeyText) return kErrMoreData;
    std::string base;
    uint32_t parentView = 0;
    if (const char* root = RootName(parent)) {
        base = root;
    } else if (IsPredefined(parent)) {
        return kErrInvalidHandle;  // performance data and 9x dynamic data are not simulated
    } else if (const SimKey* k = Lookup(parent)) {
        base = k->path;
        parentView = k->view;
    } else {
        return kErrInvalidHandle;
    }
    std::vector<std::string> parts = Split(base);
    for (const std::string& part : Split(sub)) {
        if (part.size() > kMaxKeyName) return kErrInvalidParameter;
        parts.push_back(part);
    }
    uint32_t view = access & kViewBits;
    if (!view) view = parentView;
    if (!view) {
        sim::Process* p = sim::CurrentProcess();
        view = p && p->program64 ? kKeyWow64_64Key : kKeyWow64_32Key;
    }
    // The 32-bit programs of a 64-bit machine see HKLM\Software through
    // Wow6432Node; everything else is shared.
    if (m.is64Bit() && !Is9x(m) && view == kKeyWow64_32Key && parts.size() >= 2 &&
        parts[0] == "HKLM" && EqualNoCase(parts[1], "Software") &&
        !(parts.size() >= 3 && EqualNoCase(parts[2], "Wow6432Node")))
        parts.insert(parts.begin() + 2, "Wow6432Node");
    target.path.clear();
    for (const std::string& part : parts) {
        if (!target.path.empty()) target.path += '\\';
        target.path += part;
    }
    target.view = access & kViewBits ? access & kViewBits : parentView;
    return kErrSuccess;
}

// What the machine's user may do with an existing key.
uint32_t Granted(sim::Machine& m, const std::string& path) {
    uint32_t granted = kKeyAllAccess;
    m.registry().KeyAccess(path, &granted);
    return granted | kOwnerRights | kSynchronize;
}

// The rights a handle gets for the requested access, or 5.
uint32_t CheckAccess(sim::Machine& m, const std::string& path, uint32_t access,
                     uint32_t* handleAccess) {
    const uint32_t granted = Granted(m, path);
    uint32_t wanted = MapGeneric(access & ~kViewBits);
    if (wanted & kMaximumAllowed) wanted = (wanted & ~kMaximumAllowed) | granted;
    if (wanted & ~granted) return kErrAccessDenied;
    *handleAccess = wanted;
    return kErrSuccess;
}

RegKey NewHandle(const Target& t, uint32_t access) {
    SimKey* k = new SimKey{t.path, access, t.view};
    g_open.insert(k);
    return reinterpret_cast<RegKey>(k);
}

// The key behind a handle and what it may do; roots may do everything.
uint32_t KeyOf(RegKey key, std::string& path, uint32_t& access) {
    if (const char* root = RootName(key)) {
        path = root;
        access = kKeyAllAccess;
        return kErrSuccess;
    }
    const SimKey* k = Lookup(key);
    if (!k) return kErrInvalidHandle;
    path = k->path;
    access = k->access;
    return kErrSuccess;
}

// The key of a handle for a call that needs the right; a key deleted
// since it was opened answers 1018.
uint32_t UsableKey(sim::Machine& m, RegKey key, uint32_t right, std::string& path) {
    uint32_t access = 0;
    if (uint32_t rc = KeyOf(key, path, access)) return rc;
    if ((access & right) != right) return kErrAccessDenied;
    if (!m.registry().KeyExists(path)) return kErrKeyDeleted;
    return kErrSuccess;
}

// --- security descriptors -----------------------------------------------------

constexpr uint16_t kSeDaclPresent = 0x0004;
constexpr uint16_t kSeSelfRelative = 0x8000;
constexpr uint8_t kInheritOnlyAce = 0x08;

const unsigned char kEveryoneSid[] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
const unsigned char kAdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
const unsigned char kUsersSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};
const unsigned char kAuthenticatedUsersSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 11, 0, 0, 0};
const unsigned char kInteractiveSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 4, 0, 0, 0};

uint32_t Read32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Read16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Whether the SID at sid (at most room bytes) is one the machine's user holds.
bool UserHasSid(const sim::Machine& m, const unsigned char* sid, size_t room) {
    if (room < 8) return false;
    const size_t size = 8 + 4 * static_cast<size_t>(sid[1]);
    if (size > room) return false;
    auto is = [&](const unsigned char* known, size_t n) {
        return n == size && std::memcmp(sid, known, n) == 0;
    };
    return is(kEveryoneSid, sizeof kEveryoneSid) || is(kUsersSid, sizeof kUsersSid) ||
           is(kAuthenticatedUsersSid, sizeof kAuthenticatedUsersSid) ||
           is(kInteractiveSid, sizeof kInteractiveSid) ||
           (m.administrator() && is(kAdministratorsSid, sizeof kAdministratorsSid));
}

// The rights a DACL gives the machine's user: each right is decided by the
// first ACE of one of the user's SIDs that names it.
uint32_t GrantedByAcl(const sim::Machine& m, const unsigned char* acl) {
    const size_t aclSize = Read16(acl + 2);
    const size_t count = Read16(acl + 4);
    uint32_t allowed = 0, denied = 0;
    size_t at = 8;
    for (size_t i = 0; i < count && at + 8 <= aclSize; ++i) {
        const unsigned char* ace = acl + at;
        const uint8_t type = ace[0];
        const uint8_t flags = ace[1];
        const size_t size = Read16(ace + 2);
        if (size < 8 || at + size > aclSize) break;
        at += size;
        if (flags & kInheritOnlyAce) continue;
        size_t sidAt = 8;
        if (type == 5 || type == 6) {  // object ACEs: flags, then the GUIDs they name
            if (size < 12) continue;
            const uint32_t objectFlags = Read32(ace + 8);
            sidAt = 12 + ((objectFlags & 1) ? 16 : 0) + ((objectFlags & 2) ? 16 : 0);
        } else if (type != 0 && type != 1) {
            continue;
        }
        if (sidAt >= size || !UserHasSid(m, ace + sidAt, size - sidAt)) continue;
        const uint32_t mask = MapGeneric(Read32(ace + 4));
        if (type == 0 || type == 5)
            allowed |= mask & ~denied;
        else
            denied |= mask & ~allowed;
    }
    return allowed;
}

// The DACL of a descriptor in either layout; *present false when it has
// none, null with present set for a null DACL.
const unsigned char* DaclOf(const unsigned char* sd, bool* present) {
    const uint16_t control = Read16(sd + 2);
    *present = (control & kSeDaclPresent) != 0;
    if (!*present) return nullptr;
    if (control & kSeSelfRelative) {
        const uint32_t offset = Read32(sd + 16);
        return offset ? sd + offset : nullptr;
    }
    // The absolute record: revision, padding, control, then four pointers.
    const size_t first = (4 + sizeof(void*) - 1) / sizeof(void*) * sizeof(void*);
    const unsigned char* dacl = nullptr;
    std::memcpy(&dacl, sd + first + 3 * sizeof(void*), sizeof dacl);
    return dacl;
}

void Put16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A self-relative descriptor: the system's administrators as owner and
// group, and a DACL granting everyone what the user holds.
std::string DescribeKey(uint32_t information, uint32_t granted) {
    std::string owner(reinterpret_cast<const char*>(kAdministratorsSid), sizeof kAdministratorsSid);
    std::string body;
    uint32_t ownerAt = 0, groupAt = 0, daclAt = 0;
    uint16_t control = kSeSelfRelative;
    if (information & kOwnerSecurityInformation) {
        ownerAt = 20 + static_cast<uint32_t>(body.size());
        body += owner;
    }
    if (information & kGroupSecurityInformation) {
        groupAt = 20 + static_cast<uint32_t>(body.size());
        body += owner;
    }
    if (information & kDaclSecurityInformation) {
        control |= kSeDaclPresent;
        daclAt = 20 + static_cast<uint32_t>(body.size());
        const uint16_t aceSize = static_cast<uint16_t>(8 + sizeof kEveryoneSid);
        body.push_back(2);  // ACL revision
        body.push_back(0);
        Put16(body, static_cast<uint16_t>(8 + aceSize));
        Put16(body, 1);
        Put16(body, 0);
        body.push_back(0);  // access allowed
        body.push_back(0);
        Put16(body, aceSize);
        Put32(body, granted);
        body.append(reinterpret_cast<const char*>(kEveryoneSid), sizeof kEveryoneSid);
    }
    std::string sd;
    sd.push_back(1);
    sd.push_back(0);
    Put16(sd, control);
    Put32(sd, ownerAt);
    Put32(sd, groupAt);
    Put32(sd, 0);
    Put32(sd, daclAt);
    return sd + body;
}

}  // namespace

uint32_t OpenRegKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    if (!key) return kErrInvalidParameter;
    *key = nullptr;
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    Target t;
    if (uint32_t rc = Resolve(*m, parent, subKey, access, t)) return rc;
    if (!m->registry().KeyExists(t.path)) return kErrFileNotFound;
    uint32_t handleAccess = 0;
    if (uint32_t rc = CheckAccess(*m, t.path, access, &handleAccess)) return rc;
    *key = NewHandle(t, handleAccess);
    return kErrSuccess;
}

uint32_t CreateRegKey(RegKey parent, const char* subKey, uint32_t options, uint32_t access,
                      RegKey* key, bool* created) {
    if (created) *created = false;
    if (!key) return kErrInvalidParameter;
    *key = nullptr;
    if (options & ~kRegOptionVolatile) return kErrInvalidParameter;
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    Target t;
    if (uint32_t rc = Resolve(*m, parent, subKey, access, t)) return rc;
    sim::RegistryStore& store = m->registry();
    uint32_t handleAccess = 0;
    if (store.KeyExists(t.path)) {
        if (uint32_t rc = CheckAccess(*m, t.path, access, &handleAccess)) return rc;
    } else {
        // A new key needs the right to create subkeys in the nearest one that exists.
        const std::string ancestor = store.ExistingPart(t.path);
        if (!ancestor.empty() && !(Granted(*m, ancestor) & kKeyCreateSubKey))
            return kErrAccessDenied;
        handleAccess = MapGeneric(access & ~kViewBits);
        if (handleAccess & kMaximumAllowed) handleAccess = kKeyAllAccess | kSynchronize;
    }
    bool made = false;
    if (uint32_t rc = store.CreateKey(t.path, &made)) return rc;
    if (created) *created = made;
    *key = NewHandle(t, handleAccess);
    return kErrSuccess;
}

uint32_t CloseRegKey(RegKey key) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (IsPredefined(key)) return kErrSuccess;
    const SimKey* k = Lookup(key);
    if (!k) return kErrInvalidHandle;
    g_open.erase(k);
    delete k;
    return kErrSuccess;
}

uint32_t QueryRegValue(RegKey key, const char* name, uint32_t* type, void* data,
                       uint32_t* size) {
    if (data && !size) return kErrInvalidParameter;
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, kKeyQueryValue, path)) return rc;
    sim::RegValue v;
    if (uint32_t rc = m->registry().QueryValue(path, name ? name : "", v)) return rc;
    if (type) *type = v.type;
    if (!size) return kErrSuccess;
    const uint32_t needed = static_cast<uint32_t>(v.data.size());
    if (data && *size < needed) {
        *size = needed;
        return kErrMoreData;
    }
    if (data && needed) std::memcpy(data, v.data.data(), needed);
    *size = needed;
    return kErrSuccess;
}

uint32_t SetRegValue(RegKey key, const char* name, uint32_t type, const void* data,
                     uint32_t size) {
    if (!data && size) return kErrNoAccess;
    const std::string valueName = name ? name : "";
    if (valueName.size() > kMaxValueName) return kErrInvalidParameter;
    const char* bytes = static_cast<const char*>(data);
    // Windows counts a string's terminating zero when the caller forgot it.
    if ((type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) && size &&
        bytes[size - 1] != '\0' && bytes[size] == '\0')
        ++size;
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, kKeySetValue, path)) return rc;
    return m->registry().SetValue(path, valueName, type,
                                  size ? std::string(bytes, size) : std::string());
}

uint32_t DeleteRegValue(RegKey key, const char* name) {
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, kKeySetValue, path)) return rc;
    return m->registry().DeleteValue(path, name ? name : "");
}

namespace {

uint32_t DeleteKeyIn(RegKey parent, const char* subKey, uint32_t view) {
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    Target t;
    if (uint32_t rc = Resolve(*m, parent, subKey, view, t)) return rc;
    sim::RegistryStore& store = m->registry();
    if (!store.KeyExists(t.path)) return kErrFileNotFound;
    // Windows 9x removes the whole tree and has no key security.
    return Is9x(*m) ? store.DeleteTree(t.path) : store.DeleteKey(t.path);
}

}  // namespace

uint32_t DeleteRegKey(RegKey parent, const char* subKey) {
    return DeleteKeyIn(parent, subKey, 0);
}

uint32_t DeleteRegKeyEx(RegKey parent, const char* subKey, uint32_t view) {
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    // Exported from XP x64 (5.2) and Vista on.
    const VersionInfo& v = m->version();
    const bool present = v.platformId == 2 && (v.majorVersion > 5 ||
                                                (v.majorVersion == 5 && v.minorVersion >= 2));
    if (!present) return kErrCallNotImplemented;
    return DeleteKeyIn(parent, subKey, view & kViewBits);
}

uint32_t EnumRegKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
    if (!name || !nameSize) return kErrInvalidParameter;
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, kKeyEnumerateSubKeys, path)) return rc;
    std::string found;
    if (uint32_t rc = m->registry().EnumKey(path, index, found)) return rc;
    if (found.size() + 1 > *nameSize) return kErrMoreData;
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameSize = static_cast<uint32_t>(found.size());
    return kErrSuccess;
}

uint32_t EnumRegValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize,
                      uint32_t* type, void* data, uint32_t* dataSize) {
    if (!name || !nameSize || (data && !dataSize)) return kErrInvalidParameter;
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, kKeyQueryValue, path)) return rc;
    sim::RegValue v;
    if (uint32_t rc = m->registry().EnumValue(path, index, v)) return rc;
    const uint32_t needed = static_cast<uint32_t>(v.data.size());
    if (v.name.size() + 1 > *nameSize) return kErrMoreData;
    if (data && *dataSize < needed) {
        *dataSize = needed;
        return kErrMoreData;
    }
    std::memcpy(name, v.name.c_str(), v.name.size() + 1);
    *nameSize = static_cast<uint32_t>(v.name.size());
    if (type) *type = v.type;
    if (data && needed) std::memcpy(data, v.data.data(), needed);
    if (dataSize) *dataSize = needed;
    return kErrSuccess;
}

uint32_t QueryRegKeyCounts(RegKey key, uint32_t* subKeys, uint32_t* values) {
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, kKeyQueryValue, path)) return rc;
    return m->registry().CountKey(path, subKeys, values);
}

uint32_t GetRegKeySecurity(RegKey key, uint32_t information, void* descriptor,
                           uint32_t* size) {
    if (!size) return kErrInvalidParameter;
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    if (Is9x(*m)) return kErrCallNotImplemented;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, kAccessReadControl, path)) return rc;
    uint32_t granted = kKeyAllAccess;
    m->registry().KeyAccess(path, &granted);
    const std::string sd = DescribeKey(information, granted);
    const uint32_t needed = static_cast<uint32_t>(sd.size());
    if (!descriptor || *size < needed) {
        *size = needed;
        return kErrInsufficientBuffer;
    }
    std::memcpy(descriptor, sd.data(), needed);
    *size = needed;
    return kErrSuccess;
}

uint32_t SetRegKeySecurity(RegKey key, uint32_t information, const void* descriptor) {
    std::lock_guard<std::mutex> lock(g_lock);
    sim::Machine* m = CurrentMachine();
    if (!m) return kErrInvalidHandle;
    if (Is9x(*m)) return kErrCallNotImplemented;
    uint32_t right = 0;
    if (information & kDaclSecurityInformation) right |= kAccessWriteDac;
    if (information & (kOwnerSecurityInformation | kGroupSecurityInformation))
        right |= kAccessWriteOwner;
    std::string path;
    if (uint32_t rc = UsableKey(*m, key, right, path)) return rc;
    if (!descriptor) return kErrInvalidParameter;
    const auto* sd = static_cast<const unsigned char*>(descriptor);
    if (sd[0] != 1) return kErrInvalidSecurityDescriptor;
    if (!(information & kDaclSecurityInformation)) return kErrSuccess;
    bool present = false;
    const unsigned char* dacl = DaclOf(sd, &present);
    // No DACL, or a null one, lets everyone do everything.
    const uint32_t granted = dacl ? GrantedByAcl(*m, dacl) : kKeyAllAccess;
    return m->registry().SetKeyAccess(path, granted);
}

}  // namespace os
