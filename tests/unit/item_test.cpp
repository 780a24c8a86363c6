// Items: parsing, language, check states, parameters, INF installer types,
// validity and the installed test.
#include <gtest/gtest.h>

#include <string>

#include "command/registry.h"
#include "install/item.h"
#include "item_fixture.h"

namespace {

using testsupport::ItemPackage;
using testsupport::kItemInstalled;
using testsupport::kItemUninstallInfo;

// Files the items below name: a program, a printer INF and its installer.
void WritePackageFiles(ItemPackage& p) {
    p.Write("bin/setup.exe", "program");
    p.Write("bin/other.exe", "program");
    p.Write("bin/infinst.exe", "program");
    p.Write("drv/printer.inf", "[Version]\r\nSignature = \"$Windows NT$\"\r\nClass = Printer\r\n");
    p.Write("drv/noclass.inf", "[Version]\r\nSignature = \"$Windows NT$\"\r\n");
    p.Write("drv/binary.inf", std::string("\x7f\x45\x4c\x46\x00\x01\xff\xfe\x00[Version]\x00", 20));
    p.Write("drv/modem.inf", "[Version]\r\nClass = Modem\r\n");
}

const char kTypes[] =
    "[ITEM_TYPE_INFO]\r\nPRINTER_TYPE\r\nBROKEN_TYPE\r\nFOLDER_TYPE\r\n"
    "[PRINTER_TYPE]\r\nCLASS = printer\r\nINSTALLER = D:\\bin\\infinst.exe\r\n"
    "INST_PARAM = /A $INF$ /D $DEST_INF$ /L $LANG_ABBR$\r\n"
    "UNINST_PARAM = /U $SRC_INF$\r\nREINST_PARAM = /R $INF$\r\n"
    "[BROKEN_TYPE]\r\nCLASS = Modem\r\nINSTALLER = D:\\bin\\missing.exe\r\n"
    "[FOLDER_TYPE]\r\nCLASS = Image\r\nINSTALLER = D:\\bin\r\n";

TEST(Items, KeysAndDefaultsOfAnItemSection) {
    ItemPackage p;
    WritePackageFiles(p);
    ASSERT_TRUE(p.Load(
        "[A]\r\nDISPLAY_NAME = Utility\r\nINST_CMD = D:\\bin\\other.exe\r\n"
        "INST_CMD.WINXP = D:\\bin\\setup.exe\r\nDESCRIPTION = Shared text\r\n"
        "REMOVE_DESC = Removes it\r\nDEFAULT_INST_TYPE = gRaYcHk\r\nSUCCESS_RET_VAL = 3010\r\n"
        "REG_WAIT_INT_DATA = 0\r\nDEFAULT_PRINTER = -1\r\nSHARE_PRINTER = 2\r\n"
        "[B]\r\nDISPLAY_NAME = Plain\r\nINST_CMD = D:\\bin\\other.exe\r\nDEFAULT_INST_TYPE = SOMETIMES\r\n"));
    CItem& items = p.items();
    ASSERT_TRUE(items.ParseItem("A"));
    ASSERT_TRUE(items.ParseItem("B"));
    ASSERT_EQ(2, items.GetItemCount());
    const ITEM_DATA& a = *items.GetItem(0);
    EXPECT_EQ("D:\\bin\\setup.exe", a.installCommand);  // the system's own key wins
    EXPECT_EQ("Shared text", a.installDescription);
    EXPECT_EQ("Removes it", a.removeDescription);
    EXPECT_EQ("Shared text", a.repairDescription);
    EXPECT_EQ(kCheckGrayChk, a.checkState);
    EXPECT_EQ(3010, a.successReturnValue);
    EXPECT_EQ(0u, a.waitRegistryNumber);
    EXPECT_FALSE(a.defaultPrinter);
    EXPECT_TRUE(a.sharePrinter);
    EXPECT_EQ(-1, a.index);
    EXPECT_EQ(9, a.languageId);
    const ITEM_DATA& b = *items.GetItem(1);
    EXPECT_EQ(kCheckNo, b.checkState);  // an unknown keyword
    EXPECT_EQ(0xFFFFu, b.waitRegistryNumber);
    EXPECT_EQ(kCheckUnchk, ITEM_DATA().checkState);
    EXPECT_TRUE(p.Logged("Utility item is available!!"));
    EXPECT_EQ(1, items.FindItem("b"));
    EXPECT_EQ(-1, items.FindItem("C"));
}

TEST(Items, ItemsThatCannotBeInstalledAreDropped) {
    struct Case {
        const char* section;
        bool parsed;
        const char* logLine;
    };
    const Case cases[] = {
        {"[X]\r\nDISPLAY_NAME = Old\r\nINST_CMD = D:\\bin\\setup.exe\r\nUNSUPPORTED_OS = win98 ,  winxp ,VISTA\r\n",
         false, " X is not available in this OS(WINXP)"},
        {"[X]\r\nDEFAULT_INST_TYPE = CHK\r\n", true,
         "X item is invalid because inf, install command and display name are empty"},
        {"[X]\r\nDISPLAY_NAME = Gone\r\nINST_CMD = D:\\bin\\none.exe\r\nINF_FILE = D:\\drv\\none.inf\r\n",
         true, "[Gone] Inf name[D:\\drv\\none.inf] and installation command[D:\\bin\\none.exe] are invalid!!!"},
        {"[X]\r\nDISPLAY_NAME = NoClass\r\nINF_FILE = D:\\drv\\noclass.inf\r\n", true,
         "Get Class Name from D:\\drv\\noclass.inf Inf file fail [NoClass]"},
        {"[X]\r\nDISPLAY_NAME = Binary\r\nINF_FILE = D:\\drv\\binary.inf\r\n", true,
         "Get Class Name from D:\\drv\\binary.inf Inf file fail [Binary]"},
        // The modem type's installer is missing, the image type's is a folder.
        {"[X]\r\nDISPLAY_NAME = Modem\r\nINF_FILE = D:\\drv\\modem.inf\r\n", true,
         "there is no matched inf installer section [D:\\drv\\modem.inf]"},
    };
    for (const Case& c : cases) {
        ItemPackage p;
        WritePackageFiles(p);
        ASSERT_TRUE(p.Load(std::string(kTypes) + c.section));
        p.items().LoadItemTypes();
        EXPECT_EQ(1u, p.items().installerTypes().size());
        EXPECT_EQ(c.parsed, p.items().ParseItem("X")) << c.section;
        EXPECT_EQ(0, p.items().GetItemCount()) << c.section;
        EXPECT_TRUE(p.Logged(c.logLine)) << c.logLine;
    }
    ItemPackage p;
    ASSERT_TRUE(p.Load("[X]\r\n"));
    EXPECT_FALSE(p.items().ParseItem(""));
}

TEST(Items, ParameterLinesJoinWithSingleBlanks) {
    ItemPackage p;
    WritePackageFiles(p);
    ASSERT_TRUE(p.Load("[A]\r\nDISPLAY_NAME = Utility\r\nINST_CMD = D:\\bin\\setup.exe\r\n"
                       "INST_PARAM = /first\r\ninst_param = /second  \r\n"
                       "INST_PARAM2 = /x\r\nINST_PARAM2 = /y\r\nREINST_PARAM = $LANG_ABBR$\r\n"
                       "UNINST_PARAM =\r\n"
                       "[NOPARAMS]\r\nDISPLAY_NAME = None\r\n"));
    CItem& items = p.items();
    ASSERT_TRUE(items.ParseItem("A"));
    ITEM_DATA& a = *items.GetItem(0);
    EXPECT_TRUE(a.installParameters.empty());  // parameters are read when finalizing
    a.uninstallParameters = "kept";
    ASSERT_TRUE(items.ReadItemParameters(a, "A"));
    EXPECT_EQ("/first /second", a.installParameters);
    EXPECT_EQ("/x /y ", a.installParameters2);
    EXPECT_TRUE(a.hasInstallParameters2);
    EXPECT_FALSE(a.hasUninstallParameters2);
    EXPECT_EQ("EN", a.reinstallParameters);
    EXPECT_EQ("kept", a.uninstallParameters);  // an empty value is no line
    a.installParameters = "before";
    ASSERT_TRUE(items.ReadItemParameters(a, "NOPARAMS"));
    EXPECT_EQ("before", a.installParameters);
    EXPECT_FALSE(items.ReadItemParameters(a, "MISSING"));
}

TEST(Items, PrinterOptions) {
    struct Case {
        const char* before;
        int index;
        const char* driver;
        const char* after;
    };
    const Case cases[] = {
        {"/A x /I 2 /Q", 5, "Drv", "/A x /Q /I 5"},
        {"/A x /i 2", 7, "Drv", "/A x  /I 7"},
        {"/A /O \"Old\" /Q", -1, "  \"New Driver\" ", "/A /Q /O \"New Driver\""},
        {"/A", -1, "", "/A"},
        {"", 0, "", " /I 0"},
    };
    for (const Case& c : cases) {
        std::string text = c.before;
        EXPECT_TRUE(CItem::AddPrinterOption(text, 16384, c.index, c.driver));
        EXPECT_EQ(c.after, text) << c.before;
    }
    std::string cut = "x";
    CItem::AddPrinterOption(cut, 4, 123, "D");
    EXPECT_EQ("x /", cut);
}

TEST(Items, AnInfItemTakesItsCommandsFromItsInstallerType) {
    ItemPackage p;
    WritePackageFiles(p);
    ASSERT_TRUE(p.Load(std::string(kTypes) +
                       "[P]\r\nDISPLAY_NAME = Printer\r\nINF_FILE = D:\\drv\\printer.inf\r\n"
                       "DRIVER_NAME = Veltrix LP-100 PCL\r\nINDEX = 2\r\nDEFAULT_INST_TYPE = CHK\r\n"
                       "[Q]\r\nDISPLAY_NAME = Both\r\nINF_FILE = D:\\drv\\printer.inf\r\nINST_CMD = D:\\bin\\setup.exe\r\n"));
    CItem& items = p.items();
    items.LoadItemTypes();
    ASSERT_TRUE(items.ParseItem("P"));
    ASSERT_TRUE(items.ParseItem("Q"));
    ASSERT_EQ(2, items.GetItemCount());
    ITEM_DATA& printer = *items.GetItem(0);
    EXPECT_TRUE(printer.infInstaller);
    EXPECT_EQ("$DEST_INST_DIR$\\drv\\printer.inf", printer.destinationInfPath);
    // Parsing formed the commands; finalizing forms them again.
    printer.installParameters.clear();
    ASSERT_TRUE(items.ResolveInfInstaller(printer, false));
    EXPECT_EQ("$DEST_INST_DIR$\\bin\\infinst.exe", printer.installCommand);
    EXPECT_EQ(printer.installCommand, printer.uninstallCommand);
    EXPECT_EQ(printer.installCommand, printer.reinstallCommand);
    EXPECT_EQ("/A D:\\drv\\printer.inf /D C:\\Program Files\\Veltrix\\LP-100\\drv\\printer.inf /L EN /I 2",
              printer.installParameters);
    EXPECT_EQ("/U D:\\drv\\printer.inf /I 2", printer.uninstallParameters);
    EXPECT_EQ("/R D:\\drv\\printer.inf /I 2", printer.reinstallParameters);
    // A PCL driver switches the AGFA option on.
    EXPECT_TRUE(p.global().options.agfa);
    EXPECT_TRUE(p.Logged("AGFA Option is ON"));
    // An INF item with its own existing program needs no installer type.
    EXPECT_FALSE(items.GetItem(1)->infInstaller);
}

TEST(Items, TheItemsLanguageExpandsItsCommands) {
    ItemPackage p;
    WritePackageFiles(p);
    ASSERT_TRUE(p.Load("[LANGUAGE_ABBR]\r\n0X0409 = EN\r\n0X0007 = GR\r\n"
                       "[LANGUAGE_DIR]\r\n0X0409 = English\r\n0X0007 = German\r\n"
                       "[MAP]\r\n0X0407 = 0X0409\r\n"
                       "[A]\r\nDISPLAY_NAME = Manual\r\nITEM_LANG = MAP\r\n"
                       "INST_CMD = D:\\bin\\setup.exe\r\nINST_PARAM = /lang $LANG_ABBR$ $LANG_DIR$\r\n"
                       "[B]\r\nDISPLAY_NAME = Other\r\nITEM_LANG = NOMAP\r\nINST_CMD = D:\\bin\\setup.exe\r\n"));
    CLanguageInfo& lang = p.global().language;
    lang.languageId = 0x0407;
    lang.abbreviation = "GR";
    lang.directory = "German";
    CItem& items = p.items();
    ASSERT_TRUE(items.ParseItem("A"));
    ASSERT_TRUE(items.ParseItem("B"));
    ITEM_DATA& a = *items.GetItem(0);
    EXPECT_EQ(0x0409, a.languageId);
    EXPECT_EQ("EN", a.languageAbbreviation);
    EXPECT_EQ("English", a.languageDirectory);
    ASSERT_TRUE(items.FinalizeItem(&a, 0));
    EXPECT_EQ("/lang EN English", a.installParameters);
    const ITEM_DATA& b = *items.GetItem(1);
    EXPECT_EQ(0x0407, b.languageId);
    EXPECT_EQ("GR", b.languageAbbreviation);
    EXPECT_FALSE(items.FinalizeItem(nullptr, 0));
    // A country variant takes its primary language's entry; no entry leaves both empty.
    ITEM_DATA swiss;
    items.ResolveItemLanguage(swiss, 0x0807);
    EXPECT_EQ("GR", swiss.languageAbbreviation);
    items.ResolveItemLanguage(swiss, 0x040C);
    EXPECT_EQ("", swiss.languageAbbreviation);
    EXPECT_EQ("", swiss.languageDirectory);
}

// The attached printer answers with a scripted device id.
class DeviceItems : public CItem {
public:
    bool QueryDeviceId(std::string& id) override {
        if (answer.empty()) return false;
        id = answer;
        return true;
    }
    std::string answer;
};

TEST(Items, DeviceCheckComparesTheAttachedPrintersId) {
    ItemPackage p;
    ASSERT_TRUE(p.Load("[X]\r\n"));
    DeviceItems items;
    ITEM_DATA item;
    item.deviceString = "lp-100 pcl";
    struct Case {
        const char* answer;
        int32_t state;
    };
    const Case cases[] = {
        {"MFG:Veltrix;MDL:LP-100;CMD:PJL,PCL;DES:LP-100 PCL;", kCheckChk},
        {"MFG:Veltrix;MDL:LP-200;DES:LP-200 PCL;", kCheckNo},
        {"MFG:Other;MDL:LP-100 PCL;", kCheckNo},
        {"", kCheckUnchk},
    };
    for (const Case& c : cases) {
        items.answer = c.answer;
        EXPECT_EQ(c.state, items.ParseCheckState("devchk", &item)) << c.answer;
    }
    items.answer = cases[0].answer;
    EXPECT_EQ(kCheckUnchk, items.ParseCheckState("DEVCHK", nullptr));
    ITEM_DATA noString;
    EXPECT_EQ(kCheckUnchk, items.ParseCheckState("DEVCHK", &noString));
}

TEST(Items, InstalledAndRemovableItems) {
    ItemPackage p;
    WritePackageFiles(p);
    ASSERT_TRUE(p.Load("[REC]\r\nDISPLAY_NAME = Recorded\r\nINST_CMD = D:\\bin\\setup.exe\r\n"
                       "[KEY]\r\nDISPLAY_NAME = Keyed\r\nINST_CMD = D:\\bin\\setup.exe\r\nUNINST_KEY = Keyed\r\n"
                       "[NONE]\r\nDISPLAY_NAME = Never\r\nINST_CMD = D:\\bin\\setup.exe\r\n"));
    const std::string rec = std::string(kItemInstalled) + "\\Items\\REC";
    ASSERT_EQ(0u, CRegistry::SetValue(rec.c_str(), "InstallNow", 2u, os::kHKLM));
    ASSERT_EQ(0u, CRegistry::SetValue(kItemUninstallInfo, "Keyed", "", os::kHKLM));
    CItem& items = p.items();
    for (const char* name : {"REC", "KEY", "NONE"}) ASSERT_TRUE(items.ParseItem(name));
    EXPECT_TRUE(items.GetItem(0)->installed);
    EXPECT_TRUE(items.GetItem(1)->installed);
    EXPECT_FALSE(items.GetItem(2)->installed);
    EXPECT_TRUE(p.Logged("Recorded is installed"));
    EXPECT_TRUE(items.IsItemInstalled("rec", nullptr, true));
    EXPECT_FALSE(items.IsItemInstalled("missing", nullptr, true));
    // Removable by its key only while the key holds a text.
    ITEM_DATA keyed;
    keyed.uninstallKey = "Keyed";
    EXPECT_FALSE(items.IsValidForUninstall(keyed, true));
    ASSERT_EQ(0u, CRegistry::SetValue(kItemUninstallInfo, "Keyed", "C:\\remove.exe", os::kHKLM));
    EXPECT_TRUE(items.IsValidForUninstall(keyed, true));
    ITEM_DATA empty;
    EXPECT_FALSE(items.IsValidForUninstall(empty, true));
}

}  // namespace
