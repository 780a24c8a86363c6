// The installer's own message box on the headless window backend.
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/installer_app.h"
#include "app/messages.h"
#include "platform/sim/headless.h"
#include "app_doubles.h"
#include "sim_fixture.h"
#include "wizard/my_message_box.h"

namespace {

using testsupport::FixedClockIni;
using testsupport::SimMachine;
using testsupport::WriteHost;

const char kSetupDat[] =
    "[INSTALLER_FILE_INFO]\r\n"
    "CONFIGURE_FILE = .\\data\\vxinst.vxi\r\n"
    "COMMAND_FILE = .\\data\\vxinst.cmd\r\n"
    "STRING_FILE_FORMAT = .\\data\\String\\Lang_%s.str\r\n"
    "[VERSION]\r\nVERSION = 2.10\r\n";

class BoxApp : public CInstallerApp {
public:
    BoxApp() : CInstallerApp(std::make_unique<testsupport::GlobalDouble>()) {}
    using CInstallerApp::SetSilent;
};

class Owner : public ui::IWindowHandler {
public:
    intptr_t OnMessage(ui::HWnd, uint32_t, uintptr_t, intptr_t, bool&) override { return 0; }
};

class MessageBoxTest : public ::testing::Test {
protected:
    MessageBoxTest() : m(FixedClockIni()) {
        Write("Setup.dat", kSetupDat);
        Write("data/vxinst.vxi", "[NONE]\r\n");
        Write("data/vxinst.cmd", "[NONE]\r\n");
        Write("data/String/Lang_EN.str",
              "[MESSAGES]\r\nBUTTON.YES = Ja\r\nBUTTON.NO = Nein\r\nBUTTON.RESUME = Weiter\r\n"
              "BUTTON.EXIT = Beenden\r\nBUTTON.CANCEL = Abbrechen\r\n");
        app = std::make_unique<BoxApp>();
        EXPECT_TRUE(app->global().Initialize());
        ui::RegisterWindowClass("Box Owner");
        owner = ui::CreateFrameWindow("Box Owner", "Owner", ui::kWsCaption, 0,
                                      ui::Rect{100, 100, 600, 500}, &ownerHandler);
    }
    ~MessageBoxTest() override {
        headless::SetDialogDriver(nullptr);
        ui::DestroyWindowHandle(owner);
    }
    void Write(const std::string& relative, const std::string& text) {
        std::string path = m.package() + "/" + relative;
        for (size_t i = m.package().size() + 1; i < path.size(); ++i)
            if (path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
        WriteHost(path, text);
    }
    // Shows the box, presses the button and answers what the box looked like.
    headless::DialogView ShowAndPress(CMyMessageBox& box, int press, int* result) {
        headless::DialogView seen;
        headless::SetDialogDriver([&](ui::HWnd dlg) {
            seen = headless::DescribeDialog(dlg);
            seenOwnerEnabled = ui::IsWindowEnabledHandle(owner);
            headless::PressButton(dlg, press);
        });
        *result = box.Show();
        headless::SetDialogDriver(nullptr);
        return seen;
    }
    SimMachine m;
    std::unique_ptr<BoxApp> app;
    Owner ownerHandler;
    ui::HWnd owner = nullptr;
    bool seenOwnerEnabled = true;
};

int Width(const ui::Rect& r) { return r.right - r.left; }
int Height(const ui::Rect& r) { return r.bottom - r.top; }

TEST_F(MessageBoxTest, TypeChoosesIconAndButtonsAndEachButtonAnswers) {
    struct Case {
        uint32_t type;
        ui::SystemIcon icon;
        const char* first;
        const char* second;  // null: hidden
    };
    const Case cases[] = {
        {0x36, ui::SystemIcon::kWarning, "Weiter", "Beenden"},
        {0x34, ui::SystemIcon::kWarning, "Ja", "Nein"},
        {0x24, ui::SystemIcon::kQuestion, "Ja", "Nein"},
        {0x10, ui::SystemIcon::kError, "OK", nullptr},
        {0x41, ui::SystemIcon::kInformation, "OK", "Abbrechen"},
        {0x03, ui::SystemIcon::kInformation, "OK", "Abbrechen"},
    };
    for (const Case& c : cases) {
        for (int press : {CMyMessageBox::kIdFirst, CMyMessageBox::kIdSecond}) {
            if (!c.second && press == CMyMessageBox::kIdSecond) continue;
            CMyMessageBox box(owner);
            ASSERT_TRUE(box.Setup("Go on?", nullptr, c.type));
            int result = 0;
            headless::DialogView v = ShowAndPress(box, press, &result);
            EXPECT_EQ(press == CMyMessageBox::kIdFirst ? 1 : 2, result) << std::hex << c.type;
            EXPECT_EQ("Test Printer", v.caption);
            EXPECT_EQ("Go on?", v.text);
            EXPECT_EQ(owner, v.owner);
            ASSERT_EQ(3u, v.controls.size());
            EXPECT_EQ(c.first, v.controls[0].text);
            EXPECT_EQ(c.second != nullptr, v.controls[1].visible) << std::hex << c.type;
            if (c.second) {
                EXPECT_EQ(c.second, v.controls[1].text);
            }
            EXPECT_EQ(c.icon, v.controls[2].icon) << std::hex << c.type;
        }
    }
    // The owner was held while the box was open and is active again after it.
    EXPECT_FALSE(seenOwnerEnabled);
    EXPECT_TRUE(ui::IsWindowEnabledHandle(owner));
    EXPECT_EQ(owner, headless::ForegroundWindow());
}

TEST_F(MessageBoxTest, TheBoxGrowsWithItsTextAndCentresItsButtons) {
    struct Case {
        std::string text;
        int width, height;
    };
    // Headless metrics: 6 pixels a byte, 13 a line, a frame of 6 x 25,
    // buttons of 75 x 23.
    const std::string longLine(100, 'x');
    const Case cases[] = {
        {"Word", 300, 100},
        // One line of 100 bytes: 3 + (66 + 600) + 10.
        {longLine, 679, 100},
        // Six lines: 14 + 78 + 25 + 23 + 20.
        {"a\nb\nc\nd\ne\nf", 300, 160},
    };
    for (const Case& c : cases) {
        CMyMessageBox box(owner);
        ASSERT_TRUE(box.Setup(c.text, "Sizes", 0x31));
        int result = 0;
        headless::DialogView v = ShowAndPress(box, CMyMessageBox::kIdFirst, &result);
        EXPECT_EQ(c.width, Width(v.rect)) << c.text;
        EXPECT_EQ(c.height, Height(v.rect)) << c.text;
        const ui::Rect& ok = v.controls[0].rect;
        const ui::Rect& cancel = v.controls[1].rect;
        const int clientBottom = Height(v.rect) - 25;
        EXPECT_EQ(clientBottom - 10, ok.bottom);
        EXPECT_EQ(ok.top, cancel.top);
        EXPECT_EQ(10, cancel.left - ok.right);
        // Centred on the window's width, to the pixel an odd width allows.
        EXPECT_LE(std::abs(ok.left - (Width(v.rect) - cancel.right)), 1) << c.text;
    }
}

TEST_F(MessageBoxTest, AnEmptyTextSetsOnlyTheCaptionAndTheBoxStillShows) {
    CMyMessageBox box(owner);
    EXPECT_FALSE(box.Setup("", "Only a caption", 0x34));
    int result = 0;
    headless::DialogView v = ShowAndPress(box, CMyMessageBox::kIdFirst, &result);
    EXPECT_EQ(1, result);
    EXPECT_EQ("Only a caption", v.caption);
    EXPECT_FALSE(v.controls[1].visible);
    EXPECT_EQ(300, Width(v.rect));
}

TEST_F(MessageBoxTest, ALockedBoxRefusesButtonsAndClosingUntilUnlocked) {
    CMyMessageBox box(owner);
    ASSERT_TRUE(box.Setup("Waiting for the printer", nullptr, 0x34));
    headless::SetDialogDriver([](ui::HWnd) {});  // nobody at the keyboard
    struct Seen {
        bool pressedLocked = true, stillOpen = false, buttonsDisabled = false, pressedAfter = false;
    } seen;
    // A worker locks and unlocks the box, as a page's search thread does.
    std::thread worker([&] {
        std::vector<ui::HWnd> open;
        while ((open = headless::ModalDialogs()).empty()) std::this_thread::yield();
        ui::HWnd dlg = open.back();
        ui::Send(dlg, WM_USER_LOCK_MSGBOX, 0, 0);
        headless::DialogView v = headless::DescribeDialog(dlg);
        seen.buttonsDisabled = !v.controls[0].enabled && !v.controls[1].enabled;
        seen.pressedLocked = headless::PressButton(dlg, CMyMessageBox::kIdSecond);
        headless::CloseDialog(dlg);
        ui::Send(dlg, ui::kWmCommand, ui::kDialogEscape, 0);
        seen.stillOpen = !headless::ModalDialogs().empty();
        ui::Send(dlg, WM_USER_LOCK_MSGBOX, 1, 0);
        seen.pressedAfter = headless::PressButton(dlg, CMyMessageBox::kIdSecond);
    });
    const int result = box.Show();
    worker.join();
    EXPECT_TRUE(seen.buttonsDisabled);
    EXPECT_FALSE(seen.pressedLocked);
    EXPECT_TRUE(seen.stillOpen);
    EXPECT_TRUE(seen.pressedAfter);
    EXPECT_EQ(2, result);
    EXPECT_FALSE(box.locked());
}

TEST_F(MessageBoxTest, TheCloseBoxAnswersTheSecondButton) {
    CMyMessageBox box(owner);
    ASSERT_TRUE(box.Setup("Quit?", nullptr, 0x36));
    headless::SetDialogDriver([](ui::HWnd dlg) { headless::CloseDialog(dlg); });
    EXPECT_EQ(2, box.Show());
}

TEST_F(MessageBoxTest, RightAlignReadsRightToLeftWithTheIconAtTheCorner) {
    app->global().options.rightAlign = true;
    CMyMessageBox box(owner);
    ASSERT_TRUE(box.Setup("Text", nullptr, 0x30));
    int result = 0;
    headless::DialogView v = ShowAndPress(box, CMyMessageBox::kIdFirst, &result);
    EXPECT_EQ(ui::kWsExRtlReading, v.exStyle & ui::kWsExRtlReading);
    EXPECT_EQ(14, v.controls[2].rect.left);
    EXPECT_EQ(14, v.controls[2].rect.top);
}

TEST_F(MessageBoxTest, ASilentRunLogsTheTextAndAnswersTheFirstButton) {
    app->SetSilent(true);
    CMyMessageBox box(owner);
    ASSERT_TRUE(box.Setup("Nobody reads this", "Caption", 0x36));
    bool opened = false;
    headless::SetDialogDriver([&](ui::HWnd) { opened = true; });
    EXPECT_EQ(1, box.Show());
    EXPECT_FALSE(opened);
    const std::string log = testsupport::ReadHost(m.Host(app->log().FileName()));
    EXPECT_NE(std::string::npos, log.find("Message (Caption) : Nobody reads this"));
}

}  // namespace
