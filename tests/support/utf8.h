// Wide text as UTF-8 bytes, for what the test programs print and log. Header
// only: the runner and the system-information stand-in link nothing else of
// the tests.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tw_test {

inline std::string Utf8(std::wstring_view text) {
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

}  // namespace tw_test
