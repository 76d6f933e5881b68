#include "app/system_info.h"

#include "platform/process_start.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace app {

namespace {

constexpr DWORD kBufferSize = 1024;

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
    platform::RegistryValue value;
    if (!platform::ReadRegistryValue(keyRoot, keyName, subKeyRef, kBufferSize, value)) {
        keyVal.clear();
        return false;
    }
    std::string text = value.bytes;
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    if (value.type == REG_SZ)
        keyVal = text;
    else if (value.type == REG_DWORD)
        keyVal = HexNumber(text);
    return true;
}

bool HasNormalFile(const std::string& folder, const std::string& fileName) {
    return platform::HasNormalFile(platform::FromAnsi(folder), platform::FromAnsi(fileName));
}

bool StartProgram(const std::string& path) { return platform::StartProgram(platform::FromAnsi(path)); }

}  // namespace app
