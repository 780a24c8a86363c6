// One loaded profile. This header holds the text loader; typed access and
// defined strings grow on top of it.
#pragma once

#include <cstdint>
#include <string>

#include "profile/section_list.h"

class CProfile {
public:
    CProfile() = default;
    virtual ~CProfile() = default;
    CProfile(const CProfile&) = delete;
    CProfile& operator=(const CProfile&) = delete;

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
};
