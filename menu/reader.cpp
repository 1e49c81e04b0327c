/*
 * The menu file's one lexical layer: each call yields one byte of field text
 * or one structural token. Outside apostrophes, runs of white space fold to a
 * single space, which disappears next to a structural token; `{`, `}` and `,`
 * are tokens; `%` escapes the next byte and `%:` gives the start-up drive.
 */
#include "menu.h"

#include <ctype.h>
#include <string.h>

int g_bInQuote = 0;
int g_nLastToken = TOK_EOF;
long g_nMenuOffset = 0;
BOOL g_bUtf8Menu = FALSE;
static WCHAR s_szWide[MAX_DESCRIPTION + 1]; // a field on its way from UTF-8 to the ANSI code page,
static char s_szConverted[MAX_DESCRIPTION]; // and where it arrives
MENUHOOKPROC g_pfnMenuHook = NULL;

static constexpr int IsStructural(int c)
{
    return c == '{' || c == '}' || c == ',';
}

static int IsToken(int result)
{
    return result == TOK_OPEN || result == TOK_CLOSE || result == TOK_COMMA;
}

// Bytes that are text as they stand, inside apostrophes and out: all but
// white space (the "C" locale's six, which the program never leaves), the
// apostrophe, `%` and the structural three. Most of a menu is such bytes,
// and they skip the steps below; the loading's time goes mostly here.
// Indexed by fgetc's result plus one, so that EOF (-1) is no plain byte.
struct PlainBytes {
    bool is[257];
};

static constexpr PlainBytes MakePlainBytes()
{
    PlainBytes plain = {};
    for (int c = 0; c < 256; c++) {
        bool white = c == ' ' || (c >= '\t' && c <= '\r');
        plain.is[c + 1] = !white && c != '\'' && c != '%' && !IsStructural(c);
    }
    return plain;
}

static constexpr PlainBytes s_plain = MakePlainBytes();

// Tells the hook, if any, what the loading just did, and where the reader stands.
void ReportMenu(int event, int token, long offset, long length, const char *text)
{
    if (!g_pfnMenuHook) return;
    MenuReport report = {event, token, offset, length, text, g_bInQuote, g_bUtf8Menu};
    g_pfnMenuHook(&report);
}

// The reader's stream operations, counting the bytes taken.
static int TakeByte(FILE *stream)
{
    int c = fgetc(stream);
    if (c != EOF) g_nMenuOffset++;
    return c;
}

static void PushBack(int c, FILE *stream)
{
    if (c != EOF && ungetc(c, stream) != EOF) g_nMenuOffset--;
}

// Yields the result for a byte c, just taken, that is not plain text: the
// folding, quoting, tokens and escapes, with *at set to where it stands
// and *event to how the hook hears of it. Folding depends on the previous
// result, kept in g_nLastToken, not on the source text.
static int ReadSpecialResult(FILE *stream, int c, long *at, int *event)
{
    for (;;) {
        if (!g_bInQuote) {
            long run = g_nMenuOffset - 1; // where c stands, if it starts a run
            int skipped = 0;
            while (c != EOF && isspace(c)) {
                skipped = 1;
                c = TakeByte(stream);
            }
            if (skipped && !IsToken(g_nLastToken) && !IsStructural(c)) {
                PushBack(c, stream);
                *at = run;
                *event = MENU_FOLDED;
                return ' ';
            }
        }
        if (c != '\'') break;
        g_bInQuote = !g_bInQuote;
        ReportMenu(MENU_QUOTE, '\'', g_nMenuOffset - 1, 0, NULL);
        c = TakeByte(stream);
    }

    if (!g_bInQuote) {
        if (c == '{') c = TOK_OPEN;
        else if (c == '}') c = TOK_CLOSE;
        else if (c == ',') c = TOK_COMMA;
    }
    if (c == '%') {
        c = TakeByte(stream);
        if (c == ':') {
            PushBack(c, stream); // the `%` is now the last byte taken
            c = (unsigned char)g_szStartDir[0];
            *event = MENU_DRIVE;
        } else if (c != EOF) {
            *event = MENU_ESCAPED;
        }
    }
    *at = g_nMenuOffset - (c != EOF);
    return c == EOF ? TOK_EOF : c;
}

