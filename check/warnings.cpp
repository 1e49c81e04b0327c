/*
 * Where a menu file probably does not say what its author meant.
 *
 * Nothing here walks the menu's grammar: the program's own loading reports
 * each result of its reader (with where it stands in the file), each field
 * with its kind and the token that ended it, each entry and each level it
 * opens and closes, and the warnings are drawn from those reports as they
 * come. The only look at the file's bytes is to count lines and columns
 * and to see whether a folded run of white space held a line break.
 *
 * Each warning points where the author would type the mend: the end of the
 * line where a comma is missing, the stray byte, the option to respell;
 * its note says what to type, and points elsewhere when that helps (the
 * innermost `{` left open, the brace that ended the list).
 */
#include "check.h"
#include "text/codepage.h"
#include "text/collate.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

// What the follower knows between two reports.
static struct {
    const std::string *bytes;
    const CheckSettings *settings;
    CheckedMenu *menu;
    std::vector<MenuWarning> *warnings;
    std::vector<long> lineStarts; // where each line starts, from line 1
    FieldScan field;              // the field being read
    FieldScan entry[3];           // the entry's fields read so far
    int entryFields;
    int lastValue;                // the reader's last result
    long lastPos;                 // where it stands
    long quoteOpenedAt;           // the apostrophe that opened the last quote
    bool unmarkedUtf8;            // the file is UTF-8 without the mark: not yet warned of
    bool unsureSort;              // a sorted name whose order is not known exactly: not yet warned of
    bool bodyStarted;             // the loading has started the entry list
    bool bodyOpened;              // and a `{` opened it
    long headerEnd;               // just after the header's last byte that is not white space
    long headerBreak;             // the header's first line break with text after it, or -1
    long listClosedAt;            // the `}` that closed the entry list, or -1
    int joinedOpen;               // levels past the nesting kept that are open
    std::vector<long> openBraces; // each `{` not closed yet, kept or not
} s_follow;

// What each kind of field is called, from MENU_TITLE on.
static const char *const s_fieldNames[] = {"title", "option", "name", "command", "description"};

static int FieldLimit(int kind) { return kind == MENU_DESCRIPTION ? MAX_DESCRIPTION : MAX_FIELD; }

static long Clamped(long pos) { return std::max(0L, std::min(pos, (long)s_follow.bytes->size())); }

// Yields the line of a byte offset: one more than the line feeds before it.
long LineOf(long pos)
{
    const std::vector<long> &starts = s_follow.lineStarts;
    return (long)(std::upper_bound(starts.begin(), starts.end(), Clamped(pos)) - starts.begin());
}

// Yields the byte column of an offset on its line, from 1. A UTF-8
// byte-order mark is not text, and editors start the first line after it.
static long ColumnOf(long pos)
{
    long line = LineOf(pos);
    long start = s_follow.lineStarts[line - 1];
    if (line == 1 && s_follow.bytes->compare(0, 3, "\xEF\xBB\xBF") == 0) start = std::min(3L, Clamped(pos));
    return Clamped(pos) - start + 1;
}

// Whether the run of white space starting at pos holds a line feed.
static bool RunHoldsLineFeed(long pos)
{
    const std::string &bytes = *s_follow.bytes;
    for (size_t i = (size_t)pos; i < bytes.size() && isspace((unsigned char)bytes[i]); i++)
        if (bytes[i] == '\n') return true;
    return false;
}

// Empties a field for the next one, keeping its buffers' room: a menu is
// mostly short fields, and allocating afresh for each one doubles the time.
static void StartField(FieldScan *field)
{
    field->text.clear();
    field->raw.clear();
    field->rawPos.clear();
    field->fromDrive.clear();
    field->length = 0;
    field->firstPos = field->textEnd = field->nulIndex = field->nulPos = -1;
    field->breakPos = field->lastBreakPos = field->pendingBreak = -1;
    field->leadingFold = false;
}

// Takes one byte of field text, standing at pos, reported as event.
static void AddFieldByte(FieldScan *field, int value, long pos, int event)
{
    bool folded = event == MENU_FOLDED;
    if (field->firstPos < 0) {
        field->firstPos = pos;
        field->leadingFold = folded;
    }
    if (field->pendingBreak >= 0) {
        if (field->breakPos < 0) field->breakPos = field->pendingBreak;
        field->lastBreakPos = field->pendingBreak;
    }
    field->pendingBreak = folded && RunHoldsLineFeed(pos) ? pos : -1;
    if (!folded) field->textEnd = pos + 1;
    if (value == 0 && field->nulIndex < 0) {
        field->nulIndex = field->length;
        field->nulPos = pos;
    }
    if (field->length <= MAX_FIELD) field->fromDrive.push_back(event == MENU_DRIVE);
    if (field->length <= MAX_DESCRIPTION) field->rawPos.push_back(pos);
    if (field->length < MAX_DESCRIPTION) field->raw += (char)value;
    field->length++;
}

