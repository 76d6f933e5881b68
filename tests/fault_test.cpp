// Hostile and failing surroundings: what is planted beside a shortcut, full
// and read-only file systems, long paths, a second copy of the program, odd
// registry values for the system-information tool and the start page. Each
// case ends with the program still running, at most one message, and no
// file lost or half-written.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/about.h"
#include "catalogue/catalogue.h"
#include "links/shortcut_writer.h"
#include "platform/failure.h"
#include "platform/file_write.h"
#include "platform/mouse_pointer.h"
#include "settings/home_page.h"
#include "tests/support/host.h"
#include "tests/support/ui_driver.h"

namespace {

namespace fs = std::filesystem;
using namespace tw_test;

const fs::path kRoot = L"C:\\tw fault";

std::string Shortcut(const std::string& target) { return "[InternetShortcut]\r\nURL=" + target + "\r\n"; }

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::set<std::wstring> Names(const fs::path& folder) {
    std::set<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().wstring());
    return names;
}

// Removes a tree, read-only and hidden files included.
void RemoveTree(const fs::path& root) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(root, ignored))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(root.c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(root, ignored);
}

// ---------------------------------------------------------------------------
// The shortcut writer, with the user's Desktop pointed at a folder per case.

class ShortcutFaults : public testing::Test {
protected:
    static void SetUpTestSuite() {
        window_ = CreateWindowExW(0, L"STATIC", L"link window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    }
    static void TearDownTestSuite() { DestroyWindow(window_); }

    void SetUp() override {
        root_ = kRoot / testing::UnitTest::GetInstance()->current_test_info()->name();
        RemoveTree(root_);
        UseDesktop(root_ / L"Desktop");
        boxes_ = std::make_unique<MessageBoxWatcher>();
        SetForegroundWindow(window_);
        SetActiveWindow(window_);
    }
    void TearDown() override {
        platform::SetTemporaryNameHookForTesting(nullptr);
        boxes_.reset();
        desktop_.reset();
        if (mounted_)
            Host("umount -l '" + UnixPath(root_ / L"Desktop") + "'");
        RemoveTree(root_);
    }

    void UseDesktop(const fs::path& folder) {
        fs::create_directories(folder);
        desktop_.reset();
        desktop_ = std::make_unique<ShellFolderRedirect>(L"Desktop", folder.wstring());
        folder_ = folder;
    }
    // A small file system of its own on the Desktop folder, or false when
    // this machine does not let the test mount one.
    bool MountDesktop(const std::string& options) {
        mounted_ = Host("mount -t tmpfs -o " + options + " tmpfs '" + UnixPath(folder_) + "'") == 0;
        return mounted_;
    }
    void Click(const std::string& target = "http://new.example/") {
        links::WriteInternetShortcut(state_, L"Desktop", "Barney", target);
    }
    fs::path File() const { return folder_ / L"Barney.url"; }

    // Exactly one box since the case began, naming the file and the error;
    // then the normal pointer and a window still open and usable.
    void ExpectOneFailure(DWORD error) {
        std::vector<MessageBoxSeen> seen = boxes_->Seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].title, L"Tumblewick");
        EXPECT_NE(seen[0].text.find(L"\r\n" + File().wstring() + L"\r\n"), std::wstring::npos) << seen[0].text;
        std::wstring want = L"Error " + std::to_wstring(error) + L": " + platform::SystemErrorText(error);
        EXPECT_NE(seen[0].text.find(want), std::wstring::npos) << seen[0].text;
        EXPECT_EQ(platform::CurrentMousePointer(), platform::MousePointer::Default);
        EXPECT_FALSE(state_.ShellObject);
        EXPECT_TRUE(IsWindow(window_) && IsWindowEnabled(window_));
    }
    bool NoBoxes() { return boxes_->Seen().empty(); }

    fs::path root_, folder_;
    links::ShortcutState state_;
    bool mounted_ = false;
    std::unique_ptr<ShellFolderRedirect> desktop_;
    std::unique_ptr<MessageBoxWatcher> boxes_;
    static inline HWND window_ = nullptr;
};

