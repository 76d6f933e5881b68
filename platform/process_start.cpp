#include "platform/process_start.h"

#include <windows.h>

#include "platform/scoped_handle.h"

namespace platform {

namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Takes the next part of a UNC path up to its backslash; false when empty.
bool TakePart(std::wstring_view& rest, std::wstring_view& part) {
    std::size_t end = rest.find(L'\\');
    if (end == 0 || end == std::wstring_view::npos)
        return false;
    part = rest.substr(0, end);
    rest.remove_prefix(end + 1);
    return true;
}

// A 32-bit program on 64-bit Windows is shown the 32-bit system folder under
// the name of the 64-bit one ("System32" leads to "SysWOW64"), so a tool the
// registry names there would start as its 32-bit build, which sees the
// machine as a 32-bit program does. While this lives, the thread sees paths
// as they are written; elsewhere (no WOW64) the call fails and changes
// nothing. Kept to the look-up and the start: the thread's own DLL loading
// needs the redirection.
class NativeFileSystemView {
public:
    NativeFileSystemView() : off_(Wow64DisableWow64FsRedirection(&old_) != FALSE) {}
    ~NativeFileSystemView() {
        if (off_)
            Wow64RevertWow64FsRedirection(old_);
    }
    NativeFileSystemView(const NativeFileSystemView&) = delete;
    NativeFileSystemView& operator=(const NativeFileSystemView&) = delete;

private:
    void* old_ = nullptr;
    bool off_;
};

}  // namespace

bool IsFullyQualified(std::wstring_view path) {
    if (path.size() > 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\')
        return true;
    if (!path.starts_with(L"\\\\"))
        return false;
    // "\\?\" and "\\.\" name devices and raw paths, not a server.
    std::wstring_view rest = path.substr(2), server, share;
    return TakePart(rest, server) && server != L"?" && server != L"." && TakePart(rest, share) && !rest.empty();
}

bool HasNormalFile(const std::wstring& folder, const std::wstring& name) {
    WIN32_FIND_DATAW found{};
    NativeFileSystemView native;
    ScopedFind search(FindFirstFileW((folder + L"\\" + name).c_str(), &found));
    if (!search)
        return false;
    return (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

bool StartProgram(const std::wstring& path) {
    // A relative path would be completed with the current folder, which
    // anyone may have filled.
    if (!IsFullyQualified(path))
        return false;
    NativeFileSystemView native;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    // The file is named apart from the command line, so blanks in the path
    // cannot make a shorter prefix of it ("C:\Program.exe") start instead.
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    // Not waited for: both handles go at once.
    ScopedHandle thread(process.hThread);
    ScopedHandle started(process.hProcess);
    return true;
}

}  // namespace platform
