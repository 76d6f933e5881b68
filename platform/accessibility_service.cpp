#include "platform/accessibility_service.h"

#include "platform/failure.h"
#include "platform/system_library.h"

namespace platform {

namespace {

// The export of a system DLL, or nullptr: without oleacc a window answers
// screen readers as Windows would on its own.
template <class Function>
Function Find(const wchar_t* dll, const char* name) {
    try {
        return SystemFunction<Function>(dll, name);
    } catch (const Failure&) {
        return nullptr;
    }
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
        found.createStandard = Find<decltype(found.createStandard)>(L"oleacc.dll", "CreateStdAccessibleObject");
        found.answer = Find<decltype(found.answer)>(L"oleacc.dll", "LresultFromObject");
        found.allocateText = Find<decltype(found.allocateText)>(L"oleaut32.dll", "SysAllocString");
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
