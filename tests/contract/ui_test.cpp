// Window classes, frame windows, messages and the message loop.
#include <string>
#include <vector>

#include "contract/contract_env.h"
#include "platform/os.h"
#include "platform/ui.h"

namespace {

constexpr uint32_t kPing = ui::kWmUser + 1;
constexpr uint32_t kStop = ui::kWmUser + 2;
constexpr uint32_t kAsk = ui::kWmUser + 3;

class Recorder : public ui::IWindowHandler {
public:
    intptr_t OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override {
        if (msg < ui::kWmUser) return 0;
        handled = true;
        seen.push_back(msg);
        if (msg == kStop) ui::PostQuit(static_cast<int>(wParam));
        if (msg == kAsk) return lParam * 2;
        if (msg == kPing && wParam == 1) ui::Post(hwnd, kStop, 7, 0);
        return 0;
    }
    std::vector<uint32_t> seen;
};

struct IdleLog {
    std::vector<long> counts;
    ui::HWnd window = nullptr;
    bool kicked = false;
};

bool OnIdle(void* context, long count) {
    auto* log = static_cast<IdleLog*>(context);
    log->counts.push_back(count);
    if (count < 2) return true;  // more idle work
    if (!log->kicked) {
        log->kicked = true;
        ui::Post(log->window, kPing, 1, 0);
    }
    return false;  // now wait for messages
}

ui::Rect Area() { return ui::Rect{10, 10, 330, 250}; }

TEST(Windows, ClassesRegisterOnce) {
    std::string cls = contract::UniqueName("Contract Class");
    EXPECT_EQ(0u, ui::RegisterWindowClass(cls.c_str()));
    EXPECT_EQ(1410u, ui::RegisterWindowClass(cls.c_str()));
}

TEST(Windows, AnUnregisteredClassMakesNoWindow) {
    uint32_t error = 0;
    std::string cls = contract::UniqueName("Unregistered");
    EXPECT_EQ(nullptr, ui::CreateFrameWindow(cls.c_str(), "x", ui::kWsOverlapped, 0, Area(),
                                             nullptr, &error));
    EXPECT_EQ(1411u, error);
}

TEST(Windows, FrameWindowIsFoundByClassUntilDestroyed) {
    std::string cls = contract::UniqueName("Contract Frame");
    ASSERT_EQ(0u, ui::RegisterWindowClass(cls.c_str()));
    Recorder handler;
    ui::HWnd w = ui::CreateFrameWindow(cls.c_str(), "Frame Caption",
                                       ui::kWsOverlapped | ui::kWsCaption, 0, Area(), &handler);
    ASSERT_NE(nullptr, w);
    EXPECT_TRUE(ui::IsWindowHandle(w));
    EXPECT_EQ("Frame Caption", ui::WindowText(w));
    std::string lower = cls;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    EXPECT_EQ(w, ui::FindTopLevelWindow(cls.c_str()));
    EXPECT_EQ(w, ui::FindTopLevelWindow(lower.c_str()));  // class names ignore case
    EXPECT_TRUE(ui::DestroyWindowHandle(w));
    EXPECT_FALSE(ui::IsWindowHandle(w));
    EXPECT_EQ(nullptr, ui::FindTopLevelWindow(cls.c_str()));
}

TEST(Windows, SendIsSynchronousPostWaitsForTheLoop) {
    std::string cls = contract::UniqueName("Contract Loop");
    ASSERT_EQ(0u, ui::RegisterWindowClass(cls.c_str()));
    Recorder handler;
    ui::HWnd w = ui::CreateFrameWindow(cls.c_str(), "Loop", ui::kWsOverlapped, 0, Area(), &handler);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(42, ui::Send(w, kAsk, 0, 21));
    ASSERT_TRUE(ui::Post(w, kPing, 0, 0));
    EXPECT_EQ((std::vector<uint32_t>{kAsk}), handler.seen);  // posted: not yet

    IdleLog idle;
    idle.window = w;
    int code = ui::RunMessageLoop(OnIdle, &idle);
    EXPECT_EQ(7, code);
    EXPECT_EQ((std::vector<uint32_t>{kAsk, kPing, kPing, kStop}), handler.seen);
    // Idle runs once the queue is empty, counting up from 0 until it says
    // enough; then the loop waits for the next message.
    EXPECT_EQ((std::vector<long>{0, 1, 2}), idle.counts);
    ui::DestroyWindowHandle(w);
}

TEST(Windows, PostingToADestroyedWindowFails) {
    std::string cls = contract::UniqueName("Contract Gone");
    ASSERT_EQ(0u, ui::RegisterWindowClass(cls.c_str()));
    Recorder handler;
    ui::HWnd w = ui::CreateFrameWindow(cls.c_str(), "Gone", ui::kWsOverlapped, 0, Area(), &handler);
    ASSERT_NE(nullptr, w);
    ui::DestroyWindowHandle(w);
    EXPECT_FALSE(ui::Post(w, kPing, 0, 0));
}

// A dialog that looks at itself once it runs, then ends.
class DialogProbe : public ui::IWindowHandler {
public:
    intptr_t OnMessage(ui::HWnd dlg, uint32_t msg, uintptr_t wParam, intptr_t,
                       bool& handled) override {
        if (msg == ui::kWmInitDialog) {
            handled = true;
            ownerEnabled = ui::IsWindowEnabledHandle(owner);
            ui::Post(dlg, kPing, 0, 0);
            return 1;
        }
        if (msg == ui::kWmCommand) {
            handled = true;
            commands.push_back(static_cast<int>(wParam & 0xFFFF));
            return 0;
        }
        if (msg != kPing) return 0;
        handled = true;
        caption = ui::WindowText(dlg);
        ui::HWnd first = ui::DialogControlHandle(dlg, 1079);
        ui::HWnd second = ui::DialogControlHandle(dlg, 1080);
        firstText = ui::WindowText(first);
        ui::SetWindowTextHandle(second, "Exit");
        secondText = ui::WindowText(second);
        ui::ShowWindowHandle(second, false);
        secondVisible = ui::IsWindowVisibleHandle(second);
        firstVisible = ui::IsWindowVisibleHandle(first);
        ui::EnableWindowHandle(first, false);
        firstEnabled = ui::IsWindowEnabledHandle(first);
        missing = ui::DialogControlHandle(dlg, 4242);
        ui::MoveWindowHandle(first, ui::Rect{20, 30, 95, 53});
        placed = ui::WindowBounds(first);
        window = ui::WindowBounds(dlg);
        client = ui::ClientBounds(dlg);
        iconSet = ui::SetControlIcon(ui::DialogControlHandle(dlg, 1006), ui::SystemIcon::kWarning);
        const ui::Rect area{66, 14, 316, 74};
        oneLine = ui::MeasureText(dlg, "Word", area);
        twoLines = ui::MeasureText(dlg, "Word\nWord", area);
        wrapped = ui::MeasureText(dlg, std::string(40, 'w').append(" ").append(40, 'w').c_str(), area);
        ui::EndModal(dlg, 7);
        return 0;
    }
    ui::HWnd owner = nullptr;
    bool ownerEnabled = true, firstVisible = false, secondVisible = true, firstEnabled = true;
    bool iconSet = false;
    ui::HWnd missing = nullptr;
    std::string caption, firstText, secondText;
    ui::Rect placed, window, client, oneLine, twoLines, wrapped;
    std::vector<int> commands;
};

TEST(Dialogs, AModalDialogHoldsItsOwnerAndAnswersItsEnd) {
    std::string cls = contract::UniqueName("Contract Owner");
    ASSERT_EQ(0u, ui::RegisterWindowClass(cls.c_str()));
    Recorder ownerHandler;
    ui::HWnd owner = ui::CreateFrameWindow(cls.c_str(), "Owner", ui::kWsOverlapped | ui::kWsCaption,
                                           0, Area(), &ownerHandler);
    ASSERT_NE(nullptr, owner);
    ui::DialogTemplate t;
    t.caption = "Probe";
    t.width = 340;
    t.height = 130;
    t.controls = {{ui::ControlKind::kPushButton, 1079, "OK", {80, 70, 155, 93}},
                  {ui::ControlKind::kPushButton, 1080, "Cancel", {170, 70, 245, 93}},
                  {ui::ControlKind::kIcon, 1006, "", {20, 14, 52, 46}}};
    DialogProbe probe;
    probe.owner = owner;
    EXPECT_EQ(7, ui::RunModalDialog(owner, t, &probe));
    EXPECT_FALSE(probe.ownerEnabled);
    EXPECT_TRUE(ui::IsWindowEnabledHandle(owner));
    EXPECT_EQ("Probe", probe.caption);
    EXPECT_EQ("OK", probe.firstText);
    EXPECT_EQ("Exit", probe.secondText);
    EXPECT_TRUE(probe.firstVisible);
    EXPECT_FALSE(probe.secondVisible);
    EXPECT_FALSE(probe.firstEnabled);
    EXPECT_EQ(nullptr, probe.missing);
    EXPECT_TRUE(probe.iconSet);
    // Controls are placed in the client area's pixels.
    EXPECT_EQ(20, probe.placed.left);
    EXPECT_EQ(30, probe.placed.top);
    EXPECT_EQ(95, probe.placed.right);
    EXPECT_EQ(53, probe.placed.bottom);
    EXPECT_EQ(340, probe.window.right - probe.window.left);
    EXPECT_EQ(130, probe.window.bottom - probe.window.top);
    EXPECT_EQ(0, probe.client.left);
    EXPECT_LT(probe.client.right, 340);
    EXPECT_LT(probe.client.bottom, 130);
    // Measured text starts at the rectangle's corner and grows by lines;
    // two long words wrap onto two lines.
    EXPECT_EQ(66, probe.oneLine.left);
    EXPECT_EQ(14, probe.oneLine.top);
    EXPECT_GT(probe.oneLine.right, 66);
    EXPECT_LT(probe.oneLine.right, 316);
    const int line = probe.oneLine.bottom - probe.oneLine.top;
    EXPECT_GT(line, 0);
    EXPECT_EQ(2 * line, probe.twoLines.bottom - probe.twoLines.top);
    EXPECT_EQ(2 * line, probe.wrapped.bottom - probe.wrapped.top);
    EXPECT_TRUE(probe.commands.empty());
    ui::DestroyWindowHandle(owner);
}

TEST(Windows, SendFromAnotherThreadIsAnsweredByTheWindowsThread) {
    std::string cls = contract::UniqueName("Contract Threads");
    ASSERT_EQ(0u, ui::RegisterWindowClass(cls.c_str()));
    Recorder handler;
    ui::HWnd w = ui::CreateFrameWindow(cls.c_str(), "Threads", ui::kWsOverlapped, 0, Area(), &handler);
    ASSERT_NE(nullptr, w);
    struct Context {
        ui::HWnd w;
        intptr_t answer;
    } ctx{w, 0};
    os::Handle thread = nullptr;
    ASSERT_EQ(0u, os::StartThread(
                      [](void* p) -> uint32_t {
                          auto* c = static_cast<Context*>(p);
                          c->answer = ui::Send(c->w, kAsk, 0, 50);
                          ui::Post(c->w, kStop, 3, 0);
                          return 0;
                      },
                      &ctx, &thread));
    EXPECT_EQ(3, ui::RunMessageLoop(nullptr, nullptr));
    EXPECT_EQ(0u, os::WaitThread(thread, 10000));
    os::CloseThread(thread);
    EXPECT_EQ(100, ctx.answer);
    ui::DestroyWindowHandle(w);
}

}  // namespace
