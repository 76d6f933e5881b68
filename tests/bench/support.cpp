#include "tests/bench/support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tw_bench {

namespace {

std::vector<double> Sorted(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values;
}

std::string Format(const char* format, double a, double b) {
    char text[64];
    std::snprintf(text, sizeof(text), format, a, b);
    return text;
}

const char* Verdict(bool hasTarget, bool met) { return !hasTarget ? "—" : met ? "PASS" : "FAIL"; }

BOOL CALLBACK FindUnpainted(HWND hwnd, LPARAM param) {
    if (GetUpdateRect(hwnd, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(param) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

double Samples::Min() const { return values_.empty() ? 0 : Sorted(values_).front(); }

double Samples::Median() const {
    if (values_.empty())
        return 0;
    std::vector<double> v = Sorted(values_);
    std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Samples::P99() const {
    if (values_.empty())
        return 0;
    std::vector<double> v = Sorted(values_);
    std::size_t rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(v.size())));
    return v[std::max<std::size_t>(rank, 1) - 1];
}

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMs;
}

void PrintTimeRow(const std::string& figure, const Samples& program, const Samples& baseline, double medianLimit,
                  double p99Limit) {
    const double medianRatio = program.Median() / baseline.Median();
    const double p99Ratio = program.P99() / baseline.P99();
    std::string target;
    if (medianLimit > 0)
        target = Format("p50 ≤ %.3g×", medianLimit, 0);
    if (p99Limit > 0)
        target += (target.empty() ? "" : ", ") + Format("p99 ≤ %.3g×", p99Limit, 0);
    const bool met = (medianLimit <= 0 || medianRatio <= medianLimit) && (p99Limit <= 0 || p99Ratio <= p99Limit);
    std::printf("| %s | %s | %s | %s | %s | %s |\n", figure.c_str(),
                Format("%.1f / %.1f ms", program.Median(), program.P99()).c_str(),
                Format("%.1f / %.1f ms", baseline.Median(), baseline.P99()).c_str(),
                Format("%.2f× / %.2f×", medianRatio, p99Ratio).c_str(), target.empty() ? "—" : target.c_str(),
                Verdict(!target.empty(), met));
    std::fflush(stdout);
}

void PrintMemoryRow(const std::string& figure, const Samples& program, const Samples& baseline, double allowanceMiB) {
    constexpr double kMiB = 1024.0 * 1024.0;
    const double difference = (program.Median() - baseline.Median()) / kMiB;
    std::printf("| %s | %s | %s | %s | %s | %s |\n", figure.c_str(),
                Format("%.1f / %.1f MiB", program.Median() / kMiB, program.P99() / kMiB).c_str(),
                Format("%.1f / %.1f MiB", baseline.Median() / kMiB, baseline.P99() / kMiB).c_str(),
                Format("%+.1f MiB (p50)", difference, 0).c_str(),
                allowanceMiB > 0 ? Format("≤ +%.0f MiB", allowanceMiB, 0).c_str() : "—",
                Verdict(allowanceMiB > 0, difference <= allowanceMiB));
    std::fflush(stdout);
}

bool Painted(HWND window) {
    bool pending = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    if (!pending)
        EnumChildWindows(window, FindUnpainted, reinterpret_cast<LPARAM>(&pending));
    return !pending;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::fflush(stderr);
    std::exit(2);
}

}  // namespace tw_bench
