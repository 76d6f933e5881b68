// The Linux host under the Wine prefix, for what a test plants that Windows
// programs cannot make there (symbolic links, small file systems). On
// Windows itself the links are Windows' own and there is no host.
#pragma once

#include <filesystem>
#include <string>

namespace tw_test {

// Whether the tests run under Wine, with a Linux host beneath.
bool UnderWine();

// Where a path of the prefix lies on the host ("" on Windows).
std::string UnixPath(const std::filesystem::path& path);

// Starts a shell command on the host and returns at once (Wine hands back
// no process to wait on); false when there is no host.
bool StartOnHost(const std::string& command);
// Runs a shell command on the host and returns its exit status, -1 when it
// did not end in time or there is no host.
int Host(const std::string& command);

// A symbolic link at `link` to `target`, a folder or a file, which may not
// exist: made on the host under Wine (whose CreateSymbolicLinkW makes
// nothing), by Windows elsewhere. True when it was made.
bool MakeLink(const std::filesystem::path& link, const std::filesystem::path& target);
// Removes the link itself, never what it points to.
bool RemoveLink(const std::filesystem::path& link);
// Whether a link is still there, as a link.
bool IsLink(const std::filesystem::path& path);

}  // namespace tw_test
