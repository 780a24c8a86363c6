// The uninstall history on a simulated machine: a run's history appended
// entry by entry, merged into an installed history of the same size, and
// the result undone.
//
// BENCH_HISTORY_ENTRIES entries of each of the six kinds (10 000 unless
// set) in each history; the files, folders, keys, values and shortcuts
// they name exist on the machine before every iteration. The machine is
// made in TMPDIR (else /tmp).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "install/history.h"
#include "platform/sim/machine.h"
#include "platform/sim/registry_store.h"

namespace {

const char kInstalling[] = "Software\\Veltrix\\Bench\\Installing\\InstHistory";
const char kInstalled[] = "Software\\Veltrix\\Bench\\Installed\\InstHistory";

int64_t EnvNumber(const char* name, int64_t fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    long long n = std::strtoll(text, &end, 10);
    return (end && *end == '\0' && n > 0) ? static_cast<int64_t>(n) : fallback;
}

// Entry i of a kind: the Windows text the history holds.
std::string EntryText(HistoryKind kind, int64_t i) {
    const std::string n = std::to_string(i);
    switch (kind) {
    case HistoryKind::Value: return "HKEY_LOCAL_MACHINE\\Software\\BenchApp\\K" + n + "\\V";
    case HistoryKind::Key: return "HKEY_LOCAL_MACHINE\\Software\\BenchApp\\K" + n;
    case HistoryKind::File: return "C:\\Bench\\Files\\f" + n + ".dll";
    case HistoryKind::Directory: return "C:\\Bench\\Dirs\\d" + n + "\\";
    case HistoryKind::DestDirectory: return "C:\\Bench\\Dest\\p" + n;
    case HistoryKind::Shortcut: return "C:\\Bench\\Menu\\s" + n + "\\App.lnk";
    }
    return std::string();
}

const HistoryKind kKinds[] = {HistoryKind::Value,     HistoryKind::Key,
                              HistoryKind::File,      HistoryKind::Directory,
                              HistoryKind::DestDirectory, HistoryKind::Shortcut};

class HistoryBench {
public:
    HistoryBench() {
        entries_ = EnvNumber("BENCH_HISTORY_ENTRIES", 10000);
        // TMPDIR may name a memory file system: folders removed on a disk
        // with online discard cost the host milliseconds each.
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-history-XXXXXX";
        if (!::mkdtemp(&tmpl[0])) return;
        root_ = tmpl;
        if (sim::Machine::Open(root_ + "/machine", machine_) != 0) return;
        process_.machine = machine_.get();
        process_.exePath = "C:\\Bench\\Setup.exe";
        process_.currentDir = "C:\\";
        sim::SetCurrentProcess(&process_);
        app_ = std::make_unique<CInstallerApp>();
        app_->global().registryKeys.installingHistory = kInstalling;
        app_->global().registryKeys.installedHistory = kInstalled;
        ok_ = machine_->ToHostPath("C:\\", "C:\\", drive_) == 0;
    }
    ~HistoryBench() {
        app_.reset();
        sim::SetCurrentProcess(nullptr);
        machine_.reset();
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    bool ok() const { return ok_; }
    int64_t entries() const { return entries_; }

    // What both histories name, and the installed history's half, written
    // straight to the host folders and the store.
    bool Prepare() {
        const std::string bench = drive_ + "/Bench";
        for (const char* folder : {"", "/Files", "/Dirs", "/Dest", "/Menu"})
            ::mkdir((bench + folder).c_str(), 0755);
        sim::RegistryStore& store = machine_->registry();
        for (int64_t i = 0; i < 2 * entries_; ++i) {
            const std::string n = std::to_string(i);
            const std::string key = "HKLM\\Software\\BenchApp\\K" + n;
            if (store.SetString(key, "V", "x") != 0) return false;
            std::ofstream(bench + "/Files/f" + n + ".dll") << "dll";
            ::mkdir((bench + "/Dirs/d" + n).c_str(), 0755);
            ::mkdir((bench + "/Dest/p" + n).c_str(), 0755);
            std::ofstream(bench + "/Dest/p" + n + "/readme.txt") << "doc";
            ::mkdir((bench + "/Menu/s" + n).c_str(), 0755);
            std::ofstream(bench + "/Menu/s" + n + "/App.lnk") << "lnk";
        }
        // The installed half: entries entries_ .. 2*entries_-1 of each kind.
        const std::string installed = std::string("HKLM\\") + kInstalled;
        for (HistoryKind kind : kKinds) {
            const char* count = CountName(kind);
            const char* entry = EntryName(kind);
            for (int64_t i = 0; i < entries_; ++i)
                if (store.SetString(installed, entry + std::to_string(i),
                                    EntryText(kind, entries_ + i)) != 0)
                    return false;
            if (store.SetDword(installed, count, static_cast<uint32_t>(entries_)) != 0)
                return false;
        }
        return true;
    }

private:
    static const char* CountName(HistoryKind kind) {
        switch (kind) {
        case HistoryKind::Value: return "NumOfValues";
        case HistoryKind::Key: return "NumOfKeys";
        case HistoryKind::File: return "NumOfFiles";
        case HistoryKind::Directory: return "NumOfDirs";
        case HistoryKind::DestDirectory: return "NumOfDestDirs";
        case HistoryKind::Shortcut: return "NumOfShortcuts";
        }
        return "";
    }
    static const char* EntryName(HistoryKind kind) {
        switch (kind) {
        case HistoryKind::Value: return "Value";
        case HistoryKind::Key: return "Key";
        case HistoryKind::File: return "File";
        case HistoryKind::Directory: return "Dir";
        case HistoryKind::DestDirectory: return "DestDir";
        case HistoryKind::Shortcut: return "Shortcut";
        }
        return "";
    }

    std::string root_, drive_;
    std::unique_ptr<sim::Machine> machine_;
    sim::Process process_;
    std::unique_ptr<CInstallerApp> app_;
    int64_t entries_ = 0;
    bool ok_ = false;
};

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

HistoryBench& Bench() {
    static HistoryBench bench;
    return bench;
}

// AddHistoryEntry for the run's half, MergeHistory, UndoHistory: what a
// finished run and its removal do with the history.
void BM_AppendMergeUndo(benchmark::State& state) {
    HistoryBench& bench = Bench();
    if (!bench.ok()) {
        state.SkipWithError("no simulated machine");
        return;
    }
    double append = 0, merge = 0, undo = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!bench.Prepare()) {
            state.SkipWithError("cannot prepare the machine");
            break;
        }
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        for (HistoryKind kind : kKinds)
            for (int64_t i = 0; i < bench.entries(); ++i)
                AddHistoryEntry(EntryText(kind, i), kind, kInstalling);
        const Clock::time_point appended = Clock::now();
        MergeHistory(kInstalling, kInstalled);
        const Clock::time_point merged = Clock::now();
        UndoHistory(kInstalled, false);
        const Clock::time_point undone = Clock::now();
        append += Seconds(appended - start);
        merge += Seconds(merged - appended);
        undo += Seconds(undone - merged);
    }
    const double n = static_cast<double>(state.iterations() ? state.iterations() : 1);
    state.counters["append_s"] = append / n;
    state.counters["merge_s"] = merge / n;
    state.counters["undo_s"] = undo / n;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 12 * bench.entries());
    state.SetLabel(std::to_string(bench.entries()) + " entries of each kind in each history");
}
BENCHMARK(BM_AppendMergeUndo)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
