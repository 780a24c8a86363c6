// Starting programs, documents, addresses, folders and manuals through the
// shell; a started program is waited for by a worker thread.
#include "command/launch.h"

#include <new>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/messages.h"
#include "sys/external_fnt.h"
#include "sys/utl.h"

namespace {

// Return a process handle, wait for a DDE conversation, no system dialog
// on a failed start (it would block a run nobody watches).
constexpr uint32_t kLaunchMask = os::kSeeMaskNoCloseProcess | os::kSeeMaskFlagDdeWait |
                                 os::kSeeMaskUnicode | os::kSeeMaskFlagNoUi;

std::string Expand(const std::string& text) {
    CGlobalVar* g = GetGlobalVar();
    return g ? g->ExpandMacros(text) : text;
}

std::string Resolve(const std::string& path, bool checkExists) {
    CGlobalVar* g = GetGlobalVar();
    return g ? g->ResolvePath(path, checkExists) : std::string();
}

void LogLine(const char* text) {
    if (CLog* log = GetLog()) log->Log("%s", text);
}

// The folder a program starts in: its own, after trimming blanks, tabs and
// quotes around the path.
std::string WorkingDirectory(const std::string& program) {
    const char* trim = " \t\"";
    size_t b = program.find_first_not_of(trim);
    if (b == std::string::npos) return std::string();
    size_t e = program.find_last_not_of(trim);
    std::string p = program.substr(b, e - b + 1);
    size_t slash = p.rfind('\\');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

uint32_t Execute(ui::HWnd owner, const std::string& file, const std::string& parameters,
                 const char* directory, os::Handle* process) {
    os::ShellExecuteRequest r;
    r.owner = owner;
    r.mask = kLaunchMask;
    r.verb = "open";
    r.file = file.c_str();
    r.parameters = parameters.c_str();
    r.directory = directory;
    r.show = os::kSwShowNormal;
    return os::ShellExecuteProgram(r, process);
}

// A failed ShellExecuteA start as the log tells it.
void LogOpenFailure(uintptr_t result, const char* what) {
    if (result == 0) {
        LogLine("The system is out of memory or resources.\r\n");
    } else if (result == 31) {
        LogLine("There is no association for the specified file type.\r\n");
    } else if (CLog* log = GetLog()) {
        log->LogError(static_cast<uint32_t>(result), "%s", what);
    }
}

uint32_t WaitThreadBody(void* p) {
    LaunchWaitContext ctx = *static_cast<LaunchWaitContext*>(p);
    delete static_cast<LaunchWaitContext*>(p);
    os::WaitProcess(ctx.process, os::kWaitInfinite);
    os::CloseProcess(ctx.process);
    // Posted, not sent: the wizard enables its windows on its own thread.
    if (ctx.window && ui::IsWindowHandle(ctx.window))
        ui::Post(ctx.window, WM_USER_END_WAIT, ctx.bringToFront ? 1 : 0, 0);
    return 1;
}

void DisableForWait(ui::HWnd window, ui::HWnd background) {
    if (window) ui::EnableWindowHandle(window, false);
    if (background) ui::EnableWindowHandle(background, false);
}

}  // namespace

bool StartWaitThread(const LaunchWaitContext& context) {
    auto* copy = new (std::nothrow) LaunchWaitContext(context);
    os::Handle thread = nullptr;
    if (!copy || os::StartThread(WaitThreadBody, copy, &thread) != 0) {
        delete copy;
        os::CloseProcess(context.process);
        return false;
    }
    os::CloseThread(thread);
    return true;
}

os::Handle LaunchProgram(const std::string& program, const std::string& arguments) {
    const std::string path = Resolve(Expand(program), true);
    const std::string args = Expand(arguments);
    if (path.empty()) return nullptr;  // the resolver logged the missing file
    const std::string dir = WorkingDirectory(path);
    os::Handle process = nullptr;
    uint32_t err = Execute(GetMainWindow(), path, args, dir.c_str(), &process);
    if (err != 0) {
        ShowSystemError(err, path.c_str());
        return nullptr;
    }
    return process;
}

bool StartProgram(const std::string& program, const std::string& arguments, bool wait,
                  bool bringToFront, ui::HWnd background) {
    os::Handle process = LaunchProgram(program, arguments);
    if (!process) return false;
    if (!wait) {
        os::CloseProcess(process);
        return true;
    }
    // The wizard's window; none in a silent run, where nobody is held.
    ui::HWnd wizard = GetMainWindow();
    DisableForWait(wizard, background);
    LaunchWaitContext ctx;
    ctx.window = wizard;
    ctx.process = process;
    ctx.bringToFront = bringToFront;
    if (!StartWaitThread(ctx)) EndWait(wizard, background, 0);
    return true;
}

void EndWait(ui::HWnd wizard, ui::HWnd background, uintptr_t wParam) {
    if (wizard) ui::EnableWindowHandle(wizard, true);
    if (background) ui::EnableWindowHandle(background, true);
    if (wizard && wParam) ui::BringToFront(wizard);
}

bool OpenDocument(const std::string& document) {
    const std::string path = Resolve(document, true);
    if (path.empty()) return false;
    uint32_t lastError = 0;
    uintptr_t r = os::ShellOpen(GetMainWindow(), "open", path.c_str(), nullptr, nullptr,
                                os::kSwShowNormal, &lastError);
    if (r <= 32) ShowSystemError(lastError, path.c_str());
    return true;
}

bool OpenAddress(const std::string& address) {
    ui::HWnd owner = GetMainWindow();
    uint32_t lastError = 0;
    uintptr_t r = os::ShellOpen(owner, "open", "IEXPLORE.EXE", address.c_str(), nullptr,
                                os::kSwShowNormal, &lastError);
    if (r > 32) return true;
    LogOpenFailure(r, "Open IEXPLORE.EXE");
    r = os::ShellOpen(owner, "open", address.c_str(), nullptr, nullptr, os::kSwShowNormal,
                      &lastError);
    if (r > 32) return true;
    LogOpenFailure(r, "Open");
    return false;
}

bool OpenFolder(const std::string& folder) {
    std::string path = Resolve(Expand(folder), false);
    if (path.empty() || path.back() != '\\') path += '\\';
    if (CLog* log = GetLog()) log->Log("Open Browse : %s", path.c_str());
    uint32_t lastError = 0;
    uintptr_t r = os::ShellOpen(GetMainWindow(), "open", path.c_str(), nullptr, nullptr,
                                os::kSwShowNormal, &lastError);
    if (r <= 32) ShowSystemError(lastError, "");
    return true;
}

bool OpenManual(const std::string& manual, const std::string& extra, ui::HWnd background) {
    const std::string path = Resolve(Expand(manual), true);
    const std::string more = Expand(extra);
    if (path.empty()) return false;
    ui::HWnd owner = GetMainWindow();
    // The opener's command line as written: the paths are not quoted.
    const std::string line = "/T " + path + " " + more;
    CExternalFnt* fnt = GetExternalFnt();
    const std::string opener = fnt ? fnt->DocumentOpenerPath() : std::string();
    os::Handle process = nullptr;
    // A missing opener is a failed start: the shell would open the current
    // folder for an empty name.
    uint32_t err = opener.empty() ? static_cast<uint32_t>(os::kErrFileNotFound)
                                  : Execute(owner, opener, line, nullptr, &process);
    if (err == 0) {
        if (owner && process) {
            DisableForWait(owner, background);
            LaunchWaitContext ctx;
            ctx.window = owner;
            ctx.process = process;
            ctx.bringToFront = false;
            if (!StartWaitThread(ctx)) EndWait(owner, background, 0);
        } else {
            os::CloseProcess(process);
        }
        return true;
    }
    if (CLog* log = GetLog()) log->LogError(err, "Open Manual");
    process = nullptr;
    err = Execute(owner, path, std::string(), nullptr, &process);
    if (err == 0) {
        os::CloseProcess(process);
        return true;
    }
    ShowSystemError(err, path.c_str());
    return false;
}

bool HasLaunchTarget(const std::string& type, const std::string& p1) {
    if (type.empty() || p1.empty()) return true;
    std::string upper = type;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    static const char* const kLaunching[] = {
        "CT_EXE_FILE_NOWAIT", "CT_EXE_FILE_ACTIVE",  "CT_EXE_FILE_WAIT",
        "CT_EXE_AND_TERMINATE", "CT_RUNDLL",         "CT_RUNDLL_AND_TERMINATE",
        "CT_OPEN_FILE_NOWAIT",  "CT_OPEN_FILE_WAIT", "CT_OPEN_MANUAL"};
    for (const char* t : kLaunching)
        if (upper == t) return !Resolve(p1, true).empty();
    return true;
}
