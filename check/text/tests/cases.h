/*
 * The inputs of the differential tests, and how their results are printed,
 * shared by the Win32 reference program (which runs the platform's own
 * conversions and tree under Wine) and the native program (which runs the
 * checker's), so that the two outputs must be identical line for line.
 */
#ifndef QUORLAN_CHECK_TEXT_CASES_H
#define QUORLAN_CHECK_TEXT_CASES_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

// The platform's signatures, as MultiByteToWideChar(codePage, 0, ...) and
// WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, ..., NULL, usedDefault).
typedef int (*DecodeFunction)(unsigned codePage, const char *text, int length, uint16_t *wide, int size);
typedef int (*EncodeFunction)(unsigned codePage, const uint16_t *wide, int length, char *text, int size,
                              bool *usedDefault);
// As the tree's comparison: negative, 0 or positive.
typedef int (*CompareFunction)(unsigned codePage, const char *a, const char *b);

// Yields bytes as lowercase hex ("-" for none).
std::string FormatHex(const std::string &bytes);

// Opens path for writing, or ends the program with status 2.
FILE *OpenOutput(const char *path);

// The ANSI code pages the checker knows, in codepages.h's order: every one
// but UTF-8. Each one's order is measured in its locale, wholly for the
// single-byte ones, ASCII only for the double-byte ones.
std::vector<unsigned> ListAnsiCodePages();

// Yields the last byte whose order is measured in codePage: 0xFF, or 0x7F
// for a double-byte code page. The sort tests use only bytes up to it.
int FindLastSortByte(unsigned codePage);

// Prints, for every code page the checker knows: the decoding of every byte
// and every pair, the encoding of every UTF-16 unit that does not become the
// default character, then UTF-8 sequences valid and invalid (alone and
// before a letter), and the platform's length and size conventions.
void PrintConversions(FILE *out, DecodeFunction decode, EncodeFunction encode);

// The names of the tree test for codePage: every byte but NUL (up to the
// last measured) alone and inside words, digits, mixed case, hyphens and apostrophes inside words,
// equal names, in an order that is not sorted.
std::vector<std::string> MakeSortNames(unsigned codePage, bool everyPlace = true);

// Pairs of texts for comparing: random bytes of the code page (up to the
// last measured) and near misses (one byte changed, added or dropped),
// count pairs from seed.
std::vector<std::string> MakeComparePairs(unsigned codePage, int count, unsigned seed);

// Prints each pair (as hex) with the sign of compare on it.
void PrintComparisons(FILE *out, unsigned codePage, const std::vector<std::string> &pairs,
                      CompareFunction compare);

// Yields the order in which a tree puts names inserted one by one with
// TVI_SORT, as indices into names.
typedef std::vector<int> (*SortFunction)(unsigned codePage, const std::vector<std::string> &names);

// The checker's SortFunction: FindSortedPlace for each name in turn.
std::vector<int> SortAsTree(unsigned codePage, const std::vector<std::string> &names);

// Runs the modes both programs have: "conversions OUT" (PrintConversions)
// and "sort CODEPAGE OUT" (PrintComparisons on the compare pairs, then the
// order of the sort names). Yields the exit status, or -1 for another mode.
int RunSharedMode(int argc, char **argv, DecodeFunction decode, EncodeFunction encode,
                  CompareFunction compare, SortFunction sort);

// Prints the names in the given order, a line each: its index in names
// (equal names stay apart) and its bytes as hex.
void PrintOrder(FILE *out, const std::vector<std::string> &names, const std::vector<int> &order);

#endif