// The field's text as the program keeps it: a NUL-terminated string.
std::string Shown(const FieldScan &field) { return std::string(field.text.c_str()); }

// Where the field's byte at index stands; past its last byte, just after it.
static long PositionOf(const FieldScan &field, size_t index)
{
    if (index < field.rawPos.size()) return field.rawPos[index];
    return field.textEnd >= 0 ? field.textEnd : field.tokenPos;
}

// Yields where the byte at index of the field's kept text stands. In a
// UTF-8 file the kept text is converted to the users' code page: its
// characters and the file's are walked side by side, one for one.
long PositionOfText(const FieldScan &field, size_t index)
{
    if (!g_bUtf8Menu) return PositionOf(field, index);
    unsigned codePage = s_follow.settings->codePage;
    std::string text = Shown(field);
    size_t kept = 0, raw = 0;
    while (kept < index && kept < text.size() && raw < field.raw.size()) {
        TextChar ch;
        ReadTextChar(codePage, text.data() + kept, (int)(text.size() - kept), &ch);
        kept += ch.byteCount;
        ReadTextChar(CP_UTF8, field.raw.data() + raw, (int)(field.raw.size() - raw), &ch);
        raw += ch.byteCount;
    }
    return PositionOf(field, raw);
}

// Adds a warning at pos with its note at notePos (-1: at pos as well).
void AddWarning(long pos, const std::string &message, long notePos, const std::string &note)
{
    MenuWarning warning;
    warning.offset = Clamped(pos);
    warning.line = LineOf(pos);
    warning.column = ColumnOf(pos);
    warning.message = message;
    if (notePos < 0) notePos = pos;
    warning.noteLine = LineOf(notePos);
    warning.noteColumn = ColumnOf(notePos);
    warning.note = note;
    s_follow.warnings->push_back(warning);
}

static void Warn(long pos, const std::string &message, const std::string &note)
{
    AddWarning(pos, message, -1, note);
}

static std::string Number(long n) { return std::to_string(n); }

// A NUL byte that ends the kept text early, or text cut at the limit.
static void CheckField(const FieldScan &field, const char *what, int limit)
{
    if (field.nulIndex >= 0 && field.nulIndex < limit) {
        long lost = std::min(field.length, (long)limit) - field.nulIndex - 1;
        std::string message = std::string("a NUL byte ends the ") + what + " " + QuoteText(Shown(field));
        if (lost > 0) message += ": the " + Number(lost) + " bytes after it are lost";
        Warn(field.nulPos, message, "remove the NUL byte: the text ends at it");
    } else if (field.length > limit) {
        Warn(PositionOf(field, limit),
             std::string("the ") + what + " is " + Number(field.length) + " bytes long: only its first " +
                 Number(limit) + " are kept",
             std::string("shorten the ") + what + ": what stands from here on is lost");
    }
}

static bool IsKnownOption(const std::string &text) { return FindMenuOption(text.c_str()) != OPTION_NONE; }

static std::string TrimSpaces(std::string text, bool front, bool back)
{
    while (back && !text.empty() && text.back() == ' ') text.pop_back();
    size_t skip = 0;
    while (front && skip < text.size() && text[skip] == ' ') skip++;
    return text.substr(skip);
}

static std::string Lowered(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return text;
}

// The text with the spaces just before its first `=` taken out.
static std::string JoinedAtEquals(const std::string &text)
{
    size_t equals = text.find('=');
    if (equals == std::string::npos) return text;
    size_t cut = equals;
    while (cut > 0 && text[cut - 1] == ' ') cut--;
    return text.substr(0, cut) + text.substr(equals);
}

// Why an option the program ignores is probably meant as one ("" when it
// is not close to any), where to mend it and how.
struct NearOption {
    std::string why;
    long pos;
    std::string note;
};

