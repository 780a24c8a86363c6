#include "sys/external_fnt.h"

#include "app/global_var.h"
#include "app/installer_app.h"
#include "companion_api.h"
#include "profile/inst_profile.h"

namespace {

// Stored paths stand for buffers of 260 bytes.
constexpr size_t kStoredPath = 259;

// One key of the library table.
struct TableRow {
    const char* key;
    const char* defaultPath;
    int library;              // CExternalFnt::LibraryId, or -1 for a path only
    const char* failureLine;  // with the path as %s
};

// In the order they are loaded.
const TableRow kTable[] = {
    {"INSTALLER_DLL", ".\\data\\Vxrun.dll", CExternalFnt::kInstallerLibrary,
     "Load installer DLL fail (%s)"},
    {"UTILITY_DLL", ".\\data\\Vxutil.dll", CExternalFnt::kUtilityLibrary,
     "Load Utility DLL fail (%s)"},
    {"REMOTE_INSTALL_DLL", ".\\data\\Vxrmtint.dll", CExternalFnt::kRemoteInstallLibrary,
     "Load Remote DLL fail (%s)"},
    {"DIAGNOSIS_DLL", ".\\data\\Vxdiag.dll", CExternalFnt::kDiagnosisLibrary,
     "Load Diagnosis DLL fail (%s)"},
    // Without a key of its own: the diagnosis library's value.
    {"TESTPAGE_DLL", nullptr, CExternalFnt::kTestPageLibrary, "Load TestPage DLL fail (%s)"},
    {"NETWORKMAN_DLL", ".\\data\\VxNetMan.dll", CExternalFnt::kNetworkManagerLibrary,
     "Load Netmanager DLL fail (%s)"},
    {"RESOURCE_DLL", ".\\VXres.dll", CExternalFnt::kResourceLibrary,
     "Load Resource DLL fail (%s)"},
    {"UNINSTALLER_EXE", ".\\data\\VXDelAll.exe", -1, nullptr},
    {"VXOPEN_EXE", ".\\data\\Vxopen.exe", -1, nullptr},
    {"PREINSTALLER_DLL", ".\\data\\VXpre.dll", CExternalFnt::kPreInstallerLibrary,
     "Load PreInstaller DLL fail (%s)"},
    {"SETIP_DLL", ".\\data\\Setip.dll", CExternalFnt::kSetIpLibrary, "Load SetIP DLL fail (%s)"},
};

struct EntryRow {
    const char* name;
    CExternalFnt::LibraryId library;
    int failure;
};

// Indexed by CExternalFnt::EntryId.
const EntryRow kEntries[CExternalFnt::kEntryCount] = {
    {"GetDevicePort", CExternalFnt::kUtilityLibrary, 0},
    {"StartPreventPnP", CExternalFnt::kUtilityLibrary, 0},
    {"EndPreventPnP", CExternalFnt::kUtilityLibrary, 0},
    {"RemoveHardwareWizardDialog", CExternalFnt::kUtilityLibrary, 0},
    {"MySetForegroundNHWdDialog", CExternalFnt::kUtilityLibrary, 0},
    {"SystemRefresh", CExternalFnt::kUtilityLibrary, 0},
    {"RemoveUnknownDev", CExternalFnt::kUtilityLibrary, 0},
    {"SaveFile", CExternalFnt::kUtilityLibrary, 0},
    {"GetDiskFreeSpaceVX", CExternalFnt::kUtilityLibrary, 0},
    {"MyGetDeviceIDFromPort", CExternalFnt::kUtilityLibrary, 0},
    {"MyInstall", CExternalFnt::kInstallerLibrary, 0},
    {"MyCreateShortCut", CExternalFnt::kInstallerLibrary, 0},
    {"PrintTestPage", CExternalFnt::kTestPageLibrary, -1},
    {"MetaTestPage", CExternalFnt::kTestPageLibrary, -1},
    {"PrintPrnFile", CExternalFnt::kTestPageLibrary, 1},
    {"Diagnosis", CExternalFnt::kDiagnosisLibrary, 1},
    {"DiagnosisEx", CExternalFnt::kDiagnosisLibrary, 1},
    {"MyGetPrinterDesc", CExternalFnt::kNetworkManagerLibrary, 4096},
    {"MyGetIPX", CExternalFnt::kNetworkManagerLibrary, 0},
    {"MySetNetworkPort", CExternalFnt::kNetworkManagerLibrary, 0},
    {"MySetNetworkPortEx", CExternalFnt::kNetworkManagerLibrary, 0},
    {"MyDelNetworkPort", CExternalFnt::kNetworkManagerLibrary, 0},
    {"Preinstall", CExternalFnt::kPreInstallerLibrary, -1},
    {"SetIP", CExternalFnt::kSetIpLibrary, 1},
    {"GetNetPrinter", CExternalFnt::kSetIpLibrary, 1},
};

// Texts for %s: a missing argument logs as empty.
const char* S(const char* text) { return text ? text : ""; }

// The value of a key: the platform variant of the section, the section,
// else the fallback.
std::string TableValue(const CInstProfile* data, const std::string& variant, const char* section,
                       const char* key, const std::string& fallback) {
    std::string value;
    if (data) {
        if (!variant.empty() &&
            data->GetString(variant.c_str(), key, value, true, 0, nullptr, nullptr, kProfilePath))
            return value;
        if (data->GetString(section, key, value, true, 0, nullptr, nullptr, kProfilePath))
            return value;
    }
    return fallback;
}

}  // namespace

