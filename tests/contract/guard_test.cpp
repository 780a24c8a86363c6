// Libraries loaded at run time and guarded calls into them, with the faulty
// test library and the sample utility library built for this target (next
// to this program).
#include <atomic>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "companion_api.h"
#include "contract/contract_env.h"
#include "platform/os.h"
#include "sys/api_function.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "platform/sim/machine.h"
#endif

namespace {

// Windows path of a library built next to this program. On the simulated
// machine the build folder is mounted as drive T: for that.
std::string Companion(const char* name) {
#if defined(_WIN32)
    std::string exe;
    os::ExecutablePath(exe);
    return exe.substr(0, exe.rfind('\\') + 1) + name;
#else
    static const bool mounted = [] {
        char exe[PATH_MAX] = {};
        ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
        std::string dir(exe, n > 0 ? static_cast<size_t>(n) : 0);
        sim::CurrentProcess()->machine->Mount('T', sim::DriveKind::CdRom,
                                              dir.substr(0, dir.rfind('/')));
        return true;
    }();
    (void)mounted;
    return std::string("T:\\") + name;
#endif
}

// The faulty library: GetDiskFreeSpaceVX(mode) misbehaves as the mode says
// and answers 7 otherwise.
class Faulty {
public:
    Faulty() {
        EXPECT_EQ(0u, os::OpenLibrary(Companion("Faulty.dll").c_str(), &library_));
        call_ = reinterpret_cast<PFN_GetDiskFreeSpaceVX>(
            os::LibraryEntry(library_, "GetDiskFreeSpaceVX"));
        EXPECT_NE(nullptr, call_);
    }
    ~Faulty() { os::CloseLibrary(library_); }

    // Guarded; false when the call faulted.
    bool Call(const char* mode, uint32_t* result) {
        struct Args {
            PFN_GetDiskFreeSpaceVX fn;
            const char* mode;
            uint32_t* result;
        } args{call_, mode, result};
        return os::CallGuarded([](void* p) {
            Args* a = static_cast<Args*>(p);
            *a->result = a->fn(a->mode);
        }, &args);
    }

private:
    os::Library library_ = nullptr;
    PFN_GetDiskFreeSpaceVX call_ = nullptr;
};

TEST(Guard, AFaultInsideTheLibraryEndsOnlyThatCall) {
    Faulty faulty;
    for (const char* mode : {"null", "divide", "throw", "trap"}) {
        uint32_t result = 99;
        EXPECT_FALSE(faulty.Call(mode, &result)) << mode;
        EXPECT_EQ(99u, result) << mode;
        // The next call works normally.
        EXPECT_TRUE(faulty.Call("ok", &result)) << "after " << mode;
        EXPECT_EQ(7u, result) << "after " << mode;
    }
}

TEST(Guard, TheCallersOwnExceptionsAndNestedCalls) {
    int ran = 0;
    auto normal = [&] { ++ran; };
    EXPECT_TRUE(os::CallGuardedFn(normal));
    EXPECT_EQ(1, ran);
    auto throwsInt = [] { throw 42; };
    EXPECT_FALSE(os::CallGuardedFn(throwsInt));
    auto throwsBadAlloc = [] { throw std::bad_alloc(); };
    EXPECT_FALSE(os::CallGuardedFn(throwsBadAlloc));

    // A fault inside an inner guarded call leaves the outer one running.
    Faulty faulty;
    bool innerOk = true;
    uint32_t result = 0;
    auto outer = [&] {
        innerOk = faulty.Call("null", &result);
        faulty.Call("ok", &result);
    };
    EXPECT_TRUE(os::CallGuardedFn(outer));
    EXPECT_FALSE(innerOk);
    EXPECT_EQ(7u, result);
    EXPECT_FALSE(os::CallGuarded(nullptr, nullptr));
}

// Several threads fault and call normally at the same time.
struct ThreadWork {
    Faulty* faulty;
    std::atomic<int>* wrong;
};

void FaultRepeatedly(ThreadWork* work) {
    const char* modes[] = {"null", "ok", "divide", "ok", "throw", "ok"};
    for (int i = 0; i < 60; ++i) {
        const char* mode = modes[i % 6];
        uint32_t result = 0;
        bool ok = work->faulty->Call(mode, &result);
        bool expected = std::strcmp(mode, "ok") == 0;
        if (ok != expected || (ok && result != 7)) ++*work->wrong;
    }
}

#if defined(_WIN32)
DWORD WINAPI FaultThread(void* p) {
    FaultRepeatedly(static_cast<ThreadWork*>(p));
    return 0;
}
#endif

TEST(Guard, ThreadsFaultAtTheSameTime) {
    Faulty faulty;
    std::atomic<int> wrong{0};
    ThreadWork work{&faulty, &wrong};
    const int kThreads = 4;
#if defined(_WIN32)
    HANDLE threads[kThreads];
    for (HANDLE& t : threads) {
        t = CreateThread(nullptr, 0, FaultThread, &work, 0, nullptr);
        ASSERT_NE(nullptr, t);
    }
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE t : threads) CloseHandle(t);
#else
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) threads.emplace_back(FaultRepeatedly, &work);
    for (std::thread& t : threads) t.join();
#endif
    EXPECT_EQ(0, wrong.load());
}