static NearOption WhyNotOption(const FieldScan &field, const std::string &text)
{
    // Each spelling the program would take, tried in turn.
    const struct {
        std::string spelling;
        const char *why;
    } tries[] = {
        {TrimSpaces(text, false, true), "it ends with a space"},
        {TrimSpaces(text, true, false), "it starts with a space"},
        {JoinedAtEquals(text), "a space before '='"},
        {Lowered(text), "options are case-sensitive"},
        {Lowered(JoinedAtEquals(TrimSpaces(text, true, true))), "options are case-sensitive and take no spaces"},
    };
    for (const auto &attempt : tries)
        if (IsKnownOption(attempt.spelling))
            return {attempt.why, field.firstPos, "write it as " + QuoteText(attempt.spelling)};
    size_t space = text.find(' ');
    if (space != std::string::npos && IsKnownOption(text.substr(0, space))) {
        if (field.breakPos >= 0)
            return {"it runs across a line break: a comma missing at the end of line " +
                        Number(LineOf(field.breakPos)) + "?",
                    field.breakPos, "type a comma here to end the option"};
        return {"it has more text after \"" + text.substr(0, space) + "\": a comma missing?",
                PositionOfText(field, space), "type a comma here to end the option"};
    }
    return {"", field.firstPos, "the options are sorted, install and size=WIDTHxHEIGHT"};
}

static void CheckOption(const FieldScan &field)
{
    std::string text = Shown(field);
    if (text.empty()) return;  // an empty option, from a comma too many, is harmless
    if (!IsKnownOption(text)) {
        std::string message = "option " + QuoteText(text) + " is not recognised and is ignored";
        NearOption near = WhyNotOption(field, text);
        if (!near.why.empty()) message += ": " + near.why;
        Warn(near.pos, message, near.note);
        return;
    }
    if (FindMenuOption(text.c_str()) != OPTION_SIZE) return;
    int width, height;
    long value = PositionOf(field, strlen("size="));
    if (!ScanMenuSize(text.c_str(), &width, &height))
        Warn(value, "option " + QuoteText(text) + " does not scan as size=WIDTHxHEIGHT: the window keeps its size",
             "write two whole numbers joined by a lowercase x, with no spaces: size=640x480");
    else if (width < 1 || height < 1)
        Warn(value, "option " + QuoteText(text) + " gives no window of at least 1 x 1 pixels and is ignored",
             "give a width and a height of 1 pixel or more");
}

// Notes what an option the program acts on does to the dialog.
static void NoteOption(const char *option)
{
    CheckedMenu *menu = s_follow.menu;
    int width, height;
    switch (FindMenuOption(option)) {
    case OPTION_SORTED:
        menu->sorted = true;
        break;
    case OPTION_INSTALL:
        menu->install = true;
        break;
    case OPTION_SIZE:
        if (ScanMenuSize(option, &width, &height) && width >= 1 && height >= 1) {
            menu->hasSize = true;
            menu->width = width;
            menu->height = height;
        }
        break;
    }
}

static void CheckLineBreak(const FieldScan &field, const char *what)
{
    if (field.breakPos < 0) return;
    Warn(field.breakPos,
         std::string("the ") + what + " " + QuoteText(Shown(field)) +
             " runs across a line break outside quotes: a comma missing at the end of line " +
             Number(LineOf(field.breakPos)) + "?",
         std::string("type a comma here to end the ") + what);
}

// An entry that LoadEntries inserts into the tree.
static void CheckEntry(const FieldScan &name, const FieldScan *command)
{
    std::string shownCommand = command ? Shown(*command) : "";
    if (Shown(name).empty()) {
        std::string message = "an entry with an empty name shows as an item with no text";
        if (!shownCommand.empty()) message += " (its command is " + QuoteText(shownCommand) + ")";
        Warn(name.firstPos >= 0 ? name.firstPos : name.tokenPos, message + ": a comma too many?",
             "type the entry's name here, or remove the comma");
    }
    CheckLineBreak(name, "name");
    if (!command) return;
    CheckLineBreak(*command, "command");
    if (!s_follow.settings->checkFiles || shownCommand.empty()) return;
    std::string note, problem = FindCommandFileProblem(shownCommand, command->fromDrive, *s_follow.settings, &note);
    if (!problem.empty()) Warn(command->firstPos, problem, note);
}


static void CheckHeaderField(const FieldScan &field)
{
    if (field.token == TOK_CLOSE)
        Warn(field.tokenPos, "a '}' ends the header: everything up to the next '{' is skipped",
             "the entry list opens with '{'");
}

