// The program's seven windows made the plain way, for its memory to be set
// against, and its splash for its start-up: the splash (with its fonts and
// logo), the main window with its menu, the five picker windows
// and About, each at the program's client size and frame at 96 DPI, owned as
// the program's are, with Windows' own controls where the program has its
// own (26 push buttons and two group boxes in each picker). A driver opens
// them the way it opens the program's: OK on the splash, the main window's
// buttons by their names, Ctrl+O for About. Built with the program's
// manifest and static imports.
#include <windows.h>

#include <commctrl.h>

#include "tests/bench/product_imports.h"

namespace {

constexpr wchar_t kClass[] = L"SevenWindows";
constexpr int kAbout = 1000;
constexpr int kPickerCommand = 2000;  // + the picker's number
constexpr int kOk = 3000;

HINSTANCE g_instance;
HWND g_owner;  // the hidden owner of windows without a task-bar button
HWND g_main;
HWND g_splash;

int Px(int twips) { return MulDiv(twips, 96, 1440); }

// The name the driver finds a control by, as the program's controls carry it.
void Name(HWND hwnd, const wchar_t* name) {
    SetPropW(hwnd, L"Tumblewick.Name", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GlobalAddAtomW(name))));
}

HWND Control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int width, int height,
             int id = 0) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, Px(x), Px(y), Px(width), Px(height), parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_instance, nullptr);
}

HWND Button(HWND parent, const wchar_t* text, int x, int y, int width, int height, int id = 0) {
    return Control(parent, L"BUTTON", text, WS_TABSTOP | BS_PUSHBUTTON, x, y, width, height, id);
}

HWND Window(const wchar_t* caption, DWORD style, DWORD exStyle, int width, int height, HWND owner, HMENU menu) {
    style |= WS_CLIPCHILDREN;
    RECT frame{0, 0, Px(width), Px(height)};
    AdjustWindowRectEx(&frame, style, menu != nullptr, exStyle);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return CreateWindowExW(exStyle, kClass, caption, style, work.left + (work.right - work.left - w) / 2,
                           work.top + (work.bottom - work.top - h) / 2, w, h, owner, menu, g_instance, nullptr);
}

void Show(HWND window, HWND focus) {
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(focus);
}

HFONT Font(const wchar_t* face, int hundredthsOfPoints, int weight) {
    return CreateFontW(-MulDiv(hundredthsOfPoints, 96, 7200), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// The splash with its fonts and its logo, the picture a bitmap resource
// that a static control stretches to its rectangle.
void ShowSplash() {
    g_splash = Window(L"", WS_POPUP | WS_DLGFRAME, 0, 7380, 4245, g_owner, nullptr);
    const HFONT text = Font(L"Comic Sans MS", 825, FW_NORMAL);
    const auto label = [&](const wchar_t* caption, DWORD style, int x, int y, int width, int height, HFONT font) {
        HWND control = Control(g_splash, L"STATIC", caption, style, x, y, width, height);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    };
    Control(g_splash, L"BUTTON", L"", BS_GROUPBOX, 150, 60, 7080, 4050);
    HWND logo = Control(g_splash, L"STATIC", L"", SS_BITMAP | SS_REALSIZECONTROL, 390, 375, 3015, 3225);
    SendMessageW(logo, STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(LoadImageW(g_instance, MAKEINTRESOURCEW(1), IMAGE_BITMAP, 0, 0, 0)));
    label(L"Tumblewick", SS_LEFT, 4110, 1260, 1845, 600, Font(L"Comic Sans MS", 2175, FW_BOLD));
    label(L"Windows", SS_RIGHT, 5595, 2340, 1410, 435, Font(L"Comic Sans MS", 1575, FW_NORMAL));
    label(L"Version 1.0.0", SS_RIGHT, 5595, 2760, 1410, 285, Font(L"Arial", 1200, FW_BOLD));
    label(L"Copyright \u00A9 2026 Tumblewick", SS_LEFT, 4710, 1860, 2415, 255, text);
    label(L"All rights reserved. Patent pending.", SS_LEFT, 300, 3720, 6855, 315, text);
    HWND ok = Button(g_splash, L"OK", 5760, 3360, 1215, 495, kOk);
    SendMessageW(ok, WM_SETFONT, reinterpret_cast<WPARAM>(text), FALSE);
    Name(ok, L"btnOK");
    Show(g_splash, ok);
}

struct MainButton {
    const wchar_t* name;
    const wchar_t* caption;
    int x, y;
};

void ShowMain() {
    HMENU menu = CreateMenu();
    const wchar_t* menus[3][6] = {
        {L"&File", L"&Close\tCtrl+F4"},
        {L"&Tumblewick Options", L"Desktop &Background\tCtrl+B", L"Desktop &Shortcuts\tCtrl+S",
         L"&Favorites Menu\tCtrl+A", L"I.E. &Home Page\tCtrl+P", L"Start &Menu\tCtrl+M"},
        {L"&Help", L"Ab&out Tumblewick\tCtrl+O", L"&Tumblewick Website\tCtrl+K"},
    };
    for (auto& items : menus) {
        HMENU popup = CreatePopupMenu();
        for (int i = 1; i < 6 && items[i] != nullptr; ++i)
            AppendMenuW(popup, MF_STRING, wcsncmp(items[i], L"Ab&out", 6) == 0 ? kAbout : kAbout + 100 + i, items[i]);
        AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), items[0]);
    }
    g_main = Window(L"Tumblewick", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX,
                    WS_EX_APPWINDOW, 9930, 6885, nullptr, menu);
    Control(g_main, L"BUTTON", L"Tumblewick Options", BS_GROUPBOX, 120, 120, 9735, 5655);
    Control(g_main, L"STATIC",
            L"Tumblewick provides the following options so that you can add links to the best websites for kids on "
            L"the internet. There are over 20 links to add to your computer. You can choose from 1 to all of them "
            L"for each area. You can also change your desktop image and your Internet Explorer Home Page.",
            SS_LEFT, 360, 480, 9255, 1095);
    Control(g_main, L"BUTTON", L"Desktop", BS_GROUPBOX, 360, 1200, 4500, 4335);
    Control(g_main, L"BUTTON", L"I.E. Browser", BS_GROUPBOX, 5280, 1320, 4433, 4335);
    Control(g_main, L"BUTTON", L"", BS_GROUPBOX, 120, 5880, 9735, 855);
    const MainButton buttons[] = {
        {L"btnDesktopBackground", L"Desktop &Background...", 720, 1800},
        {L"btnDesktopShortcuts", L"Desktop &Shortcuts...", 720, 3000},
        {L"btnStartMenu", L"Start &Menu...", 720, 4320},
        {L"btnHomePage", L"Home &Page...", 5640, 1800},
        {L"btnFavoritesMenu", L"F&avorites Menu", 5640, 3120},
    };
    HWND first = nullptr;
    for (int i = 0; i < 5; ++i) {
        HWND button = Button(g_main, buttons[i].caption, buttons[i].x, buttons[i].y, 3615, 855, kPickerCommand + i);
        Name(button, buttons[i].name);
        if (first == nullptr)
            first = button;
    }
    Button(g_main, L"&OK", 7200, 6120, 1215, 495);
    Button(g_main, L"&Cancel", 8520, 6120, 1215, 495);
    Show(g_main, first);
}

