// The component manager: the package's items (one data-profile section
// each), their installer types, how they are selected for a run and the
// records that hand the selection to the installer library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "profile/export.h"

// Check states of an item (DEFAULT_INST_TYPE and the installation types).
enum CheckState : int32_t {
    kCheckNo = 0,       // not listed, not selected
    kCheckAll = 1,      // not listed, selected
    kCheckChk = 2,      // listed checked
    kCheckUnchk = 3,    // listed unchecked
    kCheckGrayChk = 4,  // listed checked and fixed
};

// Row states of the item list's check boxes; kRowNotListed: no row.
enum RowState : int {
    kRowNotListed = -1,
    kRowUnchecked = 0,
    kRowChecked = 1,
    kRowCheckedFixed = 2,
    kRowFixed = 3,
};

// The longest text an item field holds (bytes, without the terminator).
constexpr size_t kItemTextMax = 16383;

struct ITEM_DATA {
    std::string sectionName;
    bool checked = false;
    bool installed = false;
    std::string displayName;
    std::string installDescription;
    std::string removeDescription;
    std::string repairDescription;
    std::string tooltip;
    std::string installCommand;
    std::string installParameters;
    std::string installParameters2;
    bool hasInstallParameters2 = false;
    std::string uninstallCommand;
    std::string uninstallParameters;
    std::string uninstallParameters2;
    bool hasUninstallParameters2 = false;
    std::string reinstallCommand;
    std::string reinstallParameters;
    std::string reinstallParameters2;
    bool hasReinstallParameters2 = false;
    std::string copyFileList;
    std::string itemLanguageSection;
    std::string unsupportedSystems;
    std::string uninstallKey;
    std::string reinstallKey;
    int32_t checkState = kCheckUnchk;
    int32_t successReturnValue = 0;
    std::string waitFile;
    std::string waitRegistryKey;
    std::string waitRegistryValue;
    uint32_t waitRegistryNumber = 0xFFFF;  // 0xFFFF: none given
    std::string waitRegistryText;
    std::string printerName;
    std::string driverName;  // non-empty: a printer item
    std::string shareName;
    std::string infPath;
    std::string destinationInfPath;
    std::string infPath9x;
    std::string infPathNt;
    std::string infPath2k;
    std::string deviceString;
    bool defaultPrinter = false;
    bool sharePrinter = false;
    uint16_t languageId = 0;
    std::string languageAbbreviation;  // at most 259 bytes
    std::string languageDirectory;     // at most 259 bytes
    bool infInstaller = false;
    int32_t index = -1;  // the model inside the INF; -1: none
};

struct INSTALLER_TYPE {
    std::string deviceClass;
    std::string installer;
    std::string installTemplate;
    std::string uninstallTemplate;
    std::string reinstallTemplate;
};

// The item-list page's mode, from the page's ITEM_TYPE words.
struct ItemPageMode {
    enum Listing { kByCheckState, kNotInstalled, kInstalled, kAll };
    enum Forced { kNoForce, kForceUnchecked, kForceChecked };
    enum Mode { kInstall, kUninstall, kReinstall };
    Listing listing = kByCheckState;
    Forced forced = kNoForce;
    Mode mode = kInstall;

    static ItemPageMode Parse(const std::string& itemType);
};

// The check-box list the item-list page shows its rows in.
class IItemRowList {
public:
    virtual ~IItemRowList() = default;
    virtual void Clear() = 0;
    // Appends a row for item itemIndex; answers the row's index, or -1.
    virtual int AddRow(int itemIndex, const std::string& text, int state,
                       const std::string& description, const std::string& tooltip) = 0;
    virtual int RowCount() const = 0;
    virtual int RowState(int row) const = 0;
    virtual void SetRowState(int row, int state) = 0;
    // The item index given with AddRow, or -1.
    virtual int RowItem(int row) const = 0;
};

// What the item-list page needs of its window when Next is pressed.
class IItemPageHost {
public:
    virtual ~IItemPageHost() = default;
    // An OK box with the product name as caption.
    virtual void Warn(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Confirm(const std::string& text) = 0;
    // The change-parameters check box.
    virtual bool ChangeParametersChecked() = 0;
};

// One printer of the printer data table, described by a printer item.
struct PrinterTableEntry {
    std::string printerName;
    std::string driverName;
    std::string shareName;
    std::string infPath;  // the destination INF path
    bool defaultPrinter = false;
    bool sharePrinter = false;
    std::string port;
    bool networkPort = false;
    int number = 0;
    int itemIndex = -1;
};

// The printer manager's table, as the item list fills and asks it.
class IPrinterTable {
public:
    virtual ~IPrinterTable() = default;
    virtual void Clear() = 0;
    virtual void Add(const PrinterTableEntry& entry) = 0;
    // The port chosen for the item's printer; false when none.
    virtual bool PortOf(int itemIndex, std::string& port) = 0;
    // The printer install and uninstall parameters of the item's printer
    // (the AUTO_PRINTER_CMD option); false when none can be built.
    virtual bool InstallParameters(int itemIndex, std::string& text) = 0;
    virtual bool UninstallParameters(int itemIndex, std::string& text) = 0;
};

class SETUP_EXPORT CItem {
public:
    CItem();
    virtual ~CItem();
    CItem(const CItem&) = delete;
    CItem& operator=(const CItem&) = delete;