TEST_F(ShortcutFaults, WhatIsPlantedUnderTemporaryNamesIsNeitherOpenedNorFollowed) {
    // The victims lie outside the Desktop; links to them are planted under
    // the names the next temporary files would take, and under the name the
    // program once used (the target, its process id, ".tmp").
    const fs::path hardVictim = root_ / L"hard victim.txt", linkVictim = root_ / L"link victim.txt";
    WriteBytes(hardVictim, "hard victim");
    WriteBytes(linkVictim, "link victim");
    auto planted = [&](std::uint64_t number) {
        wchar_t hex[17];
        swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(number));
        return File().wstring() + L"." + hex + L".tmp";
    };
    ASSERT_TRUE(CreateHardLinkW(planted(1).c_str(), hardVictim.c_str(), nullptr));
    fs::create_directory(planted(2));
    WriteBytes(fs::path(planted(2)) / L"inside.txt", "inside");
    const fs::path link = planted(3), dangling = planted(4);
    if (!MakeLink(link, linkVictim))
        GTEST_SKIP() << "this account may not make symbolic links";
    ASSERT_TRUE(MakeLink(dangling, root_ / L"nowhere"));
    const fs::path old = File().wstring() + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    ASSERT_TRUE(CreateHardLinkW(old.c_str(), hardVictim.c_str(), nullptr));
    const std::set<std::wstring> plantedNames = Names(folder_);

    // Each write draws the planted numbers first, then fresh ones.
    std::uint64_t next = 0, fresh = 0x100;
    platform::SetTemporaryNameHookForTesting([&] { return ++next <= 4 ? next : ++fresh; });
    for (const char* target : {"http://first.example/", "http://second.example/"}) {
        SCOPED_TRACE(target);
        next = 0;
        Click(target);  // the first makes the file, the second replaces it
        EXPECT_EQ(next, 5u) << "each planted name was tried and passed over";
        EXPECT_EQ(ReadFileBytes(File()), Shortcut(target));
    }
    EXPECT_TRUE(NoBoxes());
    EXPECT_EQ(ReadFileBytes(hardVictim), "hard victim");
    EXPECT_EQ(ReadFileBytes(linkVictim), "link victim");
    EXPECT_EQ(ReadFileBytes(fs::path(planted(2)) / L"inside.txt"), "inside");
    EXPECT_EQ(ReadFileBytes(old), "hard victim");
    EXPECT_TRUE(IsLink(link) && IsLink(dangling));
    std::set<std::wstring> expected = plantedNames;
    expected.insert(L"Barney.url");
    EXPECT_EQ(Names(folder_), expected) << "a temporary file was left";
    RemoveLink(link);
    RemoveLink(dangling);
}

TEST_F(ShortcutFaults, HiddenAndSystemShortcutsKeepTheirAttributes) {
    const DWORD kinds[] = {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
    for (DWORD kind : kinds) {
        SCOPED_TRACE(kind);
        WriteBytes(File(), "[InternetShortcut]\r\nURL=http://old.example/\r\nIconIndex=0\r\n");
        ASSERT_TRUE(SetFileAttributesW(File().c_str(), kind));
        Click();
        EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://new.example/"));
        EXPECT_EQ(GetFileAttributesW(File().c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), kind);
        EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"Barney.url"});
        SetFileAttributesW(File().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_TRUE(NoBoxes());
}

// The folder's path is kept between clicks; moving the folder in the
// user's settings must still send the next click to its new place.
TEST_F(ShortcutFaults, ADesktopMovedWhileTheProgramRunsIsFollowedFromTheNextClick) {
    const fs::path first = folder_;
    Click("http://first.example/");
    UseDesktop(root_ / L"Moved");
    Click("http://moved.example/");
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://moved.example/"));
    EXPECT_EQ(ReadFileBytes(first / L"Barney.url"), Shortcut("http://first.example/"));
    UseDesktop(first);
    Click("http://back.example/");
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://back.example/"));
    EXPECT_EQ(ReadFileBytes(root_ / L"Moved" / L"Barney.url"), Shortcut("http://moved.example/"));
    EXPECT_TRUE(NoBoxes());
}

TEST_F(ShortcutFaults, FolderNamedLikeTheShortcutFailsOnceAndIsLeftAlone) {
    fs::create_directory(File());
    WriteBytes(File() / L"inside.txt", "inside");
    Click();
    ExpectOneFailure(ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadFileBytes(File() / L"inside.txt"), "inside");
    EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"Barney.url"});

    fs::remove_all(File());
    Click();
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://new.example/"));
    EXPECT_EQ(boxes_->Seen().size(), 1u);
}