// The reader's way for a byte c, just read, that is not plain text. Never
// inlined: apart, it leaves the plain bytes' way below small enough to be
// inlined in turn, without a stack frame.
__attribute__((noinline)) static int ReadSpecialChar(FILE *stream, int c)
{
    if (c != EOF) g_nMenuOffset++;
    long at;
    int event = MENU_RESULT;
    int result = ReadSpecialResult(stream, c, &at, &event);
    ReportMenu(event, result, at, 0, NULL);
    return g_nLastToken = result;
}

// Yields the next byte (0-255) or token (below 0). Small enough for the
// compiler to inline the plain bytes' way into the field loop below.
int ReadMenuChar(FILE *stream)
{
    int c = fgetc(stream);
    if (!s_plain.is[c + 1]) return ReadSpecialChar(stream, c);
    if (g_pfnMenuHook) ReportMenu(MENU_RESULT, c, g_nMenuOffset, 0, NULL);
    g_nMenuOffset++;
    return g_nLastToken = c;
}

// Takes a UTF-8 byte-order mark at the very start of the file, which marks
// its text as UTF-8; the mark itself is not text. A file without one is
// read from its first byte, in the ANSI code page, as it always was.
void SkipByteOrderMark(FILE *stream)
{
    static const unsigned char mark[3] = {0xEF, 0xBB, 0xBF};
    int taken = 0, c;
    while (taken < 3 && (c = fgetc(stream)) == mark[taken]) taken++;
    g_bUtf8Menu = taken == 3;
    if (g_bUtf8Menu) g_nMenuOffset = 3;
    // Most files start with no byte of a mark: their first byte goes back,
    // where a seek would drop the stream's buffer and read the disc again.
    else if (taken == 0) ungetc(c, stream);
    else rewind(stream);
}

// Converts a field of a UTF-8 file, in place, to the ANSI code page that
// the dialog, the tree and the shell take. A character the code page
// cannot hold becomes its default character, never a look-alike. No
// character takes more bytes in the code page than in UTF-8, so the text
// stays within the size it was read in. Where the code page is UTF-8
// itself, the field is already what they take (and Windows refuses
// WC_NO_BEST_FIT_CHARS for it); where a conversion fails, the field keeps
// the bytes it was read with rather than lose its text. The NUL goes in
// with the text, as it does into the platform's own calls, but the count
// says where the text ends: a character cut short just before the NUL may
// take it into its replacement character (Wine does so).
static void ConvertMenuText(char *text, int size)
{
    if (GetACP() == CP_UTF8) return;
    int wide = MultiByteToWideChar(CP_UTF8, 0, text, -1, s_szWide, MAX_DESCRIPTION + 1);
    if (wide && s_szWide[wide - 1] == 0) wide--;
    int converted = wide ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s_szWide, wide, s_szConverted,
                                               size - 1, NULL, NULL)
                         : 0;
    if (!converted) return;
    memcpy(text, s_szConverted, converted);
    text[converted] = '\0';
}

// Yields how many of the first length bytes of UTF-8 text hold whole
// characters: length, less the first bytes of a last character whose
// other bytes lie beyond it, which only next (the byte after them, or -1)
// can tell. Bytes that are not UTF-8 count as whole.
int FindWholeCharsEnd(const char *text, int length, int next)
{
    if ((next & 0xC0) != 0x80) return length;
    int start = length; // walks back over up to three continuation bytes
    while (start > 0 && length - start < 3 && ((unsigned char)text[start - 1] & 0xC0) == 0x80) start--;
    if (start == 0) return length;
    unsigned char lead = (unsigned char)text[start - 1];
    int need = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
    return length - (start - 1) < need ? start - 1 : length;
}

// Collects one field's text into buffer (limit bytes at most, then a NUL),
// dropping what goes past the limit, and yields the token that ended it.
// The hook hears of it as a field of the kind given (MENU_TITLE ...).
int ReadMenuField(FILE *stream, char *buffer, int limit, int kind)
{
    long length = 0;
    int c, next = -1; // next: the first text byte past the limit
    while ((c = ReadMenuChar(stream)) >= 0) {
        if (length < limit) buffer[length] = (char)c;
        else if (length == limit) next = c;
        length++;
    }
    // In a UTF-8 file the limit may fall inside a character: the field ends
    // before it, not with a default character that stands for its bytes.
    long kept = length < limit ? length : g_bUtf8Menu ? FindWholeCharsEnd(buffer, limit, next) : limit;
    buffer[kept] = '\0';
    if (g_bUtf8Menu) ConvertMenuText(buffer, limit + 1);
    ReportMenu(kind, c, g_nMenuOffset, length, buffer);
    return c;
}
