// ui.h without a screen: window objects with the state a real window has, a
// message queue per thread, and top-level windows known to the simulated
// machine so that another process can find them and post to them.
#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "platform/sim/headless.h"
#include "platform/sim/machine.h"
#include "platform/ui.h"

namespace ui {
namespace {

struct Window {
    std::string className;
    std::string text;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    Rect rect;
    IWindowHandler* handler = nullptr;
    std::thread::id thread;
    int64_t storeId = 0;     // its row in the machine's window table
    bool foreign = false;    // a window of another process, known by storeId
    bool destroyed = false;
    bool disabled = false;
    bool hidden = false;
    // Dialogs and their controls.
    bool dialog = false;
    bool ended = false;
    intptr_t result = 0;
    Window* owner = nullptr;
    Window* parent = nullptr;  // a control's dialog
    int id = 0;
    ControlKind kind = ControlKind::kPushButton;
    SystemIcon icon = SystemIcon::kNone;
    std::vector<std::string> painted;  // texts of the last paint
    int order = 0;                     // a control's place in its template
};

// A sent message waits for the window's thread to answer it.
struct Reply {
    bool done = false;
    intptr_t result = 0;
};

struct Item {
    Window* hwnd = nullptr;
    uint32_t msg = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::shared_ptr<Reply> reply;
};

struct Queue {
    std::deque<Item> items;
    bool quit = false;
    int quitCode = 0;
};

std::mutex g_lock;
Window* g_foreground = nullptr;
std::vector<headless::ShownBox> g_boxes;
int g_boxAnswer = 0;
headless::DialogDriver g_driver;
std::vector<Window*> g_modal;  // running modal dialogs, innermost last

// The screen and the font of the headless machine: 1024 x 768, dialogs
// with a fixed frame of 3 and a caption of 19, the default GUI font 6
// pixels a byte and 13 a line.
constexpr int kScreenWidth = 1024, kScreenHeight = 768;
constexpr int kFrame = 3, kCaption = 19;
constexpr int kCharWidth = 6, kLineHeight = 13;
std::condition_variable g_wake;
std::map<std::thread::id, Queue> g_queues;
std::set<std::string> g_classes;             // folded names
std::set<Window*> g_windows;                 // live local windows
// Proxies of other processes' windows, kept for the process's life as
// handles stay valid on Windows until the window is gone.
std::map<int64_t, std::unique_ptr<Window>> g_foreign;

std::string Fold(const char* s) {
    std::string f = s ? s : "";
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return f;
}

sim::Machine* CurrentMachine() {
    sim::Process* p = sim::CurrentProcess();
    return p ? p->machine : nullptr;
}

Window* Live(HWnd hwnd) {
    auto* w = static_cast<Window*>(hwnd);
    return w && g_windows.count(w) && !w->destroyed ? w : nullptr;
}

intptr_t Deliver(Window* w, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (!w->handler) return 0;
    bool handled = false;
    if (msg == kWmPaint) {
        std::lock_guard<std::mutex> g(g_lock);
        w->painted.clear();
    }
    intptr_t r = w->handler->OnMessage(w, msg, wParam, lParam, handled);
    if (!handled && msg == kWmClose) {
        // A dialog's close box is its Escape command.
        if (w->dialog) Deliver(w, kWmCommand, kDialogEscape, 0);
        else DestroyWindowHandle(w);
    }
    return handled ? r : 0;
}

void Answer(const Item& item, intptr_t result) {
    if (!item.reply) return;
    std::lock_guard<std::mutex> g(g_lock);
    item.reply->result = result;
    item.reply->done = true;
    g_wake.notify_all();
}

void Dispatch(const Item& item) {
    bool live;
    {
        std::lock_guard<std::mutex> g(g_lock);
        live = Live(item.hwnd) != nullptr;
    }
    intptr_t r = live ? Deliver(item.hwnd, item.msg, item.wParam, item.lParam) : 0;
    Answer(item, r);
}

// Takes the next message of this thread's queue; sentOnly: only one that
// another thread sent and waits for.
bool TakeItem(Queue& q, Item& item, bool sentOnly) {
    for (auto it = q.items.begin(); it != q.items.end(); ++it) {
        if (sentOnly && !it->reply) continue;
        item = *it;
        q.items.erase(it);
        return true;
    }
    return false;
}

// Messages other processes posted to our windows.
void PullForeign() {
    sim::Machine* m = CurrentMachine();
    if (!m) return;
    bool any;
    {
        std::lock_guard<std::mutex> g(g_lock);
        any = false;
        for (Window* w : g_windows)
            if (w->storeId) any = true;
    }
    if (!any) return;
    for (const auto& pm : m->TakePostedMessages()) {
        std::lock_guard<std::mutex> g(g_lock);
        for (Window* w : g_windows) {
            if (w->storeId == pm.window && !w->destroyed) {
                g_queues[w->thread].items.push_back(
                    Item{w, pm.msg, static_cast<uintptr_t>(pm.wParam), static_cast<intptr_t>(pm.lParam), nullptr});
                g_wake.notify_all();
            }
        }
    }
}

}  // namespace

uint32_t RegisterWindowClass(const char* className, const WindowClass&) {
    if (!className || !*className) return 87;
    std::lock_guard<std::mutex> g(g_lock);
    if (!g_classes.insert(Fold(className)).second) return 1410;
    return 0;
}

HWnd CreateFrameWindow(const char* className, const char* caption, uint32_t style,
                       uint32_t exStyle, const Rect& rect, IWindowHandler* handler,
                       uint32_t* error) {
    if (error) *error = 0;
    auto w = std::make_unique<Window>();
    {
        std::lock_guard<std::mutex> g(g_lock);
        if (!className || !g_classes.count(Fold(className))) {
            if (error) *error = 1411;
            return nullptr;
        }
        w->className = className;
        w->text = caption ? caption : "";
        w->style = style;
        w->exStyle = exStyle;
        w->rect = rect;
        w->handler = handler;
        w->thread = std::this_thread::get_id();
        g_windows.insert(w.get());
    }
    Window* raw = w.release();
    if (Deliver(raw, kWmCreate, 0, 0) == -1) {
        std::lock_guard<std::mutex> g(g_lock);
        g_windows.erase(raw);
        delete raw;
        if (error) *error = 1400;  // invalid window handle: creation refused
        return nullptr;
    }
    if (sim::Machine* m = CurrentMachine()) raw->storeId = m->RegisterWindow(raw->className, raw->text);
    return raw;
}

bool BringToFront(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w || w->foreign) return false;
    g_foreground = w;
    return true;
}

