#include "settings/desktop_background.h"

#include "platform/wallpaper.h"

namespace settings {

void frmDesktopBackground::Character_Click(const catalogue::Character& row) {
    // The file is not looked for first and the request's result is not
    // examined, so a missing picture brings no message.
    platform::RequestWallpaper(catalogue::WallpaperPath(row));
}

}  // namespace settings
