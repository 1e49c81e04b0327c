/*
 * Sort keys from the measured weights, and the tree's insertion by them.
 * collate_table.h says how a key is made. Comparing two texts first runs
 * through their primary weights alone, which decides nearly every pair at
 * the first letters; only texts whose letters are all equal build their
 * other levels.
 */
#include "collate.h"

#include <string.h>

#include <algorithm>

#include "codepage.h"
#include "collate_table.h"

#ifdef _WIN32
#include <windows.h>
#endif

bool IsSortApproximate(unsigned codePage)
{
    const SortTable *table = FindSortTable(codePage);
    return !table || table->approximate;
}

int FindUnsureSortByte(unsigned codePage, const char *name)
{
    const SortTable *table = FindSortTable(codePage);
    for (int i = 0; name[i]; i++) {
        unsigned char byte = (unsigned char)name[i];
        if (byte >= 0x80 && (!table || table->approximate)) return i;
        if (table && (table->unsure[byte >> 3] >> (byte & 7)) & 1) return i;
    }
    return -1;
}

// The approximate element of a character outside ASCII where nothing is
// measured: two primary weights from its code point, after every letter.
static void MakeCodePointElement(uint16_t unit, SortElement *element)
{
    unsigned char weights[SORT_MAX_BYTES] = {(unsigned char)(0xF0 + (unit >> 14)),
                                             (unsigned char)(2 + ((unit >> 7) & 0x7F)),
                                             (unsigned char)(2 + (unit & 0x7F)), 2, 2, 2, 2, 2};
    *element = SortElement{SORT_WEIGHTS, 4, 2, 2, {}};
    memcpy(element->weights, weights, sizeof(weights));
}

// Yields the bytes the element at text takes, and the element, from the
// table (the longest contraction there, else the byte) or, where it is not
// measured, from the approximate order: ASCII as measured (for 1252 where
// the code page has no table), the rest by code point.
static int ReadSortElement(const SortTable *table, unsigned codePage, const unsigned char *text,
                           SortElement *scratch, const SortElement **element)
{
    if (!table || (table->approximate && text[0] >= 0x80)) {
        if (text[0] < 0x80) {
            *element = &FindSortTable(1252)->bytes[text[0]];
            return 1;
        }
        TextChar ch;
        int length = 1;
        while (length < 4 && text[length]) length++; // a UTF-8 character takes up to four
        if (IsKnownCodePage(codePage)) ReadTextChar(codePage, (const char *)text, length, &ch);
        else ch.byteCount = 1, ch.wide[0] = text[0];
        MakeCodePointElement(ch.wide[0], scratch);
        *element = scratch;
        return ch.byteCount;
    }
    const SortContraction *end = table->contractions + table->contractionCount;
    const SortContraction *c = std::lower_bound(
        table->contractions, end, text[0],
        [](const SortContraction &entry, unsigned char first) { return entry.bytes[0] < first; });
    const SortContraction *best = 0;
    // strncmp, not memcmp: the text may end before the contraction does,
    // and nothing past its zero byte may be read.
    for (; c < end && c->bytes[0] == text[0]; c++) {
        if (strncmp((const char *)c->bytes, (const char *)text, c->length) == 0 && (!best || c->length > best->length))
            best = c;
    }
    *element = best ? &best->element : &table->bytes[text[0]];
    return best ? best->length : 1;
}

// The levels of a sort key (see collate_table.h), the extra level left out.
struct SortLevels {
    std::string primary, diacritic, cases, special;
};

static void MakeSortLevels(const SortTable *table, unsigned codePage, const char *text, SortLevels *levels)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p) {
        SortElement scratch;
        const SortElement *e;
        p += ReadSortElement(table, codePage, p, &scratch, &e);
        if (e->kind == SORT_WEIGHTS) {
            const char *w = (const char *)e->weights;
            levels->primary.append(w, e->primary);
            levels->diacritic.append(w + e->primary, e->diacritic);
            levels->cases.append(w + e->primary + e->diacritic, e->cases);
        } else if (e->kind == SORT_SPECIAL) {
            unsigned place = 0xFFFF - (unsigned)levels->primary.size() / 2;
            levels->special += (char)(place >> 8);
            levels->special += (char)place;
            levels->special.append((const char *)e->weights, 2);
        } else if (e->kind == SORT_NONSPACE) {
            std::string &diacritic = levels->diacritic;
            if (diacritic.empty()) diacritic += (char)e->weights[0];
            else diacritic.back() = (char)(diacritic.back() + e->weights[0]);
        }
    }
    for (std::string *level : {&levels->diacritic, &levels->cases})
        while (!level->empty() && (unsigned char)level->back() <= 2) level->pop_back();
}

