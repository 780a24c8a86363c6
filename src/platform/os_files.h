// File operations of the copy and delete engine: copy, move (also at the
// next restart), attributes, folder listing, folders, temporary and short
// names. Windows error numbers, Windows paths. Included by os.h.
//
// The names avoid those of the Windows APIs, which the Windows headers turn
// into macros.
#pragma once

#include <cstdint>
#include <string>

namespace os {

enum : uint32_t {
    kErrNoMoreFiles = 18,
    kErrNotSameDevice = 17,
    kErrDirNotEmpty = 145,
    kErrDirectoryName = 267,  // the path is not a folder
};

// File attributes (Windows bits).
enum : uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
    kAttrNormal = 0x80,
    kAttrInvalid = 0xFFFFFFFFu,
};

// Move flags (MoveFileEx).
enum : uint32_t {
    kMoveReplaceExisting = 0x1,
    kMoveCopyAllowed = 0x2,
    kMoveDelayUntilReboot = 0x4,
};

// CopyFile: the data and the attributes; failIfExists answers 80 for an
// existing destination. A destination in use answers 32, a read-only one 5.
uint32_t CopyOneFile(const char* source, const char* destination, bool failIfExists);

// MoveFileEx. With kMoveDelayUntilReboot the move is only recorded and done
// at the next start of the system; a null destination then deletes the
// source at that start. 120 on a system without MoveFileEx (Windows 9x).
uint32_t MoveOneFile(const char* source, const char* destination, uint32_t flags);

// Deleting a file is os::RemoveFile (os.h): 5 for a read-only file or a
// file in use (a running program or a loaded library), 2 or 3 when it is
// not there.

uint32_t GetAttributes(const char* path, uint32_t* attributes);
uint32_t SetAttributes(const char* path, uint32_t attributes);

// One entry of a folder listing (WIN32_FIND_DATAA's fields the engine uses).
struct FindData {
    uint32_t attributes = 0;
    uint64_t size = 0;
    std::string name;       // at most 259 characters
    std::string shortName;  // 8.3 name; empty when the long name is one
};
// FindFirstFile: a pattern "folder\*.*" (wildcards * and ? in the last
// component). 2 when nothing matches, 3 for a missing folder; the handle is
// closed with FindEnd. FindNext answers 18 after the last entry. The
// entries "." and ".." come as Windows lists them (not at a drive root).
uint32_t FindFirst(const char* pattern, Handle* find, FindData* data);
uint32_t FindNext(Handle find, FindData* data);
void FindEnd(Handle find);

// RemoveDirectory: 145 for a folder that is not empty.
uint32_t RemoveFolder(const char* path);

// GetTempFileName with the unique number chosen by the system: creates an
// empty file "folder\pppXXXX.tmp" (ppp: up to three characters of prefix)
// and answers its path.
uint32_t MakeTempFileName(const char* folder, const char* prefix, std::string& path);

// GetShortPathName of an existing path; 2 or 3 when it is not there.
uint32_t GetShortName(const char* path, std::string& shortPath);

}  // namespace os
