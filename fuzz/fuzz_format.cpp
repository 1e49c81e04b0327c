/*
 * Any bytes through the house layout (quorlan-check --format). Besides not
 * crashing or leaking: a menu is either left alone for an error that puts
 * its structure in doubt, or laid out with its reading proved the same
 * (which the layout proves itself, and so never "would change" what the
 * program reads); formatting the result again changes nothing; and laying
 * out only the middle third of the menu is proved the same way. The same
 * holds of the menu --fix=all makes of the bytes, where it makes one: the
 * mends are what authors format next.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "../check/mend/fix.h"
#include "../check/mend/format.h"

static void Fail(const char *what, const std::string &detail)
{
    fprintf(stderr, "layout invariant broken: %s: %s\n", what, detail.c_str());
    abort();
}

// Left alone for an error, not for a layout whose proof failed.
static bool LeftAlone(const MenuLayout &layout) { return !layout.problem.empty() && !layout.proofFailed; }

static void CheckLayoutOf(const std::string &bytes, const CheckSettings &settings)
{
    MenuLayout layout;
    LayOutMenu(bytes, settings, -1, -1, &layout);
    if (!layout.problem.empty()) {
        if (!LeftAlone(layout)) Fail("the layout could not be proved", layout.problem);
        if (!layout.edits.empty()) Fail("a menu left alone has edits", layout.problem);
        return;
    }
    std::string once = ApplyLayout(bytes, layout.edits);
    MenuLayout again;
    LayOutMenu(once, settings, -1, -1, &again);
    if (!again.problem.empty()) Fail("the formatted menu cannot be formatted", again.problem);
    if (!again.edits.empty()) Fail("a second pass changes the formatted menu", once);

    MenuLayout part;
    LayOutMenu(bytes, settings, (long)bytes.size() / 3, (long)(2 * bytes.size() / 3), &part);
    if (!part.problem.empty()) Fail("the middle third could not be proved", part.problem);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    CheckSettings settings;
    settings.codePage = size % 2 ? 1252 : 65001;
    settings.drive = 'E';
    settings.checkFiles = false;

    CheckLayoutOf(bytes, settings);
    std::vector<MenuWarning> fixed;
    std::string mended = FixMenu(bytes, settings, true, &fixed, std::vector<std::string>());
    if (mended != bytes) CheckLayoutOf(mended, settings);
    return 0;
}
