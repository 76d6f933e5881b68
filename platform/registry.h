// The registry: read one value, and create a key and write one string.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// A value as the registry holds it: its type and its bytes.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

// Reads the value `valueName` of root\keyPath into `value`. The key is opened
// for KEY_QUERY_VALUE only, so a standard user can read a machine-wide key.
// False when the key or the value cannot be read, or the value is larger
// than `maxBytes`.
bool ReadRegistryValue(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD maxBytes,
                       RegistryValue& value);

// Creates root\keyPath when it is missing (RegCreateKeyA) and writes `data`
// as the REG_SZ value `valueName`, its size counting the final NUL. True only
// when the create, the write and the close all succeed.
bool WriteRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& data);

}  // namespace platform
