/*
 * The table generator's native side, run by measure-text.sh:
 *
 *   text_derive REFERENCE_CONVERSIONS OUT   writes codepage_data.cpp: the
 *       complete tables of the ANSI code pages (codepage_tables.h), from
 *       what the platform decoded and encoded (REFERENCE_CONVERSIONS is
 *       what reference.exe conversions printed under Wine)
 *
 * It fails, writing nothing, where the measurement lacks a sequence, where
 * the platform encodes a unit to bytes that decode to another (the layer
 * promises the exact bytes or none), or where the packed tables would not
 * read back as measured.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../codepage.h"
#include "../codepage_tables.h"
#include "../tests/cases.h"

static const int NO_SEQUENCE = -1;

// What the platform did in one code page: a unit for each sequence of the
// layer's (every byte that is no lead byte, every lead byte with a trail
// byte but NUL), a sequence for each unit it encodes.
struct Measured {
    unsigned codePage;
    std::vector<int> decoded; // by sequence; NO_SEQUENCE where not measured or not the layer's
    std::vector<int> encoded; // by unit; NO_SEQUENCE for none
};

static bool IsLayerSequence(unsigned codePage, unsigned sequence)
{
    if (sequence < 0x100) return !IsLeadByte(codePage, (unsigned char)sequence);
    return IsLeadByte(codePage, (unsigned char)(sequence >> 8)) && (sequence & 0xFF) != 0;
}

static unsigned ParseHex(const char *text) { return (unsigned)strtoul(text, NULL, 16); }

static bool ReadMeasured(const char *path, std::vector<Measured> *measured)
{
    FILE *in = fopen(path, "rb");
    if (!in) {
        fprintf(stderr, "text_derive: cannot read %s\n", path);
        return false;
    }
    for (unsigned codePage : ListAnsiCodePages()) {
        Measured m = {codePage, std::vector<int>(IsDoubleByteCodePage(codePage) ? 0x10000 : 0x100, NO_SEQUENCE),
                      std::vector<int>(0x10000, NO_SEQUENCE)};
        measured->push_back(m);
    }
    char line[512];
    while (fgets(line, sizeof(line), in)) {
        unsigned codePage;
        char hex[64], rest[256] = "";
        Measured *m = 0;
        int fields = sscanf(line, "%*c %u %63[0-9a-f]: %255[^\n]", &codePage, hex, rest);
        for (Measured &each : *measured)
            if (each.codePage == codePage) m = &each;
        if (!m || fields < 3) continue;
        // One unit decoded, or one unit encoded (to bytes, not the default).
        unsigned sequence = ParseHex(hex);
        if (line[0] == 'D' && strlen(rest) == 4 && (strlen(hex) == 2 || strlen(hex) == 4) &&
            (strlen(hex) == 4) == (sequence > 0xFF) && IsLayerSequence(codePage, sequence) &&
            sequence < m->decoded.size())
            m->decoded[sequence] = (int)ParseHex(rest);
        else if (line[0] == 'E' && strlen(hex) == 4 && (strlen(rest) == 2 || strlen(rest) == 4))
            m->encoded[sequence] = (int)ParseHex(rest);
    }
    fclose(in);
    return true;
}

// Yields an empty string where the measurement is complete and the layer
// can hold it, else what is wrong.
static std::string CheckMeasured(const Measured &m)
{
    char why[128] = "";
    for (unsigned sequence = 0; sequence < m.decoded.size() && !why[0]; sequence++)
        if (IsLayerSequence(m.codePage, sequence) && m.decoded[sequence] == NO_SEQUENCE)
            snprintf(why, sizeof(why), "%u: sequence %04x was not measured", m.codePage, sequence);
    for (unsigned unit = 1; unit < 0x10000 && !why[0]; unit++) {
        int sequence = m.encoded[unit];
        if (sequence != NO_SEQUENCE && ((unsigned)sequence >= m.decoded.size() || m.decoded[sequence] != (int)unit))
            snprintf(why, sizeof(why), "%u: unit %04x is encoded as %04x, which does not decode to it",
                     m.codePage, unit, sequence);
    }
    return why;
}

/* ---- packing ---- */

static void AppendNumber(std::string *packed, int token, int number)
{
    *packed += (char)token;
    *packed += (char)(number >> 8);
    *packed += (char)number;
}

static void AppendSkip(std::string *packed, int count)
{
    for (; count > 0xFFFF; count -= 0xFFFF) AppendNumber(packed, PACK_LONG_SKIP, 0xFFFF);
    if (count > PACK_SKIP_MAX) AppendNumber(packed, PACK_LONG_SKIP, count);
    else if (count > 0) *packed += (char)(PACK_SKIP + count - 1);
}

// The first character of a run, at unit where the walk expects expected.
static void AppendCharacter(std::string *packed, int unit, int expected)
{
    int step = unit - expected;
    if (step >= -PACK_NEAR_ZERO && step < PACK_NEAR_ZERO) {
        *packed += (char)(PACK_NEAR + step + PACK_NEAR_ZERO);
    } else if (step >= -PACK_FAR_ZERO && step < PACK_FAR_ZERO) {
        *packed += (char)(PACK_FAR + ((step + PACK_FAR_ZERO) >> 8));
        *packed += (char)(step + PACK_FAR_ZERO);
    } else {
        AppendNumber(packed, PACK_UNIT, unit);
    }
}

