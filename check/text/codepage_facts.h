/*
 * The code pages' facts, from the one table of them (codepages.h): which
 * there are, their kinds, which bytes lead, the locale of their order and
 * what an invalid pair decodes to. Used by the conversions' rules
 * (codepage.cpp) and by the build's conversion layer alike, and calls
 * neither.
 */
#ifndef QUORLAN_CHECK_CODEPAGE_FACTS_H
#define QUORLAN_CHECK_CODEPAGE_FACTS_H

#include <stdint.h>

// What a code page's characters take: one byte, one or two, or UTF-8's one to four.
enum CodePageKind { CODE_PAGE_SINGLE_BYTE, CODE_PAGE_DOUBLE_BYTE, CODE_PAGE_UTF8 };

// Yields the index-th code page the checker knows, in codepages.h's order
// (the ANSI code pages, then CP_UTF8), or 0 past the last.
unsigned ListCodePage(int index);
// Yields true for the code pages the checker knows (codepages.h).
bool IsKnownCodePage(unsigned codePage);
// Yields the kind of a known code page (single-byte for any other).
CodePageKind FindCodePageKind(unsigned codePage);
// Yields true for the double-byte ones: 932, 936, 949 and 950.
bool IsDoubleByteCodePage(unsigned codePage);
// Yields the locale whose order goes with codePage (a Windows LCID), or 0
// where none is measured.
unsigned long FindCodePageLocale(unsigned codePage);
// Yields true where the byte starts a two-byte character in codePage.
bool IsLeadByte(unsigned codePage, unsigned char byte);
// Yields what an invalid pair of a known ANSI code page decodes to.
uint16_t FindDefaultUnit(unsigned codePage);

#endif