CExternalFnt::CExternalFnt() = default;

CExternalFnt::~CExternalFnt() { Unload(); }

int CExternalFnt::FailureValue(EntryId id) {
    return id >= 0 && id < kEntryCount ? kEntries[id].failure : 0;
}

const char* CExternalFnt::EntryName(EntryId id) {
    return id >= 0 && id < kEntryCount ? kEntries[id].name : "";
}

bool CExternalFnt::Load(const char* section) {
    Unload();
    if (!section) section = "INSTALLER_FILE_INFO";
    const CInstProfile* data = GetDataProfile();
    const CGlobalVar* global = GetGlobalVar();
    CLog* log = GetLog();
    std::string variant;
    if (data) data->FindPlatformSection(section, variant);

    std::string diagnosisValue;
    for (const TableRow& row : kTable) {
        std::string fallback = row.defaultPath ? row.defaultPath : diagnosisValue;
        std::string value = TableValue(data, variant, section, row.key, fallback);
        if (row.library == kDiagnosisLibrary) diagnosisValue = value;
        std::string path = global ? global->ResolvePath(value, true) : value;

        std::string stored = path.substr(0, kStoredPath);
        if (std::string(row.key) == "UNINSTALLER_EXE") uninstallerPath_ = stored;
        if (std::string(row.key) == "VXOPEN_EXE") documentOpenerPath_ = stored;
        if (row.library == kNetworkManagerLibrary) networkManagerPath_ = stored;
        if (row.library == kResourceLibrary) resourcePath_ = stored;
        if (row.library < 0) continue;

        if (row.library == kNetworkManagerLibrary && path.empty()) {
            if (log) log->Log("Get network Netmanager DLL fail");
            continue;
        }
        os::Library library = nullptr;
        uint32_t rc = os::OpenLibrary(path.c_str(), &library);
        if (rc != 0 || !library) {
            if (log) log->LogError(rc, row.failureLine, path.c_str());
            continue;
        }
        libraries_[row.library] = library;
    }

    for (int i = 0; i < kEntryCount; ++i) {
        os::Library library = libraries_[kEntries[i].library];
        entries_[i] = library ? os::LibraryEntry(library, kEntries[i].name) : nullptr;
    }
    return true;
}

void CExternalFnt::Unload() {
    for (os::LibraryProc& entry : entries_) entry = nullptr;
    for (os::Library& library : libraries_) {
        os::CloseLibrary(library);
        library = nullptr;
    }
}

int CExternalFnt::Absent(EntryId id) const {
    if (CLog* log = GetLog()) log->Log("Call %s ==> NULL", kEntries[id].name);
    return kEntries[id].failure;
}

template <typename R, typename Call>
R CExternalFnt::Guarded(EntryId id, Call call) const {
    R result = static_cast<R>(kEntries[id].failure);
    auto body = [&] { result = call(); };
    if (!os::CallGuardedFn(body)) {
        if (CLog* log = GetLog()) log->Log("Call %s() ==> GPF!!!!", kEntries[id].name);
        return static_cast<R>(kEntries[id].failure);
    }
    return result;
}

