// The splash and main windows as the user meets them, and how the program's
// life follows its windows.
#include <gtest/gtest.h>

#include <wincodec.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <map>
#include <string>
#include <vector>

#include "app/about.h"
#include "app/main_window.h"
#include "app/splash.h"
#include "links/link_windows.h"
#include "platform/failure.h"
#include "platform/picture.h"
#include "platform/scoped_handle.h"
#include "platform/text.h"
#include "settings/desktop_background.h"
#include "settings/home_page.h"
#include "tests/support/host.h"
#include "tests/support/ui_driver.h"
#include "ui/twips.h"

using namespace tw_test;

namespace {

void ExpectClient(HWND window, int width, int height) {
    UINT dpi = ui::WindowDpi(window);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, ui::TwipsToPixels(width, dpi));
    EXPECT_EQ(client.bottom, ui::TwipsToPixels(height, dpi));
}

void ExpectFont(HWND control, const wchar_t* face, double points, int weight) {
    FontInfo font = FontOf(control);
    EXPECT_EQ(font.face, face) << ui::ControlName(control).c_str();
    // The font height is whole pixels, so the size is as near as they allow.
    EXPECT_NEAR(font.points, points, 72.0 / ui::WindowDpi(control)) << ui::ControlName(control).c_str();
    EXPECT_EQ(font.weight, weight) << ui::ControlName(control).c_str();
}

// Records every form window created and the texts its labels had when it
// was first shown.
struct Watch {
    static inline std::vector<std::wstring> created;
    static inline std::map<std::wstring, std::wstring> shownWith;
    static LRESULT CALLBACK CallProc(int code, WPARAM wParam, LPARAM lParam) {
        auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam && ClassOf(call->hwnd) == L"TumblewickForm") {
            created.push_back(ui::ControlName(call->hwnd));
            for (const wchar_t* label : {L"lblVersion", L"lblProductName"})
                if (HWND control = ui::FindControl(call->hwnd, label))
                    shownWith[label] = Text(control);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CallProc, nullptr, GetCurrentThreadId());
    Watch() {
        created.clear();
        shownWith.clear();
    }
    ~Watch() { UnhookWindowsHookEx(hook); }
};

// The user's "always show keyboard cues" setting for the case's lifetime.
class KeyboardCuesAlways {
public:
    explicit KeyboardCuesAlways(BOOL on) {
        SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &old_, 0);
        EXPECT_TRUE(SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(on)), 0));
    }
    ~KeyboardCuesAlways() {
        SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(old_)), 0);
    }
    KeyboardCuesAlways(const KeyboardCuesAlways&) = delete;
    KeyboardCuesAlways& operator=(const KeyboardCuesAlways&) = delete;

private:
    BOOL old_ = FALSE;
};

app::frmSplash& Splash() { return ui::Instance<app::frmSplash>(); }
app::Form1& Main() { return ui::Instance<app::Form1>(); }

class Forms : public ::testing::Test {
protected:
    void SetUp() override {
        ClearQuit();
        ASSERT_EQ(ui::LoadedFormCount(), 0);
    }
    void TearDown() override {
        for (ui::Form* form : std::initializer_list<ui::Form*>{
                 &Splash(), &Main(), &ui::Instance<links::frmStartMenu>(), &ui::Instance<links::frmDesktopShortcuts>(),
                 &ui::Instance<links::frmFavoritesMenu>(), &ui::Instance<settings::frmHomePage>(),
                 &ui::Instance<settings::frmDesktopBackground>(), &ui::Instance<app::frmAbout>()})
            form->Unload();
        Pump(20);
        // A failing case leaves the program failed; the next run starts
        // unfailed, as a new program does.
        ui::RunProgram([] { PostQuitMessage(0); });
    }
    void OpenMain() {
        Main().Show();
        Pump(50);
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == Main().Hwnd(); }));
    }
};

