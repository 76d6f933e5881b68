// The shortcut writer against the real file system and registry of the test
// prefix: each case points the user's shell folders at folders of its own.
#include "links/shortcut_writer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/failure.h"
#include "platform/mouse_pointer.h"
#include "tests/support/ui_driver.h"

namespace {

namespace fs = std::filesystem;
using links::ShortcutState;
using links::WriteInternetShortcut;
using platform::MousePointer;

using tw_test::ShellFolderRedirect;

std::string ReadBytes(const fs::path& file) { return tw_test::ReadFileBytes(file.wstring()); }

void WriteBytes(const fs::path& file, const std::string& bytes) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
}

std::set<std::wstring> Names(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().wstring());
    return names;
}

std::string Shortcut(const std::string& target) { return "[InternetShortcut]\r\nURL=" + target + "\r\n"; }

const catalogue::Character& Row(int number) { return catalogue::Rows()[number - 1]; }

class ShortcutWriterTest : public ::testing::Test {
protected:
    // The clicking link window; one for all cases, as showing a window costs
    // Wine a while.
    static void SetUpTestSuite() {
        window_ = CreateWindowExW(0, L"STATIC", L"link window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                  nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window_);
    }
    static void TearDownTestSuite() { DestroyWindow(window_); }

    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = fs::path(temp) / L"tw-writer" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RemoveTree();
        Redirect(root_);
        boxes_ = std::make_unique<tw_test::MessageBoxWatcher>();
        SetActiveWindow(window_);
        ASSERT_EQ(GetActiveWindow(), window_);
    }
    void TearDown() override {
        boxes_.reset();
        redirects_.clear();
        RemoveTree();
    }

    // The user's three folders become <base>\Desktop, \Programs, \Favorites.
    void Redirect(const fs::path& base, bool create = true) {
        redirects_.clear();
        for (const wchar_t* name : {L"Desktop", L"Programs", L"Favorites"}) {
            if (create)
                fs::create_directories(base / name);
            redirects_.push_back(std::make_unique<ShellFolderRedirect>(name, (base / name).wstring()));
        }
    }
    void RemoveTree() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(root_, ignored))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(root_, ignored);
    }

    // One failed click: exactly one box, naming the file and the error, and
    // afterwards the normal pointer and a window that is still open and usable.
    void ExpectOneFailure(const ShortcutState& state, const std::wstring& file, const std::wstring& error) {
        std::vector<tw_test::MessageBoxSeen> seen = boxes_->Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].title, L"Tumblewick");
        EXPECT_TRUE(seen[0].hasIcon);
        EXPECT_EQ(seen[0].buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_NE(seen[0].text.find(L"\r\n" + file + L"\r\n"), std::wstring::npos) << seen[0].text;
        EXPECT_NE(seen[0].text.find(L"Error " + error), std::wstring::npos) << seen[0].text;
        EXPECT_EQ(platform::CurrentMousePointer(), MousePointer::Default);
        EXPECT_FALSE(state.ShellObject);
        EXPECT_TRUE(IsWindow(window_) && IsWindowEnabled(window_));
    }
    bool NoBoxes() { return boxes_->Seen().empty(); }

    fs::path root_;
    std::vector<std::unique_ptr<ShellFolderRedirect>> redirects_;
    std::unique_ptr<tw_test::MessageBoxWatcher> boxes_;
    static inline HWND window_ = nullptr;
};

TEST_F(ShortcutWriterTest, WritesTheExactTwoLinesUnderTheTrimmedTitle) {
    ShortcutState state;
    for (int number : {7, 16, 18, 22}) {
        WriteInternetShortcut(state, L"Desktop", Row(number).linkTitle, Row(number).linkTarget);
        fs::path file = root_ / L"Desktop" / (std::string(Row(number).linkTitle) + ".url");
        EXPECT_EQ(ReadBytes(file), Shortcut(Row(number).linkTarget)) << number;
        EXPECT_EQ(fs::file_size(file), std::strlen(Row(number).linkTarget) + 26) << number;
        EXPECT_EQ(state.FolderPath, (root_ / L"Desktop").wstring());
        EXPECT_EQ(state.FileNumber, 1);
        EXPECT_FALSE(state.ShellObject);
        EXPECT_EQ(state.LinkTarget, Row(number).linkTarget);
    }
    WriteInternetShortcut(state, L"Desktop", "  Wow Wow  ", " http://example.com/a b  ");
    EXPECT_EQ(ReadBytes(root_ / L"Desktop" / L"Wow Wow.url"), Shortcut("http://example.com/a b"));
    EXPECT_EQ(state.LinkTitle, "  Wow Wow  ");

    EXPECT_EQ(Names(root_ / L"Desktop"), (std::set<std::wstring>{L"Dr. Seuss.url", L"Thomas the Train.url",
                                                                 L"Elmo's World.url", L"Cookie Monster.url",
                                                                 L"Wow Wow.url"}));
    EXPECT_TRUE(NoBoxes());
    EXPECT_EQ(platform::CurrentMousePointer(), MousePointer::Default);
}

TEST_F(ShortcutWriterTest, OneCharacterInAllThreeFoldersGivesIdenticalFiles) {
    const catalogue::Character& barney = Row(3);
    ShortcutState desktop, startMenu, favorites;
    WriteInternetShortcut(desktop, L"Desktop", barney.linkTitle, barney.linkTarget);
    WriteInternetShortcut(startMenu, L"StartMenu", barney.linkTitle, barney.linkTarget);
    WriteInternetShortcut(favorites, L"Favorites", barney.linkTitle, barney.linkTarget);
    for (const wchar_t* folder : {L"Desktop", L"Programs", L"Favorites"}) {
        EXPECT_EQ(Names(root_ / folder), std::set<std::wstring>{L"Barney.url"});
        EXPECT_EQ(ReadBytes(root_ / folder / L"Barney.url"), Shortcut(barney.linkTarget));
    }
    EXPECT_TRUE(NoBoxes());
}

