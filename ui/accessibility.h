// What screen readers learn of the engine's windows beyond what Windows
// tells them itself: frames are groups named by their caption (panes when
// they have none), pictures are graphics, lines are hidden, and a table may
// name a window or control that shows no caption.
#pragma once

#include <windows.h>

#include "ui/form_def.h"

namespace ui {

// The answer to a WM_GETOBJECT that a form or one of the engine's own
// controls receives: for its client area, when the table adds something,
// Windows' standard object with the table's role, name or hiding laid over
// it; otherwise what DefWindowProc answers.
LRESULT AnswerScreenReader(HWND form, const FormDef& def, WPARAM wParam, LPARAM lParam);
LRESULT AnswerScreenReader(HWND control, const ControlDef& def, WPARAM wParam, LPARAM lParam);

}  // namespace ui
