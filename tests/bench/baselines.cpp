#include "tests/bench/baselines.h"

#include <ntsecapi.h>

#include <cstdint>

namespace tw_bench {

namespace {

constexpr wchar_t kClass[] = L"PlainButtonWindow";
constexpr int kDpi = 96;

int Px(int twips) { return MulDiv(twips, kDpi, 1440); }

// The bytes into a file of their own, on the disk before the handle goes.
bool WriteFlushed(const std::wstring& path, DWORD disposition, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

HWND Button(HWND parent, const wchar_t* caption, int x, int y, int width, int height) {
    return CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Px(x), Px(y),
                           Px(width), Px(height), parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

HWND ShowPlainButtonWindow() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        return RegisterClassExW(&wc) != 0;
    }();
    if (!registered)
        return nullptr;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, Px(10080), Px(7335)};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExW(0, kClass, L"Plain buttons", style, CW_USEDEFAULT, 0, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr)
        return nullptr;
    const int columns[4] = {0, 2520, 5040, 7440};
    for (int n = 0; n < 24; ++n) {
        wchar_t caption[16];
        wsprintfW(caption, L"Button %d", n + 1);
        Button(window, caption, 360 + columns[n % 4], 480 + 960 * (n / 4), 1700, 650);
    }
    Button(window, L"OK", 7200, 6480, 1215, 495);
    Button(window, L"Cancel", 8520, 6480, 1215, 495);
    ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

bool SafeDurableReplace(const std::wstring& target, const std::string& bytes) {
    std::uint64_t random = 0;
    if (!RtlGenRandom(&random, sizeof(random)))
        return false;
    wchar_t suffix[32];
    wsprintfW(suffix, L".%08lx%08lx.tmp", static_cast<unsigned long>(random >> 32),
              static_cast<unsigned long>(random & 0xffffffff));
    const std::wstring temporary = target + suffix;
    if (!WriteFlushed(temporary, CREATE_NEW, bytes))
        return false;
    const bool ok = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES
                        ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, 0, nullptr, nullptr) != 0
                        : MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileW(temporary.c_str());
    return ok;
}

bool RawDurableReplace(const std::wstring& target, const std::string& bytes) {
    const std::wstring temporary = target + L".tmp";
    if (!WriteFlushed(temporary, CREATE_ALWAYS, bytes))
        return false;
    const bool ok =
        MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok)
        DeleteFileW(temporary.c_str());
    return ok;
}

}  // namespace tw_bench
