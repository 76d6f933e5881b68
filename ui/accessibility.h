// What screen readers learn of the engine's windows beyond what Windows
// tells them itself: frames are groups named by their caption (panes when
// they have none), pictures are graphics, lines are hidden, and a table may
// name a window or control that shows no caption.
#pragma once

#include <windows.h>

#include "ui/form_def.h"

namespace ui {

// The answer to a WM_GETOBJECT that a form or one of the engine's own
// controls receives. When the table adds something, the first request lays
// it over Windows' standard object with Dynamic Annotation and leaves the
// answer to DefWindowProc; where annotation does not take effect (the first
// one laid in the process is read back to know), the client area is answered
// with the standard object and the table's role, name or hiding over it.
LRESULT AnswerScreenReader(HWND form, const FormDef& def, WPARAM wParam, LPARAM lParam);
LRESULT AnswerScreenReader(HWND control, const ControlDef& def, WPARAM wParam, LPARAM lParam);

// Clears what AnswerScreenReader laid on the window; called as it is
// destroyed.
void ForgetScreenReader(HWND window);

}  // namespace ui
