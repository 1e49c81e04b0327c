/*
 * The menu's shape for an editor, as the program's own loading reports it
 * (followed by the engine): the stretches an editor folds, the nested
 * stretches it widens a selection through, and what the header gives the
 * window. Nothing here reads the menu format by itself.
 */
#ifndef QUORLAN_CHECK_OUTLINE_H
#define QUORLAN_CHECK_OUTLINE_H

#include "../engine/check.h"

#include <string>
#include <vector>

// The bytes [start, end) of the file.
struct ByteRange {
    long start, end;
};

struct MenuOutline {
    // Each level from its `{` to just past its `}` (or to the file's end,
    // where the loading left it open), in the order the levels close; the
    // entry list is one of them.
    std::vector<ByteRange> levels;
    // Each quoted stretch, from its opening apostrophe to just past the
    // closing one (or to the file's end).
    std::vector<ByteRange> quotes;
    // Each field that holds text, and each entry from its first field's
    // first byte to its last field's last.
    std::vector<ByteRange> fields, entries;
    CheckedMenu menu;
};

// Loads the bytes as the checker does and yields their outline.
bool FindMenuOutline(const std::string &bytes, const CheckSettings &settings, MenuOutline *outline);

// The stretches holding pos, the smallest first, each holding the one
// before it: field, entry, the levels out to the entry list. A stretch
// that ends at pos holds it too, so that a cursor just past a word selects it.
std::vector<ByteRange> FindSelectionRanges(const MenuOutline &outline, long pos);

// Where the header stands: from the file's start to the `{` the reader
// gave, which opened the entry list, the mark and the white space at
// either end left out.
ByteRange FindHeaderRange(const std::string &bytes, const MenuOutline &outline);

// The header as the user meets it, in Markdown: the caption as the title
// bar shows it, the options in effect, the window's size and what a
// smaller screen does to it, and the smallest size that shows every control.
std::string DescribeHeader(const CheckedMenu &menu);

// "the smallest size that shows every control whole: 189x94", for the
// menu's options (the install option hides the command box).
std::string DescribeSmallestWindow(bool install);

#endif
