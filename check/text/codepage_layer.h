/*
 * What codepage.cpp asks of the build's own conversion of the ANSI code
 * pages, one character at a time: codepage_tables.cpp in every build but
 * Windows, codepage_win32.cpp in the Windows build. The layer takes the
 * code pages' facts from codepage_facts.h and calls nothing of codepage.cpp.
 */
#ifndef QUORLAN_CHECK_CODEPAGE_LAYER_H
#define QUORLAN_CHECK_CODEPAGE_LAYER_H

#include <stdint.h>

// Yields the UTF-16 unit that one character of a known ANSI code page (one
// byte, or a lead byte and its trail byte) shows as, as the platform does.
uint16_t DecodeCodePageChar(unsigned codePage, const unsigned char *bytes, int count);

// Yields the bytes (1 or 2, in out) of a known ANSI code page that hold
// unit exactly, or 0 where none does.
int EncodeCodePageUnit(unsigned codePage, uint16_t unit, unsigned char out[2]);

#endif
