/*
 * Where things stand in the menu file: lines, byte columns, and the place
 * in the file of a byte of a field's kept text.
 *
 * Lines count from 1 and end at a line feed, so a CR LF pair is one break;
 * columns count bytes from 1. A UTF-8 byte-order mark is not text: editors
 * start the first line after it.
 */
#include "engine.h"
#include "quote.h"
#include "../text/codepage.h"

#include <ctype.h>

#include <algorithm>

static struct {
    const std::string *bytes;
    std::vector<long> lineStarts; // where each line starts, from line 1
} s_positions;

// Readies the line table for the file's bytes, which must outlive the check.
void StartPositions(const std::string &bytes)
{
    s_positions.bytes = &bytes;
    s_positions.lineStarts.assign(1, 0);
    for (size_t i = 0; i < bytes.size(); i++)
        if (bytes[i] == '\n') s_positions.lineStarts.push_back((long)i + 1);
}

// Yields the offset within the file, from 0 to just past its last byte.
long ClampedPosition(long pos) { return std::max(0L, std::min(pos, (long)s_positions.bytes->size())); }

// Yields the line of a byte offset: one more than the line feeds before it.
long LineOf(long pos)
{
    const std::vector<long> &starts = s_positions.lineStarts;
    return (long)(std::upper_bound(starts.begin(), starts.end(), ClampedPosition(pos)) - starts.begin());
}

// Yields the byte column of an offset on its line, from 1.
long ColumnOf(long pos)
{
    long line = LineOf(pos);
    long start = s_positions.lineStarts[line - 1];
    if (line == 1 && s_positions.bytes->compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = std::min(3L, ClampedPosition(pos));
    return ClampedPosition(pos) - start + 1;
}

// Whether the run of white space starting at pos holds a line feed.
bool RunHoldsLineFeed(long pos)
{
    const std::string &bytes = *s_positions.bytes;
    for (size_t i = (size_t)pos; i < bytes.size() && isspace((unsigned char)bytes[i]); i++)
        if (bytes[i] == '\n') return true;
    return false;
}

// The field's text as the program keeps it: a NUL-terminated string.
std::string Shown(const FieldScan &field) { return std::string(field.text.c_str()); }

// Where the field's byte at index stands; past its last byte, just after it.
long PositionOf(const FieldScan &field, size_t index)
{
    if (index < field.rawPos.size()) return field.rawPos[index];
    return field.textEnd >= 0 ? field.textEnd : field.tokenPos;
}

// Yields where the byte at index of the field's kept text stands. Text
// converted from UTF-8 is in the users' code page: its characters and the
// file's are walked side by side, one for one.
long PositionOfText(const FieldScan &field, size_t index)
{
    if (!field.converted) return PositionOf(field, index);
    unsigned codePage = GetShownCodePage(); // what the text was converted to
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

// Whether the byte at pos is a letter, or with digits a letter or a digit;
// a byte above 127 is mostly a letter in the code pages, and a part of one
// in UTF-8.
static bool IsLetterByte(long pos, bool digits)
{
    const std::string &bytes = *s_positions.bytes;
    if (pos < 0 || pos >= (long)bytes.size()) return false;
    unsigned char c = bytes[pos];
    return isalpha(c) || c >= 0x80 || (digits && isdigit(c));
}

// Whether the apostrophe at pos is one of a word's: between two letters
// ("Don't", "1990's"), or right after a letter where the word ends ("the
// kids'"), before white space (a line end among it), a comma, a brace or
// the end of the file. An author who meant it to quote puts it at a
// field's start or after a space.
bool IsWordApostrophe(long pos)
{
    const std::string &bytes = *s_positions.bytes;
    if (pos < 0 || pos >= (long)bytes.size() || bytes[pos] != '\'') return false;
    if (IsLetterByte(pos - 1, true) && IsLetterByte(pos + 1, false)) return true;
    if (!IsLetterByte(pos - 1, false)) return false;
    if (pos + 1 == (long)bytes.size()) return true;
    unsigned char next = bytes[pos + 1];
    return isspace(next) || next == ',' || next == '{' || next == '}';
}
