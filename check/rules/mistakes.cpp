/*
 * The mistakes authors make when they write a menu as plain English text:
 * the apostrophe of "Don't" opening a quoted stretch, double quotes taken
 * for quoting, `%NAME%` taken for a variable, a `%` meant as a percent
 * sign (which makes the next character plain and vanishes), a backslash
 * meant to escape as in C, an option written among the entries, a comma
 * left out so that the fields after it shift.
 *
 * Like the other warnings these come from the loading's own reports; the
 * only look at the file's bytes is at the few around a reported position
 * (is this apostrophe between two letters? does this `%S` start
 * `%SystemRoot%`?). Each is drawn narrowly, so that the deliberate uses of
 * the format stay silent: quotes opened at a field's start or after a
 * space, `%'`, `%%NAME%%`, `%,` after a digit, a path ending in a
 * backslash, a quoted or escaped comma inside double quotes, a parent named
 * like a path, a name such as "Node.js" whose command is a file.
 */
#include "rules.h"
#include "../engine/files.h"
#include "../engine/quote.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>

// What the mistakes need to remember between two reports.
static struct {
    const std::string *bytes;
    long variableEnd;            // the closing `%` of the last %NAME% warned of, or -1
    // The quoted stretch open now, and what it has taken in so far.
    long quoteOpen;              // its apostrophe, or -1
    long commas, braces, lineBreaks;
    bool commaAfterBreak;        // a comma stands after a line break in it
    // A name or description that a comma ended with a double quote open.
    long doubleQuoteComma;       // that comma, or -1
    std::string doubleQuoteText; // the field's text from the open quote on
    const char *doubleQuoteField;
    // A description that ran on over a line break, for the entry after it.
    long runOnBreak;             // where its last line break stands, or -1
    std::string runOnText;
    std::string runOnNext;       // the text after that break
    // Since the last field ended: the bytes escaped with `%`, the
    // apostrophes that opened and that closed a quote, the `%NAME%` warned of.
    std::vector<long> escapes, quoteOpens, quoteCloses, variables;
    // Each backslash warned of before a `{`: the `}` that closes its level
    // is mended with it, as each alone reads the rest as something else.
    std::vector<long> escapedOpens;
} s_mistakes;

// Yields the text quoted, its middle cut when it is long.
static std::string QuoteShort(const std::string &text)
{
    if (text.size() <= 48) return QuoteText(text);
    return QuoteText(text.substr(0, 20) + "..." + text.substr(text.size() - 20));
}

// Whether the byte at pos is a letter (or, with digits, a letter or digit).
static bool IsLetterAt(long pos, bool digits = false)
{
    const std::string &bytes = *s_mistakes.bytes;
    if (pos < 0 || pos >= (long)bytes.size()) return false;
    unsigned char c = bytes[pos];
    return isalpha(c) || c >= 0x80 || (digits && isdigit(c));  // above 127: mostly letters in the code pages
}

// Whether the apostrophe at pos stands inside a word: "Don't", "1990's".
static bool IsBetweenLetters(long pos) { return IsLetterAt(pos - 1, true) && IsLetterAt(pos + 1); }

// Yields the word around pos (the apostrophe itself included).
static std::string WordAround(long pos)
{
    long start = pos, end = pos + 1;
    while (IsLetterAt(start - 1, true)) start--;
    while (IsLetterAt(end, true)) end++;
    return s_mistakes.bytes->substr(start, end - start);
}

// Whether the byte ends a word: white space, a NUL, or what ends a field.
static bool EndsWord(unsigned char c) { return isspace(c) || c == '\0' || strchr("{},'", c); }

// Readies the checks for the file's bytes, before its loading starts.
static void StartCheckingMistakes()
{
    s_mistakes.bytes = Followed().bytes;
    s_mistakes.variableEnd = s_mistakes.quoteOpen = -1;
    s_mistakes.doubleQuoteComma = s_mistakes.runOnBreak = -1;
    s_mistakes.escapes.clear();
    s_mistakes.quoteOpens.clear();
    s_mistakes.quoteCloses.clear();
    s_mistakes.variables.clear();
    s_mistakes.escapedOpens.clear();
}

