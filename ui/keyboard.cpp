// The keyboard of a form: Tab order across nested frames, access keys, the
// default and cancel buttons, key preview and menu shortcuts.
//
// The dialog manager (IsDialogMessage) is not used: it walks the tab order
// of one window's direct children by z-order and WS_TABSTOP, while a form's
// order follows its table's tab indices across frames at any depth, and it
// knows nothing of key preview or of owner-drawn buttons acting as default.
#include <algorithm>

#include "ui/engine.h"
#include "ui/form.h"

namespace ui {

namespace {

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

}  // namespace

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

// The keyboard is in use: from now on the form shows where the focus is and
// which letters are access keys, as dialog boxes do.
void Form::ShowKeyboardCues() {
    SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}

bool Form::PreTranslate(MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (msg.wParam == VK_TAB || msg.wParam == VK_MENU)
            ShowKeyboardCues();
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
            ShowKeyboardCues();
            SetFocus(target);
            ClickControl(target);
            return true;
        }
        return false;
    }
    return false;
}

}  // namespace ui
