/*
 * The platform's conversions and comparison in the shapes of cases.h, for
 * the differential tests' reference side and the measuring of the tables.
 */
#include <windows.h>

#include "../collate.h"
#include "../codepage.h"
#include "platform.h"

int PlatformDecode(unsigned codePage, const char *text, int length, uint16_t *wide, int size)
{
    return MultiByteToWideChar(codePage, 0, text, length, (LPWSTR)wide, size);
}

int PlatformEncode(unsigned codePage, const uint16_t *wide, int length, char *text, int size,
                          bool *usedDefault)
{
    BOOL used = FALSE;
    int n = WideCharToMultiByte(codePage, codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, (LPCWSTR)wide,
                                length, text, size, NULL, usedDefault ? &used : NULL);
    if (usedDefault) *usedDefault = used != FALSE;
    return n;
}

std::wstring Widen(unsigned codePage, const std::string &bytes)
{
    WCHAR wide[4096];
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), (int)bytes.size(), wide, 4096);
    return std::wstring(wide, n > 0 ? n : 0);
}

int PlatformCompare(unsigned codePage, const char *a, const char *b)
{
    std::wstring wa = Widen(codePage, a), wb = Widen(codePage, b);
    return CompareStringW(FindCodePageLocale(codePage), 0, wa.c_str(), -1, wb.c_str(), -1) - CSTR_EQUAL;
}
