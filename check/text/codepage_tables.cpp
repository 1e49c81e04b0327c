/*
 * The conversion of the ANSI code pages from their complete measured
 * tables (codepage_tables.h), for every build but Windows, whose platform
 * converts itself. A code page's table is unpacked on first use into a
 * unit for each sequence and a sequence for each unit, so that a
 * conversion costs a look-up, as the platform's does.
 */
#include "codepage_tables.h"

#include <vector>

#include "codepage_facts.h"
#include "codepage_layer.h"

struct UnpackedTable {
    unsigned codePage;
    std::vector<uint16_t> decode; // a byte, or lead * 256 + trail, to its unit
    std::vector<uint16_t> encode; // a unit to its byte or pair; 0: none (but for unit 0)
};

static UnpackedTable g_unpacked[16]; // one a code page, on first use
static int g_unpackedCount;

// Yields the big-endian number of the two bytes after a token, or -1 where
// the stream ends first.
static int ReadPackedNumber(const unsigned char *packed, int packedSize, int *at)
{
    if (*at + 2 > packedSize) return -1;
    int number = packed[*at] << 8 | packed[*at + 1];
    *at += 2;
    return number;
}

bool UnpackCodePageTable(const unsigned char *packed, int packedSize, uint16_t defaultUnit, uint16_t *decode,
                         int decodeSize, uint16_t *encode)
{
    for (int i = 0; i < decodeSize; i++) decode[i] = defaultUnit;
    for (int i = 0; i < 0x10000; i++) encode[i] = 0;
    int sequence = 0, at = 0;
    unsigned unit = 0; // wraps as the packer's steps do; stored as 16 bits
    bool oneWay = false;
    while (at < packedSize) {
        int token = packed[at++], characters = 0;
        if (token < PACK_FAR) {
            unit += token - PACK_NEAR_ZERO;
            characters = 1;
        } else if (token < PACK_RUN) {
            if (at >= packedSize) return false;
            unit += ((token - PACK_FAR) << 8 | packed[at++]) - PACK_FAR_ZERO;
            characters = 1;
        } else if (token < PACK_SKIP) {
            characters = token - PACK_RUN + 2;
        } else if (token < PACK_UNIT) {
            sequence += token - PACK_SKIP + 1;
        } else if (token == PACK_ONE_WAY) {
            oneWay = !oneWay;
        } else {
            int number = ReadPackedNumber(packed, packedSize, &at);
            if (number < 0) return false;
            if (token == PACK_UNIT) {
                unit = (unsigned)number;
                characters = 1;
            } else if (token == PACK_LONG_SKIP) {
                sequence += number;
            } else if (token == PACK_LONG_RUN) {
                characters = number;
            } else {
                return false;
            }
        }
        if (sequence + characters > decodeSize) return false;
        for (; characters > 0; characters--, sequence++, unit++) {
            decode[sequence] = (uint16_t)unit;
            if (!oneWay) encode[(uint16_t)unit] = (uint16_t)sequence;
        }
    }
    return sequence <= decodeSize;
}

// Yields the unpacked table of a known ANSI code page (there are fewer than
// 16). A code page without one decodes every sequence to its default and
// encodes nothing, which the differential tests would show.
static const UnpackedTable *FindTable(unsigned codePage)
{
    for (int i = 0; i < g_unpackedCount; i++)
        if (g_unpacked[i].codePage == codePage) return &g_unpacked[i];
    UnpackedTable *table = &g_unpacked[g_unpackedCount++];
    table->codePage = codePage;
    table->decode.resize(IsDoubleByteCodePage(codePage) ? 0x10000 : 0x100);
    table->encode.resize(0x10000);
    uint16_t defaultUnit = FindDefaultUnit(codePage);
    for (int i = 0; i < g_codePageTableCount; i++) {
        const CodePageTable &packed = g_codePageTables[i];
        if (packed.codePage == codePage &&
            UnpackCodePageTable(packed.packed, packed.packedSize, defaultUnit, table->decode.data(),
                                (int)table->decode.size(), table->encode.data()))
            return table;
    }
    UnpackCodePageTable(0, 0, defaultUnit, table->decode.data(), (int)table->decode.size(), table->encode.data());
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