static void AppendRun(std::string *packed, int count)
{
    for (; count > 0xFFFF; count -= 0xFFFF) AppendNumber(packed, PACK_LONG_RUN, 0xFFFF);
    if (count > PACK_RUN_MAX) AppendNumber(packed, PACK_LONG_RUN, count);
    else if (count >= 2) *packed += (char)(PACK_RUN + count - 2);
    else if (count == 1) *packed += (char)PACK_NEAR_ZERO;
}

// Yields whether the table lists the sequence: every layer sequence but the
// invalid ones, which decode to the default without being what it encodes
// to (the walk skips those).
static bool IsListed(const Measured &m, int sequence)
{
    int unit = m.decoded[sequence];
    return unit != NO_SEQUENCE && (unit != (int)FindDefaultUnit(m.codePage) || m.encoded[unit] == sequence);
}

// Yields whether the listed sequence is one-way: its unit encodes to
// another sequence, or to none (the NUL is the byte 00, unmeasured).
static bool IsOneWay(const Measured &m, int sequence)
{
    int unit = m.decoded[sequence];
    return unit != 0 && m.encoded[unit] != sequence;
}

// Packs a code page's listed sequences, in runs of consecutive units.
static std::string PackMeasured(const Measured &m)
{
    std::string packed;
    int next = 0, expected = 0; // the walk's sequence and unit
    bool oneWay = false;
    for (int sequence = 0; sequence < (int)m.decoded.size();) {
        if (!IsListed(m, sequence)) {
            sequence++;
            continue;
        }
        int unit = m.decoded[sequence], count = 1;
        bool runOneWay = IsOneWay(m, sequence);
        while (sequence + count < (int)m.decoded.size() && IsListed(m, sequence + count) &&
               m.decoded[sequence + count] == unit + count && IsOneWay(m, sequence + count) == runOneWay)
            count++;
        AppendSkip(&packed, sequence - next);
        if (runOneWay != oneWay) packed += (char)PACK_ONE_WAY;
        oneWay = runOneWay;
        AppendCharacter(&packed, unit, expected);
        AppendRun(&packed, count - 1);
        sequence += count;
        next = sequence;
        expected = unit + count;
    }
    return packed;
}

// Yields whether the packed table reads back as measured.
static bool ReadsBack(const Measured &m, const std::string &packed)
{
    std::vector<uint16_t> decode(m.decoded.size()), encode(0x10000);
    uint16_t defaultUnit = FindDefaultUnit(m.codePage);
    if (!UnpackCodePageTable((const unsigned char *)packed.data(), (int)packed.size(), defaultUnit, decode.data(),
                             (int)decode.size(), encode.data()))
        return false;
    for (unsigned sequence = 0; sequence < decode.size(); sequence++)
        if (IsLayerSequence(m.codePage, sequence) && decode[sequence] != m.decoded[sequence]) return false;
    for (unsigned unit = 1; unit < 0x10000; unit++)
        if (encode[unit] != (m.encoded[unit] == NO_SEQUENCE ? 0 : m.encoded[unit])) return false;
    return true;
}

static void WritePacked(FILE *out, unsigned codePage, const std::string &packed)
{
    fprintf(out, "\nstatic const unsigned char g_packed%u[] = {", codePage);
    for (size_t i = 0; i < packed.size(); i++)
        fprintf(out, "%s0x%02x,", i % 16 ? " " : "\n    ", (unsigned char)packed[i]);
    fprintf(out, "\n};\n");
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: text_derive REFERENCE_CONVERSIONS OUT\n");
        return 2;
    }
    std::vector<Measured> measured;
    if (!ReadMeasured(argv[1], &measured)) return 2;
    std::vector<std::string> packed;
    size_t total = 0;
    for (const Measured &m : measured) {
        std::string why = CheckMeasured(m);
        packed.push_back(PackMeasured(m));
        if (why.empty() && !ReadsBack(m, packed.back())) why = std::to_string(m.codePage) + ": the table reads back otherwise";
        if (!why.empty()) {
            fprintf(stderr, "text_derive: %s\n", why.c_str());
            return 1;
        }
        total += packed.back().size();
    }
    FILE *out = OpenOutput(argv[2]);
    fprintf(out, "/*\n * The ANSI code pages' conversions as Windows does them, measured under Wine\n"
                 " * by check/text/tools/measure-text.sh: do not edit. See codepage_tables.h.\n */\n"
                 "#include \"codepage_tables.h\"\n");
    for (size_t i = 0; i < measured.size(); i++) WritePacked(out, measured[i].codePage, packed[i]);
    fprintf(out, "\nconst CodePageTable g_codePageTables[] = {\n");
    for (const Measured &m : measured) fprintf(out, "    {%u, g_packed%u, sizeof(g_packed%u)},\n", m.codePage, m.codePage, m.codePage);
    fprintf(out, "};\nconst int g_codePageTableCount = %d;\n", (int)measured.size());
    printf("text_derive: %d code pages, %zu bytes of tables\n", (int)measured.size(), total);
    return fclose(out) != 0;
}
