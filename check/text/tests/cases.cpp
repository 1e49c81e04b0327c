/*
 * The differential tests' inputs and printing (see cases.h). Everything is
 * made from fixed seeds, so both sides see the same inputs in the same
 * order without a file between them.
 */
#include "cases.h"

#include "../codepage.h"
#include "../collate.h"

#include <stdlib.h>
#include <string.h>

std::vector<unsigned> ListAnsiCodePages()
{
    std::vector<unsigned> codePages;
    for (int i = 0; unsigned codePage = ListCodePage(i); i++)
        if (FindCodePageKind(codePage) != CODE_PAGE_UTF8) codePages.push_back(codePage);
    return codePages;
}

int FindLastSortByte(unsigned codePage)
{
    return IsDoubleByteCodePage(codePage) ? 0x7F : 0xFF;
}

std::string FormatHex(const std::string &bytes)
{
    std::string hex;
    char two[3];
    for (unsigned char byte : bytes) {
        snprintf(two, sizeof(two), "%02x", byte);
        hex += two;
    }
    return hex.empty() ? "-" : hex;
}

static void PrintDecoded(FILE *out, DecodeFunction decode, unsigned codePage, const std::string &bytes)
{
    uint16_t wide[64];
    int n = decode(codePage, bytes.data(), (int)bytes.size(), wide, 64);
    fprintf(out, "D %u %s:", codePage, FormatHex(bytes).c_str());
    for (int i = 0; i < n; i++) fprintf(out, " %04x", wide[i]);
    fprintf(out, "\n");
}

static void PrintEncoded(FILE *out, EncodeFunction encode, unsigned codePage,
                         const std::vector<uint16_t> &wide, bool unlessDefault)
{
    char bytes[64];
    bool usedDefault = false;
    int n = encode(codePage, wide.data(), (int)wide.size(), bytes, sizeof(bytes),
                   codePage == 65001 ? NULL : &usedDefault);
    if (unlessDefault && usedDefault) return;
    fprintf(out, "E %u", codePage);
    for (uint16_t unit : wide) fprintf(out, " %04x", unit);
    fprintf(out, ":%s %s\n", usedDefault ? " default" : "", FormatHex(std::string(bytes, n > 0 ? n : 0)).c_str());
}

FILE *OpenOutput(const char *path)
{
    FILE *out = fopen(path, "wb");
    if (!out) {
        fprintf(stderr, "cannot write %s\n", path);
        exit(2);
    }
    return out;
}

// UTF-8 sequences of up to four bytes: all of one and two bytes, and for
// longer ones the lead bytes with continuation bytes from a set of classes.
static void PrintUtf8(FILE *out, DecodeFunction decode)
{
    const unsigned char classes[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                     0xC0, 0xC2, 0xDF, 0xE0, 0xED, 0xF0, 0xF4, 0xFF};
    std::vector<std::string> sequences;
    for (int a = 0; a < 256; a++) {
        sequences.push_back(std::string(1, (char)a));
        for (int b = 0; a >= 0x80 && b < 256; b++) sequences.push_back({(char)a, (char)b});
    }
    for (int lead = 0xE0; lead <= 0xF4; lead++) {
        for (unsigned char b : classes) {
            for (unsigned char c : classes) {
                sequences.push_back({(char)lead, (char)b, (char)c});
                for (unsigned char d : classes)
                    if (lead >= 0xF0) sequences.push_back({(char)lead, (char)b, (char)c, (char)d});
            }
        }
    }
    for (const std::string &s : sequences) {
        PrintDecoded(out, decode, 65001, s);
        PrintDecoded(out, decode, 65001, s + "A");
    }
}

