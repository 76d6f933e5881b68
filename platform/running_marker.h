// A named object that tells the setup and its uninstaller that the program is
// running in this session, so that they never replace or remove a program
// file in use. It does not stop a second copy of the program.
#pragma once

namespace platform {

// The name the setup script looks for; keep the two the same.
inline constexpr const wchar_t* kRunningMarkerName = L"Local\\TumblewickRunning";

// Makes the marker; it lasts until the process ends. A failure only means
// that setup cannot see this copy, so it is not reported.
void MarkRunning();

}  // namespace platform
