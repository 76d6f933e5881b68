// The soak: one process clicks characters in the five picker windows and
// opens and closes every window, all through the windows' own messages, and
// then compares what it holds with what it held at the start.
//
//     soak [clicks] [cycles]      (10000 and 500 unless given)
//
// Prints one line per figure and ends with 1 when GDI objects, USER objects
// or kernel handles grew at all, private bytes by more than 1 MB, or a
// temporary file was left in a folder the clicks wrote into. Figures the
// system answers 0 for (Wine's do) are counted by hand.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/about.h"
#include "app/main_window.h"
#include "app/splash.h"
#include "catalogue/catalogue.h"
#include "links/link_windows.h"
#include "settings/desktop_background.h"
#include "settings/home_page.h"
#include "tests/support/ui_driver.h"

namespace {

namespace fs = std::filesystem;
using namespace tw_test;

constexpr long long kPrivateBytesAllowed = 1 << 20;

// Kernel handles. Where GetProcessHandleCount answers 0 (Wine's does), they
// are counted by asking each possible handle value for its flags.
DWORD KernelHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0)
        return count;
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}

// Committed private memory. Where the system answers 0 (Wine does), the
// committed private regions of the address space are added up.
long long PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters)) &&
        counters.PrivateUsage != 0)
        return static_cast<long long>(counters.PrivateUsage);
    long long total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += static_cast<long long>(region.RegionSize);
    }
    return total;
}

struct Figures {
    GuiObjects gui;
    DWORD handles;
    long long privateBytes;
};

Figures Measure() {
    Pump(200);
    return {CountGuiObjects(), KernelHandles(), PrivateBytes()};
}


void Press(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
    Pump();
}

// A window of the program, opened and closed as the user does.
struct Window {
    const char* name;
    ui::Form& form;
    std::function<void()> open;
    std::vector<std::function<void(ui::Form&)>> closings;
};

std::vector<std::wstring> TemporaryFiles(const fs::path& root) {
    std::vector<std::wstring> left;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().extension() != L".url")
            left.push_back(entry.path().wstring());
    return left;
}

