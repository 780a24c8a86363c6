// The registry on real Windows: each operation is the ANSI registry call it
// is named after, and its answer is that call's own result.
#include "platform/os.h"

#include <windows.h>

#include <type_traits>

static_assert(std::is_same<os::RegKey, HKEY>::value, "an open key is an HKEY");

namespace os {

uint32_t OpenRegKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    if (!key) return kErrInvalidParameter;
    *key = nullptr;
    return static_cast<uint32_t>(RegOpenKeyExA(parent, subKey, 0, access, key));
}

uint32_t CreateRegKey(RegKey parent, const char* subKey, uint32_t options, uint32_t access,
                      RegKey* key, bool* created) {
    if (created) *created = false;
    if (!key) return kErrInvalidParameter;
    *key = nullptr;
    DWORD disposition = 0;
    LONG rc = RegCreateKeyExA(parent, subKey, 0, nullptr, options, access, nullptr, key,
                              &disposition);
    if (rc == ERROR_SUCCESS && created) *created = disposition == REG_CREATED_NEW_KEY;
    return static_cast<uint32_t>(rc);
}

uint32_t CloseRegKey(RegKey key) { return static_cast<uint32_t>(RegCloseKey(key)); }

uint32_t QueryRegValue(RegKey key, const char* name, uint32_t* type, void* data,
                       uint32_t* size) {
    DWORD t = 0;
    DWORD n = size ? *size : 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &t, static_cast<BYTE*>(data),
                               size ? &n : nullptr);
    if (type) *type = t;
    if (size) *size = n;
    return static_cast<uint32_t>(rc);
}

uint32_t SetRegValue(RegKey key, const char* name, uint32_t type, const void* data,
                     uint32_t size) {
    return static_cast<uint32_t>(
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
}

uint32_t DeleteRegValue(RegKey key, const char* name) {
    return static_cast<uint32_t>(RegDeleteValueA(key, name));
}

uint32_t DeleteRegKey(RegKey parent, const char* subKey) {
    return static_cast<uint32_t>(RegDeleteKeyA(parent, subKey));
}

uint32_t DeleteRegKeyEx(RegKey parent, const char* subKey, uint32_t view) {
    // Windows 2000 and 32-bit XP lack it, so it is never imported.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    FARPROC proc = advapi ? GetProcAddress(advapi, "RegDeleteKeyExA") : nullptr;
    if (!proc) return kErrCallNotImplemented;
    auto call = reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void (*)()>(proc));
    return static_cast<uint32_t>(call(parent, subKey, view, 0));
}

uint32_t EnumRegKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
    DWORD n = nameSize ? *nameSize : 0;
    LONG rc = RegEnumKeyExA(key, index, name, nameSize ? &n : nullptr, nullptr, nullptr,
                            nullptr, nullptr);
    if (nameSize) *nameSize = n;
    return static_cast<uint32_t>(rc);
}

uint32_t EnumRegValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize,
                      uint32_t* type, void* data, uint32_t* dataSize) {
    DWORD n = nameSize ? *nameSize : 0;
    DWORD t = 0;
    DWORD d = dataSize ? *dataSize : 0;
    LONG rc = RegEnumValueA(key, index, name, nameSize ? &n : nullptr, nullptr, &t,
                            static_cast<BYTE*>(data), dataSize ? &d : nullptr);
    if (nameSize) *nameSize = n;
    if (type) *type = t;
    if (dataSize) *dataSize = d;
    return static_cast<uint32_t>(rc);
}

uint32_t QueryRegKeyCounts(RegKey key, uint32_t* subKeys, uint32_t* values) {
    DWORD k = 0, v = 0;
    LONG rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &k, nullptr, nullptr, &v,
                               nullptr, nullptr, nullptr, nullptr);
    if (subKeys) *subKeys = k;
    if (values) *values = v;
    return static_cast<uint32_t>(rc);
}

uint32_t GetRegKeySecurity(RegKey key, uint32_t information, void* descriptor,
                           uint32_t* size) {
    if (!size) return kErrInvalidParameter;
    DWORD n = *size;
    LONG rc = ::RegGetKeySecurity(key, information, descriptor, &n);
    *size = n;
    return static_cast<uint32_t>(rc);
}

uint32_t SetRegKeySecurity(RegKey key, uint32_t information, const void* descriptor) {
    return static_cast<uint32_t>(
        ::RegSetKeySecurity(key, information, const_cast<void*>(descriptor)));
}

}  // namespace os
