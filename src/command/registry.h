// Every registry access of the installer: values of its own records, key
// trees, the registry text file, and the registry sections of the command
// profile (CT_ADDREG, CT_DELREG). Results are Windows error numbers; keys
// are a root (os::kHKLM, os::kHKCU, ...) and a subkey path with "\".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/os.h"
#include "profile/export.h"

class CInstProfile;

// Room a text value is read into, and the longest value name handled.
constexpr size_t kRegistryData = 4096;
constexpr size_t kRegistryValueName = 259;

class SETUP_EXPORT CRegistry {
public:
    CRegistry();
    virtual ~CRegistry();

    // A REG_SZ value into text. limit: room in text in bytes (-1: none,
    // text holds kRegistryData bytes). 87 for a missing or empty path or
    // name, or a value of another type; 122 when the stored value (with its
    // terminating zero) is longer than limit, text untouched.
    static uint32_t GetValue(const char* keyPath, const char* valueName, char* text,
                             os::RegKey root, int32_t limit = -1);
    static uint32_t GetValue(const char* keyPath, const char* valueName, std::string& text,
                             os::RegKey root, int32_t limit = -1);
    // A REG_DWORD value; 87 for any other type.
    static uint32_t GetValue(const char* keyPath, const char* valueName, uint32_t* number,
                             os::RegKey root);
    // Writes a REG_SZ (its length without the terminating zero) or a
    // REG_DWORD, creating missing keys. 87 for an empty path or name.
    static uint32_t SetValue(const char* keyPath, const char* valueName, const char* text,
                             os::RegKey root);
    static uint32_t SetValue(const char* keyPath, const char* valueName, uint32_t number,
                             os::RegKey root);
    // onlyThisKey: the key alone (NT: it must have no subkeys); otherwise
    // the key with everything below it, then the parents it leaves empty,
    // never a top-level key. A key that refuses deletion (5) gets a DACL
    // granting everyone all access and is tried once more.
    static uint32_t DeleteKey(const char* keyPath, bool onlyThisKey, os::RegKey root);
    static uint32_t DeleteValue(const char* keyPath, const char* valueName, os::RegKey root);
    // The source's REG_SZ and REG_DWORD values (and with subkeys its whole
    // tree) written below the destination; the first error ends the copy.
    static uint32_t CopyKey(const char* sourcePath, const char* destinationPath,
                            bool withSubkeys, os::RegKey sourceRoot,
                            os::RegKey destinationRoot);

    // The registry text file: a profile with one section per key
    // ("HKEY_LOCAL_MACHINE\Software\Vendor") and one line per value:
    //   "Name" = "text"         a REG_SZ
    //   "Name" = dword:0000001f a REG_DWORD
    //   "Name" = hex:           any other value is left out; raw bytes
    //                           show as the type alone
    // SaveToFile creates the file (an existing one fails with the system's
    // error and stays as it was); LoadFromFile answers the result of the
    // last line it handled (13 for a line of an unknown type).
    static uint32_t SaveToFile(const char* keyPath, const char* fileName, os::RegKey root);
    static uint32_t LoadFromFile(const char* fileName);
    // The same on a file's text (the loader without the file read).
    static uint32_t LoadFromText(const char* data, size_t size);

protected:
    // The key and its whole tree.
    static uint32_t DeleteSubKey(const char* keyPath, os::RegKey root);
    // Removes the empty parents of a deleted key, up to a top-level key.
    static uint32_t DeleteEmptyParent(const char* keyPath, os::RegKey root);
    // Gives the key a DACL that grants everyone all key access.
    static uint32_t SetDaclPermission(const char* keyPath, os::RegKey root);
    // Writes count values of an open key below the destination.
    static uint32_t CopyValue(os::RegKey key, uint32_t count, const char* destinationPath,
                              os::RegKey destinationRoot);
};

// Whether a registry section applies to this system (its SUPPORTED_OS,
// UNSUPPORTED_OS, SUPPORTED_LANG and UNSUPPORTED_LANG keys); empty: it
// applies.
using SectionFilter = std::function<bool(const char* section)>;

// CT_ADDREG: writes the VALUE lines of a registry section of the command
// profile ("VALUE = REG_DWORD, Name, 0x10" or "VALUE = REG_SZ, Name, text").
// True on success and for a section that does not apply; false (with its
// log line) for an empty section name, a missing KEYNAME or a missing
// section. profile null: the command profile.
bool AddRegistrySection(const char* section, const CInstProfile* profile = nullptr,
                        const SectionFilter& applies = SectionFilter());
// CT_DELREG: deletes the values named by the VALUE lines, then with
// DELETE_KEY non-zero the key with its tree and its emptied parents.
bool DeleteRegistrySection(const char* section, const CInstProfile* profile = nullptr,
                           const SectionFilter& applies = SectionFilter());
