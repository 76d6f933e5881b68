// What the benchmark's drivers share: samples of one measure, the markdown
// rows of the one table that tools/bench prints (each figure of the program
// beside its baseline from the same run), and the test for a painted window.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace tw_bench {

// The values of one measure, one per run.
class Samples {
public:
    void Add(double value) { values_.push_back(value); }
    double Min() const;
    double Median() const;
    // Nearest rank: with fewer than 100 runs, the largest.
    double P99() const;

private:
    std::vector<double> values_;
};

// Milliseconds since an arbitrary start, from the performance counter.
double NowMs();

// A row of times in milliseconds: the program's median and p99 against the
// baseline's, and their ratios. A limit of 0 sets no target for that ratio.
void PrintTimeRow(const std::string& figure, const Samples& program, const Samples& baseline, double medianLimit,
                  double p99Limit);

// A row of sizes in bytes, shown in MiB, with the medians' difference
// against an allowance in MiB (0: none).
void PrintMemoryRow(const std::string& figure, const Samples& program, const Samples& baseline, double allowanceMiB);

// True when no paint is pending in the window or in any window inside it,
// whichever process it belongs to.
bool Painted(HWND window);

// Ends the driver with a message on the error stream and exit code 2.
[[noreturn]] void Fail(const std::string& what);

}  // namespace tw_bench
