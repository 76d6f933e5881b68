// Stands in for the system-information tool: appends one line to the file
// that TW_FAKE_MSINFO_LOG names, with the program file that ran, the command
// line it got and how it was asked to show its window, then exits.
#include <windows.h>

#include <string>

#include "tests/support/utf8.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t log[MAX_PATH];
    if (GetEnvironmentVariableW(L"TW_FAKE_MSINFO_LOG", log, MAX_PATH) == 0)
        return 2;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    std::wstring line = std::wstring(self) + L"\t" + GetCommandLineW() + L"\t" + std::to_wstring(startup.dwFlags) +
                        L"\t" + std::to_wstring(startup.wShowWindow) + L"\n";
    const std::string bytes = tw_test::Utf8(line);
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
