/*
 * Times a dialog program's start-up (under Wine, by scripts/bench.sh): from
 * CreateProcess to its dialog shown with the tree filled and its message
 * loop answering; then closes it as the Close button does (IDCANCEL) and
 * waits for it to exit with code 0.
 *
 *   startup_timer LABEL RUNS EXE ARGS FOLDER ITEMS [LABEL RUNS ...]...
 *
 * ARGS is the program's command line after its name ("-" for none), FOLDER
 * its current folder (where its menu is), ITEMS the tree's item count once
 * filled. Each program is first started once untimed, to bring its files
 * into the caches; then the targets take turns, one run each, so that a
 * slow spell of the machine falls on all of them alike. The first target is
 * the floor: each median is also given as a ratio to the floor's. The
 * timing starts here, so Wine's own start-up (a warm wineserver and this
 * process) stays out of it.
 */
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "../res/resource.h"

#define START_TIMEOUT_MS 120000 // a start that takes longer is counted failed
#define EXIT_TIMEOUT_MS 20000
#define MESSAGE_TIMEOUT_MS 10000

struct Target {
    const char *label;
    int runs;
    const char *exe;
    const char *arguments; // null for none
    const char *folder;
    long items;
    std::vector<double> ms; // the timed runs
    int failures;
    char lastFailure[160];
};

static LARGE_INTEGER s_frequency;

static double MillisecondsSince(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)(now.QuadPart - start.QuadPart) * 1000.0 / (double)s_frequency.QuadPart;
}

struct DialogSearch {
    DWORD processId;
    HWND hDlg;
};

// Finds the visible dialog window (class #32770) of one process.
static BOOL CALLBACK FindProcessDialog(HWND hwnd, LPARAM lParam)
{
    DialogSearch *search = (DialogSearch *)lParam;
    DWORD processId = 0;
    GetWindowThreadProcessId(hwnd, &processId);
    char className[16];
    if (processId != search->processId || !IsWindowVisible(hwnd)) return TRUE;
    if (!GetClassNameA(hwnd, className, sizeof(className)) || strcmp(className, "#32770") != 0) return TRUE;
    search->hDlg = hwnd;
    return FALSE;
}

// Yields the dialog once it is shown with `items` items in its tree and
// answers a message, or null when the process ends or the time runs out
// first. The tree is filled before the dialog is first shown, so the count
// of a shown dialog is final: a wrong one fails at once.
static HWND WaitForFilledDialog(const PROCESS_INFORMATION &pi, long items, const LARGE_INTEGER &start,
                                char *failure, size_t failureSize)
{
    for (;;) {
        DialogSearch search = {pi.dwProcessId, NULL};
        EnumWindows(FindProcessDialog, (LPARAM)&search);
        DWORD_PTR count = 0, unused = 0;
        HWND hTree = search.hDlg ? GetDlgItem(search.hDlg, IDC_TREE) : NULL;
        if (hTree && SendMessageTimeoutA(hTree, TVM_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &count) &&
            SendMessageTimeoutA(search.hDlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &unused)) {
            if ((long)count == items) return search.hDlg;
            snprintf(failure, failureSize, "tree has %lu items, not %ld", (unsigned long)count, items);
            return search.hDlg;
        }
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            snprintf(failure, failureSize, "ended before its dialog was filled");
            return NULL;
        }
        if (MillisecondsSince(start) > START_TIMEOUT_MS) {
            snprintf(failure, failureSize, "no filled dialog within %d ms", START_TIMEOUT_MS);
            return NULL;
        }
        Sleep(1);
    }
}

