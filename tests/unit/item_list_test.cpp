// The item list: loading, page modes, the page's selection through a fake
// check-box list, default selection and the queries on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/messages.h"
#include "command/registry.h"
#include "install/item.h"
#include "item_fixture.h"
#include "platform/ui.h"

namespace {

using testsupport::ItemPackage;
using testsupport::kItemInstalled;
using testsupport::kItemInstalling;

struct Row {
    int item;
    std::string text;
    int state;
    std::string description, tooltip;
};

class FakeList : public IItemRowList {
public:
    void Clear() override { rows.clear(); }
    int AddRow(int item, const std::string& text, int state, const std::string& description,
               const std::string& tooltip) override {
        rows.push_back(Row{item, text, state, description, tooltip});
        return static_cast<int>(rows.size()) - 1;
    }
    int RowCount() const override { return static_cast<int>(rows.size()); }
    int RowState(int r) const override { return rows[static_cast<size_t>(r)].state; }
    void SetRowState(int r, int s) override { rows[static_cast<size_t>(r)].state = s; }
    int RowItem(int r) const override { return rows[static_cast<size_t>(r)].item; }
    // "name:state" per row.
    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (const Row& r : rows) out.push_back(r.text + ":" + std::to_string(r.state));
        return out;
    }
    int RowOf(const std::string& text) const {
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].text == text) return static_cast<int>(i);
        return -1;
    }
    std::vector<Row> rows;
};

class FakeHost : public IItemPageHost {
public:
    void Warn(const std::string& t) override { warnings.push_back(t); }
    bool Confirm(const std::string& t) override {
        questions.push_back(t);
        return yes;
    }
    bool ChangeParametersChecked() override { return changeParameters; }
    std::vector<std::string> warnings, questions;
    bool yes = true;
    bool changeParameters = false;
};

// Five items, one of each check state, two of them installed; every item
// can be installed and removed.
const char kItems[] =
    "[ITEM_INFO]\r\nNO_ITEM\r\nALL_ITEM\r\nCHK_ITEM\r\nUNCHK_ITEM\r\nGRAY_ITEM\r\n"
    "[NO_ITEM]\r\nDISPLAY_NAME = No\r\nINST_CMD = D:\\bin\\setup.exe\r\nUNINST_CMD = D:\\bin\\setup.exe\r\n"
    "DEFAULT_INST_TYPE = NO\r\n"
    "[ALL_ITEM]\r\nDISPLAY_NAME = All\r\nINST_CMD = D:\\bin\\setup.exe\r\nUNINST_CMD = D:\\bin\\setup.exe\r\n"
    "DEFAULT_INST_TYPE = ALL\r\n"
    "[CHK_ITEM]\r\nDISPLAY_NAME = Chk\r\nINST_CMD = D:\\bin\\setup.exe\r\nUNINST_CMD = D:\\bin\\setup.exe\r\n"
    "DEFAULT_INST_TYPE = CHK\r\nINST_DESC = Installs %s\r\nREMOVE_DESC = Removes %s\r\nTOOLTIP = tip\r\n"
    "SILENT_INST = UNCHK\r\n"
    "[UNCHK_ITEM]\r\nDISPLAY_NAME = Unchk\r\nINST_CMD = D:\\bin\\setup.exe\r\nUNINST_CMD = D:\\bin\\setup.exe\r\n"
    "DEFAULT_INST_TYPE = UNCHK\r\n"
    "[GRAY_ITEM]\r\nDISPLAY_NAME = Gray\r\nINST_CMD = D:\\bin\\setup.exe\r\nUNINST_CMD = D:\\bin\\setup.exe\r\n"
    "DEFAULT_INST_TYPE = GRAYCHK\r\n";

class ItemList : public ::testing::Test {
protected:
    void SetUp() override {
        p.Write("bin/setup.exe", "program");
        // CHK and UNCHK items are installed.
        for (const char* name : {"CHK_ITEM", "UNCHK_ITEM"}) {
            const std::string key = std::string(kItemInstalled) + "\\Items\\" + name;
            CRegistry::SetValue(key.c_str(), "InstallNow", 2u, os::kHKLM);
        }
        ASSERT_TRUE(p.Load(kItems));
        ASSERT_TRUE(p.items().LoadItems());
        ASSERT_EQ(5, p.items().GetItemCount());
    }
    void SetupType(uint32_t type) {
        CRegistry::SetValue(kItemInstalling, "Setup_Type", type, os::kHKLM);
    }
    bool Checked(const char* name) { return p.items().GetItem(p.items().FindItem(name))->checked; }
    ItemPackage p;
};

