#include "platform/registry.h"

#include "platform/scoped_handle.h"

namespace platform {

bool ReadRegistryValue(HKEY root, const std::string& keyPath, const std::string& valueName, DWORD maxBytes,
                       RegistryValue& value) {
    ScopedKey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return false;
    std::string buffer(maxBytes, '\0');
    DWORD size = maxBytes;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
        return false;
    buffer.resize(size);
    value.type = type;
    value.bytes = std::move(buffer);
    return true;
}

bool WriteRegistryString(HKEY root, const std::string& keyPath, const std::string& valueName,
                         const std::string& data) {
    ScopedKey key;
    if (RegCreateKeyA(root, keyPath.c_str(), key.Put()) != ERROR_SUCCESS)
        return false;
    // A refused value write must not pass for a stored value, so its status
    // counts as much as the closing's.
    LONG status = RegSetValueExA(key.Get(), valueName.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
    const LONG closed = RegCloseKey(key.Release());
    return status == ERROR_SUCCESS && closed == ERROR_SUCCESS;
}

}  // namespace platform
