// The Windows side of the setup test: reads what setup left behind as Windows
// programs see it, and finds the program's windows on a desktop. Runs its
// commands in the order given; each prints tab-separated lines on stdout.
//
//   state                  folders, shortcuts, wallpapers, uninstall entries
//                          and the user's settings (see State below)
//   uninstall              runs the uninstall entry's QuietUninstallString as
//                          Windows would and waits until the uninstall is done
//   readonly PATH          makes PATH a small read-only file, folders and all
//   running                waits until the program has marked itself running
//   desktop NAME           works on that desktop from here on (first, before
//                          anything makes a window)
//   find TITLE CONTROL,CONTROL...
//                          waits (up to 90 s) for a visible window of that title
//                          with those controls; prints the centre of each
//                          control on the screen, then every visible window
//                          (also when it fails)
//   machine                the all-users folders and shortcuts, and the values
//                          of each machine-wide uninstall entry (see Machine)
//   message TITLE          waits for a visible window of that title, prints
//                          the text of each of its controls and presses OK
//   swap FOLDER VICTIM     swaps FOLDER for a link to VICTIM and back every
//                          40 ms until the file FOLDER's parent\stop swapping
//                          appears, as another account's program would (see
//                          Swap)
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "setup/wallpaper_rule.h"
#include "tests/support/host.h"
#include "tests/support/utf8.h"
#include "platform/running_marker.h"
#include "platform/text.h"
#include "ui/form.h"

namespace {

const wchar_t kUninstallRoot[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tumblewick";

void Print(const std::wstring& line) {
    const std::string bytes = tw_test::Utf8(line + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// A value as text: strings as they are, DWORDs in decimal.
std::wstring ValueText(DWORD type, const std::vector<BYTE>& data) {
    if (type == REG_DWORD && data.size() == sizeof(DWORD))
        return std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    if (type == REG_SZ || type == REG_EXPAND_SZ)
        return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t)).c_str();
    return L"<type " + std::to_wstring(type) + L">";
}

std::wstring ReadValue(HKEY root, const wchar_t* keyPath, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return L"<none>";
    DWORD type = 0, size = 0;
    std::wstring text = L"<none>";
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> data(size);
        if (RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
            text = ValueText(type, data);
    }
    RegCloseKey(key);
    return text;
}

std::wstring TypeName(DWORD type) {
    switch (type) {
    case REG_SZ: return L"REG_SZ";
    case REG_EXPAND_SZ: return L"REG_EXPAND_SZ";
    case REG_DWORD: return L"REG_DWORD";
    default: return std::to_wstring(type);
    }
}

struct Value {
    std::wstring name, type, text;
};

// Every value of an open key, its type and data as text.
std::vector<Value> Values(HKEY key) {
    std::vector<Value> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = 256, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameSize, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size + sizeof(wchar_t));
        nameSize = 256;
        RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
        data.resize(size);
        values.push_back({name, TypeName(type), ValueText(type, data)});
    }
    return values;
}

// Lines "value NAME TYPE DATA" for every value of the program's entry.
void PrintEntryValues() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (const Value& value : Values(key))
        Print(L"value\t" + value.name + L"\t" + value.type + L"\t" + value.text);
    RegCloseKey(key);
}

// Lines "entry ROOT KEY" for each installed-programs entry, for the current
// user and the machine, whose key or display name mentions the program.
void PrintEntries() {
    for (auto [root, rootName] : {std::pair{HKEY_CURRENT_USER, L"HKCU"}, std::pair{HKEY_LOCAL_MACHINE, L"HKLM"}}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, kUninstallRoot, 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
            continue;
        for (DWORD i = 0;; ++i) {
            wchar_t name[256];
            DWORD size = 256;
            if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            std::wstring sub = std::wstring(kUninstallRoot) + L"\\" + name;
            std::wstring shown = std::wstring(name) + L" " + ReadValue(root, sub.c_str(), L"DisplayName");
            CharLowerW(shown.data());
            if (shown.find(L"tumblewick") != std::wstring::npos)
                Print(std::wstring(L"entry\t") + rootName + L"\t" + name);
        }
        RegCloseKey(key);
    }
}

// "link PATH TARGET": where the shortcut leads, through IShellLinkW.
void PrintLink(const std::wstring& path) {
    std::wstring target = L"<missing>";
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t resolved[MAX_PATH] = L"";
            if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
                SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
                link->GetPath(resolved, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK)
                target = resolved;
            file->Release();
        }
        link->Release();
    }
    Print(L"link\t" + path + L"\t" + target);
}

