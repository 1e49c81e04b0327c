/*
 * A unified diff of a menu and its mended bytes, for --diff: lines kept
 * with their own line ends, the longest common run of lines found by the
 * plain table of lengths (menus are short), three lines of context.
 */
#include "../engine/check.h"

#include <algorithm>

// The lines of the bytes, each with its line feed.
static std::vector<std::string> SplitLines(const std::string &bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The table's side beyond which the lines differ as one block: a table of
// 4,000 by 4,000 lines is 64 MB.
#define MAX_DIFF_LINES 4000

#define CONTEXT_LINES 3

// Yields the diff from before to after ("" when they are the same), both
// named name, or the old one oldName where given.
std::string FormatUnifiedDiff(const std::string &before, const std::string &after, const std::string &name,
                              const std::string &oldName)
{
    if (before == after) return "";
    std::vector<std::string> a = SplitLines(before), b = SplitLines(after);
    // Lines alike at both ends are left out of the table.
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) head++;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) tail++;
    size_t n = a.size() - head - tail, m = b.size() - head - tail;
    // Each line of both: ' ', '-' or '+', with its index.
    std::vector<std::pair<char, size_t>> script;
    for (size_t i = 0; i < head; i++) script.push_back({' ', i});
    if (n <= MAX_DIFF_LINES && m <= MAX_DIFF_LINES) {
        std::vector<std::vector<int>> common(n + 1, std::vector<int>(m + 1, 0));
        for (size_t i = n; i-- > 0;)
            for (size_t j = m; j-- > 0;)
                common[i][j] = a[head + i] == b[head + j] ? common[i + 1][j + 1] + 1
                                                          : std::max(common[i + 1][j], common[i][j + 1]);
        size_t i = 0, j = 0;
        while (i < n || j < m) {
            if (i < n && j < m && a[head + i] == b[head + j]) {
                script.push_back({' ', head + i});
                i++, j++;
            } else if (i < n && (j == m || common[i + 1][j] >= common[i][j + 1])) {
                script.push_back({'-', head + i++});
            } else {
                script.push_back({'+', head + j++});
            }
        }
    } else {
        for (size_t i = 0; i < n; i++) script.push_back({'-', head + i});
        for (size_t j = 0; j < m; j++) script.push_back({'+', head + j});
    }
    for (size_t i = 0; i < tail; i++) script.push_back({' ', a.size() - tail + i});

    std::string out = "--- " + (oldName.empty() ? name : oldName) + "\n+++ " + name + "\n";
    for (size_t k = 0; k < script.size();) {
        if (script[k].first == ' ') {
            k++;
            continue;
        }
        // A hunk: from the change, on while the next change is near.
        size_t start = k >= CONTEXT_LINES ? k - CONTEXT_LINES : 0, last = k;
        for (size_t t = k + 1; t < script.size() && t - last <= 2 * CONTEXT_LINES; t++)
            if (script[t].first != ' ') last = t;
        size_t end = std::min(last + 1 + CONTEXT_LINES, script.size());
        size_t oldStart = 0, newStart = 0, oldCount = 0, newCount = 0;
        for (size_t t = 0; t < start; t++) {
            if (script[t].first != '+') oldStart++;
            if (script[t].first != '-') newStart++;
        }
        std::string body;
        for (size_t t = start; t < end; t++) {
            char kind = script[t].first;
            const std::string &line = kind == '+' ? b[script[t].second] : a[script[t].second];
            if (kind != '+') oldCount++;
            if (kind != '-') newCount++;
            body += kind + line;
            if (line.empty() || line.back() != '\n') body += "\n\\ No newline at end of file\n";
        }
        out += "@@ -" + std::to_string(oldCount ? oldStart + 1 : oldStart) + "," + std::to_string(oldCount) + " +" +
               std::to_string(newCount ? newStart + 1 : newStart) + "," + std::to_string(newCount) + " @@\n" + body;
        k = end;
    }
    return out;
}
