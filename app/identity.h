// Who the program is: its title and version, shown by the splash and About
// windows and used as the title of the program's message boxes.
#pragma once

#include <string>

#include "app/version.h"

namespace app {

inline constexpr const wchar_t* kAppTitle = L"Tumblewick";

inline std::wstring VersionText() {
    return L"Version " + std::to_wstring(TW_VERSION_MAJOR) + L"." + std::to_wstring(TW_VERSION_MINOR) + L"." +
           std::to_wstring(TW_VERSION_PATCH);
}

}  // namespace app