TEST_F(Forms, SplashIsFilledBeforeItIsFirstShownAndLooksAsDesigned) {
    Watch watch;
    Splash().Show();
    Pump(50);
    EXPECT_EQ(Watch::shownWith[L"lblVersion"], L"Version 1.0.0");
    EXPECT_EQ(Watch::shownWith[L"lblProductName"], L"Tumblewick");

    HWND window = Splash().Hwnd();
    LONG style = GetWindowLongW(window, GWL_STYLE);
    LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_DLGFRAME) << "a dialog frame and no title bar";
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_NE(GetWindow(window, GW_OWNER), nullptr) << "owned windows have no task-bar button";
    ExpectClient(window, 7380, 4245);

    ExpectRect(Splash().Control("Frame1"), {150, 60, 7080, 4050});
    ExpectRect(Splash().Control("imgLogo"), {240, 315, 3015, 3225});
    ExpectRect(Splash().Control("lblWarning"), {150, 3660, 6855, 315});
    ExpectRect(Splash().Control("btnOK"), {5760, 3360, 1215, 495});
    ExpectFont(Splash().Control("lblProductName"), L"Comic Sans MS", 21.75, FW_BOLD);
    ExpectFont(Splash().Control("lblPlatform"), L"Comic Sans MS", 15.75, FW_NORMAL);
    ExpectFont(Splash().Control("lblVersion"), L"Arial", 12, FW_BOLD);
    ExpectFont(Splash().Control("lblCopyright"), L"Comic Sans MS", 8.25, FW_NORMAL);
    ExpectFont(Splash().Control("btnOK"), L"Comic Sans MS", 8.25, FW_NORMAL);

    // Sized to their text: the title keeps its left edge, platform and
    // version their right edge at 6855, one under the other.
    ui::Rect title = TwipsRect(Splash().Control("lblProductName"));
    ui::Rect platform = TwipsRect(Splash().Control("lblPlatform"));
    ui::Rect version = TwipsRect(Splash().Control("lblVersion"));
    UINT dpi = ui::WindowDpi(window);
    EXPECT_EQ(title.left, OnScreen({3960, 0, 0, 0}, dpi).left);
    EXPECT_EQ(platform.left + platform.width, OnScreen({6855, 0, 0, 0}, dpi).left);
    EXPECT_EQ(version.left + version.width, OnScreen({6855, 0, 0, 0}, dpi).left);
    EXPECT_NE(platform.width, 1410) << "sized to the text, not the design rectangle";

    // OK belongs to the window, lies in front of the frame and has the focus.
    HWND ok = Splash().Control("btnOK");
    EXPECT_EQ(GetParent(ok), window);
    bool okInFront = false;
    for (HWND w = Splash().Control("Frame1"); w; w = GetWindow(w, GW_HWNDPREV))
        okInFront |= w == ok;
    EXPECT_TRUE(okInFront);
    EXPECT_EQ(GetFocus(), ok);
    EXPECT_EQ(TabWalk(2), (std::vector<std::wstring>{L"btnOK", L"btnOK"})) << "the only control that takes focus";
}

// The logo is decoded when the program is built; the splash must show the
// very pixels Windows' imaging component makes of the JPEG asset.
TEST_F(Forms, SplashShowsTheLogoPixelForPixelAsTheImagingComponentDecodesIt) {
    constexpr int kLogoJpeg = 2001;
    constexpr UINT kWidth = 262, kHeight = 305;
    std::vector<BYTE> expected(kWidth * kHeight * 4);
    {
        platform::ComApartment com;
        platform::ComPtr<IWICImagingFactory> factory;
        platform::ComPtr<IWICStream> stream;
        platform::ComPtr<IWICBitmapDecoder> decoder;
        platform::ComPtr<IWICBitmapFrameDecode> frame;
        platform::ComPtr<IWICFormatConverter> converter;
        ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   factory.PutVoid()), S_OK);
        std::span<const std::uint8_t> jpeg = platform::ResourceBytes(kLogoJpeg);
        ASSERT_EQ(factory->CreateStream(stream.Put()), S_OK);
        ASSERT_EQ(stream->InitializeFromMemory(const_cast<BYTE*>(jpeg.data()), static_cast<DWORD>(jpeg.size())), S_OK);
        ASSERT_EQ(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put()),
                  S_OK);
        ASSERT_EQ(decoder->GetFrame(0, frame.Put()), S_OK);
        ASSERT_EQ(factory->CreateFormatConverter(converter.Put()), S_OK);
        ASSERT_EQ(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                        0.0, WICBitmapPaletteTypeCustom), S_OK);
        UINT width = 0, height = 0;
        ASSERT_EQ(converter->GetSize(&width, &height), S_OK);
        ASSERT_EQ(width, kWidth);
        ASSERT_EQ(height, kHeight);
        ASSERT_EQ(converter->CopyPixels(nullptr, kWidth * 4, static_cast<UINT>(expected.size()), expected.data()), S_OK);
    }

    Splash().Show();
    auto picture = static_cast<HBITMAP>(GetPropW(Splash().Control("imgLogo"), L"Picture"));
    ASSERT_NE(picture, nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), static_cast<LONG>(kWidth), -static_cast<LONG>(kHeight), 1, 32, BI_RGB};
    std::vector<BYTE> shown(expected.size());
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(screen, picture, 0, kHeight, shown.data(), &info, DIB_RGB_COLORS), static_cast<int>(kHeight));
    ReleaseDC(nullptr, screen);
    int differing = 0;
    for (std::size_t at = 0; at < shown.size(); at += 4)
        differing += memcmp(&shown[at], &expected[at], 3) != 0;
    EXPECT_EQ(differing, 0) << "pixels that differ from the imaging component's";
}

