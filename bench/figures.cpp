/*
 * The benchmarks' reporter and summary lines (figures.h).
 */
#include "figures.h"

#include <stdio.h>
#include <unistd.h>

// Colours only for a terminal: scripts/bench.sh keeps the output too.
FigureReporter::FigureReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

void FigureReporter::ReportRuns(const std::vector<Run> &runs)
{
    for (const Run &run : runs) {
        if (run.error_occurred) continue;
        bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.run_type == Run::RT_Aggregate && !median) continue;
        double value = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        if (median || !seconds.count(run.run_name.function_name)) seconds[run.run_name.function_name] = value;
    }
    ConsoleReporter::ReportRuns(runs);
}

double FigureReporter::Seconds(const std::string &name) const
{
    auto found = seconds.find(name);
    return found == seconds.end() ? -1 : found->second;
}

void PrintRow(const char *section, const std::string &figure, const std::string &value,
              const std::string &against, double ratio, const char *goal, const char *verdict)
{
    printf("ROW|%s|%s|%s|%s|%.2f|%s|%s\n", section, figure.c_str(), value.c_str(), against.c_str(), ratio, goal,
           verdict);
}

std::string Format(const char *format, double value)
{
    char text[64];
    snprintf(text, sizeof(text), format, value);
    return text;
}
