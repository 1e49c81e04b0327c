/*
 * Fixes applied to a menu's bytes, each proven by the program's own
 * reading of the result before anything is kept: the warning's code is
 * gone from its place, the tree shows what the fix recorded (the entries'
 * names, the option that takes effect), each error left is one that was
 * there, at the same place, before (an error the fix mends, or ends with
 * it, may go; none may come or move), and no entry but those the warning
 * speaks for has changed. A fix
 * that fails its proof is dropped, so that no report offers, and no
 * --fix makes, a mend that reads back as something else.
 */
#include "fix.h"
#include "../engine/quote.h"
#include "../rules/checker.h"

#include <algorithm>
#include <climits>

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

// Where the byte at pos of the bytes the edits give stood before them; a
// byte of an edit's text stood where the edit did.
static long PlaceBefore(long pos, const std::vector<FixEdit> &edits)
{
    long shift = 0;
    for (const FixEdit &edit : edits) {
        long at = edit.offset + shift;
        if (pos < at) break;
        if (pos < at + (long)edit.text.size()) return edit.offset;
        shift += (long)edit.text.size() - edit.length;
    }
    return pos - shift;
}

// Whether the edits rewrite a UTF-16 file whole, as UTF-8 with the mark.
static bool IsFromUtf16(const std::string &bytes, const std::vector<FixEdit> &edits)
{
    return edits.size() == 1 && edits[0].offset == 0 && edits[0].length == (long)bytes.size() &&
           (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) &&
           edits[0].text.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

// For such a rewrite: where each byte of the UTF-8 (and its end) stood in
// the UTF-16, at the byte of its character that the program reads as that
// character where it is ASCII: the first of little-endian order's two, the
// second of big-endian's. Where the two do not walk out together, every
// place is the file's start.
static std::vector<long> PlacesInUtf16(const std::string &utf16, const std::string &utf8)
{
    std::vector<long> places(utf8.size() + 1, 0);
    bool little = utf16[0] == '\xFF';
    size_t at = 3; // past the UTF-8 mark, which stands for the UTF-16 one
    for (size_t i = 2; i + 1 < utf16.size() && at < utf8.size(); i += 2) {
        unsigned char first = utf16[i], second = utf16[i + 1];
        unsigned unit = little ? (first | second << 8) : (first << 8 | second);
        long place = (long)i + (!little && unit < 0x80);
        unsigned code = unit;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < utf16.size()) {
            i += 2; // a surrogate pair is one character, of four bytes in UTF-8
            code = 0x10000;
        }
        size_t length = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        for (size_t k = 0; k < length && at < utf8.size(); k++) places[at++] = place;
    }
    if (at != utf8.size()) places.assign(utf8.size() + 1, 0);
    else places[at] = (long)utf16.size();
    return places;
}

// Where each error of a reading of the bytes the edits give stood before
// them: the table of a UTF-16 file rewritten, or each edit's shift.
struct PlacesBack {
    const std::vector<FixEdit> *edits;
    std::vector<long> table;      // empty but for a UTF-16 file rewritten
};

static PlacesBack MapPlacesBack(const std::string &bytes, const std::vector<FixEdit> &edits)
{
    PlacesBack map = {&edits, {}};
    if (IsFromUtf16(bytes, edits)) map.table = PlacesInUtf16(bytes, edits[0].text);
    return map;
}

static long PlaceBack(const PlacesBack &map, long pos)
{
    if (map.table.empty()) return PlaceBefore(pos, *map.edits);
    return map.table[std::max(0L, std::min(pos, (long)map.table.size() - 1))];
}

long PlaceBeforeEdits(const std::string &bytes, const std::vector<FixEdit> &edits, long pos)
{
    return PlaceBack(MapPlacesBack(bytes, edits), pos);
}

