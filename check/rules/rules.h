/*
 * The rule sets: each draws its warnings from what the engine follows
 * (../engine.h), and none knows another. The checker asks them in the
 * order of g_ruleSets, which is also the order of warnings that point at
 * one place.
 */
#ifndef QUORLAN_CHECK_RULES_H
#define QUORLAN_CHECK_RULES_H

#include "../engine/engine.h"

extern const RuleSet g_structureRules; // the file's shape: fields, entries, levels, what is left open
extern const RuleSet g_encodingRules;  // whether text shows as written, and in the sorted place shown
extern const RuleSet g_fileRules;      // commands whose file is not on the disc
extern const RuleSet g_mistakeRules;   // what authors mistype when they write plain English
extern const RuleSet g_optionRules;    // the header's options

extern const RuleSet *const g_ruleSets[];
extern const int g_ruleSetCount;

#endif
