#include "command/copy_file.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/log.h"
#include "command/registry.h"
#include "install/history.h"
#include "platform/os.h"
#include "profile/inst_profile.h"
#include "sys/utl.h"

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string TrimOf(const std::string& s, const char* chars) {
    size_t b = s.find_first_not_of(chars);
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(chars);
    return s.substr(b, e - b + 1);
}

void Cut(std::string& s, size_t limit) {
    if (s.size() > limit) s.resize(limit);
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void RemoveTrailingSlash(std::string& path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
}

std::string TempFolder() {
    std::string temp;
    if (os::TempDirectory(temp) != 0) temp.clear();
    return temp;
}

// A fresh temporary file whose name starts like name (the system keeps the
// first three characters).
bool TempName(const std::string& name, std::string& path) {
    return os::MakeTempFileName(TempFolder().c_str(), name.c_str(), path) == 0;
}

// Visits the entries of folder\*.*, "." and ".." excepted.
template <typename Visit>
void ForEachEntry(const std::string& folder, Visit visit) {
    os::Handle find = nullptr;
    os::FindData data;
    const std::string pattern = folder + "\\*.*";
    if (os::FindFirst(pattern.c_str(), &find, &data) != 0) return;
    do {
        if (data.name == "." || data.name == "..") continue;
        visit(data);
    } while (os::FindNext(find, &data) == 0);
    os::FindEnd(find);
}

bool IsFolder(uint32_t attributes) { return (attributes & os::kAttrDirectory) != 0; }

// "FILE = a, b, 1": the pieces of the value, empty ones dropped.
std::vector<std::string> Pieces(const std::string& value) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        size_t comma = value.find(',', start);
        std::string piece = value.substr(start, comma == std::string::npos ? std::string::npos
                                                                            : comma - start);
        if (!TrimOf(piece, " \t").empty()) pieces.push_back(piece);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return pieces;
}

bool Flag(const std::vector<std::string>& pieces, size_t index) {
    return index >= pieces.size() || std::atoi(TrimOf(pieces[index], " \t\"").c_str()) != 0;
}

// A line's type and value: the type upper-cased, both trimmed.
void SplitLine(const std::string& line, std::string& type, std::string& value) {
    size_t eq = line.find('=');
    type = Upper(TrimOf(line.substr(0, eq), " \t"));
    value = eq == std::string::npos ? std::string() : TrimOf(line.substr(eq + 1), " ");
}

bool SectionLines(const char* section, std::vector<std::string>& lines) {
    if (!section || !*section) return false;
    CInstProfile* profile = GetCommandProfile();
    if (!profile) return false;
    if (!IsSectionForThisSystem(section)) {
        lines.clear();
        return true;
    }
    return profile->GetAllKey(section, lines);
}

}  // namespace

bool IsSectionForThisSystem(const char* section) {
    CInstProfile* profile = GetCommandProfile();
    CGlobalVar* global = GetGlobalVar();
    if (!profile || !section) return true;
    const std::string os = global ? global->OsDefineString() : std::string();
    const std::string lang = global ? global->LanguageAbbreviation() : std::string();
    std::string list;
    if (profile->GetString(section, "SUPPORTED_OS", list) &&
        !IsInTokenList(list.c_str(), os.c_str(), ","))
        return false;
    if (profile->GetString(section, "UNSUPPORTED_OS", list) &&
        IsInTokenList(list.c_str(), os.c_str(), ","))
        return false;
    if (profile->GetString(section, "SUPPORTED_LANG", list) &&
        !IsInTokenList(list.c_str(), lang.c_str(), ","))
        return false;
    if (profile->GetString(section, "UNSUPPORTED_LANG", list) &&
        IsInTokenList(list.c_str(), lang.c_str(), ","))
        return false;
    return true;
}

bool CopyFileSection(const char* section) {
    std::vector<std::string> lines;
    if (!SectionLines(section, lines)) return false;
    for (const std::string& line : lines) {
        std::string type, value;
        SplitLine(line, type, value);
        if (type != "FILE" && type != "DIRECTORY") continue;
        std::vector<std::string> pieces = Pieces(value);
        if (pieces.size() < 2) continue;
        const std::string source = TrimOf(pieces[0], " \t\"");
        const std::string destination = TrimOf(pieces[1], " \t\"");
        if (type == "FILE")
            CCopyFile::CopyFileEntry(source.c_str(), destination.c_str(), Flag(pieces, 2));
        else
            CCopyFile::CopyDirectoryTree(source.c_str(), destination.c_str(), Flag(pieces, 2),
                                         Flag(pieces, 3));
    }
    return true;
}

bool DeleteFileSection(const char* section) {
    std::vector<std::string> lines;
    if (!SectionLines(section, lines)) return false;
    for (const std::string& line : lines) {
        std::string type, target;
        SplitLine(line, type, target);
        if (type.find("FILE") != std::string::npos)
            CCopyFile::DeleteOneFile(target.c_str());
        else if (type.find("DIRECTORY") != std::string::npos)
            CCopyFile::DeleteDirectoryTree(target.c_str(), true);
    }
    return true;
}

