/*
 * The shapes of menu that once made a check take minutes, each at two
 * sizes, the larger four times the smaller: the checker's whole check of
 * the file (what quorlan-check --no-files does before it prints: the
 * loading with the rule sets, the proof of every fix, the report) and the
 * program's loading alone, into the window substitute, sorting as the
 * checker's platform text does. Each figure is the median of the
 * repetitions (CPU time), with the ratio of the larger size's time to the
 * smaller's: at most SHAPE_GOAL, as a cost that grows with the input
 * would give. It prints figures and never fails on a time.
 *
 *   bench_shapes [--repetitions=N] [Google Benchmark options]
 *
 * --repetitions (default 5) sets how many times each figure is measured;
 * --benchmark_filter=braces, for one, measures one shape.
 */
#include "figures.h"
#include "menu_gen.h"
#include "../check/engine/check.h"
#include "../check/mend/fix.h"
#include "../check/report/report.h"
#include "../check/rules/checker.h"
#include "../res/resource.h"

#include <subst.h>

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#define SHAPE_GOAL 5.0        // the larger size's time over the smaller's, at most
#define BRACES_GOAL_SECONDS 2.0 // the check of the larger braces menu, at most

struct ShapeMenu {
    const char *shape;    // the benchmark's name, and the shape's in the table
    const char *what;     // what its entries are, for the table
    MenuShape menu;       // of the smaller size; the larger has 4 times the entries
    std::string path[2];  // the two files, smaller first
    long bytes[2];
};

static ShapeMenu s_shapes[] = {
    {"flat", "entries as people write them", {25000, 0, false, false, MENU_WRITTEN}, {}, {}},
    {"nested", "groups of one entry", {5000, 0, false, false, MENU_GROUPS}, {}, {}},
    {"braces", "'{' after the title, none closed", {250000, 0, false, false, MENU_BRACES}, {}, {}},
    {"sorted", "random words, \"sorted\"", {5000, 0, false, true, MENU_WORDS}, {}, {}},
    {"long_fields", "900-byte names, 8,000-byte descriptions", {50, 0, false, false, MENU_LONG_FIELDS}, {}, {}},
    {"slips", "\"Save 20% today\": a fixable slip each", {500, 0, false, false, MENU_SLIPS}, {}, {}},
    {"no_commas", "no comma after any entry: each fix changes the rest", {500, 0, false, false, MENU_NO_COMMAS}, {}, {}},
};

static std::string s_strDir; // the temporary folder of the menus

// The settings quorlan-check --no-files --drive E takes, in code page 1252.
static CheckSettings CheckSettingsForBench()
{
    CheckSettings settings;
    settings.codePage = 1252;
    settings.drive = 'E';
    settings.checkFiles = false;
    settings.menuFolder = "";
    return settings;
}

// What quorlan-check does with a menu file before it prints the report:
// reads it whole, checks it, proves the fixes, and writes the report.
static size_t CheckMenuFile(const char *path, const CheckSettings &settings)
{
    FILE *stream = fopen(path, "rb");
    if (!stream) return 0;
    std::string bytes;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), stream)) > 0) bytes.append(chunk, got);
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    CheckMenuStream(stream, bytes, settings, &menu, &warnings);
    fclose(stream);
    KeepProvenFixes(bytes, settings, menu, &warnings);
    return FormatMenuText(menu, warnings, path).size();
}

static void BenchCheck(benchmark::State &state, const std::string *path)
{
    CheckSettings settings = CheckSettingsForBench();
    for (auto _ : state) benchmark::DoNotOptimize(CheckMenuFile(path->c_str(), settings));
}

// The program's loading, as at start-up, with the substitute sorting as
// the checker's platform text has it; the tree's release is not timed.
static void BenchLoad(benchmark::State &state, const std::string *path)
{
    UsePlatformText(1252);
    for (auto _ : state) {
        HWND hDlg = LoadBenchMenu(path->c_str());
        state.PauseTiming();
        UnloadBenchMenu(hDlg);
        state.ResumeTiming();
    }
}

// The two figures of a shape, and their ratio, as a table row and a ROW line.
static void PrintShape(const FigureReporter &reporter, const ShapeMenu &shape, const char *step)
{
    double seconds[2];
    for (int size = 0; size < 2; size++)
        seconds[size] = reporter.Seconds(std::string(step) + "/" + shape.shape + "/" + std::to_string(size));
    if (seconds[0] <= 0 || seconds[1] <= 0) return;
    long entries = shape.menu.entries;
    double ratio = seconds[1] / seconds[0];
    bool braces = shape.menu.kind == MENU_BRACES && strcmp(step, "check") == 0;
    bool met = ratio <= SHAPE_GOAL && (!braces || seconds[1] <= BRACES_GOAL_SECONDS);
    printf("%-6s %-12s %9ld %12.3f %9ld %12.3f %7.2f  %s\n", step, shape.shape, entries, seconds[0] * 1e3,
           entries * 4, seconds[1] * 1e3, ratio, met ? "met" : "missed");
    PrintRow("shapes", std::string(step == std::string("check") ? "check" : "loading") + ", " + shape.shape + " (" +
                 shape.what + "), " + std::to_string(entries * 4),
             Format("%.3f s", seconds[1]), Format("%.3f s", seconds[0]) + " at " + std::to_string(entries), ratio,
             braces ? "<= 5, and <= 2 s" : "<= 5", met ? "met" : "missed");
}

static void RemoveMenus()
{
    for (const ShapeMenu &shape : s_shapes)
        for (const std::string &path : shape.path)
            if (!path.empty()) unlink(path.c_str());
    rmdir(s_strDir.c_str());
}

int main(int argc, char **argv)
{
    int repetitions = 5;
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], "--repetitions=", 14) == 0) repetitions = atoi(argv[i] + 14);
        else argv[kept++] = argv[i];
    }
    argc = kept;

    if (!MakeMenuFolder("quorlan-shapes", &s_strDir)) return 1;
    strcpy(g_szStartDir, "E:\\");

    for (ShapeMenu &shape : s_shapes) {
        for (int size = 0; size < 2; size++) {
            MenuShape menu = shape.menu;
            menu.entries *= size ? 4 : 1;
            shape.path[size] = s_strDir + "/" + shape.shape + "_" + std::to_string(menu.entries) + ".ini";
            if (WriteBenchMenuFile(shape.path[size].c_str(), menu) < 0) {
                perror(shape.path[size].c_str());
                RemoveMenus();
                return 1;
            }
        }
        for (const char *step : {"check", "load"})
            for (int size = 0; size < 2; size++)
                benchmark::RegisterBenchmark((std::string(step) + "/" + shape.shape + "/" + std::to_string(size)).c_str(),
                                             step[0] == 'c' ? BenchCheck : BenchLoad, &shape.path[size])
                    ->Unit(benchmark::kMillisecond)->MinTime(0.1)->Repetitions(repetitions)
                    ->ReportAggregatesOnly(true);
    }

    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    printf("\n== Shapes: the check (quorlan-check --no-files) and the loading, ms (median of %d)\n", repetitions);
    printf("%-6s %-12s %9s %12s %9s %12s %7s  %s\n", "", "shape", "size", "ms", "4 x size", "ms", "ratio",
           "goal <= 5");
    for (const char *step : {"check", "load"})
        for (const ShapeMenu &shape : s_shapes) PrintShape(reporter, shape, step);
    printf("(the check of %ld braces: goal at most %.0f s)\n", s_shapes[2].menu.entries * 4, BRACES_GOAL_SECONDS);
    RemoveMenus();
    return 0;
}
