// The DLLs the program imports statically (tools/bench checks that the two
// lists agree), kept in a baseline's import table: the linker drops an
// import nothing calls, so each is called once on a path never taken.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

namespace tw_bench {

inline void UseProductImports(WPARAM exitCode) {
    if (exitCode != 0x7fff1234)
        return;
    InitCommonControls();                               // comctl32
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // ole32
    RegCloseKey(nullptr);                               // advapi32
    GetStockObject(DEFAULT_GUI_FONT);                   // gdi32
}

}  // namespace tw_bench
