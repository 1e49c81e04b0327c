/*
 * The menu loading, natively against the window substitute, with Google
 * Benchmark. Each figure is printed with its ratio against a limit measured
 * in the same run, so a noisy machine moves both alike:
 *  - throughput on a 10 MiB menu: the reader alone (one ReadMenuChar call
 *    a byte, and field by field as the loading calls it) and the whole
 *    loading, against a bare fgetc loop over the same file (the floor for
 *    a reader that takes one byte at a time);
 *  - scaling at 1,000 to 1,000,000 entries, flat and nested: the time per
 *    entry at each size, against the same at the smallest size;
 *  - heap per entry: the bytes the menu code asks for, against the exact sum
 *    of the record and its three strings, and what the allocator gives.
 * It prints figures and never fails on a time.
 *
 *   bench_load [--max-entries=N] [--profile] [Google Benchmark options]
 *
 * --max-entries leaves out the larger scaling sizes; --profile only loads
 * the 10 MiB menu once, for a run under callgrind.
 */
#include "figures.h"
#include "heap_count.h"
#include "menu_gen.h"
#include "../menu/menu.h"
#include "../res/resource.h"

#include <subst.h>

#include <malloc.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#define THROUGHPUT_BYTES (10L * 1024 * 1024)
#define THROUGHPUT_READER_GOAL 1.5 // times the fgetc loop's time
#define THROUGHPUT_LOAD_GOAL 3.0
#define SCALING_FLAT_LIMIT 1.5     // largest over smallest time per entry still called flat

static const long SCALING_ENTRIES[] = {1000, 10000, 100000, 1000000};

struct BenchMenu {
    std::string name;  // also the benchmark's name suffix
    std::string path;
    long entries;
    long bytes;
};

static std::string s_strDir; // the temporary folder of the menus
static BenchMenu s_throughputMenu;
static std::vector<BenchMenu> s_scalingMenus;

/* ---- menus and loading ---- */

static bool MakeMenu(BenchMenu *menu, const std::string &name, const MenuShape &shape)
{
    menu->name = name;
    menu->path = s_strDir + "/" + name + ".ini";
    menu->entries = WriteBenchMenuFile(menu->path.c_str(), shape);
    struct stat st;
    if (menu->entries < 0 || stat(menu->path.c_str(), &st) != 0) {
        perror(menu->path.c_str());
        return false;
    }
    menu->bytes = (long)st.st_size;
    return true;
}

/* ---- benchmarks ---- */

// Reads the file one call at a time to its end: with fgetc, the floor; with
// ReadMenuChar, the reader alone (its TOK_EOF is EOF). A template, so that
// both are direct calls.
static_assert(TOK_EOF == EOF, "the reader's end of file is stdio's");

template <int (*Read)(FILE *)>
static void BenchByteLoop(benchmark::State &state, const BenchMenu *menu)
{
    for (auto _ : state) {
        StartMenuReading();
        FILE *stream = fopen(menu->path.c_str(), "rb");
        long n = 0;
        while (Read(stream) != EOF) n++;
        fclose(stream);
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * menu->bytes);
}