TEST_F(Forms, AKeyInTheSplashEndsTheProgramWithoutTheMainWindow) {
    for (WORD key : {WORD('X'), WORD(VK_SPACE), WORD(VK_ESCAPE)}) {
        Watch watch;
        ClearQuit();
        Splash().Show();
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == Splash().Hwnd(); }));
        PressKey(key);
        EXPECT_TRUE(PumpUntil([] { return !Splash().IsLoaded(); })) << key;
        Pump(50);
        EXPECT_EQ(ui::LoadedFormCount(), 0) << key;
        EXPECT_TRUE(QuitPosted()) << key;
        EXPECT_EQ(Watch::created, std::vector<std::wstring>{L"frmSplash"}) << key;
    }
}

TEST_F(Forms, OkInTheSplashLeavesTheMainWindowAlone) {
    Splash().Show();
    ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == Splash().Hwnd(); }));
    ClickMouse(Splash().Control("btnOK"));
    ASSERT_TRUE(PumpUntil([] { return !Splash().IsLoaded(); }));
    EXPECT_EQ(VisibleWindows(), std::vector<HWND>{Main().Hwnd()});
    EXPECT_FALSE(QuitPosted());
    EXPECT_EQ(GetFocus(), Main().Control("btnOK"));
}

TEST_F(Forms, MainWindowLayoutFontsAndFrame) {
    OpenMain();
    HWND window = Main().Hwnd();
    EXPECT_EQ(Text(window), L"Tumblewick");
    LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    ExpectClient(window, 9930, 6885);

    const std::pair<const char*, ui::Rect> layout[] = {
        {"frameOptions", {120, 120, 9735, 5655}},      {"Label", {240, 360, 9255, 1095}},
        {"Frame1", {240, 1080, 4500, 4335}},           {"btnDesktopShortcuts", {360, 1800, 3615, 855}},
        {"btnStartMenu", {360, 3120, 3615, 855}},      {"btnDesktopBackground", {720, 1800, 3615, 855}},
        {"frameBrowserOptions", {5160, 1200, 4433, 4335}}, {"btnHomePage", {360, 480, 3615, 855}},
        {"btnFavoritesMenu", {360, 1800, 3615, 855}},  {"frameOKCancel", {120, 5880, 9735, 855}},
        {"btnOK", {7200, 6120, 1215, 495}},            {"btnCancel", {8520, 6120, 1215, 495}},
    };
    for (const auto& [name, rect] : layout) {
        ExpectRect(Main().Control(name), rect);
        ExpectFont(Main().Control(name), L"Comic Sans MS", 8.25, FW_NORMAL);
    }
    EXPECT_EQ(GetParent(Main().Control("btnDesktopShortcuts")), Main().Control("Frame1"));
    EXPECT_EQ(GetParent(Main().Control("Frame1")), Main().Control("frameOptions"));
    EXPECT_EQ(GetParent(Main().Control("btnDesktopBackground")), window);
    EXPECT_EQ(Text(Main().Control("btnFavoritesMenu")), L"F&avorites Menu");

    // Every control keeps its place when the window is made larger or smaller.
    std::vector<ui::Rect> before;
    for (const auto& [name, rect] : layout)
        before.push_back(TwipsRect(Main().Control(name)));
    for (int delta : {200, -300}) {
        RECT r;
        GetWindowRect(window, &r);
        SetWindowPos(window, nullptr, 0, 0, r.right - r.left + delta, r.bottom - r.top + delta,
                     SWP_NOMOVE | SWP_NOZORDER);
        Pump(20);
        for (std::size_t i = 0; i < before.size(); ++i) {
            ui::Rect now = TwipsRect(Main().Control(layout[i].first));
            EXPECT_EQ(now.left, before[i].left);
            EXPECT_EQ(now.top, before[i].top);
            EXPECT_EQ(now.width, before[i].width);
        }
    }
}