#if defined(_WIN32)
// A mingw i686 library's C++ exception that nothing in it catches ends in
// abort(); inside a guarded call that is a fault too.
TEST(Guard, AbortInsideTheLibraryIsAFault) {
    Faulty faulty;
    uint32_t result = 99;
    EXPECT_FALSE(faulty.Call("abort", &result));
    EXPECT_TRUE(faulty.Call("ok", &result));
    EXPECT_EQ(7u, result);
}
#else
TEST(Guard, TheProcessHandlersAreBackAfterTheCall) {
    struct sigaction before {}, after {};
    stack_t stackBefore {}, stackAfter {};
    ::sigaction(SIGSEGV, nullptr, &before);
    ::sigaltstack(nullptr, &stackBefore);
    Faulty faulty;
    uint32_t result = 0;
    faulty.Call("null", &result);
    ::sigaction(SIGSEGV, nullptr, &after);
    ::sigaltstack(nullptr, &stackAfter);
    EXPECT_EQ(reinterpret_cast<void*>(before.sa_sigaction),
              reinterpret_cast<void*>(after.sa_sigaction));
    EXPECT_EQ(stackBefore.ss_sp, stackAfter.ss_sp);
    EXPECT_EQ(stackBefore.ss_flags, stackAfter.ss_flags);
}
#endif

TEST(GuardedLibrary, LoadsLooksUpByExactNameAndFrees) {
    os::Library library = nullptr;
    ASSERT_EQ(0u, os::OpenLibrary(Companion("Faulty.dll").c_str(), &library));
    ASSERT_NE(nullptr, library);
    // Undecorated names, also for the 32-bit calling convention.
    EXPECT_NE(nullptr, os::LibraryEntry(library, "GetDevicePort"));
    EXPECT_NE(nullptr, os::LibraryEntry(library, "MySetNetworkPortEx"));
    EXPECT_EQ(nullptr, os::LibraryEntry(library, "getdeviceport"));
    EXPECT_EQ(nullptr, os::LibraryEntry(library, "NoSuchEntry"));
    os::CloseLibrary(library);
    os::CloseLibrary(nullptr);
}

TEST(GuardedLibrary, ALibraryThatCannotLoad) {
    const std::string text = contract::ScratchDir() + "Text.dll";
    os::Handle file = nullptr;
    ASSERT_EQ(0u, os::CreateNewFile(text.c_str(), &file));
    size_t written = 0;
    os::WriteFile(file, "not a library", 13, &written);
    os::CloseHandle(file);
    struct Case {
        std::string path;
        uint32_t error;
    } cases[] = {
        {contract::ScratchDir() + "Missing.dll", os::kErrModNotFound},
        {text, 193},  // not a valid library
        {"NoSuchSystemLibrary.dll", os::kErrModNotFound},
        {contract::ScratchDir() + "NoDir\\Missing.dll", os::kErrModNotFound},
        {"Q:\\Missing.dll", os::kErrModNotFound},  // no such drive
        {"", os::kErrModNotFound},  // what an installer file that is missing resolves to
    };
    for (const Case& c : cases) {
        os::Library library = reinterpret_cast<os::Library>(1);
        EXPECT_EQ(c.error, os::OpenLibrary(c.path.c_str(), &library)) << c.path;
        EXPECT_EQ(nullptr, library) << c.path;
    }
    os::RemoveFile(text.c_str());
}

TEST(GuardedLibrary, SystemLibrariesByBareName) {
    os::Library kernel = nullptr;
    ASSERT_EQ(0u, os::OpenLibrary("Kernel32.dll", &kernel));
    EXPECT_NE(nullptr, os::LibraryEntry(kernel, "GetDiskFreeSpaceExA"));
    EXPECT_EQ(nullptr, os::LibraryEntry(kernel, "NoSuchFunction"));
    os::CloseLibrary(kernel);

    CAPIFunction api;
    EXPECT_TRUE(api.Load());
    EXPECT_TRUE(api.HasLibrary(CAPIFunction::kSetupApi));
    EXPECT_EQ(0u, api.CMP_WaitNoPendingInstallEvents(0));  // nothing pending
}

TEST(GuardedLibrary, TheUtilityLibraryReportsDevicesAndFreeSpace) {
    os::Library library = nullptr;
    ASSERT_EQ(0u, os::OpenLibrary(Companion("Vxutil.dll").c_str(), &library));
    auto getDevicePort =
        reinterpret_cast<PFN_GetDevicePort>(os::LibraryEntry(library, "GetDevicePort"));
    auto getFreeSpace =
        reinterpret_cast<PFN_GetDiskFreeSpaceVX>(os::LibraryEntry(library, "GetDiskFreeSpaceVX"));
    ASSERT_NE(nullptr, getDevicePort);
    ASSERT_NE(nullptr, getFreeSpace);

    // No printer of this model is attached here.
    char port[COMPANION_PORT_TEXT] = "unchanged";
    int32_t count = -5;
    EXPECT_EQ(1, getDevicePort("Veltrix", "LP-100", "VID_1A2B&PID_0C01", port, &count));
    EXPECT_EQ(0, count);
    EXPECT_STREQ("", port);
    EXPECT_EQ(0, getDevicePort("Veltrix", "LP-100", "", nullptr, &count));

    EXPECT_GT(getFreeSpace(""), 0u);
    EXPECT_EQ(0u, getFreeSpace("Q:\\"));
    os::CloseLibrary(library);
}

}  // namespace
