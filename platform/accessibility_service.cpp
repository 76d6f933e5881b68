#include "platform/accessibility_service.h"

#include <string>

namespace platform {

namespace {

// From the system folder, so a DLL of that name beside the program is not
// taken instead. It stays loaded for the life of the process.
HMODULE LoadSystemLibrary(const wchar_t* file) {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    return LoadLibraryW((std::wstring(folder, length) + L"\\" + file).c_str());
}

// Sets `function` to the library's export of that name, or nullptr.
template <class Function>
void Find(HMODULE library, const char* name, Function& function) {
    function = library != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)))
                                  : nullptr;
}

struct Service {
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) answer = nullptr;
    // Readers' texts are BSTRs; oleacc loads their library anyway.
    decltype(&SysAllocString) allocateText = nullptr;
};

const Service& Loaded() {
    static const Service service = [] {
        Service found;
        HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll");
        Find(oleacc, "CreateStdAccessibleObject", found.createStandard);
        Find(oleacc, "LresultFromObject", found.answer);
        Find(LoadSystemLibrary(L"oleaut32.dll"), "SysAllocString", found.allocateText);
        return found;
    }();
    return service;
}

}  // namespace

// The interface ids come from __uuidof, not the import libraries: the 64-bit
// oleacc library takes IID_IAccessible for a function of the DLL.
HRESULT CreateStandardAccessible(HWND window, LONG objectId, IAccessible** object) {
    *object = nullptr;
    if (Loaded().createStandard == nullptr)
        return E_NOTIMPL;
    return Loaded().createStandard(window, objectId, IID_PPV_ARGS(object));
}

LRESULT AccessibleObjectAnswer(WPARAM wParam, IAccessible* object) {
    if (Loaded().answer == nullptr)
        return 0;
    // The object is handed over by COM marshalling, which needs COM on this
    // thread; the window's thread keeps it from the first request on, as the
    // reader may call back at any time. A thread already in the other
    // apartment model serves as it is.
    thread_local bool comKept = false;
    if (!comKept)
        comKept = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    LRESULT result = Loaded().answer(__uuidof(IAccessible), wParam, object);
    // A failure comes back as a negative HRESULT; the window then has
    // nothing better to give than the standard object.
    return FAILED(static_cast<HRESULT>(result)) ? 0 : result;
}

BSTR AccessibleText(const wchar_t* text) {
    return Loaded().allocateText != nullptr ? Loaded().allocateText(text) : nullptr;
}

}  // namespace platform
