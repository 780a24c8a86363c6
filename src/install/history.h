// The uninstall history: six numbered lists below a history key (HKLM)
// that say what a run installed, so that a removal can undo it; and the
// run's list of items that failed to install.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/os_library.h"
#include "profile/export.h"

enum class HistoryKind {
    Value,          // NumOfValues / Value%d: root\subkey\value name
    Key,            // NumOfKeys / Key%d: root\subkey
    File,           // NumOfFiles / File%d: an installed file
    Directory,      // NumOfDirs / Dir%d: a created folder
    DestDirectory,  // NumOfDestDirs / DestDir%d: an installation folder
    Shortcut,       // NumOfShortcuts / Shortcut%d: a shortcut file
};

// Appends an entry to the kind's list of the history key (empty: the
// installing history key). A file path of the 32-bit program on a 64-bit
// Windows is upper-cased with \SYSTEM32\ turned into \SYSWOW64\, where the
// system put the file. False when the key cannot be opened or created.
SETUP_EXPORT bool AddHistoryEntry(const std::string& entry, HistoryKind kind,
                                  const std::string& historyKey = std::string());

// Appends every entry of the source's lists to the target's (values, keys,
// files, folders, installation folders, shortcuts, each in entry order),
// then deletes the source key with its subkeys and the parents it leaves
// empty. False when a key text is empty or the source cannot be opened.
SETUP_EXPORT bool MergeHistory(const std::string& sourceKey, const std::string& targetKey);

// Takes back what a history key records. SetupUninstallOEMInfA is looked up
// when the object is made; without it an INF file is only deleted.
class SETUP_EXPORT CHistoryUndo {
public:
    CHistoryUndo();
    ~CHistoryUndo();
    CHistoryUndo(const CHistoryUndo&) = delete;
    CHistoryUndo& operator=(const CHistoryUndo&) = delete;

    // Values, keys, files, installation folders, folders, shortcuts, each
    // list from its last entry to its first; an entry that cannot be read
    // or carried out is passed over. Then the history key itself is deleted
    // (with the parents it leaves empty), and with removeOwnProgram the
    // running executable, or it is scheduled for the next restart. False
    // only for an empty key text.
    bool Undo(const std::string& historyKey, bool removeOwnProgram);

    bool CanUninstallOemInf() const { return uninstallOemInf_ != nullptr; }

private:
    void UndoValue(const std::string& entry);
    void UndoKey(const std::string& entry);
    void UndoFile(const std::string& path);
    // The OEM driver package of an INF file, with its log line.
    void UninstallOemInf(const std::string& path);

    os::Library setupApi_ = nullptr;
    os::Library kernel_ = nullptr;
    os::LibraryProc uninstallOemInf_ = nullptr;
    os::LibraryProc lastError_ = nullptr;
};

// CHistoryUndo().Undo(historyKey, removeOwnProgram).
SETUP_EXPORT bool UndoHistory(const std::string& historyKey, bool removeOwnProgram);

// --- the failure list: "<installing key>\InstallFail", Count and "0", "1", ...
// each the section name of an item that failed.

// Appends an item's section name. False without an installing key or when
// a value cannot be written.
SETUP_EXPORT bool RecordFailure(const std::string& section);
// Count; 0 when missing.
SETUP_EXPORT uint32_t GetFailureCount();
// The display name of the item a section name names; empty for an unknown
// section. Section names compare without case.
using ItemDisplayName = std::function<std::string(const std::string& section)>;
// The display name of the n-th failed item (from 0); empty when value n is
// missing or its item is unknown.
SETUP_EXPORT std::string GetFailedItemName(uint32_t n, const ItemDisplayName& displayName);

// The records of a finished run, from the installing key to the installed
// key: the installing key's values; for each item (section names in list
// order) whose "<installing>\Items\<section>" has InstallNow 2 and an
// uninstall command (UninstCmd, or else the UninstallInfo value its
// Uninstall_Value_Name names, neither empty) that record's values; the
// values of "<installing>\Shortcut\<name>" for each shortcut name; then the
// history merged into the installed history. False without the keys.
SETUP_EXPORT bool SaveInstalledRecords(const std::vector<std::string>& itemSections,
                                       const std::vector<std::string>& shortcutNames);
