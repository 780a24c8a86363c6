#include "wizard/my_message_box.h"

#include <algorithm>

#include "app/global_var.h"
#include "app/installer_app.h"
#include "app/messages.h"

namespace {

// The template's own sizes, in pixels; the layout sets them again.
constexpr int kTemplateWidth = 340, kTemplateHeight = 130;
constexpr int kButtonWidth = 75, kButtonHeight = 23;

ui::DialogTemplate MakeTemplate(const std::string& caption, bool rightToLeft) {
    ui::DialogTemplate t;
    t.caption = caption.empty() ? "Dialog" : caption;
    t.width = kTemplateWidth;
    t.height = kTemplateHeight;
    t.exStyle = rightToLeft ? static_cast<uint32_t>(ui::kWsExRtlReading) : 0u;
    t.controls = {
        {ui::ControlKind::kPushButton, CMyMessageBox::kIdFirst, "OK", {80, 70, 80 + kButtonWidth, 70 + kButtonHeight}},
        {ui::ControlKind::kPushButton, CMyMessageBox::kIdSecond, "Cancel", {170, 70, 170 + kButtonWidth, 70 + kButtonHeight}},
        {ui::ControlKind::kIcon, CMyMessageBox::kIdIcon, "", {20, 14, 52, 46}},
    };
    return t;
}

bool RightAlign() {
    CGlobalVar* g = GetGlobalVar();
    return g && g->options.rightAlign;
}

// A button's caption from the string file, else the template's.
void CaptionFromStrings(ui::HWnd button, const char* key) {
    CInstProfile* strings = GetStringProfile();
    std::string text;
    if (button && strings && strings->GetString("MESSAGES", key, text))
        ui::SetWindowTextHandle(button, text.c_str());
}

int Height(const ui::Rect& r) { return r.bottom - r.top; }
int Width(const ui::Rect& r) { return r.right - r.left; }

}  // namespace

CMyMessageBox::CMyMessageBox(ui::HWnd owner) : owner_(owner) {
    if (CProgramInfo* info = GetProgramInfo()) caption_ = info->programName;
}

bool CMyMessageBox::Setup(const std::string& text, const char* caption, uint32_t type) {
    if (caption) caption_ = caption;
    if (text.empty()) return false;
    text_ = text;
    switch (type & 0xF0) {
    case 0x10: icon_ = ui::SystemIcon::kError; break;
    case 0x20: icon_ = ui::SystemIcon::kQuestion; break;
    case 0x30: icon_ = ui::SystemIcon::kWarning; break;
    default: icon_ = ui::SystemIcon::kInformation; break;
    }
    switch (type & 0x0F) {
    case 0: buttonSet_ = kOk; break;
    case 4: buttonSet_ = kYesNo; break;
    case 6: buttonSet_ = kResumeExit; break;
    default: buttonSet_ = kOkCancel; break;
    }
    return true;
}

int CMyMessageBox::Show() {
    CInstallerApp* app = GetInstallerApp();
    if (app && app->silent()) {
        // Nobody could press a button: the text goes to the log.
        app->log().Log("Message (%s) : %s", caption_.c_str(), text_.c_str());
        return 1;
    }
    locked_ = false;
    ui::Beep();
    const ui::DialogTemplate t = MakeTemplate(caption_, RightAlign());
    return static_cast<int>(ui::RunModalDialog(owner_, t, this));
}

