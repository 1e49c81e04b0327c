/*
 * The file's shape: a field that a NUL byte ends early or the limit cuts,
 * a name or command that runs across a line break, an entry with no name,
 * the header's `}`, nesting past what is kept, and what the loading left
 * open or unread: a quote, the list's braces, text after the list.
 *
 * Each warning points where the author would type the mend: the end of the
 * line where a comma is missing, the stray byte; its note says what to
 * type, and points elsewhere when that helps (the innermost `{` left open,
 * the brace that ended the list).
 */
#include "rules.h"
#include "../engine/files.h"
#include "../engine/quote.h"

#include <ctype.h>

#include <algorithm>

// What each kind of field is called, from MENU_TITLE on.
static const char *const s_fieldNames[] = {"title", "option", "name", "command", "description"};

// A NUL byte that ends the kept text early, or text cut at the limit.
static void CheckFieldEnd(const FieldScan &field, const char *what, int limit)
{
    if (field.nulIndex >= 0 && field.nulIndex < limit) {
        long lost = std::min(field.length, (long)limit) - field.nulIndex - 1;
        std::string message = std::string("a NUL byte ends the ") + what + " " + QuoteText(Shown(field));
        if (lost > 0) message += ": the " + Number(lost) + " bytes after it are lost";
        Warn("nul-byte", field.nulPos, message, "remove the NUL byte: the text ends at it");
        FixWarning("remove the NUL byte", true, {Edit(field.nulPos, 1, "")});
    } else if (field.length > limit) {
        // A field of a file with the UTF-8 mark ends before a character the limit cuts.
        int next = (unsigned char)field.raw[limit];
        long kept = field.converted ? FindWholeCharsEnd(field.raw.data(), limit, next) : limit;
        Warn("field-cut", PositionOf(field, kept),
             std::string("the ") + what + " is " + Number(field.length) + " bytes long: only its first " +
                 Number(kept) + " are kept",
             std::string("shorten the ") + what + ": what stands from here on is lost");
    }
}

static void CheckField(int kind, const FieldScan &field)
{
    CheckFieldEnd(field, s_fieldNames[kind - MENU_TITLE], FieldLimit(kind));
    if ((kind == MENU_TITLE || kind == MENU_OPTION) && field.token == TOK_CLOSE)
        Warn("header-brace", field.tokenPos, "a '}' ends the header: everything up to the next '{' is skipped",
             "the entry list opens with '{'");
    if (kind == MENU_TITLE && field.leadingFold)
    {
        Warn("title-space", field.firstPos, "the title starts with a space: the file begins with white space",
             "remove the white space before the title");
        const std::string &bytes = *Followed().bytes;
        long end = field.firstPos;
        while (end < (long)bytes.size() && isspace((unsigned char)bytes[end])) end++;
        FixWarning("remove the white space", true, {Edit(field.firstPos, end - field.firstPos, "")});
    }
}

// Whether a field names a file or a program by its first word, as the
// command of a whole entry does.
static bool NamesFileFirst(const FieldScan *field)
{
    if (!field) return false;
    std::string text = Shown(*field);
    std::string word = text.substr(0, text.find(' '));
    word.erase(std::remove(word.begin(), word.end(), '"'), word.end());
    return LooksLikeFileToStart(word);
}

// The field's text before and after its one line break, or false.
static bool SplitAtBreak(const FieldScan &field, std::string *before, std::string *after)
{
    std::string text = Shown(field);
    // Text converted from UTF-8 stands byte for byte where it is ASCII.
    if ((field.converted && field.raw.compare(0, std::string::npos, text) != 0) || field.breakPos != field.lastBreakPos)
        return false;
    for (size_t i = 0; i < text.size() && i < field.rawPos.size(); i++)
        if (field.rawPos[i] == field.breakPos && text[i] == ' ') {
            *before = text.substr(0, i);
            *after = text.substr(i + 1);
            return true;
        }
    return false;
}

// A field running across a line break; next is the field after it, whose
// text is then the command of the entry the next line starts. The mend
// ends the line as a whole entry: commas makes that many (three after a
// name, two after a command).
static void CheckLineBreak(const FieldScan &field, const char *what, const FieldScan *next, const char *commas,
                           const std::string &entryName)
{
    if (field.breakPos < 0) return;
    Warn("missing-comma", field.breakPos,
         std::string("the ") + what + " " + QuoteText(Shown(field)) +
             " runs across a line break outside quotes: a comma missing at the end of line " +
             Number(LineOf(field.breakPos)) + "?",
         std::string("type a comma here to end the ") + what);
    std::string before, after;
    if (!NamesFileFirst(next) || !SplitAtBreak(field, &before, &after)) return;
    std::string first = entryName.empty() ? before : entryName;
    FixWarning("end line " + Number(LineOf(field.breakPos)) + " with " + QuoteText(commas) + ", as an entry " +
                   QuoteText(first) + " of its own",
               false, {Edit(field.breakPos, 0, commas)}, {first, after});
}

// An entry that LoadEntries inserts into the tree.
static void CheckEntry(const FieldScan *fields, int count, bool inserted)
{
    if (!inserted) return;
    const FieldScan &name = fields[0];
    if (Shown(name).empty()) {
        std::string message = "an entry with an empty name shows as an item with no text";
        std::string command = count > 1 ? Shown(fields[1]) : "";
        if (!command.empty()) message += " (its command is " + QuoteText(command) + ")";
        Warn("empty-name", name.firstPos >= 0 ? name.firstPos : name.tokenPos, message + ": a comma too many?",
             "type the entry's name here, or remove the comma");
    }
    CheckLineBreak(name, "name", count > 1 ? &fields[1] : NULL, ",,,", "");
    if (count > 1) CheckLineBreak(fields[1], "command", count > 2 ? &fields[2] : NULL, ",,", Shown(name));
}

