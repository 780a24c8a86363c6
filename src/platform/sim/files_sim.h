// The simulated machine's side of the file operations: files held by a
// running program ("in use"), the moves and deletions Windows carries out
// at its next start, and that start itself.
#pragma once

#include <string>
#include <vector>

namespace sim {

class Machine;

// A file in use cannot be overwritten or deleted, but it can be renamed
// (the mark follows it); a restart frees every file. machine.ini marks
// files in its section [FilesInUse] ("C:\Path\File.dll = 1"). Paths are
// Windows paths, compared without case.
void SetFileInUse(Machine& machine, const std::string& path, bool inUse);
bool FileInUse(Machine& machine, const std::string& path);

// One move scheduled for the next start (NT: PendingFileRenameOperations).
struct RestartOperation {
    std::string source;
    std::string destination;  // empty: delete the source
    bool replace = false;
};
std::vector<RestartOperation> PendingRestartOperations(Machine& machine);

// The next start of the system: the scheduled moves and deletions in order
// (NT family), then the [rename] section of the Windows folder's
// wininit.ini, which is renamed wininit.bak (Windows 9x); every file in
// use is freed. Answers one line per operation, saying what happened.
std::vector<std::string> RunRestart(Machine& machine);

}  // namespace sim
