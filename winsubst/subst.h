/*
 * What the native build's window substitute offers to tests and tools,
 * beyond the Win32 calls themselves: creating the main dialog with its six
 * controls, reading back what the program did to it, and steering the few
 * platform behaviours a test needs to vary (dialog units, failing inserts).
 */
#ifndef QUORLAN_WINSUBST_SUBST_H
#define QUORLAN_WINSUBST_SUBST_H

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

// One recorded window operation. `op` is the platform's name for it
// ("SetWindowPos", "ShowWindow", "WM_SETTEXT", ...); `id` is the control
// identifier of `hwnd` (0 for the dialog itself); `arg` holds the integer
// arguments in the call's order; `text` the string argument, if any.
struct SubstCall {
    std::string op;
    HWND hwnd;
    int id;
    long long arg[5];
    std::string text;
};

// One recorded ShellExecuteExA call: the structure as passed, with copies of
// the strings it pointed at (the pointers themselves die with the caller).
struct SubstShellCall {
    SHELLEXECUTEINFOA info;
    bool hasParameters, hasDirectory;
    std::string file, parameters, directory;
};

// Creates the main dialog as its template describes it (res/resource.h):
// its caption, the six controls with their identifiers, classes,
// texts and rectangles, and the given dialog procedure (may be null). It
// sends no WM_INITDIALOG: the caller sends what it wants the dialog to get.
HWND SubstCreateMainDialog(DLGPROC proc);
// Destroys a window, its children and their tree items.
void SubstDestroyWindow(HWND hwnd);

// Dialog units: MapDialogRect gives x * baseX / 4 and y * baseY / 8, rounded
// to nearest, as the platform does for a font with these base units.
// Default 4 and 8, so that one unit is one pixel.
void SubstSetDialogBaseUnits(int baseX, int baseY);

// The one monitor: its screen and its work area (the screen less the
// taskbar), in screen pixels. Default: both 0, 0, 1024, 768, what Wine
// reports on the end-to-end tests' virtual desktop.
void SubstSetMonitor(const RECT &screen, const RECT &workArea);

// The recorded operations, oldest first, and forgetting them.
const std::vector<SubstCall> &SubstCalls();
const std::vector<SubstShellCall> &SubstShellCalls();
void SubstClearRecords();

// Makes every tree insert after the next `count` fail (the control returns
// null, as when it runs out of memory); a negative count lets all succeed.
void SubstFailTreeInsertsAfter(long count);
// Yields how many inserts into any tree were tried before this item (or
// before now, for null), failed ones included, so that a tool can pair
// items with what it saw inserted, in that order.
long SubstGetTreeItemOrder(HTREEITEM hItem);

// The platform's text conversions and its sort order, which the substitute
// cannot know: whoever uses it gives them, agreeing with the platform (the
// checker's code page tables). The conversions take the platform's
// arguments, with CP_ACP already made the ANSI code page; without them they
// fail. The comparison orders TVI_SORT's items as the tree does; without
// one, they go last.
typedef int (*SubstToWideProc)(UINT codePage, const char *text, int length, WCHAR *wide, int size);
typedef int (*SubstFromWideProc)(UINT codePage, const WCHAR *wide, int length, char *text, int size,
                                 BOOL *usedDefault);
typedef int (*SubstCompareProc)(const char *a, const char *b);
void SubstSetPlatformText(SubstToWideProc toWide, SubstFromWideProc fromWide, SubstCompareProc compare);

// The ANSI code page, which GetACP yields and CP_ACP names (default 1252).
// WideCharToMultiByte keeps the platform's rule for UTF-8 (65001), where it
// takes no flag but WC_ERR_INVALID_CHARS and fails on any other.
void SubstSetAnsiCodePage(UINT codePage);

// Sends the tree's notifications as the control would: a double click, and
// a selection made by the user (TVM_SELECTITEM does the same from code).
void SubstDoubleClickTree(HWND hDlg);
void SubstSelectTreeItem(HWND hDlg, HTREEITEM hItem);

#endif
