// The package's option flags (data profile OPTION).
#pragma once

class CInstProfile;

class COptionInfo {
public:
    virtual ~COptionInfo() = default;

    // Reads the flags from the data profile's OPTION section (its platform
    // variant first). osType: the running system's OS type, for the
    // right-to-left layout that old systems lack. False only without a profile.
    bool ReadOptions(const CInstProfile* profile, int osType);

    bool usbOnly = false;
    bool network = false;
    bool remoteInstall = false;  // set by a command, never by the profile
    bool deviceInstall = true;
    bool showInstallError = false;
    bool rightAlign = false;
    bool precreateDialogs = true;
    bool mainOnly = false;
    bool autoPrinterCommand = false;
    bool setSourcePath = false;
    bool usePublicOid = false;
    bool useIpx = false;
    bool stopFirewall = false;
    bool agfa = false;
    bool agfaGiven = false;
};
