/*
 * Where a menu file probably does not say what its author meant.
 *
 * The file is read a second time through the program's own ReadMenuChar,
 * from a fresh reader state, with the stream's offset taken around every
 * call: each byte or token the program sees is thus known with the stretch
 * of the file that the call took (a byte pushed back is not taken). The
 * header, the entries and the nested levels are followed exactly as
 * ReadMenuStream and LoadEntries follow them, so that every warning speaks
 * of what the loading did. The only look at the file's bytes themselves is
 * to count line feeds and to tell, from the bytes a call took, a `%:` from
 * a plain letter and a reopened quote from a plain byte.
 */
#include "check.h"
#include "../menu/menu.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

// The reader's last result, where in the file it came from, and a counter
// of lines that moves to whatever offset is asked for.
struct ReadTrace {
    FILE *stream;
    const unsigned char *bytes;
    long size;
    long start, end;     // the call took the bytes [start, end)
    int value;           // and returned this
    bool quoteAfter;     // inside apostrophes after it
    long quoteOpenedAt;  // a byte on the line of the apostrophe that opened the open quote
    long linePos, line;  // byte linePos is on this line
};

// One field as LoadEntries or the header collects it, and what it held.
struct FieldScan {
    std::string text;             // the bytes kept, at most the field's limit
    std::vector<bool> fromDrive;  // for each byte kept: given by %:
    long length;                  // every byte the reader gave
    long firstPos;                // where the first of them stands, or -1
    bool leadingFold;             // the first is a folded run of white space
    long nulIndex, nulPos;        // the first zero byte, or -1
    long breakPos;                // a folded run over a line feed with text after it, or -1
    int token;                    // the token that ended the field
    long tokenPos;
};

struct MenuWalk {
    ReadTrace trace;
    const CheckSettings *settings;
    std::vector<MenuWarning> warnings;
    int nesting;                  // levels open below the top one, counted as LoadEntries does
    std::vector<long> openBraces; // each `{` not closed yet, kept or not
};

// Yields the line of a byte offset: one more than the line feeds before it.
static long LineOf(ReadTrace *trace, long pos)
{
    pos = std::max(0L, std::min(pos, trace->size));
    while (trace->linePos < pos) {
        if (trace->bytes[trace->linePos] == '\n') trace->line++;
        trace->linePos++;
    }
    while (trace->linePos > pos) {
        trace->linePos--;
        if (trace->bytes[trace->linePos] == '\n') trace->line--;
    }
    return trace->line;
}

static long LastByteTaken(const ReadTrace *trace)
{
    return trace->end > trace->start ? trace->end - 1 : trace->start;
}

// A space from a run of white space outside quotes (or from `% `, which
// takes one line too, so no caller needs to tell them apart).
static bool IsFoldedSpace(const ReadTrace *trace)
{
    return trace->value == ' ' && !trace->quoteAfter;
}

// Where the last result stands: the start of a folded run, else the last
// byte the call took (a token's own character, an escaped byte, the `%` of
// `%:`, whose `:` is pushed back).
static long ResultPos(const ReadTrace *trace)
{
    return IsFoldedSpace(trace) ? trace->start : LastByteTaken(trace);
}

// The drive letter of `%:`: the call took the `%` last and pushed the `:` back.
static bool IsDriveLetter(const ReadTrace *trace)
{
    return trace->value >= 0 && trace->end >= 1 && trace->end - 1 >= trace->start &&
           trace->end < trace->size && trace->bytes[trace->end - 1] == '%' &&
           trace->bytes[trace->end] == ':';
}

// Calls the program's reader once and notes where its result came from.
static void NextResult(ReadTrace *trace)
{
    bool quoteBefore = g_bInQuote != 0;
    trace->start = trace->end;
    trace->value = ReadMenuChar(trace->stream);
    trace->end = std::max(trace->start, ftell(trace->stream));
    trace->quoteAfter = g_bInQuote != 0;
    // Once a call opens a quote it takes only the result's own bytes after
    // the apostrophe, so the result's last byte is on the apostrophe's line.
    // Inside quotes, a call whose first byte is an apostrophe closed the
    // quote; if the quote is open again, the call reopened it.
    bool reopened = quoteBefore && trace->start < trace->size && trace->bytes[trace->start] == '\'';
    if (trace->quoteAfter && (!quoteBefore || reopened)) trace->quoteOpenedAt = LastByteTaken(trace);
}

