// The language of the run.
#pragma once

#include <cstdint>
#include <string>

class CInstProfile;

class CLanguageInfo {
public:
    CLanguageInfo() = default;
    virtual ~CLanguageInfo() = default;

    uint16_t languageId = 9;
    uint16_t systemLanguageId = 9;
    uint16_t requestedLanguageId = 9;
    std::string abbreviation = "EN";
    std::string systemAbbreviation = "EN";
    std::string requestedAbbreviation = "EN";
    std::string directory;
    std::string requestedDirectory;
    CInstProfile* profile = nullptr;
};
