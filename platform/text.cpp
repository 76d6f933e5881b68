#include "platform/text.h"

#include <windows.h>

namespace platform {

std::wstring FromAnsi(std::string_view text) {
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace platform