bool EnableWindowHandle(HWnd hwnd, bool enable) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w || w->foreign) return false;
    const bool wasDisabled = w->disabled;
    w->disabled = !enable;
    return wasDisabled;
}

int ShowMessageBox(HWnd owner, const char* text, const char* caption, uint32_t style) {
    headless::ShownBox box{owner, text ? text : "", caption ? caption : "", style};
    int answer;
    {
        std::lock_guard<std::mutex> g(g_lock);
        g_boxes.push_back(box);
        answer = g_boxAnswer;
    }
    if (sim::Machine* m = CurrentMachine()) m->Journal("message box: " + box.caption + ": " + box.text);
    if (answer) return answer;
    // Nobody to press a button: the box's first button answers.
    switch (style & 0xF) {
    case kMbYesNo: return kIdYes;
    default: return kIdOk;
    }
}

bool DestroyWindowHandle(HWnd hwnd) {
    Window* w;
    {
        std::lock_guard<std::mutex> g(g_lock);
        w = Live(hwnd);
        if (!w || w->foreign) return false;
        w->destroyed = true;
    }
    if (w->handler) {
        bool handled = false;
        w->handler->OnMessage(w, kWmDestroy, 0, 0, handled);
    }
    if (w->storeId)
        if (sim::Machine* m = CurrentMachine()) m->UnregisterWindow(w->storeId);
    std::lock_guard<std::mutex> g(g_lock);
    g_windows.erase(w);
    if (g_foreground == w) g_foreground = nullptr;
    for (auto& [tid, q] : g_queues) {
        for (auto it = q.items.begin(); it != q.items.end();) {
            if (it->hwnd != w) {
                ++it;
                continue;
            }
            if (it->reply) it->reply->done = true;
            it = q.items.erase(it);
        }
    }
    g_wake.notify_all();
    // A dialog's controls go with it.
    for (auto it = g_windows.begin(); it != g_windows.end();) {
        if ((*it)->parent == w) {
            delete *it;
            it = g_windows.erase(it);
        } else {
            ++it;
        }
    }
    delete w;
    return true;
}

