/*
 * The cost of proving fixes, in the process: menus of N entries
 * "Offer N, offer.pdf, Save 20% today," (each with one safe fix, %%)
 * against the clean menu of the same size, written with %%. Each figure is
 * the median of its runs (5 unless told), timed around what the command
 * line and the server do:
 *  - the check, as `quorlan-check --no-files` makes it: the reading, every
 *    fix proven (KeepProvenFixes), the report;
 *  - `--fix=all`: that, every fix made in rounds (FixMenu), the mended menu
 *    read and its fixes proven again, the report;
 *  - the server, spoken to over pipes as an editor speaks to it: the menu
 *    opened as an untitled document (no file look-ups) until its
 *    diagnostics come, which is its check, and then a source.fixAll asked
 *    for, until its answer.
 * Goals, against the clean menu's check (the command line's, the
 * server's): the check at most 3 times, --fix=all at most 5, the server's
 * fix-all at most 5. It prints figures and never fails on a time.
 *
 *   bench_proofs [--runs=N] [--sizes=N,N...]
 *   bench_proofs --write FOLDER [--sizes=N,N...]
 *
 * --write only writes the menus (slips-N.ini, clean-N.ini) for timing the
 * Windows build under Wine (bench/proof_wine.sh).
 */
#include "../check/engine/check.h"
#include "../check/engine/quote.h"
#include "../check/rules/checker.h"
#include "../check/mend/fix.h"
#include "../check/report/report.h"
#include "../check/lsp/lsp.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#define DEFAULT_RUNS 5

// The menu of n entries, each with a percent sign written as the slip (%)
// or as meant (%%).
static std::string MakeOffers(long n, bool clean)
{
    std::string menu = "Offers\n{\n";
    char line[96];
    for (long i = 1; i <= n; i++) {
        snprintf(line, sizeof(line), "  Offer %ld, offer.pdf, Save 20%s today,\n", i, clean ? "%%" : "%");
        menu += line;
    }
    return menu + "}\n";
}

static CheckSettings BenchSettings()
{
    CheckSettings settings;
    settings.codePage = 1252;
    settings.drive = 'D';
    settings.checkFiles = false;
    return settings;
}

// What `quorlan-check --no-files` does once the file is read.
static size_t CheckAsCommand(const std::string &bytes)
{
    CheckSettings settings = BenchSettings();
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    CheckMenuBytes(bytes, settings, &menu, &warnings);
    KeepProvenFixes(bytes, settings, menu, &warnings);
    return FormatMenuText(menu, warnings, "Quorlan.ini").size();
}

// The reading alone, and the report alone: where a check's time goes
// besides the proofs.
static size_t ReadOnly(const std::string &bytes)
{
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    CheckMenuBytes(bytes, BenchSettings(), &menu, &warnings);
    return warnings.size();
}

static size_t ReportOnly(const std::string &bytes)
{
    static std::string read;
    static CheckedMenu menu;
    static std::vector<MenuWarning> warnings;
    if (read != bytes) {
        read = bytes;
        CheckMenuBytes(read, BenchSettings(), &menu, &warnings);
    }
    return FormatMenuText(menu, warnings, "Quorlan.ini").size();
}

// What `quorlan-check --no-files --fix=all` does, but for the write.
static size_t FixAllAsCommand(const std::string &bytes)
{
    CheckSettings settings = BenchSettings();
    CheckedMenu menu;
    std::vector<MenuWarning> warnings, fixed;
    CheckMenuBytes(bytes, settings, &menu, &warnings);
    KeepProvenFixes(bytes, settings, menu, &warnings);
    std::string mended = FixMenu(bytes, settings, true, &fixed, std::vector<std::string>());
    CheckMenuBytes(mended, settings, &menu, &warnings);
    KeepProvenFixes(mended, settings, menu, &warnings);
    return FormatMenuText(menu, warnings, "Quorlan.ini").size() + fixed.size();
}

// The server, spoken to over pipes as an editor speaks to it, in a
// thread of its own.
struct ServerSession {
    int toServer, fromServer;     // the ends the editor writes and reads
    std::thread thread;
    std::string read;             // what the server wrote, not yet taken
};

