// The installer's own message box on the window backend: another thread
// finds it, locks it, tries to close it, unlocks it and presses Exit.
#include <string>

#include "app/messages.h"
#include "contract/contract_env.h"
#include "platform/os.h"
#include "platform/ui.h"
#include "wizard/my_message_box.h"
#ifndef _WIN32
#include "platform/sim/headless.h"
#endif

namespace {

struct Seen {
    bool found = false;
    std::string caption;
    int width = 0, height = 0;
    bool lockedFirst = true, lockedSecond = true;  // enabled while locked
    bool openAfterClose = false;
    bool unlockedSecond = false;
};

uint32_t Operate(void* context) {
    auto* seen = static_cast<Seen*>(context);
    ui::HWnd dlg = nullptr;
    for (int i = 0; i < 1000 && !dlg; ++i) {
        dlg = ui::FindTopLevelWindow("#32770");
        if (!dlg) os::Sleep(10);
    }
    if (!dlg) return 1;
    seen->found = true;
    seen->caption = ui::WindowText(dlg);
    const ui::Rect r = ui::WindowBounds(dlg);
    seen->width = r.right - r.left;
    seen->height = r.bottom - r.top;
    ui::HWnd first = ui::DialogControlHandle(dlg, CMyMessageBox::kIdFirst);
    ui::HWnd second = ui::DialogControlHandle(dlg, CMyMessageBox::kIdSecond);
    ui::Send(dlg, WM_USER_LOCK_MSGBOX, 0, 0);
    seen->lockedFirst = ui::IsWindowEnabledHandle(first);
    seen->lockedSecond = ui::IsWindowEnabledHandle(second);
    ui::Send(dlg, ui::kWmClose, 0, 0);
    seen->openAfterClose = ui::IsWindowHandle(dlg);
    ui::Send(dlg, WM_USER_LOCK_MSGBOX, 1, 0);
    seen->unlockedSecond = ui::IsWindowEnabledHandle(second);
    ui::Send(dlg, ui::kWmCommand, CMyMessageBox::kIdSecond, 0);
    return 0;
}

TEST(InstallersBox, AnotherThreadLocksUnlocksAndAnswersIt) {
#ifndef _WIN32
    headless::SetDialogDriver([](ui::HWnd) {});  // nobody at the keyboard
#endif
    CMyMessageBox box(nullptr);
    ASSERT_TRUE(box.Setup("Quit the setup now?", "Contract Box", 0x36));
    Seen seen;
    os::Handle thread = nullptr;
    ASSERT_EQ(0u, os::StartThread(Operate, &seen, &thread));
    const int result = box.Show();
    EXPECT_EQ(0u, os::WaitThread(thread, 20000));
    os::CloseThread(thread);
#ifndef _WIN32
    headless::SetDialogDriver(nullptr);
#endif
    EXPECT_TRUE(seen.found);
    EXPECT_EQ(2, result);
    EXPECT_EQ("Contract Box", seen.caption);
    EXPECT_EQ(300, seen.width);  // a short text: the least width
    EXPECT_GE(seen.height, 100);
    EXPECT_FALSE(seen.lockedFirst);
    EXPECT_FALSE(seen.lockedSecond);
    EXPECT_TRUE(seen.openAfterClose);
    EXPECT_TRUE(seen.unlockedSecond);
}

}  // namespace