TEST(ItemPageModes, WordsOfTheItemType) {
    struct Case {
        const char* text;
        ItemPageMode::Listing listing;
        ItemPageMode::Forced forced;
        ItemPageMode::Mode mode;
    };
    const Case cases[] = {
        {"", ItemPageMode::kByCheckState, ItemPageMode::kNoForce, ItemPageMode::kInstall},
        {"not_inst,unchk,type_inst", ItemPageMode::kNotInstalled, ItemPageMode::kForceUnchecked,
         ItemPageMode::kInstall},
        {"INST CHK TYPE_UNIN", ItemPageMode::kInstalled, ItemPageMode::kForceChecked,
         ItemPageMode::kUninstall},
        // TYPE_INST holds INST; NORMAL wins over it.
        {"TYPE_INST", ItemPageMode::kInstalled, ItemPageMode::kNoForce, ItemPageMode::kInstall},
        {"NORMAL TYPE_INST CHK", ItemPageMode::kByCheckState, ItemPageMode::kForceChecked,
         ItemPageMode::kInstall},
        {"ALL TYPE_REIN", ItemPageMode::kAll, ItemPageMode::kNoForce, ItemPageMode::kReinstall},
    };
    for (const Case& c : cases) {
        ItemPageMode m = ItemPageMode::Parse(c.text);
        EXPECT_EQ(c.listing, m.listing) << c.text;
        EXPECT_EQ(c.forced, m.forced) << c.text;
        EXPECT_EQ(c.mode, m.mode) << c.text;
    }
}

TEST_F(ItemList, RowsByPageMode) {
    struct Case {
        const char* itemType;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {"", {"Chk:1", "Unchk:0", "Gray:2"}},
        {"NOT_INST UNCHK TYPE_INST", {"No:0", "All:0", "Gray:0"}},
        {"INST CHK TYPE_UNIN", {"Chk:1", "Unchk:1"}},
        {"ALL", {"Chk:1", "Unchk:0", "Gray:2"}},  // all items, but no forced state
        {"ALL CHK", {"No:1", "All:1", "Chk:1", "Unchk:1", "Gray:1"}},
    };
    for (const Case& c : cases) {
        FakeList list;
        p.items().FillItemList(list, ItemPageMode::Parse(c.itemType));
        EXPECT_EQ(c.rows, list.Shown()) << c.itemType;
    }
}

TEST_F(ItemList, DescriptionsFollowTheSetupType) {
    struct Case {
        uint32_t setupType;
        const char* description;
    };
    for (const Case& c : {Case{1, "Installs Chk"}, Case{2, "Removes Chk"}, Case{6, ""}}) {
        SetupType(c.setupType);
        FakeList list;
        p.items().FillItemList(list, ItemPageMode());
        const Row& row = list.rows[static_cast<size_t>(list.RowOf("Chk"))];
        EXPECT_EQ(c.description, row.description) << c.setupType;
        EXPECT_EQ("tip", row.tooltip);
    }
}

TEST_F(ItemList, InvalidItemsForThePagesModeAreNotListed) {
    CRegistry::SetValue(kItemInstalling, "Setup_Type", 1u, os::kHKLM);
    ITEM_DATA& unchk = *p.items().GetItem(p.items().FindItem("UNCHK_ITEM"));
    unchk.uninstallCommand = "D:\\bin\\missing.exe";
    FakeList list;
    p.items().FillItemList(list, ItemPageMode::Parse("INST UNCHK TYPE_REIN"));
    EXPECT_EQ(std::vector<std::string>{"Chk:0"}, list.Shown());
    EXPECT_TRUE(p.Logged("Unchk item is invalid to reinstall!!"));
}

