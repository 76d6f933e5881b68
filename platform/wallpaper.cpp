#include "platform/wallpaper.h"

#include <windows.h>

namespace platform {

void RequestWallpaper(std::string path) {
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, path.data(), SPIF_UPDATEINIFILE);
}

}  // namespace platform
