// Small system utility routines shared by the engine.
#pragma once

#include <cstdint>
#include <string>

// A number written in a profile or on the command line: decimal, or
// hexadecimal when the text holds "0X" in any case.
uint32_t HexOrDecToNumber(const std::string& text);