TEST_F(ShortcutFaults, ReadOnlyFolders) {
    // The read-only attribute of a folder does not keep files out of it.
    ASSERT_TRUE(SetFileAttributesW(folder_.c_str(), FILE_ATTRIBUTE_READONLY));
    Click();
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://new.example/"));
    EXPECT_TRUE(NoBoxes());
    SetFileAttributesW(folder_.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A file system mounted read-only does.
    if (!MountDesktop("size=64k"))
        GTEST_SKIP() << "no file system can be mounted here";
    WriteBytes(File(), "keep me");
    ASSERT_EQ(Host("mount -o remount,ro '" + UnixPath(folder_) + "'"), 0);
    Click();
    // Wine reports it as access denied, where Windows says write-protected.
    ExpectOneFailure(ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadFileBytes(File()), "keep me");
    EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"Barney.url"});
}

TEST_F(ShortcutFaults, DiskFullWhileWritingKeepsTheOldFile) {
    if (!MountDesktop("size=64k"))
        GTEST_SKIP() << "no file system can be mounted here";
    WriteBytes(File(), "keep me");
    // Fill every block of the small file system.
    const fs::path filler = folder_ / L"filler";
    HANDLE file = CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block(512, 'x');
    DWORD written = 0;
    while (WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written != 0) {
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    CloseHandle(file);

    Click();
    ExpectOneFailure(ERROR_DISK_FULL);
    EXPECT_EQ(ReadFileBytes(File()), "keep me");
    EXPECT_EQ(Names(folder_), (std::set<std::wstring>{L"Barney.url", L"filler"}));

    // With room again the same window writes it.
    fs::remove(filler);
    Click();
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://new.example/"));
    EXPECT_EQ(boxes_->Seen().size(), 1u);
}

TEST_F(ShortcutFaults, ShortcutHeldOpenForAMomentIsWaitedFor) {
    // As a scanner or the search indexer looks at a shortcut just written:
    // read, without letting it be renamed or deleted meanwhile.
    Click("http://old.example/");
    HANDLE held = CreateFileW(File().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread scanner([held] {
        Sleep(300);
        CloseHandle(held);
    });
    const ULONGLONG start = GetTickCount64();
    Click();
    const ULONGLONG took = GetTickCount64() - start;
    scanner.join();
    EXPECT_GE(took, 250u) << "the held file did not stand in the way";
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://new.example/"));
    EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"Barney.url"});
    EXPECT_TRUE(NoBoxes());
}

// `base` with folders of up to 100 characters added until the path is
// `length` characters long.
fs::path Deep(fs::path base, std::size_t length) {
    while (base.wstring().size() + 1 < length)
        base /= std::wstring(std::min<std::size_t>(100, length - base.wstring().size() - 1), L'd');
    return base;
}

TEST_F(ShortcutFaults, ProfilePathLongerThanMaxPath) {
    // A profile folder as long as Windows makes one (248 characters): the
    // Desktop's path still fits 260, the shortcut's does not.
    UseDesktop(Deep(root_, 248) / L"Desktop");
    ASSERT_EQ(File().wstring().size(), 267u);
    Click("http://old.example/");
    EXPECT_EQ(state_.FolderPath, folder_.wstring());
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://old.example/"));
    Click();  // the second replaces the first
    EXPECT_EQ(ReadFileBytes(File()), Shortcut("http://new.example/"));
    EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"Barney.url"});
    EXPECT_TRUE(NoBoxes());
}

// What makes the case above matter: on Windows a plain path of 261
// characters is refused unless long paths are switched on for the machine;
// the \\?\ form the program writes through is not.
TEST_F(ShortcutFaults, OnWindowsAPlainPathPastMaxPathIsRefused) {
    if (UnderWine())
        GTEST_SKIP() << "Wine has no 260-character limit";
    using LongPathsEnabled = BOOLEAN(NTAPI*)();
    auto enabled = reinterpret_cast<LongPathsEnabled>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "RtlAreLongPathsEnabled")));
    if (enabled != nullptr && enabled())
        GTEST_SKIP() << "long paths are switched on on this machine";
    const fs::path folder = Deep(root_, 248);
    fs::create_directories(folder);
    const std::wstring file = folder.wstring() + L"\\" + std::wstring(260 - folder.wstring().size(), L'f');
    ASSERT_EQ(file.size(), 261u);
    SetLastError(0);
    EXPECT_EQ(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_PATH_NOT_FOUND || error == ERROR_FILENAME_EXCED_RANGE) << error;
    const std::wstring whole = L"\\\\?\\" + file;
    HANDLE handle = CreateFileW(whole.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(handle);
    EXPECT_TRUE(DeleteFileW(whole.c_str()));
}

