// The copy and delete engine on a simulated machine: copy and delete
// sections, busy targets (read-only, in use) on the NT family and on
// Windows 9x, the history it records, and what a restart then does.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "command/copy_file.h"
#include "command/registry.h"
#include "platform/os.h"
#include "platform/sim/files_sim.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;
using testsupport::WriteHost;

const char kHistory[] = "Software\\Veltrix\\Installing\\InstHistory";

std::string Windows9xIni() {
    std::string ini = WithKey(sim::Machine::DefaultIni(), "Version", "Platform", "1");
    ini = WithKey(ini, "Version", "Major", "4");
    return WithKey(ini, "Version", "Minor", "10");
}

// A machine, an application whose command profile is D:\vxinst.cmd, and
// helpers for the drives' files.
class CopyFileTest : public ::testing::Test {
protected:
    explicit CopyFileTest(const std::string& ini = std::string()) : m(ini) {
        CGlobalVar& g = app.global();
        g.registryKeys.installingHistory = kHistory;
        g.target.osDefine = "WINXP";
        g.language.abbreviation = "EN";
    }

    void Command(const std::string& text) {
        WriteHost(m.package() + "/vxinst.cmd", text);
        ASSERT_TRUE(app.global().profiles.command.Create("D:\\vxinst.cmd", nullptr, nullptr,
                                                         false));
    }
    void Put(const std::string& winPath, const std::string& text) {
        std::string host = m.Host(winPath);
        for (size_t i = 1; i < host.size(); ++i)
            if (host[i] == '/') ::mkdir(host.substr(0, i).c_str(), 0755);
        WriteHost(host, text);
    }
    std::string Text(const std::string& winPath) {
        std::string data;
        return os::ReadWholeFile(winPath.c_str(), data) == 0 ? data : "<missing>";
    }
    bool Exists(const std::string& winPath) {
        return os::FileExists(winPath.c_str()) || os::DirectoryExists(winPath.c_str());
    }
    std::vector<std::string> History(const char* count, const char* entry) {
        uint32_t n = 0;
        CRegistry::GetValue(kHistory, count, &n, os::kHKLM);
        std::vector<std::string> list;
        for (uint32_t i = 0; i < n; ++i) {
            std::string text;
            CRegistry::GetValue(kHistory, (entry + std::to_string(i)).c_str(), text, os::kHKLM);
            list.push_back(text);
        }
        return list;
    }
    uint32_t Attributes(const std::string& winPath) {
        uint32_t a = 0;
        os::GetAttributes(winPath.c_str(), &a);
        return a;
    }

    SimMachine m;
    CInstallerApp app;
};

class CopyFile9xTest : public CopyFileTest {
protected:
    CopyFile9xTest() : CopyFileTest(Windows9xIni()) {}
};

TEST_F(CopyFileTest, CopySectionLinesCopyWhatTheySayAndRecordWhenAsked) {
    Put("D:\\src\\a.txt", "A");
    Put("D:\\src\\b.txt", "B");
    Put("D:\\src\\tree\\top.txt", "top");
    Put("D:\\src\\tree\\sub\\deep.txt", "deep");
    Put("C:\\Same.txt", "same");
    Command(
        "[COPY]\r\n"
        "SUPPORTED_OS = WINXP, WIN2000\r\n"
        "FILE = D:\\src\\a.txt, C:\\App\\Sub\\a.txt\r\n"
        "file = \"D:\\src\\b.txt\" ,, \t C:\\App\\b.txt , 0\r\n"
        "FILE = C:\\Same.txt, c:\\SAME.TXT\r\n"
        "DIRECTORY = D:\\src\\tree, C:\\Flat, 0, 0\r\n"
        "DIRECTORY = D:\\src\\tree\\, C:\\Deep\\, 1, 0\r\n"
        "OTHER = D:\\src\\a.txt, C:\\Other.txt\r\n");
    ASSERT_TRUE(CopyFileSection("COPY"));

    struct Row {
        const char* path;
        const char* text;
    } rows[] = {
        {"C:\\App\\Sub\\a.txt", "A"},        {"C:\\App\\b.txt", "B"},
        {"C:\\Same.txt", "same"},            {"C:\\Flat\\top.txt", "top"},
        {"C:\\Flat\\sub\\deep.txt", "<missing>"}, {"C:\\Deep\\top.txt", "top"},
        {"C:\\Deep\\sub\\deep.txt", "deep"}, {"C:\\Other.txt", "<missing>"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.text, Text(r.path)) << r.path;
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\Sub\\a.txt"}), History("NumOfFiles", "File"));
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\", "C:\\App\\Sub\\"}),
              History("NumOfDirs", "Dir"));
}

