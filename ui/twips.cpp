#include "ui/twips.h"

namespace ui {

namespace {
// Windows 10's per-monitor DPI functions, looked up once; absent on Windows 7.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

template <class Fn>
Fn User32Function(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}
}  // namespace

UINT WindowDpi(HWND hwnd) {
    static auto getDpi = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpi != nullptr && hwnd != nullptr) {
        UINT dpi = getDpi(hwnd);
        if (dpi != 0)
            return dpi;
    }
    HDC screen = GetDC(nullptr);
    UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return dpi;
}

BOOL AdjustRectForDpi(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi) {
    static auto adjust = User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (adjust != nullptr)
        return adjust(rect, style, menu, exStyle, dpi);
    return AdjustWindowRectEx(rect, style, menu, exStyle);
}

}  // namespace ui