void CMyMessageBox::Layout(ui::HWnd dlg) {
    ui::SetWindowTextHandle(dlg, caption_.c_str());
    ui::HWnd first = ui::DialogControlHandle(dlg, kIdFirst);
    ui::HWnd second = ui::DialogControlHandle(dlg, kIdSecond);
    ui::HWnd icon = ui::DialogControlHandle(dlg, kIdIcon);
    if (icon) ui::SetControlIcon(icon, icon_);
    switch (buttonSet_) {
    case kOk:
        if (second) ui::ShowWindowHandle(second, false);
        CaptionFromStrings(first, "BUTTON.OK");
        break;
    case kYesNo:
        CaptionFromStrings(first, "BUTTON.YES");
        CaptionFromStrings(second, "BUTTON.NO");
        break;
    case kResumeExit:
        CaptionFromStrings(first, "BUTTON.RESUME");
        CaptionFromStrings(second, "BUTTON.EXIT");
        break;
    default:
        CaptionFromStrings(first, "BUTTON.OK");
        CaptionFromStrings(second, "BUTTON.CANCEL");
        break;
    }

    // The window grows with its text; the frame's share comes from the
    // template's window and client sizes.
    textRect_ = ui::MeasureText(dlg, text_.c_str(), ui::Rect{66, 14, 816, 74});
    const ui::Rect window = ui::WindowBounds(dlg);
    const ui::Rect client = ui::ClientBounds(dlg);
    const int frameWidth = Width(window) - Width(client);
    const int frameHeight = Height(window) - Height(client);
    const ui::Rect button = first ? ui::WindowBounds(first) : ui::Rect{0, 0, kButtonWidth, kButtonHeight};
    const int buttonWidth = Width(button), buttonHeight = Height(button);
    const int width = std::max(300, frameWidth / 2 + textRect_.right + 10);
    const int height = std::max(100, textRect_.bottom + frameHeight + buttonHeight + 20);
    // Kept centred where it appeared.
    ui::Rect placed;
    placed.left = window.left + (Width(window) - width) / 2;
    placed.top = window.top + (Height(window) - height) / 2;
    placed.right = placed.left + width;
    placed.bottom = placed.top + height;
    ui::MoveWindowHandle(dlg, placed);

    const int top = ui::ClientBounds(dlg).bottom - 10 - buttonHeight;
    if (buttonSet_ == kOk) {
        const int left = (width - buttonWidth) / 2;
        if (first) ui::MoveWindowHandle(first, ui::Rect{left, top, left + buttonWidth, top + buttonHeight});
    } else {
        const int left = (width - (2 * buttonWidth + 10)) / 2;
        if (first) ui::MoveWindowHandle(first, ui::Rect{left, top, left + buttonWidth, top + buttonHeight});
        const int right = left + buttonWidth + 10;
        if (second)
            ui::MoveWindowHandle(second, ui::Rect{right, top, right + buttonWidth, top + buttonHeight});
    }
    if (icon && RightAlign()) {
        const ui::Rect r = ui::WindowBounds(icon);
        ui::MoveWindowHandle(icon, ui::Rect{14, 14, 14 + Width(r), 14 + Height(r)});
    }
}

void CMyMessageBox::Finish(ui::HWnd dlg, int result) {
    if (owner_) ui::ActivateWindow(owner_);
    ui::EndModal(dlg, result);
}

intptr_t CMyMessageBox::OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t,
                                  bool& handled) {
    switch (msg) {
    case ui::kWmInitDialog:
        Layout(hwnd);
        handled = true;
        return 1;
    case ui::kWmPaint:
        ui::PaintText(hwnd, text_.c_str(), textRect_);
        handled = true;
        return 0;
    case ui::kWmClose:
        // While locked the box cannot be closed.
        handled = locked_;
        return 0;
    case ui::kWmCommand: {
        handled = true;
        if (locked_) return 0;
        const int id = static_cast<int>(wParam & 0xFFFF);
        if (id == kIdFirst || id == ui::kDialogEnter) Finish(hwnd, 1);
        else if (id == kIdSecond || id == ui::kDialogEscape) Finish(hwnd, 2);
        return 0;
    }
    case WM_USER_LOCK_MSGBOX: {
        locked_ = wParam == 0;
        for (int id : {kIdFirst, kIdSecond})
            if (ui::HWnd b = ui::DialogControlHandle(hwnd, id)) ui::EnableWindowHandle(b, !locked_);
        handled = true;
        return 0;
    }
    default:
        return 0;
    }
}
