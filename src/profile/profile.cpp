// Typed access to a loaded profile, defined strings and writes through the
// platform's INI writer.
#include <cstdio>
#include <cstring>

#include "platform/os.h"
#include "profile/profile.h"

namespace {

enum : uint32_t {
    kOk = 0,
    kMissing = 13,
    kTooSmall = 14,
    kBadArgument = 87,
};

const char kStrings[] = "STRINGS";

// Value of a defined string: double quotes trimmed from both ends.
std::string_view Unquote(const std::string& value) {
    size_t b = 0, e = value.size();
    while (b < e && value[b] == '"') ++b;
    while (e > b && value[e - 1] == '"') --e;
    return std::string_view(value).substr(b, e - b);
}

// Replaces every occurrence of token ("%" never is a trail byte, so a plain
// search finds only whole characters).
std::string ReplaceAll(const std::string& text, const std::string& token,
                       std::string_view value) {
    std::string out;
    out.reserve(text.size() + value.size());
    size_t from = 0;
    for (size_t at; (at = text.find(token, from)) != std::string::npos; from = at + token.size()) {
        out.append(text, from, at - from);
        out.append(value.data(), value.size());
    }
    out.append(text, from, std::string::npos);
    return out;
}

// "\r" and "\n" as two characters become a carriage return and a line feed;
// a backslash that is the trail byte of a double-byte character stays.
void ConvertEscapes(std::string& text) {
    const size_t n = text.size();
    size_t w = 0;
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && i + 1 < n) {
            text[w++] = text[i++];
            text[w++] = text[i++];
        } else if (c == '\\' && i + 1 < n && (text[i + 1] == 'r' || text[i + 1] == 'n')) {
            text[w++] = text[i + 1] == 'r' ? '\r' : '\n';
            i += 2;
        } else {
            text[w++] = text[i++];
        }
    }
    text.resize(w);
}

bool MayExpand(const std::string& text, bool escapes) {
    return text.find('%') != std::string::npos ||
           (escapes && text.find('\\') != std::string::npos);
}

// Up to count comma-separated numbers; answers how many parts the text has
// (at most count).
int SplitNumbers(const std::string& text, uint32_t* out, int count) {
    int n = 0;
    size_t start = 0;
    while (n < count) {
        size_t comma = text.find(',', start);
        std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        out[n++] = CProfile::StringToDword(part.c_str());
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return n;
}

}  // namespace

size_t ProfileCutLength(const char* s, size_t n, size_t max) {
    if (n <= max) return n;
    size_t i = 0;
    while (i < max) {
        size_t w = (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < n) ? 2 : 1;
        if (i + w > max) break;
        i += w;
    }
    return i;
}

void ProfileCut(std::string& text, size_t max) {
    if (text.size() > max) text.resize(ProfileCutLength(text.data(), text.size(), max));
}

// ---------------------------------------------------------------------------
// Loading

uint32_t CProfile::Create(const char* mainFile, const char* definesFile, bool) {
    if (LoadFile(mainFile, main_) == 0) {
        const size_t n = std::strlen(mainFile);
        fileName_.assign(mainFile, ProfileCutLength(mainFile, n, kMaxProfileFileName));
        loaded_ = true;
    }
    if (loaded_ && LoadFile(definesFile, defines_) == 0) definesLoaded_ = true;
    return kOk;
}

uint32_t CProfile::Reload(const char* mainFile, const char* definesFile) {
    loaded_ = definesLoaded_ = false;
    main_.ClearAll();
    defines_.ClearAll();
    return Create(mainFile, definesFile);
}

// ---------------------------------------------------------------------------
// Defined strings

const std::string* CProfile::FindDefined(const char* token, size_t length) const {
    if (!token || length == 0) return nullptr;
    if (definesLoaded_) {
        if (const LINE_LIST* l = defines_.FindKey(defines_.FindSection(kStrings), token, 0))
            return &l->value;
    }
    if (const LINE_LIST* l = main_.FindKey(main_.FindSection(kStrings), token, 0))
        return &l->value;
    return nullptr;
}

uint32_t CProfile::GetStringValue(const char* token, char* buffer, size_t size) const {
    if (!token || !*token || !buffer || size == 0) return kBadArgument;
    const std::string* value = FindDefined(token, std::strlen(token));
    if (!value) return kMissing;
    std::string_view v = Unquote(*value);
    size_t n = ProfileCutLength(v.data(), v.size(), size - 1);
    std::memcpy(buffer, v.data(), n);
    buffer[n] = '\0';
    return kOk;
}

uint32_t CProfile::ExpandDefined(std::string& text, bool escapes) const {
    uint32_t code = kOk;
    int replacements = 0;
    std::string token;
    size_t a = text.find('%');
    while (a != std::string::npos) {
        const size_t b = text.find('%', a + 1);
        if (b == std::string::npos) break;
        token.assign(text, a, b - a + 1);
        const std::string* value = FindDefined(token.c_str(), token.size());
        if (!value) {
            // The closing "%" of a failed pair may open the next token.
            code = kMissing;
            a = text.find('%', a + 1);
            continue;
        }
        code = kOk;
        if (replacements >= kMaxDefinedReplacements) break;
        std::string next = ReplaceAll(text, token, Unquote(*value));
        if (next.size() >= kRawValueBuffer) break;
        text.swap(next);
        ++replacements;
        // The inserted value is scanned too: tokens inside values expand.
        a = text.find('%', a);
    }
    if (escapes) ConvertEscapes(text);
    return code;
}