// A second copy of the program: started by the case below, it writes the
// same shortcut over and over while the first copy does too.
constexpr int kCopyWrites = 150;

TEST(DISABLED_SecondCopy, WritesTheSameShortcut) {
    wchar_t folder[MAX_PATH] = L"";
    ASSERT_NE(GetEnvironmentVariableW(L"TW_FAULT_FOLDER", folder, MAX_PATH), 0u);
    MessageBoxWatcher boxes;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Tumblewick fault test second copy");
    ASSERT_NE(ready, nullptr);
    SetEvent(ready);
    CloseHandle(ready);
    links::ShortcutState state;
    for (int i = 0; i < kCopyWrites; ++i)
        links::WriteInternetShortcut(state, L"Desktop", "Barney", "http://second.example/");
    EXPECT_EQ(state.FolderPath, folder);
    EXPECT_TRUE(boxes.Seen().empty()) << boxes.Seen()[0].text;
}

TEST_F(ShortcutFaults, TwoCopiesWritingTheSameShortcutAtOnce) {
    SetEnvironmentVariableW(L"TW_FAULT_FOLDER", folder_.c_str());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"Tumblewick fault test second copy");
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) +
                        L"\" --gtest_also_run_disabled_tests --gtest_filter=DISABLED_SecondCopy.*";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION copy{};
    ASSERT_TRUE(CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &copy));
    CloseHandle(copy.hThread);
    ASSERT_EQ(WaitForSingleObject(ready, 60000), WAIT_OBJECT_0);
    CloseHandle(ready);

    // Whenever the file is there it is one whole shortcut, the one or the
    // other. (The reads let the file be replaced meanwhile: Wine's
    // ReplaceFileW, unlike Windows', leaves a file of its own behind when a
    // reader holds the old one without that.)
    const std::string first = Shortcut("http://first.example/"), second = Shortcut("http://second.example/");
    int seen = 0;
    for (int i = 0; i < kCopyWrites; ++i) {
        Click("http://first.example/");
        std::string now = ReadFileBytes(File());
        if (now != "<missing>") {
            EXPECT_TRUE(now == first || now == second) << now;
            ++seen;
        }
    }
    ASSERT_EQ(WaitForSingleObject(copy.hProcess, 120000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(copy.hProcess, &exitCode);
    CloseHandle(copy.hProcess);
    EXPECT_EQ(exitCode, 0u) << "the second copy saw a message or failed";
    EXPECT_GT(seen, 0);
    std::string last = ReadFileBytes(File());
    EXPECT_TRUE(last == first || last == second) << last;
    EXPECT_EQ(Names(folder_), std::set<std::wstring>{L"Barney.url"});
    EXPECT_TRUE(NoBoxes());
}

// ---------------------------------------------------------------------------
// About -> System Info with odd values where the tool is looked up, and
// programs planted where a careless start would find them.

constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const wchar_t* kUnavailable = L"System Information Is Unavailable At This Time";

class SystemInfoFaults : public testing::Test {
protected:
    void SetUp() override {
        Clean();
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        tool_ = fs::path(self).parent_path() / L"fake_msinfo.exe";
        // The real tool's folder, and programs where a relative path leads:
        // the current folder and the first word of a path with blanks.
        Place(folder_ / L"MSINFO32.EXE");
        for (const wchar_t* name : {L"msinfo32.exe", L"1234.exe", L"1234"})
            Place(current_ / name);
        Place(L"C:\\Program.exe");
        GetCurrentDirectoryW(MAX_PATH, oldCurrent_);
        SetCurrentDirectoryW(current_.c_str());
        SetEnvironmentVariableW(L"TW_FAKE_MSINFO_LOG", log_.c_str());
        DeleteFileW(log_.c_str());
        about_.Show();
        ASSERT_TRUE(PumpUntil([&] { return about_.IsLoaded(); }));
    }
    void TearDown() override {
        about_.Unload();
        Pump(50);
        SetCurrentDirectoryW(oldCurrent_);
        Clean();
    }
    void Clean() {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kToolKey);
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO");
        RemoveTree(root_);
        DeleteFileW(L"C:\\Program.exe");
    }
    void Place(const fs::path& copy) {
        fs::create_directories(copy.parent_path());
        fs::copy_file(tool_, copy, fs::copy_options::overwrite_existing);
    }
    void SetTool(DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kToolKey, "PATH", type, data, size), ERROR_SUCCESS);
    }
    void SetTool(const std::string& ansi) {
        SetTool(REG_SZ, ansi.c_str(), static_cast<DWORD>(ansi.size() + 1));
    }
    void SetFolder(const std::string& folder) {
        ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, kFolderKey, "MSINFO", REG_SZ, folder.c_str(),
                                  static_cast<DWORD>(folder.size() + 1)),
                  ERROR_SUCCESS);
    }

    // Clicks System Info; returns the messages it showed.
    std::vector<MessageBoxSeen> ClickSysInfo() {
        MessageBoxWatcher watcher;
        SendMessageW(about_.Control("cmdSysInfo"), BM_CLICK, 0, 0);
        EXPECT_TRUE(about_.IsLoaded() && IsWindowEnabled(about_.Hwnd()));
        return watcher.Seen();
    }
    // The command lines of the programs started since the last look (the
    // stand-in logs each run).
    std::vector<std::wstring> Started() {
        std::vector<std::wstring> started;
        std::wifstream in(log_);
        for (std::wstring line; std::getline(in, line);) {
            std::wistringstream fields(line);
            std::wstring program, commandLine;
            std::getline(fields, program, L'\t');
            std::getline(fields, commandLine, L'\t');
            started.push_back(commandLine);
        }
        in.close();
        DeleteFileW(log_.c_str());
        return started;
    }
    // The one message. Whether anything started is looked at once at the
    // end of the case, as a start takes Wine a while to show.
    void ExpectMessage() {
        std::vector<MessageBoxSeen> seen = ClickSysInfo();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, kUnavailable);
    }
    void ExpectStarted(const fs::path& program) {
        EXPECT_TRUE(ClickSysInfo().empty());
        ASSERT_TRUE(PumpUntil([&] { return ReadFileBytes(log_) != "<missing>"; }, 15000)) << "nothing started";
        Pump(1000);
        EXPECT_EQ(Started(), std::vector<std::wstring>{L"\"" + program.wstring() + L"\""});
    }
    void ExpectNothingStartedSince() {
        Pump(1500);
        EXPECT_EQ(Started(), std::vector<std::wstring>{});
    }

    const fs::path root_ = kRoot / L"sysinfo";
    const fs::path folder_ = root_ / L"Shared\\MSInfo";
    const fs::path current_ = root_ / L"current";
    const fs::path log_ = kRoot / L"sysinfo ran.log";
    fs::path tool_;
    wchar_t oldCurrent_[MAX_PATH] = L"";
    app::frmAbout& about_ = ui::Instance<app::frmAbout>();
};

