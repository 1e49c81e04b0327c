/*
 * The checker: the engine follows the program's loading with every rule
 * set, in the order of g_ruleSets, which is also the order of warnings
 * that point at one place.
 */
#include "checker.h"
#include "rules.h"
#include "../engine/bytes_stream.h"
#include "../engine/places.h"

#include <algorithm>

// The entries' places are followed last, and warn of nothing.
const RuleSet *const g_ruleSets[] = {&g_structureRules, &g_encodingRules, &g_fileRules, &g_mistakeRules,
                                     &g_optionRules, &g_entryPlaces};
const int g_ruleSetCount = sizeof(g_ruleSets) / sizeof(g_ruleSets[0]);

void CheckMenuStream(FILE *stream, const std::string &bytes, const CheckSettings &settings,
                     CheckedMenu *menu, std::vector<MenuWarning> *warnings)
{
    CheckMenuStreamWith(stream, bytes, settings, menu, warnings, NULL);
}

// The same, with one more rule set (if any) following the loading after
// the checker's own: the formatter's, or an editor feature's.
void CheckMenuStreamWith(FILE *stream, const std::string &bytes, const CheckSettings &settings,
                         CheckedMenu *menu, std::vector<MenuWarning> *warnings, const RuleSet *more)
{
    const RuleSet *ruleSets[g_ruleSetCount + 1];
    for (int i = 0; i < g_ruleSetCount; i++) ruleSets[i] = g_ruleSets[i];
    ruleSets[g_ruleSetCount] = more;
    FollowMenuLoading(stream, bytes, settings, menu, warnings, ruleSets, g_ruleSetCount + (more != NULL));
}

// Checks the bytes as the checker checks a file of them, with one more
// rule set following the loading (if any); false where no stream reads them.
bool CheckMenuBytesWith(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                        std::vector<MenuWarning> *warnings, const RuleSet *more)
{
    warnings->clear();
    FILE *stream = OpenBytesStream(bytes);
    if (!stream) return false;
    CheckMenuStreamWith(stream, bytes, settings, menu, warnings, more);
    fclose(stream);
    return true;
}

void CheckMenuBytes(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                    std::vector<MenuWarning> *warnings)
{
    CheckMenuBytesWith(bytes, settings, menu, warnings, NULL);
}

void LeaveOutWarnings(const std::vector<std::string> &codes, std::vector<MenuWarning> *warnings)
{
    if (codes.empty()) return;
    std::vector<MenuWarning> kept;
    for (MenuWarning &warning : *warnings)
        if (std::find(codes.begin(), codes.end(), warning.code) == codes.end()) kept.push_back(warning);
    warnings->swap(kept);
}