uint32_t CProfile::ConvertDefinedString(char* buffer, size_t size, bool escapes) const {
    if (!buffer || size == 0 || !*buffer) return kBadArgument;
    std::string text(buffer, strnlen(buffer, size));
    const uint32_t code = ExpandDefined(text, escapes);
    if (text.size() >= size) return kTooSmall;
    std::memset(buffer, 0, size);
    std::memcpy(buffer, text.data(), text.size());
    return code;
}

// ---------------------------------------------------------------------------
// Typed lookups

const LINE_LIST* CProfile::FirstLine(const char* section, const char* key) const {
    if (!section || !key) return nullptr;
    return main_.FindKey(main_.FindSection(section), key, 0);
}

uint32_t CProfile::GetString(const char* section, const char* key, char* buffer, size_t size,
                             bool escapes) const {
    if (!buffer) return kBadArgument;
    const LINE_LIST* l = FirstLine(section, key);
    if (!l) return kMissing;
    if (size == 0) return kOk;
    const size_t n = ProfileCutLength(l->value.data(), l->value.size(), size - 1);
    std::memcpy(buffer, l->value.data(), n);
    std::memset(buffer + n, 0, size - n);
    if (MayExpand(l->value, escapes)) ConvertDefinedString(buffer, size, escapes);
    return kOk;
}

uint32_t CProfile::GetString(const char* section, const char* key, std::string& out,
                             size_t size, bool escapes) const {
    const LINE_LIST* l = FirstLine(section, key);
    if (!l) return kMissing;
    if (size == 0) {
        out.clear();
        return kOk;
    }
    out.assign(l->value, 0, ProfileCutLength(l->value.data(), l->value.size(), size - 1));
    if (!out.empty() && MayExpand(out, escapes)) {
        std::string text = out;
        ExpandDefined(text, escapes);
        if (text.size() < size) out.swap(text);
    }
    return kOk;
}

uint32_t CProfile::StringToDword(const char* text) {
    if (!text) return 0;
    std::string up(text);
    for (char& c : up)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));

    if (up.find("0X") == std::string::npos) {
        // As the C library's decimal conversion, out-of-range values clamped.
        size_t i = 0;
        while (i < up.size() && (up[i] == ' ' || (up[i] >= '\t' && up[i] <= '\r'))) ++i;
        bool negative = false;
        if (i < up.size() && (up[i] == '+' || up[i] == '-')) negative = up[i++] == '-';
        int64_t v = 0;
        for (; i < up.size() && up[i] >= '0' && up[i] <= '9'; ++i) {
            v = v * 10 + (up[i] - '0');
            if (v > 0x80000000LL) v = 0x80000000LL;
        }
        if (negative) v = -v;
        if (v > INT32_MAX) v = INT32_MAX;
        return static_cast<uint32_t>(static_cast<int32_t>(v));
    }

    std::string digits;
    for (size_t i = 0; i < up.size();) {
        if (up[i] == '0' && i + 1 < up.size() && up[i + 1] == 'X') {
            i += 2;
        } else {
            digits += up[i++];
        }
    }
    uint32_t v = 0;
    const size_t count = digits.size() < 8 ? digits.size() : 8;
    for (size_t k = 0; k < count; ++k) {
        const char c = digits[digits.size() - 1 - k];
        uint32_t d = 0;
        if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        v |= d << (4 * k);
    }
    return v;
}

uint32_t CProfile::GetDword(const char* section, const char* key, uint32_t* value) const {
    if (!value) return kBadArgument;
    const LINE_LIST* l = FirstLine(section, key);
    if (!l) return kMissing;
    *value = StringToDword(l->value.c_str());
    return kOk;
}

uint32_t CProfile::GetControl(const char* section, const char* key, CSize* size) const {
    if (!section || !key || !size) return kBadArgument;
    const LINE_LIST* l = FirstLine(section, key);
    if (!l) return kMissing;
    uint32_t v[2];
    if (SplitNumbers(l->value, v, 2) < 2) return kBadArgument;
    size->cx = static_cast<int32_t>(v[0]);
    size->cy = static_cast<int32_t>(v[1]);
    return kOk;
}

uint32_t CProfile::GetControl(const char* section, const char* key, CPoint* point) const {
    if (!point) return kBadArgument;
    CSize size;
    if (GetControl(section, key, &size) != kOk) return kBadArgument;
    point->x = size.cx;
    point->y = size.cy;
    return kOk;
}

