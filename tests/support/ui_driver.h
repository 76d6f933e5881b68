// Drives the program's real windows from a test: pumps messages the way the
// program's loop does, sends real input, and reads windows back in twips.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/form_def.h"

namespace tw_test {

// Handles pending messages as the program's loop does, for `ms` at least.
// A quit message (the last form went) is remembered, not acted on.
void Pump(int ms = 0);
// Pumps until `done` holds or `ms` passed; returns whether it holds.
bool PumpUntil(const std::function<bool()>& done, int ms = 3000);
// True once a quit message came through Pump; Pump clears it first if asked.
bool QuitPosted();
void ClearQuit();

// A control's rectangle inside its parent's client area, in twips.
ui::Rect TwipsRect(HWND control);
// What TwipsRect reads back for a table rectangle at a DPI, after the
// engine's rounding of each edge to whole pixels.
ui::Rect OnScreen(ui::Rect twips, UINT dpi);
// Expects the control at the table rectangle, as the screen shows it.
void ExpectRect(HWND control, ui::Rect twips);
// A top-level window's client size in twips.
SIZE ClientTwips(HWND window);
UINT ScreenDpi();

struct FontInfo {
    std::wstring face;
    double points;
    int weight;
};
FontInfo FontOf(HWND control);

std::wstring Text(HWND window);
// The icon Windows shows for the window (ICON_BIG or ICON_SMALL): the one
// set on the window itself, or else its class's.
HICON ShownIcon(HWND window, WPARAM which);
std::wstring ClassOf(HWND window);

// Real keyboard and mouse input, delivered to the foreground window.
void PressKey(WORD vk, bool shift = false, bool ctrl = false, bool alt = false);
void ClickMouse(HWND control);

// The command of the menu item whose caption starts with `caption` in a
// window's menu bar, or 0.
UINT MenuCommand(HWND window, const wchar_t* caption);

// The visible top-level windows of this process, the tool tips left out.
std::vector<HWND> VisibleWindows();

// The focus order that Tab gives, starting from the focused control, as
// control names, `count` steps long.
std::vector<std::wstring> TabWalk(int count, bool backwards = false);

// The text of the tool tip that the form's tool-tip window holds for a
// control once the mouse has moved onto it, or "<none>" when it has no tool
// for it.
std::wstring ToolTipText(HWND control);

// The process's GDI and USER object counts. Where GetGuiResources answers 0
// (Wine's is a stub), they are counted by hand: GDI handles by probing the
// handle table, USER objects as this process's windows, menus and
// accelerator tables.
struct GuiObjects {
    DWORD gdi = 0;
    DWORD user = 0;
    bool countedByHand = false;
};
GuiObjects CountGuiObjects();

// A file's bytes, or "<missing>". Read as a viewer that lets others write,
// replace or delete the file meanwhile.
std::string ReadFileBytes(const std::wstring& path);

// Points one of the user's shell folders ("Desktop", "Programs",
// "Favorites") at another path for its lifetime, under HKCU's User Shell
// Folders, and puts the old value back afterwards.
class ShellFolderRedirect {
public:
    ShellFolderRedirect(const wchar_t* name, const std::wstring& path);
    ~ShellFolderRedirect();
    ShellFolderRedirect(const ShellFolderRedirect&) = delete;
    ShellFolderRedirect& operator=(const ShellFolderRedirect&) = delete;

private:
    const wchar_t* name_;
    HKEY key_ = nullptr;
    bool had_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> old_;
};

// Keeps a copy of a key with all below it (in HKCU unless told) for its
// lifetime, and puts the key back as it was afterwards (gone, when it was
// not there), whatever the cases did to it.
class KeyTreeBackup {
public:
    explicit KeyTreeBackup(std::wstring key, HKEY root = HKEY_CURRENT_USER);
    ~KeyTreeBackup();
    KeyTreeBackup(const KeyTreeBackup&) = delete;
    KeyTreeBackup& operator=(const KeyTreeBackup&) = delete;

private:
    HKEY root_;
    std::wstring key_;
    std::wstring copy_;  // where the copy is kept, under HKCU
    bool had_ = false;
};

// A message box the code under test shows, as the user saw it.
struct MessageBoxSeen {
    std::wstring title;
    std::wstring text;
    std::vector<std::wstring> buttons;
    bool hasIcon = false;
};

// Watches from another thread for message boxes of this process, records
// each and closes it with its first button, until destroyed.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    std::vector<MessageBoxSeen> Seen();

private:
    struct State;
    State* state_;
};

}  // namespace tw_test
