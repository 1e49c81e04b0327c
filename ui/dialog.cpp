/*
 * The main dialog's procedure: where every user action enters the menu and
 * launch logic. One thread, one message at a time.
 */
#include "ui.h"
#include "../launch/launch.h"
#include "../menu/menu.h"
#include "../res/resource.h"

#include <commctrl.h>

HINSTANCE g_hInstance;   /* this module */
static BOOL s_bReleased; /* the records are gone: nothing may read them now */

// Shows the newly selected entry's record in the frame, command box and
// description box; an item without one (the fallback) changes nothing.
static void ShowSelectedEntry(HWND hDlg, const NMTREEVIEWA *pnmtv)
{
    const ProgramEntry *entry = (const ProgramEntry *)pnmtv->itemNew.lParam;
    if (!entry || s_bReleased) return;
    SetDlgItemTextA(hDlg, IDC_FRAME, entry->name);
    SetDlgItemTextA(hDlg, IDC_COMMAND, entry->command);
    SetDlgItemTextA(hDlg, IDC_DESCRIPTION, entry->description);
}

static void OnInitDialog(HWND hDlg)
{
    s_bReleased = FALSE;
    SendMessageA(hDlg, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(g_hInstance, MAKEINTRESOURCEA(IDI_MAIN)));
    SendMessageA(hDlg, WM_SETICON, ICON_SMALL,
                 (LPARAM)LoadImageA(g_hInstance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, 16, 16,
                                    LR_DEFAULTCOLOR));
    ReadMenuFile(hDlg);
}

static void OnNotify(HWND hDlg, const NMHDR *pnmh)
{
    if (pnmh->code == TVN_SELCHANGEDA)
        ShowSelectedEntry(hDlg, (const NMTREEVIEWA *)pnmh);
    else if (pnmh->code == NM_DBLCLK && pnmh->hwndFrom == GetDlgItem(hDlg, IDC_TREE))
        RunCommand(hDlg); // runs the box's text, which the first click just filled
}

// Releases the records once, however often Close arrives before the dialog
// is gone, and ends the program.
static void OnClose(HWND hDlg)
{
    if (!s_bReleased) {
        s_bReleased = TRUE;
        HWND hTree = GetDlgItem(hDlg, IDC_TREE);
        FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
        // EndDialog alone would not end a modal loop nested inside the
        // dialog's, such as the shell's error box that Close can arrive
        // in; the quit message ends that loop, then WinMain's.
        PostQuitMessage(0);
    }
    EndDialog(hDlg, IDCANCEL);
}

// TRUE for the four messages it handles, whatever it did with them; it never
// sets a notification result, so the tree's own double-click handling stays.
INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(hDlg);
        return TRUE; // the focus goes to the first tab stop, the tree
    case WM_SIZE:
        LayoutControls(hDlg, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_NOTIFY:
        OnNotify(hDlg, (const NMHDR *)lParam);
        return TRUE;
    case WM_COMMAND:
        // The whole wParam: a notification code in the high word (an edit
        // control's, say) is not a click.
        if (wParam == IDOK) RunCommand(hDlg);
        else if (wParam == IDCANCEL) OnClose(hDlg);
        return TRUE;
    }
    return FALSE;
}
