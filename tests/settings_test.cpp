// The Home-page and Desktop-background windows, clicked for real, against the
// real registry and file system of the test prefix.
#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "catalogue/catalogue.h"
#include "settings/desktop_background.h"
#include "settings/home_page.h"
#include "tests/support/ui_driver.h"

namespace {

namespace fs = std::filesystem;
using namespace tw_test;

const char kExplorerKey[] = "Software\\Microsoft\\Internet Explorer";
const char kMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kDesktopKey[] = "Control Panel\\Desktop";

const catalogue::Character& Row(int number) { return catalogue::Rows()[number - 1]; }

// A registry value exactly as stored.
struct Stored {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::string bytes;
};

Stored ReadValue(const char* keyPath, const char* name) {
    Stored value;
    HKEY key = nullptr;
    value.status = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key);
    if (value.status != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    value.status = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
    value.bytes.resize(size);
    if (value.status == ERROR_SUCCESS)
        value.status = RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(value.bytes.data()),
                                        &size);
    value.bytes.resize(size);
    RegCloseKey(key);
    return value;
}

DWORD ValueCount(const char* keyPath) {
    HKEY key = nullptr;
    DWORD count = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(key);
    }
    return count;
}

void WriteValue(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void WriteText(const char* keyPath, const char* name, const std::string& text) {
    WriteValue(keyPath, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

// Gives a key a DACL in SDDL form, e.g. one that denies Everyone a right.
void SetKeyDacl(const char* keyPath, const char* sddl) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    LocalFree(sd);
    RegCloseKey(key);
}

// A click as the button takes it. BM_CLICK rather than mouse input, as other
// test programs may be moving the pointer on the same display.
void ClickButton(HWND button) {
    ASSERT_NE(button, nullptr);
    SendMessageW(button, BM_CLICK, 0, 0);
}

// The three ways a picker window is closed.
struct Closing {
    const char* name;
    std::function<void(catalogue::PickerForm&)> act;
};
const Closing kClosings[] = {
    {"OK", [](catalogue::PickerForm& form) { ClickButton(form.Control("btnOK")); }},
    {"Cancel", [](catalogue::PickerForm& form) { ClickButton(form.Control("btnCancel")); }},
    // The test display has no window manager to draw the close box; send
    // what it sends.
    {"close box", [](catalogue::PickerForm& form) { PostMessageW(form.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
};

// One picker window, opened fresh for each case, with message boxes watched.
template <class Window>
class PickerTest : public ::testing::Test {
protected:
    void SetUp() override { boxes_ = std::make_unique<MessageBoxWatcher>(); }
    void TearDown() override {
        if (window().IsLoaded())
            window().Unload();
        Pump(50);
        boxes_.reset();
    }

    Window& window() { return ui::Instance<Window>(); }
    void Open() {
        window().Show();
        ASSERT_TRUE(PumpUntil([&] { return window().IsLoaded() && GetForegroundWindow() == window().Hwnd(); }));
    }
    void Click(int number) {
        ClickButton(window().Control(Row(number).controlName));
        Pump(100);
    }
    // Opens and closes the window each way without a click in between.
    void OpenAndCloseEachWay() {
        for (const Closing& closing : kClosings) {
            SCOPED_TRACE(closing.name);
            Open();
            closing.act(window());
            EXPECT_TRUE(PumpUntil([&] { return !window().IsLoaded(); }));
        }
    }
    // After clicks: no message seen, and the window still open and usable.
    void ExpectSilentAndOpen() {
        EXPECT_TRUE(boxes_->Seen().empty());
        EXPECT_TRUE(window().IsLoaded());
        EXPECT_TRUE(IsWindowVisible(window().Hwnd()) && IsWindowEnabled(window().Hwnd()));
    }

    std::unique_ptr<MessageBoxWatcher> boxes_;
};

class HomePageTest : public PickerTest<settings::frmHomePage> {
protected:
    // The cases delete the user's Internet Explorer settings; they come back
    // after the last case, whatever its outcome.
    static void SetUpTestSuite() { backup_ = new tw_test::KeyTreeBackup(L"Software\\Microsoft\\Internet Explorer"); }
    static void TearDownTestSuite() {
        UnlockMain();
        delete backup_;
    }
    static inline tw_test::KeyTreeBackup* backup_ = nullptr;
    // An earlier case may have left a "Main" that refuses writes and deletion.
    static void UnlockMain() {
        if (HKEY main = nullptr; RegOpenKeyExA(HKEY_CURRENT_USER, kMainKey, 0, KEY_READ, &main) == ERROR_SUCCESS) {
            RegCloseKey(main);
            SetKeyDacl(kMainKey, "D:(A;;KA;;;WD)");
        }
    }

    void SetUp() override {
        PickerTest::SetUp();
        UnlockMain();
        RegDeleteTreeA(HKEY_CURRENT_USER, kExplorerKey);
        ASSERT_EQ(ReadValue(kExplorerKey, nullptr).status, ERROR_FILE_NOT_FOUND);
    }
    // The start page must be the link target with one NUL, as a REG_SZ.
    void ExpectStartPage(const std::string& target) {
        Stored value = ReadValue(kMainKey, "Start Page");
        ASSERT_EQ(value.status, ERROR_SUCCESS);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value.bytes.size(), target.size() + 1);
        EXPECT_EQ(value.bytes, target + '\0');
    }
};

TEST_F(HomePageTest, ClickCreatesTheMissingKeyAndStoresTheTargetExactly) {
    Open();
    Click(22);
    ExpectStartPage(Row(22).linkTarget);
    const std::string bytes = ReadValue(kMainKey, "Start Page").bytes;
    EXPECT_EQ(bytes.substr(bytes.size() - 3), std::string("&&", 3));
    EXPECT_EQ(ValueCount(kMainKey), 1u);
    ExpectSilentAndOpen();
}

TEST_F(HomePageTest, LatestClickWinsAndCancelKeepsIt) {
    Open();
    Click(22);
    Click(7);
    ExpectStartPage(Row(7).linkTarget);
    EXPECT_NE(ReadValue(kMainKey, "Start Page").bytes.find("isbn=&catalogID=&eventID="), std::string::npos);
    Click(7);
    ExpectStartPage(Row(7).linkTarget);
    ExpectSilentAndOpen();
    ClickButton(window().Control("btnCancel"));
    ASSERT_TRUE(PumpUntil([&] { return !window().IsLoaded(); }));
    ExpectStartPage(Row(7).linkTarget);
}

TEST_F(HomePageTest, ReplacesAStartPageOfAnotherType) {
    const DWORD number = 0x12345678;
    WriteValue(kMainKey, "Start Page", REG_DWORD, &number, sizeof(number));
    Open();
    Click(3);
    ExpectStartPage(Row(3).linkTarget);
    ExpectSilentAndOpen();
}

TEST_F(HomePageTest, OpeningAndClosingWritesNothing) {
    OpenAndCloseEachWay();
    EXPECT_EQ(ReadValue(kExplorerKey, nullptr).status, ERROR_FILE_NOT_FOUND);

    WriteText(kMainKey, "Start Page", "http://before.example/");
    OpenAndCloseEachWay();
    ExpectStartPage("http://before.example/");
    EXPECT_EQ(ValueCount(kMainKey), 1u);
    EXPECT_TRUE(boxes_->Seen().empty());
}

TEST_F(HomePageTest, RefusedValueWriteIsFalseAndSilent) {
    WriteText(kMainKey, "Start Page", "http://before.example/");
    // The key opens, but Everyone is denied setting values in it.
    SetKeyDacl(kMainKey, "D:(D;;0x2;;;WD)(A;;KA;;;WD)");
    Open();
    EXPECT_FALSE(window().SetIEHomePage(Row(22).linkTarget));
    Click(22);
    ExpectStartPage("http://before.example/");
    ExpectSilentAndOpen();
}

TEST_F(HomePageTest, KeyThatCannotBeCreatedIsFalseAndSilent) {
    // A volatile parent takes no lasting subkey, so "Main" cannot be made.
    HKEY parent = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kExplorerKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_READ, nullptr,
                              &parent, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(parent);
    Open();
    EXPECT_FALSE(window().SetIEHomePage(Row(1).linkTarget));
    Click(1);
    EXPECT_EQ(ReadValue(kMainKey, nullptr).status, ERROR_FILE_NOT_FOUND);
    ExpectSilentAndOpen();
}

class DesktopBackgroundTest : public PickerTest<settings::frmDesktopBackground> {
protected:
    void SetUp() override {
        PickerTest::SetUp();
        std::error_code ignored;
        fs::remove(Picture(14), ignored);
        SystemParametersInfoA(SPI_GETDESKWALLPAPER, sizeof(users_), users_, 0);
        // Through the system, so that its own record agrees with the profile.
        char before[] = "c:\\before.bmp";
        ASSERT_TRUE(SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, before, SPIF_UPDATEINIFILE));
    }
    void TearDown() override {
        PickerTest::TearDown();
        std::error_code ignored;
        fs::remove(Picture(14), ignored);
        // The user's own wallpaper back, in the profile too.
        SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, users_, SPIF_UPDATEINIFILE);
    }
    static fs::path Picture(int number) { return catalogue::WallpaperPath(Row(number)); }
    char users_[MAX_PATH] = "";

    // The wallpaper recorded in the user's profile, and what the system
    // reports, must both be exactly `path`.
    void ExpectWallpaper(const std::string& path) {
        Stored value = ReadValue(kDesktopKey, "Wallpaper");
        ASSERT_EQ(value.status, ERROR_SUCCESS);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value.bytes, path + '\0');
        char current[MAX_PATH] = "";
        ASSERT_TRUE(SystemParametersInfoA(SPI_GETDESKWALLPAPER, sizeof(current), current, 0));
        EXPECT_EQ(std::string(current), path);
    }
};

TEST_F(DesktopBackgroundTest, ClickRecordsTheRowsPathEvenWithTheFileMissing) {
    ASSERT_FALSE(fs::exists(Picture(23)));
    ASSERT_FALSE(fs::exists(Picture(14)));
    Open();
    Click(23);
    ExpectWallpaper("c:\\share\\Tumblewick\\backgrounds\\character backgrounds\\pinkydinkydoo.bmp");
    ExpectSilentAndOpen();
    Click(14);
    ExpectWallpaper("c:\\share\\Tumblewick\\backgrounds\\character backgrounds\\bigbird.bmp");
    ExpectSilentAndOpen();
}

TEST_F(DesktopBackgroundTest, WithThePictureInPlaceTheWallpaperChangesAndCancelKeepsIt) {
    fs::create_directories(Picture(14).parent_path());
    auto bytes = catalogue::ButtonPicture(Row(14));
    HANDLE file = CreateFileW(Picture(14).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());

    Open();
    Click(14);
    const std::string path = catalogue::WallpaperPath(Row(14));
    ExpectWallpaper(path);
    ExpectSilentAndOpen();
    // What the desktop now loads is the picture the button shows.
    HBITMAP picture = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(picture, nullptr);
    BITMAP info{};
    GetObjectW(picture, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, Row(14).pictureWidth);
    EXPECT_EQ(info.bmHeight, Row(14).pictureHeight);
    DeleteObject(picture);

    ClickButton(window().Control("btnCancel"));
    ASSERT_TRUE(PumpUntil([&] { return !window().IsLoaded(); }));
    ExpectWallpaper(path);
}

TEST_F(DesktopBackgroundTest, FirstFocusActsOnBerenstainBears) {
    Open();
    ASSERT_EQ(GetFocus(), window().Control("btnBerenstainBears"));
    PressKey(VK_SPACE);
    Pump(150);
    ExpectWallpaper("c:\\share\\Tumblewick\\backgrounds\\character backgrounds\\bears.bmp");
    ExpectSilentAndOpen();
}

TEST_F(DesktopBackgroundTest, OpeningAndClosingChangesNothing) {
    OpenAndCloseEachWay();
    ExpectWallpaper("c:\\before.bmp");
    EXPECT_TRUE(boxes_->Seen().empty());
}

}  // namespace
