/*
 * The measured sort weights behind collate.h, and the sort key they make:
 * the bytes LCMapString(LCMAP_SORTKEY) gives for the same text in the same
 * locale, so that comparing two keys level by level orders two texts as the
 * platform's comparison does. (One character is weighed as the comparison
 * weighs it, not as its key is written: U+0385 in 1253, whose key holds its
 * accent as a primary weight of 01 00 but which compares as U+00A8 with a
 * combining acute.)
 *
 * A key is made of four levels, each closed by a 01 byte, then the special
 * weights and a final 00:
 *   - the primary weights: the letters, digits and symbols (two bytes each,
 *     three for a private-use character; one, 01 00, can hold a 01);
 *   - one diacritic weight per primary weight (2: none; none at all for a
 *     private-use character), a non-spacing mark adding its own to the one
 *     before it, modulo 256 (or standing alone at the start);
 *   - one case weight per primary weight (2: none, likewise);
 *     (trailing weights of 2 or less are left out of both)
 *   - the extra level, empty in the locales measured here;
 *   - for each hyphen, apostrophe or control character (a word sort weighs
 *     them last): FFFF less half the bytes of primary weight before it (two
 *     bytes), then its two bytes of weight.
 * Each byte of a code page, and each sequence that the locale weighs as one
 * (a contraction, such as a Thai vowel and the consonant after it), gives
 * one element of the kinds below. The tables are measured under Wine by
 * tools/measure-text.sh (tools/measure.cpp).
 */
#ifndef QUORLAN_CHECK_COLLATE_TABLE_H
#define QUORLAN_CHECK_COLLATE_TABLE_H

#include <string>

#define SORT_MAX_BYTES 16       // bytes of weight one element gives at most
#define SORT_MAX_CONTRACTION 3  // bytes of one contraction at most

enum SortKind {
    SORT_IGNORE,   // weighs nothing
    SORT_WEIGHTS,  // primary weights, with their diacritic and case weights
    SORT_SPECIAL,  // a special weight (two bytes), weighed last with its place
    SORT_NONSPACE, // a diacritic weight added to the one before
};

struct SortElement {
    unsigned char kind;
    unsigned char primary, diacritic, cases; // SORT_WEIGHTS: bytes of each
                                             // level in weights
    unsigned char weights[SORT_MAX_BYTES];   // WEIGHTS: the levels' bytes in
                                             // that order; SPECIAL: 2 bytes;
                                             // NONSPACE: 1 byte
};

struct SortContraction {
    unsigned char length;
    unsigned char bytes[SORT_MAX_CONTRACTION];
    SortElement element;
};

struct SortTable {
    unsigned codePage;
    unsigned long locale;                 // LCID the weights were measured in
    SortElement bytes[256];
    const SortContraction *contractions;  // sorted by their bytes
    int contractionCount;
    unsigned char unsure[32];             // a bit a byte: order not reproduced
    bool approximate;                     // only ASCII measured (double-byte
                                          // code pages): the rest by code point
};

// Yields the measured table of a code page, or null.
const SortTable *FindSortTable(unsigned codePage);

// Appends the sort key of text (NUL-terminated, in codePage) to key, from
// table; without a table, from the approximate order (see collate.h).
void AppendSortKey(const SortTable *table, unsigned codePage, const char *text, std::string *key);

// Compares two texts as the platform's comparison does: level by level,
// each level's bytes in order, a level that ends first less. (That is the
// keys' order but where a primary weight holds a 01, which a key cannot
// tell from the end of the level.)
int CompareSortLevels(const SortTable *table, unsigned codePage, const char *a, const char *b);

#endif
