// The copy and delete engine: copies files and folder trees, deletes them,
// and answers busy targets the Windows way (read-only made writable,
// missing folders created, a file in use moved aside and deleted at the
// next restart, or on Windows 9x replaced at the next start through
// wininit.ini). What it writes can be entered into the install history.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "profile/export.h"

// Longest path of a copy-list text (MAX_PATH without its terminator).
constexpr size_t kCopyPathMax = 259;

struct COPY_FILE_DATA {
    std::string source;       // at most kCopyPathMax characters
    std::string destination;  // at most kCopyPathMax characters
    std::string description;  // at most kCopyPathMax characters
    int record = 0;           // non-zero: enter the copy in the install history
};

class SETUP_EXPORT CCopyFile {
public:
    explicit CCopyFile(std::string key = std::string()) : key_(std::move(key)) {}
    virtual ~CCopyFile() = default;

    // The copy list from the copy-file records below key (HKLM; empty: the
    // key given at construction). False when the key cannot be opened.
    bool LoadCopyList(const char* key = nullptr);
    // Loads the list and copies every entry; an entry that fails does not
    // stop the others. False when the list cannot be loaded (logged) or an
    // entry could not be copied (see FailedCount).
    bool CopyAll(const char* key = nullptr);

    const std::vector<COPY_FILE_DATA>& Entries() const { return list_; }
    size_t FailedCount() const { return failed_; }
    const std::string& Key() const { return key_; }

    // Copies one file, overwriting. True when the destination now holds the
    // source or will at the next restart (and then it is recorded when
    // asked); false for an empty path, a destination folder that cannot be
    // created, or a copy that failed with every fallback.
    static bool CopyFileEntry(const char* source, const char* destination, bool record);
    // Creates every missing folder of path; created ones are recorded when
    // asked. False when a folder cannot be created.
    static bool CreateDirectoryChain(const char* path, bool record);
    // Copies the files of a folder (and of its subfolders when asked).
    // False when the destination folder cannot be created or a file could
    // not be copied; a failure does not stop the others.
    static bool CopyDirectoryTree(const char* source, const char* destination, bool subfolders,
                                  bool record);
    // Moves a busy destination aside, copies, and deletes the moved file at
    // the next restart. True when the copy succeeded.
    static bool ReplaceInUseFile(const char* source, const char* destination);
    // Windows 9x: the destination is replaced at the next start. True when
    // scheduled.
    static bool ReplaceAtRestart(const char* source, const char* destination);
    // Deletes a file, or schedules it for deletion at the next restart.
    // False when neither could be done; a missing file is no error.
    static bool DeleteOneFile(const char* path);
    static bool DeleteFileAtRestart(const char* path);
    // Deletes a folder (with its contents when recursive, then the parents
    // it leaves empty, never a drive root). False for an empty path.
    static bool DeleteDirectoryTree(const char* folder, bool recursive);

private:
    void Append(COPY_FILE_DATA entry);
    void AppendFolder(const std::string& source, const std::string& destination,
                      const std::string& description, int record, bool subfolders);

    std::string key_;
    std::vector<COPY_FILE_DATA> list_;
    size_t failed_ = 0;
};

// Whether a section of the command profile applies to the running system
// (its SUPPORTED_OS, UNSUPPORTED_OS, SUPPORTED_LANG and UNSUPPORTED_LANG).
SETUP_EXPORT bool IsSectionForThisSystem(const char* section);
// CT_COPY_FILE: the FILE and DIRECTORY lines of a copy section. False for
// an empty name or a missing section.
SETUP_EXPORT bool CopyFileSection(const char* section);
// CT_DELETE_FILE: the FILE and DIRECTORY lines of a delete section.
SETUP_EXPORT bool DeleteFileSection(const char* section);