    // --- the item list
    // False when the item list section (empty: "ITEM_INFO") cannot be read.
    bool LoadItems(const std::string& section = std::string(), void* progressWindow = nullptr);
    bool ReloadItems(void* progressWindow = nullptr);
    void FreeItems();
    int GetItemCount() const { return static_cast<int>(items_.size()); }
    ITEM_DATA* GetItem(int index) const;
    int FindItem(const std::string& sectionName) const;
    const std::vector<std::string>& shortcutNames() const { return shortcutNames_; }
    const std::string& itemListSection() const { return itemListSection_; }
    const std::string& osUninstallSection() const { return osUninstallSection_; }
    const std::vector<std::unique_ptr<INSTALLER_TYPE>>& installerTypes() const { return types_; }

    // --- one item
    bool ParseItem(const std::string& sectionName);
    bool ResolveItemLanguage(ITEM_DATA& item, uint16_t currentLanguage);
    int32_t ParseCheckState(const std::string& keyword, const ITEM_DATA* item);
    bool ReadItemParameters(ITEM_DATA& item, const std::string& sectionName);
    bool LoadItemTypes();
    bool ResolveInfInstaller(ITEM_DATA& item, bool checkOnly);
    static bool AddPrinterOption(std::string& parameters, size_t size, int32_t index,
                                 const std::string& driverName);
    bool IsValidForInstall(ITEM_DATA& item, bool checkOnly);
    bool IsValidForUninstall(ITEM_DATA& item, bool checkOnly);
    bool IsItemInstalled(const std::string& sectionName, const ITEM_DATA* item, bool printerCheck);
    bool FinalizeItem(ITEM_DATA* item, int index);

    // --- selection
    int32_t RefreshCheckState(int index, bool keepStored);
    void SelectDefaultItems();
    void WriteItemRecords();
    void UncheckAll();
    void SelectInstalledForRemoval();
    bool IsAnyItemInstalled();
    bool IsProductInstalled();
    bool SetPrinterPortOption(int index);
    void DeleteItemRecord(int index);
    bool AddOsUninstallEntry();
    bool RemoveOsUninstallEntry();
    int ListStateOf(ITEM_DATA& item, int checkState, const ItemPageMode& mode);
    void RebuildPrinterTable(IPrinterTable* table, bool checkStateFilter);
    // Items with a row state on a page of this mode.
    int CountListedItems(const ItemPageMode& mode);

    // --- the item-list page's logic
    void FillItemList(IItemRowList& list, const ItemPageMode& mode);
    static void CheckAllRows(IItemRowList& list, bool checked);
    // Next: false keeps the page. printerChecked: a checked item has a driver.
    bool ApplyItemList(IItemRowList& list, IItemPageHost& host, const std::string& warning,
                       const std::string& confirm, bool* printerChecked);
    // Each time the page has been shown: the run's item records go.
    void ResetItemRecords();

    // --- records
    void WriteItemRecord(const ITEM_DATA& item, int index);
    void WriteCopyFileRecord(const std::string& name);
    bool WriteShortcutRecord(const std::string& name);

    // The printer manager's table; none until it exists.
    void SetPrinterTable(IPrinterTable* table) { printerTable_ = table; }
    IPrinterTable* printerTable() const { return printerTable_; }

protected:
    // The attached printer's IEEE 1284 device id; false for no answer.
    virtual bool QueryDeviceId(std::string& deviceId);
    virtual bool PrinterInstalled(const std::string& driverName, bool byDriver);
    virtual bool RunRegistryCommand(const char* type, const std::string& section);

private:
    bool GetItemString(const std::string& section, const char* key, std::string& out,
                       const ITEM_DATA* language = nullptr, bool osVariant = false) const;
    std::string ItemRecordKey(const std::string& sectionName, bool installed) const;

    std::vector<std::unique_ptr<ITEM_DATA>> items_;
    std::vector<std::string> shortcutNames_;
    std::vector<std::unique_ptr<INSTALLER_TYPE>> types_;
    std::string itemListSection_;
    std::string osUninstallSection_ = "ADD_REG.UNINSTKEY";
    IPrinterTable* printerTable_ = nullptr;
};

// The run's component manager (valid while the application object lives).
SETUP_EXPORT CItem* GetItemManager();
