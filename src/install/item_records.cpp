// The records that hand a run's selection to the installer library: one
// per item, per copy section and per shortcut, below the installing key.
#include "app/global_var.h"
#include "app/installer_app.h"
#include "command/registry.h"
#include "install/item.h"
#include "install/item_text.h"

using itemtext::EqualNoCase;
using itemtext::Trim;

namespace {

void Text(const std::string& key, const char* name, const std::string& value, bool always = false) {
    if (!always && value.empty()) return;
    CRegistry::SetValue(key.c_str(), name, value.c_str(), os::kHKLM);
}

void Number(const std::string& key, const char* name, uint32_t value) {
    CRegistry::SetValue(key.c_str(), name, value, os::kHKLM);
}

}  // namespace

void CItem::WriteItemRecord(const ITEM_DATA& item, int index) {
    const std::string key = ItemRecordKey(item.sectionName, false);
    if (key.empty()) return;
    CGlobalVar* g = GetGlobalVar();
    const bool second = g && g->target.useSecondParameters;
    Text(key, "InstCmd", item.installCommand);
    Text(key, "UninstCmd", item.uninstallCommand);
    Text(key, "ReinstCmd", item.reinstallCommand);

    // The printer manager's own arguments come first when it builds them.
    const bool autoPrinter = g && g->options.autoPrinterCommand && !item.printerName.empty();
    auto choose = [&](bool hasSecond, const std::string& first, const std::string& secondText,
                      const char* name) {
        if (second && hasSecond) Text(key, name, secondText, true);
        else Text(key, name, first);
    };
    std::string printer;
    if (autoPrinter && printerTable_ && printerTable_->InstallParameters(index, printer))
        Text(key, "InstParam", itemtext::Cut(printer + " " + item.installParameters, kItemTextMax), true);
    else
        choose(item.hasInstallParameters2, item.installParameters, item.installParameters2, "InstParam");
    printer.clear();
    if (autoPrinter && printerTable_ && printerTable_->UninstallParameters(index, printer))
        Text(key, "UninstParam", itemtext::Cut(printer + " " + item.uninstallParameters, kItemTextMax),
             true);
    else
        choose(item.hasUninstallParameters2, item.uninstallParameters, item.uninstallParameters2,
               "UninstParam");
    choose(item.hasReinstallParameters2, item.reinstallParameters, item.reinstallParameters2,
           "ReinstParam");

    Text(key, "Uninstall_Value_Name", item.uninstallKey);
    Text(key, "Reinstall_Value_Name", item.reinstallKey);
    Number(key, "LangCode", item.languageId);
    Text(key, "LangAbbr", item.languageAbbreviation);
    Text(key, "WaitFile", item.waitFile);
    Text(key, "WaitRegKey", item.waitRegistryKey);
    Text(key, "WaitRegValue", item.waitRegistryValue);
    Text(key, "WaitRegStrData", item.waitRegistryText);
    if (item.waitRegistryNumber != 0xFFFF) Number(key, "WaitRegIntData", item.waitRegistryNumber);
    Number(key, "Success_Return", static_cast<uint32_t>(item.successReturnValue));
    if (item.checked) Number(key, "InstallNow", 1);
    if (item.driverName.empty()) return;

    Text(key, "Driver_Name", item.driverName);
    Number(key, "Printer", 1);
    Text(key, "Printer_Name", item.printerName);
    if (item.defaultPrinter) Text(GetInstallingKey(), "Default_Printer", item.printerName, true);
    // The INF paths again, in the item's language.
    auto inf = [&](const char* profileKey, bool osVariant, const std::string& parsed, const char* name) {
        std::string value;
        if (!GetItemString(item.sectionName, profileKey, value, &item, osVariant)) value = parsed;
        Text(key, name, value);
    };
    inf("INF_FILE", true, item.infPath, "Inf_Path");
    inf("INF_9X", false, item.infPath9x, "Win_9x_Inf");
    inf("INF_NT", false, item.infPathNt, "Win_NT_Inf");
    inf("INF_2K", false, item.infPath2k, "Win_2K_Inf");
    Text(key, "Share_Name", item.shareName);
    Number(key, "Share", item.sharePrinter ? 1 : 0);
}

void CItem::WriteCopyFileRecord(const std::string& listed) {
    CInstProfile* command = GetCommandProfile();
    CGlobalVar* g = GetGlobalVar();
    const std::string installing = GetInstallingKey();
    if (!command || installing.empty()) return;
    std::string name = Trim(listed);
    if (name.empty()) return;
    if (g) {
        const std::string suffixed = name + "." + g->target.osDefine;
        if (command->HasSection(suffixed.c_str())) name = suffixed;
    }
    const std::string key = installing + "\\CopyFiles\\" + name;
    const char* section = name.c_str();
    std::string text;
    if (command->GetString(section, "DESCRIPTION", text)) Text(key, "Description", text, true);
    if (command->GetString(section, "SOURCE", text)) Text(key, "Src", text, true);
    if (command->GetString(section, "DESTINATION", text)) Text(key, "Dest", text, true);
    uint32_t n = 0;
    if (command->GetDword(section, "COPY_SUBDIR", &n)) Number(key, "CopySubDir", n);
    if (!command->GetDword(section, "DELETE", &n)) n = 1;
    Number(key, "Delete", n);
}

bool CItem::WriteShortcutRecord(const std::string& name) {
    CInstProfile* command = GetCommandProfile();
    const std::string installing = GetInstallingKey();
    if (!command || installing.empty()) return false;
    const char* section = name.c_str();
    std::string shortcut;
    if (!command->GetString(section, "NAME", shortcut)) return false;
    const std::string key = installing + "\\Shortcut\\" + name;
    auto text = [&](const char* profileKey, std::string* value = nullptr) {
        std::string v;
        command->GetString(section, profileKey, v);
        if (value) *value = v;
        return v;
    };
    auto number = [&](const char* profileKey, uint32_t fallback) {
        uint32_t v = 0;
        return command->GetDword(section, profileKey, &v) ? v : fallback;
    };
    Text(key, "Name", shortcut, true);
    std::string target;
    Text(key, "Target", text("TARGET", &target), true);
    std::string startIn;
    if (!command->GetString(section, "START_IN", startIn)) {
        // The target's folder.
        const std::string bare = Trim(target, " \t\"");
        const size_t slash = bare.rfind('\\');
        startIn = slash == std::string::npos ? std::string() : bare.substr(0, slash);
    }
    Text(key, "Start_in", startIn, true);
    Text(key, "Argument", text("ARGUMENT"), true);
    Text(key, "Icon_File", text("ICON_FILE"), true);
    Text(key, "Folder_Name", text("FOLDER_NAME"), true);
    Number(key, "Icon_Index", number("ICON_INDEX", 0));
    Number(key, "Permission", number("PERMISSION", 0));
    Number(key, "Group", EqualNoCase(Trim(text("GROUP")), "DESKTOP") ? 1 : 0);
    Text(key, "Icon_Description", text("DESCRIPTION"), true);
    Number(key, "Delete", number("DELETE", 1));
    return true;
}

CItem* GetItemManager() {
    CInstallerApp* app = GetInstallerApp();
    return app ? &app->items() : nullptr;
}
