#include "platform/shell_open.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/failure.h"
#include "platform/scoped_handle.h"
#include "platform/system_library.h"

namespace platform {

void OpenWebAddress(const char* address) {
    using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    // The browser may be registered as a COM handler (DelegateExecute),
    // which the shell reaches only with COM on the calling thread.
    ComApartment com;
    try {
        static const auto shellExecute = SystemFunction<ShellExecuteFn>(L"shell32.dll", "ShellExecuteA");
        shellExecute(nullptr, "Open", address, "", nullptr, SW_SHOWNORMAL);
    } catch (const Failure&) {
        // No shell is the same as no browser: nothing to report.
    }
}

}  // namespace platform
