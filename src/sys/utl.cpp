#include "sys/utl.h"

#include "profile/profile.h"

uint32_t HexOrDecToNumber(const std::string& text) { return CProfile::StringToDword(text.c_str()); }
