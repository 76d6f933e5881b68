// Starting a program from its file, and finding a program file by name.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A path that names one place whatever the current drive and folder: a drive
// letter, a colon and a backslash ("C:\..."), or a UNC path
// ("\\server\share\...").
bool IsFullyQualified(std::wstring_view path);

// The folder holds `name` as a normal file: not hidden, not system, not a
// folder.
bool HasNormalFile(const std::wstring& folder, const std::wstring& name);

// Starts exactly the program file `path` names, without arguments, its window
// shown normally; does not wait for it. False, starting nothing, unless the
// path is fully qualified and names an existing file that is not a folder;
// false too when the start fails.
bool StartProgram(const std::wstring& path);

}  // namespace platform