// Whether each error read after the edits, where it stood before them, is
// one that was there, less the ones mended: the edits may end errors, but
// make none, nor move one.
static bool KeepsErrors(const std::vector<MenuWarning> &before, const std::vector<MenuWarning> &after,
                        const PlacesBack &map, const std::vector<const MenuWarning *> &mended, std::string *why)
{
    for (const MenuWarning &w : after) {
        if (!w.error) continue;
        long place = PlaceBack(map, w.offset);
        bool was = false;
        std::vector<MenuWarning>::const_iterator u = std::lower_bound(
            before.begin(), before.end(), place, [](const MenuWarning &x, long at) { return x.offset < at; });
        for (; u != before.end() && u->offset == place && !was; ++u) was = u->error && u->code == w.code;
        for (const MenuWarning *m : mended) was = was && !(m->error && m->code == w.code && m->offset == place);
        if (!was) {
            *why = "the fix makes a new error [" + w.code + "]";
            return false;
        }
    }
    return true;
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

// One entry of a tree, with its level, in the file's order: a sorted
// tree shows its entries in another, and a fix that sorts changes none.
struct FlatEntry {
    const CheckedItem *item;
    int depth;
    long key;                     // where it starts (that of the entry before it where it has no text)
};

static void FlattenEntries(const std::vector<CheckedItem> &items, int depth, std::vector<FlatEntry> *out)
{
    for (const CheckedItem &item : items) {
        long key = item.start >= 0 ? item.start : out->empty() ? -1 : out->back().key;
        out->push_back({&item, depth, key});
        FlattenEntries(item.children, depth + 1, out);
    }
}

static std::vector<FlatEntry> EntriesInFileOrder(const CheckedMenu &menu)
{
    std::vector<FlatEntry> entries;
    FlattenEntries(menu.items, 0, &entries);
    std::stable_sort(entries.begin(), entries.end(), [](const FlatEntry &a, const FlatEntry &b) { return a.key < b.key; });
    return entries;
}

static bool IsAscii(const std::string &text)
{
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

// Whether the two texts read the same; once the file is in another
// encoding, only where both are ASCII can they be compared as bytes.
static bool SameText(const std::string &a, const std::string &b, bool reencoded)
{
    return a == b || (reencoded && !(IsAscii(a) && IsAscii(b)));
}

// Whether the entry reads the same, at the same level. (What stands below
// it is compared entry by entry: a fix in a level changes how many.)
static bool SameEntry(const FlatEntry &a, const FlatEntry &b, bool reencoded)
{
    const CheckedItem &x = *a.item, &y = *b.item;
    return a.depth == b.depth && x.hasRecord == y.hasRecord &&
           SameText(x.text, y.text, reencoded) && SameText(x.name, y.name, reencoded) &&
           SameText(x.command, y.command, reencoded) && SameText(x.description, y.description, reencoded);
}

// Whether the closed stretches [start, end] and [from, to] meet.
static bool Meet(long start, long end, long from, long to)
{
    return start >= 0 && from <= end && start <= to;
}

// Whether the entry's text holds an edit of the fix, or the warning's byte.
static bool IsTouched(const CheckedItem &item, const MenuWarning &warning)
{
    for (const FixEdit &edit : warning.fix.edits)
        if (Meet(item.start, item.end, edit.offset, edit.offset + edit.length)) return true;
    return Meet(item.start, item.end, warning.offset, warning.offset);
}

// Whether the entry's text is the first on its line: an entry the author
// wrote on a line of its own, as the line after a missing comma holds.
static bool StartsLine(const std::string &bytes, long pos)
{
    if (pos < 0 || pos > (long)bytes.size()) return false;
    while (pos > 0 && (bytes[pos - 1] == ' ' || bytes[pos - 1] == '\t')) pos--;
    return pos == 0 || bytes[pos - 1] == '\n' || (pos == 3 && !bytes.compare(0, 3, "\xEF\xBB\xBF"));
}

// Whether the fix changed no entry but those the warning speaks for. The
// entries before and after are matched from both ends; those left between
// are the ones the fix changed. A mend that ends a field shifts the fields
// after it on purpose, until the reading falls back in step, so an entry
// the fix gives may also be one that starts its line, as an entry the
// author wrote does (a mend with a comma too few or too many shifts the
// entries after it off their lines instead). What is held against it:
//   - an entry that ends before the fix's first edit has changed;
//   - an entry the fix does not touch, read at the same place, has changed;
//   - an entry the fix gives lies outside what it touched, is not one it
//     names, and does not start its line.
// From the entry of another warning after the fix that says the reading
// goes out of step there, the entries are that warning's: they may change
// as this fix is made.
static bool ChangesOnlyWhatItNames(const std::string &after, const std::vector<FlatEntry> &was,
                                   const std::vector<MenuWarning> &beforeWarnings, const std::vector<FlatEntry> &is,
                                   const MenuWarning &warning, std::string *why)
{
    const MenuFix &fix = warning.fix;
    size_t first = 0;
    while (first < was.size() && first < is.size() && SameEntry(was[first], is[first], fix.reencodes)) first++;
    size_t wasEnd = was.size(), isEnd = is.size();
    while (wasEnd > first && isEnd > first && SameEntry(was[wasEnd - 1], is[isEnd - 1], fix.reencodes))
        wasEnd--, isEnd--;
    if (first == wasEnd && first == isEnd) return true;
    long firstEdit = fix.edits.empty() ? warning.offset : fix.edits[0].offset;
    long lastEdit = fix.edits.empty() ? warning.offset : fix.edits.back().offset + fix.edits.back().length;
    long limit = LONG_MAX;
    for (const MenuWarning &w : beforeWarnings) {
        const WarningCode *row = FindWarningCode(w.code);
        if (row && row->shifts && w.offset > lastEdit && !(w.code == warning.code && w.offset == warning.offset))
            limit = std::min(limit, w.offset);
    }
    for (const FlatEntry &entry : was) // the whole entry the warning is in is its
        if (Meet(entry.item->start, entry.item->end, limit, limit)) limit = std::min(limit, entry.item->start);
    long limitAfter = limit == LONG_MAX ? LONG_MAX : ShiftedPosition(limit, fix.edits);

    // Where the text of each entry touched stands after the fix, and the
    // text each edit puts there.
    std::vector<std::pair<long, long>> touched;
    for (const FixEdit &edit : fix.edits) {
        long at = ShiftedPosition(edit.offset, fix.edits);
        touched.push_back({at, at + (long)edit.text.size()});
    }
    for (size_t i = first; i < wasEnd; i++) {
        const CheckedItem &item = *was[i].item;
        if (!item.hasRecord) continue; // the program's own "Explore CD"
        if (item.end >= 0 && item.end < firstEdit) {
            *why = "the entry " + QuoteText(item.text) + " before the fix has changed";
            return false;
        }
        if (IsTouched(item, warning)) {
            touched.push_back({ShiftedPosition(item.start, fix.edits), ShiftedPosition(item.end, fix.edits)});
            continue;
        }
        if (item.start >= limit) continue;
        if (item.start < 0) continue;
        long at = ShiftedPosition(item.start, fix.edits);
        std::vector<FlatEntry>::const_iterator j = std::lower_bound(
            is.begin() + first, is.begin() + isEnd, at, [](const FlatEntry &e, long key) { return e.key < key; });
        for (; j != is.begin() + isEnd && j->key == at; ++j)
            if (j->item->start == at && !SameEntry(was[i], *j, fix.reencodes)) {
                *why = "the entry " + QuoteText(item.text) + ", which the warning does not name, has changed";
                return false;
            }
    }
    for (size_t j = first; j < isEnd; j++) {
        const CheckedItem &item = *is[j].item;
        if (!item.hasRecord || fix.reencodes || item.start >= limitAfter) continue;
        if (std::find(fix.names.begin(), fix.names.end(), item.text) != fix.names.end()) continue;
        bool within = false;
        for (const std::pair<long, long> &t : touched)
            within = within || (item.start >= t.first && item.end <= t.second && item.start >= 0);
        if (within || StartsLine(after, item.start)) continue;
        *why = "the fix gives an entry " + QuoteText(item.text) + " that the warning does not name";
        return false;
    }
    return true;
}

// Whether the fix of the warning, found in bytes (read as the entries
// was, with the warnings found), gives what it recorded.
static bool ProveFixAgainst(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning,
                            const std::vector<FlatEntry> &was, const std::vector<MenuWarning> &found,
                            std::string *why)
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
    std::vector<FlatEntry> is = EntriesInFileOrder(menu);
    for (const std::string &name : fix.names)
        if (std::none_of(is.begin(), is.end(), [&](const FlatEntry &e) { return e.item->text == name; })) {
            *why = "the tree has no item \"" + name + "\"";
            return false;
        }
    if (!fix.option.empty() && !TookEffect(fix.option, menu)) {
        *why = "the option " + fix.option + " does not take effect";
        return false;
    }
    if (!KeepsErrors(found, warnings, MapPlacesBack(bytes, fix.edits), {&warning}, why)) return false;
    return ChangesOnlyWhatItNames(after, was, found, is, warning, why);
}

// Whether the warning's fix, made on the bytes it was found in, gives what
// it recorded; *why says what failed.
bool ProveFix(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning, std::string *why)
{
    CheckedMenu menu;
    std::vector<MenuWarning> before;
    CheckMenuBytes(bytes, settings, &menu, &before);
    return warning.hasFix && ProveFixAgainst(bytes, settings, warning, EntriesInFileOrder(menu), before, why);
}

// Drops the fixes of the warnings (found in bytes, read as menu) that fail
// their proof.
void KeepProvenFixes(const std::string &bytes, const CheckSettings &settings, const CheckedMenu &menu,
                     std::vector<MenuWarning> *warnings)
{
    const std::vector<MenuWarning> &found = *warnings; // their codes and places, which stay
    std::vector<FlatEntry> was; // the menu's entries, once a fix is to be proven
    for (MenuWarning &warning : *warnings) {
        if (!warning.hasFix) continue;
        if (was.empty()) was = EntriesInFileOrder(menu);
        std::string why;
        if (!ProveFixAgainst(bytes, settings, warning, was, found, &why)) warning.hasFix = false;
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
                    std::vector<MenuWarning> *fixed, const std::vector<std::string> &leftOut,
                    std::vector<size_t> *rounds)
{
    std::string current = bytes;
    for (int round = 0; round < MAX_FIX_ROUNDS; round++) {
        CheckedMenu menu;
        std::vector<MenuWarning> warnings;
        CheckMenuBytes(current, settings, &menu, &warnings);
        std::vector<FlatEntry> was = EntriesInFileOrder(menu);
        std::vector<FixEdit> chosen, first;
        std::vector<const MenuWarning *> mended;
        size_t fixedBefore = fixed->size();
        for (const MenuWarning &warning : warnings) {
            if (!warning.hasFix || (!warning.fix.safe && !suggestedToo)) continue;
            if (std::find(leftOut.begin(), leftOut.end(), warning.code) != leftOut.end()) continue;
            bool clear = true;
            for (const FixEdit &edit : warning.fix.edits)
                for (const FixEdit &taken : chosen) clear = clear && !Overlaps(edit, taken);
            std::string why;
            if (!clear || !ProveFixAgainst(current, settings, warning, was, warnings, &why)) continue;
            if (chosen.empty()) first = warning.fix.edits;
            chosen.insert(chosen.end(), warning.fix.edits.begin(), warning.fix.edits.end());
            fixed->push_back(warning);
            mended.push_back(&warning);
        }
        if (chosen.empty()) break;
        std::sort(chosen.begin(), chosen.end(), [](const FixEdit &a, const FixEdit &b) { return a.offset < b.offset; });
        std::string together = ApplyFixEdits(current, chosen);
        // Each fix was proven alone; together they may meet, as two quotes
        // mended in one stretch. Then this round makes only the first.
        CheckedMenu menuTogether;
        std::vector<MenuWarning> warningsTogether;
        CheckMenuBytes(together, settings, &menuTogether, &warningsTogether);
        std::string why;
        if (!KeepsErrors(warnings, warningsTogether, MapPlacesBack(current, chosen), mended, &why)) {
            together = ApplyFixEdits(current, first);
            fixed->resize(fixedBefore + 1);
        }
        if (rounds) rounds->push_back(fixed->size());
        current = together;
    }
    return current;
}