TEST_F(Forms, MainWindowMenuBar) {
    OpenMain();
    HMENU bar = GetMenu(Main().Hwnd());
    ASSERT_NE(bar, nullptr);
    auto text = [](HMENU menu, int i) {
        wchar_t buffer[128];
        GetMenuStringW(menu, static_cast<UINT>(i), buffer, 128, MF_BYPOSITION);
        return std::wstring(buffer);
    };
    const std::vector<std::vector<std::wstring>> expected = {
        {L"&File", L"&Close\tCtrl+F4"},
        {L"&Tumblewick Options", L"Desktop &Background\tCtrl+B", L"Desktop &Shortcuts\tCtrl+S",
         L"&Favorites Menu\tCtrl+A", L"I.E. &Home Page\tCtrl+P", L"Start &Menu\tCtrl+M"},
        {L"&Help", L"Ab&out Tumblewick\tCtrl+O", L"&Tumblewick Website\tCtrl+K"},
    };
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    for (int m = 0; m < 3; ++m) {
        EXPECT_EQ(text(bar, m), expected[m][0]);
        HMENU popup = GetSubMenu(bar, m);
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(expected[m].size()) - 1);
        for (int i = 1; i < static_cast<int>(expected[m].size()); ++i) {
            EXPECT_EQ(text(popup, i - 1), expected[m][i]);
            UINT state = GetMenuState(popup, static_cast<UINT>(i - 1), MF_BYPOSITION);
            EXPECT_FALSE(state & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
        }
    }
}

