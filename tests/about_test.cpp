#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/about.h"
#include "app/system_info.h"
#include "tests/support/ui_driver.h"
#include "ui/twips.h"

using namespace tw_test;
namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kToolKey = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const wchar_t* kFolderKey = L"SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const wchar_t* kScratchKey = L"SOFTWARE\\Tumblewick About Test";
constexpr const wchar_t* kUnavailable = L"System Information Is Unavailable At This Time";

// Where the stand-ins are put; C:\ of the prefix lies in the build tree.
const fs::path kRoot = L"C:\\tw test";
const fs::path kTool = kRoot / L"Program Files\\x\\msinfo32.exe";
const fs::path kDecoy = kRoot / L"Program.exe";
const fs::path kFolder = kRoot / L"Shared\\MSInfo";
const fs::path kFolderTool = kFolder / L"MSINFO32.EXE";
const fs::path kLog = kRoot / L"ran.log";

fs::path FakeTool() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path() / L"fake_msinfo.exe";
}

void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(handle);
}

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text) {
    SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void CleanRegistry() {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFolderKey, 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
        RegDeleteValueW(handle, L"MSINFO");
        RegCloseKey(handle);
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kToolKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kScratchKey);
}

void Place(const fs::path& copy) {
    fs::create_directories(copy.parent_path());
    fs::copy_file(FakeTool(), copy, fs::copy_options::overwrite_existing);
}

struct ToolRun {
    std::wstring exe, commandLine, flags, show;
};

// The runs of the stand-in, one per line of its log.
std::vector<ToolRun> Runs() {
    std::ifstream in(kLog, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    std::vector<ToolRun> runs;
    std::wistringstream lines(text);
    for (std::wstring line; std::getline(lines, line);) {
        ToolRun run;
        std::wistringstream fields(line);
        std::getline(fields, run.exe, L'\t');
        std::getline(fields, run.commandLine, L'\t');
        std::getline(fields, run.flags, L'\t');
        std::getline(fields, run.show, L'\t');
        runs.push_back(run);
    }
    return runs;
}

bool SamePath(const std::wstring& a, const fs::path& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

class AboutTest : public testing::Test {
protected:
    void SetUp() override {
        CleanRegistry();
        fs::remove_all(kRoot);
        Place(kTool);
        Place(kDecoy);
        Place(kFolderTool);
        SetEnvironmentVariableW(L"TW_FAKE_MSINFO_LOG", kLog.c_str());
        about.Show();
        Pump(100);
        ASSERT_TRUE(about.IsLoaded());
    }
    void TearDown() override {
        about.Unload();
        Pump(50);
        CleanRegistry();
        if (fs::exists(kFolderTool))
            SetFileAttributesW(kFolderTool.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ignored;
        fs::remove_all(kRoot, ignored);
    }

    // Clicks System Info; returns the message boxes it showed.
    std::vector<MessageBoxSeen> ClickSysInfo() {
        MessageBoxWatcher watcher;
        SendMessageW(about.Control("cmdSysInfo"), BM_CLICK, 0, 0);
        Pump(50);
        return watcher.Seen();
    }
    void ExpectStarted(const fs::path& tool) {
        ASSERT_TRUE(PumpUntil([] { return !Runs().empty(); }, 15000)) << "nothing started";
        Pump(1000);  // anything else started would have logged by now
        std::vector<ToolRun> runs = Runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_TRUE(SamePath(runs[0].exe, tool)) << runs[0].exe;
        EXPECT_EQ(runs[0].commandLine, L"\"" + tool.wstring() + L"\"");
        EXPECT_EQ(runs[0].flags, std::to_wstring(STARTF_USESHOWWINDOW));
        EXPECT_EQ(runs[0].show, std::to_wstring(SW_SHOWNORMAL));
        EXPECT_TRUE(about.IsLoaded());
    }
    void ExpectUnavailable(const std::vector<MessageBoxSeen>& seen) {
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, kUnavailable);
        Pump(1500);
        EXPECT_TRUE(Runs().empty()) << "started " << Runs()[0].exe;
        EXPECT_TRUE(about.IsLoaded());
        EXPECT_TRUE(IsWindowEnabled(about.Hwnd()));
    }

    app::frmAbout& about = ui::Instance<app::frmAbout>();
};

}  // namespace

TEST(GetKeyValue, ReadsTextAndNumbersWithinTheBuffer) {
    CleanRegistry();
    std::string value = "keep";
    EXPECT_FALSE(app::GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tumblewick About Test", "PATH", value));
    EXPECT_EQ(value, "");

    const char path[] = "C:\\Program Files\\tool\\msinfo32.exe";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kScratchKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "WithNul", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path));
    RegSetValueExA(key, "WithoutNul", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path) - 1);
    const std::string fits(1023, 'a'), over(1024, 'a');  // 1024 and 1025 bytes with the NUL
    RegSetValueExA(key, "Fits", 0, REG_SZ, reinterpret_cast<const BYTE*>(fits.c_str()), 1024);
    RegSetValueExA(key, "Over", 0, REG_SZ, reinterpret_cast<const BYTE*>(over.c_str()), 1025);
    const DWORD number = 0x0001F400, zero = 0;
    RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    RegSetValueExA(key, "Zero", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof(zero));
    const BYTE binary[] = {'C', ':', '\\', 0};
    RegSetValueExA(key, "Binary", 0, REG_BINARY, binary, sizeof(binary));
    RegCloseKey(key);

    auto read = [](const char* name, std::string& out) {
        return app::GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tumblewick About Test", name, out);
    };
    value = "keep";
    EXPECT_FALSE(read("Missing", value));
    EXPECT_EQ(value, "");
    ASSERT_TRUE(read("WithNul", value));
    EXPECT_EQ(value, path);
    value.clear();
    ASSERT_TRUE(read("WithoutNul", value));
    EXPECT_EQ(value, path);
    ASSERT_TRUE(read("Fits", value));
    EXPECT_EQ(value, fits);
    value = "keep";
    EXPECT_FALSE(read("Over", value));
    EXPECT_EQ(value, "");
    ASSERT_TRUE(read("Number", value));
    EXPECT_EQ(value, "1F400");
    ASSERT_TRUE(read("Zero", value));
    EXPECT_EQ(value, "0");
    value = "keep";
    ASSERT_TRUE(read("Binary", value));
    EXPECT_EQ(value, "keep");
    CleanRegistry();
}

