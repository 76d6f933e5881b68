// A form's life: load, show and unload, and its window procedure.
#include "ui/form.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/failure.h"
#include "platform/mouse_pointer.h"
#include "platform/picture.h"
#include "platform/system_settings.h"
#include "platform/text.h"
#include "ui/accessibility.h"
#include "ui/controls.h"
#include "ui/engine.h"
#include "ui/twips.h"

namespace ui {

namespace {

constexpr int kFirstControlId = 100;
constexpr int kFirstMenuId = 1000;

std::wstring g_title;
// The loaded forms, oldest first.
std::vector<Form*> g_loaded;

// Forms without a task-bar button are owned by this hidden window, as the
// task bar lists only unowned windows.
HWND ApplicationWindow() {
    static HWND window = CreateWindowExW(0, kFormClass, g_title.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                         GetModuleHandleW(nullptr), nullptr);
    return window;
}

bool IsButton(Kind kind) { return kind == Kind::Button || kind == Kind::PictureButton; }

std::wstring ShortcutText(WORD key) {
    if (key >= VK_F1 && key <= VK_F24)
        return L"Ctrl+F" + std::to_wstring(key - VK_F1 + 1);
    return std::wstring(L"Ctrl+") + static_cast<wchar_t>(key);
}

// A label's text: black where the table asks for it and black reads on the
// button face; in high contrast, or on a dark face, the system's button text,
// as on every other control.
COLORREF TextColor(bool black) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const int lightness = (299 * GetRValue(face) + 587 * GetGValue(face) + 114 * GetBValue(face)) / 1000;
    if (black && lightness >= 128 && !platform::HighContrastOn())
        return RGB(0, 0, 0);
    return GetSysColor(COLOR_BTNTEXT);
}

}  // namespace

void SetProgramTitle(std::wstring title) { g_title = std::move(title); }
const std::wstring& ProgramTitle() { return g_title; }

Form::~Form() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

