// The log on this backend: its file in the temporary folder and the second
// line of LogError with the system's own text.
#include <string>

#include "app/log.h"
#include "contract/contract_env.h"
#include "platform/os.h"

namespace {

std::string ExeBaseName() {
    std::string exe;
    os::ExecutablePath(exe);
    return exe.substr(exe.find_last_of('\\') + 1);
}

TEST(Log, LogErrorAddsTheSystemText) {
    std::string name;
    {
        CLog log;
        ASSERT_TRUE(log.IsOpen());
        name = log.FileName();
        std::string temp;
        os::TempDirectory(temp);
        EXPECT_EQ(0u, name.rfind(temp + ExeBaseName(), 0)) << name;
        log.LogError(2, "Open %s", "missing.inf");
    }
    std::string text;
    ASSERT_EQ(0u, os::ReadWholeFile(name.c_str(), text));
    os::RemoveFile(name.c_str());
    std::string system = os::ErrorText(2);
    ASSERT_FALSE(system.empty());
    const std::string tail = "  Open missing.inf\r\n";
    size_t at = text.find(tail);
    ASSERT_NE(std::string::npos, at) << text;
    std::string rest = text.substr(at + tail.size());
    // "[hh.mm.ss]  Error Code = 2 :<text, with its line break> " then CR LF.
    ASSERT_GT(rest.size(), 12u);
    EXPECT_EQ('[', rest[0]);
    EXPECT_EQ("]  Error Code = 2 :" + system + " \r\n", rest.substr(9));
}

}  // namespace
