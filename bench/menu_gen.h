/*
 * Menus for the benchmarks: well-formed files of a chosen number of entries
 * (or bytes), flat or nested, written the way people write them: indented
 * lines, CRLF, quoted descriptions with commas, `%:` drive paths; and the
 * shapes that once made a check take minutes, each of a chosen size.
 */
#ifndef QUORLAN_BENCH_MENU_GEN_H
#define QUORLAN_BENCH_MENU_GEN_H

#include <stdio.h>
#include <windows.h>

#include <string>

// Nested menus: every entry above this depth opens a level of NEST_FANOUT
// children, so the top level holds blocks of 1 + 10 + 100 + 1000 entries.
#define NEST_DEPTH 3
#define NEST_FANOUT 10

// The kinds of menu; MENU_WRITTEN is the menu written as people write it
// (flat or nested), the others are one pattern repeated `entries` times.
#define MENU_WRITTEN 0     // as above; entry names are numbered in file order and compare so
#define MENU_GROUPS 1      // "Group N" entries, each opening a level of one entry
#define MENU_WORDS 2       // entries named by random words (the same each run), in no order
#define MENU_LONG_FIELDS 3 // each a name of LONG_NAME_BYTES and a description of LONG_DESCRIPTION_BYTES
#define MENU_SLIPS 4       // "Offer N, offer.pdf, Save 20% today,": each `%` a fixable slip
#define MENU_BRACES 5      // "M " and `entries` times `{`, never closed
#define MENU_NO_COMMAS 6   // "Entry N, eN.exe, Starts it" with no comma after it: each fix changes the rest

#define LONG_NAME_BYTES 900
#define LONG_DESCRIPTION_BYTES 8000

struct MenuShape {
    long entries;   // stop after this many entries ...
    long bytes;     // ... or once the file holds this many bytes (0: no limit)
    bool nested;    // groups of NEST_FANOUT children, NEST_DEPTH levels deep
    bool sorted;    // the "sorted" option in the header
    int kind;       // MENU_WRITTEN ...
};

// Writes a menu of the given shape; yields the number of entries written
// (for MENU_BRACES, of braces).
long WriteBenchMenu(FILE *out, const MenuShape &shape);

// Writes the menu to a file; yields the number of entries, or -1 when the
// file cannot be written.
long WriteBenchMenuFile(const char *path, const MenuShape &shape);

// Makes a new folder for a benchmark's menus, in $TMPDIR or /tmp, named
// prefix and six random characters; false (said on standard error) when
// it cannot.
bool MakeMenuFolder(const char *prefix, std::string *folder);

// Yields a new substitute dialog with the menu file loaded as at start-up:
// a fresh reader state, insertion in file order until the header says
// sorted (in the order of the substitute's comparison, if it has one).
HWND LoadBenchMenu(const char *path);
// Releases the records as the close does, then the substitute's dialog.
void UnloadBenchMenu(HWND hDlg);

#endif