void AppendSortKey(const SortTable *table, unsigned codePage, const char *text, std::string *key)
{
    SortLevels l;
    MakeSortLevels(table, codePage, text, &l);
    *key += l.primary + '\1' + l.diacritic + '\1' + l.cases + '\1' + '\1' + l.special;
}

// The primary weights of a text, a byte at a time.
struct PrimaryCursor {
    const SortTable *table;
    unsigned codePage;
    const unsigned char *text;
    SortElement scratch;
    const SortElement *element;
    int next; // the element's next primary byte
};

// Yields -1 at the end of the text, else the next byte of primary weight.
static int ReadPrimary(PrimaryCursor *cursor)
{
    while (!cursor->element || cursor->element->kind != SORT_WEIGHTS ||
           cursor->next >= cursor->element->primary) {
        if (!*cursor->text) return -1;
        cursor->text += ReadSortElement(cursor->table, cursor->codePage, cursor->text,
                                        &cursor->scratch, &cursor->element);
        cursor->next = 0;
    }
    return cursor->element->weights[cursor->next++];
}

int CompareSortLevels(const SortTable *table, unsigned codePage, const char *a, const char *b)
{
    PrimaryCursor ca = {table, codePage, (const unsigned char *)a, {}, 0, 0};
    PrimaryCursor cb = {table, codePage, (const unsigned char *)b, {}, 0, 0};
    for (;;) {
        int wa = ReadPrimary(&ca), wb = ReadPrimary(&cb);
        if (wa != wb) return wa - wb; // a text whose letters end first is less
        if (wa < 0) break;
    }
    SortLevels la, lb;
    MakeSortLevels(table, codePage, a, &la);
    MakeSortLevels(table, codePage, b, &lb);
    if (int order = la.diacritic.compare(lb.diacritic)) return order;
    if (int order = la.cases.compare(lb.cases)) return order;
    return la.special.compare(lb.special);
}

static int CompareTableNames(unsigned codePage, const char *a, const char *b)
{
    return CompareSortLevels(FindSortTable(codePage), codePage, a, b);
}

#ifdef _WIN32
// The Windows build asks the platform, in the code page's locale.
int CompareNames(unsigned codePage, const char *a, const char *b)
{
    unsigned long locale = FindCodePageLocale(codePage);
    int sizeA = DecodeText(codePage, a, -1, NULL, 0), sizeB = DecodeText(codePage, b, -1, NULL, 0);
    if (!locale || sizeA <= 0 || sizeB <= 0) return CompareTableNames(codePage, a, b);
    std::basic_string<uint16_t> wideA(sizeA, 0), wideB(sizeB, 0);
    DecodeText(codePage, a, -1, &wideA[0], sizeA);
    DecodeText(codePage, b, -1, &wideB[0], sizeB);
    return CompareStringW(locale, 0, (LPCWSTR)wideA.c_str(), -1, (LPCWSTR)wideB.c_str(), -1) - CSTR_EQUAL;
}

unsigned long long MakeNameOrderKey(unsigned, const char *) { return 0; }
#else
int CompareNames(unsigned codePage, const char *a, const char *b)
{
    return CompareTableNames(codePage, a, b);
}

// The first seven bytes of primary weight, the first byte highest, then
// how many there are, up to seven. The primary weights decide first, a
// text whose weights end first is less, and a weight may be 0: where two
// numbers differ, either a byte differs after equal ones, or the shorter
// text's weights end (its bytes left 0) where the other's go on, and its
// smaller count says it is less. Equal numbers decide nothing.
unsigned long long MakeNameOrderKey(unsigned codePage, const char *text)
{
    PrimaryCursor cursor = {FindSortTable(codePage), codePage, (const unsigned char *)text, {}, 0, 0};
    unsigned long long key = 0;
    int count = 0;
    for (int weight; count < 7 && (weight = ReadPrimary(&cursor)) >= 0; count++)
        key |= (unsigned long long)weight << (56 - 8 * count);
    return key | (unsigned)count;
}
#endif

int FindSortedPlace(unsigned codePage, const char *const *siblings, int count, const char *text)
{
    for (int i = 0; i < count; i++) {
        int order = CompareNames(codePage, text, siblings[i]);
        if (order < 0) return i;
        if (order == 0) return i + 1;
    }
    return count;
}
