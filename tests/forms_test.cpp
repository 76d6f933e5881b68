#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/splash.h"
#include "tests/support/ui_driver.h"

using namespace tw_test;

TEST(Smoke, SplashShows) {
    auto& splash = ui::Instance<app::frmSplash>();
    splash.Show();
    Pump(100);
    ASSERT_TRUE(splash.IsLoaded());
    EXPECT_EQ(Text(splash.Control("lblVersion")), L"Version 1.0.0");
    splash.Unload();
    Pump(50);
}
