// The installer's own message box: button texts from the language's string
// file, sized to its text, and lockable while a page waits for something.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui.h"

class CMyMessageBox : public ui::IWindowHandler {
public:
    // Its dialog and controls.
    enum : int { kTemplate = 133, kIdFirst = 1079, kIdSecond = 1080, kIdIcon = 1006 };
    enum ButtonSet { kOk = 0, kYesNo = 4, kResumeExit = 6, kOkCancel = 1 };

    explicit CMyMessageBox(ui::HWnd owner = nullptr);

    // Type bits 0xF0 choose the icon (0x10 error, 0x20 question, 0x30
    // warning, else information), bits 0x0F the buttons (0 OK, 4 Yes/No,
    // 6 Resume/Exit, else OK/Cancel). False for an empty text, which sets
    // only the caption.
    bool Setup(const std::string& text, const char* caption, uint32_t type);
    // 1 for the first button (OK, Yes, Resume), 2 for the second; a silent
    // run logs the text and answers 1.
    int Show();

    const std::string& caption() const { return caption_; }
    const std::string& text() const { return text_; }
    ui::SystemIcon icon() const { return icon_; }
    int buttonSet() const { return buttonSet_; }
    bool locked() const { return locked_; }
    const ui::Rect& textRect() const { return textRect_; }

    intptr_t OnMessage(ui::HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                       bool& handled) override;

private:
    void Layout(ui::HWnd dlg);
    void Finish(ui::HWnd dlg, int result);

    ui::HWnd owner_;
    std::string caption_;
    std::string text_;
    // A box without a text has nothing to ask: OK and the information icon.
    ui::SystemIcon icon_ = ui::SystemIcon::kInformation;
    int buttonSet_ = kOk;
    bool locked_ = false;
    ui::Rect textRect_{66, 14, 816, 74};
};