TEST_F(CopyFileTest, SectionsAnswerFalseOnlyForNoNameOrNoSection) {
    Command("[EMPTY]\r\n[ELSEWHERE]\r\nSUPPORTED_OS = WIN98\r\nFILE = D:\\a, C:\\a\r\n");
    struct Row {
        const char* section;
        bool copy;
    } rows[] = {{"", false}, {"MISSING", false}, {"EMPTY", true}, {"ELSEWHERE", true}};
    for (const Row& r : rows) {
        EXPECT_EQ(r.copy, CopyFileSection(r.section)) << r.section;
        EXPECT_EQ(r.copy, DeleteFileSection(r.section)) << r.section;
    }
}

TEST_F(CopyFileTest, SectionAppliesByItsSystemAndLanguageLists) {
    struct Row {
        const char* keys;
        bool applies;
    } rows[] = {
        {"", true},
        {"SUPPORTED_OS = WIN2000, winxp \r\n", true},
        {"SUPPORTED_OS = WIN2000\r\n", false},
        {"UNSUPPORTED_OS = WIN98,WINXP\r\n", false},
        {"UNSUPPORTED_OS = WIN98\r\n", true},
        {"SUPPORTED_LANG = FR, en\r\n", true},
        {"SUPPORTED_LANG = FR\r\n", false},
        {"UNSUPPORTED_LANG = EN\r\n", false},
        {"SUPPORTED_OS = WINXP\r\nUNSUPPORTED_LANG = EN\r\n", false},
    };
    std::string text;
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        text += "[S" + std::to_string(i) + "]\r\n" + rows[i].keys + "FILE = a, b\r\n";
    Command(text);
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].applies, IsSectionForThisSystem(("S" + std::to_string(i)).c_str()))
            << rows[i].keys;
}

TEST_F(CopyFileTest, ReadOnlyDestinationIsOverwrittenAndEndsNormal) {
    Put("D:\\new.txt", "new");
    Put("C:\\App\\old.txt", "old");
    ASSERT_EQ(0u, os::SetAttributes("C:\\App\\old.txt", os::kAttrReadOnly));
    EXPECT_TRUE(CCopyFile::CopyFileEntry("D:\\new.txt", "C:\\App\\old.txt", false));
    EXPECT_EQ("new", Text("C:\\App\\old.txt"));
    EXPECT_EQ(0u, Attributes("C:\\App\\old.txt") & os::kAttrReadOnly);
    // A copy from the CD-ROM, read-only there, is writable too.
    EXPECT_TRUE(CCopyFile::CopyFileEntry("D:\\new.txt", "C:\\App\\fresh.txt", false));
    EXPECT_EQ(0u, Attributes("C:\\App\\fresh.txt") & os::kAttrReadOnly);
}

TEST_F(CopyFileTest, InUseDestinationIsReplacedNowAndTheOldFileGoesAtRestart) {
    Put("D:\\drv.dll", "new");
    Put("C:\\Sys\\drv.dll", "old");
    sim::SetFileInUse(m.machine(), "c:\\sys\\DRV.DLL", true);
    EXPECT_EQ(os::kErrSharingViolation, os::CopyOneFile("D:\\drv.dll", "C:\\Sys\\drv.dll", false));
    EXPECT_TRUE(CCopyFile::CopyFileEntry("D:\\drv.dll", "C:\\Sys\\drv.dll", true));
    EXPECT_EQ("new", Text("C:\\Sys\\drv.dll"));
    EXPECT_EQ((std::vector<std::string>{"C:\\Sys\\drv.dll"}), History("NumOfFiles", "File"));

    std::vector<sim::RestartOperation> ops = sim::PendingRestartOperations(m.machine());
    ASSERT_EQ(1u, ops.size());
    EXPECT_TRUE(ops[0].destination.empty());
    EXPECT_EQ("old", Text(ops[0].source));  // moved aside, still held
    EXPECT_TRUE(sim::FileInUse(m.machine(), ops[0].source));
    EXPECT_FALSE(sim::FileInUse(m.machine(), "C:\\Sys\\drv.dll"));

    std::vector<std::string> done = sim::RunRestart(m.machine());
    EXPECT_EQ((std::vector<std::string>{"deleted " + ops[0].source}), done);
    EXPECT_FALSE(Exists(ops[0].source));
    EXPECT_TRUE(sim::PendingRestartOperations(m.machine()).empty());
    EXPECT_EQ("new", Text("C:\\Sys\\drv.dll"));
}

