// Test programs start like the program: common controls, DPI awareness from
// the manifest, Windows' default keyboard cues, then GoogleTest.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/identity.h"
#include "ui/form.h"

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ui::SetProgramTitle(app::kAppTitle);
    // Windows' default: keyboard cues hidden until the keyboard is used
    // (Wine's default shows them always). Not saved to the profile.
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(FALSE), 0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
