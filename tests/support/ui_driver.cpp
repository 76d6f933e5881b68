#include "tests/support/ui_driver.h"

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "ui/form.h"
#include "ui/twips.h"

namespace tw_test {

namespace {
bool g_quit = false;
}

void Pump(int ms) {
    DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                g_quit = true;
                continue;
            }
            ui::ProcessMessage(msg);
        }
        if (ms > 0)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (static_cast<int>(until - GetTickCount()) > 0);
}

bool PumpUntil(const std::function<bool()>& done, int ms) {
    DWORD until = GetTickCount() + static_cast<DWORD>(ms);
    while (!done()) {
        if (static_cast<int>(until - GetTickCount()) <= 0)
            return false;
        Pump(10);
    }
    return true;
}

bool QuitPosted() { return g_quit; }
void ClearQuit() { g_quit = false; }

ui::Rect TwipsRect(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    UINT dpi = ui::WindowDpi(control);
    return {ui::PixelsToTwips(r.left, dpi), ui::PixelsToTwips(r.top, dpi), ui::PixelsToTwips(r.right - r.left, dpi),
            ui::PixelsToTwips(r.bottom - r.top, dpi)};
}

SIZE ClientTwips(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    UINT dpi = ui::WindowDpi(window);
    return {ui::PixelsToTwips(r.right, dpi), ui::PixelsToTwips(r.bottom, dpi)};
}

UINT ScreenDpi() { return ui::WindowDpi(nullptr); }

FontInfo FontOf(HWND control) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    GetObjectW(font, sizeof(lf), &lf);
    double points = -lf.lfHeight * 72.0 / ui::WindowDpi(control);
    return {lf.lfFaceName, points, static_cast<int>(lf.lfWeight)};
}

std::wstring Text(HWND window) {
    wchar_t text[1024];
    int length = GetWindowTextW(window, text, 1024);
    return {text, static_cast<std::size_t>(length)};
}

std::wstring ClassOf(HWND window) {
    wchar_t cls[128];
    int length = GetClassNameW(window, cls, 128);
    return {cls, static_cast<std::size_t>(length)};
}

namespace {
void Send(std::vector<INPUT> inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Pump(30);
}

INPUT Key(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}
}  // namespace

void PressKey(WORD vk, bool shift, bool ctrl, bool alt) {
    std::vector<INPUT> inputs;
    if (shift)
        inputs.push_back(Key(VK_SHIFT, false));
    if (ctrl)
        inputs.push_back(Key(VK_CONTROL, false));
    if (alt)
        inputs.push_back(Key(VK_MENU, false));
    inputs.push_back(Key(vk, false));
    inputs.push_back(Key(vk, true));
    if (alt)
        inputs.push_back(Key(VK_MENU, true));
    if (ctrl)
        inputs.push_back(Key(VK_CONTROL, true));
    if (shift)
        inputs.push_back(Key(VK_SHIFT, true));
    Send(inputs);
}

void TypeChar(wchar_t ch) {
    SHORT vk = VkKeyScanW(ch);
    PressKey(static_cast<WORD>(LOBYTE(vk)), (HIBYTE(vk) & 1) != 0);
}

void ClickMouse(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    int sx = GetSystemMetrics(SM_CXSCREEN) - 1, sy = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(x, 65535, sx);
    move.mi.dy = MulDiv(y, 65535, sy);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT down = move, up = move;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    Send({move});
    Send({down});
    Send({up});
}

namespace {
BOOL CALLBACK AddVisible(HWND hwnd, LPARAM param) {
    if (IsWindowVisible(hwnd) && ClassOf(hwnd) != L"tooltips_class32")
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK AddMessageBox(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && ClassOf(hwnd) == L"#32770" && IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> VisibleWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), AddVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindTopLevel(const std::wstring& title) {
    for (HWND hwnd : VisibleWindows())
        if (Text(hwnd) == title)
            return hwnd;
    return nullptr;
}

std::vector<std::wstring> TabWalk(int count, bool backwards) {
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) {
        PressKey(VK_TAB, backwards);
        names.push_back(ui::ControlName(GetFocus()));
    }
    return names;
}

struct MessageBoxWatcher::State {
    std::mutex lock;
    std::vector<MessageBoxSeen> seen;
    std::set<HWND> handled;
    std::atomic<bool> stop{false};
    std::thread thread;
};

namespace {
MessageBoxSeen Read(HWND box, HWND& firstButton) {
    MessageBoxSeen seen;
    seen.title = Text(box);
    firstButton = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring cls = ClassOf(child);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(cls.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            seen.buttons.push_back(Text(child));
            if (firstButton == nullptr)
                firstButton = child;
        } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                if (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0)
                    seen.hasIcon = true;
            } else if (!Text(child).empty()) {
                seen.text = Text(child);
            }
        }
    }
    return seen;
}
}  // namespace

MessageBoxWatcher::MessageBoxWatcher() : state_(new State) {
    state_->thread = std::thread([s = state_] {
        while (!s->stop) {
            std::vector<HWND> boxes;
            EnumWindows(AddMessageBox, reinterpret_cast<LPARAM>(&boxes));
            for (HWND box : boxes) {
                std::lock_guard<std::mutex> guard(s->lock);
                if (!s->handled.insert(box).second)
                    continue;
                HWND button = nullptr;
                s->seen.push_back(Read(box, button));
                if (button != nullptr)
                    PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
            }
            Sleep(30);
        }
    });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    state_->stop = true;
    state_->thread.join();
    delete state_;
}

std::vector<MessageBoxSeen> MessageBoxWatcher::Seen() {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->seen;
}

}  // namespace tw_test
