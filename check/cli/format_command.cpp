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

int FormatMenuFile(const char *path, const FileAsRead &read, const std::string &bytes,
                   const CheckSettings &settings, bool checkOnly, bool diff, bool *delivered)
{
    *delivered = false;
    const char *name = path ? path : "<stdin>";
    FormattedMenu layout;
    if (!FormatMenu(bytes, settings, &layout)) {
        fprintf(stderr, "quorlan-check: %s:%ld:%ld: not formatted: %s\n", name, layout.problemLine,
                layout.problemColumn, layout.problem.c_str());
        return 2;
    }
    const std::string &formatted = layout.bytes;
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
