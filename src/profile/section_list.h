// Parsed content of one profile file: sections in file order, each with its
// key lines in file order. Lookups are case-insensitive (ANSI code page,
// lead bytes of a double-byte code page are never case-folded).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>

#include "profile/export.h"

struct SECTION_LIST;

// Limits of the profile format: what a node field can hold.
constexpr size_t kMaxSectionName = 255;
constexpr size_t kMaxKey = 255;
constexpr size_t kMaxValue = 4095;
constexpr size_t kMaxLine = 4095;

struct LINE_LIST {
    int32_t kind = 0;  // 0: line node
    SECTION_LIST* section = nullptr;
    LINE_LIST* prev = nullptr;
    LINE_LIST* next = nullptr;
    std::string value;  // at most kMaxValue bytes; empty for a line without "="
    std::string key;    // at most kMaxKey bytes
};

struct SECTION_LIST {
    int32_t kind = 1;  // 1: section node
    SECTION_LIST* prev = nullptr;
    SECTION_LIST* next = nullptr;
    LINE_LIST* lines = nullptr;
    int32_t reserved = 0;
    std::string name;  // without brackets, at most kMaxSectionName bytes
    LINE_LIST* last = nullptr;  // tail of lines, for appending in O(1)
};

// Sink for SaveFile/WriteSection: the platform's open file, or a string in
// tests. Write errors are ignored by the writers.
class CTextSink {
public:
    virtual ~CTextSink() = default;
    virtual void Write(const char* data, size_t len) = 0;
};

class SETUP_EXPORT CSectionList {
public:
    CSectionList() = default;
    virtual ~CSectionList();
    CSectionList(const CSectionList&) = delete;
    CSectionList& operator=(const CSectionList&) = delete;

    SECTION_LIST* AddSection(const char* name, const char* insertAfter = nullptr);
    LINE_LIST* AddLine(const char* section, const char* text, bool replace,
                       const char* insertAfterKey = nullptr);
    LINE_LIST* AddLine(SECTION_LIST* section, const char* text, bool replace,
                       const char* insertAfterKey = nullptr);
    // null name: the first section (the list head).
    SECTION_LIST* FindSection(const char* name) const;
    LINE_LIST* FindKey(const SECTION_LIST* section, const char* key, int index) const;
    LINE_LIST* FindKey(const SECTION_LIST* section, int index) const;
    // Copies at most size bytes; the rest of the buffer is zero-filled.
    bool GetValue(const char* section, const char* key, char* buffer, size_t size,
                  int index) const;
    bool SetValue(const char* section, const char* key, const char* value, int index);
    bool DeleteSection(const char* name);
    bool DeleteLine(const char* section, const char* key);
    bool DeleteAllLines(const char* section);
    // Windows error number: 87, 13, 14 or 0.
    uint32_t GetAllKey(const char* section, char* buffer, uint32_t* size,
                       uint32_t* count) const;
    uint32_t SaveFile(CTextSink& file) const;
    void WriteSection(CTextSink& file, const SECTION_LIST* section) const;
    void ClearAll();
    void Delete() { ClearAll(); }
    void DeleteLineList(LINE_LIST* first);

    SECTION_LIST* head() const { return head_; }
    size_t SectionCount() const { return index_.size(); }

private:
    // Hash and equality of the case-insensitive comparison, so that a
    // lookup needs no folded copy of the name.
    struct NameHash {
        size_t operator()(std::string_view s) const noexcept;
    };
    struct NameEqual {
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };

    void DeleteSectionList(SECTION_LIST* first);
    void Unlink(SECTION_LIST* s);
    void FreeLines(LINE_LIST* first);
    SECTION_LIST* FindNormalized(std::string_view name) const;
    LINE_LIST* FindKeyCut(const SECTION_LIST* section, std::string_view key,
                          int index) const;

    SECTION_LIST* head_ = nullptr;
    SECTION_LIST* tail_ = nullptr;
    // Section name (a view of the node's own name) -> node. Names are
    // unique, so this answers exactly what a scan in file order would.
    // The code page must not change while sections are indexed.
    std::unordered_map<std::string_view, SECTION_LIST*, NameHash, NameEqual> index_;
};

// ANSI code page used for case folding and for telling lead bytes; 1252
// unless the platform says otherwise at start.
void SetProfileCodePage(uint32_t codePage);
uint32_t GetProfileCodePage();
bool IsLeadByte(unsigned char c);
// Case-insensitive equality in the profile code page.
bool ProfileEqualNoCase(const char* a, size_t alen, const char* b, size_t blen);
// The folded form used by the index (same equality as ProfileEqualNoCase).
std::string ProfileFold(const char* s, size_t len);
