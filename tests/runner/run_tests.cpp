// run-tests.exe, the runner of Tumblewick's test bundle: runs each test
// program beside it (every *_test.exe), one at a time, its cases shuffled,
// with its results in XML, then the runs at other DPIs that dpi-runs.txt
// names where the display allows; prints a line for each run and the total,
// "N passed, N failed"; and writes a JUnit file and a short report into the
// results folder.
//
//   run-tests [--results DIR] [--timeout SECONDS] [--only NAME,...]
//             [--disposable-machine]
//   run-tests --bench [ROUNDS] [--results DIR] [--disposable-machine]
//
// --bench measures the program against its baselines instead, as
// tools/bench does under Wine, and prints the same table (also bench.md).
//
// The tests change what a person would miss (the Desktop, Start-menu and
// Favorites folders, the start page, the wallpaper, high contrast, keyboard
// cues, the shell folders, where System Info is found), so the runner starts
// only on a machine meant for it: Windows Sandbox, a CI job, Wine, or one its
// owner calls disposable.
// It records those things before the first program and compares them after
// the last; every difference is a failure that names it.
//
// Exit codes: 0 all passed (or the benchmark ran) and nothing changed; 1 a
// test failed, a program crashed or ran out of time, or something changed;
// 2 a wrong command line; 3 refused, as this may be somebody's own PC.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/utf8.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRefused = 3;

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[256] = L"";
    return GetEnvironmentVariableW(name, value, 256) > 0 ? value : L"";
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr; }

// Why this machine may be changed, or "" when nothing says so.
std::string Disposable(bool disposableSwitch) {
    if (disposableSwitch)
        return "--disposable-machine";
    for (const wchar_t* name : {L"GITHUB_ACTIONS", L"CI"})
        if (!Environment(name).empty())
            return "a CI job (" + tw_test::Utf8(name) + " is set)";
    wchar_t user[257] = L"";
    DWORD size = 257;
    if (GetUserNameW(user, &size) && lstrcmpiW(user, L"WDAGUtilityAccount") == 0)
        return "Windows Sandbox";
    // Wine: a prefix of its own is as disposable as a sandbox. The tests of
    // the runner set TW_RUNNER_AS_ON_WINDOWS to see what Windows would do.
    if (UnderWine() && Environment(L"TW_RUNNER_AS_ON_WINDOWS").empty())
        return "Wine";
    return "";
}

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* name) {
    wchar_t data[2048] = L"";
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return L"<none>";
    return data;
}

// What a person would miss, by name.
std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> state;
    const std::pair<const char*, int> folders[] = {
        {"the Desktop", CSIDL_DESKTOPDIRECTORY}, {"the Start menu's Programs", CSIDL_PROGRAMS}, {"the Favorites", CSIDL_FAVORITES}};
    for (const auto& [name, csidl] : folders) {
        std::set<std::string> names;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(Folder(csidl), ignored))
            names.insert(tw_test::Utf8(entry.path().filename().wstring()));
        std::string listing;
        for (const std::string& file : names)
            listing += file + "\n";
        state[std::string("listing of ") + name] = listing;
    }
    state["the start page"] = tw_test::Utf8(RegistryText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Main", L"Start Page"));
    // As the profile keeps it for the next sign-in (Wine keeps what the
    // system reports per process, so only the profile shows another's change).
    const std::wstring wallpaper = RegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper");
    state["the wallpaper"] = tw_test::Utf8(wallpaper == L"<none>" ? L"" : wallpaper);
    HIGHCONTRASTW contrast{sizeof(contrast)};
    SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0);
    state["high contrast"] = (contrast.dwFlags & HCF_HIGHCONTRASTON) ? "on" : "off";
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    state["keyboard cues"] = cues ? "always shown" : "shown with the keyboard";
    state["where the system-information tool is registered"] =
        tw_test::Utf8(RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shared Tools\\MSInfo", L"PATH"));
    const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    for (const wchar_t* name : {L"Desktop", L"Programs", L"Favorites", L"Start Menu", L"AppData", L"Local AppData"})
        state["the shell folder " + tw_test::Utf8(name)] = tw_test::Utf8(RegistryText(HKEY_CURRENT_USER, kShellFolders, name));
    return state;
}

