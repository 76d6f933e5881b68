#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "app/identity.h"
#include "platform/failure.h"
#include "platform/mouse_pointer.h"
#include "platform/picture.h"
#include "platform/text.h"
#include "ui/accessibility.h"
#include "ui/controls.h"
#include "ui/twips.h"

namespace ui {

namespace {

constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 1000;
constexpr const wchar_t* kNameProp = L"Tumblewick.Name";

int g_loadedForms = 0;
bool g_failed = false;

// Forms without a task-bar button are owned by this hidden window, as the
// task bar lists only unowned windows.
HWND ApplicationWindow() {
    static HWND window = CreateWindowExW(0, kFormClass, app::kAppTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
    return window;
}

// A control's name travels as a global atom, so other processes can read it.
void SetName(HWND hwnd, const char* name) {
    ATOM atom = GlobalAddAtomW(platform::FromAnsi(name).c_str());
    SetPropW(hwnd, kNameProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
}

void ReleaseName(HWND hwnd) {
    GlobalDeleteAtom(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(hwnd, kNameProp))));
}

bool IsButton(Kind kind) { return kind == Kind::Button || kind == Kind::PictureButton; }
bool TakesFocus(Kind kind) { return IsButton(kind) || kind == Kind::PictureBox; }

// The letter after a single "&" in a caption, or 0.
wchar_t AccessKey(const wchar_t* caption) {
    for (const wchar_t* c = caption; c != nullptr && *c != 0; ++c) {
        if (*c == L'&') {
            if (c[1] == L'&') {
                ++c;
                continue;
            }
            return static_cast<wchar_t>(towupper(c[1]));
        }
    }
    return 0;
}

std::wstring ShortcutText(WORD key) {
    if (key >= VK_F1 && key <= VK_F24)
        return L"Ctrl+F" + std::to_wstring(key - VK_F1 + 1);
    return std::wstring(L"Ctrl+") + static_cast<wchar_t>(key);
}

}  // namespace

Form::~Form() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

Form* Form::FromWindow(HWND hwnd) {
    wchar_t cls[64];
    if (hwnd == nullptr || GetClassNameW(hwnd, cls, 64) == 0 || wcscmp(cls, kFormClass) != 0)
        return nullptr;
    return reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Form::Show() {
    if (hwnd_ == nullptr) {
        Create();
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        std::vector<HWND> order = TabOrder();
        SetForegroundWindow(hwnd_);
        SetFocus(order.empty() ? hwnd_ : order.front());
        return;
    }
    if (IsIconic(hwnd_))
        ShowWindow(hwnd_, SW_RESTORE);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    BringWindowToTop(hwnd_);
}

void Form::Unload() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void Form::Create() {
    RegisterClasses(WndProc);
    DWORD style = WS_CLIPCHILDREN;
    DWORD exStyle = 0;
    switch (def_.border) {
    case Border::FixedNoCaption:
        style |= WS_POPUP | WS_DLGFRAME;
        break;
    case Border::FixedDialog:
        style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        exStyle |= WS_EX_DLGMODALFRAME;
        break;
    case Border::FixedSingle:
        style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        break;
    case Border::Sizable:
        style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        break;
    }
    if (def_.minButton)
        style |= WS_MINIMIZEBOX;
    HWND owner = nullptr;
    if (def_.showInTaskbar)
        exStyle |= WS_EX_APPWINDOW;
    else
        owner = ApplicationWindow();

    hwnd_ = CreateWindowExW(exStyle, kFormClass, def_.caption ? def_.caption : L"", style, CW_USEDEFAULT, 0, 100,
                            100, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr)
        platform::ThrowLastError(platform::FromAnsi(def_.name));
    ++g_loadedForms;
    try {
        dpi_ = WindowDpi(hwnd_);
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProgramIcon(32)));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(ProgramIcon(16)));
        CreateMenu();
        CreateControls();
        Layout();
        Form_Load();
    } catch (...) {
        Unload();
        throw;
    }
}

void Form::CreateMenu() {
    if (def_.menu.empty())
        return;
    menu_ = ::CreateMenu();
    std::map<std::string_view, HMENU> menus;
    std::vector<ACCEL> accels;
    UINT id = kFirstMenuId;
    for (const MenuDef& item : def_.menu) {
        if (item.menu == nullptr) {
            HMENU popup = CreatePopupMenu();
            menus[item.name] = popup;
            AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), item.caption);
            continue;
        }
        std::wstring text = item.caption;
        if (item.ctrlKey != 0) {
            text += L"\t" + ShortcutText(item.ctrlKey);
            accels.push_back({static_cast<BYTE>(FVIRTKEY | FCONTROL), item.ctrlKey, static_cast<WORD>(id)});
        }
        AppendMenuW(menus.at(item.menu), MF_STRING, id, text.c_str());
        menuCommands_[id] = &item;
        ++id;
    }
    SetMenu(hwnd_, menu_);
    if (!accels.empty())
        accelerators_ = CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
}

