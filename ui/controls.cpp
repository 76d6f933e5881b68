// The engine's own controls and their drawing: frames, images, the icon box,
// lines and the owner-drawn picture buttons.
#include "ui/controls.h"

#include <map>

#include "platform/picture.h"
#include "platform/scoped_handle.h"
#include "ui/accessibility.h"
#include "ui/engine.h"
#include "ui/form.h"
#include "ui/form_def.h"

namespace ui {

namespace {

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
        platform::PaintDc paint(hwnd, msg, wParam);
        HDC dc = paint.Get();
        const UINT dpi = DpiOf(hwnd);
        RECT box;
        GetClientRect(hwnd, &box);
        wchar_t caption[256];
        int length = GetWindowTextW(hwnd, caption, 256);
        platform::SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
        SIZE text{};
        if (length > 0) {
            GetTextExtentPoint32W(dc, caption, length, &text);
            box.top += text.cy / 2;
        }
        DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
        if (length > 0) {
            // The caption sits in a gap of the top edge, inset from the corner.
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            const int inset = Scale(8, dpi), pad = Scale(2, dpi);
            RECT label{inset, 0, inset + text.cx + 2 * pad, text.cy};
            ExtTextOutW(dc, label.left + pad, 0, ETO_OPAQUE, &label, caption, static_cast<UINT>(length), nullptr);
        }
        return 0;
    }
    case WM_SETFONT:
        SetPropW(hwnd, L"Font", reinterpret_cast<HANDLE>(wParam));
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetPropW(hwnd, L"Font"));
    case WM_DESTROY:
        RemovePropW(hwnd, L"Font");
        ForgetScreenReader(hwnd);
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
        platform::PaintDc paint(hwnd, msg, wParam);
        HDC dc = paint.Get();
        // The form hands the unpacked picture over right after creating us.
        auto picture = static_cast<HBITMAP>(GetPropW(hwnd, L"Picture"));
        RECT client;
        GetClientRect(hwnd, &client);
        BITMAP info{};
        if (picture == nullptr || GetObjectW(picture, sizeof(info), &info) == 0)
            return 0;
        platform::ScopedMemoryDc source(CreateCompatibleDC(dc));
        platform::SelectedObject selected(source.Get(), picture);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, client.right, client.bottom, source.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE;
    case WM_DESTROY:
        ForgetScreenReader(hwnd);
        break;
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
        platform::PaintDc paint(hwnd, msg, wParam);
        HDC dc = paint.Get();
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        const int size = Scale(32, DpiOf(hwnd));
        DrawIconEx(dc, 0, 0, ProgramIcon(size), size, size, 0, nullptr, DI_NORMAL);
        if (GetFocus() == hwnd && !(SendMessageW(GetAncestor(hwnd, GA_ROOT), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS))
            DrawFocusRect(dc, &client);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_UPDATEUISTATE: {
        LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return result;
    }
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
        platform::ScopedGdi<HBRUSH> brush(CreateSolidBrush(DefOf(hwnd)->color));
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush.Get());
        return TRUE;
    }
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_DESTROY:
        ForgetScreenReader(hwnd);
        break;
    case WM_GETOBJECT:
        return AnswerScreenReader(hwnd, *DefOf(hwnd), wParam, lParam);
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Register(const wchar_t* name, WNDPROC proc, HBRUSH background, HICON icon, HICON smallIcon) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.lpszClassName = name;
    RegisterClassExW(&wc);
}

}  // namespace

HICON ProgramIcon(int size) {
    // One icon of each size, kept for the life of the program. A shared icon
    // (LR_SHARED) would come back at the size first asked for, whatever the
    // size asked.
    static std::map<int, platform::ScopedIcon> icons;
    platform::ScopedIcon& icon = icons[size];
    if (!icon)
        icon.Reset(static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)));
    return icon.Get();
}

void RegisterClasses(WNDPROC formProc) {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    HBRUSH face = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    // Every form shows the program's icon through its class: one icon given
    // to each window as it is made (WM_SETICON) costs Wine a new icon for
    // the window manager each time.
    Register(kFormClass, formProc, face, ProgramIcon(32), ProgramIcon(16));
    Register(kFrameClass, FrameProc, nullptr, nullptr, nullptr);
    Register(kImageClass, ImageProc, nullptr, nullptr, nullptr);
    Register(kPictureBoxClass, PictureBoxProc, nullptr, nullptr, nullptr);
    Register(kLineClass, LineProc, nullptr, nullptr, nullptr);
}

void Form::DrawPictureButton(const DRAWITEMSTRUCT& item) {
    const ControlDef* def = ControlDefOf(item.hwndItem);
    if (def == nullptr)
        return;
    HDC dc = item.hDC;
    RECT box = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    const int shift = pressed ? Scale(1, dpi_) : 0;
    RECT inner = box;
    InflateRect(&inner, -Scale(3, dpi_), -Scale(3, dpi_));
    OffsetRect(&inner, shift, shift);

    wchar_t caption[128];
    int length = GetWindowTextW(item.hwndItem, caption, 128);
    // Access keys are underlined only once the keyboard is in use.
    const UINT prefix = ((item.itemState & ODS_NOACCEL) || (uiState_ & UISF_HIDEACCEL)) ? DT_HIDEPREFIX : 0;
    platform::SelectedObject font(dc, Font(def->font));
    RECT measure{0, 0, 0, 0};
    DrawTextW(dc, caption, length, &measure, DT_CALCRECT | DT_SINGLELINE | prefix);
    RECT text = inner;
    if (def->resource != 0) {
        // Picture above the caption, at its own size, centred across the
        // button; a picture taller than the room shows its middle band.
        text.top = inner.bottom - measure.bottom;
        platform::BmpView picture = platform::ViewBmp(platform::ResourceBytes(def->resource));
        int room = text.top - inner.top;
        int x = inner.left + ((inner.right - inner.left) - picture.width) / 2;
        int y = inner.top + (room - picture.height) / 2;
        int saved = SaveDC(dc);
        IntersectClipRect(dc, inner.left, inner.top, inner.right, text.top);
        platform::DrawBmp(dc, picture, x, y);
        RestoreDC(dc, saved);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, caption, length, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT) && !(uiState_ & UISF_HIDEFOCUS)) {
        RECT focus = box;
        InflateRect(&focus, -Scale(4, dpi_), -Scale(4, dpi_));
        DrawFocusRect(dc, &focus);
    }
}

}  // namespace ui
