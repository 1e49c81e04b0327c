/*
 * The Windows build's conversion of the ANSI code pages: the platform's
 * own, one character at a time. Compiled with the platform's <windows.h>,
 * never the substitute's.
 */
#include <windows.h>

#include "codepage_facts.h"
#include "codepage_layer.h"

uint16_t DecodeCodePageChar(unsigned codePage, const unsigned char *bytes, int count)
{
    WCHAR wide[2];
    int n = MultiByteToWideChar(codePage, 0, (LPCSTR)bytes, count, wide, 2);
    return n >= 1 ? wide[0] : FindDefaultUnit(codePage);
}

int EncodeCodePageUnit(unsigned codePage, uint16_t unit, unsigned char out[2])
{
    WCHAR wide = unit;
    char bytes[4];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof(bytes), NULL,
                                &usedDefault);
    if (n < 1 || n > 2 || usedDefault) return 0;
    for (int i = 0; i < n; i++) out[i] = (unsigned char)bytes[i];
    return n;
}

unsigned FindPlatformCodePage() { return GetACP(); }
