/*
 * The entry list: one tree item and one ProgramEntry record per entry of the
 * file's body, nested levels as children. The records are owned by their
 * items until FreeEntries releases them at close.
 */
#include "menu.h"

#include <stdlib.h>
#include <string.h>

const char g_szOutOfMemory[] = "{out of memory}";

// One set of reading buffers serves every level: a level is done with them
// (its entry inserted) before it opens a nested level, and reads its next
// entry only after that level has returned. So the stack a level takes is
// small and fixed, whatever the file's nesting.
static char s_szName[MAX_FIELD + 1];
static char s_szCommand[MAX_FIELD + 1];
static char s_szDescription[MAX_DESCRIPTION + 1];
static int s_nNesting; // levels open below the top one

// Yields a heap copy of the text, or the placeholder when none can be had.
static char *CopyField(const char *text)
{
    size_t size = strlen(text) + 1;
    char *copy = (char *)malloc(size);
    if (!copy) return (char *)g_szOutOfMemory;
    memcpy(copy, text, size);
    return copy;
}

static void FreeField(char *field)
{
    if (field != g_szOutOfMemory) free(field);
}

static void FreeRecord(ProgramEntry *entry)
{
    FreeField(entry->name);
    FreeField(entry->command);
    FreeField(entry->description);
    free(entry);
}

// Reads one entry's fields into the buffers; yields the token that ended it.
static int ReadEntry(FILE *stream)
{
    s_szCommand[0] = '\0';
    s_szDescription[0] = '\0';
    int t = ReadMenuField(stream, s_szName, MAX_FIELD, MENU_NAME);
    if (t == TOK_COMMA) {
        t = ReadMenuField(stream, s_szCommand, MAX_FIELD, MENU_COMMAND);
        if (t == TOK_COMMA) t = ReadMenuField(stream, s_szDescription, MAX_DESCRIPTION, MENU_DESCRIPTION);
    }
    return t;
}

// Tells the hook, if any, of an entry or a level, at the reader's offset.
static void ReportLoading(int event, int token)
{
    ReportMenu(event, token, g_nMenuOffset, 0, NULL);
}

// Fills the record from the buffers and yields the item made for it, or null
// when the tree refuses it.
static HTREEITEM InsertEntry(HWND hTree, HTREEITEM hParent, ProgramEntry *entry)
{
    entry->name = CopyField(s_szName);
    entry->command = CopyField(s_szCommand);
    entry->description = CopyField(s_szDescription);
    HTREEITEM hItem = InsertTreeItem(hTree, hParent, s_szName, (LPARAM)entry);
    if (!hItem) FreeRecord(entry); // an item the tree refused owns nothing
    return hItem;
}

// Reads entries up to the end of the current level (its `}` or end of file)
// and inserts them under hParent, nested levels under the level's last item.
void LoadEntries(HWND hTree, FILE *stream, HTREEITEM hParent)
{
    HTREEITEM hLast = NULL;
    int nUnkept = 0; // levels opened here past MAX_NESTING and not yet closed
    ReportLoading(MENU_LEVEL, g_nLastToken);
    for (;;) {
        int t = ReadEntry(stream);
        int filled = s_szName[0] != '\0' || s_szCommand[0] != '\0' || s_szDescription[0] != '\0';
        if (filled) {
            // An entry with no memory for its record is skipped and leaves
            // hLast as it was.
            ProgramEntry *entry = (ProgramEntry *)malloc(sizeof(ProgramEntry));
            if (entry) hLast = InsertEntry(hTree, hParent, entry);
        }
        ReportLoading(filled ? MENU_ENTRY : MENU_EMPTY_ENTRY, t);
        if (t == TOK_OPEN) {
            if (s_nNesting < MAX_NESTING) {
                // With no item yet at this level, the nested entries stay in it.
                s_nNesting++;
                LoadEntries(hTree, stream, hLast ? hLast : hParent);
                s_nNesting--;
            } else {
                ReportLoading(MENU_JOINED, TOK_OPEN);
                nUnkept++;
            }
        } else if (t == TOK_CLOSE && nUnkept > 0) {
            ReportLoading(MENU_JOINED_END, t);
            nUnkept--;
        } else if (t != TOK_COMMA) {
            ReportLoading(MENU_LEVEL_END, t);
            return;
        }
    }
}

// Releases the records of hFirst, its following siblings and all their
// descendants. The items stay; only their records' memory goes.
void FreeEntries(HWND hTree, HTREEITEM hFirst)
{
    for (HTREEITEM hItem = hFirst; hItem; hItem = GetTreeItem(hTree, TVGN_NEXT, hItem)) {
        HTREEITEM hChild = GetTreeItem(hTree, TVGN_CHILD, hItem);
        if (hChild) FreeEntries(hTree, hChild);
        ProgramEntry *entry = (ProgramEntry *)GetTreeItemData(hTree, hItem);
        if (entry) FreeRecord(entry);
    }
}
