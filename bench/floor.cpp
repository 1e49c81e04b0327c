/*
 * The floor that quorlan.exe's size and start-up are measured against: the
 * least a program can do with the same resources. It registers the common
 * controls, shows the dialog from the same template, puts the one item in
 * its tree that a start without a menu file shows, and ends when closed.
 * Built with quorlan.exe's own flags (quorlan_small_program), so that the
 * difference is the program's code alone.
 *
 * Built again with FLOOR_FILL, it takes "N [sorted]" on its command line
 * and inserts N items named as in the benchmark menus, the way the menu
 * loading inserts them, but reads nothing: its start-up less the floor's is
 * the tree control's own share of a start with N entries.
 */
#include <windows.h>
#include <commctrl.h>

#include "../res/resource.h"

static void InsertItem(HWND hDlg, const char *text, HTREEITEM hInsertAfter)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = (LPSTR)text;
    SendDlgItemMessageA(hDlg, IDC_TREE, TVM_INSERTITEMA, 0, (LPARAM)&insert);
}

#ifdef FLOOR_FILL
// Inserts the items that the command line "N [sorted]" asks for.
static void FillTree(HWND hDlg, const char *arguments)
{
    long count = 0;
    for (; *arguments >= '0' && *arguments <= '9'; arguments++) count = count * 10 + (*arguments - '0');
    HTREEITEM hInsertAfter = lstrcmpA(arguments, " sorted") == 0 ? TVI_SORT : TVI_LAST;
    for (long n = 1; n <= count; n++) {
        char name[32];
        wsprintfA(name, "Entry %07ld", n);
        InsertItem(hDlg, name, hInsertAfter);
    }
}
#endif

static INT_PTR CALLBACK FloorDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
#ifdef FLOOR_FILL
        FillTree(hDlg, (const char *)lParam);
#else
        (void)lParam;
        InsertItem(hDlg, "Explore CD", TVI_LAST);
#endif
        return TRUE;
    }
    if (message == WM_COMMAND && wParam == IDCANCEL) {
        EndDialog(hDlg, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    (void)hPrevInstance;
    (void)nShowCmd;
    InitCommonControls();
    DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, FloorDlgProc, (LPARAM)lpCmdLine);
    return 0;
}
