#include "platform/mouse_pointer.h"

#include <windows.h>

namespace platform {

namespace {

MousePointer g_pointer = MousePointer::Default;

// System cursors are shared and never freed: load each once.
HCURSOR Cursor(MousePointer pointer) {
    static const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    static const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    return pointer == MousePointer::Busy ? wait : arrow;
}

}  // namespace

void SetMousePointer(MousePointer pointer) {
    g_pointer = pointer;
    // Every window of the program shows the arrow of its own, so the arrow
    // is what the window under the mouse would choose again.
    SetCursor(Cursor(pointer));
}

MousePointer CurrentMousePointer() { return g_pointer; }

bool ApplyBusyPointer() {
    if (g_pointer != MousePointer::Busy)
        return false;
    SetCursor(Cursor(MousePointer::Busy));
    return true;
}

}  // namespace platform
