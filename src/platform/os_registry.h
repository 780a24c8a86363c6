// The registry as the Win32 registry functions offer it (the ANSI forms):
// keys are opened below a predefined root or another open key, results are
// Windows error numbers, value data is raw bytes. Included by os.h.
//
// Limits of the ANSI calls, on both backends: a subkey text of more than
// 260 characters answers 234, a key name of more than 255 characters 87, a
// value name of more than 16383 characters 87.
#pragma once

#include <cstddef>
#include <cstdint>

// The same incomplete type the Windows headers name their key handles
// after, so that an open key is an HKEY to code that also sees those headers.
struct HKEY__;

namespace os {

using RegKey = HKEY__*;

namespace detail {
// Predefined keys are sign-extended 32-bit numbers, as on Windows.
inline RegKey PredefinedKey(int32_t value) {
    return reinterpret_cast<RegKey>(static_cast<intptr_t>(value));
}
}  // namespace detail

// Predefined roots.
inline const RegKey kHKCR = detail::PredefinedKey(INT32_MIN + 0);  // HKEY_CLASSES_ROOT
inline const RegKey kHKCU = detail::PredefinedKey(INT32_MIN + 1);  // HKEY_CURRENT_USER
inline const RegKey kHKLM = detail::PredefinedKey(INT32_MIN + 2);  // HKEY_LOCAL_MACHINE
inline const RegKey kHKU = detail::PredefinedKey(INT32_MIN + 3);   // HKEY_USERS
inline const RegKey kHKPD = detail::PredefinedKey(INT32_MIN + 4);  // HKEY_PERFORMANCE_DATA
inline const RegKey kHKCC = detail::PredefinedKey(INT32_MIN + 5);  // HKEY_CURRENT_CONFIG
inline const RegKey kHKDD = detail::PredefinedKey(INT32_MIN + 6);  // HKEY_DYN_DATA

// Value types.
enum : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

// Access rights of a key (Windows masks); the view bits choose the 32- or
// 64-bit registry of a 64-bit Windows and are ignored elsewhere.
enum : uint32_t {
    kKeyQueryValue = 0x0001,
    kKeySetValue = 0x0002,
    kKeyCreateSubKey = 0x0004,
    kKeyEnumerateSubKeys = 0x0008,
    kKeyNotify = 0x0010,
    kKeyWow64_64Key = 0x0100,
    kKeyWow64_32Key = 0x0200,
    kAccessDelete = 0x00010000,
    kAccessReadControl = 0x00020000,
    kAccessWriteDac = 0x00040000,
    kAccessWriteOwner = 0x00080000,
    kKeyRead = 0x00020019,
    kKeyWrite = 0x00020006,
    kKeyAllAccess = 0x000F003F,
};

// Creation options.
enum : uint32_t {
    kRegOptionNonVolatile = 0,
    kRegOptionVolatile = 1,
};

// Which parts of a security descriptor a security call reads or writes.
enum : uint32_t {
    kOwnerSecurityInformation = 1,
    kGroupSecurityInformation = 2,
    kDaclSecurityInformation = 4,
};

// Error numbers of the registry calls besides those of os.h and
// os_system.h (which has 120, a call this Windows does not have).
enum : uint32_t {
    kErrBadPathname = 161,
    kErrInvalidSecurityDescriptor = 1338,
};

// RegOpenKeyExA. access may hold a view bit. *key is null on failure.
uint32_t OpenRegKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key);
// RegCreateKeyExA (no class, default security); *created tells whether the
// key is new (may be null).
uint32_t CreateRegKey(RegKey parent, const char* subKey, uint32_t options, uint32_t access,
                      RegKey* key, bool* created);
// RegCloseKey; a predefined root closes with 0.
uint32_t CloseRegKey(RegKey key);

// RegQueryValueExA. data null: *size receives the size the value needs.
// A buffer that is too small: 234 and *size the size needed. type may be
// null.
uint32_t QueryRegValue(RegKey key, const char* name, uint32_t* type, void* data, uint32_t* size);
// RegSetValueExA: size bytes of data. As on Windows, a string whose size
// leaves out its terminating zero is stored with it.
uint32_t SetRegValue(RegKey key, const char* name, uint32_t type, const void* data,
                     uint32_t size);
// RegDeleteValueA.
uint32_t DeleteRegValue(RegKey key, const char* name);

// RegDeleteKeyA: the key must have no subkeys on the NT family (5
// otherwise); Windows 9x removes the whole tree.
uint32_t DeleteRegKey(RegKey parent, const char* subKey);
// RegDeleteKeyExA with a view bit, looked up at run time: 120 on a Windows
// that lacks it (before XP x64 and Vista, which also have no views).
uint32_t DeleteRegKeyEx(RegKey parent, const char* subKey, uint32_t view);

// RegEnumKeyExA: the subkey at index (subkeys sorted as NT keeps them).
// *nameSize: room in name (in), length without the terminator (out).
// 259 past the last subkey, 234 when the name does not fit.
uint32_t EnumRegKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize);
// RegEnumValueA: the value at index (NT: in creation order). nameSize as
// above; type, data and dataSize may be null; 259 past the last value, 234
// when the name or the data does not fit.
uint32_t EnumRegValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize,
                      uint32_t* type, void* data, uint32_t* dataSize);
// RegQueryInfoKeyA: numbers of subkeys and values (either may be null).
uint32_t QueryRegKeyCounts(RegKey key, uint32_t* subKeys, uint32_t* values);

// RegGetKeySecurity: a self-relative security descriptor; 122 and *size
// the size needed when it does not fit.
uint32_t GetRegKeySecurity(RegKey key, uint32_t information, void* descriptor,
                           uint32_t* size);
// RegSetKeySecurity: descriptor in the absolute or self-relative layout.
// The key must be open with WRITE_DAC.
uint32_t SetRegKeySecurity(RegKey key, uint32_t information, const void* descriptor);

}  // namespace os
