// Macro variables of profile values and profile paths made absolute.
#include <cstdio>
#include <string>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "platform/os.h"

namespace {

// A profile text buffer holds 16383 bytes and its terminator.
constexpr size_t kTextLimit = 16383;

// Replaces every occurrence of name in one pass, left to right; inserted
// values are not scanned again. The text never grows past the limit.
void ReplaceAll(std::string& text, const std::string& name, const std::string& value) {
    size_t hit = text.find(name);
    if (hit == std::string::npos) return;
    std::string out;
    size_t from = 0;
    while (hit != std::string::npos && out.size() < kTextLimit) {
        out.append(text, from, hit - from);
        out.append(value);
        from = hit + name.size();
        hit = text.find(name, from);
    }
    if (out.size() < kTextLimit) out.append(text, from, std::string::npos);
    if (out.size() > kTextLimit) out.resize(kTextLimit);
    text.swap(out);
}

std::string Hex4(uint16_t id) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(id));
    return buffer;
}

}  // namespace

std::string CGlobalVar::ExpandMacros(const std::string& text, uint16_t languageId,
                                     const std::string& abbreviation,
                                     const std::string& directory) const {
    std::string result = text.substr(0, kTextLimit);
    if (result.find('$') == std::string::npos) return result;

    // The order is part of the behaviour: a later row also replaces its name
    // inside values inserted by earlier rows.
    const std::pair<const char*, std::string> table[] = {
        {"$LANG_ABBR$", abbreviation.empty() ? language.abbreviation : abbreviation},
        {"$ORG_LANG_ABBR$", language.requestedAbbreviation},
        {"$SRC_DIR$", sourceDir},
        {"$DEST_DIR$", target.destination},
        {"$DEST_INST_DIR$", target.destinationInstallDir},
        {"$WIN_DIR$", dirs.windowsDir},
        {"$SYS_DIR$", dirs.systemDir},
        {"$INF_DIR$", dirs.windowsDir + "\\Inf"},
        {"$OS_DIR$", target.osDir},
        {"$PROGRAM_FILES_DIR$", dirs.programFilesDir},
        {"$LANG_DIR$", directory.empty() ? language.directory : directory},
        {"$ORG_LANG_DIR$", language.requestedDirectory},
        {"$DATA_FILE$", profiles.dataFile},
        {"$CONFIG_FILE$", profiles.configureFile},
        {"$STRING_FILE$", profiles.stringFile},
        {"$VERSION$", version},
        {"$INSTALLER_EXE$", installerFileName},
        {"$IP$", target.ip},
        {"$STRING_FILE_NAME$", profiles.stringFileName},
        {"$PORT$", target.port},
        {"$LCID$", Hex4(languageId != 0 ? languageId : language.languageId)},
        {"$ORG_LCID$", Hex4(language.requestedLanguageId)},
        {"$BOOL_INSTALLED$", target.installedBefore ? "1" : "0"},
        {"$BOOL_!INSTALLED$", target.installedBefore ? "0" : "1"},
    };
    for (const auto& row : table) ReplaceAll(result, row.first, row.second);
    return result;
}

std::string CGlobalVar::ResolvePath(const std::string& path, bool checkExists) const {
    const std::string& source = sourceDir;
    std::string result;
    if (path.size() == 2 && path[1] == ':') {
        result = path;  // a drive
    } else if (path.size() >= 3 && path.compare(1, 2, ":\\") == 0) {
        result = path;  // drive and root
    } else if (path.compare(0, 2, "\\\\") == 0) {
        result = path;  // a network path
    } else if (path.compare(0, 9, "$SRC_DIR$") == 0) {
        result = path;  // anchored at the source directory already
    } else if (path.compare(0, 2, "..") == 0) {
        size_t cut = source.rfind('\\');
        result = source.substr(0, cut) + path.substr(2);
    } else if (!path.empty() && path[0] == '.') {
        result = source + path.substr(1);
    } else {
        result = source + "\\" + path;
    }
    ReplaceAll(result, "$SRC_DIR$", source);

    if (checkExists && !os::CanReadFile(result.c_str())) {
        if (CLog* log = GetLog()) log->Log("(%s) file does not exist.", result.c_str());
        return std::string();
    }
    return result;
}
