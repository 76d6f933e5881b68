#include "platform/shell_object.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <map>

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

// A user's folders move only when the shell-folder settings change, so each
// path is kept from one click to the next until the registry reports such a
// change. Without the report (no key, no notification) nothing is kept.
class KeptFolders {
    static constexpr wchar_t kShellFolders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

public:
    const std::wstring* Find(const KNOWNFOLDERID* id) {
        if (!watching_ || WaitForSingleObject(changed_.Get(), 0) != WAIT_TIMEOUT) {
            paths_.clear();
            // Watching starts before the lookup that follows, so that a
            // change made during it is not missed.
            watching_ = Watch();
            return nullptr;
        }
        auto found = paths_.find(id);
        return found == paths_.end() ? nullptr : &found->second;
    }

    void Keep(const KNOWNFOLDERID* id, const std::wstring& path) {
        if (watching_)
            paths_[id] = path;
    }

private:
    bool Watch() {
        if (!changed_)
            changed_.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        // Opened anew each time: the key may have been deleted and made again.
        key_.Reset();
        return changed_ &&
               RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_NOTIFY, key_.Put()) == ERROR_SUCCESS &&
               RegNotifyChangeKeyValue(key_.Get(), FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                       changed_.Get(), TRUE) == ERROR_SUCCESS;
    }

    ScopedKey key_;
    ScopedHandle changed_;
    bool watching_ = false;
    std::map<const KNOWNFOLDERID*, std::wstring> paths_;
};

KeptFolders& Kept() {
    static KeptFolders kept;
    return kept;
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
    if (const std::wstring* kept = Kept().Find(id))
        return *kept;
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
    Kept().Keep(id, result);
    return result;
}

void SetSpecialFolderHookForTesting(SpecialFolderHook hook) { g_hook = std::move(hook); }

}  // namespace platform
