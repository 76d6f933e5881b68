// Who the program is: its title and version, shown by the splash and About
// windows and used as the title of the program's message boxes.
#pragma once

#include <string>

namespace app {

inline constexpr const wchar_t* kAppTitle = L"Tumblewick";
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 0;

inline std::wstring VersionText() {
    return L"Version " + std::to_wstring(kVersionMajor) + L"." + std::to_wstring(kVersionMinor) + L"." +
           std::to_wstring(kVersionRevision);
}

}  // namespace app
