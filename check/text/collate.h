/*
 * The order in which the platform's tree control places items inserted with
 * TVI_SORT, for a menu written in a given ANSI code page.
 *
 * What the control does (observed under Wine, comctl32 v6): it walks the
 * siblings from the first, compares the new item's text with each by the
 * platform's linguistic comparison in the user's locale (lstrcmpW on the
 * text converted from the code page), puts the item before the first one
 * it is less than, and right after the first one it is equal to. So equal
 * names do not keep their file order: a third equal name goes between the
 * first and the second. The comparison is a word sort: case and accents
 * weigh only when the letters are equal, hyphens, apostrophes and control
 * characters only when everything else is, symbols come before digits and
 * digits before letters; a few characters (the soft hyphen) weigh nothing.
 *
 * In the native build the comparison comes from weights measured under Wine
 * in the locale that goes with each code page (collate_table.cpp, written by
 * tools/measure-text.sh). For the double-byte code pages only ASCII is
 * measured; the rest is ordered by code point, after the letters, and
 * IsSortApproximate says so. The Windows build asks the platform.
 */
#ifndef QUORLAN_CHECK_COLLATE_H
#define QUORLAN_CHECK_COLLATE_H

// Compares two item texts (NUL-terminated, in codePage) as the tree does:
// negative, 0 or positive, as lstrcmp. 0 also for texts that differ only
// in characters that weigh nothing.
int CompareNames(unsigned codePage, const char *a, const char *b);

// Yields a number made once for a text (NUL-terminated, in codePage) that
// orders two texts as CompareNames does wherever their numbers differ: the
// first letters' weights, so that a sorted insertion among thousands of
// names compares numbers rather than texts. Texts with the same number are
// compared with CompareNames. The Windows build asks the platform, which
// has no such number: there every text's is 0.
unsigned long long MakeNameOrderKey(unsigned codePage, const char *text);

// Yields where the tree puts a new item inserted with TVI_SORT among
// siblings already in the tree's order: an index from 0 to count.
int FindSortedPlace(unsigned codePage, const char *const *siblings, int count, const char *text);

// Yields true where the order is only approximate (the double-byte code
// pages, and code pages the checker does not know).
bool IsSortApproximate(unsigned codePage);

// Yields the offset of the first byte of name whose order the checker is
// known not to reproduce exactly, or -1 when there is none.
int FindUnsureSortByte(unsigned codePage, const char *name);

#endif