// "3 commas, a brace and a line break": what a quoted stretch made text.
static std::string Swallowed()
{
    const struct {
        long count;
        const char *one, *many;
    } kinds[] = {
        {s_mistakes.commas, "a comma", " commas"},
        {s_mistakes.braces, "a brace", " braces"},
        {s_mistakes.lineBreaks, "a line break", " line breaks"},
    };
    std::vector<std::string> parts;
    for (const auto &kind : kinds)
        if (kind.count) parts.push_back(kind.count == 1 ? kind.one : Number(kind.count) + kind.many);
    std::string out;
    for (size_t i = 0; i < parts.size(); i++)
        out += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return out;
}

// The stretch from the apostrophe at open to the one at close, just closed.
static void CheckQuotedStretch(long open, long close)
{
    bool openInWord = IsBetweenLetters(open), closeInWord = IsBetweenLetters(close);
    bool takesEntry = s_mistakes.lineBreaks > 0 && (s_mistakes.braces > 0 || s_mistakes.commaAfterBreak);
    if (!openInWord && !closeInWord && !takesEntry) return;
    long first = LineOf(open), last = LineOf(close);
    std::string span = first == last ? "(line " + Number(first) + ")"
                                     : "(lines " + Number(first) + " to " + Number(last) + ")";
    std::string swallowed = Swallowed();
    std::string effect = swallowed.empty() ? "in which its apostrophes vanish from the text"
                                           : "that swallows " + swallowed;
    const char *note = "write %' for an apostrophe in text";
    // One fix for the stretch: %' at each apostrophe flagged in it. Where
    // the opening one is mended, a closing one that ends a word ("the
    // kids'") would open a quote of its own: the mend needs both.
    bool closeOfWord = IsWordApostrophe(close);
    std::vector<FixEdit> escapes;
    if (openInWord) escapes.push_back(Edit(open, 0, "%"));
    if (closeInWord || (openInWord && closeOfWord)) escapes.push_back(Edit(close, 0, "%"));
    if (openInWord)
        AddWarning("apostrophe-in-word", open, "the apostrophe in " + QuoteShort(WordAround(open)) + " opens a quoted stretch " + span +
                             " " + effect, -1, note);
    if (openInWord)
        FixWarning(closeInWord || !closeOfWord ? "write %' for the apostrophes between letters"
                                                : "write %' for the apostrophes",
                   true, escapes);
    if (closeInWord)
        AddWarning("apostrophe-in-word", close, "the apostrophe in " + QuoteShort(WordAround(close)) + " closes a quoted stretch " +
                              span + " " + effect, -1, note);
    if (closeInWord && !openInWord) FixWarning("write %' for the apostrophe between letters", true, escapes);

    // Opened right after text, as in "users'", and taking in what looks
    // like a whole entry: a quote meant to keep commas opens a field or
    // follows a space.
    const std::string &bytes = *s_mistakes.bytes;
    if (openInWord || open == 0 || !takesEntry || EndsWord(bytes[open - 1])) return;
    long start = open - 1;
    while (start > 0 && !EndsWord(bytes[start - 1])) start--;
    AddWarning("quote-after-word", open, "the apostrophe after " + QuoteShort(bytes.substr(start, open - start)) +
                         " opens a quoted stretch " + span + " that swallows " + swallowed,
               -1, "write %' for an apostrophe in text; a quote that keeps commas starts a field or follows a space");
    if (closeOfWord) FixWarning("write %' for the two apostrophes", true, {Edit(open, 0, "%"), Edit(close, 0, "%")});
    else FixWarning("write %' for the apostrophe", true, {Edit(open, 0, "%")});
}

