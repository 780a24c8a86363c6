// setup-sim: runs D:\Setup.exe of a package on a simulated Windows machine
// and shows what the run logged.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/installer_app.h"
#include "platform/sim/files_sim.h"
#include "platform/sim/machine.h"
#include "profile/section_list.h"

namespace {

const char kUsage[] =
    "usage: setup-sim [--machine DIR] [--64] [--exe NAME] PACKAGE_DIR [Setup switches]\n"
    "  Runs D:\\Setup.exe of PACKAGE_DIR (mounted as the CD-ROM drive D:) on a\n"
    "  simulated Windows machine, then prints the run's log. A missing or empty\n"
    "  machine folder becomes the default machine (Windows XP SP2, English).\n"
    "  --64 runs the 64-bit product; --exe names the installer on the CD\n"
    "  (default Setup.exe).\n"
    "usage: setup-sim [--machine DIR] --restart\n"
    "  Restarts the simulated machine: carries out the replacements and\n"
    "  deletions scheduled for the next start and prints each one.\n";

std::string DefaultMachineFolder() {
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.setup-sim/machine";
}

std::string Absolute(const std::string& path) {
    char buf[4096];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

std::set<std::string> Logs(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".log") == 0) names.insert(n);
        }
        ::closedir(d);
    }
    return names;
}

// The simulated process: the installer itself.
int RunInstaller(const std::string& machineDir, const std::string& package,
                 const std::string& exePath, const std::string& commandLine, bool program64) {
    std::unique_ptr<sim::Machine> machine;
    std::string error;
    if (sim::Machine::Open(machineDir, machine, &error) != 0) {
        std::fprintf(stderr, "setup-sim: %s\n", error.c_str());
        return 1;
    }
    machine->Mount('D', sim::DriveKind::CdRom, package);
    sim::Process process;
    process.machine = machine.get();
    process.exePath = exePath;
    process.commandLine = commandLine;
    process.currentDir = "D:\\";
    process.program64 = program64;
    sim::SetCurrentProcess(&process);
    SetProfileCodePage(machine->codePage());
    int code;
    {
        CInstallerApp app;
        code = app.Run();
    }
    sim::SetCurrentProcess(nullptr);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    std::string machineDir = DefaultMachineFolder();
    bool program64 = false;
    std::string exeName = "Setup.exe";
    bool restart = false;
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--machine" && i + 1 < argc) {
            machineDir = argv[++i];
        } else if (a == "--exe" && i + 1 < argc) {
            exeName = argv[++i];
        } else if (a == "--64") {
            program64 = true;
        } else if (a == "--restart") {
            restart = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            break;
        }
    }
    if (restart) {
        std::unique_ptr<sim::Machine> machine;
        std::string error;
        if (sim::Machine::Open(machineDir, machine, &error) != 0) {
            std::fprintf(stderr, "setup-sim: %s\n", error.c_str());
            return 2;
        }
        std::vector<std::string> done = sim::RunRestart(*machine);
        std::printf("restart: %zu scheduled operations\n", done.size());
        for (const std::string& line : done) std::printf("%s\n", line.c_str());
        return 0;
    }
    if (i >= argc) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string package = Absolute(argv[i++]);
    if (::access(package.c_str(), R_OK | X_OK) != 0) {
        std::fprintf(stderr, "setup-sim: no package folder %s\n", package.c_str());
        return 2;
    }
    std::string exePath = "D:\\" + exeName;
    std::string commandLine = exePath;
    for (; i < argc; ++i) commandLine += std::string(" ") + argv[i];

    // Create or check the machine, and find its temporary folder.
    std::string tempHost;
    {
        std::unique_ptr<sim::Machine> machine;
        std::string error;
        if (sim::Machine::Open(machineDir, machine, &error) != 0) {
            std::fprintf(stderr, "setup-sim: %s\n", error.c_str());
            return 2;
        }
        machineDir = machine->folder();
        machine->ToHostPath(machine->directories().temp, "C:\\", tempHost);
    }
    std::set<std::string> before = Logs(tempHost);

    // The installer runs as a process of its own: its mutex and windows die
    // with it, and a crash is reported instead of taking us down.
    int pipefd[2];
    if (::pipe(pipefd) != 0) return 2;
    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child < 0) {
        std::perror("setup-sim: fork");
        return 2;
    }
    if (child == 0) {
        ::close(pipefd[0]);
        int code = RunInstaller(machineDir, package, exePath, commandLine, program64);
        // Exit codes such as 1603 do not fit a Linux exit status.
        ssize_t n = ::write(pipefd[1], &code, sizeof code);
        (void)n;
        std::fflush(nullptr);
        ::_exit(code & 0xFF);
    }
    ::close(pipefd[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    int code = 0;
    bool haveCode = ::read(pipefd[0], &code, sizeof code) == static_cast<ssize_t>(sizeof code);
    ::close(pipefd[0]);

    std::set<std::string> after = Logs(tempHost);
    for (const std::string& name : after) {
        if (before.count(name)) continue;
        std::string path = tempHost + "/" + name;
        std::printf("Log file: %s\n", path.c_str());
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string text = ss.str();
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    if (after == before) std::printf("The run wrote no log.\n");

    if (WIFSIGNALED(status)) {
        std::printf("setup-sim: the installer ended abnormally (signal %d)\n", WTERMSIG(status));
        return 128 + WTERMSIG(status);
    }
    if (!haveCode) code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    std::printf("Exit code: %d\n", code);
    return code & 0xFF;
}
