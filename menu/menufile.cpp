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

// Yields one axis of the placement, the start and end of the window's span:
// the new length centred on the old span, then cut to the area and moved
// the least distance that puts it inside. Relies on an area at least 1 long.
static void PlaceSpan(LONG start, LONG end, int newLength, LONG areaStart, LONG areaEnd,
                      LONG *placedStart, LONG *placedEnd)
{
    // Signed division rounds toward zero, so an odd difference keeps the
    // edge a pixel nearer where it was. 64 bits: the scanned size is any int.
    long long length = newLength;
    long long first = start - ((length - ((long long)end - start)) / 2);
    if (length > (long long)areaEnd - areaStart) length = (long long)areaEnd - areaStart;
    if (first + length > areaEnd) first = areaEnd - length;
    if (first < areaStart) first = areaStart;
    *placedStart = (LONG)first;
    *placedEnd = (LONG)(first + length);
}

// Gives the reader and the entry list the state they have when the program
// starts, so that every reading of a menu begins alike.
void StartMenuReading(void)
{
    g_bInQuote = 0;
    g_nLastToken = TOK_EOF;
    g_nMenuOffset = 0;
    g_bUtf8Menu = FALSE;
    g_hInsertAfter = TVI_LAST;
}

// The options by name, as the header spells them; "size=" starts its value.
static const struct {
    const char *name;
    int option;
} s_options[] = {
    {"sorted", OPTION_SORTED},
    {"install", OPTION_INSTALL},
    {"size=", OPTION_SIZE},
};

// Yields which option a header field is: texts are case-sensitive and must
// match whole, but for "size=" which starts its value.
int FindMenuOption(const char *text)
{
    for (const auto &entry : s_options) {
        size_t length = strlen(entry.name);
        if (strncmp(text, entry.name, length) == 0 &&
            (entry.option == OPTION_SIZE || text[length] == '\0'))
            return entry.option;
    }
    return OPTION_NONE;
}

// Yields TRUE with the outer size a "size=WxH" option asks for, when it
// scans as two numbers.
BOOL ScanMenuSize(const char *option, int *width, int *height)
{
    return sscanf(option + 5, "%dx%d", width, height) == 2;
}

// Yields TRUE for a size that makes a window: at least 1 x 1.
BOOL IsMenuSizeUsable(int width, int height)
{
    return width >= 1 && height >= 1;
}

// Yields where size= puts the window: the outer size newWidth x newHeight
// about the centre of window, kept wholly within workArea. A window that
// fits is placed as if there were no work area at all.
void PlaceMenuWindow(const RECT *window, int newWidth, int newHeight, const RECT *workArea, RECT *placed)
{
    PlaceSpan(window->left, window->right, newWidth, workArea->left, workArea->right, &placed->left,
              &placed->right);
    PlaceSpan(window->top, window->bottom, newHeight, workArea->top, workArea->bottom, &placed->top,
              &placed->bottom);
}

// Resizes the dialog to the option's outer size about its centre, within
// the work area of its monitor, so that its caption and buttons stay
// within reach.
static void ResizeMenuWindow(HWND hDlg, const char *option)
{
    int newWidth, newHeight;
    RECT rect;
    if (!ScanMenuSize(option, &newWidth, &newHeight) || !IsMenuSizeUsable(newWidth, newHeight)) return;
    if (!GetWindowRect(hDlg, &rect)) return;
    MONITORINFO monitor;
    monitor.cbSize = sizeof(monitor);
    // Without a monitor to ask, only the coordinates themselves limit it.
    if (!GetMonitorInfoA(MonitorFromWindow(hDlg, MONITOR_DEFAULTTONEAREST), &monitor))
        monitor.rcWork = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    RECT placed;
    PlaceMenuWindow(&rect, newWidth, newHeight, &monitor.rcWork, &placed);
    SetWindowPos(hDlg, NULL, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// Acts on one header option; anything that is none is ignored.
void ApplyMenuOption(HWND hDlg, const char *option)
{
    switch (FindMenuOption(option)) {
    case OPTION_SORTED:
        g_hInsertAfter = TVI_SORT;
        break;
    case OPTION_INSTALL:
        ShowWindow(GetDlgItem(hDlg, IDC_COMMAND), SW_HIDE);
        SetWindowTextA(GetDlgItem(hDlg, IDOK), INSTALL_TEXT);
        break;
    case OPTION_SIZE:
        ResizeMenuWindow(hDlg, option);
        break;
    }
}

// Applies the header and loads the entries from an open menu stream (null
// when there is no file), then adds "Explore CD" if the tree is still empty.
// The reading starts afresh, so a stream read twice gives the same tree.
void ReadMenuStream(HWND hDlg, FILE *stream)
{
    StartMenuReading();
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    if (stream) {
        SkipByteOrderMark(stream);
        int t = ReadMenuField(stream, s_szHeaderField, MAX_FIELD, MENU_TITLE);
        if (s_szHeaderField[0] != '\0') SendMessageA(hDlg, WM_SETTEXT, 0, (LPARAM)s_szHeaderField);
        while (t == TOK_COMMA) {
            t = ReadMenuField(stream, s_szHeaderField, MAX_FIELD, MENU_OPTION);
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
