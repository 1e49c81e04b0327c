/*
 * The checker: the program's own loading of a menu, followed by the engine
 * with every rule set (and one more, if a caller brings its own follower),
 * from a stream or from the bytes in memory. What the mends, the editor's
 * features, the reports and the front ends call to read a menu.
 */
#ifndef QUORLAN_CHECK_CHECKER_H
#define QUORLAN_CHECK_CHECKER_H

#include "../engine/check.h"

#include <stdio.h>

#include <string>
#include <vector>

struct RuleSet;

/* checker.cpp: bytes is the whole content of stream */
void CheckMenuStream(FILE *stream, const std::string &bytes, const CheckSettings &settings,
                     CheckedMenu *menu, std::vector<MenuWarning> *warnings);
void CheckMenuStreamWith(FILE *stream, const std::string &bytes, const CheckSettings &settings,
                         CheckedMenu *menu, std::vector<MenuWarning> *warnings, const RuleSet *more);
// The same for bytes in memory; false where no stream reads them.
void CheckMenuBytes(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                    std::vector<MenuWarning> *warnings);
bool CheckMenuBytesWith(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                        std::vector<MenuWarning> *warnings, const RuleSet *more);

// Drops the warnings of the codes left out (the command line's --no-warn).
void LeaveOutWarnings(const std::vector<std::string> &codes, std::vector<MenuWarning> *warnings);

#endif
