// Threads, events, the shell and processes on the simulated machine.
// Threads and events are real host ones. A program the package ships built
// for the host runs as a host process; every other shell action (a
// document, an address, a folder window, a Windows program) cannot happen
// here and goes to the machine's journal.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/os.h"
#include "platform/sim/machine.h"

namespace os {
namespace {

using Clock = std::chrono::steady_clock;

// Waits on cv until done() or the timeout; true when done.
template <typename Done>
bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t timeoutMs,
             Done done) {
    if (timeoutMs == kWaitInfinite) {
        cv.wait(lock, done);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

// --- threads

struct ThreadState {
    std::mutex lock;
    std::condition_variable cv;
    bool done = false;
    uint32_t code = 0;
};

struct ThreadHandle {
    std::shared_ptr<ThreadState> state;
};

// --- events

struct EventObject {
    std::mutex lock;
    std::condition_variable cv;
    bool manual = false;
    bool set = false;
};

// --- processes

struct ProcessObject {
    std::mutex lock;
    pid_t pid = -1;  // -1: nothing runs (a journalled start)
    bool ended = false;
    uint32_t code = 0;

    // Reaps the child when it ended; the caller holds lock.
    void Poll(bool block) {
        if (ended || pid < 0) {
            ended = true;
            return;
        }
        int status = 0;
        pid_t r;
        do r = ::waitpid(pid, &status, block ? 0 : WNOHANG);
        while (r < 0 && errno == EINTR);
        if (r == 0) return;
        ended = true;
        if (r < 0) return;
        if (WIFEXITED(status)) code = static_cast<uint32_t>(WEXITSTATUS(status));
        else code = 0xC0000005u;  // ended by a signal: as a crashed Windows program
    }
};

sim::Process* Proc() { return sim::ActiveProcess(); }

std::string Text(const char* s) { return s ? s : ""; }

bool HasBackslash(const std::string& s) { return s.find('\\') != std::string::npos; }

// "http:", "mailto:" ...: an address, not a path (a drive letter is one
// character).
bool IsAddress(const std::string& s) {
    size_t colon = s.find(':');
    if (colon == std::string::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        char c = s[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                  (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
        if (!ok) return false;
    }
    return true;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Extension(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    return Lower(path.substr(dot));
}

bool HostExists(const std::string& host, struct stat* st) { return ::stat(host.c_str(), st) == 0; }

// The registered path of a program the shell finds by name.
std::string AppPath(const std::string& name) {
    std::string sub = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + name;
    RegKey key = nullptr;
    if (OpenRegKey(kHKLM, sub.c_str(), kKeyRead, &key) != 0) return "";
    char buf[1024];
    uint32_t size = sizeof buf - 1, type = 0;
    std::string out;
    if (QueryRegValue(key, "", &type, buf, &size) == 0 && (type == kRegSz || type == kRegExpandSz)) {
        buf[size < sizeof buf ? size : sizeof buf - 1] = 0;
        out = buf;
    }
    CloseRegKey(key);
    return out;
}

struct Target {
    std::string winPath;
    std::string host;
    struct stat st {};
};

// Finds the file the shell would start: a path against the directory (the
// process's current one when none), a bare name also in the Windows and
// system folders and the registered program paths.
uint32_t FindTarget(sim::Process& p, const std::string& file, const std::string& directory,
                    Target& t) {
    const std::string base = directory.empty() ? p.currentDir : directory;
    std::vector<std::string> tries{file};
    if (!HasBackslash(file) && file.find(':') == std::string::npos) {
        tries.push_back(p.machine->directories().windows + "\\" + file);
        tries.push_back(p.machine->directories().system + "\\" + file);
        std::string registered = AppPath(file);
        if (!registered.empty()) tries.push_back(registered);
    }
    uint32_t first = kErrFileNotFound;
    for (size_t i = 0; i < tries.size(); ++i) {
        std::string host;
        uint32_t e = p.machine->ToHostPath(tries[i], base, host);
        if (e == 0 && HostExists(host, &t.st)) {
            t.winPath = tries[i];
            t.host = host;
            return 0;
        }
        if (i == 0 && e == 0) {
            size_t slash = host.rfind('/');
            struct stat dir {};
            if (slash != std::string::npos && slash > 0 &&
                !HostExists(host.substr(0, slash), &dir))
                first = kErrPathNotFound;
        } else if (i == 0) {
            first = e == kErrInvalidName ? e : static_cast<uint32_t>(kErrPathNotFound);
        }
    }
    return first;
}

// A host ELF binary or script the host can execute.
bool IsHostProgram(const Target& t) {
    if (!S_ISREG(t.st.st_mode) || ::access(t.host.c_str(), X_OK) != 0) return false;
    int fd = ::open(t.host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char magic[4] = {};
    ssize_t n = ::read(fd, magic, sizeof magic);
    ::close(fd);
    if (n >= 4 && magic[0] == 0x7f && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F')
        return true;
    return n >= 2 && magic[0] == '#' && magic[1] == '!';
}

// Splits a Windows command line the way the C runtime does: blanks separate,
// double quotes group, a backslash before a quote escapes it.
std::vector<std::string> SplitArguments(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        for (; i < line.size(); ++i) {
            char c = line[i];
            if (!quoted && (c == ' ' || c == '\t')) break;
            if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
                arg += '"';
                ++i;
            } else if (c == '"') {
                quoted = !quoted;
            } else {
                arg += c;
            }
        }
        args.push_back(arg);
    }
    return args;
}

uint32_t Spawn(const Target& t, const std::string& parameters, const std::string& hostDir,
               pid_t* pid) {
    std::vector<std::string> args = SplitArguments(parameters);
    args.insert(args.begin(), t.host);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return kErrNotEnoughMemory;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return kErrNotEnoughMemory;
    }
    if (child == 0) {
        // Only async-signal-safe calls until exec.
        int err = 0;
        if (!hostDir.empty() && ::chdir(hostDir.c_str()) != 0) err = errno;
        if (!err) {
            ::execv(t.host.c_str(), argv.data());
            err = errno;
        }
        ssize_t w = ::write(report[1], &err, sizeof err);
        (void)w;
        ::_exit(127);
    }
    ::close(report[1]);
    int err = 0;
    ssize_t n;
    do n = ::read(report[0], &err, sizeof err);
    while (n < 0 && errno == EINTR);
    ::close(report[0]);
    if (n == static_cast<ssize_t>(sizeof err)) {
        int status;
        ::waitpid(child, &status, 0);
        return sim::ErrnoToWin(err);
    }
    *pid = child;
    return 0;
}

void JournalShell(sim::Process& p, const std::string& verb, const std::string& file,
                  const std::string& parameters, const std::string& directory) {
    std::string line = "shell " + (verb.empty() ? std::string("open") : Lower(verb)) + ": " + file;
    if (!parameters.empty()) line += " | " + parameters;
    if (!directory.empty()) line += " | in " + directory;
    p.machine->Journal(line);
}

Handle EndedProcess() {
    auto* proc = new ProcessObject;
    proc->ended = true;
    return proc;
}

// The shell's work for both entry points; *process only when wanted.
uint32_t Execute(const ShellExecuteRequest& r, Handle* process) {
    sim::Process* p = Proc();
    if (!p) return kErrInvalidHandle;
    const std::string file = Text(r.file), params = Text(r.parameters), dir = Text(r.directory);
    const std::string verb = Text(r.verb);
    if (file.empty()) return kErrFileNotFound;
    if (IsAddress(file)) {
        JournalShell(*p, verb, file, params, dir);
        return 0;
    }
    Target t;
    if (uint32_t e = FindTarget(*p, file, dir, t)) return e;
    if (S_ISDIR(t.st.st_mode)) {
        JournalShell(*p, verb, t.winPath, params, dir);
        return 0;
    }
    const std::string ext = Extension(t.winPath);
    const bool program = ext == ".exe" || ext == ".com" || ext == ".bat" || ext == ".cmd";
    if ((program || ext.empty()) && IsHostProgram(t)) {
        // Without a directory the program starts in the caller's current one.
        std::string hostDir;
        if (p->machine->ToHostPath(dir.empty() ? p->currentDir : dir, p->currentDir, hostDir) != 0)
            return kErrPathNotFound;
        pid_t pid = -1;
        if (uint32_t e = Spawn(t, params, hostDir, &pid)) return e;
        auto* proc = new ProcessObject;
        proc->pid = pid;
        if (process) *process = proc;
        else CloseProcess(proc);
        return 0;
    }
    // A file without a kind has no program to open it.
    if (ext.empty()) return kErrNoAssociation;
    JournalShell(*p, verb, t.winPath, params, dir);
    if (process) *process = EndedProcess();
    return 0;
}

}  // namespace

uint32_t StartThread(ThreadProc fn, void* context, Handle* thread) {
    if (thread) *thread = nullptr;
    if (!fn || !thread) return kErrInvalidParameter;
    auto state = std::make_shared<ThreadState>();
    try {
        std::thread([state, fn, context] {
            uint32_t code = fn(context);
            std::lock_guard<std::mutex> g(state->lock);
            state->code = code;
            state->done = true;
            state->cv.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return kErrNotEnoughMemory;
    }
    *thread = new ThreadHandle{state};
    return 0;
}

uint32_t WaitThread(Handle thread, uint32_t timeoutMs, uint32_t* exitCode) {
    if (!thread) return kErrInvalidHandle;
    ThreadState& s = *static_cast<ThreadHandle*>(thread)->state;
    std::unique_lock<std::mutex> g(s.lock);
    if (!WaitFor(g, s.cv, timeoutMs, [&] { return s.done; })) return kWaitTimeout;
    if (exitCode) *exitCode = s.code;
    return 0;
}

void CloseThread(Handle thread) { delete static_cast<ThreadHandle*>(thread); }

uint32_t CreateEventObject(bool manualReset, bool initiallySet, Handle* event) {
    if (!event) return kErrInvalidParameter;
    auto* e = new EventObject;
    e->manual = manualReset;
    e->set = initiallySet;
    *event = e;
    return 0;
}

uint32_t SetEventObject(Handle event) {
    if (!event) return kErrInvalidHandle;
    auto* e = static_cast<EventObject*>(event);
    std::lock_guard<std::mutex> g(e->lock);
    e->set = true;
    e->cv.notify_all();
    return 0;
}

uint32_t ResetEventObject(Handle event) {
    if (!event) return kErrInvalidHandle;
    auto* e = static_cast<EventObject*>(event);
    std::lock_guard<std::mutex> g(e->lock);
    e->set = false;
    return 0;
}

uint32_t WaitEvent(Handle event, uint32_t timeoutMs) {
    if (!event) return kErrInvalidHandle;
    auto* e = static_cast<EventObject*>(event);
    std::unique_lock<std::mutex> g(e->lock);
    if (!WaitFor(g, e->cv, timeoutMs, [&] { return e->set; })) return kWaitTimeout;
    if (!e->manual) e->set = false;
    return 0;
}

void CloseEvent(Handle event) { delete static_cast<EventObject*>(event); }

size_t ShellExecuteRecordSize() {
    sim::Process* p = Proc();
    return p && p->program64 ? 112 : 60;
}

uint32_t ShellExecuteProgram(const ShellExecuteRequest& request, Handle* process) {
    if (process) *process = nullptr;
    const bool wantProcess = (request.mask & kSeeMaskNoCloseProcess) != 0;
    Handle proc = nullptr;
    uint32_t e = Execute(request, wantProcess ? &proc : nullptr);
    if (e == 0 && process) *process = proc;
    else if (proc) CloseProcess(proc);
    return e;
}

uintptr_t ShellOpen(void* owner, const char* verb, const char* file, const char* parameters,
                    const char* directory, int show, uint32_t* lastError) {
    ShellExecuteRequest r;
    r.owner = owner;
    r.verb = verb;
    r.file = file;
    r.parameters = parameters;
    r.directory = directory;
    r.show = show;
    uint32_t e = Execute(r, nullptr);
    if (lastError) *lastError = e;
    if (e == 0) return 42;
    if (e == kErrNoAssociation) return 31;
    if (e == kErrFileNotFound || e == kErrPathNotFound || e == kErrAccessDenied) return e;
    return e == kErrNotEnoughMemory ? 8 : 2;
}

uint32_t WaitProcess(Handle process, uint32_t timeoutMs) {
    if (!process) return kErrInvalidHandle;
    auto* proc = static_cast<ProcessObject*>(process);
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> g(proc->lock);
            proc->Poll(false);
            if (proc->ended) return 0;
        }
        if (timeoutMs != kWaitInfinite && Clock::now() >= until) return kWaitTimeout;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

uint32_t ProcessExitCode(Handle process, uint32_t* code) {
    if (!process || !code) return kErrInvalidParameter;
    auto* proc = static_cast<ProcessObject*>(process);
    std::lock_guard<std::mutex> g(proc->lock);
    proc->Poll(false);
    *code = proc->ended ? proc->code : static_cast<uint32_t>(kStillActive);
    return 0;
}

void CloseProcess(Handle process) {
    auto* proc = static_cast<ProcessObject*>(process);
    if (!proc) return;
    bool running;
    {
        std::lock_guard<std::mutex> g(proc->lock);
        proc->Poll(false);
        running = !proc->ended;
    }
    if (!running) {
        delete proc;
        return;
    }
    // The program goes on; its exit is collected so it leaves no zombie.
    std::thread([proc] {
        {
            std::lock_guard<std::mutex> g(proc->lock);
            proc->Poll(true);
        }
        delete proc;
    }).detach();
}

}  // namespace os