void Form::CreateControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                               hwnd_, nullptr, instance, nullptr);
    int id = kFirstControlId;
    for (const ControlDef& def : def_.controls) {
        HWND parent = def.parent ? Control(def.parent) : hwnd_;
        if (parent == nullptr)
            throw platform::Failure(ERROR_INVALID_WINDOW_HANDLE, L"No container " + platform::FromAnsi(def.parent));
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        switch (def.kind) {
        case Kind::Frame:
            cls = kFrameClass;
            style |= WS_CLIPCHILDREN;
            break;
        case Kind::Label:
            style |= SS_NOTIFY | ((def.flags & kAlignRight) ? SS_RIGHT : (def.flags & kNoWrap) ? SS_LEFTNOWORDWRAP
                                                                                               : SS_LEFT);
            break;
        case Kind::Button:
            cls = L"BUTTON";
            style |= WS_TABSTOP | ((def.flags & kDefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            break;
        case Kind::PictureButton:
            cls = L"BUTTON";
            style |= WS_TABSTOP | BS_OWNERDRAW;
            break;
        case Kind::Image:
            cls = kImageClass;
            break;
        case Kind::PictureBox:
            cls = kPictureBoxClass;
            style |= WS_TABSTOP;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        case Kind::Line:
            cls = kLineClass;
            break;
        }
        HWND control = CreateWindowExW(exStyle, cls, def.caption ? def.caption : L"", style, 0, 0, 0, 0, parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance,
                                       const_cast<ControlDef*>(&def));
        if (control == nullptr)
            platform::ThrowLastError(platform::FromAnsi(def.name));
        controls_.push_back(control);
        SetName(control, def.name);
        if (def.kind == Kind::Image)
            SetPropW(control, L"Picture", platform::DecodePicture(platform::ResourceBytes(def.resource)));
        if (def.toolTip != nullptr) {
            TOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = parent;
            tool.uId = reinterpret_cast<UINT_PTR>(control);
            tool.lpszText = const_cast<wchar_t*>(def.toolTip);
            SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    SetName(hwnd_, def_.name);
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

void Form::AutoSize(HWND control, const ControlDef& def, RECT& pixels) {
    wchar_t text[512];
    int length = GetWindowTextW(control, text, 512);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, Font(def.font));
    RECT measure{0, 0, 0, 0};
    DrawTextW(dc, text, length, &measure, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (def.flags & kAutoSizeKeepRight)
        pixels.left = pixels.right - measure.right;
    else
        pixels.right = pixels.left + measure.right;
    pixels.bottom = pixels.top + measure.bottom;
}

// Where a control goes at the form's DPI: its table rectangle in pixels, a
// line as thick as its width, a label that sizes itself fitted to its text.
RECT Form::Place(HWND control, const ControlDef& def) {
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
        AutoSize(control, def, pixels);
    return pixels;
}

void Form::Layout() {
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlDef& def = def_.controls[i];
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(Font(def.font)), FALSE);
        RECT pixels = Place(controls_[i], def);
        // Later rows of the table lie in front of earlier ones.
        SetWindowPos(controls_[i], HWND_TOP, pixels.left, pixels.top, pixels.right - pixels.left,
                     pixels.bottom - pixels.top, SWP_NOACTIVATE);
    }

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
    // Centred on the screen's work area.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT outer;
    GetWindowRect(hwnd_, &outer);
    int x = work.left + ((work.right - work.left) - (outer.right - outer.left)) / 2;
    int y = work.top + ((work.bottom - work.top) - (outer.bottom - outer.top)) / 2;
    SetWindowPos(hwnd_, nullptr, std::max<int>(x, work.left), std::max<int>(y, work.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::ReleaseResources() {
    for (HWND control : controls_)
        ReleaseName(control);
    ReleaseName(hwnd_);
    controls_.clear();
    if (accelerators_ != nullptr)
        DestroyAcceleratorTable(accelerators_);
    accelerators_ = nullptr;
    menu_ = nullptr;  // destroyed with the window
    menuCommands_.clear();
    toolTip_ = nullptr;  // an owned window, destroyed with its owner
}

HWND Form::Control(std::string_view name) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (name == def_.controls[i].name)
            return controls_[i];
    return nullptr;
}

const ControlDef* Form::ControlDefOf(HWND control) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i] == control)
            return &def_.controls[i];
    return nullptr;
}

void Form::SetText(std::string_view control, const std::wstring& text) {
    HWND hwnd = Control(control);
    if (hwnd == nullptr)
        throw platform::Failure(ERROR_INVALID_WINDOW_HANDLE, L"No control " + platform::FromAnsi(control));
    SetWindowTextW(hwnd, text.c_str());
    const ControlDef* def = ControlDefOf(hwnd);
    if (def->flags & (kAutoSizeKeepLeft | kAutoSizeKeepRight)) {
        RECT pixels = Place(hwnd, *def);
        SetWindowPos(hwnd, nullptr, pixels.left, pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Form::SetCaption(const std::wstring& text) { SetWindowTextW(hwnd_, text.c_str()); }

std::vector<HWND> Form::TabOrder() const {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (def_.controls[i].tabIndex >= 0 && TakesFocus(def_.controls[i].kind))
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return def_.controls[a].tabIndex < def_.controls[b].tabIndex;
    });
    std::vector<HWND> windows;
    for (std::size_t i : order)
        if (IsWindowEnabled(controls_[i]) && IsWindowVisible(controls_[i]))
            windows.push_back(controls_[i]);
    return windows;
}

void Form::MoveFocus(bool backwards) {
    std::vector<HWND> order = TabOrder();
    if (order.empty())
        return;
    auto at = std::find(order.begin(), order.end(), GetFocus());
    std::size_t next;
    if (at == order.end())
        next = backwards ? order.size() - 1 : 0;
    else if (backwards)
        next = (at - order.begin() + order.size() - 1) % order.size();
    else
        next = (at - order.begin() + 1) % order.size();
    SetFocus(order[next]);
}

HWND Form::ButtonWithFlag(unsigned flag) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (IsButton(def_.controls[i].kind) && (def_.controls[i].flags & flag))
            return controls_[i];
    return nullptr;
}

HWND Form::AccessKeyTarget(wchar_t key) const {
    key = static_cast<wchar_t>(towupper(key));
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (def_.controls[i].kind == Kind::Button && AccessKey(def_.controls[i].caption) == key)
            return controls_[i];
    return nullptr;
}

void Form::ClickControl(HWND control) { SendMessageW(control, BM_CLICK, 0, 0); }

bool Form::PreTranslate(MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (accelerators_ != nullptr && TranslateAcceleratorW(hwnd_, accelerators_, &msg))
            return true;
        if (msg.message != WM_KEYDOWN)
            return false;
        if (msg.wParam == VK_TAB) {
            MoveFocus(GetKeyState(VK_SHIFT) < 0);
            return true;
        }
        if (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) {
            HWND focus = GetFocus();
            const ControlDef* focused = ControlDefOf(focus);
            HWND target = nullptr;
            if (msg.wParam == VK_RETURN)
                target = (focused && IsButton(focused->kind)) ? focus : ButtonWithFlag(kDefaultButton);
            else
                target = ButtonWithFlag(kCancelButton);
            if (target != nullptr) {
                ClickControl(target);
                return true;
            }
        }
        return false;
    case WM_CHAR:
        if (def_.keyPreview) {
            Form_KeyPress(static_cast<wchar_t>(msg.wParam));
            return hwnd_ == nullptr;
        }
        return false;
    case WM_SYSCHAR:
        if (HWND target = AccessKeyTarget(static_cast<wchar_t>(msg.wParam))) {
            SetFocus(target);
            ClickControl(target);
            return true;
        }
        return false;
    }
    return false;
}

