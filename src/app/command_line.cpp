#include "app/command_line.h"

namespace {

bool IsDelimiter(char c) { return c == '/' || c == '-'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Trim(const std::string& text) {
    const char* kTrim = " \t\"";
    size_t first = text.find_first_not_of(kTrim);
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(kTrim);
    return text.substr(first, last - first + 1);
}

// End of a path-like value starting at pos: the end of the text or a blank
// followed by a delimiter, outside double quotes.
size_t PathValueEnd(const std::string& text, size_t pos) {
    bool quoted = false;
    for (size_t i = pos; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && IsBlank(text[i]) && i + 1 < text.size() && IsDelimiter(text[i + 1])) {
            return i;
        }
    }
    return text.size();
}

}  // namespace

std::vector<CommandSwitch> SplitCommandLine(const std::string& parameters) {
    // The buffer is a C string: it ends at a NUL or at its size.
    std::string text = parameters.substr(0, parameters.find('\0'));
    if (text.size() > kCommandLineBuffer - 1) text.resize(kCommandLineBuffer - 1);
    std::vector<CommandSwitch> switches;
    size_t pos = 0;
    while (true) {
        // Consecutive delimiters give no empty switch.
        while (pos < text.size() && IsDelimiter(text[pos])) ++pos;
        if (pos >= text.size()) break;
        const char letter = Upper(text[pos]);
        size_t end;
        if (letter == 'A' || letter == 'P') {
            end = PathValueEnd(text, pos + 1);
        } else {
            end = text.find_first_of("/-", pos + 1);
            if (end == std::string::npos) end = text.size();
        }
        std::string value = text.substr(pos + 1, end - pos - 1);
        if (letter == 'A' || letter == 'L' || letter == 'P') value = Trim(value);
        switches.push_back(CommandSwitch{letter, std::move(value)});
        // A path value ends on the blank before the next delimiter.
        pos = (end < text.size() && IsBlank(text[end])) ? end + 1 : end;
    }
    return switches;
}

ParsedCommandLine InterpretSwitches(const std::vector<CommandSwitch>& switches) {
    ParsedCommandLine parsed;
    for (const CommandSwitch& s : switches) {
        switch (s.letter) {
            case 'D': parsed.setupType = 6; break;
            case 'R': parsed.setupType = 3; break;
            case 'U': parsed.setupType = 2; break;
            case 'S': parsed.silent = true; break;
            case 'A':
            case 'L':
            case 'P': parsed.effects.push_back(s); break;
            default: break;
        }
    }
    return parsed;
}

std::string ParametersOf(const std::string& commandLine) {
    size_t pos = 0;
    const size_t size = commandLine.size();
    if (pos < size && commandLine[pos] == '"') {
        ++pos;
        while (pos < size && commandLine[pos] != '"') ++pos;
        if (pos < size) ++pos;
    } else {
        while (pos < size && static_cast<unsigned char>(commandLine[pos]) > ' ') ++pos;
    }
    while (pos < size && commandLine[pos] != '\0' && static_cast<unsigned char>(commandLine[pos]) <= ' ')
        ++pos;
    return commandLine.substr(pos);
}
