/*
 * quorlan-check --format: the menu in the house layout (format.h), written
 * back over its file, to standard output, or only compared with it. It
 * speaks of the layout only: no report of the menu.
 */
#include "format_command.h"
#include "../report/report.h"
#include "../mend/format.h"
#include "write_back.h"

#include <stdio.h>

#include <algorithm>

// The line and column of a byte, as the warnings count them: lines end at
// a line feed, columns count bytes, and a UTF-8 mark is not the first line's.
static void FindLineAndColumn(const std::string &bytes, long pos, long *line, long *column)
{
    pos = std::max(0L, std::min(pos, (long)bytes.size()));
    *line = 1 + (long)std::count(bytes.begin(), bytes.begin() + pos, '\n');
    long start = pos;
    while (start > 0 && bytes[start - 1] != '\n') start--;
    if (start == 0 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = std::min(3L, pos);
    *column = pos - start + 1;
}

int FormatMenuFile(const char *path, const FileAsRead &read, const std::string &bytes,
                   const CheckSettings &settings, bool checkOnly, bool diff, bool *delivered)
{
    *delivered = false;
    const char *name = path ? path : "<stdin>";
    CheckSettings layoutSettings = settings;
    layoutSettings.checkFiles = false; // the layout changes no command, so no file it names
    MenuLayout layout;
    LayOutMenu(bytes, layoutSettings, -1, -1, &layout);
    if (!layout.problem.empty()) {
        long line, column;
        FindLineAndColumn(bytes, layout.problemPos, &line, &column);
        fprintf(stderr, "quorlan-check: %s:%ld:%ld: not formatted: %s\n", name, line, column, layout.problem.c_str());
        return 2;
    }
    std::string formatted = ApplyLayout(bytes, layout.edits);
    bool changes = formatted != read.bytes;
    if (diff) {
        std::string shown = FormatUnifiedDiff(read.bytes, formatted, name);
        fwrite(shown.data(), 1, shown.size(), stdout);
    }
    if (checkOnly || diff) return checkOnly && changes ? 1 : 0;
    if (!path) {
        fwrite(formatted.data(), 1, formatted.size(), stdout);
        *delivered = true;
        return 0;
    }
    // The write back's message names the file and says what failed.
    std::string error;
    if (changes && !WriteFileAtomically(path, formatted, read, &error)) {
        fprintf(stderr, "quorlan-check: %s\n", error.c_str());
        return 2;
    }
    *delivered = true;
    return 0;
}