TEST_F(ItemList, NextTakesTheRowsIntoTheItems) {
    SetupType(1);
    FakeList list;
    CItem& items = p.items();
    items.FillItemList(list, ItemPageMode());
    items.GetItem(items.FindItem("ALL_ITEM"))->checked = true;
    // Check all leaves the fixed row; then the user unchecks Chk and checks Unchk.
    CItem::CheckAllRows(list, false);
    EXPECT_EQ((std::vector<std::string>{"Chk:0", "Unchk:0", "Gray:2"}), list.Shown());
    list.SetRowState(list.RowOf("Unchk"), kRowChecked);
    FakeHost host;
    host.changeParameters = true;
    bool printer = true;
    ASSERT_TRUE(items.ApplyItemList(list, host, "Pick one", "", &printer));
    EXPECT_FALSE(printer);
    EXPECT_TRUE(host.warnings.empty());
    EXPECT_FALSE(Checked("CHK_ITEM"));
    EXPECT_EQ(kCheckUnchk, items.GetItem(items.FindItem("CHK_ITEM"))->checkState);
    EXPECT_TRUE(Checked("UNCHK_ITEM"));
    EXPECT_EQ(kCheckChk, items.GetItem(items.FindItem("UNCHK_ITEM"))->checkState);
    EXPECT_TRUE(Checked("GRAY_ITEM"));
    EXPECT_TRUE(Checked("ALL_ITEM"));  // not listed: untouched
    EXPECT_TRUE(p.global().target.useSecondParameters);
    // The records are written: InstallNow only for checked items.
    uint32_t now = 0;
    const std::string gray = std::string(kItemInstalling) + "\\Items\\GRAY_ITEM";
    const std::string chk = std::string(kItemInstalling) + "\\Items\\CHK_ITEM";
    EXPECT_EQ(0u, CRegistry::GetValue(gray.c_str(), "InstallNow", &now, os::kHKLM));
    EXPECT_NE(0u, CRegistry::GetValue(chk.c_str(), "InstallNow", &now, os::kHKLM));

    // Reopened: the unchecked item stays unchecked, unless an installation
    // type makes the refresh read the section again.
    items.ResetItemRecords();
    EXPECT_FALSE(Checked("GRAY_ITEM"));
    EXPECT_NE(0u, CRegistry::GetValue(gray.c_str(), "InstallNow", &now, os::kHKLM));
    items.FillItemList(list, ItemPageMode());
    EXPECT_EQ(kRowUnchecked, list.RowState(list.RowOf("Chk")));
    CRegistry::SetValue(kItemInstalling, "Install_Type", "NO_SUCH_TYPE", os::kHKLM);
    items.FillItemList(list, ItemPageMode());
    EXPECT_EQ(kRowChecked, list.RowState(list.RowOf("Chk")));
    CRegistry::SetValue(kItemInstalling, "Install_Type", "SILENT_INST", os::kHKLM);
    items.FillItemList(list, ItemPageMode());
    EXPECT_EQ(kRowUnchecked, list.RowState(list.RowOf("Chk")));
}

TEST_F(ItemList, WarningAndConfirmationKeepThePage) {
    struct Case {
        const char* warning;
        const char* confirm;
        bool yes;
        bool checkSomething;
        bool goesOn;
        size_t warnings, questions;
    };
    const Case cases[] = {
        {"Pick one", "", true, false, false, 1, 0},
        {"", "", true, false, true, 0, 0},  // nothing selected, nothing said
        {"Pick one", "Sure?", false, true, false, 0, 1},
        {"Pick one", "Sure?", true, true, true, 0, 1},
    };
    SetupType(1);
    for (const Case& c : cases) {
        FakeList list;
        p.items().FillItemList(list, ItemPageMode::Parse("NOT_INST UNCHK"));
        if (c.checkSomething) list.SetRowState(0, kRowChecked);
        FakeHost host;
        host.yes = c.yes;
        EXPECT_EQ(c.goesOn, p.items().ApplyItemList(list, host, c.warning, c.confirm, nullptr));
        EXPECT_EQ(c.warnings, host.warnings.size());
        EXPECT_EQ(c.questions, host.questions.size());
    }
}

TEST_F(ItemList, DefaultSelectionAndRemovalOfEverything) {
    CItem& items = p.items();
    items.SelectDefaultItems();
    EXPECT_FALSE(Checked("NO_ITEM"));
    EXPECT_TRUE(Checked("ALL_ITEM"));
    EXPECT_TRUE(Checked("CHK_ITEM"));
    EXPECT_FALSE(Checked("UNCHK_ITEM"));
    EXPECT_TRUE(Checked("GRAY_ITEM"));
    items.UncheckAll();
    items.SelectInstalledForRemoval();
    EXPECT_TRUE(Checked("CHK_ITEM"));
    EXPECT_TRUE(Checked("UNCHK_ITEM"));
    EXPECT_FALSE(Checked("GRAY_ITEM"));
    uint32_t type = 0;
    EXPECT_EQ(0u, CRegistry::GetValue(kItemInstalling, "Setup_Type", &type, os::kHKLM));
    EXPECT_EQ(2u, type);
    EXPECT_TRUE(items.IsAnyItemInstalled());
    EXPECT_FALSE(items.IsProductInstalled());  // no Dest_Dir yet
    CRegistry::SetValue(kItemInstalled, "Dest_Dir", "C:\\Product", os::kHKLM);
    EXPECT_TRUE(items.IsProductInstalled());
    items.DeleteItemRecord(items.FindItem("CHK_ITEM"));
    EXPECT_FALSE(items.IsItemInstalled("CHK_ITEM", nullptr, true));
}

