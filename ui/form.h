// A window built from its FormDef table. Each form class has one
// program-wide instance (Instance<T>()), which is loaded when it is shown and
// destroyed when it is unloaded; the program ends when the last one goes.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "ui/form_def.h"

namespace ui {

class Form {
public:
    explicit Form(const FormDef& def) : def_(def) {}
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Loads the form if it is not loaded (running Form_Load before it is
    // first drawn), then shows it and brings it to the front.
    void Show();
    // Destroys the window and everything it holds.
    void Unload();

    bool IsLoaded() const { return hwnd_ != nullptr; }
    HWND Hwnd() const { return hwnd_; }
    const FormDef& Def() const { return def_; }
    UINT Dpi() const { return dpi_; }

    // The control of that name, or nullptr.
    HWND Control(std::string_view name) const;
    const ControlDef* ControlDefOf(HWND control) const;

    void SetText(std::string_view control, const std::wstring& text);
    void SetCaption(const std::wstring& text);

    // Called by the engine.
    virtual void Form_Load() {}
    virtual void Form_KeyPress(wchar_t) {}
    // A click on a button or a menu item, by its name.
    virtual void Click(std::string_view name) = 0;
    // Every name that Click acts on.
    virtual std::vector<std::string_view> ClickNames() const = 0;

private:
    friend LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
    friend Form* FormOf(HWND);
    friend void ProcessMessage(MSG& msg);  // message_loop.cpp

    // Life cycle (form.cpp).
    void Create();
    void CreateControls();
    void CreateControl(std::size_t index);
    void CreateMenu();
    void MakeToolTips();
    void ReleaseResources();
    void ClickControl(HWND control);
    LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam);

    // Layout at the form's DPI (layout.cpp).
    void Layout();
    void SizeToClient();
    HMONITOR OpeningMonitor() const;
    void CentreOn(HMONITOR monitor);
    void ChangeDpi(UINT dpi, const RECT& suggested);
    RECT Place(const ControlDef& def, std::wstring_view text);
    void AutoSize(std::wstring_view text, const ControlDef& def, RECT& pixels);
    HFONT Font(const FontSpec& wanted);
    void ReleaseFonts();

    // Keyboard (keyboard.cpp).
    bool PreTranslate(MSG& msg);
    std::vector<HWND> TabOrder() const;
    void MoveFocus(bool backwards);
    HWND ButtonWithFlag(unsigned flag) const;
    HWND AccessKeyTarget(wchar_t key) const;
    void ShowKeyboardCues();

    // The engine's picture buttons (controls.cpp).
    void DrawPictureButton(const DRAWITEMSTRUCT& item);

    const FormDef& def_;
    HWND hwnd_ = nullptr;
    HWND toolTip_ = nullptr;
    bool toolTipsMade_ = false;
    HMENU menu_ = nullptr;
    HACCEL accelerators_ = nullptr;
    UINT dpi_ = 96;
    WORD uiState_ = 0;  // UISF_HIDEFOCUS and UISF_HIDEACCEL while the keyboard is unused
    std::vector<HWND> controls_;  // in the order of def_.controls
    std::map<std::tuple<std::wstring, int, int>, HFONT> fonts_;
    std::map<UINT, const MenuDef*> menuCommands_;
};

// The one program-wide instance of a form class.
template <class T>
T& Instance() {
    static T form;
    return form;
}

// A form's click handler, by the name of the control or menu item it serves.
template <class T>
struct ClickHandler {
    const char* name;
    void (T::*run)();
};

// Runs the handler that `name` names, if there is one.
template <class T, std::size_t N>
void Dispatch(T& form, const ClickHandler<T> (&handlers)[N], std::string_view name) {
    for (const ClickHandler<T>& handler : handlers)
        if (name == handler.name) {
            (form.*handler.run)();
            return;
        }
}

template <class T, std::size_t N>
std::vector<std::string_view> NamesOf(const ClickHandler<T> (&handlers)[N]) {
    std::vector<std::string_view> names;
    for (const ClickHandler<T>& handler : handlers)
        names.push_back(handler.name);
    return names;
}

// The title of the program's windows and message boxes, set once at start.
void SetProgramTitle(std::wstring title);
const std::wstring& ProgramTitle();

// Runs the program: `start` opens its first window, then the message loop
// runs until the last form is unloaded or a failure ends the program.
// Returns the program's exit code.
int RunProgram(const std::function<void()>& start);
// Runs the message loop alone; returns the program's exit code.
int Run();
// Handles one message as the loop does (keyboard first); used by Run and by
// anything that pumps messages itself.
void ProcessMessage(MSG& msg);
// Number of forms loaded right now.
int LoadedFormCount();

// Shows a failure that nothing trapped and ends the program.
void ReportUnhandledFailure(long number, const std::wstring& description);
// The same for the exception being handled, whatever it is; for a catch (...)
// at an edge that no failure may cross.
void ReportCurrentException();

// The name a control bears in its form's table, from any process.
std::wstring ControlName(HWND control);
// The control of that name in a form's window tree, or nullptr.
HWND FindControl(HWND form, std::wstring_view name);

}  // namespace ui