static void ScanField(ReadTrace *trace, int limit, FieldScan *field)
{
    *field = FieldScan();
    field->length = 0;
    field->firstPos = field->nulIndex = field->nulPos = field->breakPos = -1;
    field->leadingFold = false;
    long pendingBreak = -1;
    for (NextResult(trace); trace->value >= 0; NextResult(trace)) {
        long pos = ResultPos(trace);
        if (field->firstPos < 0) {
            field->firstPos = pos;
            field->leadingFold = IsFoldedSpace(trace);
        }
        if (pendingBreak >= 0 && field->breakPos < 0) field->breakPos = pendingBreak;
        bool overBreak = IsFoldedSpace(trace) && LineOf(trace, trace->start) != LineOf(trace, trace->end);
        pendingBreak = overBreak ? pos : -1;
        if (trace->value == 0 && field->nulIndex < 0) {
            field->nulIndex = field->length;
            field->nulPos = pos;
        }
        if (field->length < limit) {
            field->text += (char)trace->value;
            field->fromDrive.push_back(IsDriveLetter(trace));
        }
        field->length++;
    }
    field->token = trace->value;
    field->tokenPos = ResultPos(trace);
}

// The field's text as the program keeps it: a NUL-terminated string.
static std::string Shown(const FieldScan &field) { return std::string(field.text.c_str()); }

static void Warn(MenuWalk *walk, long pos, const std::string &message)
{
    MenuWarning warning;
    warning.line = LineOf(&walk->trace, pos);
    warning.message = message;
    walk->warnings.push_back(warning);
}

static std::string Number(long n) { return std::to_string(n); }

// A NUL byte that ends the kept text early, or text cut at the limit.
static void CheckField(MenuWalk *walk, const FieldScan &field, const char *what, int limit)
{
    if (field.nulIndex >= 0 && field.nulIndex < limit) {
        long lost = std::min(field.length, (long)limit) - field.nulIndex - 1;
        std::string message = std::string("a NUL byte ends the ") + what + " " + QuoteText(Shown(field));
        if (lost > 0) message += ": the " + Number(lost) + " bytes after it are lost";
        Warn(walk, field.nulPos, message);
    } else if (field.length > limit) {
        Warn(walk, field.firstPos,
             std::string("the ") + what + " is " + Number(field.length) + " bytes long: only its first " +
                 Number(limit) + " are kept");
    }
}

static bool IsKnownOption(const std::string &text)
{
    return text == "sorted" || text == "install" || text.compare(0, 5, "size=") == 0;
}

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
static std::string WhyNotOption(MenuWalk *walk, const FieldScan &field, const std::string &text)
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
                   Number(LineOf(&walk->trace, field.breakPos)) + "?";
        return "it has more text after \"" + text.substr(0, space) + "\": a comma missing?";
    }
    return "";
}

static void CheckOption(MenuWalk *walk, const FieldScan &field)
{
    std::string text = Shown(field);
    if (text.empty()) return;  // an empty option, from a comma too many, is harmless
    if (!IsKnownOption(text)) {
        std::string message = "option " + QuoteText(text) + " is not recognised and is ignored";
        std::string why = WhyNotOption(walk, field, text);
        if (!why.empty()) message += ": " + why;
        Warn(walk, field.firstPos, message);
        return;
    }
    if (text.compare(0, 5, "size=") != 0) return;
    int width, height;
    if (sscanf(text.c_str() + 5, "%dx%d", &width, &height) != 2)
        Warn(walk, field.firstPos,
             "option " + QuoteText(text) + " does not scan as size=WIDTHxHEIGHT: the window keeps its size");
    else if (width < 1 || height < 1)
        Warn(walk, field.firstPos,
             "option " + QuoteText(text) + " gives no window of at least 1 x 1 pixels and is ignored");
}

static void CheckLineBreak(MenuWalk *walk, const FieldScan &field, const char *what)
{
    if (field.breakPos < 0) return;
    Warn(walk, field.firstPos,
         std::string("the ") + what + " " + QuoteText(Shown(field)) +
             " runs across a line break outside quotes: a comma missing at the end of line " +
             Number(LineOf(&walk->trace, field.breakPos)) + "?");
}

// An entry that LoadEntries inserts into the tree.
static void CheckEntry(MenuWalk *walk, const FieldScan &name, const FieldScan *command)
{
    std::string shownCommand = command ? Shown(*command) : "";
    if (Shown(name).empty()) {
        std::string message = "an entry with an empty name shows as an item with no text";
        if (!shownCommand.empty()) message += " (its command is " + QuoteText(shownCommand) + ")";
        Warn(walk, name.firstPos >= 0 ? name.firstPos : name.tokenPos, message + ": a comma too many?");
    }
    CheckLineBreak(walk, name, "name");
    if (!command) return;
    CheckLineBreak(walk, *command, "command");
    std::string filePart;
    if (walk->settings->checkFiles && !shownCommand.empty() &&
        IsCommandFileMissing(shownCommand, command->fromDrive, walk->settings->menuFolder, &filePart))
        Warn(walk, command->firstPos,
             "the command's file " + QuoteText(filePart) + " is not in the menu's folder");
}