void ShowPicker(int picker) {
    static const wchar_t* const kCaptions[5] = {L"Desktop Background", L"Desktop Shortcuts", L"Start Menu",
                                                L"Home Page", L"Favorites"};
    HWND window = Window(kCaptions[picker], WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, WS_EX_APPWINDOW, 10080, 7335,
                         nullptr, nullptr);
    Control(window, L"BUTTON", L"Click on picture button to add a shortcut", BS_GROUPBOX, 120, 120, 9735, 6135);
    Control(window, L"BUTTON", L"", BS_GROUPBOX, 120, 6240, 9735, 975);
    const int columns[4] = {0, 2520, 5040, 7440};
    HWND first = nullptr;
    for (int n = 0; n < 24; ++n) {
        wchar_t caption[16];
        wsprintfW(caption, L"Button %d", n + 1);
        HWND button = Button(window, caption, 360 + columns[n % 4], 480 + 960 * (n / 4), 1700, 650);
        if (first == nullptr)
            first = button;
    }
    Button(window, L"OK", 7200, 6480, 1215, 495);
    Button(window, L"Cancel", 8520, 6480, 1215, 495);
    Show(window, first);
}

void ShowAbout() {
    HWND about = Window(L"About Tumblewick", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, 5730, 3555,
                        g_owner, nullptr);
    HWND icon = Control(about, L"STATIC", L"", SS_ICON, 240, 240, 540, 540);
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_APPLICATION)), 0);
    Control(about, L"STATIC", L"Tumblewick", SS_LEFT, 1050, 240, 3885, 480);
    Control(about, L"STATIC", L"Version 1.0.0", SS_LEFT, 1050, 780, 3885, 225);
    Control(about, L"STATIC",
            L"Tumblewick provides parents and children the ability to easily put the favorite kids website links on "
            L"their desktop, favorites menu and start menu. It also allows customization of the I.E. Desktop and "
            L"I.E. Home Page.",
            SS_LEFT, 1050, 1125, 3885, 1170);
    Control(about, L"STATIC", L"", SS_ETCHEDHORZ, 90, 2445, 5565, 30);
    Control(about, L"STATIC",
            L"Warning: this program is protected by copyright law. Copying or passing it on without the owner's "
            L"permission is not allowed.",
            SS_LEFT, 255, 2625, 3870, 825);
    HWND ok = Button(about, L"OK", 4245, 2625, 1260, 345);
    Button(about, L"&System Info...", 4260, 3075, 1245, 345);
    Show(about, ok);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        const int id = LOWORD(wParam);
        if (id == kOk && hwnd == g_splash) {
            ShowMain();
            DestroyWindow(g_splash);
        } else if (id >= kPickerCommand && id < kPickerCommand + 5) {
            ShowPicker(id - kPickerCommand);
        } else if (id == kAbout) {
            ShowAbout();
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_instance = instance;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    RegisterClassExW(&wc);
    g_owner = CreateWindowExW(0, kClass, L"Tumblewick", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    ACCEL about{FVIRTKEY | FCONTROL, 'O', kAbout};
    HACCEL accelerators = CreateAcceleratorTableW(&about, 1);
    ShowSplash();

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (g_main != nullptr && TranslateAcceleratorW(g_main, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyAcceleratorTable(accelerators);
    tw_bench::UseProductImports(msg.wParam);
    return static_cast<int>(msg.wParam);
}
