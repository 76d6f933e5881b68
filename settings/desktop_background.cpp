#include "settings/desktop_background.h"

namespace settings {

void frmDesktopBackground::Character_Click(const catalogue::Character& row) {
    // Recorded in the user's profile but not broadcast; the file is not
    // looked for first and the result is not examined, so a missing picture
    // is the system's business and no message appears.
    std::string path = catalogue::WallpaperPath(row);
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, path.data(), SPIF_UPDATEINIFILE);
}

}  // namespace settings
