/*
 * Whether a menu's text shows as its author wrote it: a file saved as UTF-8
 * without the byte-order mark that marks it (the program then reads it in
 * the ANSI code page), a character the users' code page cannot show, bytes
 * that are not UTF-8 in a file marked as UTF-8, and byte-order marks the
 * program does not take; and whether a sorted name's place is the one the
 * program gives it. Each finding below yields "" or the message, with the
 * place it points at and a note on how to mend it.
 */
#include "rules.h"
#include "../engine/quote.h"
#include "../text/codepage.h"
#include "../text/collate.h"

#include <string.h>

#include <algorithm>

static struct {
    bool unmarkedUtf8; // the file is UTF-8 without the mark: not yet warned of
    bool unsureSort;   // a sorted name whose order is not known exactly: not yet warned of
} s_encoding;

static std::string CodePageName(unsigned codePage) { return "code page " + std::to_string(codePage); }

// In a UTF-8 file without the mark: the field's first character beyond
// ASCII, and how the field reads as UTF-8 and as the users see it.
static std::string FindUnmarkedUtf8(const std::string &raw, unsigned codePage, long *at, std::string *note)
{
    for (size_t i = 0; i < raw.size(); i++) {
        if (Utf8SequenceAt(raw, i) < 2) continue;
        *at = (long)i;
        *note = "save the file as UTF-8 with a byte-order mark (\"UTF-8 with BOM\"), or in " +
                CodePageName(codePage);
        return "the file is UTF-8 without a byte-order mark, which the program reads in " +
               CodePageName(codePage) + ": " + QuoteUtf8(raw) + " will show as " + QuoteText(raw);
    }
    return "";
}

// In a file with the mark, or any file where the code page is UTF-8: the
// first byte that is not UTF-8, or the first character that the code page
// cannot show; shown is the field as it shows.
static std::string FindUnshownChar(const std::string &raw, const std::string &shown, unsigned codePage,
                                   long *at, std::string *note)
{
    for (size_t i = 0; i < raw.size();) {
        TextChar ch;
        ReadTextChar(CP_UTF8, raw.data() + i, (int)(raw.size() - i), &ch);
        *at = (long)i;
        if (!ch.defined) {
            *note = "save the file as UTF-8 again, or write the character with the editor's own means";
            if (codePage == CP_UTF8)
                return "bytes that are not UTF-8 where the code page is UTF-8: " + QuoteUtf8(raw) +
                       " will show as " + QuoteText(shown);
            return "bytes that are not UTF-8 in a file marked as UTF-8: " + QuoteText(shown) +
                   " shows the default character of " + CodePageName(codePage) + " for them";
        }
        char bytes[4];
        bool usedDefault = false;
        EncodeText(codePage, ch.wide, ch.wideCount, bytes, sizeof(bytes), &usedDefault);
        if (usedDefault) {
            *note = "the machines the disc is for cannot show it: write the text without it, or "
                    "choose their code page with --codepage";
            return QuoteUtf8(raw.substr(i, ch.byteCount)) + " cannot be shown in " + CodePageName(codePage) +
                   ": " + QuoteUtf8(raw) + " will show as " + QuoteText(shown);
        }
        i += ch.byteCount;
    }
    return "";
}

// A byte-order mark the program does not take: UTF-16 at the start, or a
// UTF-8 mark later than the first byte (as when two files were joined).
static std::string FindOtherByteOrderMark(const std::string &bytes, long *at, std::string *note)
{
    *note = "save the file as UTF-8 with a byte-order mark, or in the ANSI code page of its users";
    *at = 0;
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)
        return "the file is UTF-16 (it starts with a UTF-16 byte-order mark): the program cannot read it as "
               "text";
    size_t mark = bytes.find("\xEF\xBB\xBF", 1);
    if (mark == std::string::npos) return "";
    *at = (long)mark;
    *note = "remove the byte-order mark here; only the file's first bytes may hold one";
    return "a UTF-8 byte-order mark that is not at the start of the file: the program shows it as text";
}