TEST_F(AboutTest, FirstLocationStartsItsProgramAndSecondIsNotRead) {
    SetText(kToolKey, L"PATH", kTool.wstring());
    SetText(kFolderKey, L"MSINFO", kFolder.wstring());
    EXPECT_TRUE(ClickSysInfo().empty());
    ExpectStarted(kTool);
}

TEST_F(AboutTest, PathWithBlanksStartsTheFileItNames) {
    ASSERT_TRUE(fs::exists(kDecoy));  // "C:\tw test\Program.exe", the path's first word
    SetText(kToolKey, L"PATH", kTool.wstring());
    EXPECT_TRUE(ClickSysInfo().empty());
    ExpectStarted(kTool);
}

TEST_F(AboutTest, SecondLocationFolderWithTheToolStartsIt) {
    SetText(kFolderKey, L"MSINFO", kFolder.wstring());
    EXPECT_TRUE(ClickSysInfo().empty());
    ExpectStarted(kFolder / L"MSINFO32.EXE");
}

TEST_F(AboutTest, FirstLocationNamingNoFileShowsTheMessageOnly) {
    SetText(kToolKey, L"PATH", (kRoot / L"missing\\msinfo32.exe").wstring());
    SetText(kFolderKey, L"MSINFO", kFolder.wstring());
    ExpectUnavailable(ClickSysInfo());
}

TEST_F(AboutTest, FirstLocationOfAnotherTypeShowsTheMessageOnly) {
    SetText(kFolderKey, L"MSINFO", kFolder.wstring());
    const std::wstring path = kTool.wstring();
    std::wstring multi = path + L'\0' + L'\0';
    struct Case {
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {
        {REG_BINARY, path.c_str(), static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))},
        {REG_MULTI_SZ, multi.c_str(), static_cast<DWORD>(multi.size() * sizeof(wchar_t))},
        {REG_EXPAND_SZ, path.c_str(), static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        SetValue(kToolKey, L"PATH", c.type, c.data, c.size);
        ExpectUnavailable(ClickSysInfo());
    }
}

