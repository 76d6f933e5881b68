// Finding and starting the platform's system-information tool: the
// program's one registry reader and the process start.
#pragma once

#include <windows.h>

#include <string>

namespace app {

// Reads the value `subKeyRef` of the key `keyName` under `keyRoot` as ANSI
// text into `keyVal`. False, with `keyVal` emptied, when the key or the value
// cannot be read (a value over 1024 bytes included). A REG_SZ value gives its
// text without its final NUL; a REG_DWORD value gives its number in upper-case
// hexadecimal digits without leading zeros; any other type leaves `keyVal`
// as it was.
bool GetKeyValue(HKEY keyRoot, const std::string& keyName, const std::string& subKeyRef, std::string& keyVal);

// The folder holds `fileName` as a normal file: not hidden, not system, not
// a folder.
bool HasNormalFile(const std::string& folder, const std::string& fileName);

// Starts exactly the program file `path` names, without arguments, its
// window shown normally; does not wait for it. False when it cannot start,
// and when the path is not fully qualified ("C:\..." or "\\server\share\...")
// or names no existing file: a relative path is never completed with the
// current folder.
bool StartProgram(const std::string& path);

}  // namespace app