// Each wrapper: the absence line, the call line, the guarded call.
#define SETUP_LOG_CALL(...)                                   \
    do {                                                      \
        if (CLog* log_ = GetLog()) log_->Log(__VA_ARGS__);    \
    } while (0)

int CExternalFnt::GetDevicePort(const char* mfg, const char* mdl, const char* vidPid, char* port,
                                int32_t* portCount) {
    auto fn = Entry<PFN_GetDevicePort>(kGetDevicePort);
    if (!fn) return Absent(kGetDevicePort);
    SETUP_LOG_CALL("Call GetDevicePort(%s,%s,%s,lpPort,lpdwPortNum)", S(mfg), S(mdl), S(vidPid));
    return Guarded<int>(kGetDevicePort, [&] { return fn(mfg, mdl, vidPid, port, portCount); });
}

int CExternalFnt::StartPreventPnP(const char* mfgMdl) {
    auto fn = Entry<PFN_StartPreventPnP>(kStartPreventPnP);
    if (!fn) return Absent(kStartPreventPnP);
    SETUP_LOG_CALL("Call StartPreventPnP(%s)", S(mfgMdl));
    return Guarded<int>(kStartPreventPnP, [&] { return fn(mfgMdl); });
}

int CExternalFnt::EndPreventPnP(const char* mfgMdl) {
    auto fn = Entry<PFN_EndPreventPnP>(kEndPreventPnP);
    if (!fn) return Absent(kEndPreventPnP);
    SETUP_LOG_CALL("Call EndPreventPnP(%s)", S(mfgMdl));
    return Guarded<int>(kEndPreventPnP, [&] { return fn(mfgMdl); });
}

int CExternalFnt::RemoveHardwareWizardDialog() {
    auto fn = Entry<PFN_RemoveHardwareWizardDialog>(kRemoveHardwareWizardDialog);
    if (!fn) return Absent(kRemoveHardwareWizardDialog);
    return Guarded<int>(kRemoveHardwareWizardDialog, [&] { return fn(); });
}

int CExternalFnt::MySetForegroundNHWdDialog() {
    auto fn = Entry<PFN_MySetForegroundNHWdDialog>(kMySetForegroundNHWdDialog);
    if (!fn) return Absent(kMySetForegroundNHWdDialog);
    return Guarded<int>(kMySetForegroundNHWdDialog, [&] { return fn(); });
}

int CExternalFnt::SystemRefresh(const char* mfgMdl, const char* vidPid) {
    auto fn = Entry<PFN_SystemRefresh>(kSystemRefresh);
    if (!fn) return Absent(kSystemRefresh);
    SETUP_LOG_CALL("Call SystemRefresh(%s,%s)", S(mfgMdl), S(vidPid));
    return Guarded<int>(kSystemRefresh, [&] { return fn(mfgMdl, vidPid); });
}

int CExternalFnt::RemoveUnknownDev(const char* mfgMdl, const char* vidPid) {
    auto fn = Entry<PFN_RemoveUnknownDev>(kRemoveUnknownDev);
    if (!fn) return Absent(kRemoveUnknownDev);
    SETUP_LOG_CALL("Call RemoveUnknownDev(%s,%s)", S(mfgMdl), S(vidPid));
    return Guarded<int>(kRemoveUnknownDev, [&] { return fn(mfgMdl, vidPid); });
}

int CExternalFnt::SaveFile(const char* file, const char* key, int reserved) {
    auto fn = Entry<PFN_SaveFile>(kSaveFile);
    if (!fn) return Absent(kSaveFile);
    SETUP_LOG_CALL("Call SaveFile(%s,%s,%d)", S(file), S(key), reserved);
    return Guarded<int>(kSaveFile, [&] { return fn(file, key, reserved); });
}

uint32_t CExternalFnt::GetDiskFreeSpaceVX(const char* path) {
    auto fn = Entry<PFN_GetDiskFreeSpaceVX>(kGetDiskFreeSpaceVX);
    if (!fn) return static_cast<uint32_t>(Absent(kGetDiskFreeSpaceVX));
    SETUP_LOG_CALL("Call GetDiskFreeSpaceVX(%s)", S(path));
    return Guarded<uint32_t>(kGetDiskFreeSpaceVX, [&] { return fn(path); });
}

