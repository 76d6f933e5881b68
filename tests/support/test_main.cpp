// Test programs start like the program: common controls, DPI awareness from
// the manifest, Windows' default keyboard cues, then GoogleTest; the user's
// cues setting is put back at the end, and so is where Windows registers its
// system-information tool, which the About cases point elsewhere.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/identity.h"
#include "tests/support/ui_driver.h"
#include "ui/form.h"

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ui::SetProgramTitle(app::kAppTitle);
    // Windows' default: keyboard cues hidden until the keyboard is used
    // (Wine's default shows them always). Not saved to the profile, but kept
    // for the session.
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(FALSE), 0);
    testing::InitGoogleTest(&argc, argv);
    int status = 0;
    {
        // MSInfo is one key for 32-bit and 64-bit programs alike.
        tw_test::KeyTreeBackup tool(L"SOFTWARE\\Microsoft\\Shared Tools\\MSInfo", HKEY_LOCAL_MACHINE);
        tw_test::KeyTreeBackup folders(L"SOFTWARE\\Microsoft\\Shared Tools Location", HKEY_LOCAL_MACHINE);
        status = RUN_ALL_TESTS();
    }
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(cues)), 0);
    return status;
}