// Reads the file field by field to its end, as the loading calls the
// reader, without making entries of the fields.
static void BenchFieldLoop(benchmark::State &state, const BenchMenu *menu)
{
    static char s_szField[MAX_DESCRIPTION + 1];
    for (auto _ : state) {
        StartMenuReading();
        FILE *stream = fopen(menu->path.c_str(), "rb");
        long n = 0;
        while (ReadMenuField(stream, s_szField, MAX_DESCRIPTION, MENU_DESCRIPTION) != TOK_EOF) n++;
        fclose(stream);
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(state.iterations() * menu->bytes);
}

static void BenchLoad(benchmark::State &state, const BenchMenu *menu)
{
    for (auto _ : state) {
        HWND hDlg = LoadBenchMenu(menu->path.c_str());
        state.PauseTiming();
        UnloadBenchMenu(hDlg);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * menu->bytes);
    state.SetItemsProcessed(state.iterations() * menu->entries);
}

/* ---- figures ---- */

static void PrintThroughput(const FigureReporter &reporter)
{
    const BenchMenu &menu = s_throughputMenu;
    double floor = reporter.Seconds("fgetc_loop/" + menu.name);
    double reader = reporter.Seconds("reader/" + menu.name);
    double fields = reporter.Seconds("reader_fields/" + menu.name);
    double load = reporter.Seconds("load/" + menu.name);
    printf("\n== Load throughput: %s, %ld bytes, %ld entries (median of the repetitions)\n",
           menu.name.c_str(), menu.bytes, menu.entries);
    if (floor <= 0) {
        printf("the fgetc loop did not run: no ratios\n");
        return;
    }
    printf("%-24s %10s %14s %8s\n", "", "MB/s", "x fgetc loop", "goal");
    printf("%-24s %10.1f %14.2f %8s\n", "fgetc loop (floor)", menu.bytes / floor / 1e6, 1.0, "");
    struct { const char *label; double seconds; double goal; } rows[] = {
        {"reader, byte by byte", reader, THROUGHPUT_READER_GOAL},
        {"reader, field by field", fields, THROUGHPUT_READER_GOAL},
        {"whole loading", load, THROUGHPUT_LOAD_GOAL},
    };
    for (const auto &row : rows) {
        if (row.seconds <= 0) continue;
        double ratio = row.seconds / floor;
        const char *verdict = ratio <= row.goal ? "met" : "missed";
        printf("%-24s %10.1f %14.2f %5s%.1f %s\n", row.label, menu.bytes / row.seconds / 1e6, ratio,
               "<= ", row.goal, verdict);
        PrintRow("throughput", row.label, Format("%.1f MB/s", menu.bytes / row.seconds / 1e6),
                 Format("fgetc loop %.1f MB/s", menu.bytes / floor / 1e6), ratio,
                 row.goal == THROUGHPUT_READER_GOAL ? "<= 1.5" : "<= 3", verdict);
    }
}

static void PrintScaling(const FigureReporter &reporter)
{
    printf("\n== Scaling: the whole loading, time per entry\n");
    printf("%-8s %10s %12s %12s %12s\n", "shape", "entries", "total ms", "ns/entry", "x smallest");
    for (const char *shape : {"flat", "nested"}) {
        double first = -1, highest = 0;
        long lastEntries = 0;
        for (const BenchMenu &menu : s_scalingMenus) {
            if (menu.name.compare(0, strlen(shape) + 1, std::string(shape) + "_") != 0) continue;
            double seconds = reporter.Seconds("load/" + menu.name);
            if (seconds <= 0) continue;
            double perEntry = seconds / menu.entries;
            if (first < 0) first = perEntry;
            if (perEntry / first > highest) highest = perEntry / first;
            lastEntries = menu.entries;
            printf("%-8s %10ld %12.2f %12.1f %12.2f\n", shape, menu.entries, seconds * 1e3, perEntry * 1e9,
                   perEntry / first);
        }
        if (first > 0)
            PrintRow("scaling", std::string(shape) + " loading, up to " + std::to_string(lastEntries) + " entries",
                     Format("%.0f ns/entry at most", highest * first * 1e9),
                     Format("%.0f ns/entry at 1,000", first * 1e9), highest, "flat (<= 1.5)",
                     highest <= SCALING_FLAT_LIMIT ? "met" : "missed");
    }
}

// Yields the exact bytes the records under hFirst need: the record and its
// three strings each, and counts the records.
static size_t ExactEntryBytes(HWND hTree, HTREEITEM hFirst, long *records)
{
    size_t sum = 0;
    for (HTREEITEM hItem = hFirst; hItem; hItem = GetTreeItem(hTree, TVGN_NEXT, hItem)) {
        sum += ExactEntryBytes(hTree, GetTreeItem(hTree, TVGN_CHILD, hItem), records);
        const ProgramEntry *entry = (const ProgramEntry *)GetTreeItemData(hTree, hItem);
        if (!entry) continue;
        sum += sizeof(ProgramEntry) + strlen(entry->name) + 1 + strlen(entry->command) + 1 +
               strlen(entry->description) + 1;
        (*records)++;
    }
    return sum;
}

static void PrintHeap()
{
    printf("\n== Heap per entry: the menu code's own blocks (sizeof(ProgramEntry) = %zu here, 12 on Win32)\n",
           sizeof(ProgramEntry));
    printf("%-8s %10s %10s %10s %7s %10s %7s %8s %12s\n", "shape", "entries", "exact B", "asked B", "ratio",
           "usable B", "ratio", "blocks", "substitute B");
    for (size_t i = 0; i < s_scalingMenus.size(); i++) {
        const BenchMenu &menu = s_scalingMenus[i];
        struct mallinfo2 before = mallinfo2();
        StartHeapCount();
        HWND hDlg = LoadBenchMenu(menu.path.c_str());
        HeapCount count = StopHeapCount();
        struct mallinfo2 after = mallinfo2();
        HWND hTree = GetDlgItem(hDlg, IDC_TREE);
        long records = 0;
        double exact = (double)ExactEntryBytes(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL), &records);
        UnloadBenchMenu(hDlg);
        if (records == 0) continue;
        // The heap's growth less the program's blocks (each with the
        // allocator's size word) is the substitute's tree: the control's
        // storage on Windows, not the program's.
        double grown = (double)(after.uordblks + after.hblkhd) - (double)(before.uordblks + before.hblkhd);
        double substitute = grown - (double)count.usable - (double)count.blocks * sizeof(size_t);
        std::string shape = menu.name.substr(0, menu.name.find('_'));
        printf("%-8s %10ld %10.1f %10.1f %7.3f %10.1f %7.3f %8.2f %12.1f\n", shape.c_str(), records,
               exact / records, (double)count.requested / records, count.requested / exact,
               (double)count.usable / records, count.usable / exact, (double)count.blocks / records,
               substitute / records);
        if (count.frees) printf("  (%ld blocks freed while loading)\n", count.frees);
        // The summary keeps the largest menu of each shape.
        bool largest = i + 1 == s_scalingMenus.size() || s_scalingMenus[i + 1].name.compare(0, shape.size(), shape) != 0;
        if (largest)
            PrintRow("heap", shape + " menu, " + std::to_string(records) + " entries",
                     Format("%.1f B/entry asked", (double)count.requested / records) +
                         Format(", %.1f usable", (double)count.usable / records),
                     Format("exact sum %.1f B/entry", exact / records), count.requested / exact,
                     "= exact sum", count.requested == (size_t)exact ? "met" : "missed");
    }
}

