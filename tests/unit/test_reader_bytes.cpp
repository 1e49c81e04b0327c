/*
 * Every byte value through the reader, outside apostrophes and inside: the
 * reader takes most bytes by a quick way of its own, and a byte classed
 * wrongly there (a white-space byte taken as text, say) shows only here.
 */
#include <gtest/gtest.h>

#include "menu_test_util.h"

#include <vector>

namespace {

// The reader's results for the bytes, up to and including its end of file.
std::vector<int> ReadResults(const std::string &bytes)
{
    ResetMenuState("E:\\");
    FILE *stream = OpenMenuBytes(bytes);
    std::vector<int> results;
    int result;
    do {
        result = ReadMenuChar(stream);
        results.push_back(result);
    } while (result != TOK_EOF && results.size() < 16);
    fclose(stream);
    return results;
}

// What the byte b yields between the letters a and b, as the file format
// has it: white space (the "C" locale's six bytes) folds to one space, the
// structural three are tokens, an apostrophe opens a quote that the end of
// the file closes, `%` makes the next byte text, anything else is text.
std::vector<int> ExpectedOutside(int b)
{
    if (b == ' ' || (b >= '\t' && b <= '\r')) return {'a', ' ', 'b', TOK_EOF};
    if (b == '{') return {'a', TOK_OPEN, 'b', TOK_EOF};
    if (b == '}') return {'a', TOK_CLOSE, 'b', TOK_EOF};
    if (b == ',') return {'a', TOK_COMMA, 'b', TOK_EOF};
    if (b == '\'' || b == '%') return {'a', 'b', TOK_EOF};
    return {'a', b, 'b', TOK_EOF};
}

// Inside apostrophes only the apostrophe (closing) and `%` are special.
std::vector<int> ExpectedInside(int b)
{
    if (b == '\'' || b == '%') return {'a', 'b', TOK_EOF};
    return {'a', b, 'b', TOK_EOF};
}

TEST(ReaderBytes, EveryByteBetweenTwoLetters)
{
    for (int b = 0; b < 256; b++) {
        std::string outside = std::string("a") + (char)b + "b";
        EXPECT_EQ(ReadResults(outside), ExpectedOutside(b)) << "byte " << b << " outside quotes";
        std::string inside = std::string("'a") + (char)b + "b'";
        EXPECT_EQ(ReadResults(inside), ExpectedInside(b)) << "byte " << b << " inside quotes";
    }
}

} // namespace
