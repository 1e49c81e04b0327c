/*
 * The house layout (format.h). A rule set follows the program's loading
 * and marks each byte of the file with what the reader made of it: a byte
 * of text, an apostrophe that opened or closed a quote, a structural `{`,
 * `}` or `,` with what it ended, or nothing at all. White space that the
 * reader gave nothing for (dropped) or one space for (folded, marked at
 * its run's first byte) is all the layout may move; every other byte
 * stays. Between two bytes that stay, the layout writes its white space:
 *
 *   - where the reader folded a run, a run again: one space, or the same
 *     line breaks (so that no warning about a line break inside a field
 *     changes) and the next line's indentation;
 *   - where white space would be dropped (after a structural token, or
 *     before one, outside quotes and not after a `%`), whatever the layout
 *     wants: line breaks, indentation, one space after a comma, nothing;
 *   - anywhere else, what stands there: nothing.
 *
 * The header stays as written but for the white space after its commas;
 * white space at the very start of the file is the title's first
 * character and stays too.
 */
#include "format.h"
#include "../engine/engine.h"
#include "../rules/checker.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>
#include <map>

// What the reader made of a byte, one of these, with BYTE_FOLDED added at
// the first byte of a run of white space it folded to a space.
#define BYTE_UNREAD 0        // no result: white space dropped or folded, a `%` that escapes, the mark
#define BYTE_TEXT 1          // a byte of field text, inside quotes or out, escaped or not
#define BYTE_QUOTE 2         // an apostrophe that opened or closed a quote
#define BYTE_DRIVE 3         // the `%` of `%:`, which gave the drive letter
#define BYTE_HEADER_COMMA 4  // a `,` that ended the title or an option
#define BYTE_FIELD_COMMA 5   // one that ended a name or a command
#define BYTE_ENTRY_COMMA 6   // one that ended a description, and so its entry
#define BYTE_LIST_OPEN 7     // the `{` that opened the entry list
#define BYTE_LEVEL_OPEN 8    // a `{` that opened a nested level
#define BYTE_CLOSE 9         // a `}`
#define BYTE_FOLDED 0x10
#define BYTE_KIND 0x0F

// One stretch of the file that rangeFormatting may lay out: an entry from
// its first byte to the token that ended it, the header, a `}`.
struct LayoutUnit {
    long start, end;
};

static struct {
    std::vector<unsigned char> kinds; // one for each byte of the file
    std::vector<LayoutUnit> units;
    long entryStart;                  // the first byte of the entry being read, or -1
} s_layout;

static void StartLayout()
{
    s_layout.kinds.assign(Followed().bytes->size() + 1, BYTE_UNREAD);
    s_layout.units.clear();
    s_layout.entryStart = -1;
}

static void MarkByte(long pos, unsigned char kind)
{
    if (pos >= 0 && pos < (long)s_layout.kinds.size()) s_layout.kinds[pos] = kind;
}

static void TakeLayoutReport(const MenuReport &report)
{
    switch (report.event) {
    case MENU_FOLDED:
        MarkByte(report.offset, BYTE_FOLDED);
        break;
    case MENU_QUOTE:
        MarkByte(report.offset, BYTE_QUOTE);
        break;
    case MENU_DRIVE:
        MarkByte(report.offset, BYTE_DRIVE);
        break;
    case MENU_RESULT:
    case MENU_ESCAPED:
        // A `,` is a field's until the field says which; a `{` a level's.
        if (report.token >= 0) MarkByte(report.offset, BYTE_TEXT);
        else if (report.token == TOK_COMMA) MarkByte(report.offset, BYTE_FIELD_COMMA);
        else if (report.token == TOK_OPEN) MarkByte(report.offset, BYTE_LEVEL_OPEN);
        else if (report.token == TOK_CLOSE) MarkByte(report.offset, BYTE_CLOSE);
        break;
    }
    if (report.token == TOK_CLOSE) s_layout.units.push_back({report.offset, report.offset + 1});
}

