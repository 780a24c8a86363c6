// Loading and lookup speed of the profile text format.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "profile/profile.h"

namespace {

constexpr int kSections = 500;
constexpr int kStepsPerSection = 22;

std::string SectionName(int i) { return "COMMAND_SECTION_" + std::to_string(i); }

// A profile of about 2 MB in the style of a package's command profile.
const std::string& BigProfile() {
    static const std::string text = [] {
        std::string t;
        t.reserve(2200000);
        t += "// Generated command profile\r\n\r\n";
        for (int s = 0; s < kSections; ++s) {
            t += "[" + SectionName(s) + "]\r\n";
            t += "/* Section " + std::to_string(s) +
                 ": runs the steps below in order.\r\n   Keep the parameters in step. */\r\n";
            for (int k = 0; k < kStepsPerSection; ++k) {
                const std::string n = std::to_string(k);
                t += "CMD_TYPE" + n + " = CT_EXE_FILE_WAIT    // wait for the program\r\n";
                t += "CMD_PARAM" + n + " = $SRC_DIR$\\Driver\\Setup" + n +
                     ".exe /s /f1\"$TEMP_DIR$\\setup.iss\"\r\n";
                t += "%DRIVER_NAME_" + n + "% = \"Printer Driver Model " + n + " Series\"\r\n";
                t += "\r\n";
            }
        }
        return t;
    }();
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

}  // namespace