// The hook's MENU_QUOTE: an apostrophe opened or closed a quoted stretch.
static void FollowQuote(bool opened, long offset)
{
    (opened ? s_mistakes.quoteOpens : s_mistakes.quoteCloses).push_back(offset);
    if (opened) {
        s_mistakes.quoteOpen = offset;
        s_mistakes.commas = s_mistakes.braces = s_mistakes.lineBreaks = 0;
        s_mistakes.commaAfterBreak = false;
    } else if (s_mistakes.quoteOpen >= 0) {
        CheckQuotedStretch(s_mistakes.quoteOpen, offset);
        s_mistakes.quoteOpen = -1;
    }
}

static bool IsVariableNameByte(unsigned char c) { return isalnum(c) || c == '_' || c == '(' || c == ')'; }

// A `%` before a letter, at percent: a warning when it starts `%NAME%`.
static void CheckVariable(long percent)
{
    const std::string &bytes = *s_mistakes.bytes;
    long end = percent + 1;
    while (end < (long)bytes.size() && IsVariableNameByte(bytes[end])) end++;
    if (end >= (long)bytes.size() || bytes[end] != '%') return;
    s_mistakes.variableEnd = end;
    s_mistakes.variables.push_back(percent);
    std::string name = bytes.substr(percent + 1, end - percent - 1);
    // The closing `%` makes the byte after it plain text too.
    std::string reads = name;
    if (end + 1 < (long)bytes.size() && isgraph((unsigned char)bytes[end + 1]) && bytes[end + 1] != ':')
        reads += bytes[end + 1];
    AddWarning("percent-variable", percent,
               QuoteText("%" + name + "%") + " is not expanded: the menu knows no variables, and '%' only makes the " +
                   "next character plain, so this reads " + QuoteText(reads),
               -1, "write the folder itself (%: gives the drive the menu started from); %%" + name +
                       "%% shows the percent signs");
}

// The hook's results: counted inside a quoted stretch, and each letter
// escaped with `%` looked at.
static void FollowResult(int value, long offset, int event)
{
    bool escaped = event == MENU_ESCAPED;
    if (s_mistakes.quoteOpen >= 0 && !escaped) {
        if (value == ',') {
            s_mistakes.commas++;
            if (s_mistakes.lineBreaks) s_mistakes.commaAfterBreak = true;
        } else if (value == '{' || value == '}') {
            s_mistakes.braces++;
        } else if (value == '\n') {
            s_mistakes.lineBreaks++;
        }
    }
    if (escaped && value < 0x80 && isalpha(value) && offset > s_mistakes.variableEnd) CheckVariable(offset - 1);
    if (escaped) s_mistakes.escapes.push_back(offset);
}

static long CountOf(const std::string &text, char c) { return (long)std::count(text.begin(), text.end(), c); }

// A command whose file part leaves a double quote open, so that the shell
// gets the whole command as the file: a warning when a file's name in it
// has parameters after it, as the closing quote belongs after that name. A
// quote open to the end of a lone name ("Program Files\x.exe) takes in
// nothing.
static void CheckCommandQuote(const FieldScan &field)
{
    std::string command = Shown(field);
    char text[COMMAND_BUFFER];
    CommandParts parts;
    SplitMenuCommand(command, text, &parts);
    if (CountOf(parts.file, '"') % 2 == 0) return;
    size_t start = strrchr(parts.file, '"') - parts.file + 1;
    size_t name = start;
    for (size_t end; (end = command.find(' ', start)) != std::string::npos; start = end + 1) {
        if (HasFileExtension(command.substr(start, end - start))) {
            AddWarning("double-quote-open", PositionOfText(field, end),
                       "the double quote before " + QuoteShort(command.substr(name, end - name)) +
                           " is never closed, so the whole command is the file to start: " +
                           QuoteShort(command.substr(end + 1)) + " is no parameter",
                       -1, "type the closing \" here, after the file's name");
            // Certain where the file is on the disc under that name.
            std::string file = command.substr(name, end - name);
            std::vector<bool> fromDrive;
            for (size_t i = name; i < end; i++) fromDrive.push_back(i < field.fromDrive.size() && field.fromDrive[i]);
            const CheckSettings &settings = *Followed().settings;
            bool found = settings.checkFiles && IsFileOnDisc(file, fromDrive, settings);
            FixWarning("close the double quote after " + QuoteShort(file), found,
                       {Edit(PositionOfText(field, end), 0, "\"")});
            return;
        }
    }
}

