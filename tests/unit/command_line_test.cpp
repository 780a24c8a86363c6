// The command line: switches, path values with hyphens and blanks, and the
// setup type and flags they select.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

// "A=E:\x;S=;" : the switches as letter=value.
std::string Dump(const std::vector<CommandSwitch>& switches) {
    std::string out;
    for (const CommandSwitch& s : switches) out += std::string(1, s.letter) + "=" + s.value + ";";
    return out;
}

struct Case {
    const char* parameters;
    int setupType;
    bool silent;
    const char* effects;  // A, L and P switches as Dump writes them
};

TEST(CommandLine, Table) {
    const Case cases[] = {
        {"", 1, false, ""},
        {"/AE:\\My-Docs", 1, false, "A=E:\\My-Docs;"},
        {"/A\"E:\\A B-C\" /S", 1, true, "A=E:\\A B-C;"},
        {"/AE:\\x /S", 1, true, "A=E:\\x;"},
        {"/AE:\\x -u", 2, false, "A=E:\\x;"},
        {"/A \"E:\\x /y -z\"\t/r", 3, false, "A=E:\\x /y -z;"},
        {"-aE:\\Program Files\\Vendor", 1, false, "A=E:\\Program Files\\Vendor;"},
        {"-s-u", 2, true, ""},
        {"/s/u", 2, true, ""},
        {"/u /r", 3, false, ""},
        {"/r /u", 2, false, ""},
        {"/x", 1, false, ""},
        {"/Remote", 3, false, ""},
        {"/Silent", 1, true, ""},
        {"/D", 6, false, ""},
        {"//S--", 1, true, ""},
        {"/L0x0407", 1, false, "L=0x0407;"},
        {"/L 1031", 1, false, "L=1031;"},
        {"/L\"1031\"-S", 1, true, "L=1031;"},
        {"/P192.168.1.20", 1, false, "P=192.168.1.20;"},
        {"/P\\\\server\\printer-1 /S", 1, true, "P=\\\\server\\printer-1;"},
        {"/LJP /AC:\\a-b /PLPT1: /L9", 1, false, "L=JP;A=C:\\a-b;P=LPT1:;L=9;"},
        // Outside a path value a hyphen still cuts: "Docs" selects delete all.
        {"/S /LMy-Docs", 6, true, "L=My;"},
    };
    for (const Case& c : cases) {
        ParsedCommandLine parsed = InterpretSwitches(SplitCommandLine(c.parameters));
        EXPECT_EQ(c.setupType, parsed.setupType) << c.parameters;
        EXPECT_EQ(c.silent, parsed.silent) << c.parameters;
        EXPECT_EQ(c.effects, Dump(parsed.effects)) << c.parameters;
    }
}

TEST(CommandLine, LettersAreUpperCaseAndOnlyPathValuesAreTrimmed) {
    EXPECT_EQ("S=ilent ;A=x;Q= \"q\";", Dump(SplitCommandLine("/silent /a \"x\"  -q \"q\"")));
    // Text before the first delimiter is a switch like any other.
    EXPECT_EQ("U=;S=;", Dump(SplitCommandLine("u/s")));
}

TEST(CommandLine, ParametersAreCutToTheBuffer) {
    std::string value(20000, 'x');
    std::vector<CommandSwitch> switches = SplitCommandLine("/A" + value + " /S");
    ASSERT_EQ(1u, switches.size());
    EXPECT_EQ(16383u - 2, switches[0].value.size());
}

TEST(ParametersOf, SkipsTheProgramNameAndTheBlanksAfterIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:\\Setup.exe /S", "/S"},
        {"\"D:\\My Disk\\Setup.exe\"  \t/AE:\\x -u", "/AE:\\x -u"},
        {"\"D:\\Setup.exe\"/S", "/S"},
        {"Setup.exe", ""},
        {"\"D:\\unclosed /S", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.second, ParametersOf(c.first)) << c.first;
}

}  // namespace