static void StartServer(ServerSession *session)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
        perror("bench_proofs: pipe");
        exit(2);
    }
    session->toServer = in[1];
    session->fromServer = out[0];
    int serverIn = in[0], serverOut = out[1];
    session->thread = std::thread([serverIn, serverOut]() {
        FILE *input = fdopen(serverIn, "rb"), *output = fdopen(serverOut, "wb");
        ServeLanguageClient(input, output, "bench");
        fclose(input);
        fclose(output);
    });
}

static void Send(ServerSession *session, const std::string &body)
{
    std::string framed = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    for (size_t at = 0; at < framed.size();) {
        ssize_t wrote = write(session->toServer, framed.data() + at, framed.size() - at);
        if (wrote <= 0) {
            perror("bench_proofs: write");
            exit(2);
        }
        at += (size_t)wrote;
    }
}

// Reads the server's messages until one holds the text; yields it.
static std::string WaitFor(ServerSession *session, const std::string &text)
{
    for (;;) {
        size_t header = session->read.find("\r\n\r\n");
        if (header != std::string::npos) {
            size_t length = strtoul(session->read.c_str() + strlen("Content-Length: "), NULL, 10);
            if (session->read.size() >= header + 4 + length) {
                std::string body = session->read.substr(header + 4, length);
                session->read.erase(0, header + 4 + length);
                if (body.find(text) != std::string::npos) return body;
                continue;
            }
        }
        char chunk[65536];
        ssize_t got = read(session->fromServer, chunk, sizeof(chunk));
        if (got <= 0) {
            fprintf(stderr, "bench_proofs: the server stopped before it wrote %s\n", text.c_str());
            exit(2);
        }
        session->read.append(chunk, (size_t)got);
    }
}

// One session: the menu opened as an untitled document (no file look-ups),
// the time until its diagnostics come, then a fix-all asked for, and the
// time until its answer.
static void TimeServer(const std::string &bytes, double *check, double *fixAll)
{
    ServerSession session;
    StartServer(&session);
    std::string uri = "untitled:Offers";
    Send(&session, "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"initialize\",\"params\":{\"capabilities\":{}}}");
    WaitFor(&session, "\"id\":1");
    Send(&session, "{\"jsonrpc\":\"2.0\",\"method\":\"initialized\",\"params\":{}}");
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    Send(&session, "{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\",\"params\":{\"textDocument\":{\"uri\":\"" + uri +
                       "\",\"languageId\":\"quorlan\",\"version\":1,\"text\":" + QuoteJson(bytes) + "}}}");
    WaitFor(&session, "publishDiagnostics");
    std::chrono::steady_clock::time_point checked = std::chrono::steady_clock::now();
    Send(&session, "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"textDocument/codeAction\",\"params\":{\"textDocument\":"
                   "{\"uri\":\"" + uri + "\"},\"range\":{\"start\":{\"line\":0,\"character\":0},\"end\":{\"line\":0,"
                   "\"character\":0}},\"context\":{\"diagnostics\":[],\"only\":[\"source.fixAll.quorlan\"]}}}");
    std::string answer = WaitFor(&session, "\"id\":2");
    std::chrono::steady_clock::time_point fixed = std::chrono::steady_clock::now();
    // The fix-all must be there, or the figure measures nothing.
    if (bytes.find("20% ") != std::string::npos && answer.find("source.fixAll.quorlan") == std::string::npos) {
        fprintf(stderr, "bench_proofs: the server offered no fix-all\n");
        exit(2);
    }
    Send(&session, "{\"jsonrpc\":\"2.0\",\"id\":3,\"method\":\"shutdown\"}");
    WaitFor(&session, "\"id\":3");
    Send(&session, "{\"jsonrpc\":\"2.0\",\"method\":\"exit\"}");
    close(session.toServer);
    session.thread.join();
    close(session.fromServer);
    *check = std::chrono::duration<double>(checked - start).count();
    *fixAll = std::chrono::duration<double>(fixed - checked).count();
}

