// CGlobalVar::ExpandMacros and CGlobalVar::ResolvePath.
#include <gtest/gtest.h>

#include <string>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "sim_fixture.h"

namespace {

using testsupport::ReadHost;
using testsupport::SimMachine;
using testsupport::WriteHost;

// Every table value distinct, so a row that reads the wrong member shows.
void Fill(CGlobalVar& g) {
    g.language.languageId = 0x0407;
    g.language.abbreviation = "GR";
    g.language.directory = "German";
    g.language.requestedLanguageId = 0x0C07;
    g.language.requestedAbbreviation = "AT";
    g.language.requestedDirectory = "Austria";
    g.sourceDir = "D:\\Pkg\\Setup";
    g.target.destination = "E:\\Program Files\\Vendor\\Printer";
    g.target.destinationInstallDir = "E:\\Program Files\\Vendor\\Printer\\Install";
    g.target.osDir = "WinXP";
    g.target.ip = "192.168.1.20";
    g.target.port = "IP_192.168.1.20";
    g.dirs.windowsDir = "C:\\WINDOWS";
    g.dirs.systemDir = "C:\\WINDOWS\\system32";
    g.dirs.infDir = "C:\\not used";
    g.dirs.programFilesDir = "C:\\Program Files";
    g.profiles.dataFile = "D:\\Pkg\\Setup\\Setup.dat";
    g.profiles.configureFile = "D:\\Pkg\\Setup\\Config.ini";
    g.profiles.stringFile = "D:\\Pkg\\Setup\\GR\\String.ini";
    g.profiles.stringFileName = "String.ini";
    g.version = "2.10";
    g.installerFileName = "Setup.exe";
}

struct Case {
    const char* text;
    const char* expected;
};

TEST(ExpandMacros, EachVariableOfTheTable) {
    CGlobalVar g;
    Fill(g);
    const Case cases[] = {
        {"$LANG_ABBR$", "GR"},
        {"$ORG_LANG_ABBR$", "AT"},
        {"$SRC_DIR$\\data", "D:\\Pkg\\Setup\\data"},
        {"$DEST_DIR$\\Bin", "E:\\Program Files\\Vendor\\Printer\\Bin"},
        {"$DEST_INST_DIR$", "E:\\Program Files\\Vendor\\Printer\\Install"},
        {"$WIN_DIR$", "C:\\WINDOWS"},
        {"$SYS_DIR$", "C:\\WINDOWS\\system32"},
        {"$INF_DIR$", "C:\\WINDOWS\\Inf"},
        {"$OS_DIR$", "WinXP"},
        {"$PROGRAM_FILES_DIR$", "C:\\Program Files"},
        {"$LANG_DIR$", "German"},
        {"$ORG_LANG_DIR$", "Austria"},
        {"$DATA_FILE$", "D:\\Pkg\\Setup\\Setup.dat"},
        {"$CONFIG_FILE$", "D:\\Pkg\\Setup\\Config.ini"},
        {"$STRING_FILE$", "D:\\Pkg\\Setup\\GR\\String.ini"},
        {"$VERSION$", "2.10"},
        {"$INSTALLER_EXE$", "Setup.exe"},
        {"$IP$", "192.168.1.20"},
        {"$STRING_FILE_NAME$", "String.ini"},
        {"$PORT$", "IP_192.168.1.20"},
        {"$LCID$", "0407"},
        {"$ORG_LCID$", "0C07"},
        {"$BOOL_INSTALLED$$BOOL_!INSTALLED$", "01"},
        // Every occurrence, side by side and among other text.
        {"$OS_DIR$$OS_DIR$ x$VERSION$y $OS_DIR$", "WinXPWinXP x2.10y WinXP"},
        {"$$VERSION$$", "$2.10$"},
        // Not in the table: names are case-sensitive and exact.
        {"$dest_dir$ $NAME$ $DEST_DIR $ $", "$dest_dir$ $NAME$ $DEST_DIR $ $"},
        {"no variables", "no variables"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, g.ExpandMacros(c.text)) << c.text;
}

TEST(ExpandMacros, LanguageArgumentsOverrideTheCurrentLanguage) {
    CGlobalVar g;
    Fill(g);
    const char* text = "$LCID$ $LANG_ABBR$ $LANG_DIR$ $ORG_LCID$ $ORG_LANG_ABBR$";
    EXPECT_EQ("0407 GR German 0C07 AT", g.ExpandMacros(text));
    EXPECT_EQ("0411 JP Japanese 0C07 AT", g.ExpandMacros(text, 0x0411, "JP", "Japanese"));
    // Each argument on its own; the others stay current.
    EXPECT_EQ("0411 GR German 0C07 AT", g.ExpandMacros(text, 0x0411));
    EXPECT_EQ("0407 JP German 0C07 AT", g.ExpandMacros(text, 0, "JP"));
    EXPECT_EQ("0407 GR Japanese 0C07 AT", g.ExpandMacros(text, 0, "", "Japanese"));
    // Four upper-case digits, no prefix.
    g.language.languageId = 9;
    EXPECT_EQ("0009", g.ExpandMacros("$LCID$"));
    EXPECT_EQ("ABCD", g.ExpandMacros("$LCID$", 0xABCD));
}

TEST(ExpandMacros, InstalledFlags) {
    CGlobalVar g;
    Fill(g);
    const char* text = "$BOOL_INSTALLED$,$BOOL_!INSTALLED$";
    g.target.installedBefore = false;
    EXPECT_EQ("0,1", g.ExpandMacros(text));
    g.target.installedBefore = true;
    EXPECT_EQ("1,0", g.ExpandMacros(text));
}

TEST(ExpandMacros, InsertedValuesAreScannedOnlyByLaterRows) {
    CGlobalVar g;
    Fill(g);
    // A value holding its own name, or an earlier row's name, stays as it is.
    g.target.destination = "C:\\$DEST_DIR$\\$SRC_DIR$";
    EXPECT_EQ("C:\\$DEST_DIR$\\$SRC_DIR$\\Bin", g.ExpandMacros("$DEST_DIR$\\Bin"));
    // A later row replaces its name inside an earlier value.
    g.sourceDir = "D:\\$PORT$\\$LCID$";
    EXPECT_EQ("D:\\IP_192.168.1.20\\0407 IP_192.168.1.20", g.ExpandMacros("$SRC_DIR$ $PORT$"));
    // A value that yields a name of its own row only once inserted is not
    // replaced again.
    g.target.osDir = "$OS_";
    EXPECT_EQ("$OS_DIR$", g.ExpandMacros("$OS_DIR$DIR$"));
}

TEST(ExpandMacros, ResultIsCutToTheTextBuffer) {
    CGlobalVar g;
    Fill(g);
    g.target.destination = std::string(5000, 'd');
    std::string text;
    for (int i = 0; i < 5; ++i) text += "$DEST_DIR$";
    text += "$VERSION$";
    std::string out = g.ExpandMacros(text);
    EXPECT_EQ(std::string(16383, 'd'), out);
    EXPECT_EQ(16383u, g.ExpandMacros(std::string(20000, 'x')).size());
}

TEST(ResolvePath, Table) {
    CGlobalVar g;
    Fill(g);
    const Case cases[] = {
        {"E:", "E:"},
        {"E:\\x", "E:\\x"},
        {"E:\\", "E:\\"},
        {"\\\\server\\share\\x", "\\\\server\\share\\x"},
        {"data\\x.vxi", "D:\\Pkg\\Setup\\data\\x.vxi"},
        {".\\data\\x.vxi", "D:\\Pkg\\Setup\\data\\x.vxi"},
        {"..\\Drivers", "D:\\Pkg\\Drivers"},
        {"E:x", "D:\\Pkg\\Setup\\E:x"},
        {"\\root\\x", "D:\\Pkg\\Setup\\\\root\\x"},
        {"E:\\Copy of $SRC_DIR$", "E:\\Copy of D:\\Pkg\\Setup"},
        {"data\\$SRC_DIR$.ini", "D:\\Pkg\\Setup\\data\\D:\\Pkg\\Setup.ini"},
        {"..\\$DEST_DIR$", "D:\\Pkg\\$DEST_DIR$"},
        // Anchored at the source directory: not made relative to it again.
        {"$SRC_DIR$\\data\\x.vxi", "D:\\Pkg\\Setup\\data\\x.vxi"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, g.ResolvePath(c.text, false)) << c.text;
}

TEST(ResolvePath, ExistenceCheckAnswersEmptyAndLogsAMissingFile) {
    SimMachine m;
    ::mkdir((m.package() + "/data").c_str(), 0755);
    WriteHost(m.package() + "/data/x.vxi", "x");
    CGlobalVar g;
    g.sourceDir = "D:";
    EXPECT_EQ("D:\\data\\x.vxi", g.ResolvePath("data\\x.vxi", true));
    EXPECT_EQ("D:\\DATA\\X.VXI", g.ResolvePath(".\\DATA\\X.VXI", true));
    EXPECT_EQ("", g.ResolvePath("data\\missing.vxi", true));  // no application: no log
    EXPECT_EQ("D:\\data\\missing.vxi", g.ResolvePath("data\\missing.vxi", false));

    // With an application its log tells which file is missing.
    CInstallerApp app;
    ASSERT_TRUE(app.log().IsOpen());
    CGlobalVar& appGlobal = app.global();
    appGlobal.sourceDir = "D:";
    EXPECT_EQ("", appGlobal.ResolvePath("data\\missing.vxi", true));
    EXPECT_EQ("", appGlobal.ResolvePath("data", true));  // a folder cannot be read as a file
    std::string logText = ReadHost(m.Host(app.log().FileName()));
    EXPECT_NE(std::string::npos, logText.find("(D:\\data\\missing.vxi) file does not exist."));
    EXPECT_NE(std::string::npos, logText.find("(D:\\data) file does not exist."));
    EXPECT_EQ(std::string::npos, logText.find("(D:\\data\\x.vxi)"));
}

}  // namespace
