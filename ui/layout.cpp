// Where a form's controls go: table twips to pixels at the form's DPI, labels
// sized to their text, the window sized to its exact client area and centred
// on its monitor, and all of it again when the DPI changes.
#include <algorithm>
#include <cmath>

#include "platform/failure.h"
#include "platform/scoped_handle.h"
#include "ui/engine.h"
#include "ui/form.h"
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
    platform::WindowDc screen(nullptr);
    return static_cast<UINT>(GetDeviceCaps(screen.Get(), LOGPIXELSY));
}

BOOL AdjustRectForDpi(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi) {
    static auto adjust = User32Function<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (adjust != nullptr)
        return adjust(rect, style, menu, exStyle, dpi);
    return AdjustWindowRectEx(rect, style, menu, exStyle);
}

HFONT Form::Font(const FontSpec& wanted) {
    int hundredths = static_cast<int>(std::lround(wanted.points * 100));
    auto key = std::make_tuple(std::wstring(wanted.face), hundredths, wanted.weight);
    auto found = fonts_.find(key);
    if (found != fonts_.end())
        return found->second;
    HFONT font = CreateFontW(-MulDiv(hundredths, static_cast<int>(dpi_), 7200), 0, 0, 0, wanted.weight, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, wanted.face);
    if (font == nullptr)
        platform::ThrowLastError(std::wstring(L"Font ") + wanted.face);
    fonts_[key] = font;
    return font;
}

void Form::ReleaseFonts() {
    for (auto& [key, font] : fonts_)
        DeleteObject(font);
    fonts_.clear();
}

void Form::AutoSize(std::wstring_view text, const ControlDef& def, RECT& pixels) {
    RECT measure{0, 0, 0, 0};
    {
        // Measured on the form, so that a label is sized before it exists.
        platform::WindowDc dc(hwnd_);
        platform::SelectedObject font(dc.Get(), Font(def.font));
        DrawTextW(dc.Get(), text.data(), static_cast<int>(text.size()), &measure,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (def.flags & kAutoSizeKeepRight)
        pixels.left = pixels.right - measure.right;
    else
        pixels.right = pixels.left + measure.right;
    pixels.bottom = pixels.top + measure.bottom;
}

// Where a control goes at the form's DPI: its table rectangle in pixels, a
// line as thick as its width, a label that sizes itself fitted to its text.
RECT Form::Place(const ControlDef& def, std::wstring_view text) {
    const Rect& r = def.rect;
    RECT pixels;
    if (def.kind == Kind::Line) {
        // A line of width w is w pixels thick, its first pixel on the line.
        pixels = {TwipsToPixels(std::min(r.left, r.width), dpi_), TwipsToPixels(std::min(r.top, r.height), dpi_),
                  TwipsToPixels(std::max(r.left, r.width), dpi_), TwipsToPixels(std::max(r.top, r.height), dpi_)};
        if (r.top == r.height)
            pixels.bottom = pixels.top + def.lineWidth;
        else
            pixels.right = pixels.left + def.lineWidth;
        return pixels;
    }
    pixels = {TwipsToPixels(r.left, dpi_), TwipsToPixels(r.top, dpi_), TwipsToPixels(r.left + r.width, dpi_),
              TwipsToPixels(r.top + r.height, dpi_)};
    if (def.flags & (kAutoSizeKeepLeft | kAutoSizeKeepRight))
        AutoSize(text, def, pixels);
    return pixels;
}

// Everything placed again at a new DPI.
void Form::Layout() {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlDef& def = def_.controls[i];
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(Font(def.font)), FALSE);
        wchar_t text[512];
        int length = GetWindowTextW(controls_[i], text, 512);
        RECT pixels = Place(def, {text, static_cast<std::size_t>(length)});
        SetWindowPos(controls_[i], nullptr, pixels.left, pixels.top, pixels.right - pixels.left,
                     pixels.bottom - pixels.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Form::SizeToClient() {
    const int width = TwipsToPixels(def_.clientWidth, dpi_);
    const int height = TwipsToPixels(def_.clientHeight, dpi_);
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    RECT frame{0, 0, width, height};
    AdjustRectForDpi(&frame, style, menu_ != nullptr, exStyle, dpi_);
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;
    // A menu bar that wraps takes more than one line; correct for what the
    // window really got so the client area is exact.
    for (int attempt = 0; attempt < 3; ++attempt) {
        SetWindowPos(hwnd_, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client;
        GetClientRect(hwnd_, &client);
        if (client.right == width && client.bottom == height)
            break;
        outerWidth += width - client.right;
        outerHeight += height - client.bottom;
    }
}

// A new window opens on the monitor the user is looking at: the one that
// holds the program's active (or first) window, or the mouse when this is the
// program's first window.
HMONITOR Form::OpeningMonitor() const {
    HWND anchor = nullptr;
    HWND active = GetActiveWindow();
    if (active != nullptr && active != hwnd_ && FormOf(active) != nullptr)
        anchor = active;
    for (const Form* form : LoadedForms())
        if (anchor == nullptr && form != this && form->Hwnd() != nullptr)
            anchor = form->Hwnd();
    if (anchor != nullptr)
        return MonitorFromWindow(anchor, MONITOR_DEFAULTTONEAREST);
    POINT mouse{};
    GetCursorPos(&mouse);
    return MonitorFromPoint(mouse, MONITOR_DEFAULTTONEAREST);
}

RECT WorkArea(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(monitor, &info);
    return info.rcWork;
}

// The window is centred in the work area of its monitor.
void Form::CentreOn(HMONITOR monitor) {
    const RECT work = WorkArea(monitor);
    RECT outer;
    GetWindowRect(hwnd_, &outer);
    int x = work.left + ((work.right - work.left) - (outer.right - outer.left)) / 2;
    int y = work.top + ((work.bottom - work.top) - (outer.bottom - outer.top)) / 2;
    SetWindowPos(hwnd_, nullptr, std::max<int>(x, work.left), std::max<int>(y, work.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window moved to a monitor of another DPI: everything is measured anew
// and the window takes the rectangle that Windows suggests for it.
void Form::ChangeDpi(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    ReleaseFonts();
    Layout();
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace ui