// Each difference, named.
std::vector<std::string> Differences(const std::map<std::string, std::string>& before,
                                     const std::map<std::string, std::string>& after) {
    std::vector<std::string> differences;
    for (const auto& [what, was] : before) {
        const std::string& now = after.at(what);
        if (was == now)
            continue;
        if (what.starts_with("listing of ")) {
            std::set<std::string> old, current;
            for (auto [text, names] : {std::pair{&was, &old}, std::pair{&now, &current}}) {
                std::istringstream lines(*text);
                for (std::string line; std::getline(lines, line);)
                    names->insert(line);
            }
            for (const std::string& name : current)
                if (!old.contains(name))
                    differences.push_back(what.substr(11) + " gained " + name);
            for (const std::string& name : old)
                if (!current.contains(name))
                    differences.push_back(what.substr(11) + " lost " + name);
        } else {
            differences.push_back(what + " changed from \"" + was + "\" to \"" + now + "\"");
        }
    }
    return differences;
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : std::string(1, c);
    return out;
}

struct Ended {
    std::string problem;  // did not start, a crash or a time-out, else ""
    DWORD code = 0;
    double seconds = 0;
};

// Runs a program of the bundle with its output in a file; it works in the
// results folder, as the bundle's own may be read-only (the sandbox).
Ended Start(const fs::path& program, const std::wstring& arguments, const fs::path& output, const fs::path& folder,
            DWORD timeoutMs) {
    Ended ended;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    std::wstring line = L"\"" + program.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = file;
    PROCESS_INFORMATION process{};
    const ULONGLONG start = GetTickCount64();
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
        ended.problem = "did not start (error " + std::to_string(GetLastError()) + ")";
    } else {
        if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 10000);
            ended.problem = "ran out of time";
        }
        GetExitCodeProcess(process.hProcess, &ended.code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(file);
    ended.seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    return ended;
}

// One run of a test program: all its cases, or those a filter names, at
// the display's DPI or another.
struct TestRun {
    fs::path program;
    UINT dpi = 0;  // 0: as the display is
    std::wstring filter;

    std::string Name() const {
        return tw_test::Utf8(program.stem().wstring()) + (dpi ? " at " + std::to_string(dpi) + " dpi" : "");
    }
    std::wstring FileStem() const { return program.stem().wstring() + (dpi ? L"-" + std::to_wstring(dpi) + L"dpi" : L""); }
};

struct Outcome {
    std::string name;
    int passed = 0, failed = 0, skipped = 0;
    std::string problem;  // a crash or a time-out, else ""
    std::string suites;   // the run's <testsuite> elements
    double seconds = 0;
};

// Runs a test program; its own XML tells the cases.
Outcome Run(const TestRun& run, const fs::path& results, DWORD timeoutMs) {
    Outcome outcome{run.Name()};
    const fs::path xml = results / (run.FileStem() + L".xml");
    fs::remove(xml);
    // In a new order each run: no case may lean on another having run.
    std::wstring arguments = L"--gtest_shuffle --gtest_output=xml:\"" + xml.wstring() + L"\"";
    if (!run.filter.empty())
        arguments += L" --gtest_filter=" + run.filter;
    const Ended ended = Start(run.program, arguments, results / (run.FileStem() + L".log"), results, timeoutMs);
    outcome.seconds = ended.seconds;
    outcome.problem = ended.problem;
    const std::string report = ReadAll(xml);
    if (outcome.problem.empty() && report.find("<testsuites") == std::string::npos)
        outcome.problem = "ended with " + std::to_string(ended.code) + " and no results (a crash?)";
    const int cases = static_cast<int>(Count(report, "<testcase "));
    outcome.failed = static_cast<int>(Count(report, "<failure "));
    outcome.skipped = static_cast<int>(Count(report, "result=\"skipped\"") + Count(report, "status=\"notrun\""));
    outcome.passed = std::max(0, cases - outcome.failed - outcome.skipped);
    if (std::size_t begin = report.find("<testsuite "), end = report.rfind("</testsuites>");
        begin != std::string::npos && end != std::string::npos)
        outcome.suites = report.substr(begin, end - begin);
    // The same suites at another DPI are told apart by name.
    if (run.dpi)
        for (std::size_t at = outcome.suites.find("<testsuite name=\""); at != std::string::npos;
             at = outcome.suites.find("<testsuite name=\"", at + 1))
            outcome.suites.insert(at + 17, std::to_string(run.dpi) + "dpi.");
    return outcome;
}

