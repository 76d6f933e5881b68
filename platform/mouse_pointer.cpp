#include "platform/mouse_pointer.h"

#include <windows.h>

namespace platform {

namespace {
MousePointer g_pointer = MousePointer::Default;
}

void SetMousePointer(MousePointer pointer) {
    g_pointer = pointer;
    if (pointer == MousePointer::Busy) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else {
        // Let the window under the mouse choose its own pointer again.
        POINT at;
        GetCursorPos(&at);
        SetCursorPos(at.x, at.y);
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    }
}

MousePointer CurrentMousePointer() { return g_pointer; }

bool ApplyBusyPointer() {
    if (g_pointer != MousePointer::Busy)
        return false;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

}  // namespace platform
