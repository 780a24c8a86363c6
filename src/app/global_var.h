// The run's global state: the package's profiles, its version, options,
// language, directories, program information, registry keys and install
// target. One instance lives in the application object.
#pragma once

#include <array>
#include <functional>
#include <vector>
#include <cstdint>
#include <string>

#include "app/environment.h"
#include "app/language.h"
#include "app/options.h"
#include "profile/inst_profile.h"
#include "sys/external_fnt.h"

class CGlobalVar;

// The four profiles of a run and their file names.
class CProfileSet {
public:
    virtual ~CProfileSet() = default;

    // True when data, configure and command files exist and all four
    // profiles were created.
    bool LoadProfiles(CGlobalVar& global);
    // Switches the string file (and a per-language configure file) to a language.
    bool LoadLanguageFiles(CGlobalVar& global, const std::string& abbreviation);

    CInstProfile data;
    CInstProfile configure;
    CInstProfile command;
    CInstProfile strings;
    std::string dataFile;
    std::string stringFile;
    std::string configureFile;
    std::string commandFile;
    std::string stringFileFormat;  // one "%s" for the language abbreviation
    std::string stringFileName;
};

// Size of each text of a command record.
constexpr size_t kCommandText = 16384;

class CGlobalVar : public CInstProfileHost {
public:
    CGlobalVar();
    ~CGlobalVar() override;

    // Brings the global state to life; false when it is not usable.
    virtual bool Initialize();

    // Replaces the macro variables of text; language arguments 0 or empty
    // mean the current language.
    std::string ExpandMacros(const std::string& text, uint16_t languageId = 0,
                             const std::string& abbreviation = std::string(),
                             const std::string& directory = std::string()) const override;
    // A profile path made absolute against the source directory; empty when
    // checkExists is set and the file cannot be opened for reading.
    std::string ResolvePath(const std::string& path, bool checkExists) const;

    // CInstProfileHost
    bool RemoteInstall() const override { return options.remoteInstall; }
    bool NetworkOption() const override { return options.network; }
    bool UsbOnlyOption() const override { return options.usbOnly; }
    std::string OsDefineString() const override { return target.osDefine; }
    std::string LanguageAbbreviation() const override { return language.abbreviation; }

    // Start-up writes nothing to the registry or the disk until it knows it
    // is the only instance: while held, writes wait in order; Release runs
    // them, Drop forgets them (a second start).
    void HoldWrites() { writesHeld_ = true; }
    void ReleaseWrites();
    void DropWrites();
    bool WritesHeld() const { return writesHeld_; }
    void Write(std::function<void()> write);

    // Registry values under the Installed and Installing keys (HKLM).
    virtual bool ReadInstalledDword(const char* name, uint32_t* value);
    virtual bool ReadInstalledString(const char* name, std::string* value);
    virtual bool WriteInstallingString(const char* name, const std::string& value);
    virtual bool WriteInstallingDword(const char* name, uint32_t value);
    // The running system's OS type and family (0 when unknown).
    virtual bool GetOsType(int* type, int* family);

    // The steps of Initialize that later parts of the engine provide.
    virtual std::string ReadAutorunVersion();
    virtual bool ReadOptions();
    virtual bool ReadProgramInfo();
    virtual bool BuildRegistryKeys();
    virtual bool InitializeLanguage();
    virtual bool SelectLanguage(uint16_t languageId, bool interactive);
    virtual bool InitTarget();
    virtual void ReloadNetworkPrinterTexts();
    virtual void ShowChangeLanguageWindow();
    virtual bool LoadLibraries();

    std::string version;
    std::string installerFileName;  // "Setup.exe"
    std::string sourceDir;          // without the trailing backslash
    std::array<std::string, 6> commandBuffer;
    CExternalFnt externalFnt;
    COptionInfo options;
    CProfileSet profiles;
    CLanguageInfo language;
    CSystemDirs dirs;
    CProgramInfo programInfo;
    CRegistryKeys registryKeys;
    CInstallTarget target;

private:
    bool writesHeld_ = false;
    std::vector<std::function<void()>> heldWrites_;
};

// The application's global state (valid while the application object lives).
CGlobalVar* GetGlobalVar();
COptionInfo* GetOptionInfo();
CProfileSet* GetProfileSet();
CInstProfile* GetDataProfile();
CInstProfile* GetConfigureProfile();
CInstProfile* GetCommandProfile();
CInstProfile* GetStringProfile();
CLanguageInfo* GetLanguageInfo();
CSystemDirs* GetSystemDirs();
CProgramInfo* GetProgramInfo();
CRegistryKeys* GetRegistryKeys();
std::string GetInstallingKey();
std::string GetInstalledKey();
CInstallTarget* GetInstallTarget();
CExternalFnt* GetExternalFnt();
