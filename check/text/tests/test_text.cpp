/*
 * The checker's text knowledge against what Windows does, measured under
 * Wine (the differential tests compare everything; these rows pin the
 * cases a fault would break first): code page bytes and UTF-8 decoded as
 * the platform decodes them, invalid input included; characters a code
 * page cannot hold becoming its default; the tree's order of names; and
 * where that order is only approximate.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../codepage.h"
#include "../collate.h"

namespace {

std::vector<uint16_t> Decode(unsigned codePage, const std::string &bytes)
{
    uint16_t wide[64];
    int n = DecodeText(codePage, bytes.data(), (int)bytes.size(), wide, 64);
    return std::vector<uint16_t>(wide, wide + n);
}

std::string Units(const std::vector<uint16_t> &units)
{
    std::string out;
    char hex[8];
    for (uint16_t unit : units) {
        snprintf(hex, sizeof(hex), " %04X", unit);
        out += hex;
    }
    return out;
}

TEST(CodePage, DecodesBytesAsWindowsDoes)
{
    const struct {
        unsigned codePage;
        const char *bytes;
        std::vector<uint16_t> wide;
        bool defined;
    } rows[] = {
        {1252, "\x80", {0x20AC}, true},          // the euro sign, not U+0080
        {1252, "\x81", {0x0081}, false},         // undefined: shown as a control
        {1252, "\xE9", {0x00E9}, true},
        {1251, "\xC6", {0x0416}, true},          // Cyrillic Zhe
        {1250, "\xB9", {0x0105}, true},          // a with ogonek
        {1254, "\xD0", {0x011E}, true},          // G with breve
        {1256, "\xC7", {0x0627}, true},          // Arabic alef
        {1257, "\xE8", {0x010D}, true},          // c with caron
        {1253, "\xAA", {0xF8F9}, false},         // undefined: a private character
        {1255, "\xE0", {0x05D0}, true},
        {874, "\xDB", {0xF8C1}, false},
        {932, "\x83\x4A", {0x30AB}, true},       // katakana Ka
        {932, "\x81\x45", {0x30FB}, true},       // the middle dot itself
        {932, "\x81\x7F", {0x30FB}, false},      // an invalid pair: the default
        {932, "\x81", {0x30FB}, false},          // a lead byte at the end
        {932, "\xF0\x40", {0xE000}, false},      // the user-defined area
        {932, "\xA0", {0xF8F0}, false},
        {936, "\x80", {0x20AC}, true},
        {949, "\xB0\xA1", {0xAC00}, true},       // Hangul Ga
        {950, "\xA4\x40", {0x4E00}, true},
    };
    for (const auto &row : rows) {
        std::string bytes = row.bytes;
        EXPECT_EQ(Units(row.wide), Units(Decode(row.codePage, bytes))) << row.codePage << " " << row.bytes;
        TextChar ch;
        ReadTextChar(row.codePage, bytes.data(), (int)bytes.size(), &ch);
        EXPECT_EQ(row.defined, ch.defined) << row.codePage << " " << row.bytes;
        EXPECT_EQ((int)bytes.size(), ch.byteCount) << row.codePage << " " << row.bytes;
    }
    // A lead byte before a NUL: the default, and the NUL kept.
    EXPECT_EQ(" 30FB 0000", Units(Decode(932, std::string("\x81\0", 2))));
}

TEST(CodePage, DecodesUtf8AsWindowsDoes)
{
    const struct {
        const char *bytes;
        std::vector<uint16_t> wide;
    } rows[] = {
        {"Caf\xC3\xA9", {'C', 'a', 'f', 0xE9}},
        {"\xEF\xBB\xBF" "A", {0xFEFF, 'A'}},                 // a byte-order mark is a character
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"\xC3", {0xFFFD}},
        {"\x80\xBF", {0xFFFD, 0xFFFD}},                       // each stray continuation byte
        {"\xC0\x80", {0xFFFD, 0xFFFD}},                       // overlong: C0 cannot lead
        {"\xE0\x80\x80", {0xFFFD, 0xFFFD}},                   // overlong: stops at its second byte
        {"\xED\xA0\x80", {0xFFFD, 0xFFFD}},                   // a surrogate
        {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD}},       // above U+10FFFF
        {"\xF5\x80", {0xFFFD, 0xFFFD}},
        {"\xE0\xA0" "A", {0xFFFD, 'A'}},                      // cut short: the A stays
        {"A\xE0" "A", {'A', 0xFFFD}},                          // cut by the end: the A goes too
        {"\xE2\x82\xAC\xC3", {0x20AC, 0xFFFD}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Units(row.wide), Units(Decode(CP_UTF8, row.bytes))) << row.bytes;
}

TEST(CodePage, EncodesWithTheDefaultCharacter)
{
    const struct {
        unsigned codePage;
        std::vector<uint16_t> wide;
        const char *bytes;
        bool usedDefault;
    } rows[] = {
        {1252, {0x20AC, 0xE9}, "\x80\xE9", false},
        {1252, {0x0081}, "\x81", false},
        {1252, {0x0100}, "?", true},                 // A with macron: not "A"
        {1251, {0xE9, 0x0416}, "?\xC6", true},       // Cyrillic has no e acute
        {1258, {0x1EA7}, "?", true},                 // not decomposed into a and a mark
        {1258, {'a', 0x0300}, "a\xCC", false},
        {932, {0x30AB}, "\x83\x4A", false},
        {950, {0x2550}, "\xF9\xF9", false},          // of two pairs, the one Windows picks
        {932, {0x2170}, "\xFA\x40", false},          // small roman one: IBM's pair, not NEC's
        {1252, {0xD83D, 0xDE00}, "??", true},        // each half of a pair
        {CP_UTF8, {0xD83D, 'A'}, "\xEF\xBF\xBD" "A", true},
    };
    for (const auto &row : rows) {
        char bytes[16];
        bool usedDefault = !row.usedDefault;
        int n = EncodeText(row.codePage, row.wide.data(), (int)row.wide.size(), bytes, sizeof(bytes),
                           &usedDefault);
        EXPECT_EQ(row.bytes, std::string(bytes, n > 0 ? n : 0)) << row.codePage << Units(row.wide);
        EXPECT_EQ(row.usedDefault, usedDefault) << row.codePage << Units(row.wide);
    }
}

TEST(CodePage, CountsAsThePlatform)
{
    uint16_t wide[8];
    char bytes[8];
    const uint16_t text[] = {'a', 0x20AC, 0};
    EXPECT_EQ(3, DecodeText(1252, "a\x80", -1, NULL, 0));        // the NUL counts
    EXPECT_EQ(3, DecodeText(1252, "a\x80", -1, wide, 8));
    EXPECT_EQ(0, wide[2]);
    EXPECT_EQ(0, DecodeText(1252, "a\x80", -1, wide, 2));        // too small: nothing
    EXPECT_EQ(0, DecodeText(1252, "a", 0, wide, 8));
    EXPECT_EQ(0, DecodeText(437, "a", 1, wide, 8));               // unknown code page
    EXPECT_EQ(5, EncodeText(CP_UTF8, text, -1, NULL, 0, NULL));
    EXPECT_EQ(0, EncodeText(CP_UTF8, text, -1, bytes, 4, NULL));
    EXPECT_EQ(3, EncodeText(1252, text, -1, bytes, 8, NULL));
}

int Sign(int order) { return order < 0 ? -1 : order > 0; }

TEST(Collate, OrdersAsTheTree)
{
    const struct {
        unsigned codePage;
        const char *a, *b;
        int order;
    } rows[] = {
        {1252, "coop", "co-op", -1},      // hyphens weigh only when all else is equal
        {1252, "co'op", "co-op", -1},
        {1252, "co-op", "coopa", -1},
        {1252, "ab", "a-c", -1},
        {1252, "a-b-c", "ab-c", 1},       // then by where the hyphen stands
        {1252, "_x", "10", -1},           // symbols before digits
        {1252, "10", "9", -1},            // digit by digit
        {1252, "9", "a", -1},             // digits before letters
        {1252, "ab", "Ab", -1},           // case only breaks ties
        {1252, "abcdx", "abcdy", -1},     // past the weights an order key holds
        {1252, "abc", "abcd", -1},        // a key's count: the shorter is less
        {1252, "Ab", "ac", -1},
        {1252, "e", "\xE9", -1},          // accented letters beside their base letter
        {1252, "\xE9", "f", -1},
        {1252, "\xE9" "a", "eb", -1},
        {1252, "\xE6", "ae", 0},          // ae ligature: a and e
        {1252, "a\xAD" "b", "ab", 0},     // the soft hyphen weighs nothing
        {1252, "\x80", "$", 1},           // the euro sign among the currency signs
        {1252, "x\x81", "x", 1},          // an undefined byte weighs as its control
        {1251, "\xC0", "\xE0", 1},        // Cyrillic A after a
        {1251, "z", "\xE0", -1},          // Latin before Cyrillic
        {1250, "\xB9", "b", -1},          // Polish a ogonek before b
        {1250, "\xB9", "a", 1},
        {1257, "\xE8", "c", 1},           // Lithuanian c caron between c and d
        {1257, "\xE8", "d", -1},
        {874, "\xA1\xE0", "\xE0\xA1", -1},  // Thai: a leading vowel weighs with the consonant after it
        {1258, "a\xCC", "\xE0", 0},         // Vietnamese: a and a combining grave make one letter
        {1255, "\xE0\xC0", "\xE0", 1},      // Hebrew: a point weighs after the letter
        {949, "_\\", "\\", -1},            // ASCII as measured in each locale: Korean
                                          // weighs the backslash unlike English
        {932, "b", "\x83\x4A", -1},         // approximate: ASCII before the rest
    };
    for (const auto &row : rows) {
        EXPECT_EQ(row.order, Sign(CompareNames(row.codePage, row.a, row.b)))
            << row.codePage << " \"" << row.a << "\" \"" << row.b << "\"";
        EXPECT_EQ(-row.order, Sign(CompareNames(row.codePage, row.b, row.a)))
            << row.codePage << " \"" << row.b << "\" \"" << row.a << "\"";
        // Where the order keys differ, they order the texts alike.
        unsigned long long keyA = MakeNameOrderKey(row.codePage, row.a), keyB = MakeNameOrderKey(row.codePage, row.b);
        if (keyA != keyB) {
            EXPECT_EQ(row.order, keyA < keyB ? -1 : 1) << row.codePage << " \"" << row.a << "\" \"" << row.b << "\"";
        }
    }
}

TEST(Collate, PlacesLikeTheTree)
{
    // The control walks from the first sibling: an item goes before the
    // first it is less than, and right after the first it equals.
    const char *siblings[] = {"Alpha", "x", "x\xAD", "zeta"};
    EXPECT_EQ(0, FindSortedPlace(1252, siblings, 4, "alpha"));
    EXPECT_EQ(1, FindSortedPlace(1252, siblings, 4, "Alpha"));
    EXPECT_EQ(2, FindSortedPlace(1252, siblings, 4, "x"));
    EXPECT_EQ(4, FindSortedPlace(1252, siblings, 4, "zz"));
    EXPECT_EQ(0, FindSortedPlace(1252, siblings, 0, "x"));
}

TEST(Collate, SaysWhereTheOrderIsApproximate)
{
    EXPECT_FALSE(IsSortApproximate(1252));
    EXPECT_FALSE(IsSortApproximate(874));
    EXPECT_TRUE(IsSortApproximate(932));
    EXPECT_TRUE(IsSortApproximate(437));
    EXPECT_EQ(-1, FindUnsureSortByte(1252, "Caf\xE9 \x80\x81"));
    EXPECT_EQ(-1, FindUnsureSortByte(936, "Setup"));
    EXPECT_EQ(3, FindUnsureSortByte(936, "abc\xB0\xA1"));
    EXPECT_EQ(0x0409u, FindCodePageLocale(1252));
    EXPECT_EQ(0u, FindCodePageLocale(437));
}

} // namespace
