// Files and directories: the Windows answers the engine relies on.
#include <string>

#include "contract/contract_env.h"
#include "platform/os.h"

namespace {

using contract::ScratchDir;

std::string Scratch(const std::string& name) { return ScratchDir() + name; }

std::string MakeFile(const std::string& path, const std::string& text) {
    os::Handle h = nullptr;
    EXPECT_EQ(0u, os::CreateNewFile(path.c_str(), &h)) << path;
    size_t written = 0;
    EXPECT_EQ(0u, os::WriteFile(h, text.data(), text.size(), &written));
    EXPECT_EQ(text.size(), written);
    os::CloseHandle(h);
    return path;
}

TEST(Files, ExecutableAndTempPathsAreAbsoluteWindowsPaths) {
    std::string exe, temp;
    ASSERT_EQ(0u, os::ExecutablePath(exe));
    ASSERT_GT(exe.size(), 3u);
    EXPECT_EQ(':', exe[1]);
    EXPECT_EQ('\\', exe[2]);
    ASSERT_EQ(0u, os::TempDirectory(temp));
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ('\\', temp.back());
    EXPECT_TRUE(os::DirectoryExists(temp.c_str()));
}

TEST(Files, CreateNewRefusesAnExistingFile) {
    std::string path = MakeFile(Scratch("once.txt"), "first");
    os::Handle h = reinterpret_cast<os::Handle>(1);
    EXPECT_EQ(os::kErrFileExists, os::CreateNewFile(path.c_str(), &h));
    EXPECT_EQ(nullptr, h);
    std::string data;
    ASSERT_EQ(0u, os::ReadWholeFile(path.c_str(), data));
    EXPECT_EQ("first", data);  // never overwritten
}

TEST(Files, ReadBackWhatWasWrittenWithBinaryBytes) {
    std::string text("a\r\nb\0c\xff", 7);
    std::string path = MakeFile(Scratch("bytes.bin"), text);
    std::string data;
    ASSERT_EQ(0u, os::ReadWholeFile(path.c_str(), data));
    EXPECT_EQ(text, data);
}

TEST(Files, TruncateHereCutsAtTheCurrentPosition) {
    std::string path = Scratch("cut.txt");
    os::Handle h = nullptr;
    ASSERT_EQ(0u, os::CreateNewFile(path.c_str(), &h));
    ASSERT_EQ(0u, os::WriteFile(h, "abc", 3, nullptr));
    EXPECT_EQ(0u, os::TruncateHere(h));
    ASSERT_EQ(0u, os::WriteFile(h, "de", 2, nullptr));
    os::CloseHandle(h);
    std::string data;
    ASSERT_EQ(0u, os::ReadWholeFile(path.c_str(), data));
    EXPECT_EQ("abcde", data);
}

TEST(Files, NamesAreCaseInsensitiveAndSlashesSeparate) {
    MakeFile(Scratch("MixedCase.TXT"), "x");
    std::string data;
    EXPECT_EQ(0u, os::ReadWholeFile(Scratch("mixedcase.txt").c_str(), data));
    std::string slashed = Scratch("MIXEDCASE.txt");
    for (char& c : slashed)
        if (c == '\\') c = '/';
    EXPECT_EQ(0u, os::ReadWholeFile(slashed.c_str(), data));
    EXPECT_TRUE(os::FileExists(Scratch("MIXEDCASE.TXT").c_str()));
}

struct MissingCase {
    const char* what;
    std::string path;
    uint32_t readError;
    uint32_t createError;
};

TEST(Files, MissingFilesAndFoldersGiveTheirOwnErrors) {
    const MissingCase cases[] = {
        {"missing file", Scratch("absent.txt"), os::kErrFileNotFound, 0},
        {"missing folder", Scratch("no-such-dir\\absent.txt"), os::kErrPathNotFound,
         os::kErrPathNotFound},
    };
    for (const MissingCase& c : cases) {
        std::string data;
        EXPECT_EQ(c.readError, os::ReadWholeFile(c.path.c_str(), data)) << c.what;
        EXPECT_FALSE(os::FileExists(c.path.c_str())) << c.what;
        if (c.createError) {
            os::Handle h = nullptr;
            EXPECT_EQ(c.createError, os::CreateNewFile(c.path.c_str(), &h)) << c.what;
        }
    }
}

TEST(Files, DirectoriesAreNotFiles) {
    std::string dir = Scratch("sub");
    EXPECT_EQ(0u, os::MakeDirectory(dir.c_str()));
    EXPECT_EQ(os::kErrAlreadyExists, os::MakeDirectory(dir.c_str()));
    EXPECT_TRUE(os::DirectoryExists(dir.c_str()));
    EXPECT_FALSE(os::FileExists(dir.c_str()));
    EXPECT_EQ(os::kErrAccessDenied, os::RemoveFile(dir.c_str()));
    std::string data;
    EXPECT_EQ(os::kErrAccessDenied, os::ReadWholeFile(dir.c_str(), data));
}

TEST(Files, CanReadFileOnlyForReadableFiles) {
    std::string path = MakeFile(Scratch("readable.txt"), "x");
    EXPECT_TRUE(os::CanReadFile(path.c_str()));
    EXPECT_FALSE(os::CanReadFile(Scratch("absent-too.txt").c_str()));
    EXPECT_FALSE(os::CanReadFile(ScratchDir().c_str()));  // a folder
    // A file kept open for writing by its creator can still be read.
    os::Handle h = nullptr;
    std::string open = Scratch("open.txt");
    ASSERT_EQ(0u, os::CreateNewFile(open.c_str(), &h));
    EXPECT_TRUE(os::CanReadFile(open.c_str()));
    os::CloseHandle(h);
}

TEST(Files, RemoveFile) {
    std::string path = MakeFile(Scratch("gone.txt"), "x");
    EXPECT_EQ(0u, os::RemoveFile(path.c_str()));
    EXPECT_FALSE(os::FileExists(path.c_str()));
    EXPECT_EQ(os::kErrFileNotFound, os::RemoveFile(path.c_str()));
}

TEST(Files, RelativePathsFollowTheCurrentDirectory) {
    std::string saved;
    ASSERT_EQ(0u, os::CurrentDirectory(saved));
    std::string dir = Scratch("cwd");
    os::MakeDirectory(dir.c_str());
    MakeFile(dir + "\\rel.txt", "rel");
    ASSERT_EQ(0u, os::ChangeDirectory(dir.c_str()));
    std::string data;
    EXPECT_EQ(0u, os::ReadWholeFile("rel.txt", data));
    EXPECT_EQ("rel", data);
    EXPECT_EQ(0u, os::ReadWholeFile(".\\..\\cwd\\rel.txt", data));
    EXPECT_EQ(os::kErrFileNotFound, os::ChangeDirectory(Scratch("nowhere").c_str()));
    ASSERT_EQ(0u, os::ChangeDirectory(saved.c_str()));
}

TEST(Files, CloseHandleIgnoresNull) { os::CloseHandle(nullptr); }

}  // namespace

