// Runs the contract suites on this build's backend. Natively they get a
// simulated machine of their own, removed afterwards.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/sim/machine.h"
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
#if defined(_WIN32)
    return RUN_ALL_TESTS();
#else
    char tmpl[] = "/tmp/contract-machine-XXXXXX";
    if (!::mkdtemp(tmpl)) return 2;
    int rc;
    {
        std::unique_ptr<sim::Machine> machine;
        std::string error;
        if (sim::Machine::Open(tmpl, machine, &error) != 0) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        sim::Process process;
        process.machine = machine.get();
        process.exePath = "C:\\Tools\\contract_tests.exe";
        process.currentDir = "C:\\";
        sim::SetCurrentProcess(&process);
        rc = RUN_ALL_TESTS();
        sim::SetCurrentProcess(nullptr);
    }
    std::string cmd = std::string("rm -rf '") + tmpl + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", tmpl);
    return rc;
#endif
}