// Double quotes across a structural comma: a name or description with a
// quote open, ended by a comma, and a field after it that closes one.
static void CheckDoubleQuotes(int kind, const FieldScan &field)
{
    std::string text = Shown(field);
    if (s_mistakes.doubleQuoteComma >= 0 && CountOf(text, '"') % 2 == 1) {
        std::string closed = text.substr(0, text.find('"'));
        AddWarning("double-quote-comma", s_mistakes.doubleQuoteComma,
                   std::string("double quotes do not quote in a menu: this comma ends the ") +
                       s_mistakes.doubleQuoteField + " after " + QuoteShort(s_mistakes.doubleQuoteText) + ", and " +
                       QuoteShort(closed) + (kind == MENU_NAME ? " starts the next entry" : " is the command"),
                   -1, "write %, for a comma in text, or put the whole field between apostrophes");
        FixWarning("write %, for the comma", true, {Edit(s_mistakes.doubleQuoteComma, 1, "%,")});
    }
    s_mistakes.doubleQuoteComma = -1;
    if ((kind == MENU_NAME || kind == MENU_DESCRIPTION) && field.token == TOK_COMMA &&
        CountOf(text, '"') % 2 == 1) {
        s_mistakes.doubleQuoteComma = field.tokenPos;
        s_mistakes.doubleQuoteText = text.substr(text.rfind('"') + 1);
        s_mistakes.doubleQuoteField = kind == MENU_NAME ? "name" : "description";
    }
}

static bool IsListed(const std::vector<long> &list, long pos)
{
    return std::find(list.begin(), list.end(), pos) != list.end();
}

static bool IsDigitAt(long pos)
{
    return pos >= 0 && pos < (long)s_mistakes.bytes->size() && isdigit((unsigned char)(*s_mistakes.bytes)[pos]);
}

static bool IsHexDigitAt(long pos)
{
    return pos >= 0 && pos < (long)s_mistakes.bytes->size() && isxdigit((unsigned char)(*s_mistakes.bytes)[pos]);
}

// A `%` that makes the byte after it plain and so does not show, where the
// author meant a percent sign: after a digit in a name or a description
// ("20% off"), before two hexadecimal digits in a command (a URL's "%20").
// The escapes of the format's own characters are meant.
static void CheckPercentSigns(int kind, const FieldScan &field)
{
    const std::string &bytes = *s_mistakes.bytes;
    const char *what = kind == MENU_NAME ? "name" : kind == MENU_COMMAND ? "command" : "description";
    for (long escaped : s_mistakes.escapes) {
        long percent = escaped - 1;
        if (field.firstPos < 0 || percent < field.firstPos || escaped > field.tokenPos) continue;
        std::string written;
        if (kind == MENU_COMMAND) {
            if (!IsHexDigitAt(escaped) || !IsHexDigitAt(escaped + 1)) continue;
            // `%DATE%` is warned of as a variable.
            if (IsListed(s_mistakes.variables, percent)) continue;
            written = bytes.substr(percent, 3);
        } else {
            if (!IsDigitAt(percent - 1) || strchr("%',:{}", bytes[escaped])) continue;
            long start = percent - 1;
            while (IsDigitAt(start - 1)) start--;
            written = bytes.substr(start, percent + 1 - start);
        }
        AddWarning("percent-sign", percent,
                   QuoteText(written) + (kind == MENU_COMMAND ? " is no URL escape here" : " shows no percent sign") +
                       ": '%' only makes the next character plain and does not show, so the " + what + " reads " +
                       QuoteShort(Shown(field)),
                   -1, "write %% for a percent sign");
        FixWarning("write %% for the percent sign", true, {Edit(percent, 0, "%")});
    }
}

