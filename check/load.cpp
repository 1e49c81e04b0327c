/*
 * The checker's view of a menu: the program's own ReadMenuStream fills the
 * substitute's main dialog, and everything reported is read back from that
 * dialog (caption, recorded resize, hidden command box, tree items and
 * their records); each command goes through the program's own RunCommand,
 * whose shell call the substitute records.
 */
#include "check.h"

#include "subst.h"
#include "../launch/launch.h"
#include "../menu/menu.h"
#include "../res/resource.h"

#include <string.h>

// What RunCommand hands the shell for this command, if it calls it at all.
static void ReadLaunch(HWND hDlg, const char *command, CheckedItem *item)
{
    SubstClearRecords();  // one item's records at a time: a menu may hold millions
    SetDlgItemTextA(hDlg, IDC_COMMAND, command);
    RunCommand(hDlg);
    item->launches = !SubstShellCalls().empty();
    if (!item->launches) return;
    const SubstShellCall &call = SubstShellCalls().back();
    item->file = call.file;
    item->hasParameters = call.hasParameters;
    item->parameters = call.parameters;
    item->hasDirectory = call.hasDirectory;
    item->directory = call.directory;
}

// Appends hFirst and its following siblings, with their descendants, in the
// tree's order. The tree is at most MAX_NESTING + 1 levels deep.
static void ReadItems(HWND hDlg, HWND hTree, HTREEITEM hFirst, std::vector<CheckedItem> *items)
{
    for (HTREEITEM hItem = hFirst; hItem; hItem = GetTreeItem(hTree, TVGN_NEXT, hItem)) {
        char text[MAX_FIELD + 1];
        TVITEMA tvi = {};
        tvi.mask = TVIF_TEXT | TVIF_PARAM;
        tvi.hItem = hItem;
        tvi.pszText = text;
        tvi.cchTextMax = sizeof(text);
        text[0] = '\0';
        SendMessageA(hTree, TVM_GETITEMA, 0, (LPARAM)&tvi);

        // Filled in place: a copy would copy the whole subtree at every level.
        items->push_back(CheckedItem());
        CheckedItem &item = items->back();
        item.text = text;
        ProgramEntry *entry = (ProgramEntry *)tvi.lParam;
        item.hasRecord = entry != NULL;
        if (entry) {
            item.name = entry->name;
            item.command = entry->command;
            item.description = entry->description;
            ReadLaunch(hDlg, entry->command, &item);
        }
        ReadItems(hDlg, hTree, GetTreeItem(hTree, TVGN_CHILD, hItem), &item.children);
    }
}

// Loads the menu from stream (from its start) as the program does at start-up
// with the current folder on the given drive, and reads back the dialog.
void LoadCheckedMenu(FILE *stream, char drive, CheckedMenu *menu)
{
    // The reader's state is the program's one run; give it a fresh start.
    g_bInQuote = 0;
    g_nLastToken = TOK_EOF;
    g_hInsertAfter = TVI_LAST;
    g_szStartDir[0] = drive;
    g_szStartDir[1] = ':';
    g_szStartDir[2] = '\\';
    g_szStartDir[3] = '\0';
    rewind(stream);

    HWND hDlg = SubstCreateMainDialog(NULL);
    SubstClearRecords();
    ReadMenuStream(hDlg, stream);

    char caption[MAX_FIELD + 1];
    GetWindowTextA(hDlg, caption, sizeof(caption));
    menu->caption = caption;
    menu->hasSize = false;
    menu->width = menu->height = 0;
    for (const SubstCall &call : SubstCalls()) {
        if (call.op != "SetWindowPos" || call.hwnd != hDlg) continue;
        menu->hasSize = true;
        menu->width = (int)call.arg[2];
        menu->height = (int)call.arg[3];
    }
    menu->sorted = g_hInsertAfter == TVI_SORT;
    char button[16];
    GetWindowTextA(GetDlgItem(hDlg, IDOK), button, sizeof(button));
    menu->install = !IsWindowVisible(GetDlgItem(hDlg, IDC_COMMAND)) && strcmp(button, "&Install") == 0;

    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    HTREEITEM hRoot = GetTreeItem(hTree, TVGN_ROOT, NULL);
    menu->items.clear();
    ReadItems(hDlg, hTree, hRoot, &menu->items);

    FreeEntries(hTree, hRoot);
    SubstDestroyWindow(hDlg);
    SubstClearRecords();
}
