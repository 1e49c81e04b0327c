/*
 * The house layout of a menu (quorlan-check --format, and the language
 * server's formatting): the one the example disc's menu is written in.
 *
 * The layout moves only white space that the program folds to one space or
 * drops, and knows which it is from the program's own loading, followed by
 * the engine: which bytes were results of the reader, which runs of white
 * space it folded, which `{`, `}` and `,` were structural and what each
 * ended. Every change is then proved by the program's own reading of the
 * result: the same caption, options and items, and the same warnings.
 */
#ifndef QUORLAN_CHECK_FORMAT_H
#define QUORLAN_CHECK_FORMAT_H

#include "../engine/check.h"

#include <string>
#include <vector>

// One change of the layout: the bytes [start, end) of the file, white space
// the program folds or drops (or none at all), become text, white space too.
struct LayoutEdit {
    long start, end;
    std::string text;
};

struct MenuLayout {
    std::vector<LayoutEdit> edits; // in the file's order; none when it is laid out already
    std::string problem;           // why the file is not formatted, or ""
    long problemPos;               // the byte it points at
    bool proofFailed;              // the problem is that the layout would read otherwise, not an error of the file
};

// Lays out the whole menu (rangeStart < 0), or only the white space around
// the entries, header and braces that the bytes [rangeStart, rangeEnd)
// touch, and proves the result by the program's reading of it. A file with
// an error whose structure is in doubt, or whose result would read
// otherwise, gets no edits and a problem.
void LayOutMenu(const std::string &bytes, const CheckSettings &settings, long rangeStart, long rangeEnd,
                MenuLayout *layout);

// The bytes with the edits made.
std::string ApplyLayout(const std::string &bytes, const std::vector<LayoutEdit> &edits);

// The whole menu in the house layout, as --format gives it, with no file
// its commands name looked for: the layout changes no command.
struct FormattedMenu {
    std::string bytes;            // the menu laid out; "" where it is not formatted
    std::string problem;          // why it is not formatted, or ""
    long problemPos;              // the byte the problem points at
    long problemLine, problemColumn; // and where, as the warnings count them
};

// Yields false, with the problem, where the menu is not formatted.
bool FormatMenu(const std::string &bytes, const CheckSettings &settings, FormattedMenu *formatted);

// Yields "" when the bytes after read as the bytes before, the edits
// being what made the one from the other: the same caption, size, options
// and items with their records, and the same warnings once their places
// are moved with the edits. Otherwise, the first difference.
std::string CompareReadings(const std::string &before, const std::string &after,
                            const std::vector<LayoutEdit> &edits, const CheckSettings &settings);

#endif