bool IsWindowHandle(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w) return false;
    if (!w->foreign) return true;
    sim::Machine* m = CurrentMachine();
    return m && m->WindowAlive(w->storeId);
}

std::string WindowText(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    return w ? w->text : std::string();
}

HWnd FindTopLevelWindow(const char* className) {
    if (!className) return nullptr;
    std::lock_guard<std::mutex> g(g_lock);
    std::string fold = Fold(className);
    for (Window* w : g_windows)
        if (!w->foreign && Fold(w->className.c_str()) == fold) return w;
    sim::Machine* m = CurrentMachine();
    if (!m) return nullptr;
    int64_t id = m->FindWindow(className, nullptr);
    if (!id) return nullptr;
    for (Window* w : g_windows)
        if (w->storeId == id) return w;
    auto proxy = std::make_unique<Window>();
    proxy->className = className;
    proxy->foreign = true;
    proxy->storeId = id;
    Window* raw = proxy.get();
    g_windows.insert(raw);
    g_foreign[id] = std::move(proxy);
    return raw;
}

bool Post(HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    std::unique_lock<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w) return false;
    if (w->foreign) {
        int64_t id = w->storeId;
        g.unlock();
        sim::Machine* m = CurrentMachine();
        return m && m->PostToWindow(id, msg, wParam, lParam);
    }
    g_queues[w->thread].items.push_back(Item{w, msg, wParam, lParam, nullptr});
    g_wake.notify_all();
    return true;
}

intptr_t Send(HWnd hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    Window* w;
    {
        std::lock_guard<std::mutex> g(g_lock);
        w = Live(hwnd);
        if (!w) return 0;
        if (w->foreign) {
            // Another process: the message is delivered, its answer is not awaited.
            int64_t id = w->storeId;
            sim::Machine* m = CurrentMachine();
            if (m) m->PostToWindow(id, msg, wParam, lParam);
            return 0;
        }
    }
    const std::thread::id self = std::this_thread::get_id();
    if (w->thread == self) return Deliver(w, msg, wParam, lParam);
    // Another thread's window: its thread answers; meanwhile this thread
    // answers what is sent to it, so that two threads sending to each
    // other do not wait for ever.
    auto reply = std::make_shared<Reply>();
    std::unique_lock<std::mutex> g(g_lock);
    g_queues[w->thread].items.push_back(Item{w, msg, wParam, lParam, reply});
    g_wake.notify_all();
    while (!reply->done) {
        Item mine;
        if (TakeItem(g_queues[self], mine, true)) {
            g.unlock();
            Dispatch(mine);
            g.lock();
            continue;
        }
        g_wake.wait_for(g, std::chrono::milliseconds(50));
    }
    return reply->result;
}

void PostQuit(int exitCode) {
    std::lock_guard<std::mutex> g(g_lock);
    Queue& q = g_queues[std::this_thread::get_id()];
    q.quit = true;
    q.quitCode = exitCode;
    g_wake.notify_all();
}

