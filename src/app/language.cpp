#include "app/language.h"

#include <cstdio>
#include <vector>

#include "app/installer_app.h"
#include "profile/inst_profile.h"
#include "sys/utl.h"

namespace {

std::string Key(uint16_t id) {
    char key[16];
    std::snprintf(key, sizeof key, "0X%04X", id);
    return key;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

std::string BuiltInAbbreviation(uint16_t id) {
    const uint16_t primary = id & 0x3FF;
    const uint16_t sub = id >> 10;
    switch (primary) {
    case 1: return "AB";
    case 4: return sub == 1 ? "CT" : "CP";
    case 5: return "CZ";
    case 6: return "DN";
    case 7: return "GR";
    case 8: return "GK";
    case 10: return "SP";
    case 11: return "FI";
    case 12: return "FN";
    case 13: return "HB";
    case 14: return "HU";
    case 16: return "IT";
    case 17: return "JP";
    case 18: return "KR";
    case 19: return "DT";
    case 20: return "NR";
    case 21: return "PO";
    case 22: return sub == 1 ? "BP" : sub == 2 ? "PT" : "";
    case 25: return "RU";
    case 29: return "SW";
    case 30: return "TI";
    case 31: return "TK";
    case 33: return "IN";
    default: return "EN";
    }
}

uint16_t CLanguageInfo::MapCountry(uint16_t id) const {
    if (!profile) return id;
    uint32_t mapped = 0;
    if (profile->GetDword("COUNTRY_LANG_CODE", Key(id).c_str(), &mapped))
        return static_cast<uint16_t>(mapped);
    if (profile->GetDword("COUNTRY_LANG_CODE", Key(id & 0x3FF).c_str(), &mapped))
        return static_cast<uint16_t>(mapped);
    return id;
}

bool CLanguageInfo::IsSupported(uint16_t* id) const {
    if (!profile || !id) return false;
    std::vector<std::string> entries;
    if (!profile->GetAllKey("PROGRAM_LANG_INFO", entries)) return false;
    for (const std::string& entry : entries) {
        std::string key = Trim(entry.substr(0, entry.find('=')));
        uint32_t listed = HexOrDecToNumber(key);
        if (listed == *id || listed == static_cast<uint32_t>(*id & 0x3FF)) {
            *id = static_cast<uint16_t>(listed);
            return true;
        }
    }
    return false;
}

uint16_t CLanguageInfo::ResolveLanguage(uint16_t id) {
    uint16_t v = MapCountry(id);
    if (!IsSupported(&v)) v = 9;
    uint16_t requested = id;
    if (!IsSupported(&requested)) requested = 9;
    requestedLanguageId = requested;
    return v;
}

std::string CLanguageInfo::GetLanguageString(uint16_t id, const char* section) const {
    std::string value;
    if (profile && (profile->GetString(section, Key(id).c_str(), value, true, 0, nullptr, nullptr, 260) ||
                    profile->GetString(section, Key(id & 0x3FF).c_str(), value, true, 0, nullptr,
                                       nullptr, 260)))
        return value;
    return BuiltInAbbreviation(id);
}

void CLanguageInfo::InitLanguage(CInstProfile* dataProfile) {
    profile = dataProfile;
    systemAbbreviation = GetLanguageString(ResolveLanguage(systemLanguageId), "LANGUAGE_ABBR");
}

bool CLanguageInfo::SetLanguage(CInstProfile* dataProfile, uint16_t id, bool force) {
    if (!dataProfile) return false;
    profile = dataProfile;
    if (id == 0) id = systemLanguageId;
    else if (!force && id == languageId) return false;
    languageId = ResolveLanguage(id);
    abbreviation = GetLanguageString(languageId, "LANGUAGE_ABBR");
    requestedAbbreviation = GetLanguageString(requestedLanguageId, "LANGUAGE_ABBR");
    directory = GetLanguageString(languageId, "LANGUAGE_DIR");
    requestedDirectory = GetLanguageString(requestedLanguageId, "LANGUAGE_DIR");
    if (CLog* log = GetLog()) {
        log->Log("Set Language : Language ID\t\t= 0X%04X", languageId);
        log->Log("Set Language : Language Abbr\t\t= %s", abbreviation.c_str());
        log->Log("Set Language : System Language ID\t= 0X%04X", systemLanguageId);
        log->Log("Set Language : System Language Abbr = %s", systemAbbreviation.c_str());
        log->Log("Set Language : Language Dir\t\t= %s", directory.c_str());
        log->Log("Set Language : Org Language ID\t\t= 0X%04X", requestedLanguageId);
        log->Log("Set Language : Org Language Abbr\t\t= %s", requestedAbbreviation.c_str());
        log->Log("Set Language : Org Language Dir\t\t= %s", requestedDirectory.c_str());
    }
    return true;
}