// Whether the field shows as written: UTF-8 without the mark, characters
// the code page cannot show, bytes that are not UTF-8 in a marked file.
static void CheckFieldText(const FieldScan &field)
{
    std::string raw = field.raw.substr(0, std::min(field.raw.size(), field.raw.find('\0')));
    long at = 0;
    std::string note, message;
    if (g_bUtf8Menu) {
        message = FindUnshownChar(raw, Shown(field), s_follow.settings->codePage, &at, &note);
    } else if (s_follow.unmarkedUtf8) {
        message = FindUnmarkedUtf8(raw, s_follow.settings->codePage, &at, &note);
        if (!message.empty()) s_follow.unmarkedUtf8 = false;
    }
    if (!message.empty()) Warn(field.rawPos[at], message, note);
}

// In a sorted menu, the first name holding a character whose place the
// checker's order is known not to match, or, in a double-byte code page,
// any character beyond ASCII.
static void CheckSortedName(const FieldScan &field)
{
    unsigned codePage = s_follow.settings->codePage;
    if (!s_follow.menu->sorted || !s_follow.unsureSort) return;
    std::string name = Shown(field);
    int at = FindUnsureSortByte(codePage, name.c_str());
    if (at < 0) return;
    s_follow.unsureSort = false;
    std::string why = IsSortApproximate(codePage) ? "in code page " + Number(codePage) + " the checker knows the platform's order "
                                    "for ASCII only"
                                  : "the order of " + QuoteText(name.substr(at, 1)) + " is not known exactly";
    Warn(PositionOfText(field, at),
         "the sorted place shown for " + QuoteText(name) + " may not be the program's: " + why,
         "the Windows build of quorlan-check sorts as the platform does");
}

// Takes a field of the given kind that the loading has collected: its kept
// text, the count of every byte, the token that ended it.
static void EndField(int kind, const char *text, long length, int token)
{
    FieldScan &field = s_follow.field;
    int limit = FieldLimit(kind);
    field.text.assign(text, std::min(length, (long)limit));
    field.token = token;
    field.tokenPos = s_follow.lastPos;
    CheckField(field, s_fieldNames[kind - MENU_TITLE], limit);
    CheckFieldText(field);
    CheckFieldForMistakes(kind, field);
    if (kind == MENU_TITLE || kind == MENU_OPTION) {
        if (s_follow.headerBreak < 0) s_follow.headerBreak = field.breakPos;
        if (field.token != TOK_COMMA) CheckHeaderField(field);
    }
    switch (kind) {
    case MENU_TITLE:
        if (field.leadingFold)
            Warn(field.firstPos, "the title starts with a space: the file begins with white space",
                 "remove the white space before the title");
        break;
    case MENU_OPTION:
        NoteOption(field.text.c_str());
        CheckOption(field);
        break;
    default:
        if (kind == MENU_NAME) CheckSortedName(field);
        std::swap(s_follow.entry[s_follow.entryFields++], field);
    }
    StartField(&field);
}

// A level starts: the body after the header's `{` (or at the end of a file
// that has none), or a nested level, kept or joined to the deepest.
static void StartLevel(bool joined)
{
    if (!s_follow.bodyStarted) {
        s_follow.bodyStarted = true;
        s_follow.bodyOpened = s_follow.lastValue == TOK_OPEN;
        if (!s_follow.bodyOpened) return;
    }
    s_follow.openBraces.push_back(s_follow.lastPos);
    if (joined && s_follow.joinedOpen++ == 0)
        Warn(s_follow.lastPos,
             "nesting deeper than " + Number(MAX_NESTING) +
                 " levels is not kept: the entries inside this '{' join the level it is in",
             "nest at most " + Number(MAX_NESTING) + " levels below the top one");
}

static void EndLevel(bool joined, int token)
{
    if (token == TOK_CLOSE && !s_follow.openBraces.empty()) {
        s_follow.openBraces.pop_back();
        if (s_follow.openBraces.empty()) s_follow.listClosedAt = s_follow.lastPos;
    }
    if (joined) s_follow.joinedOpen--;
}