static double SecondsOf(size_t (*step)(const std::string &), const std::string &bytes)
{
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    volatile size_t result = step(bytes);
    (void)result;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

static double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The medians of the runs' times of two steps on two menus, in seconds,
// taken in turns, so that a busy machine slows both alike.
static void MedianSeconds(size_t (*step)(const std::string &), const std::string &bytes,
                          size_t (*otherStep)(const std::string &), const std::string &other, int runs,
                          double *seconds, double *otherSeconds)
{
    std::vector<double> times, otherTimes;
    for (int i = 0; i < runs; i++) {
        otherTimes.push_back(SecondsOf(otherStep, other));
        times.push_back(SecondsOf(step, bytes));
    }
    *seconds = Median(times);
    *otherSeconds = Median(otherTimes);
}

static std::vector<long> ParseSizes(const char *text)
{
    std::vector<long> sizes;
    for (const char *at = text; *at;) {
        char *end;
        long n = strtol(at, &end, 10);
        if (end == at || n <= 0) break;
        sizes.push_back(n);
        at = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

static bool WriteMenus(const char *folder, const std::vector<long> &sizes)
{
    for (long n : sizes)
        for (int clean = 0; clean < 2; clean++) {
            std::string path = std::string(folder) + "/" + (clean ? "clean-" : "slips-") + std::to_string(n) + ".ini";
            std::string menu = MakeOffers(n, clean);
            FILE *out = fopen(path.c_str(), "wb");
            if (!out || fwrite(menu.data(), 1, menu.size(), out) != menu.size() || fclose(out) != 0) {
                perror(path.c_str());
                return false;
            }
            printf("%s\n", path.c_str());
        }
    return true;
}

int main(int argc, char **argv)
{
    int runs = DEFAULT_RUNS;
    std::vector<long> sizes = {2000, 20000};
    const char *folder = NULL;
    for (int i = 1; i < argc; i++) {
        if (strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(1, atoi(argv[i] + 7));
        else if (strncmp(argv[i], "--sizes=", 8) == 0) sizes = ParseSizes(argv[i] + 8);
        else if (strcmp(argv[i], "--write") == 0 && i + 1 < argc) folder = argv[++i];
        else {
            fprintf(stderr, "usage: bench_proofs [--runs=N] [--sizes=N,N...] [--write FOLDER]\n");
            return 2;
        }
    }
    if (folder) return WriteMenus(folder, sizes) ? 0 : 2;

    struct {
        const char *name;
        size_t (*step)(const std::string &);
        double goal;
    } figures[] = {
        {"check, every fix proven", CheckAsCommand, 3},
        {"--fix=all", FixAllAsCommand, 5},
    };
    // Once untimed, so that no figure carries the first call's set-up.
    for (const auto &figure : figures) figure.step(MakeOffers(10, false));
    printf("== Proofs of fixes: median of %d runs, seconds; against the clean menu of the same size\n", runs);
    for (long n : sizes) {
        std::string slips = MakeOffers(n, false), clean = MakeOffers(n, true);
        double read, cleanRead, report, cleanReport;
        MedianSeconds(ReadOnly, slips, ReadOnly, clean, runs, &read, &cleanRead);
        MedianSeconds(ReportOnly, slips, ReportOnly, clean, runs, &report, &cleanReport);
        printf("%ld entries: of a check, the reading %.4f s (clean %.4f s) and the report %.4f s (clean %.4f s)\n", n,
               read, cleanRead, report, cleanReport);
        struct {
            const char *name;
            double took, against, goal;
        } rows[4];
        for (int f = 0; f < 2; f++) {
            rows[f].name = figures[f].name;
            rows[f].goal = figures[f].goal;
            MedianSeconds(figures[f].step, slips, CheckAsCommand, clean, runs, &rows[f].took, &rows[f].against);
        }
        std::vector<double> checks, cleanChecks, fixAlls;
        for (int i = 0; i < runs; i++) {
            double check, fixAll;
            TimeServer(clean, &check, &fixAll);
            cleanChecks.push_back(check);
            TimeServer(slips, &check, &fixAll);
            checks.push_back(check);
            fixAlls.push_back(fixAll);
        }
        rows[2] = {"server check", Median(checks), Median(cleanChecks), 0};
        rows[3] = {"server fix-all", Median(fixAlls), Median(cleanChecks), 5};
        for (const auto &row : rows) {
            double ratio = row.took / row.against;
            std::string goal = row.goal ? "<= " + std::to_string((int)row.goal) : "-";
            const char *verdict = !row.goal ? "-" : ratio <= row.goal ? "met" : "missed";
            printf("  %-26s %9.4f s  against %.4f s  ratio %6.2f  goal %s: %s\n", row.name, row.took, row.against,
                   ratio, goal.c_str(), verdict);
            printf("ROW|proofs|%s, %ld entries|%.4f s|clean %.4f s|%.2f|%s|%s\n", row.name, n, row.took, row.against,
                   ratio, goal.c_str(), verdict);
        }
        fflush(stdout);
    }
    return 0;
}
