#include "platform/accessibility_service.h"

#include "platform/failure.h"
#include "platform/scoped_handle.h"
#include "platform/system_library.h"

#include <iterator>

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
    decltype(&AccessibleObjectFromWindow) objectFromWindow = nullptr;
    decltype(&LresultFromObject) answer = nullptr;
    // Readers' texts are BSTRs; oleacc loads their library anyway.
    decltype(&SysAllocString) allocateText = nullptr;
    decltype(&SysFreeString) freeText = nullptr;
};

const Service& Loaded() {
    static const Service service = [] {
        Service found;
        found.createStandard = Find<decltype(found.createStandard)>(L"oleacc.dll", "CreateStdAccessibleObject");
        found.objectFromWindow = Find<decltype(found.objectFromWindow)>(L"oleacc.dll", "AccessibleObjectFromWindow");
        found.answer = Find<decltype(found.answer)>(L"oleacc.dll", "LresultFromObject");
        found.allocateText = Find<decltype(found.allocateText)>(L"oleaut32.dll", "SysAllocString");
        found.freeText = Find<decltype(found.freeText)>(L"oleaut32.dll", "SysFreeString");
        return found;
    }();
    return service;
}

// Objects handed to readers and the annotation service need COM on this
// thread; the window's thread keeps it from the first request on, as a
// reader may call back at any time. A thread already in the other apartment
// model serves as it is.
void KeepCom() {
    thread_local bool comKept = false;
    if (!comKept)
        comKept = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

// The properties the program annotates, all cleared together.
const MSAAPROPID kAnnotated[] = {PROPID_ACC_ROLE, PROPID_ACC_NAME, PROPID_ACC_STATE};

// The annotation service; the header declares no __uuidof for it, so its
// ids come from the uuid library.
HRESULT OpenAnnotationService(ComPtr<IAccPropServices>& services) {
    KeepCom();
    return CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                            services.PutVoid());
}

VARIANT Number(LONG value) {
    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = value;
    return number;
}

const DWORD kClient = static_cast<DWORD>(OBJID_CLIENT);
const int kAnnotatedCount = static_cast<int>(std::size(kAnnotated));

// A role or state that a reader got as a number, or -1; a text in its place
// is freed.
LONG NumberRead(HRESULT result, VARIANT& value) {
    if (SUCCEEDED(result) && value.vt == VT_I4)
        return value.lVal;
    if (SUCCEEDED(result) && value.vt == VT_BSTR)
        Loaded().freeText(value.bstrVal);
    return -1;
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
    KeepCom();
    LRESULT result = Loaded().answer(__uuidof(IAccessible), wParam, object);
    // A failure comes back as a negative HRESULT; the window then has
    // nothing better to give than the standard object.
    return FAILED(static_cast<HRESULT>(result)) ? 0 : result;
}

BSTR AccessibleText(const wchar_t* text) {
    return Loaded().allocateText != nullptr ? Loaded().allocateText(text) : nullptr;
}

HRESULT Annotate(HWND window, const AccessibleAnnotation& annotation) {
    ComPtr<IAccPropServices> services;
    HRESULT result = OpenAnnotationService(services);
    if (FAILED(result))
        return result;
    if (annotation.role != 0)
        result = services->SetHwndProp(window, kClient, CHILDID_SELF, PROPID_ACC_ROLE, Number(annotation.role));
    if (SUCCEEDED(result) && !annotation.name.empty())
        result = services->SetHwndPropStr(window, kClient, CHILDID_SELF, PROPID_ACC_NAME, annotation.name.c_str());
    // A line or other ornament has no state worth reading but that a reader
    // passes it by.
    if (SUCCEEDED(result) && annotation.hidden)
        result = services->SetHwndProp(window, kClient, CHILDID_SELF, PROPID_ACC_STATE, Number(STATE_SYSTEM_INVISIBLE));
    if (FAILED(result))
        services->ClearHwndProps(window, kClient, CHILDID_SELF, kAnnotated, kAnnotatedCount);
    return result;
}

void ClearAnnotation(HWND window) {
    ComPtr<IAccPropServices> services;
    if (SUCCEEDED(OpenAnnotationService(services)))
        services->ClearHwndProps(window, kClient, CHILDID_SELF, kAnnotated, kAnnotatedCount);
}

bool ReaderHears(HWND window, const AccessibleAnnotation& annotation) {
    if (Loaded().objectFromWindow == nullptr || Loaded().freeText == nullptr)
        return false;
    KeepCom();
    ComPtr<IAccessible> object;
    if (FAILED(Loaded().objectFromWindow(window, OBJID_CLIENT, IID_PPV_ARGS(object.Put()))))
        return false;
    const VARIANT self = Number(CHILDID_SELF);
    if (annotation.role != 0) {
        VARIANT role{};
        if (NumberRead(object->get_accRole(self, &role), role) != annotation.role)
            return false;
    }
    if (!annotation.name.empty()) {
        BSTR name = nullptr;
        bool same = SUCCEEDED(object->get_accName(self, &name)) && name != nullptr && annotation.name == name;
        Loaded().freeText(name);
        if (!same)
            return false;
    }
    if (annotation.hidden) {
        VARIANT state{};
        LONG read = NumberRead(object->get_accState(self, &state), state);
        if (read == -1 || !(read & STATE_SYSTEM_INVISIBLE))
            return false;
    }
    return true;
}

}  // namespace platform
