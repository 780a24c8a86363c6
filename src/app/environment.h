// The machine and the package: system directories, program information,
// registry key paths and the install target.
#pragma once

#include <string>

#include "app/program_info.h"

class CExternalFnt;

// Creates every missing folder of a path (the copy engine's directory
// creation takes this over with its history records).
void CreateDirectoryTree(const std::string& path);
class CInstProfile;

class CSystemDirs {
public:
    CSystemDirs() = default;
    virtual ~CSystemDirs() = default;

    // Fills every directory from the running system.
    void Fill();

    std::string windowsDir;
    std::string systemDir;
    std::string infDir;
    std::string programFilesDir;
    std::string tempDir;  // without the trailing backslash
    bool is64Bit = false;
};

class CProgramInfo {
public:
    // MFG, MDL, VIDPID and PROGRAM_NAME of the data profile's PROGRAM_INFO;
    // false when one of the first three is missing (what was found stays).
    bool ReadProgramInfo(const CInstProfile& dataProfile);

    std::string mfg;
    std::string mdl;
    std::string vidpid;
    std::string programName = kDefaultProgramName;
};

class CRegistryKeys {
public:
    bool BuildKeys(const CProgramInfo& info);

    std::string installing;
    std::string installingHistory;
    std::string installed;
    std::string installedHistory;
    std::string uninstallInfo;
};

class CInstallTarget {
public:
    // A new destination (no trailing backslash), or an empty path to go back
    // to the first destination.
    void SetDestination(const std::string& path);
    // A port name, or empty for the default port.
    void SetPort(const std::string& port);
    // The port a run uses when none was chosen: DEFAULT_PORT when the machine
    // has it, else FILE: for a USB-only package or without LPT1:, else LPT1:.
    std::string DefaultPort() const;
    bool ComputeOSDefine();
    bool IsDeviceConnected(bool parallelRequired);
    void SetPrinterInstalled(bool installed);
    void SetIP(const std::string& address);

    std::string mfgCopy, mdlCopy, vidpidCopy;  // 260-byte copies for the utility library

    std::string installerDir;
    std::string destination;
    std::string firstDestination;
    std::string destinationInstallDir;
    std::string osDir;
    std::string osDefine;
    std::string port;
    std::string ip;
    bool portChosen = false;
    bool networkPort = false;  // the port is a network port this run made
    bool printerInstalled = false;
    bool deviceConnected = false;
    bool installedBefore = false;
    bool useSecondParameters = false;
    CExternalFnt* externalFnt = nullptr;
    CInstProfile* dataProfile = nullptr;
};
