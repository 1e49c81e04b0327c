/*
 * The complete conversion tables of the ANSI code pages, as Windows
 * converts them (measured under Wine and kept as data in codepage_data.cpp,
 * written by tools/derive.cpp), and the reading of their packed form.
 *
 * A code page's table is one stream of bytes that walks its byte sequences
 * in order (a byte b is sequence b, a lead byte and its trail byte are
 * lead * 256 + trail) and says what each decodes to. The walk keeps the
 * next sequence, s, and the unit that would follow the last character, u
 * (both 0 at first), and whether its characters are one-way (not at
 * first):
 *
 *   00-7F        one character: s decodes to u + b - 0x40
 *   80-BF lo     one character: s decodes to u + ((b - 0x80) * 256 + lo) - 0x2000
 *   C0-DF        b - 0xC0 + 2 characters: s, s + 1, ... decode to u, u + 1, ...
 *   E0-EF        b - 0xE0 + 1 sequences skipped
 *   F0 hi lo     one character: s decodes to hi * 256 + lo
 *   F1 hi lo     hi * 256 + lo sequences skipped
 *   F2 hi lo     hi * 256 + lo characters, as C0-DF
 *   F3           the characters from here are one-way, or no longer
 *
 * After each character s is one more and u its unit plus one. A unit is
 * encoded as the one character that decodes to it and is not one-way (of
 * several, Windows writes only one), or as nothing where there is none (the
 * NUL, which the measurement leaves out, is the byte 00). A skipped
 * sequence, and one past the end, decodes to the code page's default
 * (FindDefaultUnit), as an invalid pair does.
 *
 * The packing suits the data: the single-byte code pages, the double-byte
 * ones' symbols and syllables, and the ideographs that follow Unicode's
 * order are runs or small steps; the ideographs in a code page's own order
 * (by reading or by strokes) take the two-byte steps.
 */
#ifndef QUORLAN_CHECK_CODEPAGE_TABLES_H
#define QUORLAN_CHECK_CODEPAGE_TABLES_H

#include <stdint.h>

struct CodePageTable {
    unsigned codePage;
    const unsigned char *packed; // the stream above
    int packedSize;
};

extern const CodePageTable g_codePageTables[];
extern const int g_codePageTableCount;

// The tokens of the stream.
enum {
    PACK_NEAR = 0x00,      // to 0x7F
    PACK_FAR = 0x80,       // to 0xBF, one byte more
    PACK_RUN = 0xC0,       // to 0xDF
    PACK_SKIP = 0xE0,      // to 0xEF
    PACK_UNIT = 0xF0,      // two bytes more, as the next three
    PACK_LONG_SKIP = 0xF1,
    PACK_LONG_RUN = 0xF2,
    PACK_ONE_WAY = 0xF3,
};
// The offsets of the near and far steps, the longest short run and skip.
enum { PACK_NEAR_ZERO = 0x40, PACK_FAR_ZERO = 0x2000, PACK_RUN_MAX = 33, PACK_SKIP_MAX = 16 };

// Unpacks a stream into decode (decodeSize units, by sequence: 256 for a
// single-byte code page, 65536 for a double-byte one) and encode (65536
// sequences, by unit; 0 for none). Yields false where the stream is cut
// short or walks past decodeSize.
bool UnpackCodePageTable(const unsigned char *packed, int packedSize, uint16_t defaultUnit, uint16_t *decode,
                         int decodeSize, uint16_t *encode);

#endif
