/*
 * Where each entry stands in the file, for the items read back from the
 * tree: a step set beside the rule sets that warns of nothing. It notes the
 * text of each entry the loading inserts, in the order of the inserts, and
 * finds an item's by the substitute's count of inserts.
 */
#include "places.h"

#include "subst.h"

#include <algorithm>

// One inserted entry's text: from its first byte to just past its last,
// and its name's.
struct EntryPlace {
    long start, end, nameStart, nameEnd;
    int braces;
};

static std::vector<EntryPlace> s_places;
static long s_firstInsert; // the substitute's count of inserts when the loading started

static void StartPlaces()
{
    s_places.clear();
    s_firstInsert = SubstGetTreeItemOrder(NULL);
}

// Where the field's text starts (after a folded run of white space), or -1.
static long TextStart(const FieldScan &field)
{
    if (field.textEnd < 0) return -1;
    return field.leadingFold && field.rawPos.size() > 1 ? field.rawPos[1] : field.firstPos;
}

// Each entry the loading inserts has a place, found or not, so that the
// places stay in the order of the inserts.
static void TakeEntry(const FieldScan *fields, int count, bool inserted)
{
    if (!inserted) return;
    EntryPlace place = {-1, -1, -1, -1, (int)Followed().openBraces.size()};
    for (int i = 0; i < count; i++) {
        if (place.start < 0) place.start = TextStart(fields[i]);
        place.end = std::max(place.end, fields[i].textEnd);
    }
    if (count > 0) {
        place.nameStart = TextStart(fields[0]);
        place.nameEnd = fields[0].textEnd;
    }
    s_places.push_back(place);
}

const RuleSet g_entryPlaces = {StartPlaces, NULL, NULL, TakeEntry, NULL, NULL};

void PlaceItem(HTREEITEM hItem, CheckedItem *item)
{
    size_t inserted = (size_t)(SubstGetTreeItemOrder(hItem) - s_firstInsert);
    item->start = item->end = item->nameStart = item->nameEnd = -1;
    item->braces = -1;
    if (!item->hasRecord || inserted >= s_places.size()) return;
    const EntryPlace &place = s_places[inserted];
    item->start = place.start;
    item->end = place.end;
    item->nameStart = place.nameStart;
    item->nameEnd = place.nameEnd;
    item->braces = place.braces;
}
