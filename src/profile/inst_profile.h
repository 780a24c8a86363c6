// How the installer holds each of its profiles: the profile with its
// defined strings, plus the current language's string file for messages
// ("@NAME@"), macro variables ("$NAME$") and sections for the running platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// Size of the installer's buffers for profile texts and lists; a text holds
// at most kProfileText - 1 bytes.
constexpr size_t kProfileText = 16384;
// Callers' size for file and directory names.
constexpr size_t kProfilePath = 260;

// Without a host: no macros are expanded, remote install and the options
// are off, the OS define string is empty and the language is "EN".
class CInstProfile {
public:
    CInstProfile() = default;
    virtual ~CInstProfile() = default;
    CInstProfile(const CInstProfile&) = delete;
    CInstProfile& operator=(const CInstProfile&) = delete;

    // Creates the main profile (main file with the defines file) when a main
    // name is given, the message profile (string file with the same defines
    // file) when a message name is given. True when a main name was given;
    // whether the files could be read shows in later lookups.
    bool Create(const char* mainFile, const char* definesFile, const char* messageFile,
                bool convertEscapes);

    // The key's first line with defined strings, then messages, then (when
    // expandMacros and not a remote install) macro variables expanded; the
    // language arguments (0 / null = the current language) go to the
    // macros. out is cut to bufferSize - 1 bytes. False when not created
    // with a main file or the key does not exist (out untouched).
    bool GetString(const char* section, const char* key, std::string& out,
                   bool expandMacros = true, uint16_t languageId = 0,
                   const char* abbreviation = nullptr, const char* directory = nullptr,
                   size_t bufferSize = kProfileText) const;
    // As CProfile, without any expansion; true when found and complete.
    bool GetDword(const char* section, const char* key, uint32_t* value) const;
    bool GetControl(const char* section, const char* key, CSize* size) const;
    bool GetControl(const char* section, const char* key, CPoint* point) const;
    bool GetControl(const char* section, const char* key, uint32_t* colour) const;
    bool GetControl(const char* section, const char* key, CRect* rect) const;
    // The colour form under its own name.
    bool GetColour(const char* section, const char* key, uint32_t& colour) const {
        return GetControl(section, key, &colour);
    }
    // The section's entries in order: "key = value" (or the key alone for a
    // line without value), each expanded like GetString. The entries with
    // their terminators and the list's final empty entry fit in bufferSize
    // bytes; the entry that would pass it is cut and ends the list. True
    // when the section exists and its entries fit the work buffer; during a
    // remote install out is left untouched.
    bool GetAllKey(const char* section, std::vector<std::string>& out, uint16_t languageId = 0,
                   const char* abbreviation = nullptr, const char* directory = nullptr,
                   size_t bufferSize = kProfileText) const;
    // Replaces "@NAME@" tokens by key NAME of section MESSAGES of the string
    // file (its defined strings and escapes expanded). A pair that names no
    // message stays, and its second "@" opens no token. The result is cut
    // to kProfileText - 1 bytes.
    void ExpandMessages(std::string& text) const;
    // The message profile now reads that string file; true.
    bool ReloadMessages(const char* stringFile);
    // The main profile now reads that file (same defines file); true.
    bool ReloadMain(const char* file);
    // Blank-separated section names (CProfile::GetSectionName); true when
    // they fit.
    bool GetSectionNames(char* buffer, size_t size) const;
    // True when a section of that name exists. Names are compared with the
    // blank-separated list, so a name holding a blank is never found.
    bool HasSection(const char* name) const;
    // The first existing section of base.OS.LANG.NETWORK.USB and its shorter
    // forms (suffixes for options that are off are never tried), upper-case.
    bool FindPlatformSection(const char* baseName, std::string& out) const;

    bool IsLoaded() const { return loaded_; }
    bool MessagesLoaded() const { return messagesLoaded_; }
    bool ConvertsEscapes() const { return convertEscapes_; }
    const std::string& MainFileName() const { return mainFile_; }
    const std::string& MessageFileName() const { return messageFile_; }
    const std::string& DefinesFileName() const { return definesFile_; }
    CProfile& MainProfile() { return main_; }
    const CProfile& MainProfile() const { return main_; }
    const CProfile& MessageProfile() const { return messages_; }

private:
    // Section names split at blanks; false when they do not fit the buffer.
    bool SectionNameList(std::string& names, std::vector<std::string_view>& list) const;

    CProfile main_;
    CProfile messages_;
    std::string mainFile_;
    std::string messageFile_;
    std::string definesFile_;
    bool loaded_ = false;
    bool messagesLoaded_ = false;
    bool convertEscapes_ = false;
};