TEST_F(CopyFile9xTest, InUseDestinationIsReplacedAtTheNextStartThroughWininit) {
    Put("D:\\drv.dll", "new");
    Put("C:\\WINDOWS\\SYSTEM\\drv.dll", "old");
    app.global().dirs.windowsDir = "C:\\WINDOWS";
    sim::SetFileInUse(m.machine(), "C:\\WINDOWS\\SYSTEM\\drv.dll", true);
    EXPECT_EQ(os::kErrCallNotImplemented,
              os::MoveOneFile("C:\\WINDOWS\\SYSTEM\\drv.dll", "C:\\x", os::kMoveReplaceExisting));
    EXPECT_TRUE(CCopyFile::CopyFileEntry("D:\\drv.dll", "C:\\WINDOWS\\SYSTEM\\drv.dll", true));
    EXPECT_EQ("old", Text("C:\\WINDOWS\\SYSTEM\\drv.dll"));
    std::string staged;
    os::ReadProfileString("rename", "C:\\WINDOWS\\SYSTEM\\drv.dll", "", staged, 260,
                          "C:\\WINDOWS\\wininit.ini");
    ASSERT_FALSE(staged.empty());
    EXPECT_EQ("new", Text(staged));
    EXPECT_EQ((std::vector<std::string>{"C:\\WINDOWS\\SYSTEM\\drv.dll"}),
              History("NumOfFiles", "File"));

    sim::RunRestart(m.machine());
    EXPECT_EQ("new", Text("C:\\WINDOWS\\SYSTEM\\drv.dll"));
    EXPECT_FALSE(Exists(staged));
    EXPECT_FALSE(Exists("C:\\WINDOWS\\wininit.ini"));
    EXPECT_TRUE(Exists("C:\\WINDOWS\\wininit.bak"));
}

TEST_F(CopyFileTest, CopyThatCannotBeDoneEvenAtRestartFailsAndIsNotRecorded) {
    Put("C:\\src.txt", "x");
    Put("D:\\cd.txt", "on the CD");
    struct Row {
        const char* source;
        const char* destination;
    } rows[] = {
        {"C:\\src.txt", "D:\\cd.txt"},         // a read-only medium
        {"C:\\missing.txt", "C:\\dest.txt"},   // no source
        {"C:\\src.txt", "Q:\\nowhere\\x.txt"}, // no such drive
        {"", "C:\\dest.txt"},
        {"C:\\src.txt", ""},
    };
    for (const Row& r : rows)
        EXPECT_FALSE(CCopyFile::CopyFileEntry(r.source, r.destination, true)) << r.destination;
    EXPECT_EQ("on the CD", Text("D:\\cd.txt"));
    EXPECT_TRUE(History("NumOfFiles", "File").empty());
    EXPECT_TRUE(sim::PendingRestartOperations(m.machine()).empty());
}

TEST_F(CopyFileTest, DeleteSectionRemovesFilesAndFoldersWithTheirEmptyParents) {
    Put("C:\\A\\B\\C\\one.txt", "1");
    Put("C:\\A\\B\\C\\D\\two.txt", "2");
    Put("C:\\Keep\\B\\C\\x.txt", "x");
    Put("C:\\Keep\\stay.txt", "stay");
    Put("C:\\Ro.txt", "ro");
    Put("C:\\busy.dll", "busy");
    os::SetAttributes("C:\\Ro.txt", os::kAttrReadOnly);
    sim::SetFileInUse(m.machine(), "C:\\busy.dll", true);
    Command(
        "[DEL]\r\n"
        "DIRECTORY = C:\\A\\B\\C\r\n"
        "DIRECTORY = C:\\Keep\\B\\C\\\r\n"
        "FILES = \"C:\\Ro.txt\"\r\n"
        "FILE = C:\\busy.dll\r\n"
        "FILE = C:\\absent.txt\r\n"
        "OTHER = C:\\Keep\\stay.txt\r\n");
    ASSERT_TRUE(DeleteFileSection("DEL"));
    struct Row {
        const char* path;
        bool exists;
    } rows[] = {
        {"C:\\A\\B\\C", false}, {"C:\\A\\B", false},         {"C:\\A", false},
        {"C:\\Keep\\B", false}, {"C:\\Keep\\stay.txt", true}, {"C:\\Ro.txt", false},
        {"C:\\busy.dll", false}, {"C:\\", true},
    };
    for (const Row& r : rows) EXPECT_EQ(r.exists, Exists(r.path)) << r.path;
    std::vector<sim::RestartOperation> ops = sim::PendingRestartOperations(m.machine());
    ASSERT_EQ(1u, ops.size());
    EXPECT_EQ("busy", Text(ops[0].source));
    sim::RunRestart(m.machine());
    EXPECT_FALSE(Exists(ops[0].source));
}

TEST_F(CopyFileTest, DeleteOfAnInUseFileFailsWhenItCannotBeScheduled) {
    std::string ini = WithKey(sim::Machine::DefaultIni(), "Machine", "Administrator", "0");
    SimMachine user(ini);  // the current process now runs on this machine
    std::string host;
    ASSERT_EQ(0u, user.machine().ToHostPath("C:\\busy.dll", "C:\\", host));
    WriteHost(host, "busy");
    sim::SetFileInUse(user.machine(), "C:\\busy.dll", true);
    EXPECT_FALSE(CCopyFile::DeleteOneFile("C:\\busy.dll"));
    EXPECT_TRUE(os::FileExists("C:\\busy.dll"));
    EXPECT_FALSE(CCopyFile::DeleteDirectoryTree("", true));
}