/* ---- main ---- */

static void RemoveMenus()
{
    unlink(s_throughputMenu.path.c_str());
    for (const BenchMenu &menu : s_scalingMenus) unlink(menu.path.c_str());
    rmdir(s_strDir.c_str());
}

int main(int argc, char **argv)
{
    long maxEntries = SCALING_ENTRIES[sizeof(SCALING_ENTRIES) / sizeof(SCALING_ENTRIES[0]) - 1];
    bool profile = false;
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], "--max-entries=", 14) == 0) maxEntries = atol(argv[i] + 14);
        else if (strcmp(argv[i], "--profile") == 0) profile = true;
        else argv[kept++] = argv[i];
    }
    argc = kept;

    if (!MakeMenuFolder("quorlan-bench", &s_strDir)) return 1;
    strcpy(g_szStartDir, "E:\\");

    bool made = MakeMenu(&s_throughputMenu, "nested_10MiB", {1L << 30, THROUGHPUT_BYTES, true, false, MENU_WRITTEN});
    for (bool nested : {false, true}) {
        for (long entries : SCALING_ENTRIES) {
            if (!made || entries > maxEntries) continue;
            BenchMenu menu;
            made = MakeMenu(&menu, std::string(nested ? "nested_" : "flat_") + std::to_string(entries),
                            {entries, 0, nested, false, MENU_WRITTEN});
            s_scalingMenus.push_back(menu);
        }
    }
    if (!made) {
        RemoveMenus();
        return 1;
    }
    if (profile) {
        UnloadBenchMenu(LoadBenchMenu(s_throughputMenu.path.c_str()));
        RemoveMenus();
        return 0;
    }

    const BenchMenu *big = &s_throughputMenu;
    for (auto *bench : {benchmark::RegisterBenchmark(("fgetc_loop/" + big->name).c_str(), BenchByteLoop<fgetc>, big),
                        benchmark::RegisterBenchmark(("reader/" + big->name).c_str(), BenchByteLoop<ReadMenuChar>, big),
                        benchmark::RegisterBenchmark(("reader_fields/" + big->name).c_str(), BenchFieldLoop, big),
                        benchmark::RegisterBenchmark(("load/" + big->name).c_str(), BenchLoad, big)})
        bench->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
    for (const BenchMenu &menu : s_scalingMenus)
        benchmark::RegisterBenchmark(("load/" + menu.name).c_str(), BenchLoad, &menu)
            ->Unit(benchmark::kMillisecond)->MinTime(0.2);

    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    PrintThroughput(reporter);
    PrintScaling(reporter);
    PrintHeap();
    RemoveMenus();
    return 0;
}