void State() {
    // The shell link object wants COM; only this command needs it.
    static HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)com;
    Print(L"folder\tLocalAppData\t" + Folder(CSIDL_LOCAL_APPDATA));
    Print(L"folder\tPrograms\t" + Folder(CSIDL_PROGRAMS));
    Print(L"folder\tDesktop\t" + Folder(CSIDL_DESKTOPDIRECTORY));
    Print(L"folder\tStartMenu\t" + Folder(CSIDL_STARTMENU));
    PrintLink(Folder(CSIDL_PROGRAMS) + L"\\Tumblewick.lnk");
    PrintLink(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\Tumblewick.lnk");
    // Each wallpaper the catalogue names, loaded as the desktop loads it.
    for (const catalogue::Character& row : catalogue::Rows()) {
        std::wstring path = platform::FromAnsi(catalogue::WallpaperPath(row));
        BITMAP bitmap{};
        auto picture = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        if (picture != nullptr) {
            GetObjectW(picture, sizeof(bitmap), &bitmap);
            DeleteObject(picture);
        }
        Print(L"wallpaper\t" + platform::FromAnsi(row.wallpaperFile) + L"\t" + std::to_wstring(bitmap.bmWidth) + L"\t" +
              std::to_wstring(bitmap.bmHeight));
    }
    PrintEntries();
    PrintEntryValues();
    Print(L"record\t" + wallpaper_rule::UserSetting(L"").record);
    Print(L"setting\tStart Page\t" +
          ReadValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Main", L"Start Page"));
    Print(L"setting\tWallpaper\t" + ReadValue(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper"));
}

bool UninstallerRunning() {
    bool running = false;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        running = running || _wcsnicmp(entry.szExeFile, L"Un_", 3) == 0;
    CloseHandle(snapshot);
    return running;
}

// The uninstaller starts a copy of itself from the temporary folder and
// returns at once; the copy removes the entry last, then ends.
bool Uninstall() {
    std::wstring command = ReadValue(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 600; ++i) {
        HKEY key = nullptr;
        bool gone = RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS;
        if (key != nullptr)
            RegCloseKey(key);
        if (gone && !UninstallerRunning())
            return true;
        Sleep(100);
    }
    return false;
}

bool ReadOnlyFile(const std::wstring& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const char text[] = "the user's own file";
    DWORD written = 0;
    WriteFile(file, text, sizeof(text) - 1, &written, nullptr);
    CloseHandle(file);
    return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

bool ProgramRunning() {
    for (int i = 0; i < 300; ++i) {
        if (HANDLE marker = OpenMutexW(SYNCHRONIZE, FALSE, platform::kRunningMarkerName); marker != nullptr) {
            CloseHandle(marker);
            return true;
        }
        Sleep(100);
    }
    return false;
}

// Windows on another desktop never count as visible: the thread moves there,
// once the desktop is there.
bool UseDesktop(const std::wstring& name) {
    for (int i = 0; i < 300; ++i) {
        if (HDESK desktop = OpenDesktopW(name.c_str(), 0, FALSE, GENERIC_ALL); desktop != nullptr)
            return SetThreadDesktop(desktop) != 0;
        Sleep(100);
    }
    return false;
}

BOOL CALLBACK AddVisible(HWND window, LPARAM windows) {
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(windows)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindows() {
    std::vector<HWND> windows;
    EnumWindows(AddVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

void PrintWindows() {
    for (HWND window : VisibleWindows()) {
        RECT r;
        GetWindowRect(window, &r);
        Print(L"window\t" + WindowText(window) + L"\t" + ClassName(window) + L"\t" + std::to_wstring(r.left) + L"\t" +
              std::to_wstring(r.top) + L"\t" + std::to_wstring(r.right) + L"\t" + std::to_wstring(r.bottom));
    }
}

bool Find(const std::wstring& title, const std::vector<std::wstring>& names) {
    // A fresh prefix's first windows have taken over half a minute to come
    // on a busy machine.
    for (int i = 0; i < 900; ++i) {
        for (HWND window : VisibleWindows()) {
            if (WindowText(window) != title)
                continue;
            std::vector<HWND> controls;
            for (const std::wstring& name : names)
                if (HWND control = ui::FindControl(window, name); control != nullptr && IsWindowVisible(control))
                    controls.push_back(control);
            if (controls.size() != names.size())
                continue;
            for (std::size_t n = 0; n < names.size(); ++n) {
                RECT r;
                GetWindowRect(controls[n], &r);
                Print(L"control\t" + names[n] + L"\t" + std::to_wstring((r.left + r.right) / 2) + L"\t" +
                      std::to_wstring((r.top + r.bottom) / 2));
            }
            PrintWindows();
            return true;
        }
        Sleep(100);
    }
    PrintWindows();
    return false;
}

// "folder", "link" and "mvalue KEY NAME TYPE DATA" lines for an install
// for every user of the machine.
void Machine() {
    static HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)com;
    Print(L"folder\tCommonPrograms\t" + Folder(CSIDL_COMMON_PROGRAMS));
    Print(L"folder\tCommonDesktop\t" + Folder(CSIDL_COMMON_DESKTOPDIRECTORY));
    Print(L"folder\tProgramFiles\t" + Folder(CSIDL_PROGRAM_FILES));
    Print(L"folder\tProgramFilesX86\t" + Folder(CSIDL_PROGRAM_FILESX86));
    PrintLink(Folder(CSIDL_COMMON_PROGRAMS) + L"\\Tumblewick.lnk");
    PrintLink(Folder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Tumblewick.lnk");
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallRoot, 0, KEY_ENUMERATE_SUB_KEYS, &root) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = 256;
        if (RegEnumKeyExW(root, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, name, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        const std::vector<Value> values = Values(key);
        RegCloseKey(key);
        const bool ours = std::any_of(values.begin(), values.end(), [](const Value& value) {
            return value.name == L"DisplayName" && value.text == L"Tumblewick";
        });
        if (ours)
            for (const Value& value : values)
                Print(L"mvalue\t" + std::wstring(name) + L"\t" + value.name + L"\t" + value.type + L"\t" + value.text);
    }
    RegCloseKey(root);
}

BOOL CALLBACK PrintControlText(HWND control, LPARAM) {
    if (std::wstring text = WindowText(control); !text.empty())
        Print(L"text\t" + text);
    return TRUE;
}

// A message box is owned by the window it speaks for, which may bear the
// same title: an owned window of the title is waited for 3 s first.
bool Message(const std::wstring& title) {
    for (int i = 0; i < 300; ++i) {
        HWND found = nullptr;
        for (HWND window : VisibleWindows())
            if (WindowText(window) == title && (GetWindow(window, GW_OWNER) != nullptr || (i >= 30 && !found)))
                found = window;
        if (found != nullptr) {
            EnumChildWindows(found, PrintControlText, 0);
            PostMessageW(found, WM_COMMAND, IDOK, 0);
            return true;
        }
        Sleep(100);
    }
    return false;
}

bool WaitForAttributes(const std::wstring& path, const std::function<bool(DWORD)>& done) {
    for (int i = 0; i < 400; ++i, Sleep(5))
        if (done(GetFileAttributesW(path.c_str())))
            return true;
    return false;
}

// The folder goes aside by a Windows rename, which Windows refuses while
// another process holds the folder without sharing its deletion; the link is
// made and taken away on the host, as Windows programs under Wine cannot
// make one (and Wine's rename of a link moves its target).
bool Swap(const std::wstring& folder, const std::wstring& victim) {
    const std::wstring aside = folder + L" (aside)";
    const std::wstring stop = folder.substr(0, folder.rfind(L'\\')) + L"\\stop swapping";
    const std::string link = std::string("'").append(tw_test::UnixPath(folder)).append("'");
    int swaps = 0, refused = 0;
    while (GetFileAttributesW(stop.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Sleep(40);
        DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (!MoveFileExW(folder.c_str(), aside.c_str(), 0)) {
            ++refused;
            continue;
        }
        tw_test::StartOnHost("ln -s '" + tw_test::UnixPath(victim) + "' " + link);
        WaitForAttributes(folder, [](DWORD a) { return a != INVALID_FILE_ATTRIBUTES; });
        Sleep(40);
        tw_test::StartOnHost("rm " + link);
        WaitForAttributes(folder, [](DWORD a) { return a == INVALID_FILE_ATTRIBUTES; });
        MoveFileExW(aside.c_str(), folder.c_str(), 0);
        ++swaps;
    }
    Print(L"swaps\t" + std::to_wstring(swaps) + L"\t" + std::to_wstring(refused));
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    int status = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring command = args[i];
        bool ok = true;
        if (command == L"state") {
            State();
        } else if (command == L"uninstall") {
            ok = Uninstall();
        } else if (command == L"readonly" && i + 1 < args.size()) {
            ok = ReadOnlyFile(args[++i]);
        } else if (command == L"running") {
            ok = ProgramRunning();
        } else if (command == L"desktop" && i + 1 < args.size()) {
            ok = UseDesktop(args[++i]);
        } else if (command == L"machine") {
            Machine();
        } else if (command == L"swap" && i + 2 < args.size()) {
            ok = Swap(args[i + 1], args[i + 2]);
            i += 2;
        } else if (command == L"message" && i + 1 < args.size()) {
            ok = Message(args[++i]);
        } else if (command == L"find" && i + 2 < args.size()) {
            std::wstring title = args[++i], list = args[++i];
            std::vector<std::wstring> names;
            for (std::size_t start = 0; start <= list.size();) {
                std::size_t end = std::min(list.find(L',', start), list.size());
                names.push_back(list.substr(start, end - start));
                start = end + 1;
            }
            ok = Find(title, names);
        } else {
            Print(L"error\tunknown command " + command);
            return 2;
        }
        if (!ok) {
            Print(L"error\t" + command + L" failed");
            status = 1;
        }
    }
    return status;
}
