#include "profile/section_list.h"

#include <cstring>
#include <new>

// ---------------------------------------------------------------------------
// Code page

namespace {

uint32_t g_codePage = 1252;
bool g_dbcs = false;
bool g_lead[256] = {};

inline bool Lead(unsigned char c) { return g_lead[c]; }

inline unsigned char FoldByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

// 2 for a lead byte that has a trail byte within n, else 1.
inline size_t CharWidth(const char* s, size_t i, size_t n) {
    return (Lead(static_cast<unsigned char>(s[i])) && i + 1 < n) ? 2 : 1;
}

// Longest prefix of at most max bytes that does not split a character.
size_t CutLength(const char* s, size_t n, size_t max) {
    if (n <= max) return n;
    if (!g_dbcs) return max;
    size_t i = 0;
    while (i < max) {
        size_t w = CharWidth(s, i, n);
        if (i + w > max) break;
        i += w;
    }
    return i;
}

inline bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }
inline bool IsNameLeftTrim(unsigned char c) { return IsBlank(c) || c == '"' || c == '['; }
inline bool IsNameRightTrim(unsigned char c) { return IsBlank(c) || c == '"' || c == ']'; }

// Length of s once the trailing single-byte characters that drop() accepts
// are removed. A trail byte that happens to equal one of them stays.
template <typename Pred>
size_t TrimRight(const char* s, size_t n, Pred drop) {
    if (!g_dbcs) {
        while (n > 0 && drop(static_cast<unsigned char>(s[n - 1]))) --n;
        return n;
    }
    size_t i = 0, keep = 0;
    while (i < n) {
        size_t w = CharWidth(s, i, n);
        if (w == 2 || !drop(static_cast<unsigned char>(s[i]))) keep = i + w;
        i += w;
    }
    return keep;
}

std::string_view TrimBlanks(const char* s, size_t n) {
    size_t b = 0;
    while (b < n && IsBlank(static_cast<unsigned char>(s[b]))) ++b;
    while (n > b && IsBlank(static_cast<unsigned char>(s[n - 1]))) --n;
    return std::string_view(s + b, n - b);
}

// A section name as it is stored and looked up: quotes, brackets and blanks
// trimmed, cut to the field. Normalizing a stored name gives it back.
std::string_view NormalizeName(const char* name) {
    size_t n = std::strlen(name);
    size_t b = 0;
    while (b < n && IsNameLeftTrim(static_cast<unsigned char>(name[b]))) ++b;
    const char* s = name + b;
    n = TrimRight(s, n - b, IsNameRightTrim);
    if (n > kMaxSectionName)
        n = TrimRight(s, CutLength(s, n, kMaxSectionName), IsNameRightTrim);
    return std::string_view(s, n);
}

// Keys are cut the same way when stored and when looked up, so that any
// key that went in can be found with the same text.
inline std::string_view CutKey(std::string_view key) {
    return key.substr(0, CutLength(key.data(), key.size(), kMaxKey));
}

inline std::string_view CutValue(std::string_view value) {
    return value.substr(0, CutLength(value.data(), value.size(), kMaxValue));
}

}  // namespace

void SetProfileCodePage(uint32_t codePage) {
    g_codePage = codePage;
    for (int c = 0; c < 256; ++c) {
        bool lead = false;
        switch (codePage) {
        case 932:
            lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
            break;
        case 936:
        case 949:
        case 950:
            lead = c >= 0x81 && c <= 0xFE;
            break;
        default:
            break;
        }
        g_lead[c] = lead;
    }
    g_dbcs = codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

uint32_t GetProfileCodePage() { return g_codePage; }

bool IsLeadByte(unsigned char c) { return Lead(c); }

bool ProfileEqualNoCase(const char* a, size_t alen, const char* b, size_t blen) {
    if (alen != blen) return false;
    for (size_t i = 0; i < alen;) {
        if (CharWidth(a, i, alen) == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            i += 2;
        } else {
            if (FoldByte(static_cast<unsigned char>(a[i])) !=
                FoldByte(static_cast<unsigned char>(b[i])))
                return false;
            ++i;
        }
    }
    return true;
}

std::string ProfileFold(const char* s, size_t len) {
    std::string out(s, len);
    for (size_t i = 0; i < len;) {
        if (CharWidth(s, i, len) == 2) {
            i += 2;
        } else {
            out[i] = static_cast<char>(FoldByte(static_cast<unsigned char>(s[i])));
            ++i;
        }
    }
    return out;
}

size_t CSectionList::NameHash::operator()(std::string_view s) const noexcept {
    // FNV-1a over the folded bytes: equal names under NameEqual hash alike.
    uint64_t h = 14695981039346656037ull;
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
        if (CharWidth(s.data(), i, n) == 2) {
            h = (h ^ static_cast<unsigned char>(s[i])) * 1099511628211ull;
            h = (h ^ static_cast<unsigned char>(s[i + 1])) * 1099511628211ull;
            i += 2;
        } else {
            h = (h ^ FoldByte(static_cast<unsigned char>(s[i]))) * 1099511628211ull;
            ++i;
        }
    }
    return static_cast<size_t>(h ^ (h >> 32));
}