// What the token that ended a field was.
static void TakeLayoutField(int kind, const FieldScan &field)
{
    bool header = kind == MENU_TITLE || kind == MENU_OPTION;
    if (field.token == TOK_COMMA)
        MarkByte(field.tokenPos, header ? BYTE_HEADER_COMMA
                                 : kind == MENU_DESCRIPTION ? BYTE_ENTRY_COMMA : BYTE_FIELD_COMMA);
    else if (field.token == TOK_OPEN && header)
        MarkByte(field.tokenPos, BYTE_LIST_OPEN);
    if (header && field.token != TOK_COMMA) s_layout.units.push_back({0, field.tokenPos + 1});
    if (!header && s_layout.entryStart < 0)
        s_layout.entryStart = field.firstPos >= 0 ? field.firstPos : field.tokenPos;
}

static void TakeLayoutEntry(const FieldScan *fields, int count, bool)
{
    if (count > 0 && s_layout.entryStart >= 0)
        s_layout.units.push_back({s_layout.entryStart, fields[count - 1].tokenPos + 1});
    s_layout.entryStart = -1;
}

static const RuleSet s_layoutFollower = {StartLayout, TakeLayoutReport, TakeLayoutField, TakeLayoutEntry, NULL,
                                         NULL};

// The walk over the bytes that stay, writing the white space between them.
struct LayoutWalk {
    const std::string *bytes;
    long rangeStart, rangeEnd;  // the gaps laid out are those that touch it
    const std::vector<long> *held; // places, in order, whose gaps beside them stay as written
    int depth;                  // structural `{` open
    bool listOpened;
    bool inQuote;
    bool afterToken;            // the reader's last result was a token (not text, nor the start)
    long prevKept;              // the last byte that stays, or -1 at the start (after the mark)
    int prevKind;               // what it is (BYTE_*)
    long nextLineFeed;          // the first line feed at or after the gap, or -1 past the last
    long lastLineFeed;          // the last one before it, or -1
    std::vector<LayoutEdit> *edits;
};

static bool IsComma(int kind)
{
    return kind == BYTE_HEADER_COMMA || kind == BYTE_FIELD_COMMA || kind == BYTE_ENTRY_COMMA;
}

static bool IsToken(int kind) { return IsComma(kind) || kind >= BYTE_LIST_OPEN; }

// The line end of the line feed at lf: with the CR before it when that CR
// is white space of the same gap (an escaped CR is text of its own).
static std::string EndingOf(const std::string &bytes, long lf, long gapStart)
{
    return lf > gapStart && bytes[lf - 1] == '\r' ? "\r\n" : "\n";
}

// The line end for a break the layout adds: the one that the line it
// splits ends with, or the file's last one, or LF in a file without any.
static std::string AddedEnding(LayoutWalk *walk, long gapStart)
{
    const std::string &bytes = *walk->bytes;
    if (walk->nextLineFeed >= 0 && walk->nextLineFeed < gapStart) {
        const void *found = memchr(bytes.data() + gapStart, '\n', bytes.size() - gapStart);
        walk->nextLineFeed = found ? (long)((const char *)found - bytes.data()) : -1;
    }
    long lf = walk->nextLineFeed >= 0 ? walk->nextLineFeed : walk->lastLineFeed;
    return lf > 0 && bytes[lf - 1] == '\r' ? "\r\n" : "\n";
}

// The indentation of a level's entries: two spaces for each `{` open,
// counted as the program counts levels (those past the nesting kept join
// the deepest one).
static std::string Indentation(int depth) { return std::string(2 * std::min(depth, MAX_NESTING + 1), ' '); }

// The run with no white space at the end of its lines; a lone CR is white
// space like a space.
static std::string WithoutLineEndSpace(const std::string &run)
{
    std::string out;
    for (size_t i = 0; i < run.size(); i++) {
        if (run[i] != '\n') {
            out += run[i];
            continue;
        }
        while (!out.empty() && out.back() != '\n') out.pop_back();
        out += i > 0 && run[i - 1] == '\r' ? "\r\n" : "\n";
    }
    return out;
}

// A line break and the next line's indentation, with a blank line before
// it if asked (lineFeeds then has two). Just the indentation after a line
// break that is text.
static std::string StartLine(LayoutWalk *walk, long start, const std::vector<long> &lineFeeds, int depth,
                             bool blank)
{
    const std::string &bytes = *walk->bytes;
    if (walk->prevKept >= 0 && bytes[walk->prevKept] == '\n') return Indentation(depth);
    std::string out = lineFeeds.empty() ? AddedEnding(walk, start) : EndingOf(bytes, lineFeeds[0], start);
    if (blank) out += EndingOf(bytes, lineFeeds[1], start);
    return out + Indentation(depth);
}

