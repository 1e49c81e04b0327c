/*
 * Any bytes as "Quorlan.ini": read into the substitute dialog, checked, and
 * released. Each input is read twice, once with all the memory it asks for
 * and once with one allocation refused (which one follows from the input),
 * since a failed allocation must cost an entry or a field, never a crash or
 * a leak.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "../tests/unit/alloc_hooks.h"
#include "../tests/unit/menu_test_util.h"

static void Fail(const char *what)
{
    fprintf(stderr, "menu invariant broken: %s\n", what);
    abort();
}

// Yields the number of records in the tree after checking what every item
// must hold: a record's fields within their limits (or the placeholder),
// the item's text equal to the name it was read with, and no item deeper
// than the levels kept.
static long CheckTree(HWND hTree)
{
    long records = 0;
    HTREEITEM hRoot = GetTreeItem(hTree, TVGN_ROOT, NULL);
    if (!hRoot) Fail("the tree is empty");
    ForEachTreeItem(hTree, hRoot, 0, [&](HTREEITEM hItem, int depth) {
        if (depth > MAX_NESTING) Fail("an item lies deeper than the levels kept");
        const ProgramEntry *entry = (const ProgramEntry *)GetTreeItemData(hTree, hItem);
        if (!entry) {
            if (hItem != hRoot || GetTreeItemText(hTree, hItem) != "Explore CD")
                Fail("an item without a record that is not the fallback");
            return;
        }
        records++;
        if (strlen(entry->name) > MAX_FIELD || strlen(entry->command) > MAX_FIELD ||
            strlen(entry->description) > MAX_DESCRIPTION)
            Fail("a field past its limit");
        if (entry->name != g_szOutOfMemory && GetTreeItemText(hTree, hItem) != entry->name)
            Fail("the item's text is not the entry's name");
    });
    return records;
}

// Reads the bytes with allocation number failAt refused (none when
// negative); yields how many allocations the reading asked for.
static long ReadAndRelease(const std::string &bytes, long failAt)
{
    ResetMenuState();
    HWND hDlg = SubstCreateMainDialog(NULL);
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    StartAllocTracking(failAt);
    ReadMenuBytes(hDlg, bytes);
    long allocations = AllocCount();
    long records = CheckTree(hTree);
    // Every record holds itself and three fields, but for one field left to
    // the placeholder when its copy was the allocation refused.
    long held = LiveBlocks();
    if (held != 4 * records && !(failAt >= 0 && held == 4 * records - 1))
        Fail("blocks held that no record owns");
    FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
    if (LiveBlocks() != 0) Fail("blocks left after FreeEntries");
    if (StrayFrees() != 0) Fail("a free of something never allocated");
    StopAllocTracking();
    SubstDestroyWindow(hDlg);
    SubstClearRecords();
    return allocations;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    long allocations = ReadAndRelease(bytes, -1);
    if (allocations > 0) {
        unsigned long hash = 5381;
        for (size_t i = 0; i < size; i++) hash = hash * 33 + data[i];
        ReadAndRelease(bytes, (long)(hash % (unsigned long)allocations));
    }
    return 0;
}
