// The Desktop, Start-menu and Favorites windows driven through real clicks,
// with the user's three shell folders pointed at folders of the test's own.
#include "links/link_windows.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace tw_test;
namespace fs = std::filesystem;

const catalogue::Character& Row(int number) { return catalogue::Rows()[number - 1]; }
std::wstring Wide(const char* text) { return std::wstring(text, text + std::strlen(text)); }
std::string Shortcut(const char* target) { return std::string("[InternetShortcut]\r\nURL=") + target + "\r\n"; }

struct LinkWindow {
    ui::Form& form;
    const wchar_t* caption;
    const wchar_t* folder;     // the shell folder it writes into
    const wchar_t* firstFocus;
};

LinkWindow Windows(int i) {
    LinkWindow windows[] = {
        {ui::Instance<links::frmDesktopShortcuts>(), L"Desktop Shortcuts", L"Desktop", L"btnCancel"},
        {ui::Instance<links::frmStartMenu>(), L"Start Menu", L"Programs", L"btnCancel"},
        {ui::Instance<links::frmFavoritesMenu>(), L"Favorites", L"Favorites", L"btnOK"},
    };
    return windows[i];
}

std::set<std::wstring> Names(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().wstring());
    return names;
}

int CountShown(const wchar_t* caption) {
    int count = 0;
    for (HWND hwnd : VisibleWindows())
        count += Text(hwnd) == caption;
    return count;
}

class LinkWindowsTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = fs::path(temp) / L"tw-links" / testing::UnitTest::GetInstance()->current_test_info()->name();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
        for (const wchar_t* name : {L"Desktop", L"Programs", L"Favorites"}) {
            fs::create_directories(root_ / name);
            redirects_.push_back(std::make_unique<ShellFolderRedirect>(name, (root_ / name).wstring()));
        }
        boxes_ = std::make_unique<MessageBoxWatcher>();
    }
    void TearDown() override {
        EXPECT_TRUE(boxes_->Seen().empty()) << "a click showed a message";
        boxes_.reset();
        for (int i = 0; i < 3; ++i)
            Windows(i).form.Unload();
        ui::Instance<app::Form1>().Unload();
        Pump(20);
        ClearQuit();
        redirects_.clear();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    ui::Form& Open(int i) {
        ui::Form& form = Windows(i).form;
        form.Show();
        Pump(50);
        EXPECT_TRUE(form.IsLoaded());
        return form;
    }
    HWND Button(ui::Form& form, const char* name) { return form.Control(name); }
    std::string FileIn(const wchar_t* folder, const char* title) {
        return ReadFileBytes((root_ / folder / (std::string(title) + ".url")).wstring());
    }

    fs::path root_;
    std::vector<std::unique_ptr<ShellFolderRedirect>> redirects_;
    std::unique_ptr<MessageBoxWatcher> boxes_;
};

TEST_F(LinkWindowsTest, AllButtonsOfAWindowWriteTheirFilesIntoItsFolderOnly) {
    for (int i = 0; i < 3; ++i) {
        const LinkWindow w = Windows(i);
        SCOPED_TRACE(w.caption);
        ui::Form& form = Open(i);
        EXPECT_EQ(Text(form.Hwnd()), w.caption);
        std::set<std::wstring> expected;
        for (const catalogue::Character& row : catalogue::Rows()) {
            ClickMouse(Button(form, row.controlName));
            expected.insert(Wide(row.linkTitle) + L".url");
        }
        EXPECT_TRUE(form.IsLoaded());
        EXPECT_EQ(Names(root_ / w.folder), expected);
        for (const catalogue::Character& row : catalogue::Rows())
            EXPECT_EQ(FileIn(w.folder, row.linkTitle), Shortcut(row.linkTarget)) << row.linkTitle;
        for (const wchar_t* other : {L"Desktop", L"Programs", L"Favorites"})
            if (std::wstring(other) != w.folder) {
                EXPECT_TRUE(Names(root_ / other).empty()) << other;
            }
        form.Unload();
        for (const catalogue::Character& row : catalogue::Rows())
            fs::remove(root_ / w.folder / (Wide(row.linkTitle) + L".url"));
    }
}