int RunMessageLoop(IdleFn idle, void* context) {
    const std::thread::id self = std::this_thread::get_id();
    long count = 0;
    bool idling = true;  // idle again only after a message
    for (;;) {
        Item item;
        bool have = false;
        {
            std::lock_guard<std::mutex> g(g_lock);
            Queue& q = g_queues[self];
            if (TakeItem(q, item, false)) {
                have = true;
            } else if (q.quit) {
                q.quit = false;
                return q.quitCode;
            }
        }
        if (have) {
            count = 0;
            idling = true;
            Dispatch(item);
            continue;
        }
        if (idle && idling) {
            if (idle(context, count++)) continue;
            idling = false;
        }
        PullForeign();
        std::unique_lock<std::mutex> g(g_lock);
        Queue& q = g_queues[self];
        if (q.items.empty() && !q.quit)
            g_wake.wait_for(g, std::chrono::milliseconds(50));
    }
}


// --- dialogs

namespace {

Rect Centred(Window* owner, int width, int height) {
    Rect area{0, 0, kScreenWidth, kScreenHeight};
    if (owner && !owner->foreign) area = owner->rect;
    Rect r;
    r.left = area.left + (area.right - area.left - width) / 2;
    r.top = area.top + (area.bottom - area.top - height) / 2;
    r.right = r.left + width;
    r.bottom = r.top + height;
    return r;
}

// The first button a user could press; null when all are locked.
Window* FirstPressable(Window* dialog) {
    std::lock_guard<std::mutex> g(g_lock);
    if (dialog->disabled) return nullptr;
    Window* best = nullptr;
    for (Window* c : g_windows)
        if (c->parent == dialog && c->kind == ControlKind::kPushButton && !c->hidden &&
            !c->disabled && !c->destroyed && (!best || c->order < best->order))
            best = c;
    return best;
}

void Paint(Window* w) {
    Deliver(w, kWmPaint, 0, 0);
}

}  // namespace

intptr_t RunModalDialog(HWnd owner, const DialogTemplate& t, IWindowHandler* handler) {
    auto d = std::make_unique<Window>();
    Window* ownerWindow = nullptr;
    {
        std::lock_guard<std::mutex> g(g_lock);
        ownerWindow = Live(owner);
        d->className = "#32770";
        d->text = t.caption;
        d->style = kWsPopup | kWsCaption | kWsSysMenu;
        d->exStyle = t.exStyle;
        d->rect = Centred(ownerWindow, t.width, t.height);
        d->handler = handler;
        d->thread = std::this_thread::get_id();
        d->dialog = true;
        d->owner = ownerWindow;
        g_windows.insert(d.get());
        int order = 0;
        for (const DialogControl& c : t.controls) {
            auto* w = new Window;
            w->className = c.kind == ControlKind::kPushButton ? "Button" : "Static";
            w->text = c.text;
            w->rect = c.rect;
            w->thread = d->thread;
            w->parent = d.get();
            w->id = c.id;
            w->kind = c.kind;
            w->order = ++order;
            g_windows.insert(w);
        }
    }
    Window* raw = d.release();
    // The owner is disabled for the dialog's life, as Windows does.
    const bool ownerWasEnabled = ownerWindow && !ownerWindow->foreign && !ownerWindow->disabled;
    if (ownerWasEnabled) EnableWindowHandle(ownerWindow, false);
    {
        std::lock_guard<std::mutex> g(g_lock);
        g_modal.push_back(raw);
        g_foreground = raw;
    }
    Deliver(raw, kWmInitDialog, 0, 0);
    if (!raw->ended) Paint(raw);
    const std::thread::id self = std::this_thread::get_id();
    while (!raw->ended) {
        Item item;
        bool have;
        bool quit;
        {
            std::lock_guard<std::mutex> g(g_lock);
            Queue& q = g_queues[self];
            have = TakeItem(q, item, false);
            quit = q.quit;  // stays set for the loop outside
        }
        if (have) {
            Dispatch(item);
            continue;
        }
        if (quit) break;
        headless::DialogDriver driver;
        {
            std::lock_guard<std::mutex> g(g_lock);
            driver = g_driver;
        }
        if (driver) {
            driver(raw);
        } else if (Window* button = FirstPressable(raw)) {
            Deliver(raw, kWmCommand, static_cast<uintptr_t>(button->id), 0);
        }
        if (raw->ended) break;
        PullForeign();
        std::unique_lock<std::mutex> g(g_lock);
        Queue& q = g_queues[self];
        if (q.items.empty() && !q.quit) g_wake.wait_for(g, std::chrono::milliseconds(50));
    }
    const intptr_t result = raw->ended ? raw->result : 0;
    // The owner is enabled before the dialog goes, so that it becomes the
    // active window again.
    if (ownerWasEnabled) EnableWindowHandle(ownerWindow, true);
    {
        std::lock_guard<std::mutex> g(g_lock);
        g_modal.erase(std::remove(g_modal.begin(), g_modal.end(), raw), g_modal.end());
        if (ownerWindow && Live(ownerWindow)) g_foreground = ownerWindow;
    }
    DestroyWindowHandle(raw);
    return result;
}

