/*
 * The menu file as a whole: its header (the window's title and options),
 * its entry list into the tree, and the fallback item that keeps the tree
 * from ever being empty.
 */
#include "menu.h"
#include "../res/resource.h"

#include <limits.h>
#include <string.h>

HTREEITEM g_hInsertAfter = TVI_LAST;

static char s_szHeaderField[MAX_FIELD + 1]; // the title, then each option in turn

static int ClampToInt(long long value)
{
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : (int)value;
}

// Resizes the dialog to the outer size "WxH" about its centre. A size that
// does not scan as two numbers, or is not at least 1 x 1, is ignored: there
// is no window to make of it.
static void ResizeMenuWindow(HWND hDlg, const char *size)
{
    int newWidth, newHeight;
    if (sscanf(size, "%dx%d", &newWidth, &newHeight) != 2) return;
    if (newWidth < 1 || newHeight < 1) return;
    RECT rect;
    if (!GetWindowRect(hDlg, &rect)) return;
    // Signed division rounds toward zero, so an odd difference keeps the
    // edge a pixel nearer where it was. 64 bits: the scanned size is any int.
    long long newLeft = rect.left - ((newWidth - ((long long)rect.right - rect.left)) / 2);
    long long newTop = rect.top - ((newHeight - ((long long)rect.bottom - rect.top)) / 2);
    SetWindowPos(hDlg, NULL, ClampToInt(newLeft), ClampToInt(newTop), newWidth, newHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Acts on one header option; texts are case-sensitive and must match whole,
// but for "size=" which starts its value. Anything else is ignored.
static void ApplyMenuOption(HWND hDlg, const char *option)
{
    if (strcmp(option, "sorted") == 0) g_hInsertAfter = TVI_SORT;
    if (strcmp(option, "install") == 0) {
        ShowWindow(GetDlgItem(hDlg, IDC_COMMAND), SW_HIDE);
        SetWindowTextA(GetDlgItem(hDlg, IDOK), "&Install");
    }
    if (strncmp(option, "size=", 5) == 0) ResizeMenuWindow(hDlg, option + 5);
}

// Applies the header and loads the entries from an open menu stream (null
// when there is no file), then adds "Explore CD" if the tree is still empty.
void ReadMenuStream(HWND hDlg, FILE *stream)
{
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    if (stream) {
        int t = ReadMenuField(stream, s_szHeaderField, MAX_FIELD);
        if (s_szHeaderField[0] != '\0') SendMessageA(hDlg, WM_SETTEXT, 0, (LPARAM)s_szHeaderField);
        while (t == TOK_COMMA) {
            t = ReadMenuField(stream, s_szHeaderField, MAX_FIELD);
            ApplyMenuOption(hDlg, s_szHeaderField);
        }
        // Whatever stands between the header and the first `{` is skipped.
        while (t != TOK_OPEN && t != TOK_EOF) t = ReadMenuChar(stream);
        LoadEntries(hTree, stream, TVI_ROOT);
    }
    if (!GetTreeItem(hTree, TVGN_ROOT, NULL)) InsertTreeItem(hTree, TVI_ROOT, "Explore CD", 0);
}

// Reads "Quorlan.ini" from the current folder into the dialog. A missing or
// unreadable file is no error: the tree then shows only "Explore CD".
void ReadMenuFile(HWND hDlg)
{
    FILE *stream = fopen(MENU_FILE_NAME, "rb");
    ReadMenuStream(hDlg, stream);
    if (stream) fclose(stream);
}
