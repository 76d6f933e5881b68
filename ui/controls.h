// The window classes the engine needs beyond the system's own: frames that
// contain other controls, stretched images, the icon box and lines.
#pragma once

#include <windows.h>

namespace ui {

inline constexpr const wchar_t* kFormClass = L"TumblewickForm";
inline constexpr const wchar_t* kFrameClass = L"TumblewickFrame";
inline constexpr const wchar_t* kImageClass = L"TumblewickImage";
inline constexpr const wchar_t* kPictureBoxClass = L"TumblewickPictureBox";
inline constexpr const wchar_t* kLineClass = L"TumblewickLine";

// Registers the engine's classes once; `formProc` is the forms' procedure.
void RegisterClasses(WNDPROC formProc);

// The program's icon (resource 1), at the size asked for.
HICON ProgramIcon(int size);

}  // namespace ui
