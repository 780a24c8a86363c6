// One loaded profile: the section list of its main file, a second list of
// defined strings ("%NAME%" tokens, section STRINGS) from a companion file,
// and typed access to both. Results are Windows error numbers: 0, 13 for a
// missing section or key, 14 for a buffer that is too small, 87 for a
// missing or empty argument, or the platform's code.
#pragma once

#include <cstdint>
#include <string>

#include "profile/export.h"
#include "profile/section_list.h"

// Composite values of a profile: comma-separated numbers.
struct CSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

struct CPoint {
    int32_t x = 0;
    int32_t y = 0;
};

struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Longest prefix of s (n bytes) of at most max bytes that does not split a
// double-byte character of the profile code page.
size_t ProfileCutLength(const char* s, size_t n, size_t max);
// Cuts text to at most max bytes the same way.
void ProfileCut(std::string& text, size_t max);

// Room for a file name: 519 bytes and the terminator.
constexpr size_t kMaxProfileFileName = 519;
// Size of the buffer a raw value is read into for numbers and entries.
constexpr size_t kRawValueBuffer = 32768;
// Defined strings stop expanding after this many replacements, or when the
// text would reach kRawValueBuffer bytes: a token that refers to itself
// (directly or through others) ends there instead of looping.
constexpr int kMaxDefinedReplacements = 1000;

class SETUP_EXPORT CProfile {
public:
    CProfile() = default;
    CProfile(const char* mainFile, const char* definesFile) { Create(mainFile, definesFile); }
    virtual ~CProfile() = default;
    CProfile(const CProfile&) = delete;
    CProfile& operator=(const CProfile&) = delete;

    // Loads the main file and, only when that worked, the defines file.
    // Always 0: load errors show in IsLoaded() and IsDefinesLoaded().
    uint32_t Create(const char* mainFile, const char* definesFile, bool unused = false);
    // Clears both flags and both lists, then Create. The file name stays
    // until a main file loads again.
    uint32_t Reload(const char* mainFile, const char* definesFile);

    // First line of the key, defined strings expanded ("\r", "\n" turned
    // into line breaks when escapes is set). 13 when the key does not exist
    // (buffer untouched), else 0. The buffer always ends with a NUL: a value
    // of size bytes or more is cut to size - 1; an expansion that does not
    // fit leaves the unexpanded value.
    uint32_t GetString(const char* section, const char* key, char* buffer, size_t size,
                       bool escapes = false) const;
    // The same into a string: what the buffer of size bytes would hold.
    uint32_t GetString(const char* section, const char* key, std::string& out,
                       size_t size = 16384, bool escapes = false) const;
    // A number (StringToDword of the raw value). 0, or 13.
    uint32_t GetDword(const char* section, const char* key, uint32_t* value) const;
    // "width,height": 0; 13 missing key; 87 bad argument or one number only.
    uint32_t GetControl(const char* section, const char* key, CSize* size) const;
    // "x,y": 0, or 87 for every failure, a missing key included.
    uint32_t GetControl(const char* section, const char* key, CPoint* point) const;
    // "red,green,blue" as red + 256 green + 65536 blue, each cut to 8 bits:
    // 0; 13 missing key; 87 bad argument or fewer than three numbers.
    uint32_t GetControl(const char* section, const char* key, uint32_t* colour) const;
    // "left,top,right,bottom": 0, or 87 for every failure.
    uint32_t GetControl(const char* section, const char* key, CRect* rect) const;
    // Parts of a composite value are the texts between commas; an empty
    // part reads as 0, a part missing after the last comma is a failure.

    // Every section name, in file order. nulSeparated: each name ended by
    // NUL and the list by an empty name; otherwise the buffer is filled with
    // blanks, ends with NUL, and the names are separated by one blank.
    // 0; 13 no section; 14 a name (with what must follow it) does not fit;
    // 87 no buffer.
    uint32_t GetSectionName(char* buffer, size_t size, bool nulSeparated) const;
    // The section's lines as "key = value" (defined strings and escapes
    // expanded) or the key alone for a line without value (left out when
    // skipEmpty), each ended by NUL, the list by an empty entry.
    // 0; 13 no section; 14 an entry does not fit; 87 bad argument.
    // escapes: "\r" and "\n" in the entries become line breaks (the string
    // file's texts); a command or configure profile keeps its paths intact.
    uint32_t GetAllKey(const char* section, char* buffer, size_t size, bool skipEmpty,
                       bool escapes = true) const;