TEST_F(Forms, MainWindowKeyboard) {
    OpenMain();
    EXPECT_EQ(ui::ControlName(GetFocus()), L"btnOK");
    EXPECT_EQ(TabWalk(7), (std::vector<std::wstring>{L"btnCancel", L"btnDesktopBackground", L"btnDesktopShortcuts",
                                                     L"btnHomePage", L"btnFavoritesMenu", L"btnStartMenu", L"btnOK"}));
    EXPECT_EQ(TabWalk(2, true), (std::vector<std::wstring>{L"btnStartMenu", L"btnFavoritesMenu"}));

    // No cancel button: Esc does nothing.
    PressKey(VK_ESCAPE);
    Pump(50);
    EXPECT_TRUE(Main().IsLoaded());

    // Access keys and Ctrl shortcuts reach their commands.
    auto& startMenu = ui::Instance<links::frmStartMenu>();
    auto& desktop = ui::Instance<links::frmDesktopShortcuts>();
    auto& favorites = ui::Instance<links::frmFavoritesMenu>();
    auto& homePage = ui::Instance<settings::frmHomePage>();
    auto& background = ui::Instance<settings::frmDesktopBackground>();
    auto& about = ui::Instance<app::frmAbout>();
    const struct {
        WORD key;
        bool ctrl;
        ui::Form* opens;
    } commands[] = {{'M', false, &startMenu}, {'S', false, &desktop}, {'A', false, &favorites},
                    {'P', false, &homePage},  {'B', false, &background}, {'M', true, &startMenu},
                    {'S', true, &desktop},    {'A', true, &favorites}, {'P', true, &homePage},
                    {'B', true, &background}, {'O', true, &about}};
    for (const auto& command : commands) {
        SetForegroundWindow(Main().Hwnd());
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == Main().Hwnd(); }));
        PressKey(command.key, false, command.ctrl, !command.ctrl);
        EXPECT_TRUE(PumpUntil([&] { return command.opens->IsLoaded(); })) << char(command.key) << command.ctrl;
        EXPECT_EQ(GetForegroundWindow(), command.opens->Hwnd());
        command.opens->Unload();
        Pump(20);
    }

    // Right after the window opens, Space closes it through OK.
    Main().Unload();
    Pump(20);
    OpenMain();
    PressKey(VK_SPACE);
    EXPECT_TRUE(PumpUntil([] { return !Main().IsLoaded(); }));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(Forms, EachWayOfClosingTheMainWindowClosesOnlyIt) {
    auto& startMenu = ui::Instance<links::frmStartMenu>();
    const std::function<void()> ways[] = {
        [] { SendMessageW(Main().Control("btnOK"), BM_CLICK, 0, 0); },
        [] { SendMessageW(Main().Control("btnCancel"), BM_CLICK, 0, 0); },
        [] { PressKey('C', false, false, true); },     // Alt+C: Cancel's access key
        [] { PressKey(VK_F4, false, true, false); },  // File > Close by its shortcut
        [] { SendMessageW(Main().Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    int way = 0;
    for (const auto& close : ways) {
        ClearQuit();
        OpenMain();
        startMenu.Show();
        Pump(30);
        SetForegroundWindow(Main().Hwnd());
        ASSERT_TRUE(PumpUntil([] { return GetForegroundWindow() == Main().Hwnd(); }));
        close();
        EXPECT_TRUE(PumpUntil([] { return !Main().IsLoaded(); })) << way;
        Pump(30);
        EXPECT_TRUE(startMenu.IsLoaded()) << way;
        EXPECT_FALSE(QuitPosted()) << "another window keeps the program running, way " << way;
        EXPECT_TRUE(IsWindowEnabled(startMenu.Hwnd()));

        // The program ends with its last window, and the main window does not
        // come back.
        SendMessageW(startMenu.Control("btnCancel"), BM_CLICK, 0, 0);
        EXPECT_TRUE(PumpUntil([] { return QuitPosted(); })) << way;
        EXPECT_FALSE(Main().IsLoaded());
        ++way;
    }
}

TEST_F(Forms, OpeningAWindowTwiceShowsOneBroughtToTheFront) {
    OpenMain();
    auto& startMenu = ui::Instance<links::frmStartMenu>();
    SendMessageW(Main().Control("btnStartMenu"), BM_CLICK, 0, 0);
    Pump(30);
    HWND first = startMenu.Hwnd();
    ASSERT_NE(first, nullptr);
    SetForegroundWindow(Main().Hwnd());
    Pump(30);
    SendMessageW(Main().Hwnd(), WM_COMMAND, 0, 0);  // nothing: no such item
    PressKey('M', false, true, false);
    Pump(30);
    EXPECT_EQ(startMenu.Hwnd(), first);
    EXPECT_EQ(GetForegroundWindow(), first);
    int shown = 0;
    for (HWND w : VisibleWindows())
        shown += Text(w) == L"Start Menu";
    EXPECT_EQ(shown, 1);
}

TEST_F(Forms, AllSixWindowsOpenAtOnceBesideAUsableMainWindow) {
    OpenMain();
    for (const char* button : {"btnDesktopBackground", "btnDesktopShortcuts", "btnHomePage", "btnFavoritesMenu",
                               "btnStartMenu", "btnDesktopShortcuts"})
        SendMessageW(Main().Control(button), BM_CLICK, 0, 0);
    SetForegroundWindow(Main().Hwnd());
    Pump(30);
    PressKey('O', false, true, false);
    PressKey('O', false, true, false);
    Pump(30);
    std::map<std::wstring, int> shown;
    for (HWND w : VisibleWindows())
        ++shown[Text(w)];
    EXPECT_EQ(shown, (std::map<std::wstring, int>{{L"Tumblewick", 1},
                                                  {L"Desktop Background", 1},
                                                  {L"Desktop Shortcuts", 1},
                                                  {L"Home Page", 1},
                                                  {L"Favorites", 1},
                                                  {L"Start Menu", 1},
                                                  {L"About Tumblewick", 1}}));
    EXPECT_TRUE(IsWindowEnabled(Main().Hwnd()));
}

TEST_F(Forms, TheWebsiteCommandReturnsAtOnceAndSaysNothing) {
    OpenMain();
    MessageBoxWatcher boxes;
    auto start = std::chrono::steady_clock::now();
    PressKey('K', false, true, false);
    auto took = std::chrono::steady_clock::now() - start;
    Pump(500);
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_TRUE(Main().IsLoaded());
}

// Controls that overlap show the later row of the table in front, and
// readers meet siblings in that order too.
TEST_F(Forms, EveryFormStacksItsControlsLaterRowsInFront) {
    for (ui::Form* form : std::initializer_list<ui::Form*>{
             &Splash(), &Main(), &ui::Instance<links::frmStartMenu>(), &ui::Instance<links::frmDesktopShortcuts>(),
             &ui::Instance<links::frmFavoritesMenu>(), &ui::Instance<settings::frmHomePage>(),
             &ui::Instance<settings::frmDesktopBackground>(), &ui::Instance<app::frmAbout>()}) {
        form->Show();
        const ui::FormDef& def = form->Def();
        std::map<HWND, std::vector<std::wstring>> expected, stacked;
        for (const ui::ControlDef& control : def.controls) {
            HWND parent = control.parent ? form->Control(control.parent) : form->Hwnd();
            expected[parent].insert(expected[parent].begin(), platform::FromAnsi(control.name));
        }
        for (const auto& [parent, names] : expected)
            for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                stacked[parent].push_back(ui::ControlName(child));
        EXPECT_EQ(stacked, expected) << def.name;
        form->Unload();
    }
}

TEST_F(Forms, EveryNameAFormActsOnIsInItsTable) {
    for (ui::Form* form : std::initializer_list<ui::Form*>{
             &Splash(), &Main(), &ui::Instance<links::frmStartMenu>(), &ui::Instance<links::frmDesktopShortcuts>(),
             &ui::Instance<links::frmFavoritesMenu>(), &ui::Instance<settings::frmHomePage>(),
             &ui::Instance<settings::frmDesktopBackground>(), &ui::Instance<app::frmAbout>()}) {
        const ui::FormDef& def = form->Def();
        for (std::string_view name : form->ClickNames()) {
            bool found = false;
            for (const ui::ControlDef& control : def.controls)
                found = found || name == control.name;
            for (const ui::MenuDef& item : def.menu)
                found = found || (item.menu != nullptr && name == item.name);
            EXPECT_TRUE(found) << def.name << " acts on " << name << ", which it does not have";
        }
    }
}

TEST_F(Forms, KeyboardCuesAppearWithTheFirstTab) {
    OpenMain();
    HWND window = Main().Hwnd();
    // Opened with the mouse: no focus rectangle, no access-key underlines.
    EXPECT_EQ(SendMessageW(window, WM_QUERYUISTATE, 0, 0), UISF_HIDEFOCUS | UISF_HIDEACCEL);
    PressKey(VK_TAB);
    Pump(50);
    EXPECT_EQ(ui::ControlName(GetFocus()), L"btnCancel");
    EXPECT_EQ(SendMessageW(window, WM_QUERYUISTATE, 0, 0), 0);


    // An access key shows them too; the window it opens starts without them.
    Main().Unload();
    Pump(20);
    OpenMain();
    PressKey('S', false, false, true);
    auto& desktop = ui::Instance<links::frmDesktopShortcuts>();
    ASSERT_TRUE(PumpUntil([&] { return desktop.IsLoaded(); }));
    EXPECT_EQ(SendMessageW(Main().Hwnd(), WM_QUERYUISTATE, 0, 0), 0);
    EXPECT_EQ(SendMessageW(desktop.Hwnd(), WM_QUERYUISTATE, 0, 0), UISF_HIDEFOCUS | UISF_HIDEACCEL);
}

TEST_F(Forms, KeyboardCuesTheUserAlwaysWantsShowFromTheStart) {
    KeyboardCuesAlways always(TRUE);
    OpenMain();
    EXPECT_EQ(SendMessageW(Main().Hwnd(), WM_QUERYUISTATE, 0, 0), 0);
}

// High contrast asked for and the button colours set, for one case; both
// put back as they were at its end, on failure too.
class HighContrast {
public:
    HighContrast(COLORREF face, COLORREF buttonText, COLORREF windowText) {
        SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast_), &contrast_, 0);
        contrast_.lpszDefaultScheme = nullptr;
        flags_ = contrast_.dwFlags;
        contrast_.dwFlags |= HCF_HIGHCONTRASTON;
        SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(contrast_), &contrast_, 0);  // Wine: not kept
        const COLORREF colours[] = {face, buttonText, windowText};
        for (int i = 0; i < 3; ++i)
            saved_[i] = GetSysColor(kElements[i]);
        EXPECT_TRUE(SetSysColors(3, kElements, colours));
    }
    ~HighContrast() {
        SetSysColors(3, kElements, saved_);
        contrast_.dwFlags = flags_;
        SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(contrast_), &contrast_, 0);
    }
    HighContrast(const HighContrast&) = delete;
    HighContrast& operator=(const HighContrast&) = delete;

