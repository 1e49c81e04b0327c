/*
 * The code pages' facts, from the one table of them (codepages.h): which
 * there are, their kinds, which bytes lead, the locale of their order and
 * what an invalid pair decodes to. Used by the conversions' rules
 * (codepage.cpp) and by the build's conversion layer alike, and calls
 * neither.
 */
#include "codepage_facts.h"

struct CodePageFacts {
    unsigned codePage;
    CodePageKind kind;
    unsigned long locale;        // its order's locale, or 0
    uint16_t unicodeDefault;     // what an invalid pair decodes to
    unsigned char leadRanges[4]; // first and last lead byte of up to two ranges
};

static const CodePageFacts g_codePages[] = {
#define CODE_PAGE(number, kind, locale, language, unicodeDefault, lead1, last1, lead2, last2) \
    {number, CODE_PAGE_##kind, locale, unicodeDefault, {lead1, last1, lead2, last2}},
#include "codepages.h"
#undef CODE_PAGE
};

static const CodePageFacts *FindCodePage(unsigned codePage)
{
    for (const CodePageFacts &facts : g_codePages)
        if (facts.codePage == codePage) return &facts;
    return 0;
}

unsigned ListCodePage(int index)
{
    return index >= 0 && index < (int)(sizeof(g_codePages) / sizeof(g_codePages[0])) ? g_codePages[index].codePage : 0;
}

uint16_t FindDefaultUnit(unsigned codePage)
{
    const CodePageFacts *facts = FindCodePage(codePage);
    return facts ? facts->unicodeDefault : '?';
}

bool IsKnownCodePage(unsigned codePage) { return FindCodePage(codePage) != 0; }

CodePageKind FindCodePageKind(unsigned codePage)
{
    const CodePageFacts *facts = FindCodePage(codePage);
    return facts ? facts->kind : CODE_PAGE_SINGLE_BYTE;
}

bool IsDoubleByteCodePage(unsigned codePage) { return FindCodePageKind(codePage) == CODE_PAGE_DOUBLE_BYTE; }

unsigned long FindCodePageLocale(unsigned codePage)
{
    const CodePageFacts *facts = FindCodePage(codePage);
    return facts ? facts->locale : 0;
}

bool IsLeadByte(unsigned codePage, unsigned char byte)
{
    const CodePageFacts *facts = FindCodePage(codePage);
    if (!facts) return false;
    for (int i = 0; i < 4 && facts->leadRanges[i]; i += 2)
        if (byte >= facts->leadRanges[i] && byte <= facts->leadRanges[i + 1]) return true;
    return false;
}
