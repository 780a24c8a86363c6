#include "app/global_var.h"

#include "app/installer_app.h"
#include "app/text_format.h"
#include "command/registry.h"
#include "platform/os.h"
#include "sys/utl.h"

namespace {

CLog* Log() { return GetLog(); }

std::string AfterLastBackslash(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A configure file named per language, else the package's one, else the
// built-in name.
std::string ConfigureFileKey(CInstProfile& data, const std::string& abbreviation) {
    std::string value;
    std::string key = FillPlaceholders("CONFIGURE_FILE.%s", {abbreviation}, 260);
    if (data.GetString("INSTALLER_FILE_INFO", key.c_str(), value, true, 0, nullptr, nullptr, 260))
        return value;
    if (data.GetString("INSTALLER_FILE_INFO", "CONFIGURE_FILE", value, true, 0, nullptr, nullptr,
                       260))
        return value;
    return ".\\data\\vxinst.vxi";
}

}  // namespace

CGlobalVar::CGlobalVar() {
    SetInstProfileHost(this);
    dirs.Fill();
    if (uint16_t id = os::SystemDefaultLangId()) language.systemLanguageId = id;
}

CGlobalVar::~CGlobalVar() {
    if (GetInstProfileHost() == this) SetInstProfileHost(nullptr);
}

bool CGlobalVar::Initialize() {
    // 1. Source directory: the executable's own, also the current directory.
    std::string exe;
    if (os::ExecutablePath(exe) == 0 && !exe.empty()) {
        size_t slash = exe.find_last_of('\\');
        sourceDir = slash == std::string::npos ? std::string() : exe.substr(0, slash);
        os::ChangeDirectory(sourceDir.empty() ? "\\" : (sourceDir + "\\").c_str());
    }
    // 2. The installer's file name: its own name with ".exe".
    std::string name = AfterLastBackslash(exe);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
    installerFileName = name + ".exe";

    // 3. The four profiles.
    if (!profiles.LoadProfiles(*this)) {
        if (CLog* log = Log()) log->Log("Initialize Profiles fail!!");
        return false;
    }
    target.dataProfile = &profiles.data;
    language.profile = &profiles.data;

    // 4. Version, from the data profile or the CD's Autorun.inf.
    if (!profiles.data.GetString("VERSION", "VERSION", version, true, 0, nullptr, nullptr, 260))
        version = ReadAutorunVersion();

    // 5. Options.
    ReadOptions();
    // 6. Program information.
    if (!ReadProgramInfo()) {
        if (CLog* log = Log()) log->Log("Initialize Model Variable fail!!");
        if (!options.mainOnly) return false;
    }
    // 7. Registry key paths.
    if (!BuildRegistryKeys()) {
        if (CLog* log = Log()) log->Log("Initialize Registry Variable fail!!");
        if (!options.mainOnly) return false;
    }
    // 8-9. Language: the previous run's or the system's.
    InitializeLanguage();
    SelectLanguage(0, false);
    // 10. Install target.
    InitTarget();
    // 11. Companion libraries.
    LoadLibraries();
    return true;
}

// Steps provided by other parts of the engine; until then they answer as
// their failure looks.
std::string CGlobalVar::ReadAutorunVersion() {
    std::string autorun = sourceDir + "\\Autorun.inf";
    std::string value;
    os::ReadProfileString("INFOMATION", "VERSION", "", value, 260, autorun.c_str());
    return value;
}
bool CGlobalVar::ReadOptions() {
    int type = 0;
    GetOsType(&type, nullptr);
    return options.ReadOptions(&profiles.data, type);
}
bool CGlobalVar::ReadProgramInfo() { return programInfo.ReadProgramInfo(profiles.data); }
bool CGlobalVar::BuildRegistryKeys() { return registryKeys.BuildKeys(programInfo); }
bool CGlobalVar::InitializeLanguage() {
    language.InitLanguage(&profiles.data);
    return true;
}

bool CGlobalVar::SelectLanguage(uint16_t id, bool interactive) {
    bool force = false;
    if (id == 0) {
        // The previous run's language, else the system's.
        uint32_t code = 0;
        id = ReadInstalledDword("LangCode", &code) ? static_cast<uint16_t>(code) : 0;
        force = true;
    }
    bool changed = language.SetLanguage(&profiles.data, id, force);
    if (!interactive || changed) {
        const uint16_t code = language.languageId;
        const std::string abbreviation = language.abbreviation;
        const std::string previousStringFile = profiles.stringFile;
        Write([this, code, abbreviation, previousStringFile] {
            WriteInstallingDword("LangCode", code);
            WriteInstallingString("LangAbbr", abbreviation);
            WriteInstallingString("STR_FILE", previousStringFile);
        });
        profiles.LoadLanguageFiles(*this, language.abbreviation);
        ReadOptions();
        ReloadNetworkPrinterTexts();
        if (interactive) ShowChangeLanguageWindow();
    }
    return true;
}

void CGlobalVar::ReloadNetworkPrinterTexts() {}
void CGlobalVar::ShowChangeLanguageWindow() {}

void CGlobalVar::Write(std::function<void()> write) {
    if (writesHeld_) heldWrites_.push_back(std::move(write));
    else write();
}

void CGlobalVar::ReleaseWrites() {
    writesHeld_ = false;
    std::vector<std::function<void()>> writes;
    writes.swap(heldWrites_);
    for (auto& w : writes) w();
}

void CGlobalVar::DropWrites() { heldWrites_.clear(); }

bool CGlobalVar::ReadInstalledDword(const char* name, uint32_t* value) {
    if (registryKeys.installed.empty()) return false;
    return CRegistry::GetValue(registryKeys.installed.c_str(), name, value, os::kHKLM) == 0;
}

bool CGlobalVar::ReadInstalledString(const char* name, std::string* value) {
    if (registryKeys.installed.empty()) return false;
    return CRegistry::GetValue(registryKeys.installed.c_str(), name, *value, os::kHKLM, 260) == 0;
}

bool CGlobalVar::WriteInstallingString(const char* name, const std::string& value) {
    if (registryKeys.installing.empty()) return false;
    return CRegistry::SetValue(registryKeys.installing.c_str(), name, value.c_str(), os::kHKLM) == 0;
}

bool CGlobalVar::WriteInstallingDword(const char* name, uint32_t value) {
    if (registryKeys.installing.empty()) return false;
    return CRegistry::SetValue(registryKeys.installing.c_str(), name, value, os::kHKLM) == 0;
}

bool CGlobalVar::GetOsType(int* type, int* family) {
    int t = 0, f = 0;
    bool ok = ::GetOSType(&t, &f) == 1;
    if (type) *type = t;
    if (family) *family = f;
    return ok;
}
bool CGlobalVar::InitTarget() {
    CInstallTarget& t = target;
    t.externalFnt = &externalFnt;
    t.dataProfile = &profiles.data;
    t.mfgCopy = programInfo.mfg.substr(0, 259);
    t.mdlCopy = programInfo.mdl.substr(0, 259);
    t.vidpidCopy = programInfo.vidpid.substr(0, 259);
    std::string exe;
    os::ExecutablePath(exe);
    size_t slash = exe.find_last_of('\\');
    t.installerDir = slash == std::string::npos ? std::string() : exe.substr(0, slash);

    // The previous installation's folder, else the package's, else one of
    // the vendor's below Program Files.
    std::string dest;
    if (!ReadInstalledString("Dest_Dir", &dest)) {
        if (profiles.data.GetString("PROGRAM_INFO", "DESTINATION_DIR", dest, true, 0, nullptr,
                                    nullptr, 260))
            dest = ExpandMacros(dest).substr(0, 259);
        else
            dest = FillPlaceholders("%s\\%s\\%s",
                                    {dirs.programFilesDir, programInfo.mfg, programInfo.programName},
                                    260);
    }
    while (dest.size() > 1 && dest.back() == '\\') dest.pop_back();
    t.destination = dest;
    t.firstDestination = dest;
    t.destinationInstallDir = dest + "\\Install";
    Write([dest] { CreateDirectoryTree(dest); });

    t.port = t.DefaultPort();

    if (t.ComputeOSDefine()) {
        if (CLog* log = Log()) log->Log("OS Define String = %s", t.osDefine.c_str());
        std::string dir;
        t.osDir = profiles.data.GetString("OS_DIR", t.osDefine.c_str(), dir, true, 0, nullptr,
                                          nullptr, 260)
                      ? dir
                      : t.osDefine;
        if (CLog* log = Log()) log->Log("OS Directory = %s", t.osDir.c_str());
    }
    return true;
}

bool CGlobalVar::LoadLibraries() { return externalFnt.Load(); }

bool CProfileSet::LoadProfiles(CGlobalVar& g) {
    std::string app = g.installerFileName.substr(0, g.installerFileName.size() - 4);
    dataFile = FillPlaceholders("%s\\%s.dat", {g.sourceDir, app}, 260);
    if (!os::CanReadFile(dataFile.c_str())) return false;
    data.Create(dataFile.c_str(), dataFile.c_str(), nullptr, false);

    // The language is still the built-in one here.
    configureFile = g.ResolvePath(ConfigureFileKey(data, g.language.abbreviation), true);
    if (configureFile.empty()) return false;
    configure.Create(configureFile.c_str(), dataFile.c_str(), nullptr, false);

    std::string value;
    if (!data.GetString("INSTALLER_FILE_INFO", "COMMAND_FILE", value, true, 0, nullptr, nullptr,
                        260))
        value = ".\\data\\vxinst.cmd";
    commandFile = g.ResolvePath(value, true);
    if (commandFile.empty()) return false;
    command.Create(commandFile.c_str(), dataFile.c_str(), nullptr, false);

    if (!data.GetString("INSTALLER_FILE_INFO", "STRING_FILE_FORMAT", value, true, 0, nullptr,
                        nullptr, 260))
        value = ".\\data\\String\\Lang_%s.str";
    stringFileFormat = g.ResolvePath(value, false);
    stringFile = FillPlaceholders(stringFileFormat, {"EN"}, 260);
    stringFileName = stringFile.substr(stringFile.find_last_of('\\') + 1);
    strings.Create(stringFile.c_str(), dataFile.c_str(), stringFile.c_str(), true);
    return true;
}

bool CProfileSet::LoadLanguageFiles(CGlobalVar& g, const std::string& abbreviation) {
    stringFile = FillPlaceholders(stringFileFormat, {abbreviation}, 260);
    if (!os::CanReadFile(stringFile.c_str())) {
        // English, by the package's own abbreviation for it.
        std::string english;
        if (!data.GetString("LANGUAGE_ABBR", "0X0009", english, true, 0, nullptr, nullptr, 260) ||
            english.empty())
            english = "EN";
        stringFile = FillPlaceholders(stringFileFormat, {english}, 260);
    }
    stringFileName = stringFile.substr(stringFile.find_last_of('\\') + 1);

    std::string cfg = g.ResolvePath(ConfigureFileKey(data, abbreviation), true);
    if (!cfg.empty()) {
        configureFile = cfg;
        configure.ReloadMain(configureFile.c_str());
    }
    command.ReloadMessages(stringFile.c_str());
    configure.ReloadMessages(stringFile.c_str());
    data.ReloadMessages(stringFile.c_str());
    strings.ReloadMain(stringFile.c_str());
    strings.ReloadMessages(stringFile.c_str());
    if (CLog* log = Log()) {
        log->Log("Set Language : String file\t\t= %s", stringFileName.c_str());
        log->Log("Set Language : Configure file\t\t= %s", configureFile.c_str());
    }
    return true;
}

// --- accessors ------------------------------------------------------------------

CGlobalVar* GetGlobalVar() {
    CInstallerApp* app = GetInstallerApp();
    return app ? &app->global() : nullptr;
}
COptionInfo* GetOptionInfo() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->options : nullptr;
}
CProfileSet* GetProfileSet() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->profiles : nullptr;
}
CInstProfile* GetDataProfile() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->profiles.data : nullptr;
}
CInstProfile* GetConfigureProfile() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->profiles.configure : nullptr;
}
CInstProfile* GetCommandProfile() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->profiles.command : nullptr;
}
CInstProfile* GetStringProfile() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->profiles.strings : nullptr;
}
CLanguageInfo* GetLanguageInfo() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->language : nullptr;
}
CSystemDirs* GetSystemDirs() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->dirs : nullptr;
}
CProgramInfo* GetProgramInfo() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->programInfo : nullptr;
}
CRegistryKeys* GetRegistryKeys() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->registryKeys : nullptr;
}
std::string GetInstallingKey() {
    CGlobalVar* g = GetGlobalVar();
    return g ? g->registryKeys.installing : std::string();
}
std::string GetInstalledKey() {
    CGlobalVar* g = GetGlobalVar();
    return g ? g->registryKeys.installed : std::string();
}
CInstallTarget* GetInstallTarget() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->target : nullptr;
}
CExternalFnt* GetExternalFnt() {
    CGlobalVar* g = GetGlobalVar();
    return g ? &g->externalFnt : nullptr;
}
