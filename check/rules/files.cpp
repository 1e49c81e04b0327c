/*
 * Commands whose file is not on the disc, or not by the name the menu
 * gives it: what Run would give the shell, looked for in the menu's folder
 * as the program, started from there, would find it (../files.cpp says
 * what is looked for and what is not).
 */
#include "rules.h"
#include "../files.h"

static void CheckCommandFile(const FieldScan *fields, int count, bool inserted)
{
    const CheckSettings &settings = *Followed().settings;
    if (!inserted || count < 2 || !settings.checkFiles) return;
    const FieldScan &command = fields[1];
    std::string text = Shown(command);
    if (text.empty()) return;
    std::string note, problem = FindCommandFileProblem(text, command.fromDrive, settings, &note);
    if (!problem.empty()) Warn("missing-file", command.firstPos, problem, note);
}

const RuleSet g_fileRules = {NULL, NULL, NULL, CheckCommandFile, NULL, NULL};