TEST_F(CopyFileTest, CopyListComesFromTheRecordsAndCopyAllCopiesIt) {
    const std::string key = "Software\\Veltrix\\Installing\\CopyFiles";
    Put("D:\\docs\\a.txt", "a");
    Put("D:\\docs\\sub\\b.txt", "b");
    Put("D:\\tool.exe", "tool");
    struct Record {
        const char* name;
        const char* src;
        const char* dest;
        uint32_t subDir;
        uint32_t record;
    } records[] = {
        {"1Docs", "D:\\docs\\", "C:\\App\\Docs", 1, 1},
        {"2Flat", "D:\\docs", "C:\\App\\Flat", 0, 0},
        {"3Tool", "D:\\tool.exe", "C:\\App\\tool.exe", 0, 0},
        {"4Gone", "D:\\gone.exe", "C:\\App\\gone.exe", 0, 0},
    };
    for (const Record& r : records) {
        std::string sub = key + "\\" + r.name;
        CRegistry::SetValue(sub.c_str(), "Src", r.src, os::kHKLM);
        CRegistry::SetValue(sub.c_str(), "Dest", r.dest, os::kHKLM);
        CRegistry::SetValue(sub.c_str(), "Description", r.name, os::kHKLM);
        CRegistry::SetValue(sub.c_str(), "CopySubDir", r.subDir, os::kHKLM);
        CRegistry::SetValue(sub.c_str(), "Delete", r.record, os::kHKLM);
    }
    CCopyFile list(key);
    ASSERT_TRUE(list.LoadCopyList());
    std::vector<std::string> got;
    for (const COPY_FILE_DATA& e : list.Entries())
        got.push_back(e.source + ">" + e.destination + ":" + e.description + ":" +
                      std::to_string(e.record));
    EXPECT_EQ((std::vector<std::string>{
                  "D:\\docs\\a.txt>C:\\App\\Docs\\a.txt:1Docs:1",
                  "D:\\docs\\sub\\b.txt>C:\\App\\Docs\\sub\\b.txt:1Docs:1",
                  "D:\\docs\\a.txt>C:\\App\\Flat\\a.txt:2Flat:0",
                  "D:\\tool.exe>C:\\App\\tool.exe:3Tool:0",
              }),
              got);

    EXPECT_TRUE(list.CopyAll(key.c_str()));
    EXPECT_EQ("b", Text("C:\\App\\Docs\\sub\\b.txt"));
    EXPECT_EQ("tool", Text("C:\\App\\tool.exe"));
    EXPECT_EQ((std::vector<std::string>{"C:\\App\\Docs\\a.txt", "C:\\App\\Docs\\sub\\b.txt"}),
              History("NumOfFiles", "File"));

    CCopyFile missing;
    EXPECT_FALSE(missing.CopyAll("Software\\Veltrix\\NoSuchKey"));
}

TEST_F(CopyFileTest, BadLinesDoNotBreakTheLoops) {
    Put("D:\\a.txt", "a");
    std::string commas(50, ',');
    std::string longPath = "C:\\" + std::string(300, 'x') + "\\a.txt";
    Command("[COPY]\r\nFILE = D:\\a.txt" + commas + "C:\\ok.txt" + commas + "\r\n" +
            "FILE\r\nFILE = \r\nFILE = D:\\a.txt\r\nDIRECTORY = ,,,\r\n" + "FILE = D:\\a.txt, " +
            longPath + "\r\n");
    EXPECT_TRUE(CopyFileSection("COPY"));
    EXPECT_EQ("a", Text("C:\\ok.txt"));
}

TEST(FilesInUse, MachineIniMarksFilesUntilTheNextRestart) {
    SimMachine m(sim::Machine::DefaultIni() +
                 "[FilesInUse]\r\nC:\\Locked.dll = 1\r\nC:\\Free.dll = 0\r\n");
    for (const char* name : {"/Locked.dll", "/Free.dll"})
        WriteHost(m.Host("C:\\") + name, "x");
    EXPECT_TRUE(sim::FileInUse(m.machine(), "c:\\LOCKED.DLL"));
    EXPECT_EQ(os::kErrAccessDenied, os::RemoveFile("C:\\Locked.dll"));
    EXPECT_EQ(0u, os::RemoveFile("C:\\Free.dll"));
    sim::RunRestart(m.machine());
    EXPECT_FALSE(sim::FileInUse(m.machine(), "C:\\Locked.dll"));
    EXPECT_EQ(0u, os::RemoveFile("C:\\Locked.dll"));
}

}  // namespace
