/*
 * The tree-view operations the menu code relies on, each one message to the
 * control. Item texts are copied by the control, so callers reuse buffers.
 */
#include "menu.h"

// Yields the new item, or null when the control refuses it. A null parent
// is the root, as the control takes it.
HTREEITEM InsertTreeItem(HWND hTree, HTREEITEM hParent, const char *text, LPARAM lParam)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = hParent;
    insert.hInsertAfter = g_hInsertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = (LPSTR)text;
    insert.item.lParam = lParam;
    return (HTREEITEM)SendMessageA(hTree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

// Yields the root (TVGN_ROOT), first child (TVGN_CHILD) or next sibling
// (TVGN_NEXT) of an item, or null.
HTREEITEM GetTreeItem(HWND hTree, WPARAM relation, HTREEITEM hItem)
{
    return (HTREEITEM)SendMessageA(hTree, TVM_GETNEXTITEM, relation, (LPARAM)hItem);
}

// Yields the data an item was inserted with (null for none).
LPARAM GetTreeItemData(HWND hTree, HTREEITEM hItem)
{
    TVITEMA item = {};
    item.mask = TVIF_PARAM;
    item.hItem = hItem;
    if (!SendMessageA(hTree, TVM_GETITEMA, 0, (LPARAM)&item)) return 0;
    return item.lParam;
}
