// Items: parsing an item section, its language, its check state, its
// parameter lines, the INF installer types, validity and the installed test.
#include "install/item.h"

#include <cstdio>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "command/registry.h"
#include "install/item_text.h"
#include "profile/profile.h"
#include "sys/utl.h"

using itemtext::ContainsNoCase;
using itemtext::Cut;
using itemtext::EqualNoCase;
using itemtext::ReplaceAllNoCase;
using itemtext::Trim;
using itemtext::Upper;

namespace {

CLog* Log() { return GetLog(); }

std::string OsDefine() {
    CGlobalVar* g = GetGlobalVar();
    return g ? g->target.osDefine : std::string();
}

std::string LanguageKey(uint16_t id) {
    char key[16];
    std::snprintf(key, sizeof key, "0X%04X", static_cast<unsigned>(id));
    return key;
}

// The installer's own folder, as the paths of the package start with it.
std::string InstallerDir() {
    CGlobalVar* g = GetGlobalVar();
    return g ? g->target.installerDir : std::string();
}

}  // namespace

CItem::CItem() = default;
CItem::~CItem() = default;

ITEM_DATA* CItem::GetItem(int index) const {
    if (index < 0 || index >= GetItemCount()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

int CItem::FindItem(const std::string& sectionName) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (EqualNoCase(items_[i]->sectionName, sectionName)) return static_cast<int>(i);
    return -1;
}

void CItem::FreeItems() { items_.clear(); }

bool CItem::GetItemString(const std::string& section, const char* key, std::string& out,
                          const ITEM_DATA* language, bool osVariant) const {
    CInstProfile* data = GetDataProfile();
    if (!data) return false;
    const uint16_t id = language ? language->languageId : 0;
    const char* abbr = language ? language->languageAbbreviation.c_str() : nullptr;
    const char* dir = language ? language->languageDirectory.c_str() : nullptr;
    if (osVariant) {
        const std::string suffixed = std::string(key) + "." + OsDefine();
        if (data->GetString(section.c_str(), suffixed.c_str(), out, true, id, abbr, dir,
                            kItemTextMax + 1))
            return true;
    }
    return data->GetString(section.c_str(), key, out, true, id, abbr, dir, kItemTextMax + 1);
}

bool CItem::ParseItem(const std::string& sectionName) {
    if (sectionName.empty()) return false;
    auto item = std::make_unique<ITEM_DATA>();
    ITEM_DATA& it = *item;
    CInstProfile* data = GetDataProfile();
    if (!data) return false;
    const std::string& s = sectionName;
    auto read = [&](const char* key, std::string& field, bool osVariant = false) {
        std::string value;
        if (GetItemString(s, key, value, nullptr, osVariant)) field = value;
    };
    auto number = [&](const char* key, uint32_t* value) { return data->GetDword(s.c_str(), key, value); };

    GetItemString(s, "ITEM_LANG", it.itemLanguageSection);
    it.sectionName = Cut(s, kItemTextMax);
    read("UNSUPPORTED_OS", it.unsupportedSystems);
    const std::string os = OsDefine();
    if (!it.unsupportedSystems.empty() &&
        IsInTokenList(it.unsupportedSystems.c_str(), os.c_str(), ",")) {
        if (CLog* log = Log()) log->Log(" %s is not available in this OS(%s)", s.c_str(), os.c_str());
        return false;
    }
    CGlobalVar* g = GetGlobalVar();
    ResolveItemLanguage(it, g ? g->language.languageId : 9);
    read("INST_CMD", it.installCommand, true);
    read("UNINST_CMD", it.uninstallCommand, true);
    read("REINST_CMD", it.reinstallCommand, true);
    read("INF_FILE", it.infPath, true);
    read("INF_9X", it.infPath9x);
    read("INF_NT", it.infPathNt);
    read("INF_2K", it.infPath2k);
    read("DISPLAY_NAME", it.displayName);
    std::string description;
    GetItemString(s, "DESCRIPTION", description);
    if (!GetItemString(s, "INST_DESC", it.installDescription)) it.installDescription = description;
    if (!GetItemString(s, "REMOVE_DESC", it.removeDescription)) it.removeDescription = description;
    if (!GetItemString(s, "REPAIR_DESC", it.repairDescription)) it.repairDescription = description;
    read("TOOLTIP", it.tooltip);
    read("COPY_FILE", it.copyFileList);
    read("UNINST_KEY", it.uninstallKey);
    read("REINST_KEY", it.reinstallKey);
    std::string keyword;
    if (GetItemString(s, "DEFAULT_INST_TYPE", keyword)) it.checkState = ParseCheckState(keyword, &it);
    uint32_t n = 0;
    if (number("SUCCESS_RET_VAL", &n)) it.successReturnValue = static_cast<int32_t>(n);
    read("WAIT_FILE", it.waitFile);
    read("REG_WAIT_KEY", it.waitRegistryKey);
    read("REG_WAIT_VALUE", it.waitRegistryValue);
    if (number("REG_WAIT_INT_DATA", &n)) it.waitRegistryNumber = n;
    read("REG_WAIT_STR_DATA", it.waitRegistryText);
    read("PRINTER_NAME", it.printerName);
    read("DRIVER_NAME", it.driverName);
    read("SHARE_NAME", it.shareName);
    if (number("DEFAULT_PRINTER", &n)) it.defaultPrinter = static_cast<int32_t>(n) > 0;
    if (number("SHARE_PRINTER", &n)) it.sharePrinter = static_cast<int32_t>(n) > 0;
    if (number("INDEX", &n)) it.index = static_cast<int32_t>(n);

    it.installed = IsItemInstalled(s, &it, false);
    if (it.installed)
        if (CLog* log = Log()) log->Log("%s is installed", it.displayName.c_str());
    read("DEVICE_STRING", it.deviceString);

    if (!IsValidForInstall(it, false)) {
        if (CLog* log = Log()) log->Log("%s item is not available!!", it.displayName.c_str());
        return true;
    }
    if (CLog* log = Log()) log->Log("%s item is available!!", it.displayName.c_str());
    // A PCL driver needs the AGFA option unless the package decided it.
    if (g && !g->options.agfaGiven && Upper(it.driverName).find(" PCL") != std::string::npos) {
        g->options.agfa = true;
        if (CLog* log = Log()) log->Log("AGFA Option is ON");
    }
    items_.push_back(std::move(item));
    return true;
}

bool CItem::ResolveItemLanguage(ITEM_DATA& item, uint16_t currentLanguage) {
    item.languageId = currentLanguage;
    CInstProfile* data = GetDataProfile();
    CGlobalVar* g = GetGlobalVar();
    if (data && !item.itemLanguageSection.empty()) {
        const uint16_t system = g ? g->language.systemLanguageId : currentLanguage;
        const uint16_t candidates[] = {currentLanguage, static_cast<uint16_t>(currentLanguage & 0x3FF),
                                       system, static_cast<uint16_t>(system & 0x3FF)};
        for (uint16_t c : candidates) {
            uint32_t id = 0;
            if (data->GetDword(item.itemLanguageSection.c_str(), LanguageKey(c).c_str(), &id)) {
                item.languageId = static_cast<uint16_t>(id);
                break;
            }
        }
    }
    item.languageAbbreviation.clear();
    item.languageDirectory.clear();
    if (data) {
        // The language table's entry of the ID, else of its primary language.
        auto entry = [&](const char* table, std::string& out) {
            for (uint16_t id : {item.languageId, static_cast<uint16_t>(item.languageId & 0x3FF)}) {
                std::string text;
                if (data->GetString(table, LanguageKey(id).c_str(), text, true, 0, nullptr, nullptr, 260)) {
                    out = text;
                    return;
                }
            }
        };
        entry("LANGUAGE_ABBR", item.languageAbbreviation);
        entry("LANGUAGE_DIR", item.languageDirectory);
    }
    return true;
}

int32_t CItem::ParseCheckState(const std::string& keyword, const ITEM_DATA* item) {
    const std::string k = Trim(keyword);
    if (EqualNoCase(k, "NO")) return kCheckNo;
    if (EqualNoCase(k, "ALL")) return kCheckAll;
    if (EqualNoCase(k, "GRAYCHK")) return kCheckGrayChk;
    if (EqualNoCase(k, "CHK")) return kCheckChk;
    if (EqualNoCase(k, "UNCHK")) return kCheckUnchk;
    if (!EqualNoCase(k, "DEVCHK")) return kCheckNo;
    if (!item || item->deviceString.empty()) return kCheckUnchk;
    std::string id;
    if (!QueryDeviceId(id) || id.empty()) return kCheckUnchk;
    CGlobalVar* g = GetGlobalVar();
    const std::string up = Upper(id);
    const bool match = g && up.find(Upper(g->programInfo.mfg)) != std::string::npos &&
                       up.find(Upper(g->programInfo.mdl)) != std::string::npos &&
                       up.find(Upper(item->deviceString)) != std::string::npos;
    return match ? kCheckChk : kCheckNo;
}

bool CItem::QueryDeviceId(std::string& deviceId) {
    CGlobalVar* g = GetGlobalVar();
    if (!g) return false;
    // The library writes up to 16 384 bytes.
    std::vector<char> buffer(16384 + 1, '\0');
    CExternalFnt& fnt = g->externalFnt;
    const CInstallTarget& t = g->target;
    int ok = 0;
    if (!t.ip.empty()) {
        ok = fnt.MyGetPrinterDesc(t.ip.c_str(), buffer.data(), g->options.usePublicOid ? 1 : 0);
    } else if (!t.port.empty() && t.portChosen) {
        ok = fnt.MyGetDeviceIDFromPort(t.port.c_str(), buffer.data());
    } else {
        char port[260] = {};
        int32_t portNumber = 0;
        fnt.GetDevicePort(g->programInfo.mfg.c_str(), g->programInfo.mdl.c_str(),
                          g->programInfo.vidpid.c_str(), port, &portNumber);
        port[sizeof port - 1] = '\0';
        if (portNumber != 0) ok = fnt.MyGetDeviceIDFromPort(port, buffer.data());
    }
    buffer.back() = '\0';
    if (!ok) return false;
    deviceId = buffer.data();
    return true;
}

bool CItem::ReadItemParameters(ITEM_DATA& item, const std::string& sectionName) {
    CInstProfile* data = GetDataProfile();
    std::vector<std::string> entries;
    if (!data || !data->GetAllKey(sectionName.c_str(), entries, item.languageId,
                                  item.languageAbbreviation.c_str(), item.languageDirectory.c_str()))
        return false;
    struct Target {
        const char* key;
        std::string* field;
        bool* flag;
        bool trims;
        bool started;
    };
    Target targets[] = {
        {"INST_PARAM", &item.installParameters, nullptr, true, false},
        {"UNINST_PARAM", &item.uninstallParameters, nullptr, true, false},
        {"REINST_PARAM", &item.reinstallParameters, nullptr, true, false},
        {"INST_PARAM2", &item.installParameters2, &item.hasInstallParameters2, false, false},
        {"UNINST_PARAM2", &item.uninstallParameters2, &item.hasUninstallParameters2, false, false},
        {"REINST_PARAM2", &item.reinstallParameters2, &item.hasReinstallParameters2, false, false},
    };
    for (const std::string& entry : entries) {
        const size_t eq = entry.find('=');
        if (eq == std::string::npos || entry.size() < 12) continue;
        std::string value = entry.substr(eq + 1);
        if (value.empty()) continue;
        const std::string key = Trim(entry.substr(0, eq));
        value = Trim(value);
        for (Target& t : targets) {
            if (!EqualNoCase(key, t.key)) continue;
            if (!t.started) {
                t.field->clear();
                t.started = true;
            }
            if (t.flag) *t.flag = true;
            *t.field += value;
            *t.field += ' ';
            *t.field = Cut(*t.field, kItemTextMax);
            break;
        }
    }
    for (Target& t : targets)
        if (t.started && t.trims && !t.field->empty() && t.field->back() == ' ') t.field->pop_back();
    return true;
}

bool CItem::LoadItemTypes() {
    types_.clear();
    CInstProfile* data = GetDataProfile();
    std::vector<std::string> names;
    if (!data || !data->GetAllKey("ITEM_TYPE_INFO", names)) return true;
    const std::string os = OsDefine();
    auto readOs = [&](const std::string& section, const char* key, std::string& out, bool expand) {
        const std::string suffixed = std::string(key) + "." + os;
        return data->GetString(section.c_str(), suffixed.c_str(), out, expand) ||
               data->GetString(section.c_str(), key, out, expand);
    };
    for (const std::string& line : names) {
        const std::string section = Trim(line);
        if (section.empty()) continue;
        auto type = std::make_unique<INSTALLER_TYPE>();
        data->GetString(section.c_str(), "CLASS", type->deviceClass);
        readOs(section, "INSTALLER", type->installer, true);
        if (type->deviceClass.empty() || type->installer.empty() ||
            !IsFileExist(type->installer.c_str()))
            continue;
        // The templates are expanded per item, in the item's language.
        readOs(section, "INST_PARAM", type->installTemplate, false);
        readOs(section, "UNINST_PARAM", type->uninstallTemplate, false);
        readOs(section, "REINST_PARAM", type->reinstallTemplate, false);
        types_.push_back(std::move(type));
    }
    return true;
}

bool CItem::ResolveInfInstaller(ITEM_DATA& item, bool checkOnly) {
    CLog* log = Log();
    if (item.infPath.empty()) {
        if (log) log->Log("Invalid Inf File Name [%s]", item.displayName.c_str());
        return false;
    }
    std::string deviceClass;
    {
        CProfile inf(item.infPath.c_str(), nullptr);
        if (!inf.IsLoaded() || inf.GetString("VERSION", "Class", deviceClass) != 0 ||
            Trim(deviceClass).empty()) {
            if (log)
                log->Log("Get Class Name from %s Inf file fail [%s]", item.infPath.c_str(),
                         item.displayName.c_str());
            return false;
        }
    }
    deviceClass = Upper(Trim(deviceClass));
    const std::string own = InstallerDir();
    item.destinationInfPath = Cut(ReplaceAllNoCase(item.infPath, own, "$DEST_INST_DIR$"), kItemTextMax);
    const INSTALLER_TYPE* type = nullptr;
    for (const auto& t : types_)
        if (EqualNoCase(t->deviceClass, deviceClass)) {
            type = t.get();
            break;
        }
    if (!type) {
        if (log) log->Log("there is no matched inf installer section [%s]", item.infPath.c_str());
        return false;
    }
    if (!checkOnly) {
        CGlobalVar* g = GetGlobalVar();
        auto fill = [&](const std::string& tmpl) {
            std::string text = ReplaceAllNoCase(tmpl, "$INF$", item.infPath);
            text = ReplaceAllNoCase(text, "$SRC_INF$", item.infPath);
            text = ReplaceAllNoCase(text, "$DEST_INF$", item.destinationInfPath);
            if (g)
                text = g->ExpandMacros(text, item.languageId, item.languageAbbreviation,
                                       item.languageDirectory);
            text = Cut(text, kItemTextMax);
            if (!item.driverName.empty())
                AddPrinterOption(text, kItemTextMax + 1, item.index, item.driverName);
            return text;
        };
        const std::string command = Cut(ReplaceAllNoCase(type->installer, own, "$DEST_INST_DIR$"), kItemTextMax);
        item.installCommand = command;
        item.uninstallCommand = command;
        item.installParameters = fill(type->installTemplate);
        item.uninstallParameters = fill(type->uninstallTemplate);
        // Repairs run the same installer with the type's reinstall arguments.
        if (!type->reinstallTemplate.empty()) {
            item.reinstallCommand = command;
            item.reinstallParameters = fill(type->reinstallTemplate);
        }
    }
    item.infInstaller = true;
    return true;
}

bool CItem::AddPrinterOption(std::string& parameters, size_t size, int32_t index,
                             const std::string& driverName) {
    const std::string name = Trim(driverName, " \t\"");
    if (index == -1 && name.empty()) return true;
    const std::string option = index != -1 ? "/I" : "/O";
    const size_t at = Upper(parameters).find(option);
    if (at != std::string::npos) {
        const size_t next = parameters.find('/', at + 1);
        parameters.erase(at, next == std::string::npos ? std::string::npos : next - at);
    }
    char added[64];
    if (index != -1) {
        std::snprintf(added, sizeof added, " /I %d", static_cast<int>(index));
        parameters += added;
    } else {
        parameters += " /O \"" + name + "\"";
    }
    if (size > 0) parameters = Cut(parameters, size - 1);
    return true;
}

bool CItem::IsValidForInstall(ITEM_DATA& item, bool checkOnly) {
    CLog* log = Log();
    if (item.infPath.empty() && item.installCommand.empty() && item.displayName.empty()) {
        if (log)
            log->Log("%s item is invalid because inf, install command and display name are empty",
                     item.sectionName.c_str());
        return false;
    }
    const bool commandExists = !item.installCommand.empty() && IsFileExist(item.installCommand.c_str());
    if (!item.infPath.empty() && IsFileExist(item.infPath.c_str())) {
        if (commandExists) return true;
        return ResolveInfInstaller(item, checkOnly);
    }
    if (commandExists) return true;
    if (log)
        log->Log("[%s] Inf name[%s] and installation command[%s] are invalid!!!",
                 item.displayName.c_str(), item.infPath.c_str(), item.installCommand.c_str());
    return false;
}

bool CItem::IsValidForUninstall(ITEM_DATA& item, bool checkOnly) {
    if (CLog* log = Log()) {
        log->Log("Verify Uninstall Item(%s)", item.displayName.c_str());
        log->Log("Inf[%s],UninstallCmd[%s],Uninstallkey[%s],Display Name[%s]", item.infPath.c_str(),
                 item.uninstallCommand.c_str(), item.uninstallKey.c_str(), item.displayName.c_str());
    }
    if (item.infPath.empty() && item.uninstallCommand.empty() && item.uninstallKey.empty() &&
        item.displayName.empty())
        return false;
    const bool commandExists =
        !item.uninstallCommand.empty() && IsFileExist(item.uninstallCommand.c_str());
    if (!item.infPath.empty() && IsFileExist(item.infPath.c_str())) {
        if (commandExists) return true;
        return ResolveInfInstaller(item, checkOnly);
    }
    if (commandExists) return true;
    if (!item.uninstallKey.empty()) {
        CRegistryKeys* keys = GetRegistryKeys();
        std::string value;
        return keys &&
               CRegistry::GetValue(keys->uninstallInfo.c_str(), item.uninstallKey.c_str(), value,
                                   os::kHKLM) == 0 &&
               !value.empty();
    }
    return false;
}

bool CItem::PrinterInstalled(const std::string& driverName, bool byDriver) {
    return IsPrinterInstalled(driverName.c_str(), byDriver);
}

bool CItem::IsItemInstalled(const std::string& sectionName, const ITEM_DATA* item,
                            bool printerCheck) {
    if (!item) {
        item = GetItem(FindItem(sectionName));
        if (!item) return false;
    }
    // The printer check asks for a printer, otherwise the driver will do.
    if (!item->driverName.empty()) return PrinterInstalled(item->driverName, printerCheck);
    CRegistryKeys* keys = GetRegistryKeys();
    if (!keys) return false;
    if (!item->uninstallKey.empty()) {
        std::string value;
        return CRegistry::GetValue(keys->uninstallInfo.c_str(), item->uninstallKey.c_str(), value,
                                   os::kHKLM) == 0;
    }
    uint32_t now = 0;
    return CRegistry::GetValue(ItemRecordKey(item->sectionName, true).c_str(), "InstallNow", &now,
                               os::kHKLM) == 0 &&
           now == 2;
}

std::string CItem::ItemRecordKey(const std::string& sectionName, bool installed) const {
    CRegistryKeys* keys = GetRegistryKeys();
    if (!keys) return std::string();
    return (installed ? keys->installed : keys->installing) + "\\Items\\" + sectionName;
}

bool CItem::FinalizeItem(ITEM_DATA* item, int index) {
    if (!item || item->sectionName.empty()) return false;
    const std::string key = ItemRecordKey(item->sectionName, false);
    CRegistry::SetValue(key.c_str(), "Item_Name", item->sectionName.c_str(), os::kHKLM);
    if (item->infInstaller) {
        ResolveInfInstaller(*item, false);
    } else {
        std::string value;
        if (GetItemString(item->sectionName, "INST_CMD", value, item, true)) item->installCommand = value;
        if (GetItemString(item->sectionName, "UNINST_CMD", value, item, true)) item->uninstallCommand = value;
        if (GetItemString(item->sectionName, "REINST_CMD", value, item, true)) item->reinstallCommand = value;
        ReadItemParameters(*item, item->sectionName);
    }
    WriteItemRecord(*item, index);
    return true;
}
