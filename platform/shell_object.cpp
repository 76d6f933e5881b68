#include "platform/shell_object.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include "platform/failure.h"
#include "platform/system_library.h"

namespace platform {

namespace {

SpecialFolderHook g_hook;

const KNOWNFOLDERID* FolderId(std::wstring_view key) {
    if (key == L"Desktop")
        return &FOLDERID_Desktop;
    // Windows 10 and 11 list only the Start menu's Programs folder, never
    // links in the Start-menu folder itself; Windows 7 shows both.
    if (key == L"StartMenu")
        return &FOLDERID_Programs;
    if (key == L"Favorites")
        return &FOLDERID_Favorites;
    return nullptr;
}

}  // namespace

std::unique_ptr<ShellObject> ShellObject::Create() {
    // The shell's folder lookup may use COM.
    std::unique_ptr<ShellObject> object(new ShellObject());
    if (HRESULT hr = object->com_.Failed(); FAILED(hr))
        throw Failure(hr, L"The shell object could not be created: " + SystemErrorText(hr));
    return object;
}

std::wstring ShellObject::SpecialFolder(std::wstring_view key) const {
    if (g_hook)
        return g_hook(key);
    const KNOWNFOLDERID* id = FolderId(key);
    if (id == nullptr)
        return {};
    // Without verification a registered but missing folder still gives its
    // path, so writing into it fails with the file's own error.
    using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    static const auto getKnownFolderPath =
        SystemFunction<GetKnownFolderPathFn>(L"shell32.dll", "SHGetKnownFolderPath");
    PWSTR path = nullptr;
    HRESULT hr = getKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path);
    std::wstring result;
    if (SUCCEEDED(hr) && path != nullptr)
        result = path;
    CoTaskMemFree(path);
    if (FAILED(hr))
        throw Failure(hr, L"The " + std::wstring(key) + L" folder could not be looked up: " + SystemErrorText(hr));
    // A folder at a drive's root comes back as "D:\"; the caller adds the
    // separator itself.
    while (!result.empty() && (result.back() == L'\\' || result.back() == L'/'))
        result.pop_back();
    return result;
}

void SetSpecialFolderHookForTesting(SpecialFolderHook hook) { g_hook = std::move(hook); }

}  // namespace platform