TEST_F(AboutTest, ToolThatIsNoNormalFileIsNotFound) {
    SetText(kFolderKey, L"MSINFO", kFolder.wstring());
    for (DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        SCOPED_TRACE(attribute);
        ASSERT_TRUE(SetFileAttributesW(kFolderTool.c_str(), attribute));
        ASSERT_EQ(GetFileAttributesW(kFolderTool.c_str()) & attribute, attribute) << "attribute not kept";
        ExpectUnavailable(ClickSysInfo());
    }
    SetFileAttributesW(kFolderTool.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove(kFolderTool);
    fs::create_directories(kFolderTool);  // a folder of that name
    ExpectUnavailable(ClickSysInfo());
    fs::remove(kFolderTool);
    ExpectUnavailable(ClickSysInfo());  // the folder without the tool
}

TEST_F(AboutTest, NeitherLocationShowsThePlainMessage) {
    std::vector<MessageBoxSeen> seen = ClickSysInfo();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"Tumblewick");
    EXPECT_EQ(seen[0].text, kUnavailable);
    EXPECT_EQ(seen[0].buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(seen[0].hasIcon);
    EXPECT_TRUE(about.IsLoaded());
}

TEST_F(AboutTest, ValueOverTheBufferShowsTheMessage) {
    SetText(kToolKey, L"PATH", L"C:\\" + std::wstring(1100, L'a') + L"\\msinfo32.exe");
    ExpectUnavailable(ClickSysInfo());
}

TEST_F(AboutTest, WindowShowsTitleVersionAndText) {
    HWND hwnd = about.Hwnd();
    EXPECT_EQ(Text(hwnd), L"About Tumblewick");
    EXPECT_EQ(Text(about.Control("lblTitle")), L"Tumblewick");
    EXPECT_EQ(Text(about.Control("lblVersion")), L"Version 1.0.0");
    EXPECT_EQ(Text(about.Control("lblDescription")),
              L"Tumblewick provides parents and children the ability to easily put the favorite kids website links "
              L"on their desktop, favorites menu and start menu. It also allows customization of the I.E. Desktop "
              L"and I.E. Home Page.");
    EXPECT_FALSE(Text(about.Control("lblDisclaimer")).empty());
    EXPECT_EQ(Text(about.Control("cmdOK")), L"OK");
    EXPECT_EQ(Text(about.Control("cmdSysInfo")), L"&System Info...");

    LONG style = GetWindowLongW(hwnd, GWL_STYLE), exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
    EXPECT_NE(GetWindow(hwnd, GW_OWNER), nullptr);  // owned windows stay off the task bar
    EXPECT_NE(ShownIcon(hwnd, ICON_BIG), nullptr);

    for (const char* name : {"lblTitle", "lblVersion", "lblDescription", "lblDisclaimer", "cmdOK", "cmdSysInfo"}) {
        SCOPED_TRACE(name);
        FontInfo font = FontOf(about.Control(name));
        EXPECT_EQ(font.face, L"Comic Sans MS");
        EXPECT_NEAR(font.points, 8.25, 72.0 / ScreenDpi());
        EXPECT_EQ(font.weight, FW_NORMAL);
    }
    // The colour the window hands each label to draw its text in.
    HDC dc = CreateCompatibleDC(nullptr);
    for (const char* name : {"lblTitle", "lblDescription", "lblDisclaimer"}) {
        SetTextColor(dc, RGB(1, 2, 3));
        SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(about.Control(name)));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0)) << name;
    }
    DeleteDC(dc);
}

namespace {
// A measure in twips as the window shows it: exact where it falls on a whole
// pixel, within a pixel where the pixel grid must round it.
void ExpectTwips(int actual, int expected, UINT dpi, const char* what) {
    int slack = (expected * static_cast<int>(dpi)) % 1440 == 0 ? 0 : (1440 + dpi - 1) / dpi;
    EXPECT_LE(std::abs(actual - expected), slack) << what << ": " << actual << " for " << expected;
}

// A control's edges inside the window, in twips: left, top, right, bottom.
RECT EdgesTwips(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    UINT dpi = ui::WindowDpi(control);
    return {ui::PixelsToTwips(r.left, dpi), ui::PixelsToTwips(r.top, dpi), ui::PixelsToTwips(r.right, dpi),
            ui::PixelsToTwips(r.bottom, dpi)};
}
}  // namespace