// The length and size conventions: -1 takes the NUL, size 0 counts, a
// buffer too small gives 0.
static void PrintConventions(FILE *out, DecodeFunction decode, EncodeFunction encode)
{
    const struct {
        unsigned codePage;
        const char *text;
    } texts[] = {{1252, "Caf\xE9 \x80"}, {932, "\x83J\x83t\x83" "F"}, {65001, "Caf\xC3\xA9 \xE2\x82\xAC"}};
    const uint16_t wide[] = {'C', 0xE9, 0x20AC, 0xD83D, 0xDE00, 0x30AB, 0};
    for (const auto &t : texts) {
        uint16_t buffer[64];
        char bytes[64];
        bool usedDefault = false;
        bool *used = t.codePage == 65001 ? NULL : &usedDefault;
        fprintf(out, "C %u %s: decode -1 count %d, -1 %d, small %d; encode -1 count %d, -1 %d, small %d\n",
                t.codePage, FormatHex(t.text).c_str(), decode(t.codePage, t.text, -1, NULL, 0),
                decode(t.codePage, t.text, -1, buffer, 64), decode(t.codePage, t.text, -1, buffer, 2),
                encode(t.codePage, wide, -1, NULL, 0, used), encode(t.codePage, wide, -1, bytes, 64, used),
                encode(t.codePage, wide, -1, bytes, 2, used));
    }
}

void PrintConversions(FILE *out, DecodeFunction decode, EncodeFunction encode)
{
    for (unsigned codePage : ListAnsiCodePages()) {
        bool doubleByte = IsDoubleByteCodePage(codePage);
        for (int a = 0; a < 256; a++) {
            PrintDecoded(out, decode, codePage, std::string(1, (char)a));
            for (int b = 0; doubleByte && a >= 0x80 && b < 256; b++)
                PrintDecoded(out, decode, codePage, {(char)a, (char)b});
        }
        for (unsigned unit = 1; unit < 0x10000; unit++)
            PrintEncoded(out, encode, codePage, {(uint16_t)unit}, true);
        PrintEncoded(out, encode, codePage, {0xD83D, 0xDE00, 'A'}, false);
        PrintEncoded(out, encode, codePage, {'A', 0xDC00, 0xD800}, false);
    }
    PrintUtf8(out, decode);
    for (std::vector<uint16_t> wide : std::vector<std::vector<uint16_t>>{
             {'A', 0xE9, 0x20AC, 0xFFFF}, {0xD83D, 0xDE00}, {0xD83D, 'A'}, {0xDE00, 0xD83D}, {0xDFFF},
             {0xD800, 0xD800, 0xDC00}})
        PrintEncoded(out, encode, 65001, wide, false);
    PrintConventions(out, decode, encode);
}

// A small deterministic generator, the same on both sides.
static unsigned NextRandom(unsigned *state)
{
    *state = *state * 1103515245u + 12345u;
    return (*state >> 16) & 0x7FFF;
}

std::vector<std::string> MakeSortNames(unsigned codePage, bool everyPlace)
{
    // The same bytes in every code page, each showing its own characters;
    // the tree's insertion takes the square of the names under Wine, so
    // only 1252 has every byte at the start of a word and within one too,
    // and only where asked.
    std::vector<std::string> names;
    for (int b = 1; b <= FindLastSortByte(codePage); b++) {
        std::string c(1, (char)b);
        names.push_back(c);
        names.push_back("a" + c + "c");
        if (codePage != 1252 || !everyPlace) continue;
        for (std::string name : {"co" + c + "op", c + "x"}) names.push_back(name);
    }
    const char *words[] = {
        "0", "1", "2", "9", "10", "007", "1a", "a1", "a10", "a2", "9x", "_x", "-x", "x-",
        "ab", "Ab", "aB", "AB", "abc", "ABC", "Abc", "b", "B", "a", "A", "z", "Z",
        "coop", "co-op", "co'op", "Coop", "CO-OP", "co--op", "a-c", "a-b", "ab-", "-ab", "'ab", "a'b",
        "don't", "dont", "Don't", "re-sort", "resort", "it's", "its", "a-b-c", "abc-", "ab-c",
        "x", "x", "x", "co-op", "co-op", "a\xAD" "b", "ab", "\xAD", "",
    };
    for (std::string word : words) {
        bool measured = true;
        for (unsigned char byte : word) measured = measured && byte <= FindLastSortByte(codePage);
        if (measured) names.push_back(word);
    }
    unsigned state = 12345;
    for (size_t i = names.size(); i > 1; i--) std::swap(names[i - 1], names[NextRandom(&state) % i]);
    return names;
}