bool CCopyFile::CopyFileEntry(const char* source, const char* destination, bool record) {
    if (!source || !*source || !destination || !*destination) return false;
    if (Upper(source) == Upper(destination)) return true;
    uint32_t rc = os::CopyOneFile(source, destination, false);
    if (rc != 0) {
        if (rc == os::kErrAccessDenied) {
            os::SetAttributes(destination, os::kAttrNormal);
        } else if (rc == os::kErrPathNotFound) {
            if (!CreateDirectoryChain(FolderPart(destination).c_str(), record)) return false;
        }
        rc = os::CopyOneFile(source, destination, false);
    }
    // A destination that could not be written even at restart is not the
    // run's: it is neither reported as copied nor recorded for removal.
    if (rc != 0 && !ReplaceInUseFile(source, destination) &&
        !ReplaceAtRestart(source, destination))
        return false;
    if (record) AddHistoryEntry(destination, HistoryKind::File);
    os::SetAttributes(destination, os::kAttrNormal);
    return true;
}

bool CCopyFile::CreateDirectoryChain(const char* path, bool record) {
    if (!path) return false;
    const std::string full = std::string(path) + "\\";
    size_t slash = full.find('\\');
    while ((slash = full.find('\\', slash + 1)) != std::string::npos) {
        const std::string folder = full.substr(0, slash + 1);
        uint32_t rc = os::MakeDirectory(folder.c_str());
        if (rc == 0) {
            if (record) AddHistoryEntry(folder, HistoryKind::Directory);
        } else if (rc != os::kErrAlreadyExists && rc != os::kErrFileExists) {
            return false;
        }
    }
    return true;
}

bool CCopyFile::CopyDirectoryTree(const char* source, const char* destination, bool subfolders,
                                  bool record) {
    if (!source || !destination || !CreateDirectoryChain(destination, record)) return false;
    std::string from = source, to = destination;
    RemoveTrailingSlash(from);
    RemoveTrailingSlash(to);
    bool ok = true;
    ForEachEntry(from, [&](const os::FindData& entry) {
        const std::string a = from + "\\" + entry.name, b = to + "\\" + entry.name;
        if (a.size() > kCopyPathMax || b.size() > kCopyPathMax) {
            ok = false;
            return;
        }
        if (!IsFolder(entry.attributes)) {
            if (!CopyFileEntry(a.c_str(), b.c_str(), record)) ok = false;
        } else if (subfolders) {
            if (!CopyDirectoryTree(a.c_str(), b.c_str(), subfolders, record)) ok = false;
        }
    });
    return ok;
}

bool CCopyFile::ReplaceInUseFile(const char* source, const char* destination) {
    std::string aside;
    if (!TempName(FileNamePart(destination), aside)) return false;
    if (os::MoveOneFile(destination, aside.c_str(), os::kMoveReplaceExisting) != 0) {
        os::RemoveFile(aside.c_str());
        return false;
    }
    if (os::CopyOneFile(source, destination, false) == 0) {
        os::MoveOneFile(aside.c_str(), nullptr, os::kMoveDelayUntilReboot);
        return true;
    }
    os::MoveOneFile(aside.c_str(), destination, os::kMoveReplaceExisting);
    return false;
}

bool CCopyFile::ReplaceAtRestart(const char* source, const char* destination) {
    int type = 0, family = 0;
    GetOSType(&type, &family);
    if (family != kFamilyWin9x) return false;
    std::string staged;
    if (!TempName(FileNamePart(source), staged)) return false;
    // The temporary file is the empty one just made for this copy.
    if (os::CopyOneFile(source, staged.c_str(), false) != 0) {
        os::RemoveFile(staged.c_str());
        return false;
    }
    std::string shortStaged, shortDestination;
    if (os::GetShortName(staged.c_str(), shortStaged) != 0) shortStaged = staged;
    if (os::GetShortName(destination, shortDestination) != 0) shortDestination = destination;
    // WININIT.EXE reads the file in the Windows folder.
    const CSystemDirs* dirs = GetSystemDirs();
    std::string ini = dirs && !dirs->windowsDir.empty() ? dirs->windowsDir : std::string();
    RemoveTrailingSlash(ini);
    ini = ini.empty() ? "wininit.ini" : ini + "\\wininit.ini";
    return os::WriteProfileString("rename", shortDestination.c_str(), shortStaged.c_str(),
                                  ini.c_str()) == 0;
}