// Starts the target once; yields its start-up time in milliseconds, or a
// negative value when it failed (the reason kept in the target).
static double TimeOneStart(Target *target)
{
    char commandLine[2 * MAX_PATH];
    snprintf(commandLine, sizeof(commandLine), "\"%s\"%s%s", target->exe, target->arguments ? " " : "",
             target->arguments ? target->arguments : "");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION pi;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(target->exe, commandLine, NULL, NULL, FALSE, 0, NULL, target->folder, &startup, &pi)) {
        snprintf(target->lastFailure, sizeof(target->lastFailure), "CreateProcess failed (%lu)", GetLastError());
        return -1;
    }
    char failure[128] = "";
    HWND hDlg = WaitForFilledDialog(pi, target->items, start, failure, sizeof(failure));
    double elapsed = MillisecondsSince(start);
    if (hDlg) PostMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
    DWORD exitCode = 0;
    if (WaitForSingleObject(pi.hProcess, EXIT_TIMEOUT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, EXIT_TIMEOUT_MS);
        if (!failure[0]) snprintf(failure, sizeof(failure), "did not exit when closed");
    } else if (GetExitCodeProcess(pi.hProcess, &exitCode) && exitCode != 0 && !failure[0]) {
        snprintf(failure, sizeof(failure), "exit code %lu", exitCode);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (failure[0]) {
        snprintf(target->lastFailure, sizeof(target->lastFailure), "%s", failure);
        return -1;
    }
    return elapsed;
}

// Yields the value at fraction q of the sorted times (0.5: the median),
// between the two nearest when it falls between them.
static double Quantile(const std::vector<double> &sorted, double q)
{
    if (sorted.empty()) return 0;
    double position = q * (double)(sorted.size() - 1);
    size_t below = (size_t)position;
    if (below + 1 >= sorted.size()) return sorted.back();
    return sorted[below] + (sorted[below + 1] - sorted[below]) * (position - (double)below);
}

#define TARGET_FIELDS 6

int main(int argc, char **argv)
{
    if (argc < 1 + TARGET_FIELDS || (argc - 1) % TARGET_FIELDS != 0) {
        fprintf(stderr, "usage: startup_timer LABEL RUNS EXE ARGS FOLDER ITEMS [LABEL RUNS ...]...\n");
        return 2;
    }
    std::vector<Target> targets;
    int rounds = 0;
    for (int i = 1; i + TARGET_FIELDS <= argc; i += TARGET_FIELDS) {
        const char *arguments = strcmp(argv[i + 3], "-") == 0 ? NULL : argv[i + 3];
        Target target = {argv[i], atoi(argv[i + 1]), argv[i + 2], arguments, argv[i + 4], atol(argv[i + 5]),
                         {}, 0, ""};
        targets.push_back(target);
        rounds = std::max(rounds, target.runs);
    }
    QueryPerformanceFrequency(&s_frequency);

    for (size_t i = 0; i < targets.size(); i++) {
        bool seen = false;
        for (size_t j = 0; j < i; j++) seen = seen || strcmp(targets[j].exe, targets[i].exe) == 0;
        if (!seen && TimeOneStart(&targets[i]) < 0) targets[i].failures++;
    }
    for (int round = 0; round < rounds; round++) {
        for (Target &target : targets) {
            if (round >= target.runs) continue;
            double ms = TimeOneStart(&target);
            if (ms < 0) target.failures++;
            else target.ms.push_back(ms);
        }
    }

    printf("%-16s %5s %10s %9s %9s %9s %9s %9s  %s\n", "program", "runs", "median ms", "min", "q1", "q3",
           "max", "x floor", "failures");
    double floorMedian = 0;
    for (Target &target : targets) {
        std::vector<double> &ms = target.ms;
        std::sort(ms.begin(), ms.end());
        double median = Quantile(ms, 0.5);
        if (&target == &targets[0]) floorMedian = median;
        double ratio = floorMedian > 0 ? median / floorMedian : 0;
        printf("%-16s %5zu %10.1f %9.1f %9.1f %9.1f %9.1f %9.2f  %d%s%s\n", target.label, ms.size(), median,
               ms.empty() ? 0 : ms.front(), Quantile(ms, 0.25), Quantile(ms, 0.75), ms.empty() ? 0 : ms.back(),
               ratio, target.failures, target.failures ? ": " : "", target.lastFailure);
        // For scripts/bench.sh: section, figure, value, against, ratio.
        printf("START|%s|%.1f|%.1f|%.1f|%zu|%d\n", target.label, median, ms.empty() ? 0 : ms.front(),
               ms.empty() ? 0 : ms.back(), ms.size(), target.failures);
    }
    fflush(stdout);
    return 0;
}
