#include <regex>
#include <sstream>
#include <thread>

#include "app/log.h"
#include "sim_fixture.h"

namespace {

using testsupport::FixedClockIni;
using testsupport::ReadHost;
using testsupport::SimMachine;

const char kTemp[] = "C:\\Documents and Settings\\Owner\\Local Settings\\Temp\\";

std::string LogText(SimMachine& m, const char* name = "Setup.exe.log") {
    return ReadHost(m.Host(std::string(kTemp) + name));
}

const std::string kBanner =
    "////////////////////////////////////////////////////////////\r\n"
    "//                                                        //\r\n"
    "// Veltrix Printer Installer Program                      //\r\n"
    "//                                                        //\r\n"
    "////////////////////////////////////////////////////////////\r\n"
    "\r\n"
    "Data : Friday, December 11, 2026\r\n"
    "\r\n"
    "\r\n";

TEST(Log, BannerWithTheBuiltInNameAndTheDate) {
    SimMachine m(FixedClockIni());
    {
        CLog log;
        EXPECT_TRUE(log.IsOpen());
        EXPECT_EQ(std::string(kTemp) + "Setup.exe.log", log.FileName());
    }
    std::string text = LogText(m);
    EXPECT_EQ(kBanner, text);
    std::istringstream lines(text);
    std::string line;
    for (int i = 0; i < 5 && std::getline(lines, line); ++i) EXPECT_EQ(61u, line.size());  // + CR
}

TEST(Log, DayNumbersHaveTwoDigits) {
    SimMachine m(FixedClockIni("2027-03-01 23:59:09"));
    { CLog log; }
    EXPECT_NE(std::string::npos, LogText(m).find("Data : Monday, March 01, 2027\r\n"));
}

TEST(Log, EachRunGetsANewFileNextToTheOldOnes) {
    SimMachine m(FixedClockIni());
    CLog first, second, third;
    EXPECT_EQ(std::string(kTemp) + "Setup.exe.log", first.FileName());
    EXPECT_EQ(std::string(kTemp) + "Setup.exe0.log", second.FileName());
    EXPECT_EQ(std::string(kTemp) + "Setup.exe1.log", third.FileName());
}

TEST(Log, TheFileIsNamedAfterTheExecutable) {
    SimMachine m(FixedClockIni());
    m.process().exePath = "D:\\Disk1\\Install.EXE";
    CLog log;
    EXPECT_EQ(std::string(kTemp) + "Install.EXE.log", log.FileName());
}

TEST(Log, LinesCarryTheTimeAndTwoBlanks) {
    SimMachine m(FixedClockIni());
    {
        CLog log;
        log.Log("Load %s = %d", "Setup.dat", 0);
        log.Log("%s", "100% sure %s %d");  // a profile text is an argument, never a format
    }
    EXPECT_EQ(kBanner + "[09.30.05]  Load Setup.dat = 0\r\n[09.30.05]  100% sure %s %d\r\n",
              LogText(m));
}

TEST(Log, LogErrorAddsTheSystemTextOnlyForAnError) {
    SimMachine m(FixedClockIni());
    {
        CLog log;
        log.LogError(2, "Open %s failed", "a.inf");
        log.LogError(0, "Nothing wrong");
    }
    EXPECT_EQ(kBanner +
                  "[09.30.05]  Open a.inf failed\r\n"
                  "[09.30.05]  Error Code = 2 :The system cannot find the file specified.\r\n"
                  " \r\n"
                  "[09.30.05]  Nothing wrong\r\n",
              LogText(m));
}

TEST(Log, AnErrorWithoutTextStillGetsItsLine) {
    SimMachine m(FixedClockIni());
    { CLog log; log.LogError(0x2A5A5A5A, "odd"); }
    EXPECT_EQ(kBanner + "[09.30.05]  odd\r\n[09.30.05]  Error Code = 710564442 : \r\n", LogText(m));
}

TEST(Log, LongMessagesAreCutNotOverflowed) {
    SimMachine m(FixedClockIni());
    std::string big(10000, 'x');
    { CLog log; log.Log("%s", big.c_str()); }
    std::string text = LogText(m).substr(kBanner.size());
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    EXPECT_EQ(4095u, text.size() - 2);  // the time-stamped line fills its buffer
    EXPECT_EQ("[09.30.05]  xxx", text.substr(0, 15));
}

TEST(Log, WithoutAWritableTempDirectoryTheRunGoesOnWithoutALog) {
    const char* temps[] = {"Q:\\Temp", "D:\\"};  // no such drive; a CD-ROM
    for (const char* temp : temps) {
        SimMachine m(testsupport::WithKey(FixedClockIni(), "Directories", "Temp", temp));
        CLog log;
        EXPECT_FALSE(log.IsOpen()) << temp;
        EXPECT_EQ(0, log.Log("dropped")) << temp;
        EXPECT_EQ(0, log.LogError(5, "dropped")) << temp;
    }
}

TEST(Log, WithoutItsOwnPathTheLogIsOff) {
    SimMachine m(FixedClockIni());
    m.process().exePath.clear();
    CLog log;
    EXPECT_FALSE(log.IsOpen());
}

TEST(Log, ConcurrentLinesNeverInterleave) {
    SimMachine m(FixedClockIni());
    {
        CLog log;
        auto writer = [&log](char tag) {
            for (int i = 0; i < 2000; ++i) log.Log("%c%d", tag, i);
        };
        std::thread a(writer, 'A'), b(writer, 'B');
        a.join();
        b.join();
    }
    std::istringstream lines(LogText(m).substr(kBanner.size()));
    std::string line;
    std::regex shape(R"(\[09\.30\.05\]  [AB]\d+\r)");
    int count = 0;
    while (std::getline(lines, line)) {
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
        ++count;
    }
    EXPECT_GT(count, 0);
}

}  // namespace