// How to write a comma, a brace or an apostrophe as text.
static std::string HowToWrite(char c)
{
    if (c == '\'') return "write %' for an apostrophe in text";
    return std::string("write %") + c + " for " + (c == ',' ? "a comma" : "a brace") +
           " in text, or put the whole field between apostrophes";
}

// A backslash written to escape the comma, brace or apostrophe after it, as
// in C: only `%` escapes, so the comma ends the field, the brace opens or
// closes a level, the apostrophe a quoted stretch. A path ending in a
// backslash (another one, or a drive's colon, in its word) is meant.
static void CheckBackslashEscapes(int kind, const FieldScan &field)
{
    const std::string &bytes = *s_mistakes.bytes;
    for (size_t i = 0; i < field.raw.size() && i < field.rawPos.size(); i++) {
        long pos = field.rawPos[i], next = pos + 1;
        if (field.raw[i] != '\\' || bytes[pos] != '\\' || next >= (long)bytes.size()) continue;
        char c = bytes[next];
        bool opens = IsListed(s_mistakes.quoteOpens, next), closes = IsListed(s_mistakes.quoteCloses, next);
        if (c == '\'' ? !opens && !closes : !strchr(",{}", c) || field.tokenPos != next) continue;
        long start = pos;
        while (start > field.firstPos && !EndsWord(bytes[start - 1])) start--;
        std::string word = bytes.substr(start, next - start);
        if (word.find_first_of(":\\") != word.size() - 1) continue;
        const char *what = kind == MENU_NAME ? "name" : "description";
        std::string effect = c == ',' ? std::string("the comma after it ends the ") + what
                             : c == '{' ? "the '{' after it opens a level of entries"
                             : c == '}' ? "the '}' after it closes the level of entries"
                             : opens    ? "the apostrophe after it opens a quoted stretch"
                                        : "the apostrophe after it closes the quoted stretch";
        // A backslash alone is shown with the text before it.
        AddWarning("backslash-escape", pos,
                   "the backslash in " + QuoteShort(word.size() > 1 ? word : Shown(field)) +
                       " escapes nothing: only '%' does, so " + effect,
                   -1, HowToWrite(c));
        const std::vector<long> &open = Followed().openBraces;
        long paired = -1;
        for (long escaped : s_mistakes.escapedOpens)
            if (c == '}' && !open.empty() && open.back() == escaped + 1) paired = escaped;
        if (c == '{') s_mistakes.escapedOpens.push_back(pos);
        if (paired < 0) FixWarning("write % in place of the backslash", true, {Edit(pos, 1, "%")});
        else FixWarning("write % in place of the backslashes before '{' and '}'", true,
                        {Edit(paired, 1, "%"), Edit(pos, 1, "%")});
    }
}

// Each field as the loading read it, of the kind given (MENU_TITLE ...).
static void CheckField(int kind, const FieldScan &field)
{
    if (kind == MENU_NAME || kind == MENU_COMMAND || kind == MENU_DESCRIPTION) CheckPercentSigns(kind, field);
    if (kind == MENU_NAME || kind == MENU_DESCRIPTION) CheckBackslashEscapes(kind, field);
    s_mistakes.escapes.clear();
    s_mistakes.quoteOpens.clear();
    s_mistakes.quoteCloses.clear();
    s_mistakes.variables.clear();
    if (kind == MENU_TITLE || kind == MENU_OPTION) {
        s_mistakes.doubleQuoteComma = -1;
        return;
    }
    // Both checks are of double quotes; most fields have none.
    if (field.text.find('"') == std::string::npos) {
        s_mistakes.doubleQuoteComma = -1;
        return;
    }
    CheckDoubleQuotes(kind, field);
    if (kind == MENU_COMMAND) CheckCommandQuote(field);
}

