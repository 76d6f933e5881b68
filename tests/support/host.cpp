#include "tests/support/host.h"

#include <windows.h>

#include "tests/support/ui_driver.h"

namespace fs = std::filesystem;

namespace tw_test {

namespace {

std::string Quoted(const fs::path& path) {
    std::string quoted(1, '\'');
    quoted += UnixPath(path);
    quoted += '\'';
    return quoted;
}

}  // namespace

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr; }

std::string UnixPath(const fs::path& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    static auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return "";
    char* name = unixName(path.c_str());
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool StartOnHost(const std::string& command) {
    if (!UnderWine())
        return false;
    std::wstring line = L"/bin/sh -c \"" + std::wstring(command.begin(), command.end()) + L"\"";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    return CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process);
}

// The command leaves its status in a file, as there is no process to wait on.
int Host(const std::string& command) {
    if (!UnderWine())
        return -1;
    const fs::path folder = L"C:\\tw host";
    fs::create_directories(folder);
    const fs::path status = folder / L"status";
    fs::remove(status);
    if (!StartOnHost(command + "; echo $? > '" + UnixPath(status) + "'"))
        return -1;
    if (!PumpUntil([&] { return ReadFileBytes(status).ends_with("\n"); }, 15000))
        return -1;
    int exitStatus = std::stoi(ReadFileBytes(status));
    fs::remove(status);
    return exitStatus;
}

bool MakeLink(const fs::path& link, const fs::path& target) {
    // Wine: its CreateSymbolicLinkW makes nothing, so the host makes the link.
    if (UnderWine())
        return Host("ln -s " + Quoted(target) + " " + Quoted(link)) == 0;
    // Administrators (as in a CI job) may make links; so may anyone where
    // developer mode is on.
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (fs::is_directory(target))
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) ||
           CreateSymbolicLinkW(link.c_str(), target.c_str(), flags & ~SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
}

bool RemoveLink(const fs::path& link) {
    if (UnderWine())
        return Host("rm " + Quoted(link)) == 0;
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(link.c_str()) : DeleteFileW(link.c_str());
}

bool IsLink(const fs::path& path) {
    if (UnderWine())
        return Host("test -L " + Quoted(path)) == 0;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace tw_test
