// The constant tables that describe a window: its frame, its controls and its
// menu. Every measure is in twips (1/1440 inch), inside the control's parent.
#pragma once

#include <windows.h>

#include <span>

namespace ui {

enum class Kind {
    Frame,          // a container with an etched border, captioned or not
    Label,          // static text
    Button,         // a push button; "&" marks its access key
    PictureButton,  // a graphical push button: picture above the caption
    Image,          // a JPEG picture stretched to its rectangle
    PictureBox,     // the program's icon inside a sunken border
    Line,           // a horizontal or vertical line; rect is x1, y1, x2, y2
};

struct FontSpec {
    const wchar_t* face = L"Comic Sans MS";
    double points = 8.25;
    int weight = FW_NORMAL;
};

// Control flags.
enum : unsigned {
    kAutoSizeKeepLeft = 1u << 0,   // label sized to its text, left edge fixed
    kAutoSizeKeepRight = 1u << 1,  // label sized to its text, right edge fixed
    kAlignRight = 1u << 2,
    kNoWrap = 1u << 3,             // a one-line label
    kDefaultButton = 1u << 4,      // Enter clicks it
    kCancelButton = 1u << 5,       // Esc clicks it
    kBlackText = 1u << 6,
};

struct Rect {
    int left, top, width, height;
};

struct ControlDef {
    const char* name;
    Kind kind;
    const char* parent = nullptr;  // a frame's name, or nullptr for the window
    Rect rect{};
    int tabIndex = -1;             // -1: not in the tab order at all
    const wchar_t* caption = nullptr;
    // What a screen reader calls it where no caption says it, as for a picture.
    const wchar_t* accessibleName = nullptr;
    FontSpec font{};
    unsigned flags = 0;
    int resource = 0;              // picture: RCDATA id (BMP or JPEG), icon id
    const wchar_t* toolTip = nullptr;
    COLORREF color = 0;            // lines only
    int lineWidth = 1;             // lines only, in pixels
};

struct MenuDef {
    const char* name;
    const char* menu;              // the menu it belongs to; nullptr for a menu
    const wchar_t* caption;
    WORD ctrlKey = 0;              // virtual key pressed with Ctrl, or 0
};

enum class Border { FixedNoCaption, FixedDialog, FixedSingle, Sizable };

struct FormDef {
    const char* name;
    const wchar_t* caption;
    // What a screen reader calls the window when its title bar shows no
    // caption; nullptr: the caption.
    const wchar_t* accessibleName = nullptr;
    Border border;
    bool minButton = false;
    bool showInTaskbar = true;
    bool keyPreview = false;
    int clientWidth = 0;           // twips
    int clientHeight = 0;
    std::span<const ControlDef> controls;
    std::span<const MenuDef> menu;
};

}  // namespace ui
