/*
 * Menu text as the users' machines show it. Menu text is bytes in the ANSI
 * code page of the disc's users; it is decoded in that code page, so that
 * the reports hold the real characters, in UTF-8, and what the user reads.
 */
#include "quote.h"
#include "../text/codepage.h"

#include <stdio.h>

static unsigned s_codePage = 1252; // the code page menu bytes are shown in

void SetShownCodePage(unsigned codePage) { s_codePage = codePage; }

unsigned GetShownCodePage() { return s_codePage; }

// Appends a character in UTF-8, by the same conversion as everything else.
static void AppendUtf8(const TextChar &ch, std::string *out)
{
    if (ch.wideCount == 1 && ch.wide[0] < 0x80) {
        *out += (char)ch.wide[0];
        return;
    }
    char utf8[8];
    int length = EncodeText(CP_UTF8, ch.wide, ch.wideCount, utf8, sizeof(utf8), NULL);
    out->append(utf8, length);
}

// Calls show(ch, bytes, count) for each character of the bytes as the
// code page reads them. UTF-8 is read as the platform's calls read a text,
// up to and with its NUL: a character cut short ends at the byte that cut
// it, not at the text's end (there, as Wine does, it may take the NUL).
template <class Show>
static void ForEachShownChar(const std::string &bytes, Show show, unsigned codePage = s_codePage)
{
    for (size_t at = 0; at < bytes.size();) {
        TextChar ch;
        unsigned char c = bytes[at];
        // Printable ASCII where a character starts is that character in
        // every code page: most of a menu's text, and no table to ask.
        if (c >= 0x20 && c < 0x7F) {
            ch = {1, 1, {c, 0}, true};
            show(ch, bytes.data() + at, 1);
            at++;
            continue;
        }
        int left = (int)(bytes.size() - at);
        ReadTextChar(codePage, bytes.c_str() + at, left + (codePage == CP_UTF8), &ch);
        int count = ch.byteCount < left ? ch.byteCount : left;
        show(ch, bytes.data() + at, count);
        at += count;
    }
}

// Yields the bytes of the UTF-8 character at `at`: 0 for an invalid
// sequence, 1 for ASCII, more for a character beyond.
int Utf8SequenceAt(const std::string &bytes, size_t at)
{
    TextChar ch;
    ReadTextChar(CP_UTF8, bytes.data() + at, (int)(bytes.size() - at), &ch);
    return ch.defined ? ch.byteCount : 0;
}

// Yields true when the bytes are UTF-8 beyond ASCII and nothing else: as
// an editor writes a file saved as UTF-8, and seldom text in a code page.
bool IsUtf8Text(const std::string &bytes)
{
    bool beyondAscii = false;
    for (size_t i = 0; i < bytes.size();) {
        int length = Utf8SequenceAt(bytes, i);
        if (!length) return false;
        beyondAscii = beyondAscii || length > 1;
        i += length;
    }
    return beyondAscii;
}

// Yields the bytes as the users' machines show them, in UTF-8.
std::string ShowText(const std::string &bytes)
{
    std::string out;
    ForEachShownChar(bytes, [&](const TextChar &ch, const char *, int) { AppendUtf8(ch, &out); });
    return out;
}

std::string ShowUtf8(const std::string &bytes)
{
    std::string out;
    ForEachShownChar(bytes, [&](const TextChar &ch, const char *, int) { AppendUtf8(ch, &out); }, CP_UTF8);
    return out;
}

// Yields the bytes as read in the code page, in double quotes, with
// control characters written as \r, \n, \t or \xNN, and bytes the code
// page does not define as \xNN, so that nothing disturbs a terminal; but
// as shown, bytes that are not UTF-8 are the replacement character that
// machines whose code page is UTF-8 show for them.
static std::string QuoteIn(unsigned codePage, const std::string &bytes, bool shown)
{
    std::string out = "\"";
    bool replaced = shown && codePage == CP_UTF8;
    ForEachShownChar(bytes, [&](const TextChar &ch, const char *raw, int count) {
        unsigned code = ch.wide[0]; // a control character is one unit
        if (code == '\r') out += "\\r";
        else if (code == '\n') out += "\\n";
        else if (code == '\t') out += "\\t";
        else if (code < 0x20 || code == 0x7F || (!ch.defined && !replaced)) {
            for (int i = 0; i < count; i++) {
                char hex[8];
                snprintf(hex, sizeof(hex), "\\x%02X", (unsigned char)raw[i]);
                out += hex;
            }
        } else AppendUtf8(ch, &out);
    }, codePage);
    return out + "\"";
}

// The bytes as the users' machines show them, quoted.
std::string QuoteText(const std::string &bytes) { return QuoteIn(s_codePage, bytes, true); }

// The bytes read as UTF-8, quoted: what the author of a UTF-8 file wrote.
std::string QuoteUtf8(const std::string &bytes) { return QuoteIn(CP_UTF8, bytes, false); }

// Yields a JSON string for UTF-8 text: quote, backslash and control
// characters escaped.
std::string QuoteJson(const std::string &utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char hex[8];
                snprintf(hex, sizeof(hex), "\\u%04x", c);
                out += hex;
            } else {
                out += (char)c;
            }
        }
    }
    return out + "\"";
}