class Progress : public ui::IWindowHandler {
public:
    intptr_t OnMessage(ui::HWnd, uint32_t msg, uintptr_t w, intptr_t l, bool& handled) override {
        if (msg != WM_USER_PROGRESS_STEP) return 0;
        handled = true;
        steps.push_back(std::to_string(w) + "," + std::to_string(l));
        return 0;
    }
    std::vector<std::string> steps;
};

TEST_F(ItemList, LoadingReportsItsProgress) {
    Progress progress;
    ui::RegisterWindowClass("Item Progress");
    ui::HWnd w = ui::CreateFrameWindow("Item Progress", "", 0, 0, ui::Rect{}, &progress);
    p.global().options.precreateDialogs = false;
    ASSERT_TRUE(p.items().ReloadItems(w));
    EXPECT_EQ((std::vector<std::string>{"70,5", "0,0", "0,0", "0,0", "0,0", "0,0"}), progress.steps);
    EXPECT_EQ("ITEM_INFO", p.items().itemListSection());
    EXPECT_EQ("ADD_REG.UNINSTKEY", p.items().osUninstallSection());
    ui::DestroyWindowHandle(w);
    EXPECT_FALSE(p.items().LoadItems("NO_SUCH_LIST"));
    EXPECT_EQ("", p.items().itemListSection());
}

class FakeTable : public IPrinterTable {
public:
    void Clear() override { entries.clear(); }
    void Add(const PrinterTableEntry& e) override { entries.push_back(e); }
    bool PortOf(int, std::string& out) override {
        out = port;
        return !port.empty();
    }
    bool InstallParameters(int, std::string&) override { return false; }
    bool UninstallParameters(int, std::string&) override { return false; }
    std::vector<PrinterTableEntry> entries;
    std::string port;
};

TEST(ItemPrinters, PortOptionAndPrinterTable) {
    ItemPackage p;
    p.Write("bin/setup.exe", "program");
    ASSERT_TRUE(p.Load("[ITEM_INFO]\r\nPRN\r\nAPP\r\n"
                       "[PRN]\r\nDISPLAY_NAME = Printer\r\nINST_CMD = D:\\bin\\setup.exe\r\n"
                       "DRIVER_NAME = LP-100\r\nPRINTER_NAME = My LP\r\nDEFAULT_INST_TYPE = CHK\r\n"
                       "[APP]\r\nDISPLAY_NAME = App\r\nINST_CMD = D:\\bin\\setup.exe\r\n"));
    CItem& items = p.items();
    ASSERT_TRUE(items.LoadItems());
    FakeTable table;
    items.RebuildPrinterTable(&table, true);
    ASSERT_EQ(1u, table.entries.size());
    EXPECT_EQ("My LP", table.entries[0].printerName);
    EXPECT_EQ(0, table.entries[0].itemIndex);
    items.SetPrinterTable(&table);
    ITEM_DATA& prn = *items.GetItem(0);
    prn.installParameters = "/A /p\"LPT1:\" /B";
    EXPECT_FALSE(items.SetPrinterPortOption(0));  // no setup type yet
    CRegistry::SetValue(kItemInstalling, "Setup_Type", 2u, os::kHKLM);
    table.port = "IP_10.0.0.5";
    EXPECT_TRUE(items.SetPrinterPortOption(0));
    EXPECT_EQ("/A /p\"LPT1:\" /B", prn.installParameters);
    CRegistry::SetValue(kItemInstalling, "Setup_Type", 1u, os::kHKLM);
    EXPECT_TRUE(items.SetPrinterPortOption(0));
    EXPECT_EQ("/A /B /P\"IP_10.0.0.5\"", prn.installParameters);
    EXPECT_TRUE(p.Logged(
        "Modify install param of printer[Printer] from [/A /p\"LPT1:\" /B] to [/A /B /P\"IP_10.0.0.5\"]"));
    std::string written;
    const std::string key = std::string(kItemInstalling) + "\\Items\\PRN";
    EXPECT_EQ(0u, CRegistry::GetValue(key.c_str(), "InstParam", written, os::kHKLM));
    EXPECT_EQ(prn.installParameters, written);
    EXPECT_TRUE(items.SetPrinterPortOption(1));  // no driver: nothing to do
    EXPECT_FALSE(items.SetPrinterPortOption(7));
    items.SetPrinterTable(nullptr);
}

}  // namespace
