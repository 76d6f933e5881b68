// run-tests.exe, the runner of Tumblewick's test bundle: runs each test
// program beside it (every *_test.exe), one at a time, its cases shuffled,
// with its results in XML; prints a line for each program and the total, "N passed, N failed";
// and writes a JUnit file and a short report into the results folder.
//
//   run-tests [--results DIR] [--timeout SECONDS] [--only NAME,...]
//             [--disposable-machine]
//
// The tests change what a person would miss (the Desktop, Start-menu and
// Favorites folders, the start page, the wallpaper, high contrast, keyboard
// cues, the shell folders), so the runner starts only on a machine meant for
// it: Windows Sandbox, a CI job, Wine, or one its owner calls disposable.
// It records those things before the first program and compares them after
// the last; every difference is a failure that names it.
//
// Exit codes: 0 all passed and nothing changed; 1 a test failed, a program
// crashed or ran out of time, or something changed; 2 a wrong command line;
// 3 refused, as this may be somebody's own PC.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRefused = 3;

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[256] = L"";
    return GetEnvironmentVariableW(name, value, 256) > 0 ? value : L"";
}

// Why this machine may be changed, or "" when nothing says so.
std::string Disposable(bool disposableSwitch) {
    if (disposableSwitch)
        return "--disposable-machine";
    for (const wchar_t* name : {L"GITHUB_ACTIONS", L"CI"})
        if (!Environment(name).empty())
            return "a CI job (" + Narrow(name) + " is set)";
    wchar_t user[257] = L"";
    DWORD size = 257;
    if (GetUserNameW(user, &size) && lstrcmpiW(user, L"WDAGUtilityAccount") == 0)
        return "Windows Sandbox";
    // Wine: a prefix of its own is as disposable as a sandbox. The tests of
    // the runner set TW_RUNNER_AS_ON_WINDOWS to see what Windows would do.
    if (GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr &&
        Environment(L"TW_RUNNER_AS_ON_WINDOWS").empty())
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
            names.insert(Narrow(entry.path().filename().wstring()));
        std::string listing;
        for (const std::string& file : names)
            listing += file + "\n";
        state[std::string("listing of ") + name] = listing;
    }
    state["the start page"] = Narrow(RegistryText(HKEY_CURRENT_USER, L"Software\\Microsoft\\Internet Explorer\\Main", L"Start Page"));
    wchar_t wallpaper[MAX_PATH] = L"";
    SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, wallpaper, 0);
    state["the wallpaper"] = Narrow(wallpaper);
    HIGHCONTRASTW contrast{sizeof(contrast)};
    SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0);
    state["high contrast"] = (contrast.dwFlags & HCF_HIGHCONTRASTON) ? "on" : "off";
    BOOL cues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
    state["keyboard cues"] = cues ? "always shown" : "shown with the keyboard";
    const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    for (const wchar_t* name : {L"Desktop", L"Programs", L"Favorites", L"Start Menu", L"AppData", L"Local AppData"})
        state["the shell folder " + Narrow(name)] = Narrow(RegistryText(HKEY_CURRENT_USER, kShellFolders, name));
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

struct Outcome {
    std::string name;
    int passed = 0, failed = 0, skipped = 0;
    std::string problem;  // a crash or a time-out, else ""
    std::string suites;   // the program's <testsuite> elements
    double seconds = 0;
};

// Runs one program with its output in the results folder; the program's own
// XML tells the cases.
Outcome Run(const fs::path& program, const fs::path& results, DWORD timeoutMs) {
    Outcome outcome{Narrow(program.stem().wstring())};
    const fs::path xml = results / (program.stem().wstring() + L".xml");
    const fs::path log = results / (program.stem().wstring() + L".log");
    fs::remove(xml);
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    // In a new order each run: no case may lean on another having run.
    std::wstring line =
        L"\"" + program.wstring() + L"\" --gtest_shuffle --gtest_output=xml:\"" + xml.wstring() + L"\"";
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process{};
    const ULONGLONG start = GetTickCount64();
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        program.parent_path().c_str(), &startup, &process)) {
        outcome.problem = "did not start (error " + std::to_string(GetLastError()) + ")";
    } else {
        if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 10000);
            outcome.problem = "ran out of time";
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        const std::string report = ReadAll(xml);
        if (outcome.problem.empty() && report.find("<testsuites") == std::string::npos)
            outcome.problem = "ended with " + std::to_string(code) + " and no results (a crash?)";
        const int cases = static_cast<int>(Count(report, "<testcase "));
        outcome.failed = static_cast<int>(Count(report, "<failure "));
        outcome.skipped = static_cast<int>(Count(report, "result=\"skipped\"") + Count(report, "status=\"notrun\""));
        outcome.passed = std::max(0, cases - outcome.failed - outcome.skipped);
        if (std::size_t begin = report.find("<testsuite "), end = report.rfind("</testsuites>");
            begin != std::string::npos && end != std::string::npos)
            outcome.suites = report.substr(begin, end - begin);
    }
    CloseHandle(output);
    outcome.seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    return outcome;
}

int Usage() {
    Say("usage: run-tests [--results DIR] [--timeout SECONDS] [--only NAME,...] [--disposable-machine]");
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
    std::set<std::wstring> only;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--results" && i + 1 < argc)
            results = argv[++i];
        else if (arg == L"--timeout" && i + 1 < argc)
            timeoutMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10) * 1000);
        else if (arg == L"--disposable-machine")
            disposableSwitch = true;
        else if (arg == L"--only" && i + 1 < argc)
            for (std::wistringstream names(argv[++i]); !names.eof();) {
                std::wstring name;
                std::getline(names, name, L',');
                only.insert(name);
            }
        else
            return Usage();
    }
    const std::string why = Disposable(disposableSwitch);
    if (why.empty()) {
        Say("run-tests: refused. The tests change this PC's Desktop, Start menu and Favorites, the start page, the "
            "wallpaper and display settings. Run them in Windows Sandbox (Tumblewick-tests.wsb) or on a machine that "
            "may be changed, with --disposable-machine.");
        return kRefused;
    }
    Say("run-tests: running on " + why);
    std::vector<fs::path> programs;
    for (const auto& entry : fs::directory_iterator(here)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.ends_with(L"_test.exe") && (only.empty() || only.contains(entry.path().stem().wstring())))
            programs.push_back(entry.path());
    }
    std::sort(programs.begin(), programs.end());
    fs::create_directories(results);

    const auto before = Snapshot();
    std::vector<Outcome> outcomes;
    int passed = 0, failed = 0, skipped = 0;
    std::string report, junit = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"Tumblewick\">\n";
    for (const fs::path& program : programs) {
        Outcome outcome = Run(program, results, timeoutMs);
        const int problems = outcome.problem.empty() ? 0 : 1;
        passed += outcome.passed;
        failed += outcome.failed + problems;
        skipped += outcome.skipped;
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f s", outcome.seconds);
        std::string line = (outcome.failed + problems ? "FAIL " : "ok   ") + outcome.name + ": " +
                           std::to_string(outcome.passed) + " passed, " + std::to_string(outcome.failed) + " failed" +
                           (outcome.skipped ? ", " + std::to_string(outcome.skipped) + " skipped" : "") + " (" +
                           seconds + ")" + (problems ? "; it " + outcome.problem : "");
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
    return failed == 0 && !programs.empty() ? 0 : 1;
}
