/*
 * The menu file's one lexical layer: each call yields one byte of field text
 * or one structural token. Outside apostrophes, runs of white space fold to a
 * single space, which disappears next to a structural token; `{`, `}` and `,`
 * are tokens; `%` escapes the next byte and `%:` gives the start-up drive.
 */
#include "menu.h"

#include <ctype.h>

int g_bInQuote = 0;
int g_nLastToken = TOK_EOF;

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

// Yields the result for a byte c, just read, that is not plain text: the
// folding, quoting, tokens and escapes. Folding depends on the previous
// result, kept in g_nLastToken, not on the source text.
static int ReadSpecialChar(FILE *stream, int c)
{
    for (;;) {
        if (!g_bInQuote) {
            int skipped = 0;
            while (c != EOF && isspace(c)) {
                skipped = 1;
                c = fgetc(stream);
            }
            if (skipped && !IsToken(g_nLastToken) && !IsStructural(c)) {
                ungetc(c, stream);
                return g_nLastToken = ' ';
            }
        }
        if (c != '\'') break;
        g_bInQuote = !g_bInQuote;
        c = fgetc(stream);
    }

    if (!g_bInQuote) {
        if (c == '{') return g_nLastToken = TOK_OPEN;
        if (c == '}') return g_nLastToken = TOK_CLOSE;
        if (c == ',') return g_nLastToken = TOK_COMMA;
    }
    if (c == '%') {
        c = fgetc(stream);
        if (c == ':') {
            ungetc(c, stream);
            c = (unsigned char)g_szStartDir[0];
        }
    }
    return g_nLastToken = (c == EOF ? TOK_EOF : c);
}

// Yields the next byte (0-255) or token (below 0). Small enough for the
// compiler to inline the plain bytes' way into the field loop below.
int ReadMenuChar(FILE *stream)
{
    int c = fgetc(stream);
    if (s_plain.is[c + 1]) return g_nLastToken = c;
    return ReadSpecialChar(stream, c);
}

// Collects one field's text into buffer (limit bytes at most, then a NUL),
// dropping what goes past the limit, and yields the token that ended it.
int ReadMenuField(FILE *stream, char *buffer, int limit)
{
    int length = 0;
    int c;
    while ((c = ReadMenuChar(stream)) >= 0) {
        if (length < limit) buffer[length++] = (char)c;
    }
    buffer[length] = '\0';
    return c;
}
