#include "ui/controls.h"

#include "ui/accessibility.h"
#include "ui/form_def.h"

namespace ui {

namespace {

// The DC to draw on: the window's own while it paints, or the one a
// WM_PRINTCLIENT hands over.
class PaintDc {
public:
    PaintDc(HWND hwnd, UINT msg, WPARAM wParam) : hwnd_(hwnd), painting_(msg == WM_PAINT) {
        dc = painting_ ? BeginPaint(hwnd, &ps_) : reinterpret_cast<HDC>(wParam);
    }
    ~PaintDc() {
        if (painting_)
            EndPaint(hwnd_, &ps_);
    }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC dc;

private:
    HWND hwnd_;
    bool painting_;
    PAINTSTRUCT ps_{};
};

const ControlDef* DefOf(HWND hwnd) { return reinterpret_cast<const ControlDef*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

LRESULT CALLBACK StoreDefOnCreate(HWND hwnd, LPARAM lParam) {
    auto create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return TRUE;
}

// A frame draws an etched border with its caption set into the top edge, and
// hands its children's notifications on to the form, which owns the handlers.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        StoreDefOnCreate(hwnd, lParam);
        break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PaintDc paint(hwnd, msg, wParam);
        HDC dc = paint.dc;
        RECT box;
        GetClientRect(hwnd, &box);
        wchar_t caption[256];
        int length = GetWindowTextW(hwnd, caption, 256);
        HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
        SIZE text{};
        if (length > 0) {
            GetTextExtentPoint32W(dc, caption, length, &text);
            box.top += text.cy / 2;
        }
        DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
        if (length > 0) {
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            RECT label{8, 0, 8 + text.cx + 4, text.cy};
            ExtTextOutW(dc, label.left + 2, 0, ETO_OPAQUE, &label, caption, static_cast<UINT>(length), nullptr);
        }
        SelectObject(dc, oldFont);
        return 0;
    }
    case WM_SETFONT:
        SetPropW(hwnd, L"Font", reinterpret_cast<HANDLE>(wParam));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropW(hwnd, L"Font"));
    case WM_DESTROY:
        RemovePropW(hwnd, L"Font");
        break;
    case WM_GETOBJECT:
        return AnswerScreenReader(hwnd, *DefOf(hwnd), wParam, lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// An image stretches its picture to the whole rectangle, as the logo is.
LRESULT CALLBACK ImageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        StoreDefOnCreate(hwnd, lParam);
        break;
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PaintDc paint(hwnd, msg, wParam);
        HDC dc = paint.dc;
        // The form hands the decoded picture over right after creating us.
        auto picture = static_cast<HBITMAP>(GetPropW(hwnd, L"Picture"));
        RECT client;
        GetClientRect(hwnd, &client);
        BITMAP info{};
        if (picture == nullptr || GetObjectW(picture, sizeof(info), &info) == 0)
            return 0;
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, picture);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE;
    case WM_NCDESTROY:
        DeleteObject(RemovePropW(hwnd, L"Picture"));
        break;
    case WM_GETOBJECT:
        return AnswerScreenReader(hwnd, *DefOf(hwnd), wParam, lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The icon box shows the program's icon at its own size and can take the
// focus, which it marks with a dotted rectangle.
LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PRINTCLIENT:
    case WM_PAINT: {
        PaintDc paint(hwnd, msg, wParam);
        HDC dc = paint.dc;
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        DrawIconEx(dc, 0, 0, ProgramIcon(32), 32, 32, 0, nullptr, DI_NORMAL);
        if (GetFocus() == hwnd)
            DrawFocusRect(dc, &client);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK LineProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
        StoreDefOnCreate(hwnd, lParam);
        break;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH brush = CreateSolidBrush(DefOf(hwnd)->color);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        DeleteObject(brush);
        return TRUE;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_GETOBJECT:
        return AnswerScreenReader(hwnd, *DefOf(hwnd), wParam, lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Register(const wchar_t* name, WNDPROC proc, HBRUSH background, HICON icon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

}  // namespace

HICON ProgramIcon(int size) {
    // Shared icons are owned by the system and never leak.
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_SHARED));
}

void RegisterClasses(WNDPROC formProc) {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    HBRUSH face = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Register(kFormClass, formProc, face, ProgramIcon(32));
    Register(kFrameClass, FrameProc, nullptr, nullptr);
    Register(kImageClass, ImageProc, nullptr, nullptr);
    Register(kPictureBoxClass, PictureBoxProc, nullptr, nullptr);
    Register(kLineClass, LineProc, nullptr, nullptr);
}

}  // namespace ui
