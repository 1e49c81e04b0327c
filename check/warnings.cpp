/*
 * Where a menu file probably does not say what its author meant.
 *
 * Nothing here walks the menu's grammar: the program's own loading reports
 * each result of its reader (with where it stands in the file), each field
 * with its kind and the token that ended it, each entry and each level it
 * opens and closes, and the warnings are drawn from those reports as they
 * come. The only look at the file's bytes is to count lines and to see
 * whether a folded run of white space held a line break.
 */
#include "check.h"
#include "text/collate.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

// One field as the loading collected it, and what it held.
struct FieldScan {
    std::string text;             // the bytes kept, at most the field's limit, as converted
    std::string raw;              // the bytes as the file gives them, up to the same limit
    std::vector<long> rawPos;     // where each of them stands
    std::vector<bool> fromDrive;  // for each byte up to MAX_FIELD: given by %:
    long length;                  // every byte the reader gave
    long firstPos;                // where the first of them stands, or -1
    bool leadingFold;             // the first is a folded run of white space
    long nulIndex, nulPos;        // the first zero byte, or -1
    long breakPos;                // a folded run over a line feed with text after it, or -1
    long pendingBreak;            // the last result so far is such a run
    int token;                    // the token that ended the field
    long tokenPos;
};

// What the follower knows between two reports.
static struct {
    const std::string *bytes;
    const CheckSettings *settings;
    CheckedMenu *menu;
    std::vector<MenuWarning> *warnings;
    long linePos, line;           // byte linePos is on this line
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
    int joinedOpen;               // levels past the nesting kept that are open
    std::vector<long> openBraces; // each `{` not closed yet, kept or not
} s_follow;

// What each kind of field is called, from MENU_TITLE on.
static const char *const s_fieldNames[] = {"title", "option", "name", "command", "description"};

static int FieldLimit(int kind) { return kind == MENU_DESCRIPTION ? MAX_DESCRIPTION : MAX_FIELD; }

// Yields the line of a byte offset: one more than the line feeds before it.
static long LineOf(long pos)
{
    const std::string &bytes = *s_follow.bytes;
    pos = std::max(0L, std::min(pos, (long)bytes.size()));
    while (s_follow.linePos < pos) {
        if (bytes[s_follow.linePos] == '\n') s_follow.line++;
        s_follow.linePos++;
    }
    while (s_follow.linePos > pos) {
        s_follow.linePos--;
        if (bytes[s_follow.linePos] == '\n') s_follow.line--;
    }
    return s_follow.line;
}

// Whether the run of white space starting at pos holds a line feed.
static bool RunHoldsLineFeed(long pos)
{
    const std::string &bytes = *s_follow.bytes;
    for (size_t i = (size_t)pos; i < bytes.size() && isspace((unsigned char)bytes[i]); i++)
        if (bytes[i] == '\n') return true;
    return false;
}

static void StartField(FieldScan *field)
{
    *field = FieldScan();
    field->length = 0;
    field->firstPos = field->nulIndex = field->nulPos = field->breakPos = field->pendingBreak = -1;
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
    if (field->pendingBreak >= 0 && field->breakPos < 0) field->breakPos = field->pendingBreak;
    field->pendingBreak = folded && RunHoldsLineFeed(pos) ? pos : -1;
    if (value == 0 && field->nulIndex < 0) {
        field->nulIndex = field->length;
        field->nulPos = pos;
    }
    if (field->length <= MAX_FIELD) field->fromDrive.push_back(event == MENU_DRIVE);
    if (field->length < MAX_DESCRIPTION) {
        field->raw += (char)value;
        field->rawPos.push_back(pos);
    }
    field->length++;
}

// The field's text as the program keeps it: a NUL-terminated string.
static std::string Shown(const FieldScan &field) { return std::string(field.text.c_str()); }

static void Warn(long pos, const std::string &message)
{
    MenuWarning warning;
    warning.offset = pos;
    warning.line = LineOf(pos);
    warning.message = message;
    s_follow.warnings->push_back(warning);
}

static std::string Number(long n) { return std::to_string(n); }

