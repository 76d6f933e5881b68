#include "platform/system_library.h"

#include <string>

#include "platform/failure.h"
#include "platform/text.h"

namespace platform {

FARPROC SystemProcedure(const wchar_t* dll, const char* name) {
    // Only from the system folder, never from wherever the program was
    // started, so a planted DLL of that name is never loaded.
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        ThrowLastError(dll);
    const std::wstring path = std::wstring(folder, length) + L"\\" + dll;
    // Loaded once for the life of the program: the handle is never freed, so
    // the functions stay valid.
    HMODULE module = GetModuleHandleW(path.c_str());
    if (module == nullptr)
        module = LoadLibraryW(path.c_str());
    if (module == nullptr)
        ThrowLastError(dll);
    FARPROC procedure = GetProcAddress(module, name);
    if (procedure == nullptr)
        ThrowLastError(std::wstring(dll) + L"!" + FromAnsi(name));
    return procedure;
}

}  // namespace platform
