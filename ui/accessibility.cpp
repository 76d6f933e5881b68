#include "ui/accessibility.h"

#include <new>
#include <string>
#include <utility>

#include "platform/accessibility_service.h"

namespace ui {

namespace {

using platform::AccessibleAnnotation;

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// Windows' standard object with an annotation laid over it: every call but
// the role, name and state of the object itself goes on to the standard one.
// It hides the standard object's other interfaces, so it answers only where
// Dynamic Annotation does not take effect.
// Wine: refuses Dynamic Annotation (IAccPropServices), so there the window answers with this.
class AnnotatedAccessible final : public IAccessible {
public:
    AnnotatedAccessible(IAccessible* standard, AccessibleAnnotation annotation)
        : standard_(standard), annotation_(std::move(annotation)) {}
    AnnotatedAccessible(const AnnotatedAccessible&) = delete;
    AnnotatedAccessible& operator=(const AnnotatedAccessible&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible))
            return E_NOINTERFACE;
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (role == nullptr || !IsSelf(child) || annotation_.role == 0)
            return standard_->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = annotation_.role;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr || !IsSelf(child) || annotation_.name.empty())
            return standard_->get_accName(child, name);
        *name = platform::AccessibleText(annotation_.name.c_str());
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        HRESULT result = standard_->get_accState(child, state);
        if (SUCCEEDED(result) && state->vt == VT_I4 && IsSelf(child) && annotation_.hidden)
            state->lVal |= STATE_SYSTEM_INVISIBLE;
        return result;
    }

    // Scripting clients reach the same three through IDispatch: the
    // interface's type information calls back into this object.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override {
        ITypeInfo* type = nullptr;
        HRESULT found = standard_->GetTypeInfo(0, locale, &type);
        if (FAILED(found))
            return found;
        HRESULT invoked = type->Invoke(static_cast<IAccessible*>(this), member, flags, parameters, result, exception,
                                       badArgument);
        type->Release();
        return invoked;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** type) override {
        return standard_->GetTypeInfo(index, locale, type);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return standard_->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return standard_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return standard_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG how, VARIANT child) override { return standard_->accSelect(how, child); }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

private:
    ~AnnotatedAccessible() { standard_->Release(); }

    IAccessible* standard_;
    AccessibleAnnotation annotation_;
    LONG references_ = 1;
};

// The annotated object for the reader, or 0 when it cannot be made.
LRESULT AnnotatedAnswer(HWND window, WPARAM wParam, AccessibleAnnotation annotation) {
    IAccessible* standard = nullptr;
    if (FAILED(platform::CreateStandardAccessible(window, OBJID_CLIENT, &standard)))
        return 0;
    auto* annotated = new (std::nothrow) AnnotatedAccessible(standard, std::move(annotation));
    if (annotated == nullptr) {
        standard->Release();
        return 0;
    }
    LRESULT result = platform::AccessibleObjectAnswer(wParam, annotated);
    annotated->Release();
    return result;
}

// How the table's annotations reach readers, chosen at the first request
// of a reader and kept for the process (the windows all live on the thread
// of the message loop): Deciding while the first annotation is read back.
enum class Route { Undecided, Deciding, Annotation, Proxy };
Route g_route = Route::Undecided;

// Marks a window whose annotation is laid, to be cleared when it goes.
constexpr wchar_t kAnnotatedMark[] = L"Tumblewick.Annotated";

// Whether the window's annotation is laid where readers hear it. The first
// one laid is read back as a reader would hear it, and decides for every
// window; one that cannot be laid counts as not heard.
bool Annotated(HWND window, const AccessibleAnnotation& annotation) {
    if (GetPropW(window, kAnnotatedMark) != nullptr)
        return true;
    bool laid = SUCCEEDED(platform::Annotate(window, annotation));
    if (laid && !SetPropW(window, kAnnotatedMark, window)) {
        platform::ClearAnnotation(window);
        laid = false;
    }
    if (g_route != Route::Undecided)
        return laid;
    g_route = Route::Deciding;
    bool heard = laid && platform::ReaderHears(window, annotation);
    g_route = heard ? Route::Annotation : Route::Proxy;
    if (laid && !heard)
        ForgetScreenReader(window);
    return heard;
}

// Lays the table's annotation on the window at a reader's first request;
// where that does not take effect, answers for the client area with the
// object laid over the standard one. Every other request, and one that
// fails, gets what Windows gives by itself. No failure leaves the window
// procedure: out of memory, the reader gets the standard object.
template <class Build>
LRESULT Answer(HWND window, WPARAM wParam, LPARAM lParam, Build annotationOf) {
    // While the first annotation is read back, the reader is the program.
    if (g_route != Route::Deciding) {
        try {
            AccessibleAnnotation annotation = annotationOf();
            // Wine: refuses annotation, so there the program's own object answers.
            bool laidOver = !annotation.Empty() && (g_route == Route::Proxy || !Annotated(window, annotation));
            // The object id travels as a DWORD in the low half of lParam.
            if (laidOver && static_cast<LONG>(lParam) == OBJID_CLIENT)
                if (LRESULT answer = AnnotatedAnswer(window, wParam, std::move(annotation)))
                    return answer;
        } catch (const std::bad_alloc&) {
        }
    }
    return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
}

}  // namespace

LRESULT AnswerScreenReader(HWND form, const FormDef& def, WPARAM wParam, LPARAM lParam) {
    return Answer(form, wParam, lParam,
                  [&] { return AccessibleAnnotation{.name = def.accessibleName ? def.accessibleName : L""}; });
}

LRESULT AnswerScreenReader(HWND control, const ControlDef& def, WPARAM wParam, LPARAM lParam) {
    return Answer(control, wParam, lParam, [&] {
        AccessibleAnnotation annotation{.name = def.accessibleName ? def.accessibleName : L""};
        switch (def.kind) {
        case Kind::Frame: {
            // A frame's caption names its group, as it is drawn; one without
            // a caption only draws a border: an unnamed pane, which a reader
            // passes through to the controls inside (hidden, they would go
            // unread with it).
            std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
            int length = GetWindowTextW(control, caption.data(), static_cast<int>(caption.size()));
            caption.resize(static_cast<std::size_t>(length));
            if (caption.empty()) {
                annotation.role = ROLE_SYSTEM_PANE;
            } else {
                annotation.role = ROLE_SYSTEM_GROUPING;
                if (annotation.name.empty())
                    annotation.name = caption;
            }
            break;
        }
        case Kind::Line:
            annotation.hidden = true;
            break;
        case Kind::Image:
            annotation.role = ROLE_SYSTEM_GRAPHIC;
            break;
        default:
            break;
        }
        return annotation;
    });
}

void ForgetScreenReader(HWND window) {
    if (RemovePropW(window, kAnnotatedMark) != nullptr)
        platform::ClearAnnotation(window);
}

}  // namespace ui
