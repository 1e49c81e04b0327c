/*
 * What the native benchmarks share: a reporter that keeps each benchmark's
 * CPU time beside Google Benchmark's console output, and the ROW lines
 * that scripts/bench.sh gathers into its summary (bench/summary.py).
 */
#ifndef QUORLAN_BENCH_FIGURES_H
#define QUORLAN_BENCH_FIGURES_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Keeps, besides the console output, each benchmark's CPU time per
// iteration in seconds: the median when it ran repeatedly. CPU time, as
// the work is one thread's and other processes on a busy machine would
// otherwise count in it.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;

    FigureReporter();
    void ReportRuns(const std::vector<Run> &runs) override;
    // Yields the time per iteration, or a negative value when it did not run.
    double Seconds(const std::string &name) const;
};

// A summary line for scripts/bench.sh: section, figure, value, what it is
// measured against, the ratio, the goal and whether the goal is met.
void PrintRow(const char *section, const std::string &figure, const std::string &value,
              const std::string &against, double ratio, const char *goal, const char *verdict);

// One number as text, by a printf format.
std::string Format(const char *format, double value);

#endif
