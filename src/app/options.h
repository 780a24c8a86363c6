// The package's option flags (data profile OPTION).
#pragma once

class COptionInfo {
public:
    virtual ~COptionInfo() = default;

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
