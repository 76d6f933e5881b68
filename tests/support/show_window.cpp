// show_window.exe NAME [--for MS]: shows one of the program's eight windows,
// opened as a person opens it, for what reads windows from outside (the
// Windows workflow's accessibility scan), then runs until the window is
// closed, or for MS milliseconds. Prints the window's title and how many
// controls it has. NAME is the form's own: frmSplash, Form1, frmAbout,
// frmDesktopShortcuts, frmStartMenu, frmFavoritesMenu, frmHomePage or
// frmDesktopBackground.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "app/about.h"
#include "app/identity.h"
#include "app/main_window.h"
#include "app/splash.h"
#include "links/link_windows.h"
#include "settings/desktop_background.h"
#include "settings/home_page.h"
#include "tests/support/ui_driver.h"

namespace {

struct Opened {
    const wchar_t* name;
    ui::Form& form;
    const char* command;  // the main window's button that opens it, if any
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 && !(argc == 4 && std::wstring(argv[2]) == L"--for")) {
        std::fprintf(stderr, "usage: show_window NAME [--for MS]\n");
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ui::SetProgramTitle(app::kAppTitle);
    const Opened windows[] = {
        {L"frmSplash", ui::Instance<app::frmSplash>(), nullptr},
        {L"Form1", ui::Instance<app::Form1>(), nullptr},
        {L"frmAbout", ui::Instance<app::frmAbout>(), nullptr},
        {L"frmDesktopShortcuts", ui::Instance<links::frmDesktopShortcuts>(), "btnDesktopShortcuts"},
        {L"frmStartMenu", ui::Instance<links::frmStartMenu>(), "btnStartMenu"},
        {L"frmFavoritesMenu", ui::Instance<links::frmFavoritesMenu>(), "btnFavoritesMenu"},
        {L"frmHomePage", ui::Instance<settings::frmHomePage>(), "btnHomePage"},
        {L"frmDesktopBackground", ui::Instance<settings::frmDesktopBackground>(), "btnDesktopBackground"},
    };
    for (const Opened& opened : windows) {
        if (argv[1] != std::wstring(opened.name))
            continue;
        if (opened.command != nullptr) {
            ui::Form& main = ui::Instance<app::Form1>();
            main.Show();
            main.Click(opened.command);
        } else {
            opened.form.Show();
        }
        tw_test::Pump(50);
        HWND window = opened.form.Hwnd();
        int count = 0;
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
            ++count;
        wchar_t title[256] = L"";
        GetWindowTextW(window, title, 256);
        std::printf("shown %ls: \"%ls\", %d controls\n", opened.name, title, count);
        std::fflush(stdout);
        const int ms = argc == 4 ? _wtoi(argv[3]) : -1;
        const ULONGLONG start = GetTickCount64();
        while (opened.form.IsLoaded() && (ms < 0 || GetTickCount64() - start < static_cast<ULONGLONG>(ms)))
            tw_test::Pump(50);
        return 0;
    }
    std::fprintf(stderr, "show_window: no window is named %ls\n", argv[1]);
    return 2;
}