TEST_F(ShortcutWriterTest, ReplacesAnOlderFileOfTheSameName) {
    fs::path file = root_ / L"Favorites" / L"Barney.url";
    WriteBytes(file, "[InternetShortcut]\r\nURL=http://old.example/\r\nIconFile=x.ico\r\nIconIndex=0\r\n\r\n");
    ShortcutState state;
    WriteInternetShortcut(state, L"Favorites", "Barney", "http://new.example/");
    EXPECT_EQ(ReadBytes(file), Shortcut("http://new.example/"));
    WriteInternetShortcut(state, L"Favorites", "Barney", "http://new.example/");
    EXPECT_EQ(ReadBytes(file), Shortcut("http://new.example/"));
    EXPECT_EQ(Names(root_ / L"Favorites"), std::set<std::wstring>{L"Barney.url"});
    EXPECT_TRUE(NoBoxes());
}

TEST_F(ShortcutWriterTest, ProfileFolderOutsideTheAnsiCodePage) {
    Redirect(root_ / L"\u041f\u043e\u043b\u044c\u0437\u043e\u0432\u0430\u0442\u0435\u043b\u044c \u7528\u6237");
    ShortcutState state;
    WriteInternetShortcut(state, L"StartMenu", Row(18).linkTitle, Row(18).linkTarget);
    fs::path folder = root_ / L"\u041f\u043e\u043b\u044c\u0437\u043e\u0432\u0430\u0442\u0435\u043b\u044c \u7528\u6237" /
                      L"Programs";
    EXPECT_EQ(state.FolderPath, folder.wstring());
    EXPECT_EQ(ReadBytes(folder / L"Elmo's World.url"), Shortcut(Row(18).linkTarget));
    EXPECT_TRUE(NoBoxes());
}

TEST_F(ShortcutWriterTest, ReadOnlyFileFailsOnceAndStaysAsItWas) {
    fs::path file = root_ / L"Desktop" / L"Barney.url";
    WriteBytes(file, "keep me");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    ShortcutState state;
    WriteInternetShortcut(state, L"Desktop", "Barney", "http://new.example/");
    ExpectOneFailure(state, file.wstring(), L"5: " + platform::SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadBytes(file), "keep me");
    EXPECT_NE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(Names(root_ / L"Desktop"), std::set<std::wstring>{L"Barney.url"});

    // The same window goes on working once the file may be written.
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteInternetShortcut(state, L"Desktop", "Barney", "http://new.example/");
    EXPECT_EQ(ReadBytes(file), Shortcut("http://new.example/"));
    EXPECT_EQ(boxes_->Seen().size(), 1u);
}

TEST_F(ShortcutWriterTest, MissingFolderFailsOnce) {
    Redirect(root_ / L"gone", false);
    ShortcutState state;
    WriteInternetShortcut(state, L"Desktop", "Barney", "http://new.example/");
    ExpectOneFailure(state, (root_ / L"gone" / L"Desktop" / L"Barney.url").wstring(),
                     L"3: " + platform::SystemErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(fs::exists(root_ / L"gone"));
}

TEST_F(ShortcutWriterTest, EmptyFolderFromTheLookupFailsOnce) {
    fs::path old = root_ / L"Desktop" / L"Barney.url";
    WriteBytes(old, "keep me");
    ShellFolderRedirect empty(L"Desktop", L"");
    ShortcutState state;
    WriteInternetShortcut(state, L"Desktop", "Barney", "http://new.example/");
    ExpectOneFailure(state, L"Barney.url", L"3: The Desktop folder is not available.");
    EXPECT_EQ(state.FolderPath, L"");
    EXPECT_FALSE(fs::exists(L"\\Barney.url"));  // nothing in the current drive's root
    EXPECT_EQ(ReadBytes(old), "keep me");
    EXPECT_EQ(Names(root_ / L"Desktop"), std::set<std::wstring>{L"Barney.url"});
}

TEST_F(ShortcutWriterTest, BusyPointerWhileWorkingAlsoWhenTheLookupFails) {
    std::vector<MousePointer> during;
    platform::SetSpecialFolderHookForTesting([&](std::wstring_view key) -> std::wstring {
        during.push_back(platform::CurrentMousePointer());
        if (key == L"Favorites")
            throw platform::Failure(E_FAIL, platform::SystemErrorText(E_FAIL));
        return (root_ / L"Desktop").wstring();
    });
    ShortcutState state;
    WriteInternetShortcut(state, L"Desktop", "Barney", "http://new.example/");
    EXPECT_EQ(platform::CurrentMousePointer(), MousePointer::Default);
    WriteInternetShortcut(state, L"Favorites", "Barney", "http://new.example/");
    platform::SetSpecialFolderHookForTesting(nullptr);

    EXPECT_EQ(during, (std::vector<MousePointer>{MousePointer::Busy, MousePointer::Busy}));
    ExpectOneFailure(state, L"Barney.url", L"0x80004005: " + platform::SystemErrorText(E_FAIL));
    EXPECT_EQ(ReadBytes(root_ / L"Desktop" / L"Barney.url"), Shortcut("http://new.example/"));
}

}  // namespace
