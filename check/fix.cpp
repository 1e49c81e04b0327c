/*
 * Fixes applied to a menu's bytes, each proven by the program's own
 * reading of the result before anything is kept: the warning's code is
 * gone from its place, the tree shows what the fix recorded (the entries'
 * names, the option that takes effect), and no new error appears. A fix
 * that fails its proof is dropped, so that no report offers, and no
 * --fix makes, a mend that reads back as something else.
 */
#include "check.h"
#include "bytes_stream.h"

#include <algorithm>

// Checks the bytes as the checker checks a file of them.
void CheckMenuBytes(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                    std::vector<MenuWarning> *warnings)
{
    warnings->clear();
    FILE *stream = OpenBytesStream(bytes);
    if (!stream) return;
    CheckMenuStream(stream, bytes, settings, menu, warnings);
    fclose(stream);
}

// Yields the bytes with the edits made; they are in the file's order and
// do not overlap.
std::string ApplyFixEdits(const std::string &bytes, const std::vector<FixEdit> &edits)
{
    std::string out = bytes;
    for (size_t i = edits.size(); i-- > 0;) {
        const FixEdit &edit = edits[i];
        if (edit.offset < 0 || edit.offset + edit.length > (long)out.size()) continue;
        out.replace(edit.offset, edit.length, edit.text);
    }
    return out;
}

// Where the byte at pos stands once the edits are made.
static long ShiftedPosition(long pos, const std::vector<FixEdit> &edits)
{
    long shift = 0;
    for (const FixEdit &edit : edits) {
        if (edit.offset + edit.length <= pos) shift += (long)edit.text.size() - edit.length;
        else if (edit.offset <= pos) return edit.offset + shift;
    }
    return pos + shift;
}

static void ListTexts(const std::vector<CheckedItem> &items, std::vector<std::string> *texts)
{
    for (const CheckedItem &item : items) {
        texts->push_back(item.text);
        ListTexts(item.children, texts);
    }
}

static int CountErrors(const std::vector<MenuWarning> &warnings)
{
    return (int)std::count_if(warnings.begin(), warnings.end(), [](const MenuWarning &w) { return w.error; });
}

// Whether the option took effect in the menu read.
static bool TookEffect(const std::string &option, const CheckedMenu &menu)
{
    if (option == "sorted") return menu.sorted;
    if (option == "install") return menu.install;
    int width, height;
    char x;
    if (sscanf(option.c_str(), "size=%d%c%d", &width, &x, &height) == 3)
        return menu.hasSize && menu.width == width && menu.height == height;
    return false;
}

static bool ProveFixAgainst(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning,
                            int errorsBefore, std::string *why)
{
    const MenuFix &fix = warning.fix;
    std::string after = ApplyFixEdits(bytes, fix.edits);
    if (after == bytes) {
        *why = "the fix changes nothing";
        return false;
    }
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    CheckMenuBytes(after, settings, &menu, &warnings);
    long place = ShiftedPosition(warning.offset, fix.edits);
    for (const MenuWarning &w : warnings)
        if (w.code == warning.code && (w.offset == place || w.offset == warning.offset)) {
            *why = "the warning is still there";
            return false;
        }
    std::vector<std::string> texts;
    ListTexts(menu.items, &texts);
    for (const std::string &name : fix.names)
        if (std::find(texts.begin(), texts.end(), name) == texts.end()) {
            *why = "the tree has no item \"" + name + "\"";
            return false;
        }
    if (!fix.option.empty() && !TookEffect(fix.option, menu)) {
        *why = "the option " + fix.option + " does not take effect";
        return false;
    }
    if (CountErrors(warnings) > errorsBefore - (warning.error ? 1 : 0)) {
        *why = "the fix makes a new error";
        return false;
    }
    return true;
}

// Whether the warning's fix, made on the bytes it was found in, gives what
// it recorded; *why says what failed.
bool ProveFix(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning, std::string *why)
{
    CheckedMenu menu;
    std::vector<MenuWarning> before;
    CheckMenuBytes(bytes, settings, &menu, &before);
    return warning.hasFix && ProveFixAgainst(bytes, settings, warning, CountErrors(before), why);
}

// Drops the fixes of the warnings (found in bytes) that fail their proof.
void KeepProvenFixes(const std::string &bytes, const CheckSettings &settings, std::vector<MenuWarning> *warnings)
{
    int errors = CountErrors(*warnings);
    for (MenuWarning &warning : *warnings) {
        std::string why;
        if (warning.hasFix && !ProveFixAgainst(bytes, settings, warning, errors, &why)) warning.hasFix = false;
    }
}

static bool Overlaps(const FixEdit &a, const FixEdit &b)
{
    return a.offset < b.offset + b.length && b.offset < a.offset + a.length ? true
           : a.offset == b.offset; // two insertions at one place would run together
}

// The most rounds of fixes: one fix can make another possible, as a quote
// mended shows the comma it had hidden.
#define MAX_FIX_ROUNDS 4

// Yields the bytes with every proven safe fix made (and the suggested ones
// too if asked), in rounds; *fixed gets each warning fixed, as found in
// its round. The codes left out are not fixed.
std::string FixMenu(const std::string &bytes, const CheckSettings &settings, bool suggestedToo,
                    std::vector<MenuWarning> *fixed, const std::vector<std::string> &leftOut)
{
    std::string current = bytes;
    for (int round = 0; round < MAX_FIX_ROUNDS; round++) {
        CheckedMenu menu;
        std::vector<MenuWarning> warnings;
        CheckMenuBytes(current, settings, &menu, &warnings);
        int errors = CountErrors(warnings);
        std::vector<FixEdit> chosen, first;
        size_t fixedBefore = fixed->size();
        for (const MenuWarning &warning : warnings) {
            if (!warning.hasFix || (!warning.fix.safe && !suggestedToo)) continue;
            if (std::find(leftOut.begin(), leftOut.end(), warning.code) != leftOut.end()) continue;
            bool clear = true;
            for (const FixEdit &edit : warning.fix.edits)
                for (const FixEdit &taken : chosen) clear = clear && !Overlaps(edit, taken);
            std::string why;
            if (!clear || !ProveFixAgainst(current, settings, warning, errors, &why)) continue;
            if (chosen.empty()) first = warning.fix.edits;
            chosen.insert(chosen.end(), warning.fix.edits.begin(), warning.fix.edits.end());
            fixed->push_back(warning);
        }
        if (chosen.empty()) break;
        std::sort(chosen.begin(), chosen.end(), [](const FixEdit &a, const FixEdit &b) { return a.offset < b.offset; });
        std::string together = ApplyFixEdits(current, chosen);
        // Each fix was proven alone; together they may meet, as two quotes
        // mended in one stretch. Then this round makes only the first.
        CheckMenuBytes(together, settings, &menu, &warnings);
        if (CountErrors(warnings) > errors) {
            together = ApplyFixEdits(current, first);
            fixed->resize(fixedBefore + 1);
        }
        current = together;
    }
    return current;
}
