// The installer's profiles: messages, macro variables and platform sections
// on top of plain profile access.
#include "profile/inst_profile.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<CInstProfileHost*> g_host{nullptr};

const char kMessages[] = "MESSAGES";

// Next ch at or after from, on a character boundary ("@" may be the trail
// byte of a double-byte character).
size_t FindChar(const std::string& s, char ch, size_t from) {
    const size_t n = s.size();
    for (size_t i = from; i < n;) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == static_cast<unsigned char>(ch)) return i;
        i += (IsLeadByte(c) && i + 1 < n) ? 2 : 1;
    }
    return std::string::npos;
}

// Every occurrence of token that starts on a character boundary replaced by
// value; building stops once the text passes limit bytes.
std::string ReplaceToken(const std::string& s, const std::string& token,
                         const std::string& value, size_t limit) {
    std::string out;
    const size_t n = s.size();
    for (size_t i = 0; i < n && out.size() <= limit;) {
        if (s[i] == token[0] && s.compare(i, token.size(), token) == 0) {
            out += value;
            i += token.size();
            continue;
        }
        const size_t w = (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < n) ? 2 : 1;
        out.append(s, i, w);
        i += w;
    }
    return out;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

void SetInstProfileHost(CInstProfileHost* host) { g_host.store(host); }

CInstProfileHost* GetInstProfileHost() { return g_host.load(); }

bool CInstProfile::Create(const char* mainFile, const char* definesFile,
                          const char* messageFile, bool convertEscapes) {
    definesFile_ = Text(definesFile);
    if (mainFile && *mainFile) {
        main_.Create(mainFile, definesFile_.c_str());
        mainFile_ = mainFile;
        loaded_ = true;
    }
    if (messageFile && *messageFile) {
        messages_.Create(messageFile, definesFile_.c_str());
        messageFile_ = messageFile;
        messagesLoaded_ = true;
    }
    convertEscapes_ = convertEscapes;
    return loaded_;
}

void CInstProfile::ExpandMessages(std::string& text) const {
    if (text.empty()) return;
    const size_t limit = kProfileText - 1;
    std::string work = text;
    ProfileCut(work, limit);
    std::string name, message, token;
    size_t a = FindChar(work, '@', 0);
    while (a != std::string::npos) {
        const size_t b = FindChar(work, '@', a + 1);
        if (b == std::string::npos) break;
        name.assign(work, a + 1, b - a - 1);
        // Unlike defined strings, the search goes on after the pair: after
        // the message put in its place when it was found, so that a shorter
        // message never makes the search skip the token that follows.
        size_t next = b + 1;
        if (messages_.GetString(kMessages, name.c_str(), message, kProfileText, true) == 0) {
            token.assign(work, a, b - a + 1);
            work = ReplaceToken(work, token, message, limit);
            ProfileCut(work, limit);
            next = a + message.size();
        }
        if (next >= work.size()) break;
        a = FindChar(work, '@', next);
    }
    text.swap(work);
}

bool CInstProfile::GetString(const char* section, const char* key, std::string& out,
                             bool expandMacros, uint16_t languageId, const char* abbreviation,
                             const char* directory, size_t bufferSize) const {
    if (!loaded_) return false;
    std::string work;
    if (main_.GetString(section, key, work, kProfileText, convertEscapes_) != 0) return false;
    if (messagesLoaded_) ExpandMessages(work);
    const CInstProfileHost* host = GetInstProfileHost();
    if (expandMacros && host && !host->RemoteInstall()) {
        work = host->ExpandMacros(work, languageId, Text(abbreviation), Text(directory));
        ProfileCut(work, kProfileText - 1);
    }
    ProfileCut(work, bufferSize ? bufferSize - 1 : 0);
    out.swap(work);
    return true;
}

bool CInstProfile::GetDword(const char* section, const char* key, uint32_t* value) const {
    return main_.GetDword(section, key, value) == 0;
}

bool CInstProfile::GetControl(const char* section, const char* key, CSize* size) const {
    return main_.GetControl(section, key, size) == 0;
}

bool CInstProfile::GetControl(const char* section, const char* key, CPoint* point) const {
    return main_.GetControl(section, key, point) == 0;
}

bool CInstProfile::GetControl(const char* section, const char* key, uint32_t* colour) const {
    return main_.GetControl(section, key, colour) == 0;
}

bool CInstProfile::GetControl(const char* section, const char* key, CRect* rect) const {
    return main_.GetControl(section, key, rect) == 0;
}

bool CInstProfile::GetAllKey(const char* section, std::vector<std::string>& out,
                             uint16_t languageId, const char* abbreviation,
                             const char* directory, size_t bufferSize) const {
    if (!loaded_) return false;
    std::vector<char> work(kProfileText);
    // Escapes only where the profile converts them: a listed path such as
    // C:\readme.txt must not lose its "\r".
    if (main_.GetAllKey(section, work.data(), work.size(), false, convertEscapes_) != 0)
        return false;
    const CInstProfileHost* host = GetInstProfileHost();
    if (host && host->RemoteInstall()) return true;

    out.clear();
    const std::string abbr = Text(abbreviation), dir = Text(directory);
    size_t used = 0;
    for (const char* p = work.data(); *p; p += std::strlen(p) + 1) {
        std::string entry(p);
        if (messagesLoaded_) ExpandMessages(entry);
        if (host) {
            entry = host->ExpandMacros(entry, languageId, abbr, dir);
            ProfileCut(entry, kProfileText - 1);
        }
        // Room for the entry, its terminator and the list's final one.
        const size_t room = bufferSize > used + 2 ? bufferSize - used - 2 : 0;
        if (entry.size() > room) {
            ProfileCut(entry, room);
            if (!entry.empty()) out.push_back(entry);
            break;
        }
        used += entry.size() + 1;
        out.push_back(std::move(entry));
    }
    return true;
}

bool CInstProfile::ReloadMessages(const char* stringFile) {
    messages_.Reload(stringFile, definesFile_.c_str());
    messageFile_ = Text(stringFile);
    messagesLoaded_ = !messageFile_.empty();
    return true;
}

bool CInstProfile::ReloadMain(const char* file) {
    main_.Reload(file, definesFile_.c_str());
    return true;
}

bool CInstProfile::GetSectionNames(char* buffer, size_t size) const {
    return main_.GetSectionName(buffer, size, false) == 0;
}

bool CInstProfile::SectionNameList(std::string& names,
                                   std::vector<std::string_view>& list) const {
    names.assign(kProfileText, '\0');
    if (!GetSectionNames(&names[0], names.size())) return false;
    std::string_view all(names.c_str());
    list.clear();
    for (size_t pos = 0; pos < all.size();) {
        size_t blank = all.find(' ', pos);
        if (blank == std::string_view::npos) blank = all.size();
        if (blank > pos) list.push_back(all.substr(pos, blank - pos));
        pos = blank + 1;
    }
    return true;
}

bool CInstProfile::HasSection(const char* name) const {
    if (!name) return false;
    std::string names;
    std::vector<std::string_view> list;
    if (!SectionNameList(names, list)) return false;
    const size_t n = std::strlen(name);
    for (std::string_view s : list)
        if (ProfileEqualNoCase(s.data(), s.size(), name, n)) return true;
    return false;
}

bool CInstProfile::FindPlatformSection(const char* baseName, std::string& out) const {
    if (!baseName) return false;
    std::string names;
    std::vector<std::string_view> list;
    if (!SectionNameList(names, list)) return false;

    const CInstProfileHost* host = GetInstProfileHost();
    const std::string n = baseName;
    const std::string o = host ? host->OsDefineString() : std::string();
    const std::string l = host ? host->LanguageAbbreviation() : std::string("EN");
    const bool network = host && host->NetworkOption();
    const bool usb = host && host->UsbOnlyOption();

    std::vector<std::string> options;
    if (network && usb) options = {".NETWORK.USB", ".NETWORK", ".USB", ""};
    else if (network) options = {".NETWORK", ""};
    else if (usb) options = {".USB", ""};
    else options = {""};

    const std::string prefixes[] = {n + "." + o + "." + l, n + "." + o, n + "." + l, n};
    for (const std::string& prefix : prefixes) {
        for (const std::string& option : options) {
            const std::string candidate = prefix + option;
            const std::string upper = ProfileFold(candidate.data(), candidate.size());
            for (std::string_view s : list) {
                if (ProfileEqualNoCase(s.data(), s.size(), upper.data(), upper.size())) {
                    out = upper;
                    return true;
                }
            }
        }
    }
    return false;
}