TEST_F(LinkWindowsTest, OneCharacterInAllThreeWindowsGivesThreeIdenticalFiles) {
    const catalogue::Character& elmo = Row(18);  // an apostrophe in the title
    for (int i = 0; i < 3; ++i)
        ClickMouse(Button(Open(i), elmo.controlName));
    // A second click in one window writes the same bytes again.
    SendMessageW(Button(Windows(0).form, elmo.controlName), BM_CLICK, 0, 0);
    for (const wchar_t* folder : {L"Desktop", L"Programs", L"Favorites"}) {
        EXPECT_EQ(Names(root_ / folder), std::set<std::wstring>{L"Elmo's World.url"}) << folder;
        EXPECT_EQ(FileIn(folder, elmo.linkTitle), Shortcut(elmo.linkTarget)) << folder;
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Windows(i).form.IsLoaded());
}

TEST_F(LinkWindowsTest, StartMenuLinksLandInTheProgramsFolderThatWindowsLists) {
    redirects_[1].reset();  // the prefix's own Programs folder
    wchar_t roaming[MAX_PATH];
    ASSERT_NE(GetEnvironmentVariableW(L"APPDATA", roaming, MAX_PATH), 0u);
    const fs::path startMenu = fs::path(roaming) / L"Microsoft\\Windows\\Start Menu";
    const catalogue::Character& dora = Row(1);
    const fs::path file = startMenu / L"Programs" / (Wide(dora.linkTitle) + L".url");
    fs::remove(file);
    ClickMouse(Button(Open(1), dora.controlName));
    EXPECT_EQ(ReadFileBytes(file.wstring()), Shortcut(dora.linkTarget));
    EXPECT_FALSE(fs::exists(startMenu / (Wide(dora.linkTitle) + L".url")));
    fs::remove(file);
}

TEST_F(LinkWindowsTest, AQuickSecondClickWritesTheFileAgain) {
    ui::Form& form = Open(1);
    const catalogue::Character& dora = Row(1);
    const fs::path file = root_ / L"Programs" / L"Dora the Explorer.url";
    ClickMouse(Button(form, dora.controlName));
    ASSERT_TRUE(fs::exists(file));
    fs::remove(file);
    // Within the double-click time, on the same spot.
    ClickMouse(Button(form, dora.controlName));
    EXPECT_EQ(FileIn(L"Programs", dora.linkTitle), Shortcut(dora.linkTarget));
    EXPECT_TRUE(form.IsLoaded());
}

TEST_F(LinkWindowsTest, OkCancelAndTheCloseBoxLeaveEveryWrittenFile) {
    auto closeByCancel = [](ui::Form& form) { ClickMouse(form.Control("btnCancel")); };
    auto closeByOk = [](ui::Form& form) { ClickMouse(form.Control("btnOK")); };
    auto closeByBox = [](ui::Form& form) { SendMessageW(form.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); };
    auto closeByMessage = [](ui::Form& form) { SendMessageW(form.Hwnd(), WM_CLOSE, 0, 0); };
    const std::vector<std::function<void(ui::Form&)>> closers = {closeByCancel, closeByOk, closeByBox, closeByMessage};
    for (int i = 0; i < 3; ++i) {
        const LinkWindow w = Windows(i);
        SCOPED_TRACE(w.caption);
        for (std::size_t how = 0; how < closers.size(); ++how) {
            SCOPED_TRACE(testing::Message() << "way " << how);
            ui::Form& form = Open(i);
            const catalogue::Character& a = Row(1 + static_cast<int>(how) * 5);
            const catalogue::Character& b = Row(7);
            ClickMouse(Button(form, a.controlName));
            SendMessageW(Button(form, b.controlName), BM_CLICK, 0, 0);
            closers[how](form);
            Pump(20);
            EXPECT_FALSE(form.IsLoaded());
            EXPECT_EQ(CountShown(w.caption), 0);
            EXPECT_EQ(FileIn(w.folder, a.linkTitle), Shortcut(a.linkTarget));
            EXPECT_EQ(FileIn(w.folder, b.linkTitle), Shortcut(b.linkTarget));
        }
        EXPECT_EQ(Names(root_ / w.folder).size(), closers.size() + 1);
    }
}


