// What tests and scripted runs can see of the headless windows.
#pragma once

#include <cstdint>
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

}  // namespace headless
