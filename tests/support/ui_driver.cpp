#include "tests/support/ui_driver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

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

ui::Rect OnScreen(ui::Rect twips, UINT dpi) {
    auto px = [dpi](int t) { return ui::TwipsToPixels(t, dpi); };
    auto tw = [dpi](int p) { return ui::PixelsToTwips(p, dpi); };
    return {tw(px(twips.left)), tw(px(twips.top)), tw(px(twips.left + twips.width) - px(twips.left)),
            tw(px(twips.top + twips.height) - px(twips.top))};
}

void ExpectRect(HWND control, ui::Rect twips) {
    ASSERT_NE(control, nullptr);
    ui::Rect want = OnScreen(twips, ui::WindowDpi(control));
    ui::Rect got = TwipsRect(control);
    EXPECT_EQ(std::vector<int>({got.left, got.top, got.width, got.height}),
              std::vector<int>({want.left, want.top, want.width, want.height}))
        << ui::ControlName(control).c_str();
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

HICON ShownIcon(HWND window, WPARAM which) {
    if (auto own = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, which, 0)))
        return own;
    return reinterpret_cast<HICON>(GetClassLongPtrW(window, which == ICON_BIG ? GCLP_HICON : GCLP_HICONSM));
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

namespace {
INPUT MouseAt(int x, int y, DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return in;
}

// Moves the pointer to x, y and waits until Windows has it there.
void MoveMouse(int x, int y) {
    Send({MouseAt(x, y, MOUSEEVENTF_MOVE)});
    // Wine learns where the pointer is from the X server as well; pressing
    // before that has caught up may press or release somewhere else.
    PumpUntil([&] {
        POINT at;
        return GetCursorPos(&at) && at.x == x && at.y == y;
    }, 500);
}
}  // namespace

void ClickMouse(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    MoveMouse(x, y);
    Send({MouseAt(x, y, MOUSEEVENTF_LEFTDOWN), MouseAt(x, y, MOUSEEVENTF_LEFTUP)});
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

std::vector<std::wstring> TabWalk(int count, bool backwards) {
    std::vector<std::wstring> names;
    for (int i = 0; i < count; ++i) {
        PressKey(VK_TAB, backwards);
        names.push_back(ui::ControlName(GetFocus()));
    }
    return names;
}

namespace {
BOOL CALLBACK FindToolTip(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<std::pair<HWND, HWND>*>(param);
    if (ClassOf(hwnd) == L"tooltips_class32" && GetWindow(hwnd, GW_OWNER) == search->first) {
        search->second = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

UINT MenuCommand(HWND window, const wchar_t* caption) {
    HMENU bar = GetMenu(window);
    for (int m = 0; m < GetMenuItemCount(bar); ++m) {
        HMENU menu = GetSubMenu(bar, m);
        for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128];
            GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            if (std::wstring(text).starts_with(caption))
                return GetMenuItemID(menu, i);
        }
    }
    return 0;
}

std::wstring ToolTipText(HWND control) {
    std::pair<HWND, HWND> search{GetAncestor(control, GA_ROOT), nullptr};
    const DWORD thread = GetWindowThreadProcessId(control, nullptr);
    EnumThreadWindows(thread, FindToolTip, reinterpret_cast<LPARAM>(&search));
    if (search.second == nullptr) {
        // The form makes its tool tips once the mouse first moves over it.
        RECT r;
        GetWindowRect(control, &r);
        MoveMouse(r.left + 1, r.top + 1);
        MoveMouse((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        EnumThreadWindows(thread, FindToolTip, reinterpret_cast<LPARAM>(&search));
    }
    if (search.second == nullptr)
        return L"<none>";
    wchar_t text[256] = L"";
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    if (!SendMessageW(search.second, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
        return L"<none>";
    tool.lpszText = text;
    SendMessageW(search.second, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return text;
}

namespace {
BOOL CALLBACK CountWindow(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId())
        ++*reinterpret_cast<DWORD*>(param);
    return TRUE;
}

BOOL CALLBACK CountTree(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*reinterpret_cast<DWORD*>(param);
        EnumChildWindows(hwnd, CountWindow, param);
    }
    return TRUE;
}
}  // namespace

GuiObjects CountGuiObjects() {
    HANDLE self = GetCurrentProcess();
    GuiObjects counts{GetGuiResources(self, GR_GDIOBJECTS), GetGuiResources(self, GR_USEROBJECTS), false};
    if (counts.gdi != 0 || counts.user != 0)
        return counts;
    // Wine takes a handle whose upper word is 0 for the live object at that
    // index of its table, so every index can be probed.
    counts = {0, 0, true};
    for (UINT_PTR index = 1; index <= 0xFFFF; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0)
            ++counts.gdi;
        if (IsMenu(reinterpret_cast<HMENU>(index)) ||
            CopyAcceleratorTableW(reinterpret_cast<HACCEL>(index), nullptr, 0) > 0)
            ++counts.user;
    }
    EnumWindows(CountTree, reinterpret_cast<LPARAM>(&counts.user));
    return counts;
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(handle);
    bytes.resize(read);
    return bytes;
}

namespace {
const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
}

ShellFolderRedirect::ShellFolderRedirect(const wchar_t* name, const std::wstring& path) : name_(name) {
    RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    DWORD size = 0;
    had_ = RegQueryValueExW(key_, name_, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
    old_.resize(size);
    if (had_)
        RegQueryValueExW(key_, name_, nullptr, &type_, old_.data(), &size);
    RegSetValueExW(key_, name_, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

ShellFolderRedirect::~ShellFolderRedirect() {
    if (had_)
        RegSetValueExW(key_, name_, 0, type_, old_.data(), static_cast<DWORD>(old_.size()));
    else
        RegDeleteValueW(key_, name_);
    RegCloseKey(key_);
}

namespace {

const wchar_t kBackupKey[] = L"Software\\Tumblewick test backup";

bool CopyTree(HKEY fromRoot, const std::wstring& from, HKEY toRoot, const std::wstring& to) {
    HKEY source = nullptr, target = nullptr;
    if (RegOpenKeyExW(fromRoot, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS)
        return false;
    bool copied = RegCreateKeyExW(toRoot, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) ==
                      ERROR_SUCCESS &&
                  RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
    if (target != nullptr)
        RegCloseKey(target);
    RegCloseKey(source);
    return copied;
}

// Copies are named by process and number: a case may start another test
// program, which keeps copies of its own.
int g_backupsMade = 0, g_backupsHeld = 0;

}  // namespace

KeyTreeBackup::KeyTreeBackup(std::wstring key, HKEY root)
    : root_(root), key_(std::move(key)),
      copy_(std::wstring(kBackupKey) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++g_backupsMade)) {
    ++g_backupsHeld;
    RegDeleteTreeW(HKEY_CURRENT_USER, copy_.c_str());
    had_ = CopyTree(root_, key_, HKEY_CURRENT_USER, copy_);
}

KeyTreeBackup::~KeyTreeBackup() {
    RegDeleteTreeW(root_, key_.c_str());
    if (had_)
        CopyTree(HKEY_CURRENT_USER, copy_, root_, key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, copy_.c_str());
    // Gone with the last copy of every process (a test may start another).
    if (--g_backupsHeld == 0)
        RegDeleteKeyW(HKEY_CURRENT_USER, kBackupKey);
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
