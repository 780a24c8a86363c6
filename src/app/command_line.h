// The installer's command line: switches after "/" or "-", a letter each.
#pragma once

#include <string>
#include <vector>

// Size of the buffer the parameters are copied into.
constexpr size_t kCommandLineBuffer = 16384;

struct CommandSwitch {
    char letter;        // upper case
    std::string value;  // for A, L and P trimmed of blanks, tabs and double quotes on both sides
};

// Cuts the parameters (the text after the program name, first cut to 16383
// bytes) into switches. "/" and "-" separate them, except inside the value of
// A (a path) or P (a port, address or shared printer path): that runs to the
// end or to a blank followed by "/" or "-", and a double-quoted part is
// taken whole, so a path such as E:\My-Docs stays one value.
std::vector<CommandSwitch> SplitCommandLine(const std::string& parameters);

struct ParsedCommandLine {
    int setupType = 1;  // 1 install, 2 uninstall, 3 reinstall, 6 delete all
    bool silent = false;
    // The A, L and P switches in order of appearance; the application
    // applies them (destination, language, port).
    std::vector<CommandSwitch> effects;
};

// D, R and U set the setup type (the last one wins), S the silent flag;
// unknown letters are ignored.
ParsedCommandLine InterpretSwitches(const std::vector<CommandSwitch>& switches);

// The parameters of a whole Windows command line: the text after the
// program name (quoted or up to the first blank) and the blanks after it.
std::string ParametersOf(const std::string& commandLine);
