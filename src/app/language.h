// The language of the run.
#pragma once

#include <cstdint>
#include <string>

class CInstProfile;

class CLanguageInfo {
public:
    CLanguageInfo() = default;
    virtual ~CLanguageInfo() = default;

    // Remembers the data profile; the system abbreviation follows from it.
    void InitLanguage(CInstProfile* dataProfile);
    // id 0: the system language. False when unchanged and not forced.
    bool SetLanguage(CInstProfile* dataProfile, uint16_t id, bool force);
    // The language to use for id; sets the requested language.
    uint16_t ResolveLanguage(uint16_t id);
    uint16_t MapCountry(uint16_t id) const;
    bool IsSupported(uint16_t* id) const;
    // LANGUAGE_ABBR or LANGUAGE_DIR entry of id (full, then primary ID),
    // else the built-in abbreviation.
    std::string GetLanguageString(uint16_t id, const char* section) const;

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

// The abbreviation the installer knows for a language without a table entry.
std::string BuiltInAbbreviation(uint16_t id);