void Form::DrawPictureButton(const DRAWITEMSTRUCT& item) {
    const ControlDef* def = ControlDefOf(item.hwndItem);
    if (def == nullptr)
        return;
    HDC dc = item.hDC;
    RECT box = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    const int shift = pressed ? 1 : 0;
    RECT inner = box;
    InflateRect(&inner, -3, -3);
    OffsetRect(&inner, shift, shift);

    wchar_t caption[128];
    int length = GetWindowTextW(item.hwndItem, caption, 128);
    HGDIOBJ oldFont = SelectObject(dc, Font(def->font));
    RECT measure{0, 0, 0, 0};
    DrawTextW(dc, caption, length, &measure, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
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
    DrawTextW(dc, caption, length, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = box;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

LRESULT Form::Message(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND: {
        UINT id = LOWORD(wParam);
        if (lParam == 0) {
            auto item = menuCommands_.find(id);
            if (item != menuCommands_.end())
                Click(item->second->name);
            return 0;
        }
        // An owner-drawn button reports a quick second click as a double
        // click; it is a click all the same.
        const ControlDef* def = ControlDefOf(reinterpret_cast<HWND>(lParam));
        if (def && IsButton(def->kind) &&
            (HIWORD(wParam) == BN_CLICKED || (HIWORD(wParam) == BN_DOUBLECLICKED && def->kind == Kind::PictureButton)))
            Click(def->name);
        return 0;
    }
    case WM_DRAWITEM:
        DrawPictureButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const ControlDef* def = ControlDefOf(reinterpret_cast<HWND>(lParam));
        SetTextColor(dc, (def && (def->flags & kBlackText)) ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
        if (platform::ApplyBusyPointer())
            return TRUE;
        break;
    case WM_GETOBJECT:
        return AnswerScreenReader(hwnd_, def_, wParam, lParam);
    case WM_ACTIVATE:
        // Give the focus back to the control that had it.
        if (LOWORD(wParam) == WA_INACTIVE) {
            SetPropW(hwnd_, L"Tumblewick.Focus", GetFocus());
        } else if (HWND last = static_cast<HWND>(GetPropW(hwnd_, L"Tumblewick.Focus")); last && IsChild(hwnd_, last)) {
            SetFocus(last);
            return 0;
        }
        break;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        for (auto& [key, font] : fonts_)
            DeleteObject(font);
        fonts_.clear();
        Layout();
        return 0;
    }
    case WM_DESTROY:
        RemovePropW(hwnd_, L"Tumblewick.Focus");
        ReleaseResources();
        break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Form::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    Form* form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (form->hwnd_ == nullptr)
        form->hwnd_ = hwnd;
    if (msg == WM_NCDESTROY) {
        LRESULT result = DefWindowProcW(hwnd, msg, wParam, lParam);
        for (auto& [key, font] : form->fonts_)
            DeleteObject(font);
        form->fonts_.clear();
        form->hwnd_ = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        if (--g_loadedForms == 0)
            PostQuitMessage(g_failed ? 1 : 0);
        return result;
    }
    // No failure crosses a window procedure: what a handler does not trap
    // ends here.
    try {
        return form->Message(msg, wParam, lParam);
    } catch (const platform::Failure& failure) {
        ReportUnhandledFailure(failure.Number(), failure.Description());
    } catch (const std::bad_alloc&) {
        ReportUnhandledFailure(ERROR_OUTOFMEMORY, platform::SystemErrorText(ERROR_OUTOFMEMORY));
    } catch (const std::exception& other) {
        ReportUnhandledFailure(ERROR_INTERNAL_ERROR, platform::FromAnsi(other.what()));
    }
    return 0;
}

void ReportUnhandledFailure(long number, const std::wstring& description) {
    if (g_failed)
        return;
    g_failed = true;
    std::wstring text = L"Error " + std::to_wstring(number) + L":\n\n" + description;
    MessageBoxW(nullptr, text.c_str(), app::kAppTitle, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    PostQuitMessage(1);
}

void ProcessMessage(MSG& msg) {
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        if (Form* form = Form::FromWindow(GetAncestor(msg.hwnd, GA_ROOT)); form && form->IsLoaded()) {
            bool handled = false;
            try {
                handled = form->PreTranslate(msg);
            } catch (const platform::Failure& failure) {
                ReportUnhandledFailure(failure.Number(), failure.Description());
                handled = true;
            }
            if (handled)
                return;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        ProcessMessage(msg);
    return g_failed ? 1 : static_cast<int>(msg.wParam);
}

int LoadedFormCount() { return g_loadedForms; }

std::wstring ControlName(HWND control) {
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(control, kNameProp)));
    wchar_t name[256];
    if (atom == 0 || GlobalGetAtomNameW(atom, name, 256) == 0)
        return {};
    return name;
}

namespace {
struct Search {
    std::wstring_view name;
    HWND found;
};

BOOL CALLBACK MatchName(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (ControlName(child) != search->name)
        return TRUE;
    search->found = child;
    return FALSE;
}
}  // namespace

HWND FindControl(HWND form, std::wstring_view name) {
    Search search{name, nullptr};
    EnumChildWindows(form, MatchName, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace ui