TEST_F(AboutTest, GeometryInTwips) {
    const UINT dpi = ScreenDpi();
    SIZE client = ClientTwips(about.Hwnd());
    ExpectTwips(client.cx, 5730, dpi, "client width");
    ExpectTwips(client.cy, 3555, dpi, "client height");

    const std::pair<const char*, ui::Rect> table[] = {
        {"picIcon", {240, 240, 540, 540}},         {"lblTitle", {1050, 240, 3885, 480}},
        {"lblVersion", {1050, 780, 3885, 225}},    {"lblDescription", {1050, 1125, 3885, 1170}},
        {"lblDisclaimer", {255, 2625, 3870, 825}}, {"cmdOK", {4245, 2625, 1260, 345}},
        {"cmdSysInfo", {4260, 3075, 1245, 345}},
    };
    for (const auto& [name, rect] : table)
        ExpectRect(about.Control(name), rect);

    // The icon box: a sunken border round the 32 x 32 icon.
    HWND icon = about.Control("picIcon");
    EXPECT_TRUE(GetWindowLongW(icon, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    if (dpi == 96) {
        SIZE inside = ClientTwips(icon);
        EXPECT_EQ(inside.cx, 480);
        EXPECT_EQ(inside.cy, 480);
    }

    // Both lines answer to Line1: grey 1 pixel over white 2 pixels.
    std::vector<HWND> lines;
    for (HWND child = GetWindow(about.Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ui::ControlName(child) == L"Line1")
            lines.push_back(child);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), about.Control("Line1")), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), ui::FindControl(about.Hwnd(), L"Line1")), lines.end());
    struct Line {
        int x1, y1, x2, pixels;
        COLORREF color;
    } expected[] = {{90, 2445, 5654, 1, RGB(128, 128, 128)}, {105, 2460, 5654, 2, RGB(255, 255, 255)}};
    UpdateWindow(about.Hwnd());
    Pump(100);
    HDC dc = GetDC(about.Hwnd());
    for (const Line& line : expected) {
        SCOPED_TRACE(line.y1);
        HWND match = nullptr;
        for (HWND hwnd : lines)
            if (about.ControlDefOf(hwnd)->color == line.color)
                match = hwnd;
        ASSERT_NE(match, nullptr);
        RECT edges = EdgesTwips(match);
        ExpectTwips(edges.left, line.x1, dpi, "x1");
        ExpectTwips(edges.top, line.y1, dpi, "y");
        ExpectTwips(edges.right, line.x2, dpi, "x2");
        RECT pixels;
        GetClientRect(match, &pixels);
        EXPECT_EQ(pixels.bottom, line.pixels);
        POINT at{pixels.right / 2, pixels.bottom - 1};
        MapWindowPoints(match, about.Hwnd(), &at, 1);
        EXPECT_EQ(GetPixel(dc, at.x, at.y), line.color);
    }
    ReleaseDC(about.Hwnd(), dc);
}

TEST_F(AboutTest, FocusStartsOnOKAndTabsThroughIconAndSysInfo) {
    EXPECT_EQ(ui::ControlName(GetFocus()), L"cmdOK");
    EXPECT_EQ(TabWalk(3), (std::vector<std::wstring>{L"picIcon", L"cmdSysInfo", L"cmdOK"}));
    EXPECT_EQ(TabWalk(3, true), (std::vector<std::wstring>{L"cmdSysInfo", L"picIcon", L"cmdOK"}));
}

namespace {
// A screen point on the window's close box, found by asking the window.
bool CloseBoxPoint(HWND hwnd, POINT& at) {
    RECT window, client;
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    for (int y = window.top; y < client.top; ++y)
        for (int x = window.right - 1; x > window.left; --x)
            if (SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                at = {x, y};
                return true;
            }
    return false;
}
}  // namespace