int CExternalFnt::MyGetDeviceIDFromPort(const char* port, char* deviceId) {
    auto fn = Entry<PFN_MyGetDeviceIDFromPort>(kMyGetDeviceIDFromPort);
    if (!fn) return Absent(kMyGetDeviceIDFromPort);
    SETUP_LOG_CALL("Call MyGetDeviceIDFromPort");
    return Guarded<int>(kMyGetDeviceIDFromPort, [&] { return fn(port, deviceId); });
}

int CExternalFnt::MyInstall(int reserved, const char* installingKey, const char* itemKey,
                            int installed) {
    auto fn = Entry<PFN_MyInstall>(kMyInstall);
    if (!fn) return Absent(kMyInstall);
    SETUP_LOG_CALL("Call MyInstall(%d,%s,%s,%d)", reserved, S(installingKey), S(itemKey), installed);
    return Guarded<int>(kMyInstall, [&] { return fn(reserved, installingKey, itemKey, installed); });
}

int CExternalFnt::MyCreateShortCut(int reserved, const char* installingKey,
                                   const char* shortcutKey) {
    auto fn = Entry<PFN_MyCreateShortCut>(kMyCreateShortCut);
    if (!fn) return Absent(kMyCreateShortCut);
    SETUP_LOG_CALL("Call MyCreateShortCut(%d,%s,%s)", reserved, S(installingKey), S(shortcutKey));
    return Guarded<int>(kMyCreateShortCut, [&] { return fn(reserved, installingKey, shortcutKey); });
}

int CExternalFnt::PrintTestPage(const char* p1, const char* p2, const char* p3,
                                const char* resourceLibrary, const char* p4) {
    auto fn = Entry<PFN_PrintTestPage>(kPrintTestPage);
    if (!fn) return Absent(kPrintTestPage);
    SETUP_LOG_CALL("Call PrintTestPage(%s,%s,%s,%s,%s)", S(p1), S(p2), S(p3), S(resourceLibrary),
                   S(p4));
    return Guarded<int>(kPrintTestPage, [&] { return fn(p1, p2, p3, resourceLibrary, p4); });
}

int CExternalFnt::MetaTestPage(const char* p1, const char* p2) {
    auto fn = Entry<PFN_MetaTestPage>(kMetaTestPage);
    if (!fn) return Absent(kMetaTestPage);
    SETUP_LOG_CALL("Call MetaTestPage(%s,%s)", S(p1), S(p2));
    return Guarded<int>(kMetaTestPage, [&] { return fn(p1, p2); });
}

int CExternalFnt::PrintPrnFile(const char* p1, const char* p2) {
    auto fn = Entry<PFN_PrintPrnFile>(kPrintPrnFile);
    if (!fn) return Absent(kPrintPrnFile);
    SETUP_LOG_CALL("Call PrintPrnFile(%s,%s)", S(p1), S(p2));
    return Guarded<int>(kPrintPrnFile, [&] { return fn(p1, p2); });
}

int CExternalFnt::Diagnosis(const char* mfg, const char* printerName, const char* mdl,
                            const char* vidPid) {
    auto fn = Entry<PFN_Diagnosis>(kDiagnosis);
    if (!fn) return Absent(kDiagnosis);
    SETUP_LOG_CALL("Call Diagnosis(%s,%s,%s,%s)", S(mfg), S(printerName), S(mdl), S(vidPid));
    return Guarded<int>(kDiagnosis, [&] { return fn(mfg, printerName, mdl, vidPid); });
}

int CExternalFnt::DiagnosisEx(const char* mfg, const char* printerName, const char* mdl,
                              const char* vidPid, int reserved) {
    auto fn = Entry<PFN_DiagnosisEx>(kDiagnosisEx);
    if (!fn) return Absent(kDiagnosisEx);
    SETUP_LOG_CALL("Call DiagnosisEx(%s,%s,%s,%s,%d)", S(mfg), S(printerName), S(mdl), S(vidPid),
                   reserved);
    return Guarded<int>(kDiagnosisEx,
                        [&] { return fn(mfg, printerName, mdl, vidPid, reserved); });
}

int CExternalFnt::MyGetPrinterDesc(const char* ipAddress, char* description, int usePublicOid) {
    auto fn = Entry<PFN_MyGetPrinterDesc>(kMyGetPrinterDesc);
    if (!fn) return Absent(kMyGetPrinterDesc);
    SETUP_LOG_CALL("Call MyGetPrinterDesc(%s)", S(ipAddress));
    return Guarded<int>(kMyGetPrinterDesc, [&] { return fn(ipAddress, description, usePublicOid); });
}

