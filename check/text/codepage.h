/*
 * Text in the ANSI code pages and in UTF-8 as Windows converts it, so that
 * the checker can show what a menu's bytes will look like on the machines
 * the disc is for, and the native build's substitute can convert as the
 * platform does.
 *
 * The functions take what MultiByteToWideChar and WideCharToMultiByte take
 * and give what they give (measured under Wine, byte by byte: see
 * tools/measure-text.sh). Every build but Windows converts the code pages
 * from their complete measured tables (bytes the code page leaves
 * undefined, user-defined areas and invalid pairs included); the Windows
 * build calls the platform itself. UTF-8 follows Windows' own rules for
 * invalid sequences in both.
 */
#ifndef QUORLAN_CHECK_CODEPAGE_H
#define QUORLAN_CHECK_CODEPAGE_H

#include <stdint.h>

#include "codepage_facts.h"

#ifndef CP_UTF8
#define CP_UTF8 65001
#endif

// Decodes as MultiByteToWideChar(codePage, 0, text, length, wide, size):
// a length of -1 takes text up to and including its NUL; a size of 0 only
// counts. Yields the UTF-16 units written (or needed), 0 when wide is too
// small, the code page unknown or length 0.
int DecodeText(unsigned codePage, const char *text, int length, uint16_t *wide, int size);

// Encodes as WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide,
// length, text, size, NULL, usedDefault) with the code page's own default
// character: a character the code page cannot hold becomes that default,
// never a look-alike, and *usedDefault (may be null) says whether one did.
// Counts and lengths as DecodeText.
int EncodeText(unsigned codePage, const uint16_t *wide, int length, char *text, int size,
               bool *usedDefault);

// One character of text as the platform reads it.
struct TextChar {
    int byteCount;       // bytes it takes (at least 1)
    int wideCount;       // UTF-16 units it shows as (1 or 2)
    uint16_t wide[2];
    bool defined;        // false: bytes the code page leaves undefined or to
                         // the user (they show as wide[], a control or
                         // private character), or not valid UTF-8
};

// Reads the character at the start of text (length at least 1) in codePage.
void ReadTextChar(unsigned codePage, const char *text, int length, TextChar *ch);

#ifdef _WIN32
// The Windows build: the ANSI code page of the machine the tool runs on
// (GetACP of the substitute's <windows.h> is the users' code page).
unsigned FindPlatformCodePage();
#endif

#endif
