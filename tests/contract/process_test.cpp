// Threads, events and programs started through the shell: the same rows on
// the simulated machine and on Windows.
#include <atomic>
#include <string>

#include "contract/contract_env.h"
#include "platform/os.h"

#if !defined(_WIN32)
#include <sys/stat.h>

#include "platform/sim/machine.h"
#endif

namespace {

constexpr uint32_t kStartMask = os::kSeeMaskNoCloseProcess | os::kSeeMaskFlagNoUi;

// A program that ends with the exit code and writes its first argument to
// out.txt in its working directory: a shell script on the simulated
// machine, the command interpreter on Windows.
struct Program {
    std::string file;
    std::string parameters;  // for exit code 3, writing "hello"
};

#if !defined(_WIN32)
void WriteWinFile(const std::string& path, const std::string& text) {
    os::Handle f = nullptr;
    ASSERT_EQ(0u, os::CreateNewFile(path.c_str(), &f)) << path;
    size_t written = 0;
    EXPECT_EQ(0u, os::WriteFile(f, text.data(), text.size(), &written));
    os::CloseHandle(f);
}
#endif

Program ExitThreeProgram() {
#if defined(_WIN32)
    return {"cmd.exe", "/c echo hello> out.txt& exit 3"};
#else
    std::string path = contract::ScratchDir() + contract::UniqueName("exit3") + ".exe";
    WriteWinFile(path, "#!/bin/sh\necho \"$1\" > out.txt\nexit 3\n");
    sim::Process* p = sim::CurrentProcess();
    std::string host;
    EXPECT_EQ(0u, p->machine->ToHostPath(path, p->currentDir, host));
    ::chmod(host.c_str(), 0755);
    return {path, "hello"};
#endif
}

uint32_t Answer(void* context) {
    auto* event = static_cast<os::Handle*>(context);
    return os::WaitEvent(*event, 5000) == 0 ? 7 : 9;
}

TEST(ProcessThreads, AThreadRunsItsFunctionAndAnswersItsCode) {
    os::Handle event = nullptr;
    ASSERT_EQ(0u, os::CreateEventObject(true, false, &event));
    os::Handle thread = nullptr;
    ASSERT_EQ(0u, os::StartThread(Answer, &event, &thread));
    ASSERT_NE(nullptr, thread);
    // Held by the event until it is set.
    EXPECT_EQ(static_cast<uint32_t>(os::kWaitTimeout), os::WaitThread(thread, 50));
    EXPECT_EQ(0u, os::SetEventObject(event));
    uint32_t code = 0;
    EXPECT_EQ(0u, os::WaitThread(thread, 5000, &code));
    EXPECT_EQ(7u, code);
    os::CloseThread(thread);
    os::CloseEvent(event);
}

TEST(ProcessEvents, ResetModesAndTimeouts) {
    struct Row {
        const char* what;
        bool manual, initial, setAgain, reset;
        uint32_t first, second;
    };
    const uint32_t kT = os::kWaitTimeout;
    const Row rows[] = {
        {"auto, set at start: one wait passes", false, true, false, false, 0, kT},
        {"manual, set at start: every wait passes", true, true, false, false, 0, 0},
        {"manual, reset: waits time out", true, true, false, true, kT, kT},
        {"auto, not set", false, false, false, false, kT, kT},
        {"auto, set later", false, false, true, false, 0, kT},
    };
    for (const Row& r : rows) {
        os::Handle e = nullptr;
        ASSERT_EQ(0u, os::CreateEventObject(r.manual, r.initial, &e)) << r.what;
        if (r.setAgain) {
            EXPECT_EQ(0u, os::SetEventObject(e));
        }
        if (r.reset) {
            EXPECT_EQ(0u, os::ResetEventObject(e));
        }
        EXPECT_EQ(r.first, os::WaitEvent(e, 20)) << r.what;
        EXPECT_EQ(r.second, os::WaitEvent(e, 20)) << r.what;
        os::CloseEvent(e);
    }
}

TEST(ProcessEvents, ASetFromAnotherThreadWakesTheWaiter) {
    os::Handle e = nullptr;
    ASSERT_EQ(0u, os::CreateEventObject(false, false, &e));
    os::Handle thread = nullptr;
    ASSERT_EQ(0u, os::StartThread([](void* p) { return os::SetEventObject(*static_cast<os::Handle*>(p)); },
                                  &e, &thread));
    EXPECT_EQ(0u, os::WaitEvent(e, os::kWaitInfinite));
    EXPECT_EQ(0u, os::WaitThread(thread, 5000));
    os::CloseThread(thread);
    os::CloseEvent(e);
}

TEST(ProcessShell, AStartedProgramIsWaitedForWithItsExitCode) {
    const Program program = ExitThreeProgram();
    const std::string dir = contract::ScratchDir() + contract::UniqueName("work");
    ASSERT_EQ(0u, os::MakeDirectory(dir.c_str()));
    os::ShellExecuteRequest r;
    r.mask = kStartMask;
    r.verb = "open";
    r.file = program.file.c_str();
    r.parameters = program.parameters.c_str();
    r.directory = dir.c_str();
    os::Handle process = nullptr;
    ASSERT_EQ(0u, os::ShellExecuteProgram(r, &process));
    ASSERT_NE(nullptr, process);
    EXPECT_EQ(0u, os::WaitProcess(process, 20000));
    uint32_t code = 0;
    EXPECT_EQ(0u, os::ProcessExitCode(process, &code));
    EXPECT_EQ(3u, code);
    os::CloseProcess(process);
    // The parameters and the working directory reached the program.
    std::string out;
    EXPECT_EQ(0u, os::ReadWholeFile((dir + "\\out.txt").c_str(), out));
    EXPECT_EQ(0u, out.find("hello"));
}

TEST(ProcessShell, AMissingProgramFailsWithoutAProcess) {
    const std::string missing = contract::ScratchDir() + contract::UniqueName("none") + ".exe";
    os::ShellExecuteRequest r;
    r.mask = kStartMask;
    r.verb = "open";
    r.file = missing.c_str();
    os::Handle process = reinterpret_cast<os::Handle>(1);
    EXPECT_EQ(static_cast<uint32_t>(os::kErrFileNotFound), os::ShellExecuteProgram(r, &process));
    EXPECT_EQ(nullptr, process);
    uint32_t lastError = 0;
    EXPECT_EQ(2u, os::ShellOpen(nullptr, "open", missing.c_str(), nullptr, nullptr,
                                os::kSwShowNormal, &lastError));
}

TEST(ProcessShell, TheExecuteRecordHasTheTargetsOwnSize) {
    // The 32-bit product's record is 60 bytes; the shell refuses others.
#if defined(_WIN32)
    EXPECT_EQ(sizeof(void*) == 8 ? 112u : 60u, os::ShellExecuteRecordSize());
#else
    EXPECT_EQ(60u, os::ShellExecuteRecordSize());
#endif
}

}  // namespace
