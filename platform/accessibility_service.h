// Windows' accessibility service (oleacc.dll), through which screen readers
// read the windows. It is loaded on the first request from a reader, so a
// start-up that nobody reads aloud never loads it.
#pragma once

#include <windows.h>

#include <oleacc.h>

namespace platform {

// The accessible object that Windows itself gives the window's part
// (CreateStdAccessibleObject); an error when the service is missing.
HRESULT CreateStandardAccessible(HWND window, LONG objectId, IAccessible** object);

// The WM_GETOBJECT answer that hands `object` to the reader that asked
// (LresultFromObject); 0, the "no object" answer, when it cannot be handed.
LRESULT AccessibleObjectAnswer(WPARAM wParam, IAccessible* object);

// A copy of `text` as a reader takes it (a BSTR, which the reader frees);
// nullptr when out of memory.
BSTR AccessibleText(const wchar_t* text);

}  // namespace platform
