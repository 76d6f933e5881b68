// The picker windows and a click, measured inside one process that runs the
// program's own code beside the baselines, alternating with them:
// - each picker window, from the main window's command to the window shown
//   and fully painted, against a window of 26 plain push buttons;
// - WriteInternetShortcut into the Desktop folder, against the safe durable
//   replace of the same bytes in the same folder, and for information the
//   raw one (a rename over the target).
//
// Usage: bench_inproc ROUNDS CLICKS
#include <windows.h>

#include <commctrl.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "catalogue/catalogue.h"
#include "links/link_windows.h"
#include "platform/text.h"
#include "settings/desktop_background.h"
#include "settings/home_page.h"
#include "tests/bench/baselines.h"
#include "tests/bench/support.h"
#include "tests/support/ui_driver.h"

namespace {

using tw_bench::Fail;
using tw_bench::NowMs;
using tw_bench::Samples;

// Paints whatever is pending in the window and every window inside it.
void PaintNow(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

void ExpectPainted(HWND window, const std::string& what) {
    if (!tw_bench::Painted(window))
        Fail(what + " was not fully painted");
}

struct Picker {
    const char* command;  // the main window's button
    ui::Form& form;
    const char* name;
};

void MeasurePickers(int rounds) {
    ui::Form& main = ui::Instance<app::Form1>();
    main.Show();
    PaintNow(main.Hwnd());
    tw_test::Pump();

    Picker pickers[] = {
        {"btnDesktopShortcuts", ui::Instance<links::frmDesktopShortcuts>(), "Desktop Shortcuts"},
        {"btnStartMenu", ui::Instance<links::frmStartMenu>(), "Start Menu"},
        {"btnFavoritesMenu", ui::Instance<links::frmFavoritesMenu>(), "Favorites"},
        {"btnHomePage", ui::Instance<settings::frmHomePage>(), "Home Page"},
        {"btnDesktopBackground", ui::Instance<settings::frmDesktopBackground>(), "Desktop Background"},
    };
    for (Picker& picker : pickers) {
        Samples program, baseline;
        auto runProgram = [&] {
            double start = NowMs();
            main.Click(picker.command);
            PaintNow(picker.form.Hwnd());
            program.Add(NowMs() - start);
            ExpectPainted(picker.form.Hwnd(), picker.name);
            picker.form.Unload();
            tw_test::Pump();
        };
        auto runBaseline = [&] {
            double start = NowMs();
            HWND window = tw_bench::ShowPlainButtonWindow();
            if (window == nullptr)
                Fail("the plain button window could not be made");
            PaintNow(window);
            baseline.Add(NowMs() - start);
            ExpectPainted(window, "the plain button window");
            DestroyWindow(window);
            tw_test::Pump();
        };
        for (int round = 0; round < rounds; ++round) {
            if (round % 2 == 0) {
                runProgram();
                runBaseline();
            } else {
                runBaseline();
                runProgram();
            }
        }
        tw_bench::PrintTimeRow(std::string(picker.name) +
                                   " window: the main window's command → shown and painted; baseline: 26 plain "
                                   "push buttons",
                               program, baseline, 1.25, 0);
    }
    main.Unload();
    tw_test::Pump();
    tw_test::ClearQuit();
}

std::wstring DesktopFolder() {
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path)))
        Fail("no Desktop folder");
    std::wstring folder = path;
    CoTaskMemFree(path);
    return folder;
}

void MeasureClicks(int clicks) {
    const catalogue::Character& row = catalogue::Rows()[0];
    const std::wstring target = DesktopFolder() + L"\\" + platform::FromAnsi(row.linkTitle) + L".url";
    const std::string bytes = std::string("[InternetShortcut]\r\nURL=") + row.linkTarget + "\r\n";
    const bool existed = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;

    // As when the user clicks: the Desktop-shortcuts window open, in front.
    ui::Form& window = ui::Instance<links::frmDesktopShortcuts>();
    window.Show();
    PaintNow(window.Hwnd());
    tw_test::Pump();

    links::ShortcutState state;
    Samples program, safe, raw;
    auto runProgram = [&] {
        double start = NowMs();
        links::WriteInternetShortcut(state, L"Desktop", row.linkTitle, row.linkTarget);
        program.Add(NowMs() - start);
    };
    auto runBaseline = [&](Samples& samples, bool (*replace)(const std::wstring&, const std::string&)) {
        double start = NowMs();
        if (!replace(target, bytes))
            Fail("a baseline's durable replace failed: error " + std::to_string(GetLastError()));
        samples.Add(NowMs() - start);
    };
    // Each of the three goes first, second and third in turn.
    for (int click = 0; click < clicks; ++click) {
        for (int step = 0; step < 3; ++step) {
            switch ((click + step) % 3) {
            case 0:
                runProgram();
                break;
            case 1:
                runBaseline(safe, tw_bench::SafeDurableReplace);
                break;
            case 2:
                runBaseline(raw, tw_bench::RawDurableReplace);
                break;
            }
        }
        // What the clicks left for the window, as the program's loop would.
        tw_test::Pump();
    }
    if (tw_test::ReadFileBytes(target) != bytes)
        Fail("the Desktop shortcut does not hold the bytes written");
    if (!existed)
        DeleteFileW(target.c_str());
    window.Unload();
    tw_test::Pump();
    const std::string figure = "click: WriteInternetShortcut into the Desktop, " + std::to_string(clicks) + " times";
    tw_bench::PrintTimeRow(figure + "; baseline: the safe durable replace of the same bytes in the same folder "
                                    "(random CREATE_NEW name, one write, flush, ReplaceFileW)",
                           program, safe, 1.3, 1.6);
    tw_bench::PrintTimeRow(figure + "; baseline: the raw durable replace (fixed name, write, flush, rename over)",
                           program, raw, 0, 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        Fail("usage: bench_inproc ROUNDS CLICKS");
    // As the program starts.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    MeasurePickers(std::atoi(argv[1]));
    MeasureClicks(std::atoi(argv[2]));
    return 0;
}
