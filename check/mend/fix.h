/*
 * Fixes applied to a menu's bytes, each proven by the program's own
 * reading of the result before anything is kept (fix.cpp).
 */
#ifndef QUORLAN_CHECK_FIX_H
#define QUORLAN_CHECK_FIX_H

#include "../engine/check.h"

#include <string>
#include <vector>

std::string ApplyFixEdits(const std::string &bytes, const std::vector<FixEdit> &edits);
bool ProveFix(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning,
              std::string *why);
void KeepProvenFixes(const std::string &bytes, const CheckSettings &settings, const CheckedMenu &menu,
                     std::vector<MenuWarning> *warnings);
std::string FixMenu(const std::string &bytes, const CheckSettings &settings, bool suggestedToo,
                    std::vector<MenuWarning> *fixed, const std::vector<std::string> &leftOut);

#endif
