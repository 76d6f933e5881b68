// Windows' own DLLs that only some of the program's steps need are loaded
// when those steps first run, the way delay-loading does, so that starting
// the program loads no more than its first window needs.
#pragma once

#include <windows.h>

namespace platform {

// The function `name` of the system DLL `dll`, loading the DLL from the
// system folder on first use. Throws Failure when either is missing.
FARPROC SystemProcedure(const wchar_t* dll, const char* name);

template <class Fn>
Fn SystemFunction(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProcedure(dll, name)));
}

}  // namespace platform