bool EndModal(HWnd dialog, intptr_t result) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(dialog);
    if (!w || !w->dialog) return false;
    w->ended = true;
    w->result = result;
    g_wake.notify_all();
    return true;
}

HWnd DialogControlHandle(HWnd dialog, int id) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* d = Live(dialog);
    if (!d) return nullptr;
    for (Window* c : g_windows)
        if (c->parent == d && c->id == id && !c->destroyed) return c;
    return nullptr;
}

bool SetWindowTextHandle(HWnd hwnd, const char* text) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w || w->foreign) return false;
    w->text = text ? text : "";
    return true;
}

bool ShowWindowHandle(HWnd hwnd, bool show) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w || w->foreign) return false;
    const bool wasVisible = !w->hidden;
    w->hidden = !show;
    return wasVisible;
}

bool IsWindowVisibleHandle(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    return w && !w->hidden;
}

bool IsWindowEnabledHandle(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    return w && !w->disabled;
}

bool ActivateWindow(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w || w->foreign || w->parent) return false;
    g_foreground = w;
    return true;
}

bool MoveWindowHandle(HWnd hwnd, const Rect& rect) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w || w->foreign) return false;
    w->rect = rect;
    return true;
}

Rect WindowBounds(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    return w ? w->rect : Rect();
}

Rect ClientBounds(HWnd hwnd) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(hwnd);
    if (!w) return Rect();
    Rect r{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    if (!w->parent && (w->style & kWsCaption) == kWsCaption) {
        r.right = std::max(0, r.right - 2 * kFrame);
        r.bottom = std::max(0, r.bottom - 2 * kFrame - kCaption);
    }
    return r;
}

bool SetControlIcon(HWnd control, SystemIcon icon) {
    std::lock_guard<std::mutex> g(g_lock);
    Window* w = Live(control);
    if (!w || w->kind != ControlKind::kIcon || !w->parent) return false;
    w->icon = icon;
    return true;
}

