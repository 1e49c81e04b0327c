/*
 * Any bytes as "Quorlan.ini": read into the substitute dialog, checked, and
 * released. Each input is read twice, once with all the memory it asks for
 * and once with one allocation refused (which one follows from the input),
 * since a failed allocation must cost an entry or a field, never a crash or
 * a leak. Before that, ReadMenuChar's results are compared with those of a
 * plain reading of the character rules, one step at a time over the bytes,
 * so that a faster reader cannot drift from them.
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

// The character rules the slow, plain way: over a byte array, with the same
// state the reader keeps.
struct PlainReader {
    const std::string *bytes;
    size_t at;
    int inQuote, last;
};

static int NextByte(PlainReader *r) { return r->at < r->bytes->size() ? (unsigned char)(*r->bytes)[r->at++] : EOF; }
static void PushBack(PlainReader *r, int c) { if (c != EOF) r->at--; }
static bool IsMenuSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
static bool IsMenuToken(int r) { return r == TOK_OPEN || r == TOK_CLOSE || r == TOK_COMMA; }

static int ReadPlain(PlainReader *r, char drive)
{
    int c = NextByte(r);
    for (;;) {
        if (!r->inQuote) {
            bool skipped = false;
            for (; IsMenuSpace(c); c = NextByte(r)) skipped = true;
            if (skipped && !IsMenuToken(r->last) && c != '{' && c != '}' && c != ',') {
                PushBack(r, c);
                return r->last = ' ';
            }
        }
        if (c != '\'') break;
        r->inQuote = !r->inQuote;
        c = NextByte(r);
    }
    if (!r->inQuote && c == '{') return r->last = TOK_OPEN;
    if (!r->inQuote && c == '}') return r->last = TOK_CLOSE;
    if (!r->inQuote && c == ',') return r->last = TOK_COMMA;
    if (c == '%') {
        c = NextByte(r);
        if (c == ':') {
            PushBack(r, c);
            c = (unsigned char)drive;
        }
    }
    return r->last = c == EOF ? TOK_EOF : c;
}

static void CompareWithPlainReading(const std::string &bytes)
{
    ResetMenuState();
    FILE *stream = OpenMenuBytes(bytes);
    PlainReader plain = {&bytes, 0, 0, TOK_EOF};
    for (int extra = 0; extra < 2;) {
        int expected = ReadPlain(&plain, g_szStartDir[0]);
        if (ReadMenuChar(stream) != expected) Fail("the reader gave another result than the rules");
        if (expected == TOK_EOF) extra++;
    }
    fclose(stream);
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
    CompareWithPlainReading(bytes);
    // The same bytes once more as a file marked as UTF-8: the same
    // invariants hold after the conversion to the ANSI code page.
    ReadAndRelease("\xEF\xBB\xBF" + bytes, -1);
    long allocations = ReadAndRelease(bytes, -1);
    if (allocations > 0) {
        unsigned long hash = 5381;
        for (size_t i = 0; i < size; i++) hash = hash * 33 + data[i];
        ReadAndRelease(bytes, (long)(hash % (unsigned long)allocations));
    }
    return 0;
}
