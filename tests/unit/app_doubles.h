// Global state for tests of one part of a run: the start-up steps that need
// a complete package (program information, keys, language, target,
// companion libraries) answer as if they had worked.
#pragma once

#include <string>

#include "app/global_var.h"

namespace testsupport {

class GlobalDouble : public CGlobalVar {
public:
    bool ReadProgramInfo() override {
        programInfo.mfg = "Veltrix";
        programInfo.mdl = "LP-100";
        programInfo.vidpid = "VID_1A2B&PID_0C01";
        programInfo.programName = "Test Printer";
        return true;
    }
    bool BuildRegistryKeys() override { return true; }
    bool InitializeLanguage() override { return true; }
    bool SelectLanguage(uint16_t, bool) override {
        return profiles.LoadLanguageFiles(*this, language.abbreviation);
    }
    bool InitTarget() override { return true; }
    bool LoadLibraries() override { return true; }
};

}  // namespace testsupport