Rect MeasureText(HWnd, const char* text, const Rect& bounds) {
    // Words break at blanks and at line ends; a word wider than the
    // rectangle keeps a line of its own.
    const std::string s = text ? text : "";
    const int width = bounds.right - bounds.left;
    int lines = 0, widest = 0, line = 0;
    bool open = false;
    size_t i = 0;
    while (i <= s.size()) {
        if (i == s.size() || s[i] == '\n') {
            if (open || i < s.size()) ++lines;
            widest = std::max(widest, line);
            line = 0;
            open = false;
            ++i;
            continue;
        }
        if (s[i] == '\r') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < s.size() && s[end] != ' ' && s[end] != '\n' && s[end] != '\r') ++end;
        const int word = static_cast<int>(end - i) * kCharWidth;
        size_t blanks = end;
        while (blanks < s.size() && s[blanks] == ' ') ++blanks;
        if (open && line + word > width) {
            ++lines;
            widest = std::max(widest, line);
            line = 0;
        }
        // Blanks after a word count only while the line goes on.
        line += word;
        open = true;
        if (blanks > end) {
            const int space = static_cast<int>(blanks - end) * kCharWidth;
            if (line + space <= width) line += space;
        }
        i = blanks;
    }
    Rect r = bounds;
    r.right = bounds.left + widest;
    r.bottom = bounds.top + lines * kLineHeight;
    return r;
}

void PaintText(HWnd window, const char* text, const Rect&) {
    std::lock_guard<std::mutex> g(g_lock);
    if (Window* w = Live(window)) w->painted.push_back(text ? text : "");
}

void Beep() {
    if (sim::Machine* m = CurrentMachine()) m->Journal("beep");
}

}  // namespace ui

namespace headless {

std::vector<ShownBox> TakeShownBoxes() {
    std::lock_guard<std::mutex> g(ui::g_lock);
    std::vector<ShownBox> out;
    out.swap(ui::g_boxes);
    return out;
}

void SetMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> g(ui::g_lock);
    ui::g_boxAnswer = answer;
}

ui::HWnd ForegroundWindow() {
    std::lock_guard<std::mutex> g(ui::g_lock);
    return ui::g_foreground;
}


std::vector<ui::HWnd> ModalDialogs() {
    std::lock_guard<std::mutex> g(ui::g_lock);
    return std::vector<ui::HWnd>(ui::g_modal.begin(), ui::g_modal.end());
}

DialogView DescribeDialog(ui::HWnd dialog) {
    DialogView view;
    std::lock_guard<std::mutex> g(ui::g_lock);
    ui::Window* d = ui::Live(dialog);
    if (!d) return view;
    view.hwnd = d;
    view.owner = d->owner;
    view.caption = d->text;
    view.exStyle = d->exStyle;
    view.rect = d->rect;
    view.enabled = !d->disabled;
    for (const std::string& t : d->painted) {
        if (!view.text.empty()) view.text += "\n";
        view.text += t;
    }
    std::vector<ui::Window*> controls;
    for (ui::Window* c : ui::g_windows)
        if (c->parent == d && !c->destroyed) controls.push_back(c);
    std::sort(controls.begin(), controls.end(),
              [](ui::Window* a, ui::Window* b) { return a->order < b->order; });
    for (ui::Window* c : controls) {
        ControlView cv;
        cv.id = c->id;
        cv.kind = c->kind;
        cv.text = c->text;
        cv.rect = c->rect;
        cv.visible = !c->hidden;
        cv.enabled = !c->disabled;
        cv.icon = c->icon;
        view.controls.push_back(cv);
    }
    return view;
}

bool PressButton(ui::HWnd dialog, int id) {
    ui::HWnd control = ui::DialogControlHandle(dialog, id);
    if (!control) return false;
    {
        std::lock_guard<std::mutex> g(ui::g_lock);
        ui::Window* c = ui::Live(control);
        ui::Window* d = ui::Live(dialog);
        // Only what a user could press.
        if (!c || !d || c->hidden || c->disabled || d->disabled || c->kind != ui::ControlKind::kPushButton)
            return false;
    }
    ui::Send(dialog, ui::kWmCommand, static_cast<uintptr_t>(id), reinterpret_cast<intptr_t>(control));
    return true;
}

void CloseDialog(ui::HWnd dialog) {
    ui::Send(dialog, ui::kWmClose, 0, 0);
}

void SetDialogDriver(DialogDriver driver) {
    std::lock_guard<std::mutex> g(ui::g_lock);
    ui::g_driver = std::move(driver);
}

}  // namespace headless
