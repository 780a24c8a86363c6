// FillPlaceholders: profile texts with "%s" filled without a printf formatter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/text_format.h"

namespace {

struct Case {
    const char* text;
    std::vector<std::string> args;
    size_t bufferSize;
    std::string expected;
};

TEST(FillPlaceholders, Table) {
    const Case cases[] = {
        // Conversions a formatter would act on are plain text here.
        {"%n%n%s%s", {"x"}, 16384, "%n%nx"},
        {"%d %1 %x %", {"a"}, 16384, "%d %1 %x %"},
        {"100%% done", {}, 16384, "100% done"},
        {"%%s", {"a"}, 16384, "%s"},
        {"File: %s", {"D:\\data\\x.vxi"}, 16384, "File: D:\\data\\x.vxi"},
        {"%s and %s", {"a", "b", "c"}, 16384, "a and b"},
        // An argument is inserted as it is, never scanned for placeholders.
        {"[%s]", {"%s%n%%"}, 16384, "[%s%n%%]"},
        {"", {"a"}, 16384, ""},
        // Cut to the buffer, in the text and inside an argument.
        {"abcdef", {}, 4, "abc"},
        {"a%sz", {"12345"}, 5, "a123"},
        {"ab%%", {}, 3, "ab"},
        {"abc", {}, 1, ""},
        {"abc", {}, 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, FillPlaceholders(c.text, c.args, c.bufferSize)) << c.text;
}

TEST(FillPlaceholders, ResultNeverPassesTheDefaultBuffer) {
    std::string big(20000, 'x');
    std::string out = FillPlaceholders("<%s>%s", {big, big});
    EXPECT_EQ(16383u, out.size());
    EXPECT_EQ('<', out[0]);
    EXPECT_EQ(std::string(16382, 'x'), out.substr(1));
}

}  // namespace
