// Windows' accessibility service (oleacc.dll), through which screen readers
// read the windows. It is loaded on the first request from a reader, so a
// start-up that nobody reads aloud never loads it.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>

namespace platform {

// What the program says of a window's client area beyond what Windows'
// standard object says: each part left empty is Windows' own.
struct AccessibleAnnotation {
    LONG role = 0;      // 0: the standard role
    std::wstring name;  // empty: the standard name
    bool hidden = false;
    bool Empty() const { return role == 0 && name.empty() && !hidden; }
};

// The accessible object that Windows itself gives the window's part
// (CreateStdAccessibleObject); an error when the service is missing.
HRESULT CreateStandardAccessible(HWND window, LONG objectId, IAccessible** object);

// The WM_GETOBJECT answer that hands `object` to the reader that asked
// (LresultFromObject); 0, the "no object" answer, when it cannot be handed.
LRESULT AccessibleObjectAnswer(WPARAM wParam, IAccessible* object);

// A copy of `text` as a reader takes it (a BSTR, which the reader frees);
// nullptr when out of memory.
BSTR AccessibleText(const wchar_t* text);

// Lays the annotation over the standard object of the window's client area
// with Dynamic Annotation (IAccPropServices), which Windows' standard object
// consults on each question a reader asks. S_OK, or the first error, when
// nothing of it stays laid. A hidden window's state becomes invisible alone.
HRESULT Annotate(HWND window, const AccessibleAnnotation& annotation);

// Takes the window's annotation away again, as Microsoft asks of a window
// that is destroyed.
void ClearAnnotation(HWND window);

// Whether a reader asking for the window's client area now hears the
// annotation: its object comes through AccessibleObjectFromWindow, which
// sends the window WM_GETOBJECT first.
bool ReaderHears(HWND window, const AccessibleAnnotation& annotation);

}  // namespace platform
