/*
 * quorlan-check: shows what the program makes of a menu file, and where the
 * file probably does not say what its author meant.
 *
 * Nothing here reads the menu format by itself. The program's own loading
 * (ReadMenuStream) fills the window substitute's dialog, which is read back
 * for the result, and tells its hook what it reads as it goes: every byte
 * and token with where it stands, every field, entry and level. The
 * engine (engine.h) follows those reports, and the rule sets (../rules/) draw
 * the warnings and the header's options from them.
 */
#ifndef QUORLAN_CHECK_H
#define QUORLAN_CHECK_H

#include <stdio.h>

#include "../../menu/menu.h"

#include <string>
#include <vector>

// One tree item as the program shows it, in the tree's order.
struct CheckedItem {
    std::string text;             // the item's text in the tree
    bool hasRecord;               // false for the fallback item "Explore CD"
    std::string name, command, description;
    bool launches;                // Run would call the shell (the command is not empty)
    std::string file;             // what the shell would be given
    bool hasParameters;
    std::string parameters;
    bool hasDirectory;
    std::string directory;
    std::vector<CheckedItem> children;
    // Where its entry stands in the file, as byte offsets (-1 without a
    // record): its text from the first byte to just past the last, children
    // left out, and its name's text within it.
    long start, end;
    long nameStart, nameEnd;
    // The `{` open where its entry stands, as the loading counts them (-1
    // without a record): a `{` that opens no entry's level (`A { {`) is
    // counted but adds no depth to the tree, and takes a `}` of its own.
    int braces = -1;
};

// The dialog after the menu is loaded.
struct CheckedMenu {
    std::string caption;
    bool hasSize;                 // a size= option resized the window
    int width, height;            // its outer size then, in pixels
    bool sorted, install;
    std::vector<CheckedItem> items;
};

// One edit of a fix: the bytes from offset, length of them, replaced by
// text, in the file's own encoding. Where it stands (the end exclusive)
// and the text as Unicode (UTF-8), decoded as the file is, for the reports.
struct FixEdit {
    long offset, length;
    std::string text;
    long line, column, endLine, endColumn;
    std::string shown;
};

// The one mend a warning may carry, as the rule set that found it makes it:
// safe where the file alone makes the mend certain, suggested where the
// author may have meant another. It records what it is meant to give, so
// that the program's reading of the mended file can prove it.
struct MenuFix {
    std::string title;            // "write it as \"sorted\""
    bool safe = false;            // a warning without a fix never leaves it unset
    std::vector<FixEdit> edits;   // in the file's order, none overlapping
    std::vector<std::string> names; // item texts the tree shows after it
    std::string option;           // an option that takes effect after it ("" for none)
    bool reencodes = false;       // saves the file in another encoding: for --fix, as an editor keeps its own
};

// A warning points where the author types the mend; its note says how, and
// usually points at the same place. Lines count from 1 and end at a line
// feed (so a CR LF pair is one break); columns count bytes from 1.
struct MenuWarning {
    std::string code;             // its stable name, as --no-warn takes it (rules' codes in diagnostics.cpp)
    bool error;                   // the program loses text or reads the rest as something else
    long offset;                  // the byte the warning points at
    long line, column;
    std::string message;
    long noteLine, noteColumn;    // where the note points
    std::string note;
    bool hasFix;
    MenuFix fix;
};

struct CheckSettings {
    unsigned codePage;            // the ANSI code page of the disc's users
    char drive;                   // what %: gives
    bool checkFiles;              // look for the files that commands name
    std::string menuFolder;       // where they are looked for ("" for the current folder)
};

/* load.cpp: the platform's text, for the substitute and the reports */
void UsePlatformText(unsigned codePage);

// One line of a warning or its note, as compilers write them: file, line,
// column, "error", "warning" or "note", and the text (a warning's ends
// with its code in brackets). quorlan-disc prints its own
// warnings in it too (disc/CMakeLists.txt reads it here).
#define DIAGNOSTIC_FORMAT "%s:%ld:%ld: %s: %s\n"

// Each code a warning may have, whether it is an error, and what it says.
struct WarningCode {
    const char *code;
    bool error;
    const char *description;
    bool shifts = false;          // the entries after it may be read out of step with what the author wrote
};
extern const WarningCode g_warningCodes[];
extern const int g_warningCodeCount;
const WarningCode *FindWarningCode(const std::string &code);

#endif