    // Writes go to the main file through the platform's INI writer; the
    // loaded lists keep the old values until Reload. A text with an empty
    // key empties the section. Results: the writer's code, 87 for a missing
    // argument (and for an empty section or, in the number forms, key).
    uint32_t SetValue(const char* section, const char* key, const char* text);
    // Written as "%d" (a signed number).
    uint32_t SetValue(const char* section, const char* key, uint32_t value);
    uint32_t SetValue(const char* section, const char* key, const CSize& size);    // "cx,cy"
    uint32_t SetValue(const char* section, const char* key, const CPoint& point);  // "x,y"
    uint32_t SetValue(const char* section, const char* key, const CRect& rect);
    // The colour form ("red,green,blue"); named apart from the number form,
    // whose argument is also 32 bits.
    uint32_t SetColour(const char* section, const char* key, uint32_t colour);
    // Kept for callers of the old interface: does nothing, answers 0.
    uint32_t WriteData(const char* fileName, uint32_t offset, bool flag,
                       uint32_t* position) const;

    bool IsLoaded() const { return loaded_; }
    bool IsDefinesLoaded() const { return definesLoaded_; }
    // The main file as given to the last successful Create, cut to
    // kMaxProfileFileName bytes; empty when no main file ever loaded.
    const std::string& FileName() const { return fileName_; }
    const CSectionList& MainList() const { return main_; }

    // Cleans and parses an in-memory profile text into list (steps 5-7 of
    // LoadFile). Used by LoadFile and by readers of our own text files whose
    // bytes do not come through the platform's file API.
    static void LoadText(const char* data, size_t size, CSectionList& list);

    // Windows error number: 87 for an absent or empty name, else the
    // platform's code for open/size/read failures, else 0.
    static uint32_t LoadFile(const char* fileName, CSectionList& list);

    // The cleaning pass: comments removed, line breaks normalized to CR LF.
    // Writes into out (resized as needed); returns true.
    static bool ProcessData(const char* src, size_t length, std::string& out);
    // Cuts cleaned text into lines and builds the list; returns true.
    static bool Parsing(const char* text, CSectionList& list);
    // One line of cleaned text into buffer (available length in/out).
    // 87 bad argument, 0x103 end of text, 14 line too long, 0 otherwise;
    // on 0 length receives the bytes consumed (line breaks included).
    static uint32_t ReadOneLine(const char* text, char* buffer, uint32_t* length);
    static bool IsSection(const char* line);

    // Decimal, or hexadecimal when the text holds "0X" in any case: every
    // "0X" removed, the last eight characters read as digits from the last
    // one, "A"-"F" as 10-15 and any other non-digit as 0.
    static uint32_t StringToDword(const char* text);

protected:
    // Value of a defined token (quotes trimmed from both ends): the defines
    // file first, then the main file's STRINGS. 0, 13, or 87.
    uint32_t GetStringValue(const char* token, char* buffer, size_t size) const;
    // Expands the defined tokens of the NUL-terminated text in buffer. The
    // result replaces the text only when it is shorter than size (14
    // otherwise); the answer is then the code of the last lookup. 87 for no
    // buffer, no size or an empty text.
    uint32_t ConvertDefinedString(char* buffer, size_t size, bool escapes) const;
    uint32_t SetData(const char* section, const char* key, const char* text);

private:
    // The value of a defined token, or null.
    const std::string* FindDefined(const char* token, size_t length) const;
    // Expands text in place (steps 1-6 of ConvertDefinedString); answers
    // the code of the last lookup.
    uint32_t ExpandDefined(std::string& text, bool escapes) const;
    const LINE_LIST* FirstLine(const char* section, const char* key) const;
    uint32_t WriteNumbers(const char* section, const char* key, const int32_t* values,
                          int count);

    CSectionList main_;
    CSectionList defines_;
    bool loaded_ = false;
    bool definesLoaded_ = false;
    std::string fileName_;
};
