#include <sys/stat.h>

#include "app/installer_app.h"
#include "app/system_requirement.h"
#include "platform/sim/headless.h"
#include "sim_fixture.h"

namespace {

using testsupport::SimMachine;

class Reported : public CSystemRequirement {
public:
    Reported(uint32_t free, int ports) : free_(free), ports_(ports) {}

protected:
    uint32_t FreeSpaceMb(const std::string&) override { return free_; }
    int DevicePortCount() override { return ports_; }

private:
    uint32_t free_;
    int ports_;
};

struct Case {
    const char* what;
    const char* section;  // the data profile's requirement lines; null: no section
    const char* osDefine;
    uint32_t free;
    int ports;
    bool usbOnly;
    bool passes;
    const char* message;  // shown when refused
};

TEST(SystemRequirement, Cases) {
    const Case cases[] = {
        {"not enough space", "FREE_SPACE = 200\r\n", "XP", 150, 1, false, false,
         "The available Disk space is not enough. Please increase available disk space about "
         "\"200MB\" and try again."},
        {"enough space", "FREE_SPACE = 200\r\n", "XP", 250, 1, false, true, nullptr},
        {"no figure", "FREE_SPACE = 200\r\n", "XP", 0, 1, false, true, nullptr},
        {"own free-space text", "FREE_SPACE = 200\r\nMSG_NO_FREE_SPACE = Need %s, %d %n\r\n", "XP",
         10, 1, false, false, "Need 200MB, %d %n"},
        {"unsupported system", "UNSUPPORTED_OS = \" ME, XP \"\r\n", "XP", 0, 1, false, false,
         "This Windows Version is not supported.\r\nThe Setup program will be terminated."},
        {"supported system", "UNSUPPORTED_OS = ME, XP\r\n", "2000", 0, 1, false, true, nullptr},
        {"case of the list", "UNSUPPORTED_OS = me,xp\r\n", "Xp", 0, 1, false, false,
         "This Windows Version is not supported.\r\nThe Setup program will be terminated."},
        {"no USB", "MSG_USB_NOT_AVAILABLE = No USB.\r\n", "XP", 0, -1, true, false, "No USB."},
        {"USB not needed", "MSG_USB_NOT_AVAILABLE = No USB.\r\n", "XP", 0, -1, false, true, nullptr},
        {"no section never refuses", nullptr, "XP", 1, -1, true, true, nullptr},
    };
    for (const Case& c : cases) {
        SimMachine m;
        std::string dat = "[PROGRAM_INFO]\r\nPROGRAM_NAME = Sample\r\n";
        if (c.section) dat += std::string("[SYSTEM_REQUIREMENT]\r\n") + c.section;
        testsupport::WriteHost(m.package() + "/Setup.dat", dat);
        CInstallerApp app;
        app.global().profiles.data.Create("D:\\Setup.dat", "D:\\Setup.dat", nullptr, false);
        app.global().programInfo.programName = "Sample";
        app.global().target.osDefine = c.osDefine;
        headless::TakeShownBoxes();
        Reported r(c.free, c.ports);
        EXPECT_EQ(c.section != nullptr, r.active()) << c.what;
        EXPECT_EQ(c.passes, r.Check(c.usbOnly)) << c.what;
        std::vector<headless::ShownBox> boxes = headless::TakeShownBoxes();
        if (c.message) {
            ASSERT_EQ(1u, boxes.size()) << c.what;
            EXPECT_EQ(c.message, boxes[0].text) << c.what;
            EXPECT_EQ("Sample", boxes[0].caption) << c.what;
        } else {
            EXPECT_TRUE(boxes.empty()) << c.what;
        }
    }
}

}  // namespace

namespace {

class SilentApp : public CInstallerApp {
public:
    SilentApp() { SetSilent(true); }
};

TEST(SystemRequirement, ASilentRunLogsTheMessageInsteadOfShowingIt) {
    SimMachine m;
    testsupport::WriteHost(m.package() + "/Setup.dat", "[SYSTEM_REQUIREMENT]\r\nFREE_SPACE = 200\r\n");
    std::string logName;
    {
        SilentApp app;
        logName = app.log().FileName();
        app.global().profiles.data.Create("D:\\Setup.dat", "D:\\Setup.dat", nullptr, false);
        app.global().programInfo.programName = "Sample";
        headless::TakeShownBoxes();
        Reported r(150, 1);
        EXPECT_FALSE(r.Check(false));
        EXPECT_TRUE(headless::TakeShownBoxes().empty());
    }
    std::string log = testsupport::ReadHost(m.Host(logName));
    EXPECT_NE(std::string::npos,
              log.find("Message (Sample) : The available Disk space is not enough. Please increase "
                       "available disk space about \"200MB\" and try again."))
        << log;
}

}  // namespace
