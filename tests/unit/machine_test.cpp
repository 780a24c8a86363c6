#include <sys/wait.h>
#include <unistd.h>

#include "platform/os.h"
#include "platform/ui.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;
using testsupport::WithKey;

TEST(Machine, AnEmptyFolderBecomesTheDefaultMachine) {
    SimMachine m;
    const sim::Machine& mc = m.machine();
    EXPECT_EQ(2u, mc.version().platformId);
    EXPECT_EQ(5u, mc.version().majorVersion);
    EXPECT_EQ(1u, mc.version().minorVersion);
    EXPECT_EQ(2600u, mc.version().buildNumber);
    EXPECT_EQ("Service Pack 2", mc.version().csdVersion);
    EXPECT_FALSE(mc.is64Bit());
    EXPECT_EQ(0x0409, mc.systemLanguage());
    EXPECT_TRUE(mc.administrator());
    ASSERT_EQ(1u, mc.drives().count('C'));
    EXPECT_EQ(sim::DriveKind::Fixed, mc.drives().at('C').kind);
    EXPECT_EQ(20480u, mc.drives().at('C').freeMb);
    EXPECT_EQ(m.folder() + "/drive_c", mc.drives().at('C').hostPath);
    EXPECT_FALSE(testsupport::ReadHost(m.folder() + "/machine.ini").empty());
    // Seeded: the folders every Windows has and the values the engine reads.
    EXPECT_TRUE(os::DirectoryExists("C:\\WINDOWS\\system32"));
    EXPECT_TRUE(os::DirectoryExists("c:\\program files"));
    std::string temp;
    os::TempDirectory(temp);
    EXPECT_TRUE(os::DirectoryExists(temp.c_str()));
    std::string dir;
    EXPECT_EQ(0u, m.machine().registry().QueryString(
                      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", dir));
    EXPECT_EQ("C:\\Program Files", dir);
    EXPECT_EQ(0u, m.machine().registry().QueryString(
                      "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion", dir));
    EXPECT_EQ("5.1", dir);
}

TEST(Machine, AnExistingMachineIsUsedAsItStands) {
    std::string ini = sim::Machine::DefaultIni();
    ini = WithKey(ini, "Version", "Platform", "1");
    ini = WithKey(ini, "Version", "Major", "4");
    ini = WithKey(ini, "Version", "Minor", "10");
    ini = WithKey(ini, "Version", "Build", "2222");
    ini = WithKey(ini, "Version", "ServicePack", "\" A \"");
    ini = WithKey(ini, "Machine", "SystemLanguage", "0x0407");
    ini = WithKey(ini, "Drives", "E", "cdrom, media, 0");
    SimMachine m(ini);
    os::VersionInfo v;
    ASSERT_TRUE(os::GetVersionInfo(&v, false));
    EXPECT_EQ(1u, v.platformId);
    EXPECT_EQ(4u, v.majorVersion);
    EXPECT_EQ(10u, v.minorVersion);
    EXPECT_EQ(0x040A08AEu, v.buildNumber);  // 9x: version in the high word
    EXPECT_EQ(" A ", v.csdVersion);
    EXPECT_FALSE(os::GetVersionInfo(&v, true));  // no extended record before NT 4 SP6
    EXPECT_EQ(0x0407, m.machine().systemLanguage());
    ASSERT_EQ(1u, m.machine().drives().count('E'));
    EXPECT_TRUE(m.machine().drives().at('E').ReadOnly());
    std::string number;
    EXPECT_EQ(0u, m.machine().registry().QueryString(
                      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "VersionNumber", number));
    EXPECT_EQ("4.10.2222", number);
}

TEST(Machine, AFolderWithoutMachineIniIsRefused) {
    char tmpl[] = "/tmp/sim-notmachine-XXXXXX";
    std::string dir = ::mkdtemp(tmpl);
    testsupport::WriteHost(dir + "/other.txt", "x");
    std::unique_ptr<sim::Machine> m;
    std::string error;
    EXPECT_NE(0u, sim::Machine::Open(dir, m, &error));
    EXPECT_NE(std::string::npos, error.find("machine.ini"));
    EXPECT_EQ(0, std::system(("rm -rf '" + dir + "'").c_str()));
}

struct PathCase {
    const char* win;
    const char* cwd;
    uint32_t error;
    const char* hostSuffix;  // below the machine folder
};

TEST(Machine, WindowsPathsResolveToHostFolders) {
    SimMachine m;
    ::mkdir((m.folder() + "/drive_c/Data").c_str(), 0755);
    testsupport::WriteHost(m.folder() + "/drive_c/Data/File.TXT", "x");
    const PathCase cases[] = {
        {"C:\\data\\file.txt", "C:\\", 0, "/drive_c/Data/File.TXT"},
        {"c:/DATA/FILE.txt", "C:\\", 0, "/drive_c/Data/File.TXT"},
        {"file.txt", "C:\\Data", 0, "/drive_c/Data/File.TXT"},
        {"..\\data\\.\\file.txt", "C:\\Data", 0, "/drive_c/Data/File.TXT"},
        {"\\Data\\New.txt", "C:\\Data", 0, "/drive_c/Data/New.txt"},
        {"C:New.txt", "C:\\Data", 0, "/drive_c/Data/New.txt"},
        {"C:\\data\\missing\\x.txt", "C:\\", 0, "/drive_c/Data/missing/x.txt"},
        {"C:\\..\\..\\Data", "C:\\", 0, "/drive_c/Data"},  // never above the drive
        {"Q:\\x.txt", "C:\\", os::kErrPathNotFound, nullptr},
        {"C:\\a|b.txt", "C:\\", os::kErrInvalidName, nullptr},
        {"\\\\server\\share\\x", "C:\\", 53, nullptr},
    };
    for (const PathCase& c : cases) {
        std::string host;
        EXPECT_EQ(c.error, m.machine().ToHostPath(c.win, c.cwd, host)) << c.win;
        if (c.hostSuffix) {
            EXPECT_EQ(m.folder() + c.hostSuffix, host) << c.win;
        }
    }
}

TEST(Machine, TheCdRomIsReadOnly) {
    SimMachine m;
    testsupport::WriteHost(m.package() + "/Setup.dat", "[A]\r\n");
    std::string data;
    EXPECT_EQ(0u, os::ReadWholeFile("D:\\SETUP.DAT", data));
    os::Handle h = nullptr;
    EXPECT_EQ(os::kErrWriteProtect, os::CreateNewFile("D:\\new.txt", &h));
    EXPECT_EQ(os::kErrFileExists, os::CreateNewFile("D:\\Setup.dat", &h));
    EXPECT_EQ(os::kErrWriteProtect, os::MakeDirectory("D:\\dir"));
}

TEST(Machine, JournalKeepsOneLinePerEvent) {
    SimMachine m;
    m.machine().Journal("browser opened: http://example.invalid/");
    m.machine().Journal("test page printed");
    EXPECT_EQ("browser opened: http://example.invalid/\ntest page printed\n",
              testsupport::ReadHost(m.folder() + "/journal.log"));
}

// Runs fn in a child process on its own connection to the same machine.
template <typename Fn>
pid_t Child(const std::string& folder, int readyFd, int goFd, Fn fn) {
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    std::unique_ptr<sim::Machine> machine;
    sim::Machine::Open(folder, machine);
    sim::Process p;
    p.machine = machine.get();
    sim::SetCurrentProcess(&p);
    int code = fn(readyFd, goFd);
    ::_exit(code);
}

void Signal(int fd) {
    char c = 1;
    EXPECT_EQ(1, ::write(fd, &c, 1));
}
void Await(int fd) {
    char c;
    EXPECT_EQ(1, ::read(fd, &c, 1));
}

TEST(Machine, AMutexDiesWithItsProcess) {
    SimMachine m;
    int ready[2], go[2];
    ASSERT_EQ(0, ::pipe(ready));
    ASSERT_EQ(0, ::pipe(go));
    pid_t pid = Child(m.folder(), ready[1], go[0], [](int readyFd, int goFd) {
        os::Handle h = nullptr;
        if (os::CreateNamedMutex("Sample Installer Program", &h) != 0) return 1;
        Signal(readyFd);
        Await(goFd);
        return 0;  // ends without closing the handle
    });
    Await(ready[0]);
    os::Handle h = nullptr;
    EXPECT_EQ(os::kErrAlreadyExists, os::CreateNamedMutex("Sample Installer Program", &h));
    os::CloseHandle(h);
    Signal(go[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ(0u, os::CreateNamedMutex("Sample Installer Program", &h));
    os::CloseHandle(h);
}

class QuitOnPost : public ui::IWindowHandler {
public:
    intptr_t OnMessage(ui::HWnd, uint32_t msg, uintptr_t wParam, intptr_t, bool& handled) override {
        if (msg != ui::kWmUser + 1026) return 0;
        handled = true;
        ui::PostQuit(static_cast<int>(wParam));
        return 0;
    }
};

TEST(Machine, AnotherProcessFindsAWindowAndPostsToIt) {
    SimMachine m;
    int ready[2], go[2];
    ASSERT_EQ(0, ::pipe(ready));
    ASSERT_EQ(0, ::pipe(go));
    pid_t pid = Child(m.folder(), ready[1], go[0], [](int readyFd, int) {
        ui::RegisterWindowClass("Sample Installer Program");
        QuitOnPost handler;
        ui::HWnd w = ui::CreateFrameWindow("Sample Installer Program", "Sample", 0, 0, ui::Rect{},
                                           &handler);
        if (!w) return 100;
        Signal(readyFd);
        return ui::RunMessageLoop(nullptr, nullptr);
    });
    Await(ready[0]);
    ui::HWnd other = ui::FindTopLevelWindow("sample installer PROGRAM");
    ASSERT_NE(nullptr, other);
    EXPECT_TRUE(ui::Post(other, ui::kWmUser + 1026, 42, 0));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(42, WEXITSTATUS(status));
    // Its window went with it.
    EXPECT_FALSE(ui::IsWindowHandle(other));
    EXPECT_EQ(nullptr, ui::FindTopLevelWindow("Sample Installer Program"));
    Signal(go[1]);
}

}  // namespace
