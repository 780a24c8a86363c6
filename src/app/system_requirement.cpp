#include "app/system_requirement.h"

#include <cstdio>
#include <vector>

#include "app/installer_app.h"
#include "app/text_format.h"

namespace {

const char kSection[] = "SYSTEM_REQUIREMENT";

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string Trim(const std::string& s, const char* chars) {
    size_t b = s.find_first_not_of(chars);
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(chars);
    return s.substr(b, e - b + 1);
}

}  // namespace

CSystemRequirement::CSystemRequirement()
    : msgNotSupportedOs_("This Windows Version is not supported.\r\nThe Setup program will be terminated."),
      msgNoFreeSpace_("The available Disk space is not enough. Please increase available disk space "
                      "about \"%s\" and try again."),
      msgUsbNotAvailable_("USB Devic is not available. Please check the configuration of system and "
                          "BIOS then USB device as available status and try again.") {
    CInstProfile* data = GetDataProfile();
    if (!data) return;
    std::vector<char> names(kProfileText);
    if (!data->GetSectionNames(names.data(), names.size())) return;
    if (Upper(names.data()).find(kSection) == std::string::npos) return;
    active_ = true;
    uint32_t mb = 0;
    if (data->GetDword(kSection, "FREE_SPACE", &mb)) freeSpaceMb_ = mb;
    std::string text;
    if (data->GetString(kSection, "UNSUPPORTED_OS", text)) unsupportedOs_ = text;
    if (data->GetString(kSection, "MSG_NOT_SUPPORTED_OS", text)) msgNotSupportedOs_ = text;
    if (data->GetString(kSection, "MSG_NO_FREE_SPACE", text)) msgNoFreeSpace_ = text;
    if (data->GetString(kSection, "MSG_USB_NOT_AVAILABLE", text)) msgUsbNotAvailable_ = text;
}

bool CSystemRequirement::CheckFreeSpace(const std::string& path, bool report) {
    uint32_t free = FreeSpaceMb(path);
    if (free != 0 && free < freeSpaceMb_) {
        if (report) Report(kFreeSpace);
        return false;
    }
    return true;
}

bool CSystemRequirement::Check(bool usbOnly) {
    if (!active_) return true;
    if (!CheckFreeSpace(std::string(), true)) return false;

    CInstallTarget* target = GetInstallTarget();
    const std::string os = Upper(target ? target->osDefine : std::string());
    std::string list = Trim(Upper(unsupportedOs_), " \"\t");
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find_first_of(" ,", start);
        if (end == std::string::npos) end = list.size();
        std::string token = list.substr(start, end - start);
        if (!token.empty() && !os.empty() && token == os) {
            Report(kOs);
            return false;
        }
        start = end + 1;
    }

    if (usbOnly && DevicePortCount() == -1) {
        Report(kUsb);
        return false;
    }
    return true;
}

void CSystemRequirement::Report(int kind) {
    std::string text;
    switch (kind) {
    case kFreeSpace: {
        char mb[32];
        std::snprintf(mb, sizeof mb, "%uMB", freeSpaceMb_);
        text = FillPlaceholders(msgNoFreeSpace_, {mb});
        break;
    }
    case kOs: text = msgNotSupportedOs_; break;
    case kUsb: text = msgUsbNotAvailable_; break;
    default: return;
    }
    CProgramInfo* info = GetProgramInfo();
    ShowMessage(nullptr, text, info ? info->programName : std::string(), ui::kMbOk);
}

uint32_t CSystemRequirement::FreeSpaceMb(const std::string& path) {
    CExternalFnt* ext = GetExternalFnt();
    return ext ? ext->GetDiskFreeSpaceVX(path.c_str()) : 0;
}

int CSystemRequirement::DevicePortCount() {
    CExternalFnt* ext = GetExternalFnt();
    CProgramInfo* info = GetProgramInfo();
    if (!ext || !info) return 0;
    char port[260] = {0};
    int32_t count = 0;
    ext->GetDevicePort(info->mfg.c_str(), info->mdl.c_str(), info->vidpid.c_str(), port, &count);
    return count;
}