// What a run the reader folded to one space becomes: a run again.
static std::string LayOutFold(LayoutWalk *walk, long start, long end, const std::vector<long> &lineFeeds,
                              bool atEnd)
{
    const std::string &bytes = *walk->bytes;
    // The file's first bytes are the title's first character; the header
    // stays as written.
    if (walk->prevKept < 0) return bytes.substr(start, end - start);
    if (!walk->listOpened) return WithoutLineEndSpace(bytes.substr(start, end - start));
    // The end of a file that ends inside its list: the last field's space.
    if (atEnd) return lineFeeds.empty() ? " " : EndingOf(bytes, lineFeeds.back(), start);
    // Inside a field: no line break added or removed, the next line indented.
    std::string out;
    for (long lf : lineFeeds) out += EndingOf(bytes, lf, start);
    if (out.empty() && bytes[walk->prevKept] != '\n') return " ";
    return out + Indentation(walk->depth + 1);
}

// What white space the reader drops becomes: the layout's.
static std::string LayOutDropped(LayoutWalk *walk, long start, long end, const std::vector<long> &lineFeeds,
                                 int next)
{
    const std::string &bytes = *walk->bytes;
    int prev = walk->prevKind, depth = walk->depth;
    bool atStart = walk->prevKept < 0;
    if (next == BYTE_LIST_OPEN) return atStart ? "" : StartLine(walk, start, lineFeeds, 0, false);
    if (next == BYTE_LEVEL_OPEN) return atStart ? "" : StartLine(walk, start, lineFeeds, depth, false);
    if (next == BYTE_CLOSE) return atStart ? "" : StartLine(walk, start, lineFeeds, std::max(depth - 1, 0), false);
    // One line break at the end of the file.
    if (next < 0) return atStart ? "" : lineFeeds.empty() ? AddedEnding(walk, start) : EndingOf(bytes, lineFeeds[0], start);
    // After a comma within an entry or the header: one space, or the
    // author's line break with the next field two spaces deeper.
    if (prev == BYTE_FIELD_COMMA || prev == BYTE_HEADER_COMMA)
        return lineFeeds.empty() ? " " : EndingOf(bytes, lineFeeds[0], start) + Indentation(walk->listOpened ? depth + 1 : 1);
    // An entry starts: at most one blank line kept between two.
    if (prev == BYTE_ENTRY_COMMA || prev == BYTE_CLOSE)
        return StartLine(walk, start, lineFeeds, depth, lineFeeds.size() >= 2);
    if (prev == BYTE_LIST_OPEN || prev == BYTE_LEVEL_OPEN) return StartLine(walk, start, lineFeeds, depth, false);
    // After text, before a comma: nothing, but in the header, which stays.
    if (IsComma(next)) return walk->listOpened ? "" : WithoutLineEndSpace(bytes.substr(start, end - start));
    // After an empty quote that followed a token: still after the token.
    if (lineFeeds.empty()) return start < end ? " " : "";
    return EndingOf(bytes, lineFeeds[0], start) + Indentation(walk->listOpened ? depth + 1 : 1);
}

// Lays out the gap [start, end) of white space between the byte that
// stayed last and the one at end (or the end of the file).
static void LayOutGap(LayoutWalk *walk, long start, long end)
{
    const std::string &bytes = *walk->bytes;
    long size = (long)bytes.size();
    int next = end < size ? s_layout.kinds[end] & BYTE_KIND : -1;
    bool folded = start < end && (s_layout.kinds[start] & BYTE_FOLDED);
    // White space here would be dropped: outside quotes, not after a `%`,
    // and next to a token.
    bool escaping = walk->prevKept >= 0 && (walk->prevKind == BYTE_UNREAD || walk->prevKind == BYTE_DRIVE);
    bool dropped = !walk->inQuote && !escaping && (walk->afterToken || (next >= 0 && IsToken(next)));
    if (!folded && !dropped) return; // nothing stands here, and nothing may
    std::vector<long> lineFeeds;
    for (long i = start; i < end; i++)
        if (bytes[i] == '\n') lineFeeds.push_back(i);
    std::string text = folded ? LayOutFold(walk, start, end, lineFeeds, next < 0)
                              : LayOutDropped(walk, start, end, lineFeeds, next);
    bool touched = walk->rangeStart < 0 || (end >= walk->rangeStart && start <= walk->rangeEnd);
    // Held: a place from the byte before the gap to the byte after it.
    auto near = std::lower_bound(walk->held->begin(), walk->held->end(), start - 1);
    if (near != walk->held->end() && *near <= end) touched = false;
    if (touched && bytes.compare(start, end - start, text) != 0) walk->edits->push_back({start, end, text});
    if (folded) walk->afterToken = false;
    if (!lineFeeds.empty()) walk->lastLineFeed = lineFeeds.back();
}