private:
    static constexpr int kElements[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOWTEXT};
    HIGHCONTRASTW contrast_{sizeof(contrast_)};
    DWORD flags_ = 0;
    COLORREF saved_[3] = {};
};

// Every label of the main window and About, as its window colours it: text
// and background.
std::map<std::string, std::pair<COLORREF, COLORREF>> LabelColours() {
    auto& main = Main();
    main.Show();
    auto& about = ui::Instance<app::frmAbout>();
    about.Show();
    Pump(50);
    std::map<std::string, std::pair<COLORREF, COLORREF>> colours;
    for (ui::Form* form : {static_cast<ui::Form*>(&main), static_cast<ui::Form*>(&about)})
        for (const ui::ControlDef& def : form->Def().controls) {
            if (def.kind != ui::Kind::Label)
                continue;
            HWND label = form->Control(def.name);
            HDC dc = CreateCompatibleDC(nullptr);
            auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(label), WM_CTLCOLORSTATIC,
                                                               reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(label)));
            LOGBRUSH background{};
            GetObjectW(brush, sizeof(background), &background);
            EXPECT_EQ(GetBkColor(dc), background.lbColor) << def.name;
            colours[def.name] = {GetTextColor(dc), background.lbColor};
            DeleteDC(dc);
        }
    return colours;
}

