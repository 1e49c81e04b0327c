/*
 * The native build's code page conversion: the C library's iconv, and what
 * Windows does where iconv refuses, measured under Wine and kept as data in
 * codepage_data.cpp (written by tools/measure-text.sh).
 */
#ifndef QUORLAN_CHECK_CODEPAGE_NATIVE_H
#define QUORLAN_CHECK_CODEPAGE_NATIVE_H

#include <stdint.h>

// A run of byte sequences that iconv refuses and Windows decodes to
// consecutive units: sequence first + i (a byte, or lead * 256 + trail)
// shows as unit + i, for i below count. Sequences in no run and refused by
// iconv show as the code page's default.
struct DecodeException {
    uint16_t codePage, first, unit, count;
};

// A unit that several sequences decode to, and the one Windows encodes it
// as where iconv picks another.
struct EncodeException {
    uint16_t codePage, unit, sequence;
};

extern const DecodeException g_decodeExceptions[];
extern const int g_decodeExceptionCount;
extern const EncodeException g_encodeExceptions[];
extern const int g_encodeExceptionCount;

// iconv alone, without the exceptions: yields true and the unit where
// iconv decodes the sequence (1 or 2 bytes) to one UTF-16 unit.
bool DecodeWithIconv(unsigned codePage, const unsigned char *bytes, int count, uint16_t *unit);
// iconv alone: yields the bytes iconv encodes unit to (in out), or 0.
int EncodeWithIconv(unsigned codePage, uint16_t unit, unsigned char out[4]);

#endif