bool CCopyFile::DeleteOneFile(const char* path) {
    if (!path) return false;
    const std::string target = TrimOf(path, " \"");
    if (target.empty()) return true;
    os::SetAttributes(target.c_str(), os::kAttrNormal);
    uint32_t rc = os::RemoveFile(target.c_str());
    if (rc == 0 || rc == os::kErrFileNotFound || rc == os::kErrPathNotFound) return true;
    return DeleteFileAtRestart(target.c_str());
}

bool CCopyFile::DeleteFileAtRestart(const char* path) {
    if (!path || !*path) return false;
    std::string aside;
    if (!TempName(FileNamePart(path), aside)) return false;
    if (os::MoveOneFile(path, aside.c_str(), os::kMoveReplaceExisting) != 0) {
        os::RemoveFile(aside.c_str());
        return false;
    }
    if (os::MoveOneFile(aside.c_str(), nullptr, os::kMoveDelayUntilReboot) == 0) return true;
    // Not scheduled: the file goes back where it was rather than stay aside.
    os::MoveOneFile(aside.c_str(), path, os::kMoveReplaceExisting);
    return false;
}

bool CCopyFile::DeleteDirectoryTree(const char* folder, bool recursive) {
    if (!folder || !*folder) return false;
    std::string path = folder;
    RemoveTrailingSlash(path);
    if (recursive) {
        ForEachEntry(path, [&](const os::FindData& entry) {
            const std::string child = path + "\\" + entry.name;
            if (!IsFolder(entry.attributes))
                DeleteOneFile(child.c_str());
            else if (os::RemoveFolder(child.c_str()) != 0)
                DeleteDirectoryTree(child.c_str(), recursive);
        });
    }
    if (os::RemoveFolder(path.c_str()) == 0 && recursive) {
        // Parents left empty go too; "C:" (a drive root) never.
        std::string parent = path;
        for (;;) {
            size_t slash = parent.find_last_of('\\');
            if (slash == std::string::npos) break;
            parent.resize(slash);
            if (parent.size() < 4) break;
            os::RemoveFolder(parent.c_str());
        }
    }
    return true;
}

void CCopyFile::Append(COPY_FILE_DATA entry) {
    Cut(entry.source, kCopyPathMax);
    Cut(entry.destination, kCopyPathMax);
    Cut(entry.description, kCopyPathMax);
    if (list_.size() == list_.capacity()) {
        const size_t step = std::min<size_t>(1024, std::max<size_t>(4, list_.size() / 8));
        list_.reserve(list_.size() + step);
    }
    list_.push_back(std::move(entry));
}

void CCopyFile::AppendFolder(const std::string& source, const std::string& destination,
                             const std::string& description, int record, bool subfolders) {
    ForEachEntry(source, [&](const os::FindData& entry) {
        const std::string a = source + "\\" + entry.name, b = destination + "\\" + entry.name;
        if (!IsFolder(entry.attributes))
            Append({a, b, description, record});
        else if (subfolders)
            AppendFolder(a, b, description, record, subfolders);
    });
}

bool CCopyFile::LoadCopyList(const char* key) {
    if (key && *key) key_ = key;
    list_.clear();
    os::RegKey root = nullptr;
    if (os::OpenRegKey(os::kHKLM, key_.c_str(), os::kKeyRead, &root) != 0) return false;
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
        char name[256];
        uint32_t size = sizeof name;
        if (os::EnumRegKey(root, i, name, &size) != 0) break;
        names.emplace_back(name, size);
    }
    os::CloseRegKey(root);
    for (const std::string& name : names) {
        const std::string record = key_ + "\\" + name;
        std::string source, destination, description;
        uint32_t subDir = 0, remove = 0;
        CRegistry::GetValue(record.c_str(), "Src", source, os::kHKLM);
        CRegistry::GetValue(record.c_str(), "Dest", destination, os::kHKLM);
        CRegistry::GetValue(record.c_str(), "Description", description, os::kHKLM);
        CRegistry::GetValue(record.c_str(), "CopySubDir", &subDir, os::kHKLM);
        CRegistry::GetValue(record.c_str(), "Delete", &remove, os::kHKLM);
        uint32_t attributes = 0;
        if (source.empty() || os::GetAttributes(source.c_str(), &attributes) != 0) continue;
        const int recordFlag = remove != 0 ? 1 : 0;
        if (IsFolder(attributes)) {
            RemoveTrailingSlash(source);
            RemoveTrailingSlash(destination);
            AppendFolder(source, destination, description, recordFlag, subDir != 0);
        } else {
            Append({source, destination, description, recordFlag});
        }
    }
    return true;
}

bool CCopyFile::CopyAll(const char* key) {
    failed_ = 0;
    if (!LoadCopyList(key)) {
        if (CLog* log = GetLog()) log->Log("Copy file Initial fail!!");
        return false;
    }
    for (const COPY_FILE_DATA& entry : list_)
        if (!CopyFileEntry(entry.source.c_str(), entry.destination.c_str(), entry.record != 0))
            ++failed_;
    return failed_ == 0;
}
