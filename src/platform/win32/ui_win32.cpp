// Real windows: every class shares one window procedure that hands the
// messages to the IWindowHandler given at creation.
#include "platform/ui.h"

#include <windows.h>

#include <vector>

namespace ui {

namespace {

// The paint in progress on this thread, for PaintText.
thread_local HDC t_paintDc = nullptr;

// Runs the handler for WM_PAINT between BeginPaint and EndPaint.
intptr_t PaintThrough(IWindowHandler* handler, HWND hwnd, bool& handled) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HDC outer = t_paintDc;
    t_paintDc = dc;
    intptr_t r = handler->OnMessage(hwnd, kWmPaint, 0, 0, handled);
    t_paintDc = outer;
    EndPaint(hwnd, &ps);
    handled = true;
    return r;
}

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
        intptr_t result = msg == WM_PAINT ? PaintThrough(handler, hwnd, handled)
                                          : handler->OnMessage(hwnd, msg, wParam, lParam, handled);
        if (handled) return result;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// --- dialogs: an in-memory template whose controls are then placed in pixels

struct ModalStart {
    const DialogTemplate* dialog;
    IWindowHandler* handler;
    HWND owner;
};

void Align(std::vector<WORD>& t, size_t bytes) {
    while ((t.size() * sizeof(WORD)) % bytes) t.push_back(0);
}

void PutText(std::vector<WORD>& t, const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::vector<WCHAR> wide(n > 0 ? n : 1, 0);
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    for (WCHAR c : wide) t.push_back(c);
    if (wide.empty() || wide.back() != 0) t.push_back(0);
}

void PutDword(std::vector<WORD>& t, DWORD v) {
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
}

// A DLGTEMPLATE with its items; every size is set again in pixels once the
// dialog exists, so the dialog units here are placeholders.
std::vector<WORD> BuildTemplate(const DialogTemplate& d) {
    std::vector<WORD> t;
    PutDword(t, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    PutDword(t, d.exStyle);
    t.push_back(static_cast<WORD>(d.controls.size()));
    for (int i = 0; i < 4; ++i) t.push_back(0);  // x, y, cx, cy
    t.push_back(0);                              // no menu
    t.push_back(0);                              // the dialog class
    PutText(t, d.caption);
    t.push_back(8);
    PutText(t, "MS Shell Dlg");
    for (const DialogControl& c : d.controls) {
        Align(t, sizeof(DWORD));
        DWORD style = WS_CHILD | WS_VISIBLE;
        style |= c.kind == ControlKind::kPushButton ? (WS_TABSTOP | BS_PUSHBUTTON) : SS_ICON;
        PutDword(t, style);
        PutDword(t, 0);
        for (int i = 0; i < 4; ++i) t.push_back(0);
        t.push_back(static_cast<WORD>(c.id));
        t.push_back(0xFFFF);
        t.push_back(c.kind == ControlKind::kPushButton ? 0x0080 : 0x0082);
        PutText(t, c.kind == ControlKind::kPushButton ? c.text : std::string());
        t.push_back(0);  // no creation data
    }
    return t;
}

void PlaceDialog(HWND dlg, const ModalStart& start) {
    const DialogTemplate& d = *start.dialog;
    RECT area;
    if (!start.owner || !GetWindowRect(start.owner, &area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const int x = area.left + (area.right - area.left - d.width) / 2;
    const int y = area.top + (area.bottom - area.top - d.height) / 2;
    MoveWindow(dlg, x, y, d.width, d.height, FALSE);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const DialogControl& c : d.controls) {
        HWND item = GetDlgItem(dlg, c.id);
        if (!item) continue;
        MoveWindow(item, c.rect.left, c.rect.top, c.rect.right - c.rect.left,
                   c.rect.bottom - c.rect.top, FALSE);
        SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
}

INT_PTR CALLBACK DialogThunk(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    IWindowHandler* handler;
    if (msg == WM_INITDIALOG) {
        const auto* start = reinterpret_cast<const ModalStart*>(lParam);
        handler = start->handler;
        SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(handler));
        PlaceDialog(dlg, *start);
        bool handled = false;
        if (handler) handler->OnMessage(dlg, kWmInitDialog, 0, 0, handled);
        return TRUE;  // the first button gets the focus
    }
    handler = reinterpret_cast<IWindowHandler*>(GetWindowLongPtrA(dlg, DWLP_USER));
    if (!handler) return FALSE;
    bool handled = false;
    intptr_t result = msg == WM_PAINT ? PaintThrough(handler, dlg, handled)
                                      : handler->OnMessage(dlg, msg, wParam, lParam, handled);
    if (!handled) return FALSE;
    SetWindowLongPtrA(dlg, DWLP_MSGRESULT, result);
    return TRUE;
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

intptr_t RunModalDialog(HWnd owner, const DialogTemplate& dialog, IWindowHandler* handler) {
    std::vector<WORD> t = BuildTemplate(dialog);
    // DialogBoxIndirectParam wants the template DWORD-aligned.
    std::vector<DWORD> aligned((t.size() * sizeof(WORD) + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    CopyMemory(aligned.data(), t.data(), t.size() * sizeof(WORD));
    ModalStart start{&dialog, handler, static_cast<HWND>(owner)};
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                                   reinterpret_cast<LPCDLGTEMPLATEA>(aligned.data()),
                                   static_cast<HWND>(owner), DialogThunk,
                                   reinterpret_cast<LPARAM>(&start));
}

bool EndModal(HWnd dialog, intptr_t result) {
    return EndDialog(static_cast<HWND>(dialog), result) != FALSE;
}

HWnd DialogControlHandle(HWnd dialog, int id) {
    return GetDlgItem(static_cast<HWND>(dialog), id);
}

bool SetWindowTextHandle(HWnd hwnd, const char* text) {
    return SetWindowTextA(static_cast<HWND>(hwnd), text ? text : "") != FALSE;
}

bool ShowWindowHandle(HWnd hwnd, bool show) {
    return ShowWindow(static_cast<HWND>(hwnd), show ? SW_SHOW : SW_HIDE) != FALSE;
}

bool IsWindowVisibleHandle(HWnd hwnd) {
    // Its own flag: a dialog shows itself only once its queue is empty.
    return (GetWindowLongA(static_cast<HWND>(hwnd), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsWindowEnabledHandle(HWnd hwnd) {
    return IsWindowEnabled(static_cast<HWND>(hwnd)) != FALSE;
}

bool ActivateWindow(HWnd hwnd) {
    return SetActiveWindow(static_cast<HWND>(hwnd)) != nullptr;
}

bool MoveWindowHandle(HWnd hwnd, const Rect& r) {
    return MoveWindow(static_cast<HWND>(hwnd), r.left, r.top, r.right - r.left, r.bottom - r.top,
                      TRUE) != FALSE;
}

Rect WindowBounds(HWnd hwnd) {
    HWND h = static_cast<HWND>(hwnd);
    RECT r;
    if (!GetWindowRect(h, &r)) return Rect();
    if (GetWindowLongA(h, GWL_STYLE) & WS_CHILD) {
        HWND parent = GetParent(h);
        POINT pt[2] = {{r.left, r.top}, {r.right, r.bottom}};
        ScreenToClient(parent, &pt[0]);
        ScreenToClient(parent, &pt[1]);
        return Rect{pt[0].x, pt[0].y, pt[1].x, pt[1].y};
    }
    return Rect{r.left, r.top, r.right, r.bottom};
}

Rect ClientBounds(HWnd hwnd) {
    RECT r;
    if (!GetClientRect(static_cast<HWND>(hwnd), &r)) return Rect();
    return Rect{r.left, r.top, r.right, r.bottom};
}

bool SetControlIcon(HWnd control, SystemIcon icon) {
    LPCSTR name = nullptr;
    switch (icon) {
    case SystemIcon::kError: name = IDI_HAND; break;
    case SystemIcon::kQuestion: name = IDI_QUESTION; break;
    case SystemIcon::kWarning: name = IDI_EXCLAMATION; break;
    case SystemIcon::kInformation: name = IDI_ASTERISK; break;
    case SystemIcon::kNone: break;
    }
    HICON h = name ? LoadIconA(nullptr, name) : nullptr;
    SendMessageA(static_cast<HWND>(control), STM_SETICON, reinterpret_cast<WPARAM>(h), 0);
    return !name || h;
}

Rect MeasureText(HWnd window, const char* text, const Rect& bounds) {
    HWND h = static_cast<HWND>(window);
    HDC dc = GetDC(h);
    Rect out = bounds;
    if (!dc) return out;
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT r = {bounds.left, bounds.top, bounds.right, bounds.bottom};
    DrawTextA(dc, text ? text : "", -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return Rect{r.left, r.top, r.right, r.bottom};
}

void PaintText(HWnd window, const char* text, const Rect& bounds) {
    HDC dc = t_paintDc;
    HWND h = static_cast<HWND>(window);
    const bool own = !dc;
    if (own) dc = GetDC(h);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    const int mode = SetBkMode(dc, TRANSPARENT);
    RECT r = {bounds.left, bounds.top, bounds.right, bounds.bottom};
    DrawTextA(dc, text ? text : "", -1, &r, DT_WORDBREAK | DT_NOPREFIX);
    SetBkMode(dc, mode);
    SelectObject(dc, old);
    if (own) ReleaseDC(h, dc);
}

void Beep() {
    MessageBeep(MB_OK);
}

}  // namespace ui
