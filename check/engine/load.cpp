/*
 * The checker's view of a menu: the program's own ReadMenuStream fills the
 * substitute's main dialog, with the checker's hook following it, and the
 * caption and the tree items with their records are read back from that
 * dialog. Each command is split as Run splits it.
 */
#include "check.h"
#include "engine.h"
#include "files.h"
#include "places.h"
#include "quote.h"

#include "subst.h"
#include "../text/codepage.h"
#include "../text/collate.h"
#include "../../res/resource.h"

#include <string.h>

// The platform's conversions and the tree's sort order, for the substitute,
// which makes CP_ACP the users' code page before it calls them.
static int ConvertToWide(UINT codePage, DWORD, const char *text, int length, WCHAR *wide, int size, BOOL *invalid)
{
    // Only UTF-8's invalid sequences are known to make the platform's
    // MB_ERR_INVALID_CHARS fail.
    if (codePage == CP_UTF8) {
        int count = length < 0 ? (int)strlen(text) + 1 : length;
        for (int i = 0; i < count;) {
            TextChar ch;
            ReadTextChar(codePage, text + i, count - i, &ch);
            if (!ch.defined) *invalid = TRUE;
            i += ch.byteCount;
        }
    }
    return DecodeText(codePage, text, length, wide, size);
}

static int ConvertFromWide(UINT codePage, DWORD, const WCHAR *wide, int length, char *text, int size,
                           BOOL *usedDefault)
{
    bool used = false;
    int written = EncodeText(codePage, wide, length, text, size, &used);
    if (usedDefault) *usedDefault = used;
    return written;
}

static int CompareItemTexts(const char *a, const char *b) { return CompareNames(GetShownCodePage(), a, b); }
static unsigned long long MakeItemOrderKey(const char *text) { return MakeNameOrderKey(GetShownCodePage(), text); }

// Makes the substitute convert and sort text as machines whose ANSI code
// page is codePage do, and the reports show text as they show it.
void UsePlatformText(unsigned codePage)
{
    SetShownCodePage(codePage);
    SubstSetAnsiCodePage(codePage);
    SubstSetPlatformText(ConvertToWide, ConvertFromWide, CompareItemTexts, MakeItemOrderKey);
}

// What Run hands the shell for this command, if it calls it at all.
static void ReadLaunch(const char *command, CheckedItem *item)
{
    item->launches = command[0] != '\0';
    if (!item->launches) return;
    char text[COMMAND_BUFFER];
    CommandParts parts;
    SplitMenuCommand(command, text, &parts);
    item->file = parts.file;
    item->hasParameters = parts.parameters != NULL;
    item->parameters = parts.parameters ? parts.parameters : "";
    item->hasDirectory = parts.directory != NULL;
    item->directory = parts.directory ? parts.directory : "";
}

// Appends hFirst and its following siblings, with their descendants, in the
// tree's order. The tree is at most MAX_NESTING + 1 levels deep.
static void ReadItems(HWND hTree, HTREEITEM hFirst, std::vector<CheckedItem> *items)
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
            ReadLaunch(entry->command, &item);
        }
        PlaceItem(hItem, &item);
        ReadItems(hTree, GetTreeItem(hTree, TVGN_CHILD, hItem), &item.children);
    }
}

// Loads the menu from stream (from its start) as the program does at start-up
// with the current folder on the settings' drive, reads back the dialog, and
// gathers the warnings of the rule sets that follow the loading, in their order.
void FollowMenuLoading(FILE *stream, const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                       std::vector<MenuWarning> *warnings, const RuleSet *const *ruleSets, int count)
{
    snprintf(g_szStartDir, sizeof(g_szStartDir), "%c:\\", settings.drive);
    UsePlatformText(settings.codePage);
    StartCheckingFolders();
    rewind(stream);
    HWND hDlg = SubstCreateMainDialog(NULL);
    StartFollowingMenu(bytes, settings, menu, warnings, ruleSets, count);
    g_pfnMenuHook = FollowMenu;
    ReadMenuStream(hDlg, stream);
    FinishFollowingMenu(stream);
    g_pfnMenuHook = NULL;

    char caption[MAX_FIELD + 1];
    GetWindowTextA(hDlg, caption, sizeof(caption));
    menu->caption = caption;
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    HTREEITEM hRoot = GetTreeItem(hTree, TVGN_ROOT, NULL);
    menu->items.clear();
    ReadItems(hTree, hRoot, &menu->items);

    FreeEntries(hTree, hRoot);
    SubstDestroyWindow(hDlg);
    SubstClearRecords();
}
