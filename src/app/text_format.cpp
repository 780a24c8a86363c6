#include "app/text_format.h"

std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& args,
                             size_t bufferSize) {
    std::string out;
    if (bufferSize == 0) return out;
    const size_t limit = bufferSize - 1;
    size_t next = 0;
    auto append = [&](const char* data, size_t size) {
        size_t room = limit - out.size();
        out.append(data, size < room ? size : room);
    };
    for (size_t i = 0; i < text.size() && out.size() < limit; ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            if (text[i + 1] == 's') {
                if (next < args.size()) append(args[next].data(), args[next].size());
                ++next;
                ++i;
                continue;
            }
            if (text[i + 1] == '%') {
                append("%", 1);
                ++i;
                continue;
            }
        }
        append(&text[i], 1);
    }
    return out;
}
