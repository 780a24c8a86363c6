// Real windows: every class shares one window procedure that hands the
// messages to the IWindowHandler given at creation.
#include "platform/ui.h"

#include <windows.h>

namespace ui {

namespace {

LRESULT CALLBACK ThunkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    IWindowHandler* handler;
    if (msg == WM_NCCREATE) {
        // The first message that carries the creation parameter; a frame
        // window gets WM_GETMINMAXINFO before it, with no handler yet.
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        handler = static_cast<IWindowHandler*>(cs->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handler));
    } else {
        handler = reinterpret_cast<IWindowHandler*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (handler) {
        bool handled = false;
        intptr_t result = handler->OnMessage(hwnd, msg, wParam, lParam, handled);
        if (handled) return result;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

uint32_t RegisterWindowClass(const char* className, const WindowClass& cls) {
    WNDCLASSA wc = {};
    wc.style = cls.style;
    wc.lpfnWndProc = ThunkProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    if (cls.iconResource)
        wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(cls.iconResource));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(cls.backgroundColor);
    wc.lpszClassName = className;
    return RegisterClassA(&wc) ? 0 : GetLastError();
}

HWnd CreateFrameWindow(const char* className, const char* caption, uint32_t style,
                       uint32_t exStyle, const Rect& rect, IWindowHandler* handler,
                       uint32_t* error) {
    HWND hwnd = CreateWindowExA(exStyle, className, caption, style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                GetModuleHandleA(nullptr), handler);
    if (error) *error = hwnd ? 0 : GetLastError();
    return hwnd;
}

bool BringToFront(HWnd hwnd) {
    HWND h = static_cast<HWND>(hwnd);
    BOOL top = BringWindowToTop(h);
    BOOL fore = SetForegroundWindow(h);
    return top != FALSE && fore != FALSE;
}

int ShowMessageBox(HWnd owner, const char* text, const char* caption, uint32_t style) {
    return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}

bool DestroyWindowHandle(HWnd hwnd) {
    return DestroyWindow(static_cast<HWND>(hwnd)) != FALSE;
}

bool EnableWindowHandle(HWnd hwnd, bool enable) {
    return EnableWindow(static_cast<HWND>(hwnd), enable ? TRUE : FALSE) != FALSE;
}

bool IsWindowHandle(HWnd hwnd) {
    return IsWindow(static_cast<HWND>(hwnd)) != FALSE;
}

std::string WindowText(HWnd hwnd) {
    // The length may overstate the text (DBCS), never understate it.
    int length = GetWindowTextLengthA(static_cast<HWND>(hwnd));
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int n = GetWindowTextA(static_cast<HWND>(hwnd), &text[0], length + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

HWnd FindTopLevelWindow(const char* className) {
    return FindWindowA(className, nullptr);
}

bool Post(HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    return PostMessageA(static_cast<HWND>(hwnd), msg, wParam, lParam) != FALSE;
}

intptr_t Send(HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    return SendMessageA(static_cast<HWND>(hwnd), msg, wParam, lParam);
}

void PostQuit(int exitCode) {
    PostQuitMessage(exitCode);
}

int RunMessageLoop(IdleFn idle, void* context) {
    MSG msg;
    long count = 0;
    for (;;) {
        // Idle work runs only while the queue is empty; the idle function
        // stops it by answering false, and the next message restarts it.
        if (idle) {
            while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && idle(context, count++)) {
            }
        }
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return -1;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        count = 0;
    }
}

}  // namespace ui
