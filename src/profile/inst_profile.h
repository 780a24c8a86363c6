// How the installer holds each of its profiles: the profile with its
// defined strings, plus the current language's string file for messages
// ("@NAME@"), macro variables ("$NAME$") and platform-specific sections.
#pragma once

#include <cstdint>
#include <string>

#include "profile/profile.h"

// What an installer profile needs to know of the run. The application's
// global state provides it; without one there are no macros and no options.
class CInstProfileHost {
public:
    virtual ~CInstProfileHost() = default;
    virtual bool RemoteInstall() const = 0;
    virtual bool NetworkOption() const = 0;
    virtual bool UsbOnlyOption() const = 0;
    virtual std::string OsDefineString() const = 0;
    virtual std::string LanguageAbbreviation() const = 0;
    virtual std::string ExpandMacros(const std::string& text, uint16_t languageId,
                                     const std::string& abbreviation,
                                     const std::string& directory) const = 0;
};

void SetInstProfileHost(CInstProfileHost* host);
CInstProfileHost* GetInstProfileHost();