bool Report(const char* what, long long start, long long end, long long allowed) {
    long long growth = end - start;
    std::printf("%-16s start %12lld  end %12lld  growth %+lld\n", what, start, end, growth);
    return growth <= allowed;
}

}  // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const int clicks = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 500;

    // The clicks write into folders of the soak's own.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path root = fs::path(temp) / L"tw-soak";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    std::vector<std::unique_ptr<ShellFolderRedirect>> redirects;
    for (const wchar_t* name : {L"Desktop", L"Programs", L"Favorites"}) {
        fs::create_directories(root / name);
        redirects.push_back(std::make_unique<ShellFolderRedirect>(name, (root / name).wstring()));
    }

    auto& splash = ui::Instance<app::frmSplash>();
    auto& main = ui::Instance<app::Form1>();
    auto startProgram = [&] {
        splash.Show();
        Pump();
        Press(splash.Control("btnOK"));
    };
    startProgram();
    auto mainButton = [&](const char* name) { return [&main, name] { Press(main.Control(name)); }; };
    const std::vector<std::function<void(ui::Form&)>> pickerClosings = {
        [](ui::Form& form) { Press(form.Control("btnCancel")); },
        [](ui::Form& form) { Press(form.Control("btnOK")); },
        [](ui::Form& form) { SendMessageW(form.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    std::vector<Window> pickers = {
        {"Desktop", ui::Instance<links::frmDesktopShortcuts>(), mainButton("btnDesktopShortcuts"), pickerClosings},
        {"Start menu", ui::Instance<links::frmStartMenu>(), mainButton("btnStartMenu"), pickerClosings},
        {"Favorites", ui::Instance<links::frmFavoritesMenu>(), mainButton("btnFavoritesMenu"), pickerClosings},
        {"Home page", ui::Instance<settings::frmHomePage>(), mainButton("btnHomePage"), pickerClosings},
        {"Background", ui::Instance<settings::frmDesktopBackground>(), mainButton("btnDesktopBackground"),
         pickerClosings},
    };
    std::vector<Window> windows = pickers;
    const UINT aboutCommand = MenuCommand(main.Hwnd(), L"Ab&out");
    windows.push_back({"About", ui::Instance<app::frmAbout>(),
                       [&] {
                           SendMessageW(main.Hwnd(), WM_COMMAND, MAKEWPARAM(aboutCommand, 0), 0);
                           Pump();
                       },
                       {[](ui::Form& form) { Press(form.Control("cmdOK")); },
                        [](ui::Form& form) { SendMessageW(form.Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }}});

    auto clickAll = [&](int count) {
        for (Window& w : pickers)
            w.open();
        for (int i = 0; i < count; ++i) {
            const Window& w = pickers[static_cast<std::size_t>(i) % pickers.size()];
            const catalogue::Character& row = catalogue::Rows()[(i / pickers.size()) % catalogue::kRowCount];
            Press(w.form.Control(row.controlName));
        }
        for (Window& w : pickers)
            w.closings[0](w.form);
    };
    auto expect = [](bool holds, const char* what, const char* window) {
        if (!holds) {
            std::printf("%s did not %s\n", window, what);
            std::exit(1);
        }
    };
    // Each window in turn, then the main window, which is the last one open,
    // so the program ends with it and starts again from the splash.
    auto cycleAll = [&](int count) {
        for (int i = 0; i < count; ++i) {
            for (Window& w : windows) {
                w.open();
                expect(w.form.IsLoaded(), "open", w.name);
                w.closings[static_cast<std::size_t>(i) % w.closings.size()](w.form);
                expect(!w.form.IsLoaded(), "close", w.name);
            }
            Press(main.Control(i % 2 == 0 ? "btnCancel" : "btnOK"));
            expect(!main.IsLoaded() && QuitPosted(), "end the program", "Main");
            ClearQuit();
            startProgram();
            expect(main.IsLoaded() && !splash.IsLoaded(), "open", "Main");
        }
    };

    // Whatever the first use of each window and click keeps for good exists
    // before the start is measured.
    clickAll(static_cast<int>(pickers.size()) * catalogue::kRowCount);
    cycleAll(1);
    const Figures start = Measure();
    const auto began = std::chrono::steady_clock::now();
    clickAll(clicks);
    cycleAll(cycles);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const Figures end = Measure();

    std::printf("%d clicks in %zu picker windows, %d open/close cycles of %zu windows and the main one: %.0f s\n",
                clicks, pickers.size(), cycles, windows.size(), seconds);
    bool ok = Report("GDI objects", start.gui.gdi, end.gui.gdi, 0);
    ok = Report("USER objects", start.gui.user, end.gui.user, 0) && ok;
    ok = Report("kernel handles", start.handles, end.handles, 0) && ok;
    ok = Report("private bytes", start.privateBytes, end.privateBytes, kPrivateBytesAllowed) && ok;

    main.Unload();
    Pump();
    std::vector<std::wstring> left = TemporaryFiles(root);
    std::printf("temporary files  %zu left\n", left.size());
    for (const std::wstring& file : left)
        std::printf("  %ls\n", file.c_str());
    std::size_t shortcuts = 0;
    for (const wchar_t* name : {L"Desktop", L"Programs", L"Favorites"})
        for (const auto& entry : fs::directory_iterator(root / name))
            shortcuts += entry.path().extension() == L".url";
    if (shortcuts != 3 * catalogue::kRowCount) {
        std::printf("%zu shortcuts written, not %d\n", shortcuts, 3 * catalogue::kRowCount);
        ok = false;
    }
    redirects.clear();
    fs::remove_all(root, ignored);
    return ok && left.empty() ? 0 : 1;
}