bool CSectionList::NameEqual::operator()(std::string_view a,
                                         std::string_view b) const noexcept {
    return ProfileEqualNoCase(a.data(), a.size(), b.data(), b.size());
}

// ---------------------------------------------------------------------------
// Section list

CSectionList::~CSectionList() { ClearAll(); }

SECTION_LIST* CSectionList::FindNormalized(std::string_view name) const {
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : it->second;
}

SECTION_LIST* CSectionList::FindSection(const char* name) const {
    if (!name) return head_;
    return FindNormalized(NormalizeName(name));
}

SECTION_LIST* CSectionList::AddSection(const char* name, const char* insertAfter) {
    if (!name || !*name) return nullptr;
    std::string_view n = NormalizeName(name);
    if (SECTION_LIST* existing = FindNormalized(n)) return existing;
    // Looked up before the new node is indexed: it can never follow itself.
    SECTION_LIST* after = insertAfter ? FindSection(insertAfter) : nullptr;

    SECTION_LIST* s = new (std::nothrow) SECTION_LIST;
    if (!s) return nullptr;
    try {
        s->name.assign(n.data(), n.size());
        index_.emplace(std::string_view(s->name), s);
    } catch (const std::bad_alloc&) {
        delete s;
        return nullptr;
    }

    if (!after) after = tail_;
    s->prev = after;
    if (after) {
        s->next = after->next;
        if (after->next)
            after->next->prev = s;
        else
            tail_ = s;
        after->next = s;
    } else {
        head_ = tail_ = s;
    }
    return s;
}

LINE_LIST* CSectionList::AddLine(const char* section, const char* text, bool replace,
                                 const char* insertAfterKey) {
    if (!section || !*section || !text || !*text) return nullptr;
    SECTION_LIST* s = FindSection(section);
    if (!s) return nullptr;
    return AddLine(s, text, replace, insertAfterKey);
}

LINE_LIST* CSectionList::AddLine(SECTION_LIST* section, const char* text, bool replace,
                                 const char* insertAfterKey) {
    if (!section || !text || !*text) return nullptr;
    const size_t n = std::strlen(text);
    std::string_view key, value;
    if (const char* eq = static_cast<const char*>(std::memchr(text, '=', n))) {
        key = TrimBlanks(text, static_cast<size_t>(eq - text));
        value = TrimBlanks(eq + 1, n - static_cast<size_t>(eq - text) - 1);
    } else {
        key = std::string_view(text, n);
    }
    key = CutKey(key);
    value = CutValue(value);

    if (replace) {
        if (LINE_LIST* l = FindKeyCut(section, key, 0)) {
            try {
                l->value.assign(value.data(), value.size());
            } catch (const std::bad_alloc&) {
                return nullptr;
            }
            return l;
        }
    }
    LINE_LIST* after = insertAfterKey ? FindKey(section, insertAfterKey, 0) : nullptr;

    LINE_LIST* l = new (std::nothrow) LINE_LIST;
    if (!l) return nullptr;
    try {
        l->key.assign(key.data(), key.size());
        l->value.assign(value.data(), value.size());
    } catch (const std::bad_alloc&) {
        delete l;
        return nullptr;
    }

    l->section = section;
    if (!after) after = section->last;
    l->prev = after;
    if (after) {
        l->next = after->next;
        if (after->next)
            after->next->prev = l;
        else
            section->last = l;
        after->next = l;
    } else {
        section->lines = section->last = l;
    }
    return l;
}

LINE_LIST* CSectionList::FindKeyCut(const SECTION_LIST* section, std::string_view key,
                                    int index) const {
    if (!section || key.empty() || index < 0) return nullptr;
    int seen = 0;
    for (LINE_LIST* l = section->lines; l; l = l->next) {
        if (ProfileEqualNoCase(l->key.data(), l->key.size(), key.data(), key.size())) {
            if (seen == index) return l;
            ++seen;
        }
    }
    return nullptr;
}

LINE_LIST* CSectionList::FindKey(const SECTION_LIST* section, const char* key,
                                 int index) const {
    if (!key) return nullptr;
    return FindKeyCut(section, CutKey(key), index);
}

LINE_LIST* CSectionList::FindKey(const SECTION_LIST* section, int index) const {
    if (!section || index < 0) return nullptr;
    LINE_LIST* l = section->lines;
    for (int i = 0; l && i < index; ++i) l = l->next;
    return l;
}

bool CSectionList::GetValue(const char* section, const char* key, char* buffer,
                            size_t size, int index) const {
    if (!section || !buffer) return false;
    const LINE_LIST* l = FindKey(FindSection(section), key, index);
    if (!l) return false;
    // At most size bytes: a value that fills the buffer is not terminated.
    size_t n = l->value.size() < size ? l->value.size() : size;
    std::memcpy(buffer, l->value.data(), n);
    std::memset(buffer + n, 0, size - n);
    return true;
}

