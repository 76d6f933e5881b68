// Test programs start like the program: common controls, DPI awareness from
// the manifest, then GoogleTest.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/identity.h"
#include "ui/form.h"

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ui::SetProgramTitle(app::kAppTitle);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
