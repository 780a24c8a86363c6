// Throughput of the copy engine's folder tree copy on a simulated machine,
// next to `cp -r` of the same host folder.
//
// The tree: BENCH_COPY_FILES files (2 000 unless set) holding BENCH_COPY_MB
// megabytes in all (200 unless set), 100 files a folder, under C:\bench\src.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "command/copy_file.h"
#include "platform/sim/machine.h"

namespace {

const char kHistory[] = "Software\\Veltrix\\Installing\\InstHistory";
constexpr int kFilesPerFolder = 100;

int64_t EnvNumber(const char* name, int64_t fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long long n = std::strtoll(text, &end, 10);
    return (end && *end == '\0' && n > 0) ? static_cast<int64_t>(n) : fallback;
}

// A simulated machine with the source tree on C: and an application whose
// command profile is C:\bench\vxinst.cmd.
class CopyBench {
public:
    CopyBench() {
        char tmpl[] = "/tmp/bench-copy-XXXXXX";
        if (!::mkdtemp(tmpl)) return;
        root_ = tmpl;
        if (sim::Machine::Open(root_ + "/machine", machine_) != 0) return;
        process_.machine = machine_.get();
        process_.exePath = "C:\\bench\\Setup.exe";
        process_.currentDir = "C:\\";
        sim::SetCurrentProcess(&process_);
        app_ = std::make_unique<CInstallerApp>();
        CGlobalVar& g = app_->global();
        g.registryKeys.installingHistory = kHistory;
        g.target.osDefine = "WINXP";
        g.language.abbreviation = "EN";

        bench_ = Host("C:\\bench");
        ::mkdir(bench_.c_str(), 0755);
        if (!MakeTree(bench_ + "/src")) return;
        std::ofstream(bench_ + "/vxinst.cmd", std::ios::binary)
            << "[COPY]\r\nDIRECTORY = C:\\bench\\src, C:\\bench\\dst, 1, 0\r\n";
        ok_ = g.profiles.command.Create("C:\\bench\\vxinst.cmd", nullptr, nullptr, false);
    }
    ~CopyBench() {
        app_.reset();
        sim::SetCurrentProcess(nullptr);
        machine_.reset();
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    bool ok() const { return ok_; }
    int64_t bytes() const { return bytes_; }
    int64_t files() const { return files_; }
    // Host folders of the tree and of the destination.
    std::string source() const { return bench_ + "/src"; }
    std::string destination() const { return bench_ + "/dst"; }
    void RemoveDestination() const {
        std::error_code ignored;
        std::filesystem::remove_all(destination(), ignored);
    }

private:
    std::string Host(const char* winPath) {
        std::string host;
        machine_->ToHostPath(winPath, "C:\\", host);
        return host;
    }
    bool MakeTree(const std::string& top) {
        files_ = EnvNumber("BENCH_COPY_FILES", 2000);
        const int64_t total = EnvNumber("BENCH_COPY_MB", 200) * 1024 * 1024;
        const int64_t each = total / files_;
        std::vector<char> data(static_cast<size_t>(each));
        uint32_t seed = 0x9e3779b9u;
        for (char& c : data) {
            seed = seed * 1664525u + 1013904223u;
            c = static_cast<char>(seed >> 24);
        }
        if (::mkdir(top.c_str(), 0755) != 0) return false;
        for (int64_t i = 0; i < files_; ++i) {
            const std::string folder = top + "/Folder" + std::to_string(i / kFilesPerFolder);
            if (i % kFilesPerFolder == 0 && ::mkdir(folder.c_str(), 0755) != 0) return false;
            // Each file differs in its first bytes.
            std::copy_n(reinterpret_cast<const char*>(&i), std::min<size_t>(sizeof i, data.size()),
                        data.begin());
            std::ofstream out(folder + "/file" + std::to_string(i) + ".dat", std::ios::binary);
            out.write(data.data(), static_cast<std::streamsize>(data.size()));
            if (!out) return false;
            bytes_ += each;
        }
        return true;
    }

    std::string root_, bench_;
    std::unique_ptr<sim::Machine> machine_;
    sim::Process process_;
    std::unique_ptr<CInstallerApp> app_;
    int64_t bytes_ = 0, files_ = 0;
    bool ok_ = false;
};

CopyBench& Bench() {
    static CopyBench bench;
    return bench;
}

void Finish(benchmark::State& state, const CopyBench& bench) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bench.bytes());
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * bench.files());
    state.SetLabel(std::to_string(bench.files()) + " files, " +
                   std::to_string(bench.bytes() / (1024 * 1024)) + " MB");
}

// The copy section's DIRECTORY line, with subfolders, not recorded.
void BM_EngineCopyTree(benchmark::State& state) {
    CopyBench& bench = Bench();
    if (!bench.ok()) {
        state.SkipWithError("no simulated machine or tree");
        return;
    }
    bench.RemoveDestination();
    for (auto _ : state) {
        if (!CopyFileSection("COPY")) {
            state.SkipWithError("copy section failed");
            break;
        }
        state.PauseTiming();
        bench.RemoveDestination();
        state.ResumeTiming();
    }
    Finish(state, bench);
}
BENCHMARK(BM_EngineCopyTree)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Wall-clock time for both: cp works in a child process.
void BM_CpRecursive(benchmark::State& state) {
    CopyBench& bench = Bench();
    if (!bench.ok()) {
        state.SkipWithError("no simulated machine or tree");
        return;
    }
    bench.RemoveDestination();
    const std::string command = "cp -r '" + bench.source() + "' '" + bench.destination() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("cp -r failed");
            break;
        }
        state.PauseTiming();
        bench.RemoveDestination();
        state.ResumeTiming();
    }
    Finish(state, bench);
}
BENCHMARK(BM_CpRecursive)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
