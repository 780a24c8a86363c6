// Windows and messages in the Windows model: windows with a class and a
// handler, numbered messages, posting and sending, a message loop with idle
// processing. The Windows backend maps this to real windows; the headless
// backend keeps window objects and real message queues.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

using HWnd = void*;

enum : uint32_t {
    kWmNull = 0x0000,
    kWmCreate = 0x0001,
    kWmDestroy = 0x0002,
    kWmPaint = 0x000F,
    kWmClose = 0x0010,
    kWmQuit = 0x0012,
    kWmInitDialog = 0x0110,
    kWmCommand = 0x0111,
    kWmTimer = 0x0113,
    kWmUser = 0x0400,
};

// Window styles the engine asks for (Windows values).
enum : uint32_t {
    kWsOverlapped = 0x00000000,
    kWsPopup = 0x80000000,
    kWsVisible = 0x10000000,
    kWsCaption = 0x00C00000,
    kWsSysMenu = 0x00080000,
    kWsMinimizeBox = 0x00020000,
    kWsClipChildren = 0x02000000,
};

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Receives the messages of the windows created with it.
class IWindowHandler {
public:
    virtual ~IWindowHandler() = default;
    // handled arrives false; a handler that sets it answers the message,
    // otherwise the default processing does.
    virtual intptr_t OnMessage(HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                               bool& handled) = 0;
};

// Class styles (Windows values).
enum : uint32_t {
    kCsVRedraw = 0x0001,
    kCsHRedraw = 0x0002,
    kCsDblClks = 0x0008,
};
// Extended window styles.
enum : uint32_t {
    kWsExRtlReading = 0x00002000,
    kWsExClientEdge = 0x00000200,
    kWsExAppWindow = 0x00040000,
};
// System colour indexes for class backgrounds.
enum : int {
    kColorWindow = 5,
    kColorBtnFace = 15,
};

struct WindowClass {
    uint32_t style = 0;
    int iconResource = 0;            // 0: the system's default icon
    int backgroundColor = kColorBtnFace;  // system colour index
};

// 0, or 1410 when a class of that name is registered already.
uint32_t RegisterWindowClass(const char* className, const WindowClass& wc = WindowClass());
// A top-level frame window with a caption; null on failure (class not
// registered: 1411 via *error when given).
HWnd CreateFrameWindow(const char* className, const char* caption, uint32_t style,
                       uint32_t exStyle, const Rect& rect, IWindowHandler* handler,
                       uint32_t* error = nullptr);
bool DestroyWindowHandle(HWnd hwnd);
bool IsWindowHandle(HWnd hwnd);
std::string WindowText(HWnd hwnd);
// A top-level window of any process with that class name, or null.
HWnd FindTopLevelWindow(const char* className);

// Puts the window on top of the z-order and makes it the foreground window.
bool BringToFront(HWnd hwnd);
// Enables or disables mouse and keyboard input to the window; answers
// whether it was disabled before, as Windows does.
bool EnableWindowHandle(HWnd hwnd, bool enable);

// Message box styles and answers (Windows values).
enum : uint32_t {
    kMbOk = 0x00000000,
    kMbOkCancel = 0x00000001,
    kMbYesNo = 0x00000004,
    kMbIconError = 0x00000010,
    kMbIconQuestion = 0x00000020,
    kMbIconWarning = 0x00000030,
    kMbIconInformation = 0x00000040,
    kMbRtlReading = 0x00100000,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };
// A system message box; answers the button pressed.
int ShowMessageBox(HWnd owner, const char* text, const char* caption, uint32_t style);

bool Post(HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam);
intptr_t Send(HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam);
void PostQuit(int exitCode);

// --- dialogs
// Commands a dialog gets from the keyboard and its close box (IDOK, IDCANCEL).
enum : int { kDialogEnter = 1, kDialogEscape = 2 };

enum class ControlKind { kPushButton, kIcon };
enum class SystemIcon { kNone, kError, kQuestion, kWarning, kInformation };

struct DialogControl {
    ControlKind kind = ControlKind::kPushButton;
    int id = 0;
    std::string text;
    Rect rect;  // pixels in the dialog's client area
};

// A dialog laid out in pixels; the window appears centred on its owner
// (the screen without one).
struct DialogTemplate {
    std::string caption;
    int width = 0, height = 0;  // the whole window
    uint32_t exStyle = 0;
    std::vector<DialogControl> controls;
};

// Runs the dialog modally: the owner is disabled until it ends. The handler
// gets kWmInitDialog, kWmCommand (wParam: id in the low word, notification
// in the high word), kWmPaint, kWmClose and user messages. Answers the
// EndModal result, or -1 when the dialog could not be made.
intptr_t RunModalDialog(HWnd owner, const DialogTemplate& dialog, IWindowHandler* handler);
bool EndModal(HWnd dialog, intptr_t result);
HWnd DialogControlHandle(HWnd dialog, int id);

bool SetWindowTextHandle(HWnd hwnd, const char* text);
bool ShowWindowHandle(HWnd hwnd, bool show);
// Whether the window itself is shown; its dialog may not be yet.
bool IsWindowVisibleHandle(HWnd hwnd);
bool IsWindowEnabledHandle(HWnd hwnd);
// Makes the window the active one of its thread.
bool ActivateWindow(HWnd hwnd);
// Top-level windows: screen coordinates; controls: their dialog's client area.
bool MoveWindowHandle(HWnd hwnd, const Rect& rect);
Rect WindowBounds(HWnd hwnd);
// The client area, at 0, 0.
Rect ClientBounds(HWnd hwnd);
bool SetControlIcon(HWnd control, SystemIcon icon);

// The rectangle that text word-wrapped in the default GUI font needs when it
// starts at bounds' top-left and may be as wide as bounds (a word that does
// not fit widens it).
Rect MeasureText(HWnd window, const char* text, const Rect& bounds);
// While handling kWmPaint: the text, transparent, word-wrapped, in the
// default GUI font.
void PaintText(HWnd window, const char* text, const Rect& bounds);
// The system's default beep.
void Beep();

// Called when the queue is empty, with the count of calls since the last
// message; answer true to be called again before waiting.
using IdleFn = bool (*)(void* context, long count);
// Runs until WM_QUIT; answers its exit code.
int RunMessageLoop(IdleFn idle, void* context);

}  // namespace ui
