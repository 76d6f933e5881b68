// Twips (1/1440 inch) to pixels and back at a window's DPI, and the DPI
// functions of the layout.
#pragma once

#include <windows.h>

namespace ui {

inline int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }
inline int PixelsToTwips(int pixels, UINT dpi) { return MulDiv(pixels, 1440, static_cast<int>(dpi)); }

// The DPI that a window is drawn at (the system DPI before Windows 10).
UINT WindowDpi(HWND hwnd);
// The work area (the screen without the task bar) of a monitor.
RECT WorkArea(HMONITOR monitor);
// Window size for a client size, at a DPI.
BOOL AdjustRectForDpi(RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi);

}  // namespace ui
