// Fills "%s" placeholders of texts that come from profiles (messages,
// descriptions, formats) without handing them to a printf-family formatter.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Each "%s" takes the next argument (empty once they run out), "%%" becomes
// "%", any other "%" sequence is copied as it is. The result is cut to
// bufferSize - 1 bytes, as the fixed buffer it stands for.
std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& args,
                             size_t bufferSize = 16384);
