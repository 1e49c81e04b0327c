/*
 * The checker's diagnostics: each warning points where the author types the
 * mend, and its note says how, at the same place or where the mend goes.
 * They are listed in the order of the places they point at.
 */
#include "engine.h"
#include "quote.h"

#include <assert.h>

#include <algorithm>

// Every code a rule set gives, in one table: the report's severity and the
// documentation's one line come from here. An error is a mistake that
// makes the program lose text the author wrote, or read the rest of the
// file as something else.
const WarningCode g_warningCodes[] = {
    {"nul-byte", true, "a NUL byte ends a field: the bytes after it up to the next comma or brace are lost"},
    {"field-cut", true, "a field is longer than the program keeps: the rest is lost"},
    {"header-brace", true, "a '}' ends the header: everything up to the next '{' is skipped", true},
    {"no-list", true, "no '{' follows the header: the tree shows only \"Explore CD\"", true},
    {"open-quote", true, "an apostrophe opens a quote that is never closed: the rest of the file is text", true},
    {"text-after-list", true, "text after the entry list's closing brace is never read"},
    {"open-list", false, "the file ends inside the entry list; every entry is kept"},
    {"nesting-depth", false, "nesting deeper than the levels kept: the inner entries join a level above", true},
    {"title-space", false, "the file begins with white space, so the title starts with a space"},
    {"missing-comma", false, "a name, command or description runs on over a line break: a comma missing", true},
    {"empty-name", false, "an entry with an empty name shows as an item with no text"},
    {"option-case", false, "an option in another case than the program takes"},
    {"option-space", false, "an option with a space at either end or before '='"},
    {"option-comma", false, "an option with more text after it: a comma missing"},
    {"unknown-option", false, "an option the program does not know"},
    {"size-format", false, "a size= that does not scan as WIDTHxHEIGHT"},
    {"size-empty", false, "a size= that gives no window of at least 1 x 1 pixels"},
    {"size-cramped", false, "a size= too small for the window's controls"},
    {"missing-file", false, "a command's file that is not on the disc, or not by that name"},
    {"unlisted-file", false, "a command's file not found in a folder whose listing lacks names it could not read"},
    {"apostrophe-in-word", false, "an apostrophe between letters opens or closes a quoted stretch", true},
    {"quote-after-word", false, "an apostrophe right after a word opens a quote that swallows an entry", true},
    {"percent-variable", false, "%NAME% is not expanded: '%' only makes the next character plain"},
    {"percent-sign", false, "a '%' meant as a percent sign, or as a URL's escape, does not show"},
    {"backslash-escape", false, "a backslash meant to escape a comma, brace or apostrophe escapes nothing", true},
    {"double-quote-comma", false, "double quotes do not quote: a comma between them ends the field", true},
    {"double-quote-open", false, "a double quote left open in a command makes the whole command the file"},
    {"option-entry", false, "an entry named like an option: options are read only in the header", true},
    {"name-ends-in-file", false, "a name that ends in the file to start: a comma missing", true},
    {"utf8-unmarked", false, "UTF-8 without the byte-order mark: the program reads it in the ANSI code page"},
    {"unshown-char", false, "a character the users' code page cannot show"},
    {"invalid-utf8", false, "bytes that are not UTF-8 in a file read as UTF-8"},
    {"utf16-file", false, "a UTF-16 file, which the program cannot read as text"},
    {"stray-mark", false, "a byte-order mark after the start of the file, shown as text"},
    {"sort-order", false, "a sorted name whose place the checker cannot tell for sure"},
};
const int g_warningCodeCount = sizeof(g_warningCodes) / sizeof(g_warningCodes[0]);

// Yields the code's row, or null for a code no rule set gives.
const WarningCode *FindWarningCode(const std::string &code)
{
    for (int i = 0; i < g_warningCodeCount; i++)
        if (code == g_warningCodes[i].code) return &g_warningCodes[i];
    return NULL;
}

static std::vector<MenuWarning> *s_warnings; // the check's list
static const std::string *s_bytes;            // the whole file
static bool s_utf8File;                       // the file starts with the UTF-8 mark
static bool s_utf16File;                      // or with a UTF-16 one

void StartDiagnostics(std::vector<MenuWarning> *warnings, const std::string &bytes)
{
    s_warnings = warnings;
    s_bytes = &bytes;
    s_utf8File = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    s_utf16File = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0;
}

std::string Number(long n) { return std::to_string(n); }

// Adds a warning of the code (one of g_warningCodes) at pos with its note
// at notePos (-1: at pos as well).
void AddWarning(const char *code, long pos, const std::string &message, long notePos, const std::string &note)
{
    const WarningCode *row = FindWarningCode(code);
    assert(row);
    MenuWarning warning = MenuWarning(); // a warning without a fix copies no unset flag
    warning.code = code;
    warning.error = row && row->error;
    warning.offset = ClampedPosition(pos);
    warning.line = LineOf(pos);
    warning.column = ColumnOf(pos);
    warning.message = message;
    if (notePos < 0) notePos = pos;
    warning.noteLine = LineOf(notePos);
    warning.noteColumn = ColumnOf(notePos);
    warning.note = note;
    warning.hasFix = false;
    s_warnings->push_back(std::move(warning));
}

