// What tests and scripted runs can see of the headless windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace headless {

struct ShownBox {
    ui::HWnd owner;
    std::string text;
    std::string caption;
    uint32_t style;
};

// The message boxes shown since the last call, oldest first.
std::vector<ShownBox> TakeShownBoxes();
// The button the next boxes answer with; 0: their first button.
void SetMessageBoxAnswer(int answer);
ui::HWnd ForegroundWindow();

// --- dialogs
struct ControlView {
    int id = 0;
    ui::ControlKind kind = ui::ControlKind::kPushButton;
    std::string text;
    ui::Rect rect;
    bool visible = true;
    bool enabled = true;
    ui::SystemIcon icon = ui::SystemIcon::kNone;
};
struct DialogView {
    ui::HWnd hwnd = nullptr;  // null: no such dialog
    ui::HWnd owner = nullptr;
    std::string caption;
    std::string text;  // what its last paint drew, a line per text
    uint32_t exStyle = 0;
    ui::Rect rect;
    bool enabled = true;
    std::vector<ControlView> controls;  // in the template's order
};

// The modal dialogs running now, innermost last.
std::vector<ui::HWnd> ModalDialogs();
DialogView DescribeDialog(ui::HWnd dialog);
// Presses a button as a user would: false when it is hidden, disabled or
// not there. Any thread may press.
bool PressButton(ui::HWnd dialog, int id);
// The close box.
void CloseDialog(ui::HWnd dialog);
// Called on the dialog's thread whenever a modal dialog waits for input.
// Without a driver the first button a user could press is pressed.
using DialogDriver = std::function<void(ui::HWnd dialog)>;
void SetDialogDriver(DialogDriver driver);

}  // namespace headless