// The first `{` past the nesting kept.
static void CheckLevel(const MenuReport &report)
{
    const MenuFollowing &menu = Followed();
    if (report.event == MENU_JOINED && menu.joinedOpen == 1)
        Warn("nesting-depth", menu.lastPos,
             "nesting deeper than " + Number(MAX_NESTING) +
                 " levels is not kept: the entries inside this '{' join the level it is in",
             "nest at most " + Number(MAX_NESTING) + " levels below the top one");
}

static void WarnOpenQuote()
{
    const MenuFollowing &menu = Followed();
    if (!menu.inQuote) return;
    Warn("open-quote", menu.quoteOpenedAt,
         "an apostrophe here opens a quote that is never closed: all the rest of the file is text",
         "write %' for an apostrophe in text, or close the quote with another '");
    // A word's apostrophe that nothing closes ("Don't skip this"): certain.
    if (IsWordApostrophe(menu.quoteOpenedAt))
        FixWarning("write %' for the apostrophe", true, {Edit(menu.quoteOpenedAt, 0, "%")});
}

// Just after the file's last byte that is not white space.
static long EndOfText()
{
    const std::string &bytes = *Followed().bytes;
    size_t end = bytes.size();
    while (end > 0 && isspace((unsigned char)bytes[end - 1])) end--;
    return (long)end;
}

// The line end the file uses: CR LF where it has one.
static std::string LineEnd()
{
    return Followed().bytes->find("\r\n") != std::string::npos ? "\r\n" : "\n";
}

// The white space that starts a line, up to at most a given offset on it.
struct IndentSpan {
    long start, end;
};

// Yields the indent of the line of each offset given, in the file's order,
// from one walk forward through the file: a file may hold a million open
// braces on one line, and walking back to the line's start for each took
// minutes. Braces on one line share its indent, and an indent found for
// one offset only grows (to the next offset) for the next on the line.
static std::vector<IndentSpan> FindIndents(const std::vector<long> &offsets)
{
    const std::string &bytes = *Followed().bytes;
    std::vector<IndentSpan> indents;
    indents.reserve(offsets.size());
    IndentSpan indent = {0, 0};
    long walked = 0; // every line feed before it is seen
    for (long pos : offsets) {
        for (; walked < pos; walked++)
            if (bytes[walked] == '\n') indent = {walked + 1, walked + 1};
        while (indent.end < pos && (bytes[indent.end] == ' ' || bytes[indent.end] == '\t')) indent.end++;
        indents.push_back(indent);
    }
    return indents;
}

// The most bytes the mend of the braces left open writes: a million levels
// closed at an indent of a dozen. Many braces on one long indented line
// would repeat its indent for each, past what memory holds and what a
// proof can read again.
#define MAX_CLOSING_TEXT (16L * 1024 * 1024)

// Yields the text that closes every level left open, innermost first: each
// `}` on a line of its own, at the indent of its `{`'s line; "" where that
// is more than MAX_CLOSING_TEXT.
static std::string WriteClosingBraces()
{
    const MenuFollowing &menu = Followed();
    const std::string &bytes = *menu.bytes;
    std::string lineEnd = LineEnd();
    std::vector<IndentSpan> indents = FindIndents(menu.openBraces);
    size_t size = 0;
    for (const IndentSpan &indent : indents) size += lineEnd.size() + (indent.end - indent.start) + 1;
    std::string braces;
    if (size > MAX_CLOSING_TEXT) return braces;
    braces.reserve(size);
    for (size_t i = indents.size(); i-- > 0;)
        braces.append(lineEnd).append(bytes, indents[i].start, indents[i].end - indents[i].start).append("}");
    return braces;
}

// What the loading left open, or unread after the list's `}`.
static void CheckEnd()
{
    const MenuFollowing &menu = Followed();
    if (!menu.bodyOpened) {
        WarnOpenQuote();
        // The `{` belongs where the header's first line ends, or after the header.
        Warn("no-list", menu.headerBreak >= 0 ? menu.headerBreak : menu.headerEnd,
             "no '{' follows the header: the file lists no entries and the tree shows only \"Explore CD\"",
             "type '{' where the entries start, and '}' after the last one");
        if (!menu.inQuote && menu.headerBreak >= 0 && EndOfText() > menu.headerBreak)
            FixWarning("open the list after the header's first line and close it at the end", false,
                       {Edit(menu.headerBreak, 0, LineEnd() + "{"), Edit(EndOfText(), 0, LineEnd() + "}")});
    } else if (menu.openBraces.empty()) {
        if (menu.lastValue != TOK_EOF)
            AddWarning("text-after-list", menu.lastPos, "text after the entry list's closing brace is ignored", menu.listClosedAt,
                       "the entry list ends with this '}': remove it if the text is meant as entries");
    } else {
        WarnOpenQuote();
        size_t missing = menu.openBraces.size();
        AddWarning("open-list", menu.openBraces.back(),
                   "the file ends inside the entry list, " + Number((long)missing) + " closing brace" +
                       (missing == 1 ? "" : "s") + " short: this '{' is the innermost one left open",
                   EndOfText(), "type the missing '}' where each level's entries end, here at the latest");
        std::string braces = menu.inQuote ? "" : WriteClosingBraces();
        if (!braces.empty())
            FixWarning(missing == 1 ? "close the list at the end" : "close the " + Number((long)missing) +
                                                                        " levels at the end",
                       false, {Edit(EndOfText(), 0, braces)});
    }
}

const RuleSet g_structureRules = {NULL, NULL, CheckField, CheckEntry, CheckLevel, CheckEnd};