// Whether the field shows as written: UTF-8 without the mark, characters
// the code page cannot show, bytes that are not UTF-8 in a marked file.
static void CheckFieldText(const FieldScan &field)
{
    std::string raw = field.raw.substr(0, std::min(field.raw.size(), field.raw.find('\0')));
    unsigned codePage = Followed().settings->codePage;
    long at = 0;
    std::string note, message;
    const char *code = "utf8-unmarked";
    // Where the users' code page is UTF-8, every file is read as UTF-8.
    if (field.converted || codePage == CP_UTF8) {
        message = FindUnshownChar(raw, Shown(field), codePage, &at, &note);
        code = message.compare(0, 5, "bytes") == 0 ? "invalid-utf8" : "unshown-char";
    } else if (s_encoding.unmarkedUtf8) {
        message = FindUnmarkedUtf8(raw, codePage, &at, &note);
        if (!message.empty()) s_encoding.unmarkedUtf8 = false;
    }
    if (message.empty()) return;
    Warn(code, field.rawPos[at], message, note);
    // The one fix that changes the encoding: the mark makes the program
    // read the file as UTF-8. An editor keeps its own encoding, so the
    // server leaves this fix to the note.
    if (!strcmp(code, "utf8-unmarked"))
        FixWarning("save the file as UTF-8 with the mark", true, {Edit(0, 0, "\xEF\xBB\xBF")}, {}, "", true);
}

// In a sorted menu, the first name holding a character whose place the
// checker's order is known not to match, or, in a double-byte code page,
// any character beyond ASCII.
static void CheckSortedName(const FieldScan &field)
{
    unsigned codePage = Followed().settings->codePage;
    if (!Followed().menu->sorted || !s_encoding.unsureSort) return;
    std::string name = Shown(field);
    int at = FindUnsureSortByte(codePage, name.c_str());
    if (at < 0) return;
    s_encoding.unsureSort = false;
    std::string why = IsSortApproximate(codePage) ? "in code page " + Number(codePage) + " the checker knows the platform's order "
                                    "for ASCII only"
                                  : "the order of " + QuoteText(name.substr(at, 1)) + " is not known exactly";
    Warn("sort-order", PositionOfText(field, at),
         "the sorted place shown for " + QuoteText(name) + " may not be the program's: " + why,
         "the Windows build of quorlan-check sorts as the platform does");
}

// The UTF-16 file's text in UTF-8 with the mark, its line ends as they
// are; "" where it does not decode whole (an odd byte at the end, half of
// a surrogate pair alone), which no save could keep.
static std::string ConvertUtf16(const std::string &bytes)
{
    bool little = bytes[0] == '\xFF';
    if (bytes.size() % 2) return "";
    std::vector<uint16_t> units;
    for (size_t i = 2; i < bytes.size(); i += 2) {
        unsigned char first = bytes[i], second = bytes[i + 1];
        units.push_back(little ? (uint16_t)(first | second << 8) : (uint16_t)(first << 8 | second));
    }
    for (size_t i = 0; i < units.size(); i++) {
        bool high = units[i] >= 0xD800 && units[i] < 0xDC00, low = units[i] >= 0xDC00 && units[i] < 0xE000;
        if (low) return "";
        if (high && (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] >= 0xE000)) return "";
        if (high) i++;
    }
    std::string text(units.size() * 3, '\0');
    int length = units.empty() ? 0 : EncodeText(CP_UTF8, units.data(), (int)units.size(), &text[0], (int)text.size(), NULL);
    if (!units.empty() && length <= 0) return "";
    return "\xEF\xBB\xBF" + text.substr(0, length);
}

static void StartEncoding()
{
    const std::string &bytes = *Followed().bytes;
    s_encoding.unmarkedUtf8 = bytes.compare(0, 3, "\xEF\xBB\xBF") != 0 && IsUtf8Text(bytes);
    s_encoding.unsureSort = true;
    long at;
    std::string note, message = FindOtherByteOrderMark(bytes, &at, &note);
    if (!message.empty()) Warn(at == 0 ? "utf16-file" : "stray-mark", at, message, note);
    if (!message.empty() && at > 0) FixWarning("remove the byte-order mark", true, {Edit(at, 3, "")});
    // The one other fix that changes the encoding, as the note says.
    std::string utf8 = message.empty() || at > 0 ? "" : ConvertUtf16(bytes);
    if (!utf8.empty())
        FixWarning("save the file as UTF-8 with the mark", true, {Edit(0, (long)bytes.size(), utf8)}, {}, "", true);
}

static void TakeField(int kind, const FieldScan &field)
{
    CheckFieldText(field);
    if (kind == MENU_NAME) CheckSortedName(field);
}

const RuleSet g_encodingRules = {StartEncoding, NULL, TakeField, NULL, NULL, NULL};
