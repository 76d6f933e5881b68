// Every control carries its table name, so tests and accessibility tools can
// find it at run time, from this process or another.
#include "ui/engine.h"
#include "ui/form.h"

#include "platform/text.h"

namespace ui {

namespace {

constexpr const wchar_t* kNameProp = L"Tumblewick.Name";

struct Search {
    std::wstring_view name;
    HWND found;
};

BOOL CALLBACK MatchName(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    if (ControlName(child) != search->name)
        return TRUE;
    search->found = child;
    return FALSE;
}

}  // namespace

void SetName(HWND hwnd, const char* name) {
    ATOM atom = GlobalAddAtomW(platform::FromAnsi(name).c_str());
    SetPropW(hwnd, kNameProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
}

void ReleaseName(HWND hwnd) {
    GlobalDeleteAtom(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(hwnd, kNameProp))));
}

std::wstring ControlName(HWND control) {
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(control, kNameProp)));
    wchar_t name[256];
    if (atom == 0 || GlobalGetAtomNameW(atom, name, 256) == 0)
        return {};
    return name;
}

HWND FindControl(HWND form, std::wstring_view name) {
    Search search{name, nullptr};
    EnumChildWindows(form, MatchName, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace ui