// Takes a byte that stays.
static void TakeKept(LayoutWalk *walk, long pos)
{
    int kind = s_layout.kinds[pos] & BYTE_KIND;
    if (kind == BYTE_QUOTE) walk->inQuote = !walk->inQuote;
    else if (kind == BYTE_TEXT || kind == BYTE_DRIVE) walk->afterToken = false;
    else if (IsToken(kind)) walk->afterToken = true;
    if (kind == BYTE_LIST_OPEN) walk->listOpened = true;
    if (kind == BYTE_LIST_OPEN || kind == BYTE_LEVEL_OPEN) walk->depth++;
    if (kind == BYTE_CLOSE && walk->depth > 0) walk->depth--;
    if ((*walk->bytes)[pos] == '\n') walk->lastLineFeed = pos;
    walk->prevKept = pos;
    walk->prevKind = kind;
}

static bool StaysBefore(const std::string &bytes, long pos)
{
    int kind = s_layout.kinds[pos] & BYTE_KIND;
    return kind == BYTE_QUOTE || (kind == BYTE_UNREAD && !isspace((unsigned char)bytes[pos]));
}

// Widens [*start, *end) to the units it touches, and yields whether it
// touches any. An empty range touches what stands at its start.
static bool WidenToUnits(const std::string &bytes, long *start, long *end)
{
    long from = -1, to = -1, last = std::max(*end, *start + 1);
    for (const LayoutUnit &unit : s_layout.units) {
        if (unit.start >= last || unit.end <= *start) continue;
        from = from < 0 ? unit.start : std::min(from, unit.start);
        to = std::max(to, unit.end);
    }
    if (from < 0) return false;
    // A field starts at the apostrophe or `%` before its first result.
    while (from > 0 && StaysBefore(bytes, from - 1)) from--;
    *start = from;
    *end = to;
    return true;
}

// The layout's edits of the file the follower has just marked.
static void WalkLayout(const std::string &bytes, long rangeStart, long rangeEnd, const std::vector<long> &held,
                       std::vector<LayoutEdit> *edits)
{
    if (rangeStart >= 0 && !WidenToUnits(bytes, &rangeStart, &rangeEnd)) return;
    const void *lf = memchr(bytes.data(), '\n', bytes.size());
    long firstLineFeed = lf ? (long)((const char *)lf - bytes.data()) : -1;
    LayoutWalk walk = {&bytes, rangeStart, rangeEnd, &held, 0, false, false, false, -1, BYTE_UNREAD, firstLineFeed, -1, edits};
    long size = (long)bytes.size();
    long gap = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; // the mark is no text, and stays
    for (long i = gap; i < size; i++) {
        if ((s_layout.kinds[i] & BYTE_KIND) == BYTE_UNREAD && isspace((unsigned char)bytes[i])) continue;
        LayOutGap(&walk, gap, i);
        TakeKept(&walk, i);
        gap = i + 1;
    }
    LayOutGap(&walk, gap, size);
}

std::string ApplyLayout(const std::string &bytes, const std::vector<LayoutEdit> &edits)
{
    std::string out;
    long at = 0;
    for (const LayoutEdit &edit : edits) {
        out.append(bytes, at, edit.start - at);
        out += edit.text;
        at = edit.end;
    }
    out.append(bytes, at, std::string::npos);
    return out;
}

// Where the byte at pos stands once the edits are made; the first byte of
// white space they replace stands where its replacement starts, the others
// nowhere (-1).
static long MovedPosition(const std::vector<LayoutEdit> &edits, const std::vector<long> &shifts, long pos)
{
    size_t k = std::upper_bound(edits.begin(), edits.end(), pos,
                                [](long p, const LayoutEdit &edit) { return p < edit.end; }) -
               edits.begin();
    long shift = k > 0 ? shifts[k - 1] : 0;
    if (k < edits.size() && edits[k].start < pos) return -1;
    return pos + shift;
}

