// Time, version, error texts and named mutexes.
#include <string>

#include "contract/contract_env.h"
#include "platform/os.h"

namespace {

// Day of the week by Zeller's rule (0 = Sunday), to check the clock's record.
int Weekday(int y, int m, int d) {
    if (m < 3) {
        m += 12;
        y -= 1;
    }
    int k = y % 100, j = y / 100;
    int h = (d + 13 * (m + 1) / 5 + k + k / 4 + j / 4 + 5 * j) % 7;  // 0 = Saturday
    return (h + 6) % 7;
}

TEST(System, LocalTimeIsAConsistentDate) {
    os::LocalTime t;
    os::GetLocalTime(&t);
    EXPECT_GE(t.year, 2000);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_GE(t.day, 1);
    EXPECT_LE(t.day, 31);
    EXPECT_LE(t.hour, 23);
    EXPECT_LE(t.minute, 59);
    EXPECT_LE(t.second, 59);
    EXPECT_EQ(Weekday(t.year, t.month, t.day), t.dayOfWeek);
}

TEST(System, VersionRecordBasicAndExtended) {
    os::VersionInfo basic, ext;
    ASSERT_TRUE(os::GetVersionInfo(&basic, false));
    EXPECT_GE(basic.majorVersion, 4u);
    EXPECT_TRUE(basic.platformId == 1 || basic.platformId == 2);
    EXPECT_LE(basic.csdVersion.size(), 127u);
    if (basic.platformId == 2 && basic.majorVersion >= 5) {
        ASSERT_TRUE(os::GetVersionInfo(&ext, true));
        EXPECT_EQ(basic.majorVersion, ext.majorVersion);
        EXPECT_EQ(basic.buildNumber, ext.buildNumber);
        EXPECT_GE(ext.productType, 1);
        EXPECT_LE(ext.productType, 3);
    }
}

TEST(System, ErrorTextsEndWithALineBreak) {
    for (uint32_t code : {2u, 3u, 5u, 80u, 87u, 183u}) {
        std::string text = os::ErrorText(code);
        ASSERT_GE(text.size(), 3u) << code;
        EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << code;
    }
    EXPECT_EQ("", os::ErrorText(0x2A5A5A5Au));  // no such message
}

TEST(System, ErrorTextsAreThoseOfWindows) {
    SKIP_KNOWN_WINE_GAP("Wine has message texts of its own");
    EXPECT_EQ("The system cannot find the file specified.\r\n", os::ErrorText(2));
    EXPECT_EQ("Access is denied.\r\n", os::ErrorText(5));
}

TEST(System, NamedMutexExistsWhileAHandleIsOpen) {
    std::string name = contract::UniqueName("Contract Mutex");
    os::Handle first = nullptr, second = nullptr, third = nullptr;
    ASSERT_EQ(0u, os::CreateNamedMutex(name.c_str(), &first));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(os::kErrAlreadyExists, os::CreateNamedMutex(name.c_str(), &second));
    EXPECT_NE(nullptr, second);
    os::CloseHandle(second);
    os::CloseHandle(first);
    EXPECT_EQ(0u, os::CreateNamedMutex(name.c_str(), &third));
    os::CloseHandle(third);
}

TEST(System, MutexNamesIgnoreCaseOnlyWhereWindowsDoes) {
    // Object names are case-sensitive on Windows; two spellings, two mutexes.
    std::string name = contract::UniqueName("CaseMutex");
    std::string upper = name;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    os::Handle a = nullptr, b = nullptr;
    ASSERT_EQ(0u, os::CreateNamedMutex(name.c_str(), &a));
    EXPECT_EQ(0u, os::CreateNamedMutex(upper.c_str(), &b));
    os::CloseHandle(a);
    os::CloseHandle(b);
}

TEST(System, AnsiCodePageIsKnown) { EXPECT_NE(0u, os::AnsiCodePage()); }

}  // namespace
