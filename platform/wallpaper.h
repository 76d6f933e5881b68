// The desktop wallpaper setting.
#pragma once

#include <string>

namespace platform {

// Makes the picture at `path` the desktop wallpaper and records it in the
// user's profile (SPIF_UPDATEINIFILE) so it stays after the next logon. No
// settings-change notice is broadcast, and the result is not examined: a
// missing picture is the system's business.
void RequestWallpaper(std::string path);

}  // namespace platform
