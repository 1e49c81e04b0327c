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
// one, they go last. It must be an order, as the platform's is: the place
// the tree's walk would give is found by a search of the siblings, except
// under a parent that holds items placed otherwise or under an earlier
// comparison or code page, which is walked. The to-wide one sets *invalid
// where the text holds bytes that are no character of the code page.
//
// What the substitute itself keeps of the platform's conversions, each
// failure setting the last error as Windows documents:
//   - MultiByteToWideChar with CP_UTF8 takes the flags 0 and
//     MB_ERR_INVALID_CHARS only (else ERROR_INVALID_FLAGS); with
//     MB_ERR_INVALID_CHARS, text the proc finds invalid fails
//     (ERROR_NO_UNICODE_TRANSLATION);
//   - WideCharToMultiByte takes WC_ERR_INVALID_CHARS only for CP_UTF8 and
//     54936, and for CP_UTF8 no other flag (else ERROR_INVALID_FLAGS), nor a
//     default character or its flag (ERROR_INVALID_PARAMETER).
// What it leaves to the procs: the conversion itself, the other code pages'
// flags (the checker's procs convert as WC_NO_BEST_FIT_CHARS asks whatever
// the flags), and a default character given for other code pages, which it
// ignores: the code page's own is used. It does not check the counts and
// buffers (ERROR_INSUFFICIENT_BUFFER and the like): the procs follow them.
typedef int (*SubstToWideProc)(UINT codePage, DWORD flags, const char *text, int length, WCHAR *wide, int size,
                               BOOL *invalid);
typedef int (*SubstFromWideProc)(UINT codePage, DWORD flags, const WCHAR *wide, int length, char *text, int size,
                                 BOOL *usedDefault);
typedef int (*SubstCompareProc)(const char *a, const char *b);
// orderKey, if given, yields a number for a text that orders two texts as
// compare does wherever their numbers differ (equal numbers decide
// nothing): TVI_SORT's search then compares numbers where it can.
typedef unsigned long long (*SubstOrderKeyProc)(const char *text);
void SubstSetPlatformText(SubstToWideProc toWide, SubstFromWideProc fromWide, SubstCompareProc compare,
                          SubstOrderKeyProc orderKey = NULL);

// The ANSI code page, which GetACP yields and CP_ACP names (default 1252);
// where it is CP_UTF8, CP_ACP is refused what CP_UTF8 is (above).
void SubstSetAnsiCodePage(UINT codePage);

// Sends the tree's notifications as the control would: a double click, and
// a selection made by the user (TVM_SELECTITEM does the same from code).
void SubstDoubleClickTree(HWND hDlg);
void SubstSelectTreeItem(HWND hDlg, HTREEITEM hItem);

#endif