// Whether a command starts something by its look: some word of it is a
// file, a path or an address ("notepad readme.txt", "explorer %:\").
static bool CommandLooksLikeFile(const std::string &command)
{
    for (size_t start = 0; start < command.size();) {
        size_t end = std::min(command.find(' ', start), command.size());
        std::string word = command.substr(start, end - start);
        word.erase(std::remove(word.begin(), word.end(), '"'), word.end());
        if (LooksLikeFileToStart(word)) return true;
        start = end + 1;
    }
    return false;
}

static bool IsSpaceAt(long pos)
{
    return pos >= 0 && pos < (long)s_mistakes.bytes->size() && isspace((unsigned char)(*s_mistakes.bytes)[pos]);
}

// Whether the header already has the option in effect: moving another
// there would leave the author two to choose from.
static bool IsOptionInEffect(int option)
{
    const CheckedMenu &menu = *Followed().menu;
    return option == OPTION_SORTED ? menu.sorted : option == OPTION_INSTALL ? menu.install : menu.hasSize;
}

// The option entry's fix: the option written at the header's end, and the
// entry taken out of the list. An entry with a command took the fields
// after the option's comma, so only the option and that comma go, and the
// command names the entry the author meant; an entry with no command goes
// whole, up to the next entry, or from the text before it to its `}`.
static void FixOptionAsEntry(const FieldScan *fields, int count, int option, const std::string &name,
                             const std::string &command, long headerEnd)
{
    const FieldScan &field = fields[0];
    const FieldScan &last = fields[count - 1];
    const std::string &bytes = *s_mistakes.bytes;
    // The option is copied as the file writes it, which is plain text.
    if (IsOptionInEffect(option) || field.firstPos < 0 || field.textEnd < 0 ||
        bytes.compare(field.firstPos, field.textEnd - field.firstPos, name) != 0)
        return;
    bool rest = false;  // the entry has text after its command
    for (int i = 2; i < count; i++) rest = rest || !Shown(fields[i]).empty();
    long start = field.firstPos, end;
    if (!command.empty() && field.token == TOK_COMMA) {
        end = field.tokenPos + 1;
    } else if (command.empty() && !rest && last.token == TOK_COMMA) {
        end = last.tokenPos + 1;
    } else if (command.empty() && !rest && last.token == TOK_CLOSE) {
        while (IsSpaceAt(start - 1)) start--;
        end = field.textEnd;
    } else {
        return;  // a level of its own, text the entry keeps, or the file's end
    }
    if (bytes[end - 1] == ',')
        while (IsSpaceAt(end)) end++;
    bool afterComma = headerEnd > 0 && bytes[headerEnd - 1] == ',';
    std::vector<std::string> names;
    if (!command.empty()) names.push_back(command);
    FixWarning("move " + QuoteText(name) + " to the header", false,
               {Edit(headerEnd, 0, (afterComma ? " " : ", ") + name), Edit(start, end - start, "")}, names, name);
}

// An option written as an entry: "sorted" or "size=..." are never names
// anyone means, "install" is not one when there is no command.
static void CheckOptionAsEntry(const FieldScan *fields, int count, const std::string &name,
                               const std::string &command, long headerEnd)
{
    int option = FindMenuOption(name.c_str());
    if (option == OPTION_NONE || (option == OPTION_INSTALL && !command.empty())) return;
    if (name.find(' ') != std::string::npos) return;  // "size=... more": a name running on, warned of as such
    std::string message = "an entry named " + QuoteText(name) +
                          " is an item, not an option: options are read only in the header";
    if (!command.empty()) message += "; it takes " + QuoteShort(command) + " as its command";
    AddWarning("option-entry", fields[0].firstPos, message, headerEnd,
               "write " + QuoteText(", " + name) + " here, at the end of the header");
    FixOptionAsEntry(fields, count, option, name, command, headerEnd);
}

