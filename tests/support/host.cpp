#include "tests/support/host.h"

#include <windows.h>

#include "tests/support/ui_driver.h"

namespace fs = std::filesystem;

namespace tw_test {

std::string UnixPath(const fs::path& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    static auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName(path.c_str());
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Wine starts host programs as well, but hands back no process handle for
// one, so the command leaves its status in a file.
int Host(const std::string& command) {
    const fs::path folder = L"C:\\tw host";
    fs::create_directories(folder);
    const fs::path status = folder / L"status";
    fs::remove(status);
    std::string line = "/bin/sh -c \"" + command + "; echo $? > '" + UnixPath(status) + "'\"";
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    if (!PumpUntil([&] { return ReadFileBytes(status).ends_with("\n"); }, 15000))
        return -1;
    int exitStatus = std::stoi(ReadFileBytes(status));
    fs::remove(status);
    return exitStatus;
}

}  // namespace tw_test
