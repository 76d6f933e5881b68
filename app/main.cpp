// The program's entry: start the user interface and show the splash window.
#include <windows.h>

#include <commctrl.h>

#include "app/identity.h"
#include "app/splash.h"
#include "platform/running_marker.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    platform::MarkRunning();
    ui::SetProgramTitle(app::kAppTitle);
    return ui::RunProgram([] { ui::Instance<app::frmSplash>().Show(); });
}
