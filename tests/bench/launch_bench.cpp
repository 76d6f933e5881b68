// Start-up and memory of the real program, measured from outside: each run
// starts a program, waits until its first window is shown and fully painted,
// and reads the process's peak working set. The program's runs then go on as
// a user would: OK on the splash, the five picker windows from the main
// window's buttons and the About window from its Ctrl+O, all open at once.
// Runs of the program and of the two least window programs alternate.
//
// Usage: bench_launch ROUNDS PROGRAM LEAST_WINDOW LEAST_WINDOW_WITH_IMPORTS
//        bench_launch --compare ROUNDS PROGRAM...   (start-up and memory only)
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/bench/support.h"
#include "tests/support/ui_driver.h"
#include "ui/form.h"

namespace {

using tw_bench::Fail;
using tw_bench::Samples;

constexpr int kWaitMs = 20000;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A started program, ended with its run.
class Child {
public:
    explicit Child(const std::wstring& exe) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_))
            Fail("cannot start " + Narrow(exe) + ": error " + std::to_string(GetLastError()));
    }
    ~Child() {
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, kWaitMs);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    DWORD Id() const { return process_.dwProcessId; }

    SIZE_T PeakWorkingSet() const {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        if (!GetProcessMemoryInfo(process_.hProcess, &counters, sizeof(counters)))
            Fail("cannot read the memory of process " + std::to_string(Id()));
        return counters.PeakWorkingSetSize;
    }

private:
    PROCESS_INFORMATION process_{};
};

struct WindowSearch {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK AddVisibleOf(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == search->process && IsWindowVisible(hwnd) && tw_test::ClassOf(hwnd) != L"tooltips_class32")
        search->found.push_back(hwnd);
    return TRUE;
}

// The visible top-level windows of a process. A message box among them
// means the program failed: the run ends there.
std::vector<HWND> VisibleWindowsOf(const Child& child) {
    WindowSearch search{child.Id(), {}};
    EnumWindows(AddVisibleOf, reinterpret_cast<LPARAM>(&search));
    for (HWND hwnd : search.found)
        if (tw_test::ClassOf(hwnd) == L"#32770")
            Fail("the program showed a message box: " + Narrow(tw_test::Text(hwnd)));
    return search.found;
}

bool AllPainted(const std::vector<HWND>& windows) {
    for (HWND hwnd : windows)
        if (!tw_bench::Painted(hwnd))
            return false;
    return true;
}

void WaitFor(const std::function<bool()>& done, const std::string& what) {
    const double until = tw_bench::NowMs() + kWaitMs;
    while (!done()) {
        if (tw_bench::NowMs() > until)
            Fail("timed out waiting for " + what);
        Sleep(1);
    }
}

// Milliseconds from the launch of the program to its first window shown and
// painted. Whether the program waits for input tells nothing here: Wine
// reports the program idle while it still loads, before its window shows.
double StartUp(const Child& child, double launched) {
    WaitFor([&] {
        std::vector<HWND> windows = VisibleWindowsOf(child);
        return !windows.empty() && AllPainted(windows);
    }, "the first window");
    return tw_bench::NowMs() - launched;
}

HWND ShownWindow(const Child& child, const std::wstring& caption) {
    HWND found = nullptr;
    WaitFor([&] {
        std::vector<HWND> windows = VisibleWindowsOf(child);
        found = nullptr;
        for (HWND hwnd : windows)
            if (tw_test::Text(hwnd) == caption)
                found = hwnd;
        return found != nullptr && AllPainted(windows);
    }, "the window \"" + Narrow(caption) + "\"");
    return found;
}

void Click(HWND form, const wchar_t* control) {
    HWND button = ui::FindControl(form, control);
    if (button == nullptr)
        Fail("no control " + Narrow(control));
    PostMessageW(button, BM_CLICK, 0, 0);
}

void PressCtrl(WORD key) {
    INPUT inputs[4]{};
    const WORD keys[4] = {VK_CONTROL, key, key, VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
        inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, inputs, sizeof(INPUT));
}

// From the painted splash to the main window and the six windows it opens,
// all open at once.
void OpenEveryWindow(const Child& child) {
    Click(ShownWindow(child, L""), L"btnOK");
    HWND main = ShownWindow(child, L"Tumblewick");
    const struct {
        const wchar_t* button;
        const wchar_t* caption;
    } pickers[] = {
        {L"btnDesktopShortcuts", L"Desktop Shortcuts"}, {L"btnStartMenu", L"Start Menu"},
        {L"btnFavoritesMenu", L"Favorites"},            {L"btnHomePage", L"Home Page"},
        {L"btnDesktopBackground", L"Desktop Background"},
    };
    for (const auto& picker : pickers) {
        Click(main, picker.button);
        ShownWindow(child, picker.caption);
    }
    // About is on the menu only: its shortcut, typed into the main window.
    SetForegroundWindow(main);
    WaitFor([&] { return GetForegroundWindow() == main; }, "the main window in front");
    PressCtrl('O');
    ShownWindow(child, L"About Tumblewick");
    if (VisibleWindowsOf(child).size() != 7)
        Fail("not all seven windows are open");
}

