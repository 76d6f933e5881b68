// The program's entry: start the user interface and show the splash window.
#include <windows.h>

#include <commctrl.h>

#include "app/splash.h"
#include "platform/failure.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    try {
        ui::Instance<app::frmSplash>().Show();
    } catch (const platform::Failure& failure) {
        ui::ReportUnhandledFailure(failure.Number(), failure.Description());
        return 1;
    }
    return ui::Run();
}
