// What the engine's own files share and no caller needs: the window
// procedure of forms, the way from a window to its form, control names.
#pragma once

#include <windows.h>

#include <vector>

namespace ui {

class Form;

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The form that owns a top-level window of the program, or nullptr.
Form* FormOf(HWND hwnd);
// The loaded forms, oldest first.
const std::vector<Form*>& LoadedForms();
// Whether a failure has been reported, so the program ends with exit code 1.
bool ProgramFailed();
// The DPI of the form that holds the control.
UINT DpiOf(HWND control);
// A length in pixels at 96 dpi, scaled to `dpi`.
inline int Scale(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }

// A control's name travels as a global atom, so other processes can read it.
void SetName(HWND hwnd, const char* name);
void ReleaseName(HWND hwnd);

}  // namespace ui