int CExternalFnt::MyGetIPX(const char* ipAddress, char* ipxAddress) {
    auto fn = Entry<PFN_MyGetIPX>(kMyGetIPX);
    if (!fn) return Absent(kMyGetIPX);
    SETUP_LOG_CALL("Call MyGetIPX(%s)", S(ipAddress));
    return Guarded<int>(kMyGetIPX, [&] { return fn(ipAddress, ipxAddress); });
}

int CExternalFnt::MySetNetworkPort(const char* portName, const char* ipAddress,
                                   const char* monitorName, const char* files,
                                   const char* mutexName, int noMonitorFile) {
    auto fn = Entry<PFN_MySetNetworkPort>(kMySetNetworkPort);
    if (!fn) return Absent(kMySetNetworkPort);
    SETUP_LOG_CALL("Call MySetNetworkPort(%s,%s,%s,%s,%s,%d)", S(portName), S(ipAddress),
                   S(monitorName), S(files), S(mutexName), noMonitorFile);
    return Guarded<int>(kMySetNetworkPort, [&] {
        return fn(portName, ipAddress, monitorName, files, mutexName, noMonitorFile);
    });
}

int CExternalFnt::MySetNetworkPortEx(const char* portName, const char* ipAddress,
                                     const char* extra, const char* ipxAddress,
                                     const char* monitorName, const char* files,
                                     const char* mutexName, int noMonitorFile) {
    auto fn = Entry<PFN_MySetNetworkPortEx>(kMySetNetworkPortEx);
    if (!fn) return Absent(kMySetNetworkPortEx);
    SETUP_LOG_CALL("Call MySetNetworkPortEx(%s,%s,%s,%s,%s,%s,%s,%d)", S(portName), S(ipAddress),
                   S(extra), S(ipxAddress), S(monitorName), S(files), S(mutexName),
                   noMonitorFile);
    return Guarded<int>(kMySetNetworkPortEx, [&] {
        return fn(portName, ipAddress, extra, ipxAddress, monitorName, files, mutexName,
                  noMonitorFile);
    });
}

int CExternalFnt::MyDelNetworkPort(const char* portName, const char* mutexName,
                                   int noMonitorFile) {
    auto fn = Entry<PFN_MyDelNetworkPort>(kMyDelNetworkPort);
    if (!fn) return Absent(kMyDelNetworkPort);
    SETUP_LOG_CALL("Call MyDelNetworkPort(%s,%s,%d)", S(portName), S(mutexName), noMonitorFile);
    return Guarded<int>(kMyDelNetworkPort, [&] { return fn(portName, mutexName, noMonitorFile); });
}

int CExternalFnt::Preinstall(const char* command, void* window) {
    auto fn = Entry<PFN_Preinstall>(kPreinstall);
    if (!fn) return Absent(kPreinstall);
    SETUP_LOG_CALL("Call Preinstall(%s,%d)", S(command),
                   static_cast<int>(reinterpret_cast<intptr_t>(window)));
    return Guarded<int>(kPreinstall, [&] { return fn(command, window); });
}

int CExternalFnt::SetIP(const char* a, const char* b, const char* c, const char* d) {
    auto fn = Entry<PFN_SetIP>(kSetIP);
    if (!fn) return Absent(kSetIP);
    SETUP_LOG_CALL("Call SetIP(%s,%s,%s,%s)", S(a), S(b), S(c), S(d));
    return Guarded<int>(kSetIP, [&] { return fn(a, b, c, d); });
}

int CExternalFnt::GetNetPrinter(void* records, uint32_t* size, uint32_t* count) {
    auto fn = Entry<PFN_GetNetPrinter>(kGetNetPrinter);
    if (!fn) return Absent(kGetNetPrinter);
    // Whether a buffer is given, its size, the count on the way in.
    SETUP_LOG_CALL("Call GetNetPrinter(%d,%d,%d)", records ? 1 : 0,
                   size ? static_cast<int>(*size) : 0, count ? static_cast<int>(*count) : 0);
    return Guarded<int>(kGetNetPrinter, [&] { return fn(records, size, count); });
}