namespace {

struct IniCase {
    const char* section;
    const char* key;
    size_t size;
    const char* expected;
};

TEST(Files, ReadProfileStringFollowsTheIniRules) {
    std::string path = MakeFile(Scratch("Autorun.inf"),
                                "[autorun]\r\nopen=Setup.exe\r\n[INFOMATION]\r\n"
                                "VERSION = \"3.20\" \r\nNAME =  Sample Printer  \r\n");
    const IniCase cases[] = {
        {"INFOMATION", "VERSION", 260, "3.20"},
        {"infomation", "version", 260, "3.20"},
        {"INFOMATION", "NAME", 260, "Sample Printer"},
        {"INFOMATION", "NAME", 7, "Sample"},  // cut to the buffer
        {"INFOMATION", "MISSING", 260, "dflt"},
        {"NOSECTION", "VERSION", 260, "dflt"},
    };
    for (const IniCase& c : cases) {
        std::string value;
        size_t n = os::ReadProfileString(c.section, c.key, "dflt", value, c.size, path.c_str());
        EXPECT_EQ(c.expected, value) << c.section << "/" << c.key;
        EXPECT_EQ(value.size(), n) << c.key;
    }
    std::string value;
    os::ReadProfileString("INFOMATION", "VERSION", "", value, 260,
                          Scratch("no-such.inf").c_str());
    EXPECT_EQ("", value);
}

}  // namespace
