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

#include <functional>
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
    bool hasVerb, hasFile, hasParameters, hasDirectory;
    std::string verb, file, parameters, directory;
};

// Creates the main dialog as its template describes it: caption
// "Program List", the six controls with their identifiers, classes, texts and
// rectangles (converted from dialog units), and the given dialog procedure
// (may be null; it receives what the dialog is sent but no WM_INITDIALOG).
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

// The dialog manager. DialogBoxParamA creates the main dialog, sends it
// WM_INITDIALOG, then runs the script's steps in order, each with the
// dialog's window, as the user's actions would arrive, until one of them
// ends the dialog; then it destroys the dialog and returns EndDialog's
// result (0 if no step ended it). The script is used once and cleared.
typedef std::function<void(HWND hDlg)> SubstStep;
void SubstSetDialogScript(const std::vector<SubstStep> &steps);
// Makes the next DialogBoxParamA fail as when the template cannot be loaded
// (it returns -1 and sends nothing).
void SubstFailNextDialog();
// What GetCurrentDirectoryA reports (default: the process's own folder).
void SubstSetCurrentDirectory(const char *path);
// Sends the tree's notifications as the control would: a double click, and
// a selection made by the user (TVM_SELECTITEM does the same from code).
void SubstDoubleClickTree(HWND hDlg);
void SubstSelectTreeItem(HWND hDlg, HTREEITEM hItem);

#endif
