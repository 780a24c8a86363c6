// The file operations of the copy and delete engine: the Windows answers
// it relies on for copies, moves, attributes, listings, folders and names.
#include <algorithm>
#include <string>
#include <vector>

#include "command/copy_file.h"
#include "contract/contract_env.h"
#include "platform/os.h"

namespace {

using contract::ScratchDir;
using contract::UniqueName;

// A fresh folder of the scratch folder (ending without a backslash).
std::string Folder(const char* stem) {
    std::string dir = ScratchDir() + UniqueName(stem);
    EXPECT_EQ(0u, os::MakeDirectory(dir.c_str())) << dir;
    return dir;
}

void Make(const std::string& path, const std::string& text) {
    os::Handle h = nullptr;
    ASSERT_EQ(0u, os::CreateNewFile(path.c_str(), &h)) << path;
    os::WriteFile(h, text.data(), text.size(), nullptr);
    os::CloseHandle(h);
}

std::string Text(const std::string& path) {
    std::string data;
    return os::ReadWholeFile(path.c_str(), data) == 0 ? data : "<missing>";
}

uint32_t Attributes(const std::string& path) {
    uint32_t a = 0;
    os::GetAttributes(path.c_str(), &a);
    return a;
}

TEST(FileOps, CopyAnswersLikeCopyFile) {
    const std::string d = Folder("copy");
    Make(d + "\\src.txt", "source");
    Make(d + "\\old.txt", "old");
    Make(d + "\\ro.txt", "read-only");
    struct Row {
        std::string source, destination;
        bool failIfExists;
        uint32_t result;
        const char* after;  // the destination's text afterwards
    } rows[] = {
        {d + "\\src.txt", d + "\\new.txt", true, 0, "source"},
        {d + "\\src.txt", d + "\\old.txt", true, os::kErrFileExists, "old"},
        {d + "\\src.txt", d + "\\old.txt", false, 0, "source"},
        {d + "\\none.txt", d + "\\x.txt", false, os::kErrFileNotFound, "<missing>"},
        {d + "\\src.txt", d + "\\no\\x.txt", false, os::kErrPathNotFound, "<missing>"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.result, os::CopyOneFile(r.source.c_str(), r.destination.c_str(),
                                            r.failIfExists))
            << r.destination;
        EXPECT_EQ(r.after, Text(r.destination)) << r.destination;
    }
    // The copy of a read-only file is read-only too.
    ASSERT_EQ(0u, os::SetAttributes((d + "\\ro.txt").c_str(), os::kAttrReadOnly));
    ASSERT_EQ(0u, os::CopyOneFile((d + "\\ro.txt").c_str(), (d + "\\ro2.txt").c_str(), false));
    EXPECT_NE(0u, Attributes(d + "\\ro2.txt") & os::kAttrReadOnly);
    os::SetAttributes((d + "\\ro.txt").c_str(), os::kAttrNormal);
    os::SetAttributes((d + "\\ro2.txt").c_str(), os::kAttrNormal);
}

TEST(FileOps, CopyRefusesAReadOnlyDestination) {
    // Wine run as root writes through the read-only mode bits.
    SKIP_KNOWN_WINE_GAP("a read-only destination is overwritten when Wine runs as root");
    const std::string d = Folder("copyro");
    Make(d + "\\src.txt", "source");
    Make(d + "\\ro.txt", "read-only");
    ASSERT_EQ(0u, os::SetAttributes((d + "\\ro.txt").c_str(), os::kAttrReadOnly));
    EXPECT_EQ(os::kErrAccessDenied,
              os::CopyOneFile((d + "\\src.txt").c_str(), (d + "\\ro.txt").c_str(), false));
    EXPECT_EQ("read-only", Text(d + "\\ro.txt"));
    os::SetAttributes((d + "\\ro.txt").c_str(), os::kAttrNormal);
}

TEST(FileOps, MoveReplacesOnlyWhenAsked) {
    const std::string d = Folder("move");
    Make(d + "\\a.txt", "a");
    Make(d + "\\b.txt", "b");
    EXPECT_EQ(os::kErrAlreadyExists,
              os::MoveOneFile((d + "\\a.txt").c_str(), (d + "\\b.txt").c_str(), 0));
    EXPECT_EQ(0u, os::MoveOneFile((d + "\\a.txt").c_str(), (d + "\\b.txt").c_str(),
                                  os::kMoveReplaceExisting));
    EXPECT_EQ("a", Text(d + "\\b.txt"));
    EXPECT_FALSE(os::FileExists((d + "\\a.txt").c_str()));
    EXPECT_EQ(0u, os::MoveOneFile((d + "\\b.txt").c_str(), (d + "\\c.txt").c_str(), 0));
    EXPECT_EQ("a", Text(d + "\\c.txt"));
    EXPECT_EQ(os::kErrFileNotFound,
              os::MoveOneFile((d + "\\none.txt").c_str(), (d + "\\d.txt").c_str(), 0));
}

TEST(FileOps, MoveAtRestartIsOnlyRecorded) {
    const std::string d = Folder("boot");
    Make(d + "\\later.txt", "later");
    EXPECT_EQ(0u, os::MoveOneFile((d + "\\later.txt").c_str(), nullptr,
                                  os::kMoveDelayUntilReboot));
    EXPECT_EQ("later", Text(d + "\\later.txt"));
}

TEST(FileOps, EraseAndAttributes) {
    const std::string d = Folder("erase");
    Make(d + "\\f.txt", "f");
    const std::string f = d + "\\f.txt";
    EXPECT_EQ(0u, Attributes(f) & (os::kAttrDirectory | os::kAttrReadOnly));
    EXPECT_NE(0u, Attributes(d) & os::kAttrDirectory);
    ASSERT_EQ(0u, os::SetAttributes(f.c_str(), os::kAttrReadOnly));
    EXPECT_NE(0u, Attributes(f) & os::kAttrReadOnly);
    EXPECT_EQ(os::kErrAccessDenied, os::RemoveFile(f.c_str()));
    ASSERT_EQ(0u, os::SetAttributes(f.c_str(), os::kAttrNormal));
    EXPECT_EQ(0u, os::RemoveFile(f.c_str()));
    EXPECT_EQ(os::kErrFileNotFound, os::RemoveFile(f.c_str()));
    EXPECT_EQ(os::kErrPathNotFound, os::RemoveFile((d + "\\no\\f.txt").c_str()));
    uint32_t a = 0;
    EXPECT_EQ(os::kErrFileNotFound, os::GetAttributes(f.c_str(), &a));
    EXPECT_EQ(os::kAttrInvalid, a);
    EXPECT_EQ(os::kErrFileNotFound, os::SetAttributes(f.c_str(), os::kAttrNormal));
}

TEST(FileOps, FindListsAFolderWithItsDotEntries) {
    const std::string d = Folder("find");
    Make(d + "\\one.txt", "1");
    Make(d + "\\Two.TXT", "22");
    Make(d + "\\three.dat", "333");
    ASSERT_EQ(0u, os::MakeDirectory((d + "\\sub").c_str()));
    struct Row {
        const char* mask;
        std::vector<std::string> names;  // sorted
    } rows[] = {
        {"*.*", {".", "..", "Two.TXT", "one.txt", "sub", "three.dat"}},
        {"*", {".", "..", "Two.TXT", "one.txt", "sub", "three.dat"}},
        {"*.txt", {"Two.TXT", "one.txt"}},
        {"t?o.txt", {"Two.TXT"}},
    };
    for (const Row& r : rows) {
        os::Handle find = nullptr;
        os::FindData data;
        std::vector<std::string> names;
        ASSERT_EQ(0u, os::FindFirst((d + "\\" + r.mask).c_str(), &find, &data)) << r.mask;
        do {
            names.push_back(data.name);
            if (data.name == "sub") {
                EXPECT_NE(0u, data.attributes & os::kAttrDirectory);
            }
            if (data.name == "three.dat") {
                EXPECT_EQ(3u, data.size);
            }
        } while (os::FindNext(find, &data) == 0);
        EXPECT_EQ(os::kErrNoMoreFiles, os::FindNext(find, &data));
        os::FindEnd(find);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(r.names, names) << r.mask;
    }
    os::Handle find = nullptr;
    os::FindData data;
    EXPECT_EQ(os::kErrFileNotFound, os::FindFirst((d + "\\*.none").c_str(), &find, &data));
    EXPECT_EQ(nullptr, find);
    EXPECT_EQ(os::kErrPathNotFound, os::FindFirst((d + "\\no\\*.*").c_str(), &find, &data));
}

TEST(FileOps, RemoveFolderOnlyWhenEmpty) {
    const std::string d = Folder("rmdir");
    Make(d + "\\f.txt", "f");
    EXPECT_EQ(os::kErrDirNotEmpty, os::RemoveFolder(d.c_str()));
    EXPECT_EQ(os::kErrDirectoryName, os::RemoveFolder((d + "\\f.txt").c_str()));
    EXPECT_EQ(os::kErrFileNotFound, os::RemoveFolder((d + "\\none").c_str()));
    ASSERT_EQ(0u, os::RemoveFile((d + "\\f.txt").c_str()));
    EXPECT_EQ(0u, os::RemoveFolder(d.c_str()));
    EXPECT_FALSE(os::DirectoryExists(d.c_str()));
}

TEST(FileOps, TempNamesAreNewEmptyFilesWithThePrefix) {
    const std::string d = Folder("temp");
    std::string first, second;
    ASSERT_EQ(0u, os::MakeTempFileName(d.c_str(), "drvfile.dll", first));
    ASSERT_EQ(0u, os::MakeTempFileName(d.c_str(), "drvfile.dll", second));
    EXPECT_NE(first, second);
    for (const std::string& p : {first, second}) {
        EXPECT_EQ(d + "\\drv", p.substr(0, d.size() + 4)) << p;
        std::string lower = p;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        EXPECT_EQ(".tmp", lower.substr(lower.size() - 4)) << p;
        EXPECT_EQ("", Text(p));
    }
    std::string none;
    EXPECT_NE(0u, os::MakeTempFileName((d + "\\no").c_str(), "x", none));
}

TEST(FileOps, ShortNameNamesTheSameFile) {
    const std::string d = Folder("short");
    Make(d + "\\A long file name.text", "long");
    std::string shortPath;
    ASSERT_EQ(0u, os::GetShortName((d + "\\A long file name.text").c_str(), shortPath));
    EXPECT_EQ("long", Text(shortPath));
    EXPECT_EQ(os::kErrFileNotFound, os::GetShortName((d + "\\none.txt").c_str(), shortPath));
}

// The copy engine on the backend's own file operations.
TEST(FileOps, EngineCopiesATreeAndDeletesItWithItsEmptyParents) {
    const std::string d = Folder("engine");
    ASSERT_EQ(0u, os::MakeDirectory((d + "\\src").c_str()));
    ASSERT_EQ(0u, os::MakeDirectory((d + "\\src\\sub").c_str()));
    Make(d + "\\src\\a.txt", "a");
    Make(d + "\\src\\sub\\b.txt", "b");
    Make(d + "\\old.txt", "old");
    ASSERT_EQ(0u, os::SetAttributes((d + "\\old.txt").c_str(), os::kAttrReadOnly));

    const std::string to = d + "\\one\\two\\three";
    EXPECT_TRUE(CCopyFile::CopyDirectoryTree((d + "\\src\\").c_str(), to.c_str(), true, false));
    EXPECT_EQ("a", Text(to + "\\a.txt"));
    EXPECT_EQ("b", Text(to + "\\sub\\b.txt"));
    EXPECT_TRUE(CCopyFile::CopyFileEntry((d + "\\src\\a.txt").c_str(), (d + "\\old.txt").c_str(),
                                         false));
    EXPECT_EQ("a", Text(d + "\\old.txt"));
    EXPECT_EQ(0u, Attributes(d + "\\old.txt") & os::kAttrReadOnly);

    EXPECT_TRUE(CCopyFile::DeleteDirectoryTree((to + "\\").c_str(), true));
    EXPECT_FALSE(os::DirectoryExists((d + "\\one").c_str()));
    EXPECT_TRUE(os::DirectoryExists(d.c_str()));  // holds src and old.txt
    EXPECT_TRUE(CCopyFile::DeleteOneFile((d + "\\old.txt").c_str()));
    EXPECT_TRUE(CCopyFile::DeleteOneFile((d + "\\old.txt").c_str()));  // gone already
    EXPECT_FALSE(os::FileExists((d + "\\old.txt").c_str()));
}

TEST(FileOps, EngineSchedulesADeletionAtRestart) {
    const std::string d = Folder("later");
    Make(d + "\\busy.dll", "busy");
    EXPECT_TRUE(CCopyFile::DeleteFileAtRestart((d + "\\busy.dll").c_str()));
    EXPECT_FALSE(os::FileExists((d + "\\busy.dll").c_str()));  // moved aside
}

}  // namespace
