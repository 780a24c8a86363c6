// Window classes, frame windows, messages and the message loop.
#include <string>
#include <vector>

#include "contract/contract_env.h"
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

}  // namespace
