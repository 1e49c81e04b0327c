/*
 * The menu's outline: a follower beside the rule sets notes where each
 * level, quoted stretch, field and entry stands, from the loading's own
 * reports, and the header's hover is made of what the dialog shows.
 */
#include "outline.h"
#include "../engine/engine.h"
#include "../rules/checker.h"

#include "../engine/quote.h"
#include "../engine/window.h"

#include <stdio.h>

#include <algorithm>

static struct {
    MenuOutline *outline;
    std::vector<long> open;       // each level's `{` not closed yet
    long quoteAt;                 // the apostrophe that opened the quote, or -1
} s_outline;

static void StartOutline()
{
    s_outline.open.clear();
    s_outline.quoteAt = -1;
}

static void TakeOutlineReport(const MenuReport &report)
{
    if (report.event != MENU_QUOTE) return;
    if (report.inQuote) {
        s_outline.quoteAt = report.offset;
    } else if (s_outline.quoteAt >= 0) {
        s_outline.outline->quotes.push_back({s_outline.quoteAt, report.offset + 1});
        s_outline.quoteAt = -1;
    }
}

static void TakeOutlineField(int kind, const FieldScan &field)
{
    (void)kind;
    if (field.firstPos >= 0 && field.textEnd > field.firstPos)
        s_outline.outline->fields.push_back({field.firstPos, field.textEnd});
}

static void TakeOutlineEntry(const FieldScan *fields, int count, bool inserted)
{
    (void)inserted;
    long start = -1, end = -1;
    for (int i = 0; i < count; i++) {
        if (fields[i].firstPos < 0 || fields[i].textEnd <= fields[i].firstPos) continue;
        if (start < 0) start = fields[i].firstPos;
        end = fields[i].textEnd;
    }
    if (start >= 0) s_outline.outline->entries.push_back({start, end});
}

// Levels opened by a `{` only: the list of a file with none has no braces to fold.
static void TakeOutlineLevel(const MenuReport &report)
{
    long at = Followed().lastPos;
    if ((report.event == MENU_LEVEL || report.event == MENU_JOINED) && report.token == TOK_OPEN)
        s_outline.open.push_back(at);
    else if ((report.event == MENU_LEVEL_END || report.event == MENU_JOINED_END) && !s_outline.open.empty()) {
        long end = report.token == TOK_CLOSE ? at + 1 : (long)Followed().bytes->size();
        s_outline.outline->levels.push_back({s_outline.open.back(), end});
        s_outline.open.pop_back();
    }
}

static void FinishOutline()
{
    long size = (long)Followed().bytes->size();
    while (!s_outline.open.empty()) {
        s_outline.outline->levels.push_back({s_outline.open.back(), size});
        s_outline.open.pop_back();
    }
    if (s_outline.quoteAt >= 0) s_outline.outline->quotes.push_back({s_outline.quoteAt, size});
}

static const RuleSet s_outlineFollower = {StartOutline, TakeOutlineReport, TakeOutlineField, TakeOutlineEntry,
                                          TakeOutlineLevel, FinishOutline};

bool FindMenuOutline(const std::string &bytes, const CheckSettings &settings, MenuOutline *outline)
{
    *outline = MenuOutline();
    s_outline.outline = outline;
    std::vector<MenuWarning> warnings;
    return CheckMenuBytesWith(bytes, settings, &outline->menu, &warnings, &s_outlineFollower);
}

std::vector<ByteRange> FindSelectionRanges(const MenuOutline &outline, long pos)
{
    std::vector<ByteRange> chain;
    for (const std::vector<ByteRange> *ranges : {&outline.fields, &outline.entries, &outline.levels})
        for (const ByteRange &r : *ranges)
            if (r.start <= pos && pos <= r.end) chain.push_back(r);
    std::sort(chain.begin(), chain.end(), [](const ByteRange &a, const ByteRange &b) {
        return a.end - a.start < b.end - b.start || (a.end - a.start == b.end - b.start && a.start < b.start);
    });
    // Each must hold the one before it; a stretch that only touches pos at
    // its edge may not hold the smaller one (two fields meeting at pos).
    std::vector<ByteRange> out;
    for (const ByteRange &r : chain) {
        if (!out.empty() && (r.start > out.back().start || r.end < out.back().end)) continue;
        if (!out.empty() && r.start == out.back().start && r.end == out.back().end) continue;
        out.push_back(r);
    }
    return out;
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

ByteRange FindHeaderRange(const std::string &bytes, const MenuOutline &outline)
{
    long end = (long)bytes.size();
    for (const ByteRange &level : outline.levels) end = std::min(end, level.start);
    long start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < end && IsBlank(bytes[start])) start++;
    while (end > start && IsBlank(bytes[end - 1])) end--;
    return {start, end};
}

std::string DescribeSmallestWindow(bool install)
{
    int width, height;
    FindSmallestWindow(!install, &width, &height);
    return "the smallest size that shows every control whole: " + Number(width) + "x" + Number(height);
}

std::string DescribeHeader(const CheckedMenu &menu)
{
    std::string out = "**" + ShowText(menu.caption) + "**: the caption as the title bar shows it\n\n";
    std::vector<std::string> options;
    if (menu.sorted) options.push_back("`sorted`: each level's items in alphabetical order");
    if (menu.install) options.push_back("`install`: the command box hidden");
    if (menu.hasSize) options.push_back("`size=" + Number(menu.width) + "x" + Number(menu.height) + "`");
    out += options.empty() ? std::string("No option in effect.\n") : "Options in effect:\n";
    for (const std::string &option : options) out += "- " + option + "\n";
    out += "\n";
    if (menu.hasSize) {
        out += "The window opens " + Number(menu.width) + " x " + Number(menu.height) +
               " pixels, frame and caption included, centred where the dialog opened. A smaller screen does not "
               "shrink it: it keeps its centre, so its edges reach past the screen's, and the user drags or "
               "maximises it to see them.\n\n";
        std::string cramped = FindCrampedControls(menu.width, menu.height, !menu.install);
        if (!cramped.empty()) out += "At that size " + cramped + ".\n\n";
    } else {
        out += "The window opens at the dialog's own size, centred on the screen (no `size=` took effect).\n\n";
    }
    std::string smallest = DescribeSmallestWindow(menu.install);
    smallest[0] = 'T';
    out += smallest + ".\n";
    return out;
}