// Lets the previous run's process and windows go before the next starts.
void Settle() { Sleep(100); }

struct Run {
    double startUp;      // ms to the first window shown and painted
    double firstPeak;    // peak working set then, bytes
    double finalPeak;    // and at the end of the run
};

// One run of a program; `then` goes on with it before it is ended.
Run RunOnce(const std::wstring& exe, const std::function<void(const Child&)>& then = nullptr) {
    Settle();
    double launched = tw_bench::NowMs();
    Child child(exe);
    Run run{};
    run.startUp = StartUp(child, launched);
    run.firstPeak = static_cast<double>(child.PeakWorkingSet());
    if (then)
        then(child);
    run.finalPeak = static_cast<double>(child.PeakWorkingSet());
    return run;
}

// The start-up and memory of each program, for trying out what a change to
// the program or a baseline costs. On a busy machine the minimum tells more
// than the median.
void CompareStartUps(int rounds, const std::vector<std::wstring>& exes) {
    std::vector<Samples> startUps(exes.size()), peaks(exes.size());
    for (int round = -1; round < rounds; ++round) {
        for (std::size_t i = 0; i < exes.size(); ++i) {
            Run run = RunOnce(exes[i]);
            if (round >= 0) {
                startUps[i].Add(run.startUp);
                peaks[i].Add(run.firstPeak);
            }
        }
    }
    std::printf("| program | start-up min / p50 / p99 | peak working set p50 |\n|---|---|---|\n");
    for (std::size_t i = 0; i < exes.size(); ++i)
        std::printf("| %s | %.1f / %.1f / %.1f ms | %.2f MiB |\n", Narrow(exes[i]).c_str(), startUps[i].Min(),
                    startUps[i].Median(), startUps[i].P99(), peaks[i].Median() / (1024.0 * 1024.0));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 4 && std::wstring(argv[1]) == L"--compare") {
        CompareStartUps(_wtoi(argv[2]), std::vector<std::wstring>(argv + 3, argv + argc));
        return 0;
    }
    if (argc != 6)
        Fail("usage: bench_launch ROUNDS PROGRAM LEAST_WINDOW LEAST_WINDOW_WITH_IMPORTS SEVEN_WINDOWS\n"
             "       bench_launch --compare ROUNDS PROGRAM...");
    const int rounds = _wtoi(argv[1]);
    const std::wstring program = argv[2], least = argv[3], leastWithImports = argv[4], sevenWindows = argv[5];

    Samples programStart, leastStart, importsStart, sevenStart;
    Samples programSplashPeak, importsPeak, programAllPeak, sevenPeak;
    // One round more than counted: the first warms the file cache and Wine.
    for (int round = -1; round < rounds; ++round) {
        Run programRun = RunOnce(program, OpenEveryWindow);
        Run importsRun = RunOnce(leastWithImports);
        Run leastRun = RunOnce(least);
        Run sevenRun = RunOnce(sevenWindows, OpenEveryWindow);
        if (round < 0)
            continue;
        programStart.Add(programRun.startUp);
        programSplashPeak.Add(programRun.firstPeak);
        programAllPeak.Add(programRun.finalPeak);
        leastStart.Add(leastRun.startUp);
        importsStart.Add(importsRun.startUp);
        sevenStart.Add(sevenRun.startUp);
        importsPeak.Add(importsRun.firstPeak);
        sevenPeak.Add(sevenRun.finalPeak);
    }
    tw_bench::PrintTimeRow("start-up: launch → splash shown and painted; baseline: the least window program with "
                           "the program's manifest and imports",
                           programStart, importsStart, 1.15, 0);
    tw_bench::PrintTimeRow("start-up, as above; baseline: the plain least window program", programStart, leastStart,
                           0, 0);
    // What the splash's child windows, fonts and picture cost Wine whoever
    // makes them.
    tw_bench::PrintTimeRow("start-up, as above; baseline: the splash made plainly (the first of the seven plain "
                           "windows: the same frame, owner, fonts, logo and eight child windows, with Windows' own "
                           "controls)",
                           programStart, sevenStart, 0, 0);
    tw_bench::PrintMemoryRow("peak working set, the splash open; baseline: the least window program with the "
                             "program's manifest and imports",
                             programSplashPeak, importsPeak, 0);
    tw_bench::PrintMemoryRow("peak working set, the main window and its six windows open; baseline: the same seven "
                             "windows made plainly, opened the same way",
                             programAllPeak, sevenPeak, 2);
    return 0;
}