TEST_F(LinkWindowsTest, MainWindowButtonThenMenuItemShowsOneWindow) {
    struct {
        int window;
        const char* button;
        const wchar_t* item;
        WORD ctrlKey;
    } ways[] = {{0, "btnDesktopShortcuts", L"Desktop &Shortcuts", 'S'},
                {1, "btnStartMenu", L"Start &Menu", 'M'},
                {2, "btnFavoritesMenu", L"&Favorites Menu", 'A'}};
    auto& main = ui::Instance<app::Form1>();
    main.Show();
    Pump(50);
    for (const auto& way : ways) {
        const LinkWindow w = Windows(way.window);
        SCOPED_TRACE(w.caption);
        SetForegroundWindow(main.Hwnd());
        Pump(20);
        ClickMouse(main.Control(way.button));
        Pump(50);
        ASSERT_TRUE(w.form.IsLoaded());
        HWND first = w.form.Hwnd();
        EXPECT_EQ(GetForegroundWindow(), first);
        EXPECT_EQ(GetWindow(first, GW_OWNER), nullptr);

        // Back to the main window, which stays usable, and its menu item.
        SetForegroundWindow(main.Hwnd());
        Pump(20);
        ASSERT_EQ(GetForegroundWindow(), main.Hwnd());
        const UINT item = MenuCommand(main.Hwnd(), way.item);
        ASSERT_NE(item, 0u);
        SendMessageW(main.Hwnd(), WM_COMMAND, MAKEWPARAM(item, 0), 0);
        Pump(50);
        EXPECT_EQ(w.form.Hwnd(), first);
        EXPECT_EQ(GetForegroundWindow(), first);
        EXPECT_EQ(CountShown(w.caption), 1);

        // And its shortcut key.
        SetForegroundWindow(main.Hwnd());
        Pump(20);
        PressKey(way.ctrlKey, false, true);
        Pump(50);
        EXPECT_EQ(w.form.Hwnd(), first);
        EXPECT_EQ(GetForegroundWindow(), first);
        EXPECT_EQ(CountShown(w.caption), 1);
    }
    EXPECT_TRUE(main.IsLoaded());
}

TEST_F(LinkWindowsTest, EscLeavesTheWindowOpenAndAReopenedWindowStartsAfresh) {
    for (int i = 0; i < 3; ++i) {
        const LinkWindow w = Windows(i);
        SCOPED_TRACE(w.caption);
        ui::Form& form = Open(i);
        EXPECT_EQ(ui::ControlName(GetFocus()), w.firstFocus);
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(form.IsLoaded());
        // Move the focus on and press a character, then close.
        SetFocus(Button(form, Row(12).controlName));
        PressKey(VK_SPACE);
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(form.IsLoaded());
        EXPECT_EQ(Names(root_ / w.folder), std::set<std::wstring>{Wide(Row(12).linkTitle) + L".url"});
        SendMessageW(form.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
        Pump(20);
        ASSERT_FALSE(form.IsLoaded());

        Open(i);
        EXPECT_EQ(CountShown(w.caption), 1);
        EXPECT_EQ(GetForegroundWindow(), form.Hwnd());
        EXPECT_EQ(ui::ControlName(GetFocus()), w.firstFocus);
        for (const catalogue::Character& row : catalogue::Rows())
            EXPECT_TRUE(IsWindowEnabled(Button(form, row.controlName)));
        EXPECT_EQ(Names(root_ / w.folder).size(), 1u);
        form.Unload();
    }
}

}  // namespace
