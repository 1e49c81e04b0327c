/*
 * The table generator's native side, run by measure-text.sh:
 *
 *   text_derive REFERENCE_CONVERSIONS OUT   writes codepage_data.cpp: where
 *       iconv refuses a sequence the platform decodes, and where it encodes
 *       a unit to other bytes than the platform (REFERENCE_CONVERSIONS is
 *       what reference.exe conversions printed under Wine)
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "../codepage.h"
#include "../codepage_layer.h"
#include "../codepage_native.h"
#include "../tests/cases.h"

/* ---- the exceptions to iconv ---- */

struct Sequence {
    unsigned codePage, sequence;
    bool operator<(const Sequence &other) const
    {
        return codePage != other.codePage ? codePage < other.codePage : sequence < other.sequence;
    }
};

static unsigned ParseHex(const char *text, int digits)
{
    char part[9] = "";
    memcpy(part, text, digits);
    return (unsigned)strtoul(part, NULL, 16);
}

static int Derive(const char *referencePath, FILE *out)
{
    FILE *in = fopen(referencePath, "rb");
    if (!in) {
        fprintf(stderr, "text_print: cannot read %s\n", referencePath);
        return 2;
    }
    std::map<Sequence, unsigned> decoded, encoded; // by the platform
    char line[512];
    while (fgets(line, sizeof(line), in)) {
        unsigned codePage;
        char hex[64], rest[256] = "";
        if (sscanf(line, "D %u %63[0-9a-f]: %255[^\n]", &codePage, hex, rest) >= 2 && codePage != CP_UTF8 &&
            strlen(rest) == 4) {
            unsigned sequence = ParseHex(hex, (int)strlen(hex));
            bool pair = strlen(hex) == 4;
            if (pair != IsLeadByte(codePage, (unsigned char)(sequence >> (pair ? 8 : 0)))) continue;
            decoded[{codePage, sequence}] = ParseHex(rest, 4);
        } else if (sscanf(line, "E %u %4[0-9a-f]: %63s", &codePage, hex, rest) == 3 && codePage != CP_UTF8) {
            encoded[{codePage, ParseHex(hex, 4)}] = ParseHex(rest, (int)strlen(rest));
        }
    }
    fclose(in);

    fprintf(out, "/*\n * What Windows does where iconv refuses or differs, measured under Wine by\n"
                 " * check/text/tools/measure-text.sh: do not edit. See codepage_native.h.\n */\n"
                 "#include \"codepage_native.h\"\n\nconst DecodeException g_decodeExceptions[] = {\n");
    std::map<Sequence, unsigned> firstOnlyByExceptions; // a unit's lowest sequence iconv refuses
    int runs = 0;
    DecodeException run = {0, 0, 0, 0};
    for (const auto &entry : decoded) {
        unsigned char bytes[2] = {(unsigned char)(entry.first.sequence >> 8), (unsigned char)entry.first.sequence};
        bool pair = entry.first.sequence > 0xFF;
        uint16_t unit;
        if (DecodeWithIconv(entry.first.codePage, pair ? bytes : bytes + 1, pair ? 2 : 1, &unit) ||
            entry.second == FindDefaultUnit(entry.first.codePage))
            continue;
        if (!firstOnlyByExceptions.count({entry.first.codePage, entry.second}))
            firstOnlyByExceptions[{entry.first.codePage, entry.second}] = entry.first.sequence;
        if (run.count && run.codePage == entry.first.codePage && run.first + run.count == entry.first.sequence &&
            run.unit + run.count == entry.second) {
            run.count++;
            continue;
        }
        if (run.count) fprintf(out, "    {%u, 0x%04x, 0x%04x, %u},\n", run.codePage, run.first, run.unit, run.count);
        run = {(uint16_t)entry.first.codePage, (uint16_t)entry.first.sequence, (uint16_t)entry.second, 1};
        runs++;
    }
    if (run.count) fprintf(out, "    {%u, 0x%04x, 0x%04x, %u},\n", run.codePage, run.first, run.unit, run.count);
    fprintf(out, "};\nconst int g_decodeExceptionCount = %d;\n\nconst EncodeException g_encodeExceptions[] = {\n", runs);

    // The native rule (codepage_iconv.cpp) against what the platform did.
    int exceptions = 0;
    for (unsigned codePage : ListAnsiCodePages()) {
        for (unsigned unit = 1; unit < 0x10000; unit++) {
            if (unit >= 0xD800 && unit <= 0xDFFF) continue;
            unsigned char bytes[4];
            int n = EncodeWithIconv(codePage, (uint16_t)unit, bytes);
            unsigned sequence = n == 1 ? bytes[0] : n == 2 ? (unsigned)(bytes[0] << 8 | bytes[1]) : 0;
            auto back = decoded.find({codePage, sequence});
            if (!sequence || back == decoded.end() || back->second != unit) {
                auto first = firstOnlyByExceptions.find({codePage, unit});
                sequence = first == firstOnlyByExceptions.end() ? 0 : first->second;
            }
            auto platform = encoded.find({codePage, unit});
            unsigned expected = platform == encoded.end() ? 0 : platform->second;
            if (sequence != expected) {
                fprintf(out, "    {%u, 0x%04x, 0x%04x},\n", codePage, unit, expected);
                exceptions++;
            }
        }
    }
    if (!exceptions) fprintf(out, "    {0, 0, 0},\n");
    fprintf(out, "};\nconst int g_encodeExceptionCount = %d;\n", exceptions);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: text_derive REFERENCE_CONVERSIONS OUT\n");
        return 2;
    }
    FILE *out = OpenOutput(argv[2]);
    int status = Derive(argv[1], out);
    return fclose(out) != 0 || status;
}
