#include "app/system_info.h"

#include <vector>

#include "platform/process_start.h"
#include "platform/text.h"

namespace app {

namespace {

constexpr DWORD kBufferSize = 1024;

// Closes the key whichever way the reader returns.
struct KeyCloser {
    HKEY key;
    ~KeyCloser() { RegCloseKey(key); }
};

// The number whose bytes, from the last to the first, the data holds.
std::string HexNumber(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte) {
        auto value = static_cast<unsigned char>(*byte);
        text += kDigits[value >> 4];
        text += kDigits[value & 0xF];
    }
    std::size_t first = text.find_first_not_of('0');
    return first == std::string::npos ? "0" : text.substr(first);
}

}  // namespace

bool GetKeyValue(HKEY keyRoot, const std::string& keyName, const std::string& subKeyRef, std::string& keyVal) {
    HKEY key = nullptr;
    // Reading needs no more than query rights, so a standard user finds it too.
    if (RegOpenKeyExA(keyRoot, keyName.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    KeyCloser closer{key};
    std::vector<char> buffer(kBufferSize, '\0');
    DWORD size = kBufferSize;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, subKeyRef.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    std::string text(buffer.data(), size);
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    if (type == REG_SZ)
        keyVal = text;
    else if (type == REG_DWORD)
        keyVal = HexNumber(text);
    return true;
}

bool HasNormalFile(const std::string& folder, const std::string& fileName) {
    return platform::HasNormalFile(platform::FromAnsi(folder), platform::FromAnsi(fileName));
}

bool StartProgram(const std::string& path) { return platform::StartProgram(platform::FromAnsi(path)); }

}  // namespace app