// Follows one level of the entry list as LoadEntries reads it; yields the
// token that ended it (TOK_CLOSE or TOK_EOF).
static int WalkLevel(MenuWalk *walk)
{
    int unkept = 0;  // levels opened here past MAX_NESTING and not yet closed
    static const char *const what[3] = {"name", "command", "description"};
    static const int limit[3] = {MAX_FIELD, MAX_FIELD, MAX_DESCRIPTION};
    for (;;) {
        // name [, command [, description]]: the fields read and what ended the last.
        FieldScan fields[3];
        int read = 0;
        bool inserted = false;
        do {
            ScanField(&walk->trace, limit[read], &fields[read]);
            CheckField(walk, fields[read], what[read], limit[read]);
            inserted = inserted || !Shown(fields[read]).empty();
            read++;
        } while (fields[read - 1].token == TOK_COMMA && read < 3);
        int t = fields[read - 1].token;
        long tokenPos = fields[read - 1].tokenPos;
        if (inserted) CheckEntry(walk, fields[0], read > 1 ? &fields[1] : NULL);

        if (t == TOK_OPEN) {
            walk->openBraces.push_back(tokenPos);
            if (walk->nesting < MAX_NESTING) {
                walk->nesting++;
                if (WalkLevel(walk) == TOK_CLOSE) walk->openBraces.pop_back();
                walk->nesting--;
            } else {
                if (unkept == 0)
                    Warn(walk, tokenPos,
                         "nesting deeper than " + Number(MAX_NESTING) +
                             " levels is not kept: the entries inside this '{' join the level it is in");
                unkept++;
            }
        } else if (t == TOK_CLOSE && unkept > 0) {
            unkept--;
            walk->openBraces.pop_back();
        } else if (t != TOK_COMMA) {
            return t;
        }
    }
}

static void WarnOpenQuote(MenuWalk *walk)
{
    if (g_bInQuote)
        Warn(walk, walk->trace.quoteOpenedAt,
             "an apostrophe here opens a quote that is never closed: all the rest of the file is text");
}

// Follows the file as ReadMenuStream reads it and collects the warnings.
void FindMenuWarnings(FILE *stream, const std::string &bytes, const CheckSettings &settings,
                      std::vector<MenuWarning> *warnings)
{
    g_bInQuote = 0;
    g_nLastToken = TOK_EOF;
    g_szStartDir[0] = settings.drive;
    rewind(stream);

    MenuWalk walk;
    walk.trace = ReadTrace();
    walk.trace.stream = stream;
    walk.trace.bytes = (const unsigned char *)bytes.data();
    walk.trace.size = (long)bytes.size();
    walk.trace.start = walk.trace.end = 0;
    walk.trace.quoteOpenedAt = 0;
    walk.trace.linePos = 0;
    walk.trace.line = 1;
    walk.settings = &settings;
    walk.nesting = 0;

    FieldScan field;
    ScanField(&walk.trace, MAX_FIELD, &field);
    CheckField(&walk, field, "title", MAX_FIELD);
    if (field.leadingFold)
        Warn(&walk, field.firstPos, "the title starts with a space: the file begins with white space");
    while (field.token == TOK_COMMA) {
        ScanField(&walk.trace, MAX_FIELD, &field);
        CheckField(&walk, field, "option", MAX_FIELD);
        CheckOption(&walk, field);
    }
    int t = field.token;
    if (t == TOK_CLOSE)
        Warn(&walk, field.tokenPos, "a '}' ends the header: everything up to the next '{' is skipped");
    while (t != TOK_OPEN && t != TOK_EOF) {
        NextResult(&walk.trace);
        t = walk.trace.value;
    }

    if (t == TOK_EOF) {
        WarnOpenQuote(&walk);
        Warn(&walk, 0, "no '{' follows the header: the file lists no entries and the tree shows only \"Explore CD\"");
    } else {
        walk.openBraces.push_back(ResultPos(&walk.trace));
        if (WalkLevel(&walk) == TOK_EOF) {
            WarnOpenQuote(&walk);
            size_t missing = walk.openBraces.size();
            Warn(&walk, walk.openBraces.back(),
                 "the file ends inside the entry list, " + Number((long)missing) + " closing brace" +
                     (missing == 1 ? "" : "s") + " short: this '{' is the innermost one left open");
        } else {
            NextResult(&walk.trace);
            if (walk.trace.value != TOK_EOF)
                Warn(&walk, ResultPos(&walk.trace), "text after the entry list's closing brace is ignored");
        }
    }

    std::stable_sort(walk.warnings.begin(), walk.warnings.end(),
                     [](const MenuWarning &a, const MenuWarning &b) { return a.line < b.line; });
    warnings->insert(warnings->end(), walk.warnings.begin(), walk.warnings.end());
}