std::vector<std::string> MakeComparePairs(unsigned codePage, int count, unsigned seed)
{
    // Bytes drawn more often: letters, and what weighs specially.
    const char common[] = "aAbBcCeEhHoOsSzZ -'09_\\\x80\xAD\xC0\xE0\xE1\xE2\xE9\xCC\xEC\xD2\xDE\xF2";
    int last = FindLastSortByte(codePage), commonCount = last == 0xFF ? (int)sizeof(common) - 1 : 23;
    unsigned state = seed + codePage;
    std::vector<std::string> pairs;
    for (int i = 0; i < count; i++) {
        std::string a;
        int length = 1 + NextRandom(&state) % 6;
        for (int k = 0; k < length; k++) {
            unsigned r = NextRandom(&state);
            a += r & 1 ? common[(r >> 1) % commonCount] : (char)(1 + (r >> 1) % last);
        }
        std::string b = a;
        unsigned r = NextRandom(&state), at = NextRandom(&state) % (a.size() + 1);
        char byte = (char)(1 + NextRandom(&state) % last);
        if (r % 4 == 0) b.insert(at, 1, byte);
        else if (r % 4 == 1 && at < b.size()) b.erase(at, 1);
        else if (r % 4 == 2 && at < b.size()) b[at] = byte;
        else b = std::string(1, common[r % commonCount]) + b.substr(1);
        pairs.push_back(a);
        pairs.push_back(b);
    }
    return pairs;
}

void PrintComparisons(FILE *out, unsigned codePage, const std::vector<std::string> &pairs,
                      CompareFunction compare)
{
    for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
        int order = compare(codePage, pairs[i].c_str(), pairs[i + 1].c_str());
        fprintf(out, "S %u %s %s: %d\n", codePage, FormatHex(pairs[i]).c_str(), FormatHex(pairs[i + 1]).c_str(),
                order < 0 ? -1 : order > 0);
    }
}

void PrintOrder(FILE *out, const std::vector<std::string> &names, const std::vector<int> &order)
{
    for (int index : order) fprintf(out, "T %d %s\n", index, FormatHex(names[index]).c_str());
}

std::vector<int> SortAsTree(unsigned codePage, const std::vector<std::string> &names)
{
    std::vector<int> order;
    std::vector<const char *> texts;
    for (size_t i = 0; i < names.size(); i++) {
        int at = FindSortedPlace(codePage, texts.data(), (int)texts.size(), names[i].c_str());
        texts.insert(texts.begin() + at, names[i].c_str());
        order.insert(order.begin() + at, (int)i);
    }
    return order;
}

int RunSharedMode(int argc, char **argv, DecodeFunction decode, EncodeFunction encode,
                  CompareFunction compare, SortFunction sort)
{
    if (argc == 3 && strcmp(argv[1], "conversions") == 0) {
        FILE *out = OpenOutput(argv[2]);
        PrintConversions(out, decode, encode);
        return fclose(out) != 0;
    }
    if (argc == 4 && strcmp(argv[1], "sort") == 0) {
        unsigned codePage = (unsigned)atoi(argv[2]);
        std::vector<std::string> names = MakeSortNames(codePage);
        FILE *out = OpenOutput(argv[3]);
        PrintComparisons(out, codePage, MakeComparePairs(codePage, 5000, 1), compare);
        PrintOrder(out, names, sort(codePage, names));
        return fclose(out) != 0;
    }
    return -1;
}
