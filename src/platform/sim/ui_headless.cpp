// ui.h without a screen: window objects with the state a real window has, a
// message queue per thread, and top-level windows known to the simulated
// machine so that another process can find them and post to them.
#include <chrono>
#include <condition_variable>
#include <deque>
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
};

struct Item {
    Window* hwnd = nullptr;
    uint32_t msg = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
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
    intptr_t r = w->handler->OnMessage(w, msg, wParam, lParam, handled);
    if (!handled && msg == kWmClose) DestroyWindowHandle(w);
    return handled ? r : 0;
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
                    Item{w, pm.msg, static_cast<uintptr_t>(pm.wParam), static_cast<intptr_t>(pm.lParam)});
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
        for (auto it = q.items.begin(); it != q.items.end();)
            it = it->hwnd == w ? q.items.erase(it) : it + 1;
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
    g_queues[w->thread].items.push_back(Item{w, msg, wParam, lParam});
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
    return Deliver(w, msg, wParam, lParam);
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
            if (!q.items.empty()) {
                item = q.items.front();
                q.items.pop_front();
                have = true;
            } else if (q.quit) {
                q.quit = false;
                return q.quitCode;
            }
        }
        if (have) {
            count = 0;
            idling = true;
            bool live;
            {
                std::lock_guard<std::mutex> g(g_lock);
                live = Live(item.hwnd) != nullptr;
            }
            if (live) Deliver(item.hwnd, item.msg, item.wParam, item.lParam);
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

}  // namespace headless
