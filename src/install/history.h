// The uninstall history: six numbered lists below a history key (HKLM)
// that say what a run installed, so that a removal can undo it.
#pragma once

#include <string>

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
