// The companion libraries of the package and their guarded entry points.
//
// Load reads the library table from the data profile, loads the libraries
// and looks up their entry points once; afterwards the table is read-only,
// so the watcher threads may call while the window thread calls too. Every
// call is guarded: an absent entry point logs "Call <name> ==> NULL", a
// fault inside the library logs "Call <name>() ==> GPF!!!!", and both answer
// the entry point's failure value.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os_library.h"

class CExternalFnt {
public:
    // The libraries, in the order they are loaded.
    enum LibraryId {
        kInstallerLibrary,
        kUtilityLibrary,
        kRemoteInstallLibrary,
        kDiagnosisLibrary,
        kTestPageLibrary,
        kNetworkManagerLibrary,
        kResourceLibrary,
        kPreInstallerLibrary,
        kSetIpLibrary,
        kLibraryCount
    };
    enum EntryId {
        kGetDevicePort,
        kStartPreventPnP,
        kEndPreventPnP,
        kRemoveHardwareWizardDialog,
        kMySetForegroundNHWdDialog,
        kSystemRefresh,
        kRemoveUnknownDev,
        kSaveFile,
        kGetDiskFreeSpaceVX,
        kMyGetDeviceIDFromPort,
        kMyInstall,
        kMyCreateShortCut,
        kPrintTestPage,
        kMetaTestPage,
        kPrintPrnFile,
        kDiagnosis,
        kDiagnosisEx,
        kMyGetPrinterDesc,
        kMyGetIPX,
        kMySetNetworkPort,
        kMySetNetworkPortEx,
        kMyDelNetworkPort,
        kPreinstall,
        kSetIP,
        kGetNetPrinter,
        kEntryCount
    };

    CExternalFnt();
    // Releases the loaded libraries.
    virtual ~CExternalFnt();
    CExternalFnt(const CExternalFnt&) = delete;
    CExternalFnt& operator=(const CExternalFnt&) = delete;

    // Start-up: the libraries named by the keys of the data profile's
    // section (its platform variant first, then the section itself, then
    // the built-in names), made absolute against the source directory; a
    // library that is missing or does not load logs its line and leaves its
    // entry points absent. Then every entry point is looked up. Always true.
    bool Load(const char* section = "INSTALLER_FILE_INFO");
    // Releases the libraries; every entry point is absent afterwards.
    void Unload();

    // --- utility library
    int GetDevicePort(const char* mfg, const char* mdl, const char* vidPid, char* port,
                      int32_t* portCount);
    int StartPreventPnP(const char* mfgMdl);
    int EndPreventPnP(const char* mfgMdl);
    int RemoveHardwareWizardDialog();
    int MySetForegroundNHWdDialog();
    int SystemRefresh(const char* mfgMdl, const char* vidPid);
    int RemoveUnknownDev(const char* mfgMdl, const char* vidPid);
    int SaveFile(const char* file, const char* key, int reserved);
    uint32_t GetDiskFreeSpaceVX(const char* path);
    int MyGetDeviceIDFromPort(const char* port, char* deviceId);
    // --- installer library
    int MyInstall(int reserved, const char* installingKey, const char* itemKey, int installed);
    int MyCreateShortCut(int reserved, const char* installingKey, const char* shortcutKey);
    // --- test-page library
    int PrintTestPage(const char* p1, const char* p2, const char* p3, const char* resourceLibrary,
                      const char* p4);
    int MetaTestPage(const char* p1, const char* p2);
    int PrintPrnFile(const char* p1, const char* p2);
    // --- diagnosis library
    int Diagnosis(const char* mfg, const char* printerName, const char* mdl, const char* vidPid);
    int DiagnosisEx(const char* mfg, const char* printerName, const char* mdl, const char* vidPid,
                    int reserved);
    // --- network-manager library
    int MyGetPrinterDesc(const char* ipAddress, char* description, int usePublicOid);
    int MyGetIPX(const char* ipAddress, char* ipxAddress);
    int MySetNetworkPort(const char* portName, const char* ipAddress, const char* monitorName,
                         const char* files, const char* mutexName, int noMonitorFile);
    int MySetNetworkPortEx(const char* portName, const char* ipAddress, const char* extra,
                           const char* ipxAddress, const char* monitorName, const char* files,
                           const char* mutexName, int noMonitorFile);
    int MyDelNetworkPort(const char* portName, const char* mutexName, int noMonitorFile);
    // --- pre-installer library
    int Preinstall(const char* command, void* window);
    // --- address-setting library
    int SetIP(const char* a, const char* b, const char* c, const char* d);
    int GetNetPrinter(void* records, uint32_t* size, uint32_t* count);

    // Stored paths (at most 259 characters; empty when the file is missing).
    const std::string& NetworkManagerPath() const { return networkManagerPath_; }
    const std::string& ResourcePath() const { return resourcePath_; }
    const std::string& UninstallerPath() const { return uninstallerPath_; }
    const std::string& DocumentOpenerPath() const { return documentOpenerPath_; }

    // A loaded library (null when it did not load): pictures come from the
    // resource library, DoRemoteInstall from the remote-install library.
    os::Library LoadedLibrary(LibraryId id) const {
        return id >= 0 && id < kLibraryCount ? libraries_[id] : nullptr;
    }
    bool HasEntry(EntryId id) const { return id >= 0 && id < kEntryCount && entries_[id]; }

    // The failure value an entry point answers when absent or faulting.
    static int FailureValue(EntryId id);
    static const char* EntryName(EntryId id);

private:
    template <typename Fn>
    Fn Entry(EntryId id) const {
        return reinterpret_cast<Fn>(entries_[id]);
    }
    // The absence line; answers the failure value.
    int Absent(EntryId id) const;
    // Runs call guarded; its result, or the failure value after the fault line.
    template <typename R, typename Call>
    R Guarded(EntryId id, Call call) const;

    os::Library libraries_[kLibraryCount] = {};
    os::LibraryProc entries_[kEntryCount] = {};
    std::string networkManagerPath_;
    std::string resourcePath_;
    std::string uninstallerPath_;
    std::string documentOpenerPath_;
};