// The DPI a program starts at. Wine takes it from the user's LogPixels as
// each program starts; Windows takes a new one at sign-in only.
class LogPixels {
public:
    explicit LogPixels(UINT dpi) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key_, nullptr);
        DWORD size = sizeof(old_);
        had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
               ERROR_SUCCESS;
        Set(dpi);
    }
    ~LogPixels() {
        if (had_)
            Set(old_);
        else
            RegDeleteValueW(key_, L"LogPixels");
        RegCloseKey(key_);
    }
    LogPixels(const LogPixels&) = delete;
    LogPixels& operator=(const LogPixels&) = delete;

private:
    void Set(DWORD dpi) {
        RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
    }
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool had_ = false;
};

// The runs at other DPIs, one a line: program, DPI and, if not all its
// cases, a GoogleTest filter.
std::vector<TestRun> DpiRuns(const fs::path& here, const std::set<std::wstring>& only) {
    std::vector<TestRun> runs;
    std::wifstream in(here / L"dpi-runs.txt");
    for (std::wstring line; std::getline(in, line);) {
        std::wistringstream fields(line);
        std::wstring name;
        TestRun run;
        if (fields >> name >> run.dpi && (only.empty() || only.contains(name))) {
            fields >> run.filter;
            run.program = here / (name + L".exe");
            runs.push_back(run);
        }
    }
    return runs;
}

std::string Line(const Outcome& outcome) {
    const int problems = outcome.problem.empty() ? 0 : 1;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", outcome.seconds);
    return (outcome.failed + problems ? "FAIL " : "ok   ") + outcome.name + ": " + std::to_string(outcome.passed) +
           " passed, " + std::to_string(outcome.failed) + " failed" +
           (outcome.skipped ? ", " + std::to_string(outcome.skipped) + " skipped" : "") + " (" + seconds + ")" +
           (problems ? "; it " + outcome.problem : "");
}

