/*
 * The native build's conversion of the ANSI code pages: iconv for what it
 * knows, the measured exceptions for the rest. Each code page is turned
 * into a table on first use (a byte or pair to a unit, a unit to its bytes),
 * so that a conversion costs a look-up, as the platform's does.
 */
#include <iconv.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "codepage_facts.h"
#include "codepage_layer.h"
#include "codepage_native.h"

struct NativeTable {
    unsigned codePage;
    std::vector<uint16_t> decode; // a byte, or lead * 256 + trail, to its unit
    std::vector<uint16_t> encode; // a unit to its byte or pair; 0: none (but for unit 0)
};

static NativeTable g_tables[16]; // built on first use, one a code page
static int g_tableCount;

static iconv_t OpenIconv(unsigned codePage, bool toCodePage)
{
    char name[16];
    snprintf(name, sizeof(name), "CP%u", codePage);
    return toCodePage ? iconv_open(name, "UTF-16LE") : iconv_open("UTF-16LE", name);
}

// Runs one conversion through cd, from its initial state, with the flush.
static int ConvertWithIconv(iconv_t cd, const void *in, size_t inSize, unsigned char *out, size_t outSize)
{
    if (cd == (iconv_t)-1) return -1;
    iconv(cd, NULL, NULL, NULL, NULL);
    char *inPtr = (char *)in, *outPtr = (char *)out;
    size_t inLeft = inSize, outLeft = outSize;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == (size_t)-1 ||
        iconv(cd, NULL, NULL, &outPtr, &outLeft) == (size_t)-1)
        return -1;
    return (int)(outSize - outLeft);
}

bool DecodeWithIconv(unsigned codePage, const unsigned char *bytes, int count, uint16_t *unit)
{
    iconv_t cd = OpenIconv(codePage, false);
    unsigned char out[8];
    int n = ConvertWithIconv(cd, bytes, count, out, sizeof(out));
    if (cd != (iconv_t)-1) iconv_close(cd);
    if (n != 2) return false;
    *unit = (uint16_t)(out[0] | out[1] << 8);
    return true;
}

int EncodeWithIconv(unsigned codePage, uint16_t unit, unsigned char out[4])
{
    iconv_t cd = OpenIconv(codePage, true);
    unsigned char in[2] = {(unsigned char)unit, (unsigned char)(unit >> 8)};
    int n = ConvertWithIconv(cd, in, 2, out, 4);
    if (cd != (iconv_t)-1) iconv_close(cd);
    return n > 0 ? n : 0;
}

// Yields the unit a sequence iconv refused decodes to, from the measured
// runs, or false where it is in none.
static bool FindDecodeException(unsigned codePage, unsigned sequence, uint16_t *unit)
{
    for (int i = 0; i < g_decodeExceptionCount; i++) {
        const DecodeException &e = g_decodeExceptions[i];
        if (e.codePage == codePage && sequence >= e.first && sequence < (unsigned)e.first + e.count) {
            *unit = (uint16_t)(e.unit + (sequence - e.first));
            return true;
        }
    }
    return false;
}

static void BuildTable(NativeTable *table)
{
    unsigned codePage = table->codePage;
    bool doubleByte = IsDoubleByteCodePage(codePage);
    uint16_t invalid = FindDefaultUnit(codePage);
    table->decode.assign(doubleByte ? 0x10000 : 0x100, invalid);
    iconv_t cd = OpenIconv(codePage, false);
    std::vector<bool> fromIconv(table->decode.size());
    for (unsigned sequence = 0; sequence < table->decode.size(); sequence++) {
        unsigned lead = sequence >> 8, byte = sequence & 0xFF;
        if (lead ? !IsLeadByte(codePage, (unsigned char)lead) || byte == 0
                 : IsLeadByte(codePage, (unsigned char)byte))
            continue;
        unsigned char in[2] = {(unsigned char)(lead ? lead : byte), (unsigned char)byte}, out[8];
        uint16_t unit;
        if (ConvertWithIconv(cd, in, lead ? 2 : 1, out, sizeof(out)) == 2) {
            table->decode[sequence] = (uint16_t)(out[0] | out[1] << 8);
            fromIconv[sequence] = true;
        } else if (FindDecodeException(codePage, sequence, &unit)) {
            table->decode[sequence] = unit;
        }
    }
    if (cd != (iconv_t)-1) iconv_close(cd);

    // A unit's bytes: iconv's where they decode back to it (iconv composes
    // and decomposes where Windows does not), else the first sequence that
    // only the exceptions decode to it, else none.
    table->encode.assign(0x10000, 0);
    for (unsigned sequence = table->decode.size(); sequence-- > 1;) {
        if (!fromIconv[sequence] && table->decode[sequence] != invalid)
            table->encode[table->decode[sequence]] = (uint16_t)sequence;
    }
    cd = OpenIconv(codePage, true);
    for (unsigned unit = 1; unit < 0x10000; unit++) {
        if (unit >= 0xD800 && unit <= 0xDFFF) continue;
        unsigned char in[2] = {(unsigned char)unit, (unsigned char)(unit >> 8)}, out[8];
        int n = ConvertWithIconv(cd, in, 2, out, sizeof(out));
        unsigned sequence = n == 1 ? out[0] : n == 2 ? (unsigned)(out[0] << 8 | out[1]) : 0;
        if (sequence && sequence < table->decode.size() && fromIconv[sequence] &&
            table->decode[sequence] == unit)
            table->encode[unit] = (uint16_t)sequence;
    }
    if (cd != (iconv_t)-1) iconv_close(cd);
    for (int i = 0; i < g_encodeExceptionCount; i++)
        if (g_encodeExceptions[i].codePage == codePage)
            table->encode[g_encodeExceptions[i].unit] = g_encodeExceptions[i].sequence;
}

// Yields the table of a known ANSI code page (there are fewer than 16).
static const NativeTable *FindTable(unsigned codePage)
{
    for (int i = 0; i < g_tableCount; i++)
        if (g_tables[i].codePage == codePage) return &g_tables[i];
    NativeTable *table = &g_tables[g_tableCount++];
    table->codePage = codePage;
    BuildTable(table);
    return table;
}

uint16_t DecodeCodePageChar(unsigned codePage, const unsigned char *bytes, int count)
{
    return FindTable(codePage)->decode[count == 2 ? bytes[0] << 8 | bytes[1] : bytes[0]];
}

int EncodeCodePageUnit(unsigned codePage, uint16_t unit, unsigned char out[2])
{
    if (unit == 0) {
        out[0] = 0;
        return 1;
    }
    unsigned sequence = FindTable(codePage)->encode[unit];
    if (sequence == 0) return 0;
    if (sequence < 0x100) {
        out[0] = (unsigned char)sequence;
        return 1;
    }
    out[0] = (unsigned char)(sequence >> 8);
    out[1] = (unsigned char)sequence;
    return 2;
}