// A name whose last word is the file to start: "Viewer view.exe".
static void CheckNameEndsInFile(const FieldScan &name, const std::string &command)
{
    std::string text = Shown(name);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    size_t space = text.rfind(' ');
    if (space == std::string::npos || space == 0) return;
    std::string word = text.substr(space + 1);
    if (!LooksLikeFileToStart(word) || CommandLooksLikeFile(command)) return;
    const CheckSettings &settings = *Followed().settings;
    std::vector<bool> fromDrive;
    for (size_t i = space + 1; i < text.size(); i++)
        fromDrive.push_back(i < name.fromDrive.size() && name.fromDrive[i]);
    if (settings.checkFiles && !IsFileOnDisc(word, fromDrive, settings)) return;
    std::string before = text.substr(0, space);
    AddWarning("name-ends-in-file", PositionOfText(name, space),
               "the name " + QuoteShort(text) + " ends in " + QuoteShort(word) +
                   (settings.checkFiles ? ", a file on the disc," : ", which looks like a file to start,") +
                   (command.empty() ? " and the entry has no command"
                                    : " and the command " + QuoteShort(command) + " does not") +
                   ": a comma missing after " + QuoteShort(before.substr(before.rfind(' ') + 1)) + "?",
               -1, "type a comma here to end the name");
    // Certain only where the file check found the file.
    if (settings.checkFiles)
        FixWarning("type a comma after " + QuoteShort(before), true, {Edit(PositionOfText(name, space), 0, ",")},
                   {before});
}

// Each entry the loading read: fields holds its name, command and
// description, as far as they were read.
static void CheckEntry(const FieldScan *fields, int count, bool inserted)
{
    long runOnBreak = s_mistakes.runOnBreak;
    s_mistakes.runOnBreak = -1;
    if (!inserted) return;
    const FieldScan &name = fields[0];
    std::string nameText = Shown(name);
    std::string command = count > 1 ? Shown(fields[1]) : "";
    bool nameIsFile = nameText.find(' ') == std::string::npos && LooksLikeFileToStart(nameText);

    // The entry after a description that ran on: shifted by a missing comma.
    if (runOnBreak >= 0 && nameIsFile && !CommandLooksLikeFile(command))
        AddWarning("missing-comma", runOnBreak,
                   "the description " + QuoteShort(s_mistakes.runOnText) +
                       " runs on over a line break, and the entry after it reads as name " +
                       QuoteShort(nameText) + " with command " + QuoteShort(command) +
                       ": a comma missing at the end of line " + Number(LineOf(runOnBreak)) + "?",
                   -1, "type a comma here to end the description");
    if (runOnBreak >= 0 && nameIsFile && !CommandLooksLikeFile(command) && s_mistakes.runOnNext.size())
        FixWarning("end line " + Number(LineOf(runOnBreak)) + " with a comma", false, {Edit(runOnBreak, 0, ",")},
                   {s_mistakes.runOnNext});
    if (count > 2 && fields[2].token == TOK_COMMA && fields[2].lastBreakPos >= 0) {
        s_mistakes.runOnBreak = fields[2].lastBreakPos;
        s_mistakes.runOnText = Shown(fields[2]);
        // The name of the entry the line after the break starts, once mended.
        std::string text = Shown(fields[2]);
        s_mistakes.runOnNext.clear();
        bool bytewise = !fields[2].converted || fields[2].raw == text;
        for (size_t i = 0; bytewise && i < text.size() && i < fields[2].rawPos.size(); i++)
            if (fields[2].rawPos[i] == fields[2].lastBreakPos && text[i] == ' ')
                s_mistakes.runOnNext = text.substr(i + 1);
    }

    CheckOptionAsEntry(fields, count, nameText, command, Followed().headerEnd);
    if (fields[count - 1].token != TOK_OPEN) CheckNameEndsInFile(name, command);
}

static void TakeReport(const MenuReport &report)
{
    if (report.event == MENU_QUOTE) FollowQuote(report.inQuote, report.offset);
    else FollowResult(report.token, report.offset, report.event);
}

const RuleSet g_mistakeRules = {StartCheckingMistakes, TakeReport, CheckField, CheckEntry, NULL, NULL};