TEST_F(Forms, InHighContrastBlackEveryLabelReadsOnItsBackground) {
    HighContrast dark(RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 255, 0));
    const auto colours = LabelColours();
    EXPECT_EQ(colours.size(), 5u);
    for (const auto& [name, colour] : colours)
        EXPECT_EQ(colour, std::pair(RGB(255, 255, 255), RGB(0, 0, 0))) << name;
}

// Windows reports high contrast on once it is asked for, and then even on a
// light face no label stays black: each takes the button text colour.
TEST_F(Forms, InHighContrastOnALightFaceLabelsTakeTheButtonTextColour) {
    HighContrast light(RGB(255, 255, 255), RGB(0, 0, 160), RGB(0, 0, 160));
    HIGHCONTRASTW contrast{sizeof(contrast)};
    SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0);
    if (!(contrast.dwFlags & HCF_HIGHCONTRASTON) && UnderWine())
        GTEST_SKIP() << "Wine does not report high contrast on";
    EXPECT_TRUE(contrast.dwFlags & HCF_HIGHCONTRASTON);
    for (const auto& [name, colour] : LabelColours())
        EXPECT_EQ(colour, std::pair(GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE))) << name;
}

TEST_F(Forms, TheWindowsCarryTheIconAtBothItsSizes) {
    OpenMain();
    for (auto [which, size] : {std::pair{ICON_SMALL, 16}, std::pair{ICON_BIG, 32}}) {
        HICON icon = ShownIcon(Main().Hwnd(), which);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << size;
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        EXPECT_EQ(bitmap.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST_F(Forms, ANewDpiTakesTheSuggestedRectangleAndMeasuresAnew) {
    OpenMain();
    HWND window = Main().Hwnd();
    const UINT dpi = Main().Dpi() == 144 ? 96 : 144;
    RECT suggested{40, 30, 40 + ui::TwipsToPixels(9930, dpi) + 20, 30 + ui::TwipsToPixels(6885, dpi) + 60};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump(20);
    RECT now;
    GetWindowRect(window, &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    EXPECT_EQ(now.right, suggested.right);
    EXPECT_EQ(now.bottom, suggested.bottom);
    RECT ok;
    HWND button = Main().Control("btnOK");
    GetWindowRect(button, &ok);
    EXPECT_EQ(ok.right - ok.left, ui::TwipsToPixels(7200 + 1215, dpi) - ui::TwipsToPixels(7200, dpi));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(825, static_cast<int>(dpi), 7200));
}

// A form whose handler fails without trapping it, as any untrapped failure
// reaches the top level.
class FailingForm : public ui::Form {
public:
    FailingForm() : Form(kDef) {}
    void Click(std::string_view) override { throw platform::Failure(53, L"File not found"); }
    std::vector<std::string_view> ClickNames() const override { return {"btnFail"}; }

private:
    static constexpr ui::ControlDef kControls[] = {
        {.name = "btnFail", .kind = ui::Kind::Button, .rect = {120, 120, 1215, 495}, .tabIndex = 0, .caption = L"Fail"}};
    static constexpr ui::FormDef kDef{.name = "frmFailing", .caption = L"Failing", .border = ui::Border::FixedSingle,
                                      .clientWidth = 3000, .clientHeight = 1500, .controls = kControls};
};

TEST_F(Forms, AnUntrappedFailureIsShownAndEndsTheProgram) {
    auto& form = ui::Instance<FailingForm>();
    MessageBoxWatcher boxes;
    const int code = ui::RunProgram([&] {
        form.Show();
        PostMessageW(form.Control("btnFail"), BM_CLICK, 0, 0);
    });
    std::vector<MessageBoxSeen> seen = boxes.Seen();
    EXPECT_EQ(code, 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"Tumblewick");
    EXPECT_NE(seen[0].text.find(L"53"), std::wstring::npos) << seen[0].text;
    EXPECT_NE(seen[0].text.find(L"File not found"), std::wstring::npos) << seen[0].text;
    form.Unload();
}

// Forms that fail in their load or their key handler with a failure of any
// kind, as a program's first window would. Each program run starts unfailed.
class FailingLoadForm : public ui::Form {
public:
    FailingLoadForm() : Form(kDef) {}
    void Form_Load() override { throw std::runtime_error("load went wrong"); }
    void Click(std::string_view) override {}
    std::vector<std::string_view> ClickNames() const override { return {}; }

private:
    static constexpr ui::FormDef kDef{.name = "frmFailingLoad", .caption = L"Failing", .border = ui::Border::FixedSingle,
                                      .clientWidth = 3000, .clientHeight = 1500};
};

class FailingKeyForm : public ui::Form {
public:
    FailingKeyForm() : Form(kDef) {}
    void Form_KeyPress(wchar_t) override { throw std::runtime_error("key went wrong"); }
    void Click(std::string_view) override {}
    std::vector<std::string_view> ClickNames() const override { return {}; }

private:
    static constexpr ui::FormDef kDef{.name = "frmFailingKey", .caption = L"Failing", .border = ui::Border::FixedSingle,
                                      .keyPreview = true, .clientWidth = 3000, .clientHeight = 1500};
};

TEST_F(Forms, AFailureOfAnyKindInALoadOrAKeyIsShownOnceAndEndsTheProgram) {
    struct Case {
        const char* what;
        std::function<void()> start;
        const wchar_t* text;
    } cases[] = {
        {"load", [] { ui::Instance<FailingLoadForm>().Show(); }, L"load went wrong"},
        {"key",
         [] {
             ui::Instance<FailingKeyForm>().Show();
             PostMessageW(ui::Instance<FailingKeyForm>().Hwnd(), WM_CHAR, 'x', 0);
         },
         L"key went wrong"},
    };
    for (const Case& c : cases) {
        MessageBoxWatcher boxes;
        const int code = ui::RunProgram(c.start);
        std::vector<MessageBoxSeen> seen = boxes.Seen();
        ASSERT_EQ(seen.size(), 1u) << c.what;
        EXPECT_EQ(seen[0].title, L"Tumblewick") << c.what;
        EXPECT_EQ(seen[0].text, L"Error 1359:\n\n" + std::wstring(c.text)) << c.what;
        EXPECT_EQ(code, 1) << c.what;
        ui::Instance<FailingKeyForm>().Unload();
        Pump(20);
        EXPECT_EQ(ui::LoadedFormCount(), 0) << c.what;
    }
}

}  // namespace
