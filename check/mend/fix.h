/*
 * Fixes applied to a menu's bytes, each proven by the program's own
 * reading of the result before anything is kept (fix.cpp).
 */
#ifndef QUORLAN_CHECK_FIX_H
#define QUORLAN_CHECK_FIX_H

#include "../engine/check.h"

#include <map>
#include <string>
#include <vector>

std::string ApplyFixEdits(const std::string &bytes, const std::vector<FixEdit> &edits);
bool ProveFix(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning,
              std::string *why);
// The same, by the reading of that fix alone, whatever was proven before.
bool ProveFixAlone(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning,
                   std::string *why);
void KeepProvenFixes(const std::string &bytes, const CheckSettings &settings, const CheckedMenu &menu,
                     std::vector<MenuWarning> *warnings);
// rounds, if given, gets the count of *fixed at the end of each round of
// fixes made together.
std::string FixMenu(const std::string &bytes, const CheckSettings &settings, bool suggestedToo,
                    std::vector<MenuWarning> *fixed, const std::vector<std::string> &leftOut,
                    std::vector<size_t> *rounds = NULL);
// The edits of fixes taken to be made together, by offset, and whether an
// edit overlaps one of them (two insertions at one place would run
// together).
typedef std::map<long, FixEdit> TakenEdits;
bool OverlapsTaken(const TakenEdits &taken, const FixEdit &edit);
void TakeEdits(TakenEdits *taken, const std::vector<FixEdit> &edits);
// Where the byte at pos of the bytes the edits give (in order, apart) stood
// in the bytes they were made on: a byte of an edit's text where the edit
// stood, a byte of a UTF-16 file saved as UTF-8 where its character did.
long PlaceBeforeEdits(const std::string &bytes, const std::vector<FixEdit> &edits, long pos);

#endif
