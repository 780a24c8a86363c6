// The item list: loading, check states, the default and the page's
// selection, removal of everything, and the queries other steps ask.
#include <algorithm>
#include <cstdio>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/messages.h"
#include "command/cmd_operator.h"
#include "command/registry.h"
#include "install/item.h"
#include "install/item_text.h"
#include "platform/ui.h"

using itemtext::Cut;
using itemtext::ReplaceAllNoCase;
using itemtext::Trim;
using itemtext::Upper;

namespace {

const char kItemList[] = "ITEM_INFO";

// The setup type of the run; missing counts as an install.
uint32_t SetupTypeOrInstall() {
    uint32_t type = 1;
    const std::string key = GetInstallingKey();
    if (key.empty() || CRegistry::GetValue(key.c_str(), "Setup_Type", &type, os::kHKLM) != 0) type = 1;
    return type;
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string piece = Trim(list.substr(start, comma == std::string::npos ? std::string::npos
                                                                               : comma - start));
        if (!piece.empty()) out.push_back(piece);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

}  // namespace

ItemPageMode ItemPageMode::Parse(const std::string& itemType) {
    const std::string t = Upper(itemType);
    auto has = [&](const char* word) { return t.find(word) != std::string::npos; };
    ItemPageMode m;
    if (has("NORMAL")) m.listing = kByCheckState;
    else if (has("NOT_INST")) m.listing = kNotInstalled;
    else if (has("INST")) m.listing = kInstalled;
    else if (has("ALL")) m.listing = kAll;
    if (has("UNCHK")) m.forced = kForceUnchecked;
    else if (has("CHK")) m.forced = kForceChecked;
    if (has("TYPE_INST")) m.mode = kInstall;
    else if (has("TYPE_UNIN")) m.mode = kUninstall;
    else if (has("TYPE_REIN")) m.mode = kReinstall;
    return m;
}

bool CItem::LoadItems(const std::string& section, void* progressWindow) {
    itemListSection_ = section.empty() ? std::string(kItemList) : Cut(section, 259);
    LoadItemTypes();
    CInstProfile* data = GetDataProfile();
    std::vector<std::string> names;
    bool read = data && data->GetAllKey(itemListSection_.c_str(), names);
    if (!read) {
        itemListSection_.clear();
    } else {
        size_t count = 0;
        while (count < names.size() && !Trim(names[count]).empty()) ++count;
        ui::HWnd progress = static_cast<ui::HWnd>(progressWindow);
        COptionInfo* options = GetOptionInfo();
        if (progress)
            ui::Send(progress, WM_USER_PROGRESS_STEP, options && options->precreateDialogs ? 10 : 70,
                     static_cast<intptr_t>(count));
        for (size_t i = 0; i < count; ++i) {
            ParseItem(Trim(names[i]));
            if (progress) ui::Send(progress, WM_USER_PROGRESS_STEP, 0, 0);
        }
    }
    std::string uninstall;
    if (data && data->GetString("PROGRAM_INFO", "OS_UNINST_REG_KEY", uninstall, true, 0, nullptr,
                                nullptr, 260))
        osUninstallSection_ = uninstall;
    else
        osUninstallSection_ = "ADD_REG.UNINSTKEY";
    return read;
}

bool CItem::ReloadItems(void* progressWindow) {
    FreeItems();
    return LoadItems(kItemList, progressWindow);
}

int32_t CItem::RefreshCheckState(int index, bool keepStored) {
    ITEM_DATA* item = GetItem(index);
    if (!item) return kCheckNo;
    if (keepStored) return item->checkState;
    const std::string key = GetInstallingKey();
    std::string installType;
    if (key.empty() ||
        CRegistry::GetValue(key.c_str(), "Install_Type", installType, os::kHKLM) != 0)
        return item->checkState;
    CInstProfile* data = GetDataProfile();
    std::string keyword;
    if (data && !data->GetString(item->sectionName.c_str(), installType.c_str(), keyword) &&
        !data->GetString(item->sectionName.c_str(), "DEFAULT_INST_TYPE", keyword))
        keyword.clear();
    item->checkState = ParseCheckState(keyword, item);
    return item->checkState;
}

void CItem::SelectDefaultItems() {
    for (int i = 0; i < GetItemCount(); ++i) {
        const int32_t state = RefreshCheckState(i, false);
        GetItem(i)->checked = state == kCheckAll || state == kCheckChk || state == kCheckGrayChk;
    }
    WriteItemRecords();
}

void CItem::WriteItemRecords() {
    for (int i = 0; i < GetItemCount(); ++i) FinalizeItem(GetItem(i), i);
    for (int i = 0; i < GetItemCount(); ++i) {
        const ITEM_DATA* item = GetItem(i);
        if (!item->checked) continue;
        for (const std::string& name : SplitList(item->copyFileList)) WriteCopyFileRecord(name);
    }
    std::vector<std::string> lines;
    if (CInstProfile* command = GetCommandProfile())
        if (command->GetAllKey("COPY_FILE_INFO", lines))
            for (const std::string& line : lines)
                if (!Trim(line).empty()) WriteCopyFileRecord(line);
    lines.clear();
    if (CInstProfile* data = GetDataProfile())
        if (data->GetAllKey("SHORTCUT_INFO", lines))
            for (const std::string& line : lines) {
                const std::string name = Trim(line);
                if (name.empty()) continue;
                if (WriteShortcutRecord(name) &&
                    std::find(shortcutNames_.begin(), shortcutNames_.end(), name) == shortcutNames_.end())
                    shortcutNames_.push_back(name);
            }
    RebuildPrinterTable(printerTable_, true);
}

void CItem::UncheckAll() {
    for (auto& item : items_) item->checked = false;
}

bool CItem::RunRegistryCommand(const char* type, const std::string& section) {
    CCmdOperator op;
    CMD_DATA cmd(type, section.c_str());
    return op.ExecuteCommand(&cmd);
}

void CItem::SelectInstalledForRemoval() {
    for (int i = 0; i < GetItemCount(); ++i) {
        ITEM_DATA* item = GetItem(i);
        if (!item->installed) continue;
        item->checked = true;
        FinalizeItem(item, i);
    }
    RunRegistryCommand("CT_SET_SETUP_TYPE", "UNINST");
}

bool CItem::IsAnyItemInstalled() {
    for (const auto& item : items_)
        if (IsItemInstalled(item->sectionName, item.get(), true)) return true;
    return false;
}

bool CItem::IsProductInstalled() {
    CRegistryKeys* keys = GetRegistryKeys();
    std::string dest;
    if (!keys || CRegistry::GetValue(keys->installed.c_str(), "Dest_Dir", dest, os::kHKLM) != 0)
        return false;
    for (const auto& item : items_)
        if (item->installed) return true;
    return false;
}

bool CItem::SetPrinterPortOption(int index) {
    ITEM_DATA* item = GetItem(index);
    const std::string key = GetInstallingKey();
    uint32_t type = 0;
    if (!item || key.empty() || CRegistry::GetValue(key.c_str(), "Setup_Type", &type, os::kHKLM) != 0)
        return false;
    if (type == 0 || type == 2 || type == 6 || item->driverName.empty()) return true;
    std::string parameters = item->installParameters;
    const size_t at = Upper(parameters).find("/P");
    if (at != std::string::npos) {
        const size_t next = parameters.find('/', at + 1);
        parameters.erase(at, next == std::string::npos ? std::string::npos : next - at);
    }
    parameters += ' ';
    std::string port;
    if (!printerTable_ || !printerTable_->PortOf(index, port)) return true;
    parameters += "/P\"" + port + "\"";
    parameters = Cut(parameters, kItemTextMax);
    if (CLog* log = GetLog())
        log->Log("Modify install param of printer[%s] from [%s] to [%s]", item->displayName.c_str(),
                 item->installParameters.c_str(), parameters.c_str());
    item->installParameters = parameters;
    const std::string record = key + "\\Items\\" + item->sectionName;
    CRegistry::SetValue(record.c_str(), "InstParam", parameters.c_str(), os::kHKLM);
    return true;
}

void CItem::DeleteItemRecord(int index) {
    ITEM_DATA* item = GetItem(index);
    if (!item) return;
    const std::string key = ItemRecordKey(item->sectionName, true);
    if (!key.empty()) CRegistry::DeleteKey(key.c_str(), false, os::kHKLM);
}

bool CItem::AddOsUninstallEntry() { return RunRegistryCommand("CT_ADDREG", osUninstallSection_); }
bool CItem::RemoveOsUninstallEntry() { return RunRegistryCommand("CT_DELREG", osUninstallSection_); }

int CItem::ListStateOf(ITEM_DATA& item, int checkState, const ItemPageMode& mode) {
    CLog* log = GetLog();
    const char* name = item.displayName.c_str();
    switch (mode.mode) {
    case ItemPageMode::kInstall:
        if (!IsValidForInstall(item, true)) {
            if (log) log->Log("%s item is invalid to install!!", name);
            return kRowNotListed;
        }
        break;
    case ItemPageMode::kUninstall:
        if (!IsValidForUninstall(item, true)) {
            if (log) log->Log("%s item is invalid to uninstall!!", name);
            return kRowNotListed;
        }
        break;
    case ItemPageMode::kReinstall:
        if (!IsValidForInstall(item, true) || !IsValidForUninstall(item, true)) {
            if (log) log->Log("%s item is invalid to reinstall!!", name);
            return kRowNotListed;
        }
        break;
    }
    if (mode.listing == ItemPageMode::kInstalled && !item.installed) return kRowNotListed;
    if (mode.listing == ItemPageMode::kNotInstalled && item.installed) return kRowNotListed;
    if (mode.listing != ItemPageMode::kByCheckState && mode.forced != ItemPageMode::kNoForce)
        return mode.forced == ItemPageMode::kForceChecked ? kRowChecked : kRowUnchecked;
    const int state = checkState == -1 ? item.checkState : checkState;
    switch (state) {
    case kCheckNo:
    case kCheckAll: return kRowNotListed;
    case kCheckChk: return kRowChecked;
    case kCheckUnchk: return kRowUnchecked;
    case kCheckGrayChk: return kRowCheckedFixed;
    default: return kRowUnchecked;
    }
}

void CItem::RebuildPrinterTable(IPrinterTable* table, bool checkStateFilter) {
    if (!table) return;
    table->Clear();
    CInstallTarget* target = GetInstallTarget();
    int number = 0;
    for (int i = 0; i < GetItemCount(); ++i) {
        const ITEM_DATA* item = GetItem(i);
        if (item->driverName.empty()) continue;
        if (checkStateFilter && item->checkState != kCheckAll && item->checkState != kCheckChk &&
            item->checkState != kCheckGrayChk)
            continue;
        PrinterTableEntry e;
        e.printerName = item->printerName;
        e.driverName = item->driverName;
        e.shareName = item->shareName;
        e.infPath = item->destinationInfPath;
        e.defaultPrinter = item->defaultPrinter;
        e.sharePrinter = item->sharePrinter;
        if (target) {
            e.port = target->port;
            e.networkPort = target->networkPort;
        }
        e.number = number++;
        e.itemIndex = i;
        table->Add(e);
    }
}

int CItem::CountListedItems(const ItemPageMode& mode) {
    int n = 0;
    for (int i = 0; i < GetItemCount(); ++i) {
        ITEM_DATA* item = GetItem(i);
        if (ListStateOf(*item, RefreshCheckState(i, false), mode) != kRowNotListed) ++n;
    }
    return n;
}

void CItem::FillItemList(IItemRowList& list, const ItemPageMode& mode) {
    list.Clear();
    const uint32_t setupType = SetupTypeOrInstall();
    for (int i = 0; i < GetItemCount(); ++i) {
        ITEM_DATA* item = GetItem(i);
        const int state = ListStateOf(*item, RefreshCheckState(i, false), mode);
        if (state == kRowNotListed) continue;
        std::string description;
        if (setupType == 1) description = item->installDescription;
        else if (setupType == 2) description = item->removeDescription;
        else if (setupType >= 3 && setupType <= 5) description = item->repairDescription;
        // The description may name the item once.
        const size_t at = description.find("%s");
        if (at != std::string::npos) description.replace(at, 2, item->displayName);
        list.AddRow(i, item->displayName, state, description, item->tooltip);
    }
}

void CItem::CheckAllRows(IItemRowList& list, bool checked) {
    for (int r = 0; r < list.RowCount(); ++r) {
        const int state = list.RowState(r);
        if (state == kRowCheckedFixed || state == kRowFixed) continue;
        list.SetRowState(r, checked ? kRowChecked : kRowUnchecked);
    }
}

bool CItem::ApplyItemList(IItemRowList& list, IItemPageHost& host, const std::string& warning,
                          const std::string& confirm, bool* printerChecked) {
    const uint32_t setupType = SetupTypeOrInstall();
    bool anyChecked = false, printer = false;
    for (int r = 0; r < list.RowCount(); ++r) {
        ITEM_DATA* item = GetItem(list.RowItem(r));
        if (!item) continue;
        const int state = list.RowState(r);
        if (state == kRowChecked || state == kRowCheckedFixed) {
            anyChecked = true;
            item->checked = true;
            if (item->checkState == kCheckUnchk) item->checkState = kCheckChk;
        } else if (item->checkState == kCheckAll && setupType == 1) {
            item->checked = true;
        } else {
            if (item->checkState == kCheckChk) item->checkState = kCheckUnchk;
            item->checked = false;
        }
        if (item->checked && !item->driverName.empty()) printer = true;
    }
    if (printerChecked) *printerChecked = printer;
    const bool listed = list.RowCount() > 0;
    if (!anyChecked && listed && !warning.empty()) {
        host.Warn(warning);
        return false;
    }
    if (!confirm.empty() && listed && !host.Confirm(confirm)) return false;
    if (CInstallTarget* t = GetInstallTarget()) t->useSecondParameters = host.ChangeParametersChecked();
    WriteItemRecords();
    return true;
}

void CItem::ResetItemRecords() {
    const std::string key = GetInstallingKey();
    if (!key.empty()) CRegistry::DeleteKey((key + "\\Items").c_str(), false, os::kHKLM);
    UncheckAll();
}
