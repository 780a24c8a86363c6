#include "contract/first_instance.h"

#include <chrono>
#include <thread>

#include "app/messages.h"
#include "platform/os.h"
#include "platform/ui.h"
#include "wizard/wizard.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "platform/sim/machine.h"
#endif

namespace contract {
namespace {

class Counter : public ui::IWindowHandler {
public:
    intptr_t OnMessage(ui::HWnd, uint32_t msg, uintptr_t, intptr_t, bool& handled) override {
        if (msg == WM_USER_ACTIVATE_INSTANCE) {
            handled = true;
            ++count;
        } else if (msg == kQuitWithCount) {
            handled = true;
            ui::PostQuit(count);
        }
        return 0;
    }
    int count = 0;
};

bool WaitForWindow(const std::string& cls, bool present) {
    for (int i = 0; i < 200; ++i) {
        if ((ui::FindTopLevelWindow(cls.c_str()) != nullptr) == present) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

int RunFirstInstance(const std::string& programName, const std::string& readyFile) {
    std::string name = InstanceName(programName);
    os::Handle mutex = nullptr;
    if (os::CreateNamedMutex(name.c_str(), &mutex) != 0) return 100;
    ui::RegisterWindowClass(name.c_str());
    Counter counter;
    ui::HWnd w = ui::CreateFrameWindow(name.c_str(), programName.c_str(), ui::kWsOverlapped, 0,
                                       ui::Rect{0, 0, 200, 100}, &counter);
    if (!w) return 101;
    if (!readyFile.empty()) {
        os::Handle ready = nullptr;
        os::CreateNewFile(readyFile.c_str(), &ready);
        os::CloseHandle(ready);
    }
    int count = ui::RunMessageLoop(nullptr, nullptr);
    ui::DestroyWindowHandle(w);
    os::CloseHandle(mutex);
    return count;
}

#if defined(_WIN32)

bool StartFirstInstance(const std::string& programName, FirstInstance* first) {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string dir(exe);
    dir = dir.substr(0, dir.find_last_of('\\'));
    std::string cmd = "\"" + dir + "\\first_instance.exe\" \"" + programName + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    first->process = pi.hProcess;
    first->pid = static_cast<long>(pi.dwProcessId);
    return WaitForWindow(InstanceName(programName), true);
}

int StopFirstInstance(const std::string& programName, FirstInstance* first) {
    ui::HWnd w = ui::FindTopLevelWindow(InstanceName(programName).c_str());
    if (!w || !ui::Post(w, kQuitWithCount, 0, 0)) return -1;
    HANDLE h = static_cast<HANDLE>(first->process);
    if (WaitForSingleObject(h, 20000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(h, &code);
    CloseHandle(h);
    first->process = nullptr;
    return static_cast<int>(code);
}

#else

bool StartFirstInstance(const std::string& programName, FirstInstance* first) {
    std::string folder = sim::CurrentProcess()->machine->folder();
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::alarm(60);  // never outlive a test that went wrong
        std::unique_ptr<sim::Machine> machine;
        if (sim::Machine::Open(folder, machine) != 0) ::_exit(102);
        sim::Process p;
        p.machine = machine.get();
        sim::SetCurrentProcess(&p);
        ::_exit(RunFirstInstance(programName));
    }
    first->pid = pid;
    return WaitForWindow(InstanceName(programName), true);
}

int StopFirstInstance(const std::string& programName, FirstInstance* first) {
    ui::HWnd w = ui::FindTopLevelWindow(InstanceName(programName).c_str());
    if (!w || !ui::Post(w, kQuitWithCount, 0, 0)) return -1;
    int status = 0;
    if (::waitpid(static_cast<pid_t>(first->pid), &status, 0) < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

#endif

}  // namespace contract
