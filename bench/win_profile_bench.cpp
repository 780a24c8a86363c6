// 10 000 lookups in the generated command profile: CInstProfile::GetString
// (messages and defined strings expanded) against GetPrivateProfileStringA
// (the raw value) on the same file. Prints both timings and their ratio.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/os.h"
#include "profile/inst_profile.h"
#include "profile_gen.h"

namespace {

bool WriteText(const std::string& path, const std::string& text) {
    os::RemoveFile(path.c_str());
    os::Handle file = nullptr;
    if (os::CreateNewFile(path.c_str(), &file) != 0) return false;
    size_t written = 0;
    const uint32_t rc = os::WriteFile(file, text.data(), text.size(), &written);
    os::CloseHandle(file);
    return rc == 0 && written == text.size();
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main() {
    std::string dir;
    if (os::TempDirectory(dir) != 0) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    dir += "profile_bench";
    os::MakeDirectory(dir.c_str());
    const std::string mainFile = dir + "\\vxinst.cmd";
    const std::string defines = dir + "\\Setup.dat";
    const std::string strings = dir + "\\Lang_EN.str";
    if (!WriteText(mainFile, benchgen::CommandProfile(true)) ||
        !WriteText(defines, benchgen::DefinesProfile()) ||
        !WriteText(strings, benchgen::StringProfile())) {
        std::fprintf(stderr, "cannot write the profiles to %s\n", dir.c_str());
        return 1;
    }

    const std::vector<benchgen::Lookup> lookups = benchgen::TitleLookups();
    CInstProfile profile;
    profile.Create(mainFile.c_str(), defines.c_str(), strings.c_str(), false);

    // Both readers have read and parsed the file before timing starts.
    std::string value;
    std::vector<char> buffer(kProfileText);
    profile.GetString(lookups[0].section.c_str(), lookups[0].key.c_str(), value);
    GetPrivateProfileStringA(lookups[0].section.c_str(), lookups[0].key.c_str(), "",
                             buffer.data(), static_cast<DWORD>(buffer.size()), mainFile.c_str());
    std::printf("ours:   %s\nsystem: %s\n", value.c_str(), buffer.data());

    int oursMissing = 0, systemMissing = 0;
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    for (const benchgen::Lookup& l : lookups)
        if (!profile.GetString(l.section.c_str(), l.key.c_str(), value)) ++oursMissing;
    QueryPerformanceCounter(&t1);
    for (const benchgen::Lookup& l : lookups)
        if (GetPrivateProfileStringA(l.section.c_str(), l.key.c_str(), "", buffer.data(),
                                     static_cast<DWORD>(buffer.size()), mainFile.c_str()) == 0)
            ++systemMissing;
    QueryPerformanceCounter(&t2);

    const double ours = Seconds(t0, t1), system = Seconds(t1, t2);
    const double n = static_cast<double>(lookups.size());
    std::printf("CInstProfile::GetString:  %zu lookups in %.3f ms (%.0f lookups/s), %d missing\n",
                lookups.size(), ours * 1e3, n / ours, oursMissing);
    std::printf("GetPrivateProfileStringA: %zu lookups in %.3f ms (%.0f lookups/s), %d missing\n",
                lookups.size(), system * 1e3, n / system, systemMissing);
    std::printf("ratio: %.1f times faster\n", system / ours);

    os::RemoveFile(mainFile.c_str());
    os::RemoveFile(defines.c_str());
    os::RemoveFile(strings.c_str());
    RemoveDirectoryA(dir.c_str());
    return 0;
}