// A NUL byte that ends the kept text early, or text cut at the limit.
static void CheckField(const FieldScan &field, const char *what, int limit)
{
    if (field.nulIndex >= 0 && field.nulIndex < limit) {
        long lost = std::min(field.length, (long)limit) - field.nulIndex - 1;
        std::string message = std::string("a NUL byte ends the ") + what + " " + QuoteText(Shown(field));
        if (lost > 0) message += ": the " + Number(lost) + " bytes after it are lost";
        Warn(field.nulPos, message);
    } else if (field.length > limit) {
        Warn(field.firstPos,
             std::string("the ") + what + " is " + Number(field.length) + " bytes long: only its first " +
                 Number(limit) + " are kept");
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

// Why an option the program ignores is probably meant as one: "" when it
// is not close to any.
static std::string WhyNotOption(const FieldScan &field, const std::string &text)
{
    if (IsKnownOption(TrimSpaces(text, false, true))) return "it ends with a space";
    if (IsKnownOption(TrimSpaces(text, true, false))) return "it starts with a space";
    if (IsKnownOption(JoinedAtEquals(text))) return "a space before '='";
    if (IsKnownOption(Lowered(text))) return "options are case-sensitive";
    if (IsKnownOption(Lowered(JoinedAtEquals(TrimSpaces(text, true, true)))))
        return "options are case-sensitive and take no spaces";
    size_t space = text.find(' ');
    if (space != std::string::npos && IsKnownOption(text.substr(0, space))) {
        if (field.breakPos >= 0)
            return "it runs across a line break: a comma missing at the end of line " +
                   Number(LineOf(field.breakPos)) + "?";
        return "it has more text after \"" + text.substr(0, space) + "\": a comma missing?";
    }
    return "";
}

static void CheckOption(const FieldScan &field)
{
    std::string text = Shown(field);
    if (text.empty()) return;  // an empty option, from a comma too many, is harmless
    if (!IsKnownOption(text)) {
        std::string message = "option " + QuoteText(text) + " is not recognised and is ignored";
        std::string why = WhyNotOption(field, text);
        if (!why.empty()) message += ": " + why;
        Warn(field.firstPos, message);
        return;
    }
    if (FindMenuOption(text.c_str()) != OPTION_SIZE) return;
    int width, height;
    if (!ScanMenuSize(text.c_str(), &width, &height))
        Warn(field.firstPos,
             "option " + QuoteText(text) + " does not scan as size=WIDTHxHEIGHT: the window keeps its size");
    else if (width < 1 || height < 1)
        Warn(field.firstPos,
             "option " + QuoteText(text) + " gives no window of at least 1 x 1 pixels and is ignored");
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
    Warn(field.firstPos,
         std::string("the ") + what + " " + QuoteText(Shown(field)) +
             " runs across a line break outside quotes: a comma missing at the end of line " +
             Number(LineOf(field.breakPos)) + "?");
}

// An entry that LoadEntries inserts into the tree.
static void CheckEntry(const FieldScan &name, const FieldScan *command)
{
    std::string shownCommand = command ? Shown(*command) : "";
    if (Shown(name).empty()) {
        std::string message = "an entry with an empty name shows as an item with no text";
        if (!shownCommand.empty()) message += " (its command is " + QuoteText(shownCommand) + ")";
        Warn(name.firstPos >= 0 ? name.firstPos : name.tokenPos, message + ": a comma too many?");
    }
    CheckLineBreak(name, "name");
    if (!command) return;
    CheckLineBreak(*command, "command");
    std::string filePart;
    if (s_follow.settings->checkFiles && !shownCommand.empty() &&
        IsCommandFileMissing(shownCommand, command->fromDrive, s_follow.settings->menuFolder, &filePart))
        Warn(command->firstPos,
             "the command's file " + QuoteText(filePart) + " is not in the menu's folder");
}


static void CheckHeaderField(const FieldScan &field)
{
    if (field.token == TOK_CLOSE)
        Warn(field.tokenPos, "a '}' ends the header: everything up to the next '{' is skipped");
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
    if (!message.empty()) Warn(field.rawPos[at], message);
}

// In a sorted menu, the first name holding a character whose place the
// checker's order is known not to match, or, in a double-byte code page,
// any character beyond ASCII.
static void CheckSortedName(const FieldScan &field)
{
    unsigned codePage = s_follow.settings->codePage;
    if (!s_follow.menu->sorted || !s_follow.unsureSort) return;
    std::string name = Shown(field);
    bool approximate = IsSortApproximate(codePage);
    int at = -1;
    for (size_t i = 0; approximate && at < 0 && i < name.size(); i++)
        if ((unsigned char)name[i] >= 0x80) at = (int)i;
    if (!approximate) at = FindUnsureSortByte(codePage, name.c_str());
    if (at < 0) return;
    s_follow.unsureSort = false;
    std::string why = approximate ? "in code page " + Number(codePage) + " the checker knows the platform's order "
                                    "for ASCII only"
                                  : "the order of " + QuoteText(name.substr(at, 1)) + " is not known exactly";
    Warn(field.rawPos.empty() ? field.firstPos : field.rawPos[std::min((size_t)at, field.rawPos.size() - 1)],
         "the sorted place shown for " + QuoteText(name) + " may not be the program's: " + why);
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
    switch (kind) {
    case MENU_TITLE:
        if (field.leadingFold)
            Warn(field.firstPos, "the title starts with a space: the file begins with white space");
        if (field.token != TOK_COMMA) CheckHeaderField(field);
        break;
    case MENU_OPTION:
        NoteOption(field.text.c_str());
        CheckOption(field);
        if (field.token != TOK_COMMA) CheckHeaderField(field);
        break;
    case MENU_NAME:
        CheckSortedName(field);
        s_follow.entry[s_follow.entryFields++] = field;
        break;
    default:
        s_follow.entry[s_follow.entryFields++] = field;
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
        Warn(s_follow.lastPos, "nesting deeper than " + Number(MAX_NESTING) +
                                   " levels is not kept: the entries inside this '{' join the level it is in");
}

static void EndLevel(bool joined, int token)
{
    if (token == TOK_CLOSE && !s_follow.openBraces.empty()) s_follow.openBraces.pop_back();
    if (joined) s_follow.joinedOpen--;
}

// The hook: takes each report of the loading in turn.
void FollowMenu(int event, int value, long offset, const char *text)
{
    switch (event) {
    case MENU_RESULT:
    case MENU_FOLDED:
    case MENU_DRIVE:
        if (value >= 0) AddFieldByte(&s_follow.field, value, offset, event);
        s_follow.lastValue = value;
        s_follow.lastPos = offset;
        break;
    case MENU_QUOTE:
        if (value) s_follow.quoteOpenedAt = offset;
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
    s_follow.linePos = 0;
    s_follow.line = 1;
    StartField(&s_follow.field);
    s_follow.entryFields = 0;
    s_follow.lastValue = TOK_EOF;
    s_follow.lastPos = 0;
    s_follow.quoteOpenedAt = 0;
    s_follow.bodyStarted = s_follow.bodyOpened = false;
    s_follow.unmarkedUtf8 = bytes.compare(0, 3, "\xEF\xBB\xBF") != 0 && IsUtf8Text(bytes);
    s_follow.unsureSort = true;
    long at;
    std::string note, message = FindOtherByteOrderMark(bytes, &at, &note);
    if (!message.empty()) Warn(at, message);
    s_follow.joinedOpen = 0;
    s_follow.openBraces.clear();
    menu->hasSize = menu->sorted = menu->install = false;
    menu->width = menu->height = 0;
}

static void WarnOpenQuote()
{
    if (g_bInQuote)
        Warn(s_follow.quoteOpenedAt,
             "an apostrophe here opens a quote that is never closed: all the rest of the file is text");
}

// Once the loading is done: what it left open, and what it left unread
// (one more result of the reader, to see whether anything follows).
void FinishFollowingMenu(FILE *stream)
{
    if (!s_follow.bodyOpened) {
        WarnOpenQuote();
        Warn(0, "no '{' follows the header: the file lists no entries and the tree shows only \"Explore CD\"");
    } else if (s_follow.openBraces.empty()) {
        ReadMenuChar(stream);
        if (s_follow.lastValue != TOK_EOF)
            Warn(s_follow.lastPos, "text after the entry list's closing brace is ignored");
    } else {
        WarnOpenQuote();
        size_t missing = s_follow.openBraces.size();
        Warn(s_follow.openBraces.back(),
             "the file ends inside the entry list, " + Number((long)missing) + " closing brace" +
                 (missing == 1 ? "" : "s") + " short: this '{' is the innermost one left open");
    }
    std::vector<MenuWarning> &warnings = *s_follow.warnings;
    std::stable_sort(warnings.begin(), warnings.end(),
                     [](const MenuWarning &a, const MenuWarning &b) { return a.line < b.line; });
}
