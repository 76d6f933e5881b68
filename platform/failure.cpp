#include "platform/failure.h"

#include <windows.h>

namespace platform {

std::wstring SystemErrorText(long number) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(number), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr) {
        text.assign(buffer, length);
        LocalFree(buffer);
        while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
            text.pop_back();
    }
    if (text.empty())
        text = L"Error " + std::to_wstring(number);
    return text;
}

void ThrowLastError(const std::wstring& what) {
    long number = static_cast<long>(GetLastError());
    std::wstring text = SystemErrorText(number);
    throw Failure(number, what.empty() ? text : what + L": " + text);
}

}  // namespace platform
