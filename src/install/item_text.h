// Text helpers of the component manager: ASCII case rules, as the profiles'.
#pragma once

#include <string>

#include "profile/profile.h"
#include "profile/section_list.h"

namespace itemtext {

inline std::string Upper(std::string s) {
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsLeadByte(c) && i + 1 < s.size()) {
            ++i;  // a double-byte character is never folded
            continue;
        }
        if (c >= 'a' && c <= 'z') s[i] = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

inline std::string Trim(const std::string& s, const char* chars = " \t") {
    const size_t first = s.find_first_not_of(chars);
    if (first == std::string::npos) return std::string();
    const size_t last = s.find_last_not_of(chars);
    return s.substr(first, last - first + 1);
}

inline bool EqualNoCase(const std::string& a, const std::string& b) {
    return ProfileEqualNoCase(a.data(), a.size(), b.data(), b.size());
}

inline bool ContainsNoCase(const std::string& text, const std::string& word) {
    return Upper(text).find(Upper(word)) != std::string::npos;
}

// Every occurrence of from (any letter case) replaced by to.
inline std::string ReplaceAllNoCase(const std::string& text, const std::string& from,
                                    const std::string& to) {
    if (from.empty()) return text;
    const std::string up = Upper(text), key = Upper(from);
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t at = up.find(key, pos);
        if (at == std::string::npos) break;
        out.append(text, pos, at - pos);
        out += to;
        pos = at + from.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

// At most max bytes, never half a double-byte character.
inline std::string Cut(const std::string& s, size_t max) {
    std::string out = s;
    ProfileCut(out, max);
    return out;
}

}  // namespace itemtext
