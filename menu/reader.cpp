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

static int IsStructural(int c)
{
    return c == '{' || c == '}' || c == ',';
}

static int IsToken(int result)
{
    return result == TOK_OPEN || result == TOK_CLOSE || result == TOK_COMMA;
}

// Yields the next byte (0-255) or token (below 0). Folding depends on the
// previous result, kept in g_nLastToken, not on the source text.
int ReadMenuChar(FILE *stream)
{
    int c;
    for (;;) {
        c = fgetc(stream);
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