TEST_F(SystemInfoFaults, RelativePathsNeverStartWhatTheCurrentFolderHolds) {
    for (const char* path : {"msinfo32.exe", "C:msinfo32.exe", "\\tw fault\\sysinfo\\current\\msinfo32.exe",
                             ".\\msinfo32.exe", "\\\\?\\C:\\tw fault\\sysinfo\\current\\msinfo32.exe"}) {
        SCOPED_TRACE(path);
        SetTool(path);
        ExpectMessage();
    }
    // A number reads as its hexadecimal digits: "1234".
    const DWORD number = 0x1234;
    SetTool(REG_DWORD, &number, sizeof(number));
    ExpectMessage();

    // The second location names a folder to look in; "." and "" are relative.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kToolKey);
    for (const char* folder : {".", "", "current"}) {
        SCOPED_TRACE(testing::Message() << "second location " << folder);
        SetFolder(folder);
        ExpectMessage();
    }
    ExpectNothingStartedSince();
}

TEST_F(SystemInfoFaults, ValuesOfEveryTypeAndLength) {
    SetFolder(folder_.string());
    // Text that reads: the empty path, and paths of 1023 and 1024 bytes with
    // their NUL, which name no file.
    for (std::size_t bytes : {1u, 1023u, 1024u}) {
        SCOPED_TRACE(bytes);
        std::string path = bytes == 1 ? "" : "C:\\" + std::string(bytes - 1 - 16, 'a') + "\\msinfo32.exe";
        ASSERT_EQ(path.size() + 1, bytes);
        SetTool(path);
        ExpectMessage();
    }
    // Longer values cannot be read, so the second location's tool starts.
    for (std::size_t bytes : {1025u, 4096u}) {
        SCOPED_TRACE(bytes);
        SetTool("C:\\" + std::string(bytes - 1 - 16, 'a') + "\\msinfo32.exe");
        ExpectStarted(folder_ / L"MSINFO32.EXE");
    }
    // Types that give no text leave the path empty.
    const unsigned long long quad = 0x1234;
    SetTool(REG_QWORD, &quad, sizeof(quad));
    ExpectMessage();
    ExpectNothingStartedSince();
}

