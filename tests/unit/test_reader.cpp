/*
 * The menu file's reader, one result at a time: what bytes and tokens a
 * file yields, written out as text with the tokens in angle brackets.
 */
#include <gtest/gtest.h>

#include "menu_test_util.h"

namespace {

// Writes one reader result readably: text bytes as themselves (others as
// \xNN), tokens as <{> <}> <,> <EOF>.
std::string ShowResult(int result)
{
    switch (result) {
    case TOK_EOF: return "<EOF>";
    case TOK_OPEN: return "<{>";
    case TOK_CLOSE: return "<}>";
    case TOK_COMMA: return "<,>";
    }
    if (result < 0 || result > 255) return "<bad " + std::to_string(result) + ">";
    if (result >= 32 && result < 127) return std::string(1, (char)result);
    char hex[8];
    snprintf(hex, sizeof(hex), "\\x%02X", result);
    return hex;
}

// Yields everything the reader gives for the bytes up to its first end of
// file, then what three further calls give (each should be <EOF> again).
std::string ReadAll(const std::string &bytes, const char *startDir)
{
    ResetMenuState(startDir);
    FILE *stream = OpenMenuBytes(bytes);
    std::string shown;
    for (int guard = 0; guard < 100000; guard++) {
        int result = ReadMenuChar(stream);
        shown += ShowResult(result);
        if (result == TOK_EOF) break;
    }
    for (int i = 0; i < 3; i++) shown += ShowResult(ReadMenuChar(stream));
    fclose(stream);
    return shown;
}

struct ReaderCase {
    const char *what;
    std::string bytes;
    const char *expected; // without the three trailing <EOF> of ReadAll
    const char *startDir;
};

const ReaderCase kReaderCases[] = {
    // Folding: a run of white space is one space, unless the previous
    // result or the next byte is structural.
    {"run between words", "a   b", "a b<EOF>", "E:\\"},
    {"every white-space byte", "a \t\n\v\f\r b", "a b<EOF>", "E:\\"},
    {"run around a comma", "a , b", "a<,>b<EOF>", "E:\\"},
    {"run after an open brace", "{  x", "<{>x<EOF>", "E:\\"},
    {"run after a close brace", "}  x", "<}>x<EOF>", "E:\\"},
    {"run before a close brace", "x  }", "x<}><EOF>", "E:\\"},
    {"runs between tokens", " { } , ", "<{><}><,><EOF>", "E:\\"},
    {"line break joins lines", "Readme\r\nSetup", "Readme Setup<EOF>", "E:\\"},
    {"start of file gives a space", "  x", " x<EOF>", "E:\\"},
    {"start of file before a brace", " \n{x", "<{>x<EOF>", "E:\\"},
    {"end of file after text", "x \r\n", "x <EOF>", "E:\\"},
    {"only white space", " \n ", " <EOF>", "E:\\"},
    {"empty file", "", "<EOF>", "E:\\"},
    // The previous result decides, not the source: quoted or escaped
    // white space is text, and the run beside it still folds to a space.
    {"quoted space then a run", "'a ' b", "a  b<EOF>", "E:\\"},
    {"empty quotes between runs", "a '' b", "a  b<EOF>", "E:\\"},
    {"escaped space then a run", "a % b", "a  b<EOF>", "E:\\"},
    {"empty quotes before a comma", "x '' ,", "x <,><EOF>", "E:\\"},
    {"quoted space at start", "' ' x", "  x<EOF>", "E:\\"},
    // Quotes: nothing special inside but the apostrophe and %.
    {"quoted comma and runs", "'a,  b'", "a,  b<EOF>", "E:\\"},
    {"two quoted stretches", "'abc'  'def'", "abc def<EOF>", "E:\\"},
    {"quoted braces", "'{x}'", "{x}<EOF>", "E:\\"},
    {"quoted line break", "'a\r\nb'", "a\\x0D\\x0Ab<EOF>", "E:\\"},
    {"two apostrophes yield nothing", "''", "<EOF>", "E:\\"},
    {"quote never closed", "'a, {b}\n", "a, {b}\\x0A<EOF>", "E:\\"},
    {"quote opened at the end", "x '", "x <EOF>", "E:\\"},
    // The escape.
    {"escaped comma", "%,", ",<EOF>", "E:\\"},
    {"escaped percent", "%%", "%<EOF>", "E:\\"},
    {"escaped apostrophe", "%'", "'<EOF>", "E:\\"},
    {"escaped braces", "%{%}", "{}<EOF>", "E:\\"},
    {"escaped apostrophe inside quotes", "'it%'s'", "it's<EOF>", "E:\\"},
    {"escaped line feed", "%\nx", "\\x0Ax<EOF>", "E:\\"},
    {"escaped carriage return before line feed", "%\r\nx", "\\x0D x<EOF>", "E:\\"},
    {"escape at end of file", "a%", "a<EOF>", "E:\\"},
    {"escape then run", "a%  b", "a  b<EOF>", "E:\\"},
    // The start-up drive.
    {"drive letter", "%:\\setup.exe", "E:\\setup.exe<EOF>", "E:\\"},
    {"drive letter inside quotes", "'%:\\a b'", "E:\\a b<EOF>", "E:\\"},
    {"drive letter at end of file", "%:", "E:<EOF>", "E:\\"},
    {"network folder", "%:", "\\:<EOF>", "\\\\server\\share"},
    {"no start-up folder", "%:x", "\\x00:x<EOF>", ""},
    // Bytes are bytes: none above 127 is white space or end of file, and a
    // zero byte is text.
    {"byte 255 is not end of file", "a\xff" "b", "a\\xFFb<EOF>", "E:\\"},
    {"byte 160 is not white space", "a\xa0" "b", "a\\xA0b<EOF>", "E:\\"},
    {"zero byte", BYTES("a\0b"), "a\\x00b<EOF>", "E:\\"},
};

void PrintTo(const ReaderCase &c, std::ostream *out) { *out << c.what; }

class ReaderTokens : public testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTokens, YieldsTheExpectedResults)
{
    const ReaderCase &c = GetParam();
    EXPECT_EQ(ReadAll(c.bytes, c.startDir), std::string(c.expected) + "<EOF><EOF><EOF>")
        << c.what << ": " << testing::PrintToString(c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Reader, ReaderTokens, testing::ValuesIn(kReaderCases));

// ReadMenuField: the text up to the next token, cut at the limit, and the
// token that ended it.
struct FieldCase {
    std::string bytes;
    int limit;
    const char *text;
    int token;
};

const FieldCase kFieldCases[] = {
    {"abc, d", 10, "abc", TOK_COMMA},
    {"abc{", 10, "abc", TOK_OPEN},
    {"abc}", 10, "abc", TOK_CLOSE},
    {"abc", 10, "abc", TOK_EOF},
    {"abcdef,", 3, "abc", TOK_COMMA},
    {"abc,", 3, "abc", TOK_COMMA},
    {",", 3, "", TOK_COMMA},
    {"'x,y' z}", 10, "x,y z", TOK_CLOSE},
    {BYTES("ab\0cd,"), 10, "ab", TOK_COMMA},
};

TEST(ReaderField, StopsAtTheTokenAndKeepsAtMostTheLimit)
{
    for (const FieldCase &c : kFieldCases) {
        ResetMenuState();
        FILE *stream = OpenMenuBytes(c.bytes);
        char buffer[16];
        memset(buffer, 'X', sizeof(buffer));
        int token = ReadMenuField(stream, buffer, c.limit, MENU_NAME);
        fclose(stream);
        EXPECT_STREQ(buffer, c.text) << testing::PrintToString(c.bytes) << " limit " << c.limit;
        EXPECT_EQ(token, c.token) << testing::PrintToString(c.bytes) << " limit " << c.limit;
        EXPECT_EQ(buffer[c.limit + 1], 'X') << "wrote past the limit: " << testing::PrintToString(c.bytes);
    }
}

// The reader's state carries over from field to field: a quote opened in
// one field swallows what would have been the tokens after it.
TEST(ReaderField, QuoteCarriesAcrossCalls)
{
    const struct {
        std::string bytes;
        const char *fields; // each field's text then its token
    } cases[] = {
        {"a 'b, c' , d", "[a b, c]<,>[d]<EOF>"},
        {"a 'b, c , d", "[a b, c , d]<EOF>"},
        {"'' , x", "[]<,>[x]<EOF>"},
    };
    for (const auto &c : cases) {
        ResetMenuState();
        FILE *stream = OpenMenuBytes(c.bytes);
        std::string shown;
        char buffer[64];
        int token;
        do {
            token = ReadMenuField(stream, buffer, 63, MENU_NAME);
            shown += "[" + std::string(buffer) + "]" + ShowResult(token);
        } while (token != TOK_EOF);
        fclose(stream);
        EXPECT_EQ(shown, c.fields) << testing::PrintToString(c.bytes);
    }
}

} // namespace