Form* FormOf(HWND hwnd) {
    wchar_t cls[64];
    if (hwnd == nullptr || GetClassNameW(hwnd, cls, 64) == 0 || wcscmp(cls, kFormClass) != 0)
        return nullptr;
    return reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

UINT DpiOf(HWND control) {
    Form* form = FormOf(GetAncestor(control, GA_ROOT));
    return form != nullptr ? form->Dpi() : WindowDpi(control);
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
    RegisterClasses(FormProc);
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

    // Made on the monitor it opens on, so that it is laid out at that
    // monitor's DPI from the start; moved there later, it would be scaled
    // on the way and land off centre.
    const HMONITOR monitor = OpeningMonitor();
    const RECT work = WorkArea(monitor);
    hwnd_ = CreateWindowExW(exStyle, kFormClass, def_.caption ? def_.caption : L"", style, work.left, work.top, 100,
                            100, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr)
        platform::ThrowLastError(platform::FromAnsi(def_.name));
    g_loaded.push_back(this);
    try {
        dpi_ = WindowDpi(hwnd_);
        CreateMenu();
        CreateControls();
        SizeToClient();
        CentreOn(monitor);
        // As a dialog box starts: focus rectangles and access-key underlines
        // stay hidden until the keyboard is used (unless the user always
        // wants them).
        SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
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

// A new control goes to the bottom of its siblings, and later rows of the
// table lie in front of earlier ones. So the table is made from its end,
// containers first and in order (what they hold needs them), and then each
// container is put behind its next sibling: one move a container rather
// than one a control.
void Form::CreateControls() {
    const std::size_t count = def_.controls.size();
    std::vector<bool> container(count, false);
    for (const ControlDef& def : def_.controls)
        for (std::size_t i = 0; def.parent != nullptr && i < count; ++i)
            if (std::string_view(def_.controls[i].name) == def.parent)
                container[i] = true;
    controls_.assign(count, nullptr);
    for (std::size_t i = 0; i < count; ++i)
        if (container[i])
            CreateControl(i);
    for (std::size_t i = count; i-- > 0;)
        if (!container[i])
            CreateControl(i);
    for (std::size_t i = count; i-- > 0;) {
        if (!container[i])
            continue;
        const HWND parent = GetParent(controls_[i]);
        HWND next = HWND_TOP;
        for (std::size_t j = i + 1; j < count && next == HWND_TOP; ++j)
            if (GetParent(controls_[j]) == parent)
                next = controls_[j];
        SetWindowPos(controls_[i], next, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    SetName(hwnd_, def_.name);
}

void Form::CreateControl(std::size_t index) {
    const ControlDef& def = def_.controls[index];
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
    // Made where it goes, in its font, so nothing is moved or drawn twice.
    const wchar_t* caption = def.caption ? def.caption : L"";
    const RECT pixels = Place(def, caption);
    HWND control = CreateWindowExW(exStyle, cls, caption, style, pixels.left, pixels.top, pixels.right - pixels.left,
                                   pixels.bottom - pixels.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                                   GetModuleHandleW(nullptr), const_cast<ControlDef*>(&def));
    if (control == nullptr)
        platform::ThrowLastError(platform::FromAnsi(def.name));
    controls_[index] = control;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(def.font)), FALSE);
    SetName(control, def.name);
    if (def.kind == Kind::Image)
        SetPropW(control, L"Picture", platform::UnpackPicture(platform::ResourceBytes(def.resource)));
}

// Tool tips show only once the mouse rests on a control, so the window that
// shows them is made when the mouse first moves over the form, not with it.
void Form::MakeToolTips() {
    toolTipsMade_ = true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlDef& def = def_.controls[i];
        if (def.toolTip == nullptr)
            continue;
        if (toolTip_ == nullptr) {
            toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                       hwnd_, nullptr, instance, nullptr);
            if (toolTip_ == nullptr)
                return;
        }
        // The loop relays the mouse to it (ProcessMessage) rather than each
        // button being subclassed for it.
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = GetParent(controls_[i]);
        tool.uId = reinterpret_cast<UINT_PTR>(controls_[i]);
        tool.lpszText = const_cast<wchar_t*>(def.toolTip);
        SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
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
    toolTipsMade_ = false;
    uiState_ = 0;        // a window loaded again starts afresh
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
        RECT pixels = Place(*def, text);
        SetWindowPos(hwnd, nullptr, pixels.left, pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Form::SetCaption(const std::wstring& text) { SetWindowTextW(hwnd_, text.c_str()); }

void Form::ClickControl(HWND control) { SendMessageW(control, BM_CLICK, 0, 0); }

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
        SetTextColor(dc, TextColor(def && (def->flags & kBlackText)));
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
    // Wine: the form keeps its own keyboard-cue state for what it draws itself, as Wine keeps none.
    // Windows' own handling goes on for the controls. A user who asked for
    // the cues always has nothing hidden, as Windows does for its own.
    case WM_CHANGEUISTATE:
    case WM_UPDATEUISTATE: {
        WORD flags = HIWORD(wParam) & (UISF_HIDEFOCUS | UISF_HIDEACCEL);
        if (LOWORD(wParam) != UIS_CLEAR && platform::KeyboardCuesAlwaysShown())
            flags = 0;
        WORD state = uiState_;
        if (LOWORD(wParam) == UIS_SET || LOWORD(wParam) == UIS_INITIALIZE)
            state |= flags;
        else if (LOWORD(wParam) == UIS_CLEAR)
            state &= ~flags;
        if (state != uiState_) {
            uiState_ = state;
            InvalidateRect(hwnd_, nullptr, TRUE);
            RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
        break;
    }
    case WM_QUERYUISTATE:
        return uiState_;
    case WM_DPICHANGED:
        ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_DESTROY:
        RemovePropW(hwnd_, L"Tumblewick.Focus");
        ForgetScreenReader(hwnd_);
        ReleaseResources();
        break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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
        form->ReleaseFonts();
        form->hwnd_ = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        std::erase(g_loaded, form);
        if (g_loaded.empty())
            PostQuitMessage(ProgramFailed() ? 1 : 0);
        return result;
    }
    // No failure crosses a window procedure: what a handler does not trap
    // ends here.
    try {
        return form->Message(msg, wParam, lParam);
    } catch (...) {
        ReportCurrentException();
    }
    return 0;
}

int LoadedFormCount() { return static_cast<int>(g_loaded.size()); }

const std::vector<Form*>& LoadedForms() { return g_loaded; }

}  // namespace ui
