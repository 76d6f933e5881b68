#include "platform/system_settings.h"

#include <windows.h>

namespace platform {

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool KeyboardCuesAlwaysShown() {
    BOOL shown = FALSE;
    return SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &shown, 0) && shown;
}

}  // namespace platform