TEST_F(AboutTest, EnterEscOKAndCloseBoxEachClose) {
    struct Way {
        const char* name;
        std::function<void(app::frmAbout&)> act;
    } ways[] = {
        {"Enter on OK", [](app::frmAbout&) { PressKey(VK_RETURN); }},
        {"Enter on the icon", [](app::frmAbout& about) {
             SetFocus(about.Control("picIcon"));
             PressKey(VK_RETURN);
         }},
        {"Esc", [](app::frmAbout& about) {
             SetFocus(about.Control("cmdSysInfo"));
             PressKey(VK_ESCAPE);
         }},
        {"OK clicked", [](app::frmAbout& about) { ClickMouse(about.Control("cmdOK")); }},
        {"close box", [](app::frmAbout& about) {
             // Wine leaves a captioned window's frame to the window manager,
             // which the test display lacks, so a real click there reaches no
             // window; send what the close box sends.
             POINT at;
             ASSERT_TRUE(CloseBoxPoint(about.Hwnd(), at));
             PostMessageW(about.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(at.x, at.y));
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        about.Show();
        ASSERT_TRUE(PumpUntil([&] { return about.IsLoaded() && GetForegroundWindow() == about.Hwnd(); }));
        way.act(about);
        EXPECT_TRUE(PumpUntil([&] { return !about.IsLoaded(); }));
    }
}

TEST_F(AboutTest, OpeningTwiceLeavesOne) {
    HWND first = about.Hwnd();
    about.Show();
    Pump(100);
    EXPECT_EQ(about.Hwnd(), first);
    int count = 0;
    for (HWND hwnd : VisibleWindows())
        count += Text(hwnd) == L"About Tumblewick";
    EXPECT_EQ(count, 1);
    about.Unload();
    Pump(50);
    about.Show();  // loads afresh
    Pump(100);
    EXPECT_EQ(Text(about.Hwnd()), L"About Tumblewick");
    EXPECT_EQ(Text(about.Control("lblVersion")), L"Version 1.0.0");
}

// Run by the case below from the 32-bit tree: System Info with the tool
// registered in the 64-bit system folder. A message fails it.
TEST(DISABLED_Wow64, StartsTheToolOfTheNativeSystemFolder) {
    auto& about = ui::Instance<app::frmAbout>();
    about.Show();
    Pump(100);
    MessageBoxWatcher watcher;
    SendMessageW(about.Control("cmdSysInfo"), BM_CLICK, 0, 0);
    Pump(50);
    EXPECT_TRUE(watcher.Seen().empty());
    about.Unload();
    Pump(50);
}

// A 32-bit program on 64-bit Windows sees the 32-bit system folder under the
// name "System32"; the tool registered there is the 64-bit one all the same.
TEST_F(AboutTest, The32BitBuildStartsTheToolOfThe64BitSystemFolder) {
    wchar_t build[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"TW_WINE_64_ONLY", nullptr, 0) != 0 || sizeof(void*) != 8 ||
        GetEnvironmentVariableW(L"TW_BUILD", build, MAX_PATH) == 0)
        GTEST_SKIP() << "this host cannot run the 32-bit build";
    std::wstring unixTree = build;
    std::replace(unixTree.begin(), unixTree.end(), L'/', L'\\');
    const fs::path program = fs::path(L"Z:" + unixTree).parent_path() / L"i686\\tests\\about_test.exe";
    if (!fs::exists(program))
        GTEST_SKIP() << "the 32-bit tree is not built";

    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const fs::path tool = fs::path(system) / L"tw-sysinfo-stand-in.exe";
    fs::copy_file(FakeTool(), tool, fs::copy_options::overwrite_existing);
    // Both registry views name it, whichever the 32-bit build reads.
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kToolKey, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(tool.c_str()),
                       static_cast<DWORD>((tool.wstring().size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    std::wstring line = L"\"" + program.wstring() +
                        L"\" --gtest_also_run_disabled_tests --gtest_filter=DISABLED_Wow64.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &child));
    CloseHandle(child.hThread);
    const DWORD waited = WaitForSingleObject(child.hProcess, 120000);
    DWORD exitCode = 1;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hProcess);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kToolKey, KEY_WOW64_32KEY, 0);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(exitCode, 0u) << "the 32-bit build showed a message or failed";
    ExpectStarted(tool);
    DeleteFileW(tool.c_str());
}

