// The generated profiles of the profile benchmarks: a command profile of
// about 2 MB, its defined strings and a string file.
#pragma once

#include <string>
#include <vector>

namespace benchgen {

constexpr int kSections = 500;
constexpr int kStepsPerSection = 22;
constexpr int kLookups = 10000;

inline std::string SectionName(int i) { return "COMMAND_SECTION_" + std::to_string(i); }

// In the style of a package's command profile. withTitles adds one key per
// step whose value holds a message and defined strings.
inline std::string CommandProfile(bool withTitles) {
    std::string t;
    t.reserve(2600000);
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
            if (withTitles)
                t += "CMD_TITLE" + n + " = @SETUP_TITLE@ - %DRIVER_NAME_" + n + "% (@STEP_" +
                     std::to_string(k % 4) + "@)\r\n";
            t += "\r\n";
        }
    }
    return t;
}

// The defined strings the titles use, as a data profile holds them.
inline std::string DefinesProfile() {
    std::string t = "[STRINGS]\r\n%PRODUCT% = \"Veltrix LaserJet 5000\"\r\n";
    for (int k = 0; k < kStepsPerSection; ++k)
        t += "%DRIVER_NAME_" + std::to_string(k) + "% = \"Printer Driver Model " +
             std::to_string(k) + " Series\"\r\n";
    return t;
}

inline std::string StringProfile() {
    return "[MESSAGES]\r\n"
           "SETUP_TITLE = %PRODUCT% Setup\r\n"
           "STEP_0 = Copying files\r\n"
           "STEP_1 = Installing the driver\r\n"
           "STEP_2 = Registering the printer\r\n"
           "STEP_3 = Finishing\r\n";
}

struct Lookup {
    std::string section;
    std::string key;
};

// Title keys spread over the whole profile, in mixed case on purpose:
// lookups fold case.
inline std::vector<Lookup> TitleLookups() {
    std::vector<Lookup> out;
    out.reserve(kLookups);
    for (int i = 0; i < kLookups; ++i) {
        const int s = static_cast<int>((static_cast<long long>(i) * 7919) % kSections);
        const int k = (i * 5) % kStepsPerSection;
        out.push_back({i % 2 ? SectionName(s) : "command_section_" + std::to_string(s),
                       "CMD_TITLE" + std::to_string(k)});
    }
    return out;
}

}  // namespace benchgen
