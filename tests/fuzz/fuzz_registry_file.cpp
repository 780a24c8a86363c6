// Loads arbitrary bytes as a registry text file into a simulated machine,
// then checks that the registry it leaves holds together. The machine is
// made once and emptied after every input.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "command/registry.h"
#include "platform/sim/machine.h"

namespace {

#define CHECK(cond)                                                         \
    do {                                                                    \
        if (!(cond)) {                                                      \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                   \
        }                                                                   \
    } while (0)

const char* const kRoots[] = {"HKLM", "HKCU", "HKCR", "HKCC"};

struct Machine {
    Machine() {
        // In memory when the host has a memory file system: every value is a commit.
        char shm[] = "/dev/shm/fuzz-registry-XXXXXX";
        char tmp[] = "/tmp/fuzz-registry-XXXXXX";
        const char* made = ::mkdtemp(shm);
        if (!made) made = ::mkdtemp(tmp);
        CHECK(made != nullptr);
        folder = made;
        CHECK(sim::Machine::Open(folder, machine) == 0);
        process.machine = machine.get();
        sim::SetCurrentProcess(&process);
    }
    ~Machine() {
        sim::SetCurrentProcess(nullptr);
        machine.reset();
        if (std::system(("rm -rf '" + folder + "'").c_str()) != 0) std::fprintf(stderr, "left %s\n", folder.c_str());
    }
    static Machine& Get() {
        static Machine m;
        return m;
    }
    std::string folder;
    std::unique_ptr<sim::Machine> machine;
    sim::Process process;
};

// Every key the platform's enumeration reaches (to a depth that keeps runs
// quick) can be opened and counted, and lists as many subkeys as it counts.
size_t Walk(os::RegKey root, const std::string& path, int depth) {
    os::RegKey key = nullptr;
    CHECK(os::OpenRegKey(root, path.c_str(), os::kKeyRead, &key) == 0);
    uint32_t subKeys = 0, values = 0;
    CHECK(os::QueryRegKeyCounts(key, &subKeys, &values) == 0);
    std::vector<std::string> names;
    char name[256];
    for (uint32_t i = 0;; ++i) {
        uint32_t size = sizeof name;
        const uint32_t rc = os::EnumRegKey(key, i, name, &size);
        if (rc == os::kErrNoMoreItems) break;
        CHECK(rc == 0);
        names.push_back(name);
    }
    CHECK(names.size() == subKeys);
    os::CloseRegKey(key);
    size_t keys = 1;
    for (const std::string& n : names)
        if (depth < 12) keys += Walk(root, path.empty() ? n : path + "\\" + n, depth + 1);
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Machine& m = Machine::Get();
    const uint32_t rc = CRegistry::LoadFromText(reinterpret_cast<const char*>(data), size);
    // A line answers 0, 13 for an unknown type, or what the registry said.
    CHECK(rc == 0 || rc == 13 || rc == os::kErrInvalidParameter || rc == os::kErrMoreData ||
          rc == os::kErrBadPathname || rc == os::kErrInvalidHandle);
    for (os::RegKey root : {os::kHKLM, os::kHKCU, os::kHKCR, os::kHKCC}) Walk(root, "", 0);

    sim::RegistryStore& store = m.machine->registry();
    for (const char* root : kRoots) {
        std::vector<std::string> names;
        CHECK(store.EnumKeys(root, names) == 0);
        for (const std::string& n : names) CHECK(store.DeleteTree(std::string(root) + "\\" + n) == 0);
    }
    return 0;
}