// The tests: every program, then the other DPIs; a line each, the machine
// compared, the total.
int Test(const fs::path& here, const fs::path& results, DWORD timeoutMs, const std::set<std::wstring>& only) {
    std::vector<TestRun> runs;
    for (const auto& entry : fs::directory_iterator(here)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.ends_with(L"_test.exe") && (only.empty() || only.contains(entry.path().stem().wstring())))
            runs.push_back({entry.path()});
    }
    std::sort(runs.begin(), runs.end(), [](const TestRun& a, const TestRun& b) { return a.program < b.program; });
    const std::vector<TestRun> dpiRuns = DpiRuns(here, only);
    // Wine: a program takes its DPI as it starts, so the other DPIs run
    // there; Windows changes it at sign-in only.
    if (!dpiRuns.empty() && !UnderWine()) {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        Say("run-tests: the runs at " + std::to_string(dpiRuns.front().dpi) + " dpi are left out: Windows takes a "
            "new DPI at sign-in only, and the cases above ran at this display's " + std::to_string(dpi) + " dpi");
    } else {
        runs.insert(runs.end(), dpiRuns.begin(), dpiRuns.end());
    }

    const auto before = Snapshot();
    int passed = 0, failed = 0, skipped = 0;
    std::string report, junit = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"Tumblewick\">\n";
    for (const TestRun& run : runs) {
        std::optional<LogPixels> dpi;
        if (run.dpi)
            dpi.emplace(run.dpi);
        const Outcome outcome = Run(run, results, timeoutMs);
        const int problems = outcome.problem.empty() ? 0 : 1;
        passed += outcome.passed;
        failed += outcome.failed + problems;
        skipped += outcome.skipped;
        const std::string line = Line(outcome);
        Say(line);
        report += line + "\n";
        junit += outcome.suites;
        if (problems)
            junit += "<testsuite name=\"" + outcome.name + "\" tests=\"1\" failures=\"1\"><testcase name=\"" +
                     outcome.name + "\" classname=\"run-tests\"><failure message=\"" + Escaped(outcome.problem) +
                     "\"/></testcase></testsuite>\n";
    }
    // What a person would miss, as a case of its own.
    const std::vector<std::string> differences = Differences(before, Snapshot());
    junit += "<testsuite name=\"run-tests\" tests=\"1\" failures=\"" + std::to_string(differences.empty() ? 0 : 1) +
             "\"><testcase name=\"TheMachineIsAsItWas\" classname=\"run-tests\">";
    for (const std::string& difference : differences) {
        Say("FAIL the machine: " + difference);
        report += "FAIL the machine: " + difference + "\n";
        junit += "<failure message=\"" + Escaped(difference) + "\"/>";
    }
    junit += "</testcase></testsuite>\n</testsuites>\n";
    failed += differences.empty() ? 0 : 1;
    passed += differences.empty() ? 1 : 0;
    const std::string total = std::to_string(passed) + " passed, " + std::to_string(failed) + " failed" +
                              (skipped ? ", " + std::to_string(skipped) + " skipped" : "");
    report += total + "\n";
    std::ofstream(results / L"junit.xml", std::ios::binary) << junit;
    std::ofstream(results / L"report.txt", std::ios::binary) << report;
    Say(total);
    return failed == 0 && !runs.empty() ? 0 : 1;
}

// This system as the benchmark's first line tells it.
std::string SystemName() {
    using WineVersion = const char*(CDECL*)();
    if (auto wine = reinterpret_cast<WineVersion>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version"))))
        return std::string("Wine ") + wine();
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version{sizeof(version)};
    if (auto get = reinterpret_cast<GetVersion>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "RtlGetVersion"))))
        get(&version);
    std::string name = "Windows " + std::to_string(version.dwMajorVersion) + "." +
                       std::to_string(version.dwMinorVersion) + "." + std::to_string(version.dwBuildNumber);
    USHORT process = 0, machine = 0;
    using IsWow64Process2Type = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    if (auto isWow64 = reinterpret_cast<IsWow64Process2Type>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process2"))))
        isWow64(GetCurrentProcess(), &process, &machine);
    if (machine == IMAGE_FILE_MACHINE_ARM64)
        name += " on ARM64 (this build emulated)";
    return name;
}

std::string WithCommas(std::uintmax_t number) {
    const std::string digits = std::to_string(number);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text;
}