// Yields where the digits at pos end (pos itself for none).
static size_t SkipDigits(const std::string &text, size_t pos)
{
    while (pos < text.size() && isdigit((unsigned char)text[pos])) pos++;
    return pos;
}

// The message with its line numbers left out, which the edits move:
// "line 4" and "lines 2 to 3" become "line #".
static std::string WithoutLineNumbers(const std::string &message)
{
    std::string out;
    for (size_t i = 0; i < message.size();) {
        size_t word = message.compare(i, 6, "lines ") == 0 ? 6 : message.compare(i, 5, "line ") == 0 ? 5 : 0;
        size_t end = word ? SkipDigits(message, i + word) : i;
        if (end == i + word) {
            out += message[i++];
            continue;
        }
        if (message.compare(end, 4, " to ") == 0 && SkipDigits(message, end + 4) > end + 4)
            end = SkipDigits(message, end + 4);
        out += "line #";
        i = end;
    }
    return out;
}

static std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// The first difference between two readings of the items, or "".
static std::string CompareItems(const std::vector<CheckedItem> &a, const std::vector<CheckedItem> &b)
{
    if (a.size() != b.size()) return Number((long)b.size()) + " items at a level, not " + Number((long)a.size());
    for (size_t i = 0; i < a.size(); i++) {
        const CheckedItem &x = a[i], &y = b[i];
        if (x.text != y.text || x.hasRecord != y.hasRecord || x.name != y.name || x.command != y.command ||
            x.description != y.description || x.launches != y.launches || x.file != y.file ||
            x.hasParameters != y.hasParameters || x.parameters != y.parameters ||
            x.hasDirectory != y.hasDirectory || x.directory != y.directory)
            return "the item " + Quoted(y.text) + " in place of " + Quoted(x.text);
        std::string children = CompareItems(x.children, y.children);
        if (!children.empty()) return children;
    }
    return "";
}

// Where a byte after the edits stood before them: the first byte of a
// replacement where the white space it replaced started, the others
// nowhere (-1).
static long RestoredPosition(const std::vector<LayoutEdit> &edits, const std::vector<long> &shifts, long pos)
{
    size_t k = 0, n = edits.size();
    for (size_t step = n; step > 0; step /= 2) // the first edit whose replacement ends past pos
        while (k + step <= n && edits[k + step - 1].end + shifts[k + step - 1] <= pos) k += step;
    long before = k > 0 ? shifts[k - 1] : 0;
    if (k < n && edits[k].start + before < pos) return -1;
    return k < n && edits[k].start + before == pos ? edits[k].start : pos - before;
}

// A warning as the two readings must both give it, its lines left out.
static std::string WarningKey(const MenuWarning &w)
{
    return w.code + "\n" + WithoutLineNumbers(w.message) + "\n" + WithoutLineNumbers(w.note);
}

// The first difference between the readings before and after the edits,
// or "". The warnings that only one of them gives have their places, as
// they stood before, added to *unmatched.
static std::string CompareMenus(const CheckedMenu &a, const std::vector<MenuWarning> &aw, const CheckedMenu &b,
                                const std::vector<MenuWarning> &bw, const std::vector<LayoutEdit> &edits,
                                std::vector<long> *unmatched)
{
    if (a.caption != b.caption) return "the caption " + Quoted(b.caption) + " in place of " + Quoted(a.caption);
    if (a.hasSize != b.hasSize || a.width != b.width || a.height != b.height) return "another window size";
    if (a.sorted != b.sorted || a.install != b.install) return "other options";
    std::string items = CompareItems(a.items, b.items);
    if (!items.empty()) return items;
    std::vector<long> shifts;
    long shift = 0;
    for (const LayoutEdit &edit : edits) shifts.push_back(shift += (long)edit.text.size() - (edit.end - edit.start));
    // Each warning after, where it stood before, by what it says.
    std::multimap<std::string, long> after;
    for (const MenuWarning &w : bw) after.insert({WarningKey(w), RestoredPosition(edits, shifts, w.offset)});
    std::string difference;
    for (const MenuWarning &w : aw) {
        auto same = after.equal_range(WarningKey(w));
        bool anywhere = MovedPosition(edits, shifts, w.offset) < 0; // it stood in white space replaced
        auto found = std::find_if(same.first, same.second, [&](const std::pair<const std::string, long> &x) {
            return anywhere || x.second < 0 || x.second == w.offset;
        });
        if (found != same.second) {
            after.erase(found);
            continue;
        }
        if (difference.empty()) difference = "the warning " + Quoted(w.message) + " is gone or moved";
        unmatched->push_back(w.offset);
    }
    for (const auto &w : after) {
        if (difference.empty()) difference = "a warning " + Quoted(w.first.substr(w.first.find('\n') + 1)) + " more";
        if (w.second >= 0) unmatched->push_back(w.second);
    }
    return difference;
}

