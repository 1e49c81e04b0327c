/*
 * The menu's words: a follower beside the rule sets takes each byte the
 * reader gives, with where it stands, and gives it the kind of the field
 * that the loading then reports it in; a command's bytes are split as Run
 * splits the command box's text.
 */
#include "words.h"
#include "../engine/engine.h"
#include "../rules/checker.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

const char *const g_wordKindNames[WORD_KINDS] = {"namespace", "keyword", "number", "property", "function",
                                                 "parameter", "string",  "macro",  "operator", "comment"};
const char *const g_wordFlagNames[WORD_FLAGS] = {"modification", "readonly"};

// One byte of a field's text as the reader gave it.
struct WordByte {
    long start, end;        // the bytes of the file it came from
    int value, flags;
    bool folded, drive;     // a space folded from white space; given by `%:`
};

static struct {
    MenuWords *words;
    std::vector<WordByte> pending; // the field being read
    long drivePos;          // the `%` of the last `%:`
} s_words;

static void AddWord(long start, long end, int kind, int flags)
{
    s_words.words->words.push_back({start, end, kind, flags});
}

static void StartWords()
{
    s_words.pending.clear();
    s_words.drivePos = -1;
}

static void TakeWordReport(const MenuReport &report)
{
    int quoted = report.inQuote ? WORD_QUOTED : 0;
    switch (report.event) {
    case MENU_RESULT:
        if (report.token >= 0) {
            bool colon = report.token == ':' && report.offset == s_words.drivePos + 1;
            s_words.pending.push_back({report.offset, report.offset + 1, report.token, quoted, false, colon});
        } else if (report.token != TOK_EOF) {
            AddWord(report.offset, report.offset + 1, WORD_PUNCTUATION, 0);
        }
        break;
    case MENU_FOLDED:
        s_words.pending.push_back({report.offset, report.offset + 1, ' ', 0, true, false});
        break;
    case MENU_DRIVE:
        s_words.drivePos = report.offset;
        s_words.pending.push_back({report.offset, report.offset + 1, report.token, quoted, false, true});
        break;
    case MENU_ESCAPED:
        s_words.pending.push_back({report.offset - 1, report.offset + 1, report.token, quoted | WORD_ESCAPED, false,
                                   false});
        break;
    case MENU_QUOTE:
        AddWord(report.offset, report.offset + 1, WORD_PUNCTUATION, 0);
        break;
    }
}

static void AddByteWord(const WordByte &b, int kind)
{
    if (!b.folded) AddWord(b.start, b.end, b.drive ? WORD_DRIVE : kind, b.drive ? b.flags & WORD_QUOTED : b.flags);
}

static void FlushPending(int kind)
{
    for (const WordByte &b : s_words.pending) AddByteWord(b, kind);
    s_words.pending.clear();
}

// "size=" and the two numbers the scan takes, "%dx%d"; what the scan
// stops at is read and ignored.
static void AddSizeOption(const std::vector<WordByte> &bytes)
{
    size_t i = 0;
    for (; i < bytes.size() && i < 5; i++) AddByteWord(bytes[i], WORD_OPTION);
    for (int number = 0; number < 2; number++) {
        while (i < bytes.size() && bytes[i].value == ' ' && !bytes[i].folded) AddByteWord(bytes[i++], WORD_NUMBER);
        if (i < bytes.size() && (bytes[i].value == '+' || bytes[i].value == '-')) AddByteWord(bytes[i++], WORD_NUMBER);
        size_t digits = i;
        while (i < bytes.size() && isdigit(bytes[i].value)) AddByteWord(bytes[i++], WORD_NUMBER);
        if (i == digits) break;
        if (number == 0 && i < bytes.size() && bytes[i].value == 'x') AddByteWord(bytes[i++], WORD_PUNCTUATION);
        else break;
    }
    for (; i < bytes.size(); i++) AddByteWord(bytes[i], WORD_IGNORED);
}

static void AddCommand(const FieldScan &field)
{
    MenuCommandAt command;
    command.text = Shown(field);
    command.fromDrive = field.fromDrive;
    command.start = command.end = command.fileStart = command.fileEnd = -1;
    bool inQuotes = false, inFile = true;
    for (const WordByte &b : s_words.pending) {
        if (inFile && !inQuotes && b.value == ' ') inFile = false;
        else if (b.value == '"') inQuotes = !inQuotes;
        AddByteWord(b, inFile ? WORD_FILE : WORD_PARAMETER);
        if (b.folded) continue;
        if (command.start < 0) command.start = b.start;
        command.end = b.end;
        if (inFile) {
            if (command.fileStart < 0) command.fileStart = b.start;
            command.fileEnd = b.end;
        }
    }
    s_words.pending.clear();
    if (command.fileStart >= 0) s_words.words->commands.push_back(command);
}

static void TakeWordField(int kind, const FieldScan &field)
{
    std::string text = Shown(field);
    switch (kind) {
    case MENU_TITLE: FlushPending(WORD_TITLE); break;
    case MENU_OPTION:
        if (text.compare(0, 5, "size=") == 0) {
            AddSizeOption(s_words.pending);
            s_words.pending.clear();
        } else {
            FlushPending(text == "sorted" || text == "install" ? WORD_OPTION : WORD_IGNORED);
        }
        break;
    case MENU_NAME: FlushPending(WORD_NAME); break;
    case MENU_COMMAND: AddCommand(field); break;
    default: FlushPending(WORD_DESCRIPTION); break;
    }
}

// What the header's end skips before the list is read and ignored.
static void TakeWordLevel(const MenuReport &) { FlushPending(WORD_IGNORED); }

static void FinishWords()
{
    s_words.pending.clear();
    const std::string &bytes = *Followed().bytes;
    std::vector<MenuWord> &words = s_words.words->words;
    // Past the list's `}` the program reads nothing: each line's text there.
    long closed = Followed().listClosedAt;
    if (closed >= 0) {
        words.erase(std::remove_if(words.begin(), words.end(), [&](const MenuWord &w) { return w.start > closed; }),
                    words.end());
        for (long at = closed + 1; at < (long)bytes.size();) {
            while (at < (long)bytes.size() && isspace((unsigned char)bytes[at])) at++;
            long end = at;
            while (end < (long)bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') end++;
            long last = end;
            while (last > at && isspace((unsigned char)bytes[last - 1])) last--;
            if (last > at) AddWord(at, last, WORD_IGNORED, 0);
            at = end;
        }
    }
    // In the file's order, each byte's word joined with the next of the same kind.
    std::stable_sort(words.begin(), words.end(), [](const MenuWord &a, const MenuWord &b) { return a.start < b.start; });
    std::vector<MenuWord> joined;
    for (const MenuWord &w : words) {
        if (!joined.empty() && w.start < joined.back().end) continue;
        if (!joined.empty() && joined.back().end == w.start && joined.back().kind == w.kind &&
            joined.back().flags == w.flags && w.kind != WORD_PUNCTUATION)
            joined.back().end = w.end;
        else
            joined.push_back(w);
    }
    words.swap(joined);
}

static const RuleSet s_wordFollower = {StartWords, TakeWordReport, TakeWordField, NULL, TakeWordLevel, FinishWords};

bool FindMenuWords(const std::string &bytes, const CheckSettings &settings, MenuWords *words)
{
    *words = MenuWords();
    s_words.words = words;
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    return CheckMenuBytesWith(bytes, settings, &menu, &warnings, &s_wordFollower);
}
