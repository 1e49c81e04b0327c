/*
 * Menus for the benchmarks: well-formed files of a chosen number of entries
 * (or bytes), flat or nested, written the way people write them: indented
 * lines, CRLF, quoted descriptions with commas, `%:` drive paths.
 */
#ifndef QUORLAN_BENCH_MENU_GEN_H
#define QUORLAN_BENCH_MENU_GEN_H

#include <stdio.h>

// Nested menus: every entry above this depth opens a level of NEST_FANOUT
// children, so the top level holds blocks of 1 + 10 + 100 + 1000 entries.
#define NEST_DEPTH 3
#define NEST_FANOUT 10

struct MenuShape {
    long entries;   // stop after this many entries ...
    long bytes;     // ... or once the file holds this many bytes (0: no limit)
    bool nested;    // groups of NEST_FANOUT children, NEST_DEPTH levels deep
    bool sorted;    // the "sorted" option in the header
};

// Writes a menu of the given shape; yields the number of entries written.
// Entry names are numbered in file order and compare in that order too.
long WriteBenchMenu(FILE *out, const MenuShape &shape);

// Writes the menu to a file; yields the number of entries, or -1 when the
// file cannot be written.
long WriteBenchMenuFile(const char *path, const MenuShape &shape);

#endif
