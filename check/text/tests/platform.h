/*
 * The platform's own conversions and comparison (platform.cpp), as the
 * Windows build's reference programs call them.
 */
#ifndef QUORLAN_CHECK_TEXT_PLATFORM_H
#define QUORLAN_CHECK_TEXT_PLATFORM_H

#include <stdint.h>

#include <string>

// MultiByteToWideChar(codePage, 0, ...), in DecodeFunction's shape.
int PlatformDecode(unsigned codePage, const char *text, int length, uint16_t *wide, int size);
// WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, ...), in EncodeFunction's shape.
int PlatformEncode(unsigned codePage, const uint16_t *wide, int length, char *text, int size,
                   bool *usedDefault);
// The bytes in UTF-16, as the platform decodes them in codePage.
std::wstring Widen(unsigned codePage, const std::string &bytes);
// CompareStringW in the code page's locale, as the tree compares.
int PlatformCompare(unsigned codePage, const char *a, const char *b);

#endif