// The benchmark's table, as tools/bench prints it: start-up and memory of
// the program against its baselines, then the picker windows and clicks,
// then the program's size.
int Bench(const fs::path& here, const fs::path& results, int rounds) {
    constexpr int kClicks = 1000;
    auto exe = [&](const wchar_t* name) { return L"\"" + (here / name).wstring() + L"\""; };
    const auto before = Snapshot();
    const Ended launch = Start(here / L"bench_launch.exe",
                               std::to_wstring(rounds) + L" " + exe(L"Tumblewick.exe") + L" " +
                                   exe(L"bench_least_window.exe") + L" " + exe(L"bench_least_window_imports.exe") +
                                   L" " + exe(L"bench_seven_windows.exe"),
                               results / L"bench-launch.txt", results, 3600 * 1000);
    const Ended inproc = Start(here / L"bench_inproc.exe", std::to_wstring(rounds * 2) + L" " + std::to_wstring(kClicks),
                               results / L"bench-inproc.txt", results, 3600 * 1000);
    const std::vector<std::string> differences = Differences(before, Snapshot());

    const std::uintmax_t size = fs::file_size(here / L"Tumblewick.exe");
    const std::uintmax_t leastSize = fs::file_size(here / L"bench_least_window.exe");
    constexpr std::uintmax_t kLimit = 3 * 1024 * 1024 / 2;
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char date[32];
    std::snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u UTC", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute);
    const std::string bits = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    std::string table = "Tumblewick benchmark, " + std::string(date) + ", " + SystemName() + ", " +
                        std::to_string(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS)) + " cores.\n" +
                        "Times and memory: the " + bits + " build; " + std::to_string(rounds) +
                        " alternating runs of each (picker windows: " + std::to_string(rounds * 2) +
                        ", clicks: " + std::to_string(kClicks) + "), median (p50) and p99.\n\n" +
                        "| figure | Tumblewick p50 / p99 | baseline p50 / p99 | ratio p50 / p99 | target | result |\n"
                        "|---|---|---|---|---|---|\n" +
                        ReadAll(results / L"bench-launch.txt") + ReadAll(results / L"bench-inproc.txt") +
                        "| exe size: Tumblewick.exe, " + bits + ", stripped; baseline: the least window program | " +
                        WithCommas(size) + " bytes | " + WithCommas(leastSize) + " bytes | — | ≤ 1.5 MiB (" +
                        WithCommas(kLimit) + " bytes) | " + (size <= kLimit ? "PASS" : "FAIL") + " |\n";
    std::ofstream(results / L"bench.md", std::ios::binary) << table;
    std::fwrite(table.data(), 1, table.size(), stdout);
    int status = 0;
    for (const auto& [name, ended] : {std::pair{"bench_launch", &launch}, std::pair{"bench_inproc", &inproc}})
        if (!ended->problem.empty() || ended->code != 0) {
            Say("FAIL " + std::string(name) + (ended->problem.empty() ? " ended with " + std::to_string(ended->code)
                                                                       : " " + ended->problem));
            status = 1;
        }
    for (const std::string& difference : differences) {
        Say("FAIL the machine: " + difference);
        status = 1;
    }
    return status;
}

int Usage() {
    Say("usage: run-tests [--results DIR] [--timeout SECONDS] [--only NAME,...] [--disposable-machine]\n"
        "       run-tests --bench [ROUNDS] [--results DIR] [--disposable-machine]");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path here = fs::path(self).parent_path();
    fs::path results = here / L"results";
    DWORD timeoutMs = 600 * 1000;
    bool disposableSwitch = false;
    int benchRounds = 0;
    std::set<std::wstring> only;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--results" && i + 1 < argc)
            results = argv[++i];
        else if (arg == L"--timeout" && i + 1 < argc)
            timeoutMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10) * 1000);
        else if (arg == L"--disposable-machine")
            disposableSwitch = true;
        else if (arg == L"--bench")
            benchRounds = i + 1 < argc && std::iswdigit(argv[i + 1][0]) ? _wtoi(argv[++i]) : 20;
        else if (arg == L"--only" && i + 1 < argc)
            for (std::wistringstream names(argv[++i]); !names.eof();) {
                std::wstring name;
                std::getline(names, name, L',');
                only.insert(name);
            }
        else
            return Usage();
    }
    if (benchRounds < 0 || (benchRounds > 0 && benchRounds < 10)) {
        Say("run-tests: --bench takes at least 10 rounds");
        return 2;
    }
    const std::string why = Disposable(disposableSwitch);
    if (why.empty()) {
        Say("run-tests: refused. The tests change this PC's Desktop, Start menu and Favorites, the start page, the "
            "wallpaper and display settings. Run them in Windows Sandbox (Tumblewick-tests.wsb) or on a machine that "
            "may be changed, with --disposable-machine.");
        return kRefused;
    }
    Say("run-tests: running on " + why);
    fs::create_directories(results);
    results = fs::absolute(results);
    return benchRounds ? Bench(here, results, benchRounds) : Test(here, results, timeoutMs, only);
}