bool CSectionList::SetValue(const char* section, const char* key, const char* value,
                            int index) {
    if (!section || !key) return true;
    if (!value) value = "";
    SECTION_LIST* s = FindSection(section);
    if (!s) s = AddSection(section);
    if (!s) return true;
    if (LINE_LIST* l = FindKey(s, key, index)) {
        std::string_view v = CutValue(value);
        try {
            l->value.assign(v.data(), v.size());
        } catch (const std::bad_alloc&) {
        }
        return true;
    }
    try {
        std::string text(key);
        if (*value) {
            text += " = ";
            text += value;
        }
        AddLine(s, text.c_str(), true);
    } catch (const std::bad_alloc&) {
    }
    return true;
}

void CSectionList::Unlink(SECTION_LIST* s) {
    if (s->prev)
        s->prev->next = s->next;
    else
        head_ = s->next;
    if (s->next)
        s->next->prev = s->prev;
    else
        tail_ = s->prev;
    s->prev = s->next = nullptr;
}

void CSectionList::FreeLines(LINE_LIST* first) {
    while (first) {
        LINE_LIST* next = first->next;
        delete first;
        first = next;
    }
}

bool CSectionList::DeleteSection(const char* name) {
    if (!name) return false;
    SECTION_LIST* s = FindSection(name);
    if (!s) return false;
    index_.erase(std::string_view(s->name));
    Unlink(s);
    FreeLines(s->lines);
    delete s;
    return true;
}

bool CSectionList::DeleteLine(const char* section, const char* key) {
    if (!section) return false;
    SECTION_LIST* s = FindSection(section);
    LINE_LIST* l = FindKey(s, key, 0);
    if (!l) return false;
    if (l->prev)
        l->prev->next = l->next;
    else
        s->lines = l->next;
    if (l->next)
        l->next->prev = l->prev;
    else
        s->last = l->prev;
    delete l;
    return true;
}

bool CSectionList::DeleteAllLines(const char* section) {
    if (!section) return false;
    SECTION_LIST* s = FindSection(section);
    if (!s) return false;
    FreeLines(s->lines);
    s->lines = s->last = nullptr;
    return true;
}

void CSectionList::DeleteLineList(LINE_LIST* first) {
    if (!first) return;
    if (SECTION_LIST* s = first->section) {
        if (first->prev) {
            first->prev->next = nullptr;
            s->last = first->prev;
        } else if (s->lines == first) {
            s->lines = s->last = nullptr;
        }
    } else if (first->prev) {
        first->prev->next = nullptr;
    }
    FreeLines(first);
}

void CSectionList::DeleteSectionList(SECTION_LIST* first) {
    if (!first) return;
    if (first->prev) {
        first->prev->next = nullptr;
        tail_ = first->prev;
    } else {
        head_ = tail_ = nullptr;
    }
    while (first) {
        SECTION_LIST* next = first->next;
        index_.erase(std::string_view(first->name));
        FreeLines(first->lines);
        delete first;
        first = next;
    }
}

void CSectionList::ClearAll() {
    index_.clear();
    DeleteSectionList(head_);
}

uint32_t CSectionList::GetAllKey(const char* section, char* buffer, uint32_t* size,
                                 uint32_t* count) const {
    if (!section || !*section || !buffer || !size) return 87;
    const uint32_t space = *size;
    std::memset(buffer, 0, space);
    if (count) *count = 0;
    const SECTION_LIST* s = FindSection(section);
    if (!s) return 13;

    uint64_t total = 0;
    uint32_t copied = 0;
    uint32_t result = 0;
    for (const LINE_LIST* l = s->lines; l; l = l->next) {
        const uint64_t at = total;
        total += l->key.size() + 1;
        if (result != 0) continue;
        // Strictly below: the place after the last key holds the final
        // empty string.
        if (total < space) {
            std::memcpy(buffer + at, l->key.c_str(), l->key.size() + 1);
            ++copied;
        } else {
            std::memset(buffer, 0, space);
            result = 14;
        }
    }
    if (count) *count = copied;
    *size = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
    return result;
}

namespace {

template <typename Emit>
void EmitSection(const SECTION_LIST* section, Emit emit) {
    emit("[", 1);
    emit(section->name.data(), section->name.size());
    emit("]\r\n", 3);
    for (const LINE_LIST* l = section->lines; l; l = l->next) {
        emit(l->key.data(), l->key.size());
        if (!l->value.empty()) {
            emit(" = ", 3);
            emit(l->value.data(), l->value.size());
        }
        emit("\r\n", 2);
    }
    emit("\r\n", 2);
}

}  // namespace

void CSectionList::WriteSection(CTextSink& file, const SECTION_LIST* section) const {
    if (!section) return;
    // One write per section; without memory for that, one per piece.
    std::string text;
    try {
        EmitSection(section, [&text](const char* p, size_t n) { text.append(p, n); });
    } catch (const std::bad_alloc&) {
        EmitSection(section, [&file](const char* p, size_t n) { file.Write(p, n); });
        return;
    }
    file.Write(text.data(), text.size());
}

uint32_t CSectionList::SaveFile(CTextSink& file) const {
    for (const SECTION_LIST* s = head_; s; s = s->next) WriteSection(file, s);
    return 0;
}