FixEdit Edit(long offset, long length, const std::string &text)
{
    FixEdit edit;
    edit.offset = ClampedPosition(offset);
    edit.length = std::max(0L, std::min(length, ClampedPosition(offset + length) - edit.offset));
    edit.text = text;
    edit.line = LineOf(edit.offset);
    edit.column = ColumnOf(edit.offset);
    edit.endLine = LineOf(edit.offset + edit.length);
    edit.endColumn = ColumnOf(edit.offset + edit.length);
    // A file with the mark is UTF-8; any other is in the users' code page,
    // but text that gives it the mark at its start, and so makes it UTF-8,
    // is UTF-8 too. Bytes of the file copied into a fix may not be UTF-8:
    // the reports, and the editor, take the replacement character.
    bool utf8 = s_utf8File || (offset == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0);
    edit.shown = utf8 ? ShowUtf8(text) : ShowText(text);
    return edit;
}

// Whether the edit touches a line end. Between a CR and its LF (where a
// `%` makes the CR text and the line ends at the LF) it would leave the
// author's CR LF a lone CR and a bare LF; joining a CR and an LF that
// stand apart (a NUL or a stray mark between them taken out) would write
// a CR LF into a file of LFs, and one line break where an editor shows two.
static bool TouchesLineEnd(const std::string &bytes, const FixEdit &edit)
{
    long size = (long)bytes.size(), end = edit.offset + edit.length;
    char before = edit.offset > 0 ? bytes[edit.offset - 1] : 0, after = end < size ? bytes[end] : 0;
    char first = edit.text.empty() ? after : edit.text[0], last = edit.text.empty() ? before : edit.text.back();
    bool splits = (before == '\r' && edit.offset < size && bytes[edit.offset] == '\n') ||
                  (after == '\n' && end > 0 && bytes[end - 1] == '\r');
    return splits || (before == '\r' && first == '\n') || (last == '\r' && after == '\n');
}

static bool IsMarkedStart(const std::string &bytes) { return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0; }

// The file's first bytes, as many as the mark has, once the edits (in
// the file's order) are made.
static std::string StartAfterEdits(const std::string &bytes, const std::vector<FixEdit> &edits)
{
    const size_t kept = 3;
    std::string start;
    long at = 0;
    for (const FixEdit &edit : edits) {
        if (start.size() >= kept || edit.offset < at) break;
        start.append(bytes, std::min((size_t)at, bytes.size()), edit.offset - at);
        start += edit.text;
        at = edit.offset + edit.length;
    }
    if (start.size() < kept) start.append(bytes, std::min((size_t)at, bytes.size()), kept);
    return start.substr(0, kept);
}

void FixWarning(const std::string &title, bool safe, const std::vector<FixEdit> &edits,
                const std::vector<std::string> &names, const std::string &option, bool reencodes)
{
    if (s_warnings->empty() || edits.empty()) return;
    // A UTF-16 file's bytes are not its text (the program reads them as a
    // code page's): any fix but its save as UTF-8 would write bytes of
    // another encoding into it, a `}` or a NUL byte removed splitting its
    // characters. Its other fixes are found in its text once it is saved so.
    if (s_utf16File && !reencodes) return;
    const std::string &bytes = *s_bytes;
    std::vector<FixEdit> sorted = edits;
    std::sort(sorted.begin(), sorted.end(), [](const FixEdit &a, const FixEdit &b) { return a.offset < b.offset; });
    for (const FixEdit &edit : sorted)
        if (TouchesLineEnd(bytes, edit)) return;
    // No fix gives the file the UTF-8 mark at its start, or takes it away
    // (the white space before a stray mark removed), unless it says it
    // saves the file so: the program would read every byte beyond ASCII
    // in another encoding.
    if (!reencodes && IsMarkedStart(bytes) != IsMarkedStart(StartAfterEdits(bytes, sorted))) return;
    MenuWarning &warning = s_warnings->back();
    warning.hasFix = true;
    warning.fix.title = title;
    warning.fix.safe = safe;
    warning.fix.edits = std::move(sorted);
    warning.fix.names = names;
    warning.fix.option = option;
    warning.fix.reencodes = reencodes;
}

// Adds a warning whose note points at the same place.
void Warn(const char *code, long pos, const std::string &message, const std::string &note)
{
    AddWarning(code, pos, message, -1, note);
}

// Puts the warnings in the file's order; those at one place stay in the
// order they were found. Most are found in that order already: a menu of
// a warning in every entry is not sorted again.
void FinishDiagnostics()
{
    auto before = [](const MenuWarning &a, const MenuWarning &b) { return a.offset < b.offset; };
    if (!std::is_sorted(s_warnings->begin(), s_warnings->end(), before))
        std::stable_sort(s_warnings->begin(), s_warnings->end(), before);
}
