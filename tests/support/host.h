// The Linux host under the Wine prefix, for what a test plants that Windows
// programs cannot make here (symbolic links, small file systems).
#pragma once

#include <filesystem>
#include <string>

namespace tw_test {

// Where a path of the prefix lies on the host.
std::string UnixPath(const std::filesystem::path& path);

// Runs a shell command on the host and returns its exit status, -1 when it
// did not end in time.
int Host(const std::string& command);

}  // namespace tw_test