// The hook: takes each report of the loading in turn.
void FollowMenu(int event, int value, long offset, const char *text)
{
    switch (event) {
    case MENU_RESULT:
    case MENU_FOLDED:
    case MENU_DRIVE:
    case MENU_ESCAPED:
        if (value >= 0) AddFieldByte(&s_follow.field, value, offset, event);
        // The `{` that opens the list and the end of the file are not the header's.
        if (!s_follow.bodyStarted && event != MENU_FOLDED && value != TOK_OPEN && value != TOK_EOF)
            s_follow.headerEnd = offset + 1;
        FollowResultForMistakes(value, offset, event);
        s_follow.lastValue = value;
        s_follow.lastPos = offset;
        break;
    case MENU_QUOTE:
        if (value) s_follow.quoteOpenedAt = offset;
        FollowQuoteForMistakes(value, offset);
        break;
    case MENU_TITLE:
    case MENU_OPTION:
    case MENU_NAME:
    case MENU_COMMAND:
    case MENU_DESCRIPTION:
        EndField(event, text, offset, value);
        break;
    case MENU_ENTRY:
        if (value) CheckEntry(s_follow.entry[0], s_follow.entryFields > 1 ? &s_follow.entry[1] : NULL);
        CheckEntryForMistakes(s_follow.entry, value ? s_follow.entryFields : 0, s_follow.headerEnd);
        s_follow.entryFields = 0;
        break;
    case MENU_LEVEL:
    case MENU_JOINED:
        StartLevel(event == MENU_JOINED);
        break;
    case MENU_LEVEL_END:
    case MENU_JOINED_END:
        EndLevel(event == MENU_JOINED_END, value);
        break;
    }
}

void StartFollowingMenu(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                        std::vector<MenuWarning> *warnings)
{
    s_follow.bytes = &bytes;
    s_follow.settings = &settings;
    s_follow.menu = menu;
    s_follow.warnings = warnings;
    s_follow.lineStarts.assign(1, 0);
    for (size_t i = 0; i < bytes.size(); i++)
        if (bytes[i] == '\n') s_follow.lineStarts.push_back((long)i + 1);
    StartField(&s_follow.field);
    s_follow.entryFields = 0;
    s_follow.lastValue = TOK_EOF;
    s_follow.lastPos = 0;
    s_follow.quoteOpenedAt = 0;
    s_follow.bodyStarted = s_follow.bodyOpened = false;
    s_follow.headerEnd = 0;
    s_follow.headerBreak = s_follow.listClosedAt = -1;
    s_follow.unmarkedUtf8 = bytes.compare(0, 3, "\xEF\xBB\xBF") != 0 && IsUtf8Text(bytes);
    s_follow.unsureSort = true;
    long at;
    std::string note, message = FindOtherByteOrderMark(bytes, &at, &note);
    if (!message.empty()) Warn(at, message, note);
    s_follow.joinedOpen = 0;
    s_follow.openBraces.clear();
    menu->hasSize = menu->sorted = menu->install = false;
    menu->width = menu->height = 0;
    StartCheckingMistakes(bytes, settings);
}

static void WarnOpenQuote()
{
    if (g_bInQuote)
        Warn(s_follow.quoteOpenedAt,
             "an apostrophe here opens a quote that is never closed: all the rest of the file is text",
             "write %' for an apostrophe in text, or close the quote with another '");
}

// Just after the file's last byte that is not white space.
static long EndOfText()
{
    const std::string &bytes = *s_follow.bytes;
    size_t end = bytes.size();
    while (end > 0 && isspace((unsigned char)bytes[end - 1])) end--;
    return (long)end;
}

// Once the loading is done: what it left open, and what it left unread
// (one more result of the reader, to see whether anything follows).
void FinishFollowingMenu(FILE *stream)
{
    if (!s_follow.bodyOpened) {
        WarnOpenQuote();
        // The `{` belongs where the header's first line ends, or after the header.
        Warn(s_follow.headerBreak >= 0 ? s_follow.headerBreak : s_follow.headerEnd,
             "no '{' follows the header: the file lists no entries and the tree shows only \"Explore CD\"",
             "type '{' where the entries start, and '}' after the last one");
    } else if (s_follow.openBraces.empty()) {
        ReadMenuChar(stream);
        if (s_follow.lastValue != TOK_EOF)
            AddWarning(s_follow.lastPos, "text after the entry list's closing brace is ignored",
                       s_follow.listClosedAt, "the entry list ends with this '}': remove it if the text is meant as entries");
    } else {
        WarnOpenQuote();
        size_t missing = s_follow.openBraces.size();
        AddWarning(s_follow.openBraces.back(),
                   "the file ends inside the entry list, " + Number((long)missing) + " closing brace" +
                       (missing == 1 ? "" : "s") + " short: this '{' is the innermost one left open",
                   EndOfText(), "type the missing '}' where each level's entries end, here at the latest");
    }
    std::vector<MenuWarning> &warnings = *s_follow.warnings;
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const MenuWarning &a, const MenuWarning &b) { return a.offset < b.offset; });
}
