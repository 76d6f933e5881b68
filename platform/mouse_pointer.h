// The application-wide mouse pointer: while it is Busy every window of the
// program shows the hourglass, whatever its own pointer would be.
#pragma once

namespace platform {

enum class MousePointer { Default = 0, Busy = 11 };

void SetMousePointer(MousePointer pointer);
MousePointer CurrentMousePointer();

// For a window procedure's WM_SETCURSOR: sets the busy pointer and returns
// true while the program is busy, so the window does not set its own.
bool ApplyBusyPointer();

}  // namespace platform
