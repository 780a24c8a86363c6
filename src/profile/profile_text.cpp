#include <cstring>

#include "profile/profile.h"

namespace {

enum : uint32_t {
    kOk = 0,
    kBadArgument = 87,
    kLineTooLong = 14,
    kEndOfText = 0x103,
};

// Byte classes of the cleaning pass; everything else is copied as it is.
enum : unsigned char {
    kPlain = 0,
    kBreak,  // CR or LF
    kQuote,
    kSlash,
    kLeadByte,
};

}  // namespace

void CProfile::LoadText(const char* data, size_t size, CSectionList& list) {
    // The added line break ends the last line, so it is not lost.
    std::string text;
    text.reserve(size + 2);
    if (data) text.append(data, size);
    text.append("\r\n", 2);
    std::string clean;
    ProcessData(text.data(), text.size(), clean);
    Parsing(clean.c_str(), list);
}

bool CProfile::ProcessData(const char* src, size_t length, std::string& out) {
    out.clear();
    if (!src || length == 0) return true;

    unsigned char cls[256] = {};
    for (int c = 0x80; c < 256; ++c)
        if (IsLeadByte(static_cast<unsigned char>(c))) cls[c] = kLeadByte;
    cls[static_cast<unsigned char>('\r')] = kBreak;
    cls[static_cast<unsigned char>('\n')] = kBreak;
    cls[static_cast<unsigned char>('"')] = kQuote;
    cls[static_cast<unsigned char>('/')] = kSlash;

    // A lone CR or LF grows to CR LF, nothing else grows: twice the input
    // is always enough.
    out.resize(2 * length);
    char* const base = &out[0];
    char* o = base;
    const unsigned char* const s = reinterpret_cast<const unsigned char*>(src);
    bool atLineStart = true;
    bool inQuotes = false;
    size_t i = 0;

    while (i < length) {
        // Copy a run of plain bytes at once.
        size_t j = i;
        while (j < length && cls[s[j]] == kPlain) ++j;
        if (j != i) {
            std::memcpy(o, src + i, j - i);
            o += j - i;
            atLineStart = false;
            i = j;
            if (i == length) break;
        }

        const unsigned char c = s[i];
        switch (cls[c]) {
        case kSlash:
            if (!inQuotes && i + 1 < length && s[i + 1] == '/') {
                // A line comment goes with the line breaks after it; the
                // content before it keeps its line even at the end of the
                // text, where cleaning then ends.
                j = i + 2;
                while (j < length && s[j] != '\r' && s[j] != '\n') ++j;
                while (j < length && (s[j] == '\r' || s[j] == '\n')) ++j;
                if (!atLineStart) {
                    *o++ = '\r';
                    *o++ = '\n';
                }
                if (j == length) goto done;
                atLineStart = true;
                i = j;
                continue;
            }
            if (!inQuotes && i + 1 < length && s[i + 1] == '*') {
                // Unterminated: the rest of the text is dropped.
                const char* p = src + i + 2;
                const char* const end = src + length;
                for (;;) {
                    p = static_cast<const char*>(
                        std::memchr(p, '*', static_cast<size_t>(end - p)));
                    if (!p || p + 1 >= end) goto done;
                    if (p[1] == '/') break;
                    ++p;
                }
                i = static_cast<size_t>(p + 2 - src);
                continue;
            }
            *o++ = '/';
            atLineStart = false;
            ++i;
            break;
        case kBreak:
            *o++ = '\r';
            *o++ = '\n';
            ++i;
            while (i < length && (s[i] == '\r' || s[i] == '\n')) ++i;
            atLineStart = true;
            break;
        case kQuote:
            // Never reset at a line break: an odd quote turns comment
            // removal off for the rest of the text.
            *o++ = '"';
            atLineStart = false;
            inQuotes = !inQuotes;
            ++i;
            break;
        default:  // lead byte
            *o++ = static_cast<char>(c);
            ++i;
            // Its trail byte goes with it, whatever it looks like, unless the
            // text or the line ends there.
            if (i < length && s[i] != 0 && s[i] != '\r' && s[i] != '\n')
                *o++ = static_cast<char>(s[i++]);
            atLineStart = false;
            break;
        }
    }
done:
    out.resize(static_cast<size_t>(o - base));
    return true;
}

uint32_t CProfile::ReadOneLine(const char* text, char* buffer, uint32_t* length) {
    if (!text || !buffer || !length || *length == 0) return kBadArgument;
    static const struct StopTable {
        bool stop[256] = {};
        StopTable() { stop[0] = stop[0x0D] = stop[0x0A] = true; }
    } table;

    const size_t avail = *length;
    size_t i = 0;
    size_t n = 0, consumed = 0;
    for (;;) {
        while (i + 1 < avail && !table.stop[static_cast<unsigned char>(text[i])]) ++i;
        const char c = text[i];
        if (c == '\0') return kEndOfText;
        if (c == '\n') {
            n = i;
            consumed = i + 1;
            break;
        }
        if (c == '\r' && text[i + 1] == '\n') {
            n = i;
            consumed = i + 2;
            break;
        }
        // One more byte of content would not leave room for the terminator.
        if (i + 1 >= avail) return kLineTooLong;
        ++i;  // a lone CR is content
    }

    size_t b = 0;
    while (b < n && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (n > b && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
    std::memcpy(buffer, text + b, n - b);
    buffer[n - b] = '\0';
    *length = static_cast<uint32_t>(consumed);
    return kOk;
}

bool CProfile::IsSection(const char* line) {
    if (!line || line[0] != '[') return false;
    const size_t n = std::strlen(line);
    if (n < 2 || line[n - 1] != ']') return false;
    // The "]" must be a character of its own, not the trail of a lead byte.
    if (!IsLeadByte(static_cast<unsigned char>(line[n - 2]))) return true;
    size_t i = 0;
    while (i < n - 1) i += IsLeadByte(static_cast<unsigned char>(line[i])) ? 2 : 1;
    return i == n - 1;
}

bool CProfile::Parsing(const char* text, CSectionList& list) {
    if (!text) return true;
    char line[kMaxLine + 1];
    // Lines before the first header have no section and are dropped.
    SECTION_LIST* current = nullptr;
    for (;;) {
        uint32_t length = sizeof line;
        if (ReadOneLine(text, line, &length) != kOk) break;
        text += length;
        if (IsSection(line))
            current = list.AddSection(line);
        else if (current)
            list.AddLine(current, line, false);
    }
    return true;
}