TEST_F(SystemInfoFaults, PathsThatNameNoProgram) {
    const fs::path text = root_ / L"notes.txt", fakeExe = root_ / L"not a program.exe";
    WriteBytes(text, "just text\r\n");
    WriteBytes(fakeExe, "MZ but nothing more\r\n");
    for (const fs::path& path : {root_ / L"Shared", text, fakeExe, root_ / L"missing\\msinfo32.exe"}) {
        SCOPED_TRACE(path.string());
        SetTool(path.string());
        ExpectMessage();
    }
    // A path with blanks naming no file: never its first word, C:\Program.exe.
    SetTool("C:\\Program Files\\tw fault\\msinfo32.exe");
    ExpectMessage();
    SetTool("\\\\no host\\share\\msinfo32.exe");
    ExpectMessage();
    ExpectNothingStartedSince();
}

TEST_F(SystemInfoFaults, UncPathToTheToolStartsIt) {
    if (!UnderWine())
        GTEST_SKIP() << "the share is made in Wine's prefix";
    // Wine reaches \\server\share through the prefix's dosdevices\unc\server\share.
    char prefix[MAX_PATH];
    ASSERT_NE(GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH), 0u);
    const std::string server = std::string(prefix) + "/dosdevices/unc/twhost";
    ASSERT_EQ(Host("mkdir -p '" + server + "' && ln -sfn '" + UnixPath(root_) + "' '" + server + "/share'"), 0);
    SetTool("\\\\twhost\\share\\Shared\\MSInfo\\MSINFO32.EXE");
    ExpectStarted(L"\\\\twhost\\share\\Shared\\MSInfo\\MSINFO32.EXE");
    Host("rm -r '" + server + "'");
}

// ---------------------------------------------------------------------------
// The Home-page window over a start page of another type.

TEST(StartPageFaults, BinaryOrMultiStringStartPageIsReplacedByText) {
    const wchar_t* key = L"Software\\Microsoft\\Internet Explorer\\Main";
    const catalogue::Character& barney = catalogue::Rows()[2];
    const std::string want = std::string(barney.linkTarget) + '\0';
    tw_test::KeyTreeBackup explorer(L"Software\\Microsoft\\Internet Explorer");
    // An earlier program may have left the key volatile or locked.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer");
    MessageBoxWatcher boxes;
    auto& window = ui::Instance<settings::frmHomePage>();
    window.Show();
    ASSERT_TRUE(PumpUntil([&] { return window.IsLoaded(); }));
    const BYTE binary[] = {0x68, 0x74, 0x00, 0xFF};
    const wchar_t multi[] = L"http://a.example/\0http://b.example/\0";
    struct {
        DWORD type;
        const void* data;
        DWORD size;
    } cases[] = {{REG_BINARY, binary, sizeof(binary)}, {REG_MULTI_SZ, multi, sizeof(multi)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Start Page", c.type, c.data, c.size), ERROR_SUCCESS);
        SendMessageW(window.Control(barney.controlName), BM_CLICK, 0, 0);
        Pump(50);
        DWORD type = REG_NONE, size = 4096;
        std::string stored(size, '\0');
        ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page",
                               RRF_RT_ANY | RRF_NOEXPAND, &type, stored.data(), &size),
                  ERROR_SUCCESS);
        stored.resize(size);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(stored, want);
    }
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_TRUE(window.IsLoaded());
    window.Unload();
    Pump(20);
    ClearQuit();
}

}  // namespace
