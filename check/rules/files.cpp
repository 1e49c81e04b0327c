/*
 * Commands whose file is not on the disc, or not by the name the menu
 * gives it: what Run would give the shell, looked for in the menu's folder
 * as the program, started from there, would find it (../files.cpp says
 * what is looked for and what is not). Where exactly one name on the disc
 * is close to a missing file's (../near_names.cpp), the fix names it.
 */
#include "rules.h"
#include "../engine/files.h"
#include "../engine/near_names.h"
#include "../engine/quote.h"

// The fix for a missing file: its file part written to name the one close
// name, in the file's own encoding.
static void FixMissingFile(const FieldScan *fields, const FieldScan &command, const std::string &text)
{
    const CheckSettings &settings = *Followed().settings;
    size_t length;
    std::string written, name;
    if (!FindNearFileName(text, command.fromDrive, settings, &length, &written, &name)) return;
    long start = PositionOfText(command, 0), end = PositionOfText(command, length);
    FixWarning("write " + QuoteText(name) + ", as the disc names it", false,
               {Edit(start, end - start, Followed().utf8File ? ShowText(written) : written)}, {Shown(fields[0])});
}

static void CheckCommandFile(const FieldScan *fields, int count, bool inserted)
{
    const CheckSettings &settings = *Followed().settings;
    if (!inserted || count < 2 || !settings.checkFiles) return;
    const FieldScan &command = fields[1];
    std::string text = Shown(command);
    if (text.empty()) return;
    bool unlisted;
    std::string note, problem = FindCommandFileProblem(text, command.fromDrive, settings, &note, &unlisted);
    if (problem.empty()) return;
    // A close name is no fix where the file itself may be among the names
    // the listing could not give.
    Warn(unlisted ? "unlisted-file" : "missing-file", command.firstPos, problem, note);
    if (!unlisted) FixMissingFile(fields, command, text);
}

const RuleSet g_fileRules = {ForgetDiscFolders, NULL, NULL, CheckCommandFile, NULL, NULL};