std::string CompareReadings(const std::string &before, const std::string &after,
                            const std::vector<LayoutEdit> &edits, const CheckSettings &settings)
{
    CheckedMenu a, b;
    std::vector<MenuWarning> aw, bw;
    if (!CheckMenuBytesWith(before, settings, &a, &aw, NULL) || !CheckMenuBytesWith(after, settings, &b, &bw, NULL))
        return "the bytes cannot be read";
    std::vector<long> unmatched;
    return CompareMenus(a, aw, b, bw, edits, &unmatched);
}

// Rounds of the layout at most: each keeps as written the gaps next to the
// warnings that the last round's result gave otherwise.
#define LAYOUT_ROUNDS 4

void LayOutMenu(const std::string &bytes, const CheckSettings &settings, long rangeStart, long rangeEnd,
                MenuLayout *layout)
{
    layout->edits.clear();
    layout->problem.clear();
    layout->problemPos = 0;
    layout->proofFailed = false;
    CheckedMenu before;
    std::vector<MenuWarning> beforeWarnings;
    if (!CheckMenuBytesWith(bytes, settings, &before, &beforeWarnings, &s_layoutFollower)) {
        layout->problem = "the menu cannot be read";
        return;
    }
    // An error leaves the structure in doubt where it stands.
    for (const MenuWarning &warning : beforeWarnings) {
        if (!warning.error) continue;
        layout->problem = warning.message + " [" + warning.code + "]";
        layout->problemPos = warning.offset;
        return;
    }
    // Some warnings look at the bytes beside a token (a backslash before
    // a brace): the gaps next to those that the layout would lose or add
    // stay as they are, and the layout is proved again.
    std::vector<long> held;
    std::string difference;
    for (int round = 0; round < LAYOUT_ROUNDS; round++) {
        layout->edits.clear();
        WalkLayout(bytes, rangeStart, rangeEnd, held, &layout->edits);
        if (layout->edits.empty()) return;
        CheckedMenu after;
        std::vector<MenuWarning> afterWarnings;
        if (!CheckMenuBytesWith(ApplyLayout(bytes, layout->edits), settings, &after, &afterWarnings, NULL)) {
            difference = "the result cannot be read";
            break;
        }
        size_t known = held.size();
        difference = CompareMenus(before, beforeWarnings, after, afterWarnings, layout->edits, &held);
        if (difference.empty()) return;
        if (held.size() == known) break;
        std::sort(held.begin(), held.end());
    }
    layout->problem = "the layout would change what the program reads: " + difference;
    layout->problemPos = layout->edits[0].start;
    layout->proofFailed = true;
    layout->edits.clear();
}

bool FormatMenu(const std::string &bytes, const CheckSettings &settings, FormattedMenu *formatted)
{
    CheckSettings layoutSettings = settings;
    layoutSettings.checkFiles = false; // the layout changes no command, so no file it names
    MenuLayout layout;
    LayOutMenu(bytes, layoutSettings, -1, -1, &layout);
    formatted->problem = layout.problem;
    formatted->problemPos = layout.problemPos;
    formatted->problemLine = formatted->problemColumn = 0;
    formatted->bytes.clear();
    if (!layout.problem.empty()) {
        // Where it stands, as a warning's place is said.
        StartPositions(bytes);
        formatted->problemLine = LineOf(layout.problemPos);
        formatted->problemColumn = ColumnOf(layout.problemPos);
        return false;
    }
    formatted->bytes = ApplyLayout(bytes, layout.edits);
    return true;
}
