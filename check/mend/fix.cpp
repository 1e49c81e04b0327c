/*
 * Fixes applied to a menu's bytes, each proven by the program's own
 * reading of the result before anything is kept: the warning's code is
 * gone from its place, the tree shows what the fix recorded (the entries'
 * names, the option that takes effect), each error left is one that was
 * there, at the same place, before (an error the fix mends, or ends with
 * it, may go; none may come or move), and no entry but those the warning
 * speaks for has changed. A fix that fails its proof is dropped, so that
 * no report offers, and no --fix makes, a mend that reads back as
 * something else. The fixes of one reading are proven together, in one
 * reading more, where their stretches of the file lie apart; each verdict
 * is the one the fix gets made alone (FindStretches says why).
 */
#include "fix.h"
#include "../engine/files.h"
#include "../engine/quote.h"
#include "../rules/checker.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <unordered_map>

// Yields the bytes with the edits made; they are in the file's order and
// do not overlap (one that goes past the file's end, or starts before the
// one before it ends, is left out). One pass: a fix of every entry of a
// large menu makes thousands of edits.
std::string ApplyFixEdits(const std::string &bytes, const std::vector<FixEdit> &edits)
{
    size_t added = 0;
    for (const FixEdit &edit : edits) added += edit.text.size();
    std::string out;
    out.reserve(bytes.size() + added);
    long at = 0;
    for (const FixEdit &edit : edits) {
        if (edit.offset < at || edit.length < 0 || edit.offset + edit.length > (long)bytes.size()) continue;
        out.append(bytes, at, edit.offset - at);
        out += edit.text;
        at = edit.offset + edit.length;
    }
    out.append(bytes, at, std::string::npos);
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

// Whether each error read after the edits (the warnings from to to, whose
// places less shift are those the edits give), where it stood before them,
// is one that was there, less the ones mended: the edits may end errors,
// but make none, nor move one.
static bool KeepsErrors(const std::vector<MenuWarning> &before, const MenuWarning *from, const MenuWarning *to,
                        long shift, const PlacesBack &map, const std::vector<const MenuWarning *> &mended,
                        std::string *why)
{
    for (const MenuWarning *w = from; w != to; ++w) {
        if (!w->error) continue;
        long place = PlaceBack(map, w->offset - shift);
        bool was = false;
        std::vector<MenuWarning>::const_iterator u = std::lower_bound(
            before.begin(), before.end(), place, [](const MenuWarning &x, long at) { return x.offset < at; });
        for (; u != before.end() && u->offset == place && !was; ++u) was = u->error && u->code == w->code;
        for (const MenuWarning *m : mended) was = was && !(m->error && m->code == w->code && m->offset == place);
        if (!was) {
            *why = "the fix makes a new error [" + w->code + "]";
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
    auto before = [](const FlatEntry &a, const FlatEntry &b) { return a.key < b.key; };
    if (!std::is_sorted(entries.begin(), entries.end(), before)) std::stable_sort(entries.begin(), entries.end(), before);
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

// A menu as one reading gave it, kept for proofs: its bytes, its tree and
// its warnings.
struct MenuRead {
    bool read = false;            // false where no stream could be had to read the bytes
    std::string bytes;
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
};

// A reading as the proofs compare readings: the bytes read, the tree, the
// warnings (in the order of their places) and the entries in the file's
// order, which point into the tree.
struct Reading {
    const std::string *bytes;
    const CheckedMenu *menu;
    const std::vector<MenuWarning> *warnings;
    std::vector<FlatEntry> entries;
};

static Reading ReadingOf(const std::string &bytes, const CheckedMenu &menu, const std::vector<MenuWarning> &warnings)
{
    return {&bytes, &menu, &warnings, EntriesInFileOrder(menu)};
}

static MenuRead ReadMenu(std::string bytes, const CheckSettings &settings)
{
    MenuRead read;
    read.bytes = std::move(bytes);
    read.read = CheckMenuBytesWith(read.bytes, settings, &read.menu, &read.warnings, NULL);
    return read;
}

// The stretch of the file in which a fix's proof compares the reading
// before it with the reading after it: for a fix made alone, the whole
// file; for one made with others, its own stretch, between two entries at
// which both readings are in step (FindStretches). Outside its stretch the
// reading with that fix alone is the reading before; inside, the reading
// with all of them, which differs there from the fix's own reading only by
// where it stands (shift).
struct Stretch {
    long from, to;                // before the fixes, from its first byte to just before to (LONG_MAX: the end)
    size_t wasFrom, wasTo;        // the entries before the fixes in it
    size_t isFrom, isTo;          // and after
    size_t foundFrom, foundTo;    // the warnings before
    size_t givenFrom, givenTo;    // and after
    long shift;                   // a place after the fixes, less the same place with the fix alone
    bool header;                  // it holds the header, whose options are read after the fixes
};

static Stretch WholeFile(const Reading &before, const Reading &after)
{
    return {0, LONG_MAX, 0, before.entries.size(), 0, after.entries.size(), 0, before.warnings->size(),
            0, after.warnings->size(), 0, true};
}

// The count of the entries before a fix with each item text, for the names
// a fix records, where its stretch is not the whole file.
typedef std::unordered_map<std::string, long> NameCounts;

// Whether the two entries stand where each other's stand, the fix made:
// their first and last bytes (of entry b, less shift).
static bool StandAlike(const FlatEntry &a, const FlatEntry &b, const MenuFix &fix, long shift)
{
    const CheckedItem &x = *a.item, &y = *b.item;
    if (x.start < 0 || y.start < 0) return x.start < 0 && y.start < 0;
    return y.start - shift == ShiftedPosition(x.start, fix.edits) && y.end - shift == ShiftedPosition(x.end, fix.edits);
}

// Whether the fix changed no entry but those the warning speaks for. The
// entries before and after (in the stretch) are matched from both ends,
// where they read alike and stand alike; those left between are the ones
// the fix changed. A mend that ends a field shifts the fields after it on
// purpose, until the reading falls back in step, so an entry the fix gives
// may also be one that starts its line, as an entry the author wrote does
// (a mend with a comma too few or too many shifts the entries after it
// off their lines instead). What is held against it:
//   - an entry that ends before the fix's first edit has changed;
//   - an entry the fix does not touch, read at the same place, has changed;
//   - an entry the fix gives lies outside what it touched, is not one it
//     names, and does not start its line.
// From the entry of another warning after the fix that says the reading
// goes out of step there, the entries are that warning's: they may change
// as this fix is made.
static bool ChangesOnlyWhatItNames(const Reading &before, const Reading &after, const Stretch &stretch,
                                   const MenuWarning &warning, std::string *why)
{
    const MenuFix &fix = warning.fix;
    const std::vector<FlatEntry> &was = before.entries, &is = after.entries;
    long shift = stretch.shift;
    auto alike = [&](const FlatEntry &a, const FlatEntry &b) {
        return SameEntry(a, b, fix.reencodes) && StandAlike(a, b, fix, shift);
    };
    size_t first = 0, wasCount = stretch.wasTo - stretch.wasFrom, isCount = stretch.isTo - stretch.isFrom;
    while (first < wasCount && first < isCount && alike(was[stretch.wasFrom + first], is[stretch.isFrom + first]))
        first++;
    size_t last = 0;
    while (wasCount - last > first && isCount - last > first &&
           alike(was[stretch.wasTo - 1 - last], is[stretch.isTo - 1 - last]))
        last++;
    if (first == wasCount - last && first == isCount - last) return true;
    size_t wasFirst = stretch.wasFrom + first, wasEnd = stretch.wasTo - last;
    size_t isFirst = stretch.isFrom + first, isEnd = stretch.isTo - last;

    long firstEdit = fix.edits.empty() ? warning.offset : fix.edits[0].offset;
    long lastEdit = fix.edits.empty() ? warning.offset : fix.edits.back().offset + fix.edits.back().length;
    long limit = LONG_MAX;
    const std::vector<MenuWarning> &found = *before.warnings;
    for (std::vector<MenuWarning>::const_iterator w = std::upper_bound(
             found.begin() + stretch.foundFrom, found.begin() + stretch.foundTo, lastEdit,
             [](long at, const MenuWarning &x) { return at < x.offset; });
         w != found.begin() + stretch.foundTo; ++w) {
        const WarningCode *row = FindWarningCode(w->code);
        if (row && row->shifts && !(w->code == warning.code && w->offset == warning.offset)) {
            limit = w->offset;
            break;
        }
    }
    for (size_t i = stretch.wasFrom; i < stretch.wasTo; i++) // the whole entry the warning is in is its
        if (Meet(was[i].item->start, was[i].item->end, limit, limit)) limit = std::min(limit, was[i].item->start);
    long limitAfter = limit == LONG_MAX ? LONG_MAX : ShiftedPosition(limit, fix.edits);

    // Where the text of each entry touched stands after the fix, and the
    // text each edit puts there.
    std::vector<std::pair<long, long>> touched;
    for (const FixEdit &edit : fix.edits) {
        long at = ShiftedPosition(edit.offset, fix.edits);
        touched.push_back({at, at + (long)edit.text.size()});
    }
    for (size_t i = wasFirst; i < wasEnd; i++) {
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
        long at = ShiftedPosition(item.start, fix.edits) + shift;
        std::vector<FlatEntry>::const_iterator j = std::lower_bound(
            is.begin() + isFirst, is.begin() + isEnd, at, [](const FlatEntry &e, long key) { return e.key < key; });
        for (; j != is.begin() + isEnd && j->key == at; ++j)
            if (j->item->start == at && !SameEntry(was[i], *j, fix.reencodes)) {
                *why = "the entry " + QuoteText(item.text) + ", which the warning does not name, has changed";
                return false;
            }
    }
    for (size_t j = isFirst; j < isEnd; j++) {
        const CheckedItem &item = *is[j].item;
        long start = item.start < 0 ? item.start : item.start - shift, end = item.end - shift;
        if (!item.hasRecord || fix.reencodes || start >= limitAfter) continue;
        if (std::find(fix.names.begin(), fix.names.end(), item.text) != fix.names.end()) continue;
        bool within = false;
        for (const std::pair<long, long> &t : touched)
            within = within || (start >= t.first && end <= t.second && start >= 0);
        if (within || StartsLine(*after.bytes, item.start)) continue;
        *why = "the fix gives an entry " + QuoteText(item.text) + " that the warning does not name";
        return false;
    }
    return true;
}

// Whether the edits change the bytes they span.
static bool ChangesBytes(const std::string &bytes, const std::vector<FixEdit> &edits)
{
    if (edits.empty()) return false;
    long added = 0; // edits that change the file's length change it
    for (const FixEdit &edit : edits) added += (long)edit.text.size() - edit.length;
    if (added != 0) return true;
    long from = std::max(0L, std::min(edits.front().offset, (long)bytes.size()));
    long to = std::max(from, std::min(edits.back().offset + edits.back().length, (long)bytes.size()));
    std::vector<FixEdit> moved = edits;
    for (FixEdit &edit : moved) edit.offset -= from;
    std::string spanned = bytes.substr(from, to - from);
    return ApplyFixEdits(spanned, moved) != spanned;
}

// Whether the reading with the fix alone has a warning of the code at pos
// (a place with the fix alone): inside the stretch as the reading after
// has it, outside as the reading before does.
static bool HasWarningAt(const Reading &before, const Reading &after, const Stretch &stretch, const MenuFix &fix,
                         const std::string &code, long pos)
{
    long from = stretch.from == 0 ? LONG_MIN : ShiftedPosition(stretch.from, fix.edits);
    long to = stretch.to == LONG_MAX ? LONG_MAX : ShiftedPosition(stretch.to, fix.edits);
    if (pos >= from && pos < to) {
        for (size_t i = stretch.givenFrom; i < stretch.givenTo; i++) {
            const MenuWarning &w = (*after.warnings)[i];
            if (w.code == code && w.offset - stretch.shift == pos) return true;
        }
        return false;
    }
    long place = PlaceBefore(pos, fix.edits);
    const std::vector<MenuWarning> &found = *before.warnings;
    std::vector<MenuWarning>::const_iterator w = std::lower_bound(
        found.begin(), found.end(), place, [](const MenuWarning &x, long at) { return x.offset < at; });
    for (; w != found.end() && w->offset == place; ++w)
        if (w->code == code) return true;
    return false;
}

// Whether the reading with the fix alone shows an item of that text.
static bool ShowsItem(const Reading &before, const Reading &after, const Stretch &stretch, const NameCounts *names,
                      const std::string &text)
{
    for (size_t j = stretch.isFrom; j < stretch.isTo; j++)
        if (after.entries[j].item->text == text) return true;
    if (!names) return false;
    NameCounts::const_iterator counted = names->find(text);
    long outside = counted == names->end() ? 0 : counted->second;
    for (size_t i = stretch.wasFrom; i < stretch.wasTo; i++) outside -= before.entries[i].item->text == text;
    return outside > 0;
}

// Whether the warning's fix, whose reading with the fix alone is the
// reading before outside the stretch and the reading after inside it,
// gives what it recorded; *why says what failed.
static bool ProveInStretch(const Reading &before, const Reading &after, const Stretch &stretch,
                           const MenuWarning &warning, const NameCounts *names, std::string *why)
{
    const MenuFix &fix = warning.fix;
    if (!ChangesBytes(*before.bytes, fix.edits)) {
        *why = "the fix changes nothing";
        return false;
    }
    long place = ShiftedPosition(warning.offset, fix.edits);
    if (HasWarningAt(before, after, stretch, fix, warning.code, place) ||
        HasWarningAt(before, after, stretch, fix, warning.code, warning.offset)) {
        *why = "the warning is still there";
        return false;
    }
    for (const std::string &name : fix.names)
        if (!ShowsItem(before, after, stretch, names, name)) {
            *why = "the tree has no item \"" + name + "\"";
            return false;
        }
    if (!fix.option.empty() && !TookEffect(fix.option, stretch.header ? *after.menu : *before.menu)) {
        *why = "the option " + fix.option + " does not take effect";
        return false;
    }
    const MenuWarning *given = after.warnings->data();
    if (std::any_of(given + stretch.givenFrom, given + stretch.givenTo, [](const MenuWarning &w) { return w.error; }) &&
        !KeepsErrors(*before.warnings, given + stretch.givenFrom, given + stretch.givenTo, stretch.shift,
                     MapPlacesBack(*before.bytes, fix.edits), {&warning}, why))
        return false;
    return ChangesOnlyWhatItNames(before, after, stretch, warning, why);
}

// What a proof says where the bytes could not be read back.
static const char UNREAD[] = "the bytes could not be read: no room for a copy of them";

// Proves the warning's fix by the reading of its own bytes; *read, if
// given, gets that reading.
static bool ProveAlone(const Reading &before, const CheckSettings &settings, const MenuWarning &warning,
                       std::string *why, MenuRead *read = NULL)
{
    if (!ChangesBytes(*before.bytes, warning.fix.edits)) {
        *why = "the fix changes nothing";
        return false;
    }
    MenuRead after = ReadMenu(ApplyFixEdits(*before.bytes, warning.fix.edits), settings);
    if (!after.read) {
        *why = UNREAD;
        return false;
    }
    Reading reading = ReadingOf(after.bytes, after.menu, after.warnings);
    bool proven = ProveInStretch(before, reading, WholeFile(before, reading), warning, NULL, why);
    if (read) *read = std::move(after); // the tree's items stay where the entries point
    return proven;
}

// One fix to be proven with others: its warning's index, and the stretch
// of the file its edits and its warning span.
struct FixToProve {
    size_t index;
    long from, to;
};

// The edits of fixes made together, in order, and where each edit's place
// moves: shifts[i] is what the edits before edit i add to the places past
// them.
struct EditsMade {
    std::vector<FixEdit> edits;
    std::vector<long> shifts;
};

// How far a place before the edits, in no edit, moves once they are made.
static long ShiftAt(const EditsMade &made, long pos)
{
    size_t before = std::lower_bound(made.edits.begin(), made.edits.end(), pos,
                                     [](const FixEdit &e, long at) { return e.offset < at; }) - made.edits.begin();
    return made.shifts[before];
}

// Whether an edit meets the closed stretch [from, to] of the bytes before.
static bool EditMeets(const EditsMade &made, long from, long to)
{
    std::vector<FixEdit>::const_iterator e = std::lower_bound(
        made.edits.begin(), made.edits.end(), from, [](const FixEdit &x, long at) { return x.offset + x.length < at; });
    return e != made.edits.end() && e->offset <= to;
}

// Whether the entries of the two readings, standing shift apart, read and
// stand alike, and the warnings found there too, between from and to
// (before the fixes; to exclusive) where no fix is: the readings in step.
static bool ReadInStep(const Reading &before, const Reading &after, const Stretch &s)
{
    if (s.wasTo - s.wasFrom != s.isTo - s.isFrom || s.foundTo - s.foundFrom != s.givenTo - s.givenFrom) return false;
    for (size_t i = 0; i < s.wasTo - s.wasFrom; i++) {
        const FlatEntry &a = before.entries[s.wasFrom + i], &b = after.entries[s.isFrom + i];
        const CheckedItem &x = *a.item, &y = *b.item;
        bool placed = x.start < 0 ? y.start < 0
                                  : y.start == x.start + s.shift && y.end == x.end + s.shift && y.braces == x.braces &&
                                        y.nameStart == (x.nameStart < 0 ? -1 : x.nameStart + s.shift) &&
                                        y.nameEnd == (x.nameEnd < 0 ? -1 : x.nameEnd + s.shift);
        if (!placed || !SameEntry(a, b, false)) return false;
    }
    for (size_t i = 0; i < s.foundTo - s.foundFrom; i++) {
        const MenuWarning &x = (*before.warnings)[s.foundFrom + i], &y = (*after.warnings)[s.givenFrom + i];
        if (x.code != y.code || x.error != y.error || y.offset != x.offset + s.shift) return false;
    }
    if (!s.header) return true;
    const CheckedMenu &m = *before.menu, &n = *after.menu;
    return m.caption == n.caption && m.sorted == n.sorted && m.install == n.install && m.hasSize == n.hasSize &&
           m.width == n.width && m.height == n.height;
}

// Why a verdict drawn from fixes made together is the verdict of each fix
// made alone. The loading reads the file once, from its start; what it
// does at a byte depends on what it read before and on the bytes from
// there on. Take an entry that the reading before the fixes and the one
// after them start at the same byte, at the same level, reading its name
// and its command alike, with no edit from the end of the entry before it
// to the end of its name: at its start the two are in step (the level is
// the count of `{` open, which a `{` that opens no entry's level makes
// more than the tree's depth). Its fields
// start outside any quote (a token ended the field before it, and tokens
// are read outside quotes only), and nothing carries into them but the
// level, which both share, and what the rule sets carry over from the
// entry before (a description that ran on, a double quote left open at a
// comma), which they use with this entry's name and command, read alike.
// So from one such entry to the next, the reading with one fix alone reads
// what the reading with all of them reads where that fix is the only one
// between them, and what the reading before reads elsewhere; and a fix's
// proof looks at nothing but what lies in its stretch (what is outside it
// is the reading before, held against itself), so it can be made there
// from the reading of all the fixes. The proof of a fix alone holds the
// same against the whole file; ProveInStretch is that one proof for both.
// Where no fix lies between two such entries, the readings must match
// entry for entry and warning for warning: if they do not, some state went
// through unseen, and the fixes are proven again in halves. Two fixes in
// one stretch are proven apart. A menu nested past the levels kept is
// proven fix by fix: a joined level carries a count its entries do not
// show. A fix alone in its batch is proven by its own reading, so every
// verdict is that of the fix made alone; the tests and fuzz_check compare
// the two on their menus.
//
// Finds the stretches of the fixes (in the order of their stretches'
// starts) made together as made, one for each fix, and sets which stretch
// each one is in (stretchOf); false where the readings are out of step
// between two fixes.
static bool FindStretches(const Reading &before, const Reading &after, const std::vector<FixToProve> &batch,
                          const EditsMade &made, std::vector<Stretch> *stretches, std::vector<size_t> *stretchOf)
{
    for (const std::vector<MenuWarning> *warnings : {before.warnings, after.warnings})
        for (const MenuWarning &w : *warnings)
            if (w.code == "nesting-depth") return false;
    // The entries at which both readings are in step, none in a fix's
    // stretch: where each stands, and where the entries and warnings of
    // either reading from there on start.
    struct Step {
        long at, shift;
        size_t was, is, found, given;
    };
    std::vector<Step> steps;
    const std::vector<MenuWarning> &found = *before.warnings, &given = *after.warnings;
    size_t next = 0, j = 0, f = 0, g = 0;
    long spanEnd = LONG_MIN, previousEnd = 0;
    for (size_t i = 0; i < before.entries.size(); i++) {
        const FlatEntry &entry = before.entries[i];
        const CheckedItem &item = *entry.item;
        if (!item.hasRecord || item.start < 0) continue;
        long at = item.start, from = previousEnd;
        previousEnd = item.end;
        while (next < batch.size() && batch[next].from <= at) spanEnd = std::max(spanEnd, batch[next++].to);
        if (spanEnd >= at || item.nameStart != at || item.nameEnd < 0 || EditMeets(made, from, item.nameEnd)) continue;
        long shift = ShiftAt(made, at);
        while (j < after.entries.size() && after.entries[j].key < at + shift) j++;
        for (size_t k = j; k < after.entries.size() && after.entries[k].key == at + shift; k++) {
            const FlatEntry &other = after.entries[k];
            const CheckedItem &y = *other.item;
            if (y.start == at + shift && y.hasRecord && other.depth == entry.depth && y.braces == item.braces &&
                y.text == item.text &&
                y.name == item.name && y.command == item.command && y.nameStart == at + shift &&
                y.nameEnd == item.nameEnd + shift) {
                while (f < found.size() && found[f].offset < at) f++;
                while (g < given.size() && given[g].offset < at + shift) g++;
                steps.push_back({at, shift, i, j, f, g});
                break;
            }
        }
    }
    // The stretches between them, each with the entries and warnings in it.
    stretches->clear();
    for (size_t s = 0; s <= steps.size(); s++) {
        Stretch stretch;
        bool first = s == 0, last = s == steps.size();
        stretch.from = first ? 0 : steps[s - 1].at;
        stretch.to = last ? LONG_MAX : steps[s].at;
        stretch.shift = first ? 0 : steps[s - 1].shift;
        stretch.wasFrom = first ? 0 : steps[s - 1].was;
        stretch.wasTo = last ? before.entries.size() : steps[s].was;
        stretch.isFrom = first ? 0 : steps[s - 1].is;
        stretch.isTo = last ? after.entries.size() : steps[s].is;
        stretch.foundFrom = first ? 0 : steps[s - 1].found;
        stretch.foundTo = last ? found.size() : steps[s].found;
        stretch.givenFrom = first ? 0 : steps[s - 1].given;
        stretch.givenTo = last ? given.size() : steps[s].given;
        stretch.header = first;
        stretches->push_back(stretch);
    }
    std::vector<int> fixes(stretches->size(), 0);
    stretchOf->clear();
    for (size_t c = 0, s = 0; c < batch.size(); c++) { // in the order of their stretches' starts
        while (s < steps.size() && steps[s].at <= batch[c].from) s++;
        stretchOf->push_back(s);
        fixes[s]++;
    }
    for (size_t s = 0; s < stretches->size(); s++)
        if (fixes[s] == 0 && !ReadInStep(before, after, (*stretches)[s])) return false;
    return true;
}

// The verdicts of the fixes of one reading: 1 proven, 0 not, -1 no fix.
struct Verdicts {
    std::vector<signed char> proven;
    std::vector<std::string> why;
};

// What the proofs of one menu's fixes may read, in bytes: this many times
// the menu, and this much more, so that a small menu's fixes are always
// all proven. Where each fix changes how the rest of the file reads (a
// comma missing at the end of every line), no two readings get back in
// step, every fix is proven by a reading of its own, and a check would
// read the menu once for each of its thousands of fixes: minutes, where
// the author needs only the first fixes, which make the rest go. Bytes,
// not time, so that every build offers the same fixes.
static const size_t PROOF_READ_TIMES = 16;
static const size_t PROOF_READ_MORE = 1024 * 1024;

// What the proofs of the menu being proven may still read.
static size_t s_proofBytesLeft;

// What a proof says where the proofs before it read all they may.
static const char UNAFFORDED[] = "left unproven: the fixes of this menu change how the rest of it reads, and proving "
                                 "them all would read it again too many times; make the first ones and check again";

// Proves the fixes of the batch (apart from one another, in the order of
// their stretches) made together, as FindStretches says; *kept, if given,
// gets the reading with all of them.
static void ProveTogether(const Reading &before, const CheckSettings &settings, const std::vector<FixToProve> &batch,
                          const NameCounts *names, Verdicts *verdicts, MenuRead *kept)
{
    const std::vector<MenuWarning> &found = *before.warnings;
    if (before.bytes->size() > s_proofBytesLeft) {
        for (const FixToProve &c : batch) verdicts->proven[c.index] = 0, verdicts->why[c.index] = UNAFFORDED;
        return;
    }
    s_proofBytesLeft -= before.bytes->size();
    if (batch.size() == 1) {
        size_t i = batch[0].index;
        verdicts->proven[i] = ProveAlone(before, settings, found[i], &verdicts->why[i], kept);
        return;
    }
    EditsMade made;
    for (const FixToProve &c : batch)
        made.edits.insert(made.edits.end(), found[c.index].fix.edits.begin(), found[c.index].fix.edits.end());
    std::sort(made.edits.begin(), made.edits.end(), [](const FixEdit &a, const FixEdit &b) { return a.offset < b.offset; });
    made.shifts.assign(1, 0);
    for (const FixEdit &edit : made.edits) made.shifts.push_back(made.shifts.back() + (long)edit.text.size() - edit.length);
    MenuRead read = ReadMenu(ApplyFixEdits(*before.bytes, made.edits), settings);
    if (!read.read) {
        for (const FixToProve &c : batch) verdicts->proven[c.index] = 0, verdicts->why[c.index] = UNREAD;
        return;
    }
    Reading after = ReadingOf(read.bytes, read.menu, read.warnings);
    std::vector<Stretch> stretches;
    std::vector<size_t> stretchOf;
    std::vector<FixToProve> halves[2];
    if (!FindStretches(before, after, batch, made, &stretches, &stretchOf)) {
        for (size_t k = 0; k < batch.size(); k++) halves[k >= batch.size() / 2].push_back(batch[k]);
    } else {
        std::vector<int> fixes(stretches.size(), 0);
        for (size_t s : stretchOf) fixes[s]++;
        std::vector<FixToProve> shared;
        for (size_t k = 0; k < batch.size(); k++) {
            size_t i = batch[k].index;
            if (fixes[stretchOf[k]] == 1)
                verdicts->proven[i] = ProveInStretch(before, after, stretches[stretchOf[k]], found[i], names,
                                                     &verdicts->why[i]);
            else shared.push_back(batch[k]);
        }
        // Fixes that share a stretch stand next to each other: every other
        // one goes to each half.
        for (size_t k = 0; k < shared.size(); k++) halves[k % 2].push_back(shared[k]);
    }
    if (kept) *kept = std::move(read);
    for (const std::vector<FixToProve> &half : halves)
        if (!half.empty()) ProveTogether(before, settings, half, names, verdicts, NULL);
}

// Whether two edits overlap or touch: insertions at one place would run
// together, and edits side by side put bytes next to each other that each
// fix's own checks saw apart (a NUL taken out before the LF that closing
// the list adds, after a CR, joins the two into a CR LF). Such fixes are
// made in turn.
static bool Overlaps(const FixEdit &a, const FixEdit &b)
{
    return a.offset <= b.offset + b.length && b.offset <= a.offset + a.length;
}

bool OverlapsTaken(const TakenEdits &taken, const FixEdit &edit)
{
    TakenEdits::const_iterator after = taken.lower_bound(edit.offset);
    if (after != taken.end() && Overlaps(edit, after->second)) return true;
    return after != taken.begin() && Overlaps(edit, std::prev(after)->second);
}

void TakeEdits(TakenEdits *taken, const std::vector<FixEdit> &edits)
{
    for (const FixEdit &edit : edits) (*taken)[edit.offset] = edit;
}

// The proofs of the fixes of the last menu proven, kept for as long as no
// other check starts: what the reading found of the disc (a command's file
// there or not) holds until then. --fix asks for the proofs of the check
// just made, and the server's fix-all for those of each fix in turn.
static struct {
    bool kept;
    unsigned long checks;         // the checks started when they were made
    std::string bytes;
    CheckSettings settings;
    std::vector<MenuWarning> found;
    Verdicts verdicts;
    // The first fixes made together, and the reading of them.
    std::vector<size_t> together;
    MenuRead togetherRead;
    // The caller's bytes last found to be these, as they stood then.
    const std::string *seen;
    const char *seenData;
    size_t seenSize;
} s_proofs;

static bool IsSameSettings(const CheckSettings &a, const CheckSettings &b)
{
    return a.codePage == b.codePage && a.drive == b.drive && a.checkFiles == b.checkFiles &&
           a.menuFolder == b.menuFolder;
}

// Whether the proofs kept are those of the bytes. The server asks for the
// fixes of its document one by one, each time with the same bytes: once
// they were found to be the bytes proven, the same string, where it
// stood, with no check started since, holds them still (the caller gives
// the bytes its warnings were found in, and a change to them is checked
// before any warning of it is asked for).
static bool AreProofsKept(const std::string &bytes, const CheckSettings &settings)
{
    if (!s_proofs.kept || s_proofs.checks != CountChecksStarted() || !IsSameSettings(s_proofs.settings, settings))
        return false;
    if (&bytes == s_proofs.seen && bytes.data() == s_proofs.seenData && bytes.size() == s_proofs.seenSize) return true;
    if (bytes != s_proofs.bytes) return false;
    s_proofs.seen = &bytes;
    s_proofs.seenData = bytes.data();
    s_proofs.seenSize = bytes.size();
    return true;
}

// Proves the fixes of the warnings found in bytes (read as menu), in
// batches of fixes made together, and keeps the verdicts. A fix that
// rewrites the file in another encoding is proven alone, as are fixes
// whose edits overlap another's of the batch: they wait for the next.
static void ProveAll(const std::string &bytes, const CheckSettings &settings, const CheckedMenu &menu,
                     const std::vector<MenuWarning> &found)
{
    s_proofs.kept = false;
    s_proofs.seen = NULL;
    s_proofs.bytes = bytes;
    s_proofs.settings = settings;
    s_proofs.found = found;
    s_proofs.verdicts.proven.assign(found.size(), -1);
    s_proofs.verdicts.why.assign(found.size(), std::string());
    s_proofs.together.clear();
    s_proofs.togetherRead = MenuRead();
    s_proofBytesLeft = PROOF_READ_TIMES * bytes.size() + PROOF_READ_MORE;
    std::vector<FixToProve> pending;
    bool named = false;
    for (size_t i = 0; i < found.size(); i++) {
        const MenuWarning &w = found[i];
        if (!w.hasFix || w.fix.edits.empty()) {
            if (w.hasFix) s_proofs.verdicts.proven[i] = 0;
            continue;
        }
        pending.push_back({i, std::min(w.offset, w.fix.edits.front().offset),
                           std::max(w.offset, w.fix.edits.back().offset + w.fix.edits.back().length)});
        named = named || !w.fix.names.empty();
    }
    if (!pending.empty()) {
        std::stable_sort(pending.begin(), pending.end(), [](const FixToProve &a, const FixToProve &b) { return a.from < b.from; });
        Reading before = ReadingOf(s_proofs.bytes, menu, s_proofs.found);
        NameCounts names;
        if (named)
            for (const FlatEntry &entry : before.entries) names[entry.item->text]++;
        for (bool first = true; !pending.empty(); first = false) {
            std::vector<FixToProve> batch, later;
            TakenEdits taken;
            for (const FixToProve &c : pending) {
                const MenuFix &fix = found[c.index].fix;
                bool clear = (batch.empty() || !fix.reencodes) && (batch.empty() || !found[batch[0].index].fix.reencodes);
                for (const FixEdit &edit : fix.edits) clear = clear && !OverlapsTaken(taken, edit);
                (clear ? batch : later).push_back(c);
                if (clear) TakeEdits(&taken, fix.edits);
            }
            if (first)
                for (const FixToProve &c : batch) s_proofs.together.push_back(c.index);
            std::sort(s_proofs.together.begin(), s_proofs.together.end());
            ProveTogether(before, settings, batch, named ? &names : NULL, &s_proofs.verdicts,
                          first ? &s_proofs.togetherRead : NULL);
            pending.swap(later);
        }
    }
    s_proofs.checks = CountChecksStarted();
    s_proofs.kept = true;
}

// Whether the two warnings carry the same fix, at the same place.
static bool IsSameFix(const MenuWarning &a, const MenuWarning &b)
{
    if (a.code != b.code || a.offset != b.offset || a.error != b.error || !a.hasFix || !b.hasFix ||
        a.fix.edits.size() != b.fix.edits.size() || a.fix.names != b.fix.names || a.fix.option != b.fix.option ||
        a.fix.reencodes != b.fix.reencodes)
        return false;
    for (size_t i = 0; i < a.fix.edits.size(); i++)
        if (a.fix.edits[i].offset != b.fix.edits[i].offset || a.fix.edits[i].length != b.fix.edits[i].length ||
            a.fix.edits[i].text != b.fix.edits[i].text)
            return false;
    return true;
}

bool ProveFixAlone(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning,
                   std::string *why)
{
    if (!warning.hasFix) return false;
    MenuRead read = ReadMenu(bytes, settings);
    if (!read.read) {
        *why = UNREAD;
        return false;
    }
    return ProveAlone(ReadingOf(read.bytes, read.menu, read.warnings), settings, warning, why);
}

// Whether the warning's fix, made on the bytes it was found in, gives what
// it recorded; *why says what failed. Where the bytes' fixes were proven
// since the last check started, the verdict is theirs; else they are all
// proven now, together, for the calls to come.
bool ProveFix(const std::string &bytes, const CheckSettings &settings, const MenuWarning &warning, std::string *why)
{
    if (!warning.hasFix) return false;
    if (!AreProofsKept(bytes, settings)) {
        MenuRead read = ReadMenu(bytes, settings);
        if (!read.read) {
            *why = UNREAD;
            return false;
        }
        ProveAll(bytes, settings, read.menu, read.warnings);
    }
    const std::vector<MenuWarning> &found = s_proofs.found;
    for (size_t i = std::lower_bound(found.begin(), found.end(), warning.offset,
                                     [](const MenuWarning &w, long at) { return w.offset < at; }) - found.begin();
         i < found.size() && found[i].offset == warning.offset; i++)
        if (s_proofs.verdicts.proven[i] >= 0 && IsSameFix(found[i], warning)) {
            *why = s_proofs.verdicts.why[i];
            return s_proofs.verdicts.proven[i] == 1;
        }
    return ProveFixAlone(bytes, settings, warning, why); // a fix the checker did not give
}

// Drops the fixes of the warnings (found in bytes, read as menu) that fail
// their proof.
void KeepProvenFixes(const std::string &bytes, const CheckSettings &settings, const CheckedMenu &menu,
                     std::vector<MenuWarning> *warnings)
{
    ProveAll(bytes, settings, menu, *warnings);
    for (size_t i = 0; i < warnings->size(); i++)
        if (s_proofs.verdicts.proven[i] != 1) (*warnings)[i].hasFix = false;
}

// The most rounds of fixes: one fix can make another possible, as a quote
// mended shows the comma it had hidden, and that one the next. Four left
// a chain of five mends with a safe fix still offered, which a second
// --fix=all then made; the rounds go on until none is left, up to this,
// which only a chain no author writes reaches.
#define MAX_FIX_ROUNDS 64

// Yields the bytes with every proven safe fix made (and the suggested ones
// too if asked), in rounds; *fixed gets each warning fixed, as found in
// its round. The codes left out are not fixed. A fix that saves the file
// in another encoding is made in a round of its own, before the others.
std::string FixMenu(const std::string &bytes, const CheckSettings &settings, bool suggestedToo,
                    std::vector<MenuWarning> *fixed, const std::vector<std::string> &leftOut,
                    std::vector<size_t> *rounds)
{
    std::string current = bytes;
    MenuRead next; // the reading of current, where the round before read it
    bool nextRead = false;
    for (int round = 0; round < MAX_FIX_ROUNDS; round++) {
        if (!AreProofsKept(current, settings)) {
            if (!nextRead) next = ReadMenu(current, settings);
            if (!next.read) break;
            ProveAll(current, settings, next.menu, next.warnings);
        }
        nextRead = false;
        const std::vector<MenuWarning> &warnings = s_proofs.found;
        // A fix that saves the file in another encoding first, alone: the
        // other fixes' edits are bytes of the old encoding, found again in
        // the new one in the next round.
        std::vector<size_t> chosen;
        for (int pass = 0; pass < 2 && chosen.empty(); pass++) {
            TakenEdits taken;
            for (size_t i = 0; i < warnings.size(); i++) {
                const MenuWarning &warning = warnings[i];
                if (!warning.hasFix || s_proofs.verdicts.proven[i] != 1 || (!warning.fix.safe && !suggestedToo)) continue;
                if (std::find(leftOut.begin(), leftOut.end(), warning.code) != leftOut.end()) continue;
                if (warning.fix.reencodes != (pass == 0)) continue;
                bool clear = true;
                for (const FixEdit &edit : warning.fix.edits) clear = clear && !OverlapsTaken(taken, edit);
                if (!clear) continue;
                TakeEdits(&taken, warning.fix.edits);
                chosen.push_back(i);
                if (warning.fix.reencodes) break;
            }
        }
        if (chosen.empty()) break;
        std::vector<FixEdit> edits;
        std::vector<const MenuWarning *> mended;
        for (size_t i : chosen) {
            edits.insert(edits.end(), warnings[i].fix.edits.begin(), warnings[i].fix.edits.end());
            mended.push_back(&warnings[i]);
            fixed->push_back(warnings[i]);
        }
        std::sort(edits.begin(), edits.end(), [](const FixEdit &a, const FixEdit &b) { return a.offset < b.offset; });
        std::string together = ApplyFixEdits(current, edits);
        // Each fix was proven alone; together they may meet, as two quotes
        // mended in one stretch. Then this round makes only the first.
        MenuRead read;
        if (s_proofs.together == chosen && s_proofs.togetherRead.bytes == together) read = std::move(s_proofs.togetherRead);
        else read = ReadMenu(together, settings);
        std::string why;
        if (read.read && KeepsErrors(warnings, read.warnings.data(), read.warnings.data() + read.warnings.size(), 0,
                        MapPlacesBack(current, edits), mended, &why)) {
            next = std::move(read);
            nextRead = true;
        } else {
            together = ApplyFixEdits(current, warnings[chosen[0]].fix.edits);
            fixed->resize(fixed->size() - chosen.size() + 1);
        }
        if (rounds) rounds->push_back(fixed->size());
        current = together;
        // The mended bytes may stand in current's old buffer, at its old
        // size: the proofs kept, which took current for the bytes they
        // proved, must compare them. Else the next round took the fixes
        // of this one again, said each twice, and made no other.
        s_proofs.seen = NULL;
    }
    return current;
}
