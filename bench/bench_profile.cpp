// Loading and lookup speed of the profile text format and of the
// installer's profile lookups.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "profile/inst_profile.h"
#include "profile/profile.h"
#include "profile_gen.h"

namespace {

// The command profile of about 2 MB, without title keys.
const std::string& BigProfile() {
    static const std::string text = benchgen::CommandProfile(false);
    return text;
}

void BM_LoadProfile(benchmark::State& state) {
    const std::string& text = BigProfile();
    for (auto _ : state) {
        CSectionList list;
        CProfile::LoadText(text.data(), text.size(), list);
        benchmark::DoNotOptimize(list.head());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    state.SetLabel(std::to_string(text.size() / 1024) + " KB");
}
BENCHMARK(BM_LoadProfile)->Unit(benchmark::kMillisecond);

void BM_CleanProfile(benchmark::State& state) {
    const std::string& text = BigProfile();
    std::string clean;
    for (auto _ : state) {
        CProfile::ProcessData(text.data(), text.size(), clean);
        benchmark::DoNotOptimize(clean.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_CleanProfile)->Unit(benchmark::kMillisecond);

void BM_FindSectionGetValue(benchmark::State& state) {
    const std::string& text = BigProfile();
    CSectionList list;
    CProfile::LoadText(text.data(), text.size(), list);
    // Lower case on purpose: lookups fold case.
    std::vector<std::string> sections, keys;
    for (int i = 0; i < 61; ++i) sections.push_back("command_section_" + std::to_string(i * 8));
    for (int i = 0; i < 7; ++i) keys.push_back("cmd_param" + std::to_string(i * 3));
    char value[4096];
    size_t i = 0;
    for (auto _ : state) {
        const std::string& s = sections[i % sections.size()];
        const std::string& k = keys[i % keys.size()];
        ++i;
        benchmark::DoNotOptimize(list.FindSection(s.c_str()));
        benchmark::DoNotOptimize(list.GetValue(s.c_str(), k.c_str(), value, sizeof value, 0));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_FindSectionGetValue);

// A simulated machine holding the generated profiles under C:\bench, for
// the lookups that read their files through the platform.
class BenchMachine {
public:
    BenchMachine() {
        char tmpl[] = "/tmp/bench-profile-XXXXXX";
        if (!::mkdtemp(tmpl)) return;
        root_ = tmpl;
        if (sim::Machine::Open(root_ + "/machine", machine_) != 0) return;
        process_.machine = machine_.get();
        process_.currentDir = "C:\\";
        sim::SetCurrentProcess(&process_);
        std::string dir;
        machine_->ToHostPath("C:\\bench", "C:\\", dir);
        ::mkdir(dir.c_str(), 0755);
        Write("C:\\bench\\vxinst.cmd", benchgen::CommandProfile(true));
        Write("C:\\bench\\Setup.dat", benchgen::DefinesProfile());
        Write("C:\\bench\\Lang_EN.str", benchgen::StringProfile());
    }
    ~BenchMachine() {
        sim::SetCurrentProcess(nullptr);
        machine_.reset();
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    bool ok() const { return machine_ != nullptr; }

private:
    void Write(const char* winPath, const std::string& text) {
        std::string host;
        machine_->ToHostPath(winPath, "C:\\", host);
        std::ofstream(host, std::ios::binary) << text;
    }

    std::string root_;
    std::unique_ptr<sim::Machine> machine_;
    sim::Process process_;
};

// 10 000 title lookups per iteration: each value holds a message and
// defined strings, and the message holds a defined string of its own.
void BM_InstProfileGetString(benchmark::State& state) {
    BenchMachine machine;
    if (!machine.ok()) {
        state.SkipWithError("no simulated machine");
        return;
    }
    CInstProfile profile;
    profile.Create("C:\\bench\\vxinst.cmd", "C:\\bench\\Setup.dat", "C:\\bench\\Lang_EN.str",
                   false);
    const std::vector<benchgen::Lookup> lookups = benchgen::TitleLookups();
    std::string value;
    if (!profile.GetString(lookups[0].section.c_str(), lookups[0].key.c_str(), value) ||
        value.find('%') != std::string::npos || value.find('@') != std::string::npos) {
        state.SkipWithError(("lookup not expanded: " + value).c_str());
        return;
    }
    for (auto _ : state) {
        for (const benchgen::Lookup& l : lookups) {
            profile.GetString(l.section.c_str(), l.key.c_str(), value);
            benchmark::DoNotOptimize(value.data());
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(lookups.size()));
    state.SetLabel(value);
}
BENCHMARK(BM_InstProfileGetString)->Unit(benchmark::kMillisecond);

}  // namespace