uint32_t CProfile::GetControl(const char* section, const char* key, uint32_t* colour) const {
    if (!section || !key || !colour) return kBadArgument;
    const LINE_LIST* l = FirstLine(section, key);
    if (!l) return kMissing;
    uint32_t v[3];
    if (SplitNumbers(l->value, v, 3) < 3) return kBadArgument;
    *colour = (v[0] & 0xFF) + 256 * (v[1] & 0xFF) + 65536 * (v[2] & 0xFF);
    return kOk;
}

uint32_t CProfile::GetControl(const char* section, const char* key, CRect* rect) const {
    if (!section || !key || !rect) return kBadArgument;
    const LINE_LIST* l = FirstLine(section, key);
    if (!l) return kBadArgument;
    uint32_t v[4];
    if (SplitNumbers(l->value, v, 4) < 4) return kBadArgument;
    rect->left = static_cast<int32_t>(v[0]);
    rect->top = static_cast<int32_t>(v[1]);
    rect->right = static_cast<int32_t>(v[2]);
    rect->bottom = static_cast<int32_t>(v[3]);
    return kOk;
}

// ---------------------------------------------------------------------------
// Lists

uint32_t CProfile::GetSectionName(char* buffer, size_t size, bool nulSeparated) const {
    if (!buffer || size == 0) return kBadArgument;
    if (nulSeparated) {
        std::memset(buffer, 0, size);
    } else {
        std::memset(buffer, ' ', size);
        buffer[size - 1] = '\0';
    }
    const SECTION_LIST* s = main_.head();
    if (!s) return kMissing;
    size_t pos = 0;
    for (; s; s = s->next) {
        const size_t len = s->name.size();
        const size_t left = pos < size ? size - pos : 0;
        // NUL form: the name, its terminator and the list's final empty
        // name; blank form: the name, keeping the buffer's last NUL.
        const bool fits = nulSeparated ? len + 1 < left : len < left;
        if (!fits) return kTooSmall;
        std::memcpy(buffer + pos, s->name.data(), len);
        pos += len + 1;  // the terminator or separating blank is there already
    }
    return kOk;
}

uint32_t CProfile::GetAllKey(const char* section, char* buffer, size_t size,
                             bool skipEmpty, bool escapes) const {
    if (!section || !*section || !buffer || size == 0) return kBadArgument;
    std::memset(buffer, 0, size);
    const SECTION_LIST* s = main_.FindSection(section);
    if (!s) return kMissing;
    size_t pos = 0;
    std::string entry;
    for (const LINE_LIST* l = s->lines; l; l = l->next) {
        if (!l->value.empty()) {
            entry = l->key + " = " + l->value;
            std::string text = entry;
            ExpandDefined(text, escapes);
            if (text.size() < kRawValueBuffer) entry.swap(text);
        } else if (skipEmpty) {
            continue;
        } else {
            entry = l->key;
        }
        if (entry.empty()) continue;
        // The entry, its terminator and the list's final empty entry.
        if (entry.size() + 1 >= size - pos) return kTooSmall;
        std::memcpy(buffer + pos, entry.data(), entry.size());
        pos += entry.size() + 1;
    }
    return kOk;
}

// ---------------------------------------------------------------------------
// Writes

uint32_t CProfile::SetData(const char* section, const char* key, const char* text) {
    return os::WriteProfileString(section, key, text, fileName_.c_str());
}

uint32_t CProfile::SetValue(const char* section, const char* key, const char* text) {
    if (!section || !key || !text) return kBadArgument;
    if (*section && *key) return SetData(section, key, text);
    if (*section) return os::WriteProfileSection(section, "\0", fileName_.c_str());
    return kBadArgument;
}

uint32_t CProfile::WriteNumbers(const char* section, const char* key, const int32_t* values,
                                int count) {
    if (!section || !*section || !key || !*key) return kBadArgument;
    std::string text;
    char number[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, "%d", static_cast<int>(values[i]));
        if (i) text += ',';
        text += number;
    }
    return SetData(section, key, text.c_str());
}

uint32_t CProfile::SetValue(const char* section, const char* key, uint32_t value) {
    const int32_t v[] = {static_cast<int32_t>(value)};
    return WriteNumbers(section, key, v, 1);
}

uint32_t CProfile::SetValue(const char* section, const char* key, const CSize& size) {
    const int32_t v[] = {size.cx, size.cy};
    return WriteNumbers(section, key, v, 2);
}

uint32_t CProfile::SetValue(const char* section, const char* key, const CPoint& point) {
    const int32_t v[] = {point.x, point.y};
    return WriteNumbers(section, key, v, 2);
}

uint32_t CProfile::SetColour(const char* section, const char* key, uint32_t colour) {
    const int32_t v[] = {static_cast<int32_t>(colour & 0xFF),
                         static_cast<int32_t>((colour >> 8) & 0xFF),
                         static_cast<int32_t>((colour >> 16) & 0xFF)};
    return WriteNumbers(section, key, v, 3);
}

uint32_t CProfile::SetValue(const char* section, const char* key, const CRect& rect) {
    const int32_t v[] = {rect.left, rect.top, rect.right, rect.bottom};
    return WriteNumbers(section, key, v, 4);
}

uint32_t CProfile::WriteData(const char*, uint32_t, bool, uint32_t*) const { return kOk; }
