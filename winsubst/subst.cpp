/*
 * The native build's model of the window operations the program calls.
 *
 * Windows are plain records: class, identifier, text, visibility, rectangle,
 * children, and for a dialog its procedure. The tree-view control keeps its
 * items as the real one does, a sibling chain under each parent, with the
 * text copied on insert, TVI_LAST appending and TVI_SORT placing an item
 * among its siblings by the comparison it is given, where the control's
 * walk puts it (found by a search of an index kept beside the siblings).
 * Everything the program does to a window besides the tree messages is
 * appended to a record for tests.
 */
#include "subst.h"
#include "../res/resource.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <vector>

// What the program's WinMain captures at start-up (ui/main.cpp), for every
// other program that reads menus: each sets it before it reads one.
char g_szStartDir[512];

struct SortedRuns;

struct _TREEITEM {
    std::string text;
    LPARAM lParam;
    _TREEITEM *parent;
    _TREEITEM *firstChild;
    _TREEITEM *lastChild;
    _TREEITEM *prev;
    _TREEITEM *next;
    long order;  // how many inserts were tried before it
    SortedRuns *runs; // its children's sorted index, or null (see SearchSortedPlace)
    bool unsorted;    // a child was placed otherwise than by TVI_SORT and the comparison in use
};

struct SubstWindow {
    std::string className;
    int id;
    std::string text;
    bool visible;
    RECT rect;  // top-level: screen pixels; child: parent's client pixels
    SubstWindow *parent;
    std::vector<SubstWindow *> children;
    DLGPROC proc;
    _TREEITEM root;  // tree-view only: its children are the top-level items
    HTREEITEM selected;
};

static std::vector<SubstCall> s_calls;
static std::vector<SubstShellCall> s_shellCalls;
static int s_baseX = 4, s_baseY = 8;
static const int s_nonClientX = 8, s_nonClientY = 27; // the main dialog's frame and caption under Wine at 96 DPI
static long s_insertsLeft = -1;
static long s_insertsTried;
static SubstToWideProc s_toWide;     // the platform's conversions and sort
static SubstFromWideProc s_fromWide; // order, as given (subst.h)
static SubstCompareProc s_compare;
static SubstOrderKeyProc s_orderKey;
static long s_compareEpoch;          // counts the changes of the comparison and the code page
static UINT s_ansiCodePage = 1252;   // what GetACP yields (subst.h)
static DWORD s_lastError;            // what GetLastError yields

static void Record(const char *op, HWND hwnd, long long a0 = 0, long long a1 = 0,
                   long long a2 = 0, long long a3 = 0, long long a4 = 0,
                   const char *text = NULL)
{
    SubstCall call;
    call.op = op;
    call.hwnd = hwnd;
    call.id = hwnd && hwnd->parent ? hwnd->id : 0;
    call.arg[0] = a0;
    call.arg[1] = a1;
    call.arg[2] = a2;
    call.arg[3] = a3;
    call.arg[4] = a4;
    if (text) call.text = text;
    s_calls.push_back(call);
}

const std::vector<SubstCall> &SubstCalls() { return s_calls; }
const std::vector<SubstShellCall> &SubstShellCalls() { return s_shellCalls; }

void SubstClearRecords()
{
    s_calls.clear();
    s_shellCalls.clear();
}

void SubstSetDialogBaseUnits(int baseX, int baseY)
{
    s_baseX = baseX;
    s_baseY = baseY;
}

void SubstFailTreeInsertsAfter(long count) { s_insertsLeft = count; }

long SubstGetTreeItemOrder(HTREEITEM hItem) { return hItem ? hItem->order : s_insertsTried; }

/* ---- windows ---- */

static HWND CreateWindowRecord(HWND parent, const char *className, int id, const char *text,
                       int x, int y, int width, int height)
{
    SubstWindow *w = new SubstWindow();
    w->className = className;
    w->id = id;
    w->text = text ? text : "";
    w->visible = true;
    w->rect = {x, y, x + width, y + height};
    w->parent = parent;
    w->proc = NULL;
    w->root = _TREEITEM();
    w->selected = NULL;
    if (parent) parent->children.push_back(w);
    return w;
}

static void DropSortedRuns(_TREEITEM *parent);

static void FreeTreeItems(_TREEITEM *first)
{
    while (first) {
        _TREEITEM *next = first->next;
        FreeTreeItems(first->firstChild);
        DropSortedRuns(first);
        delete first;
        first = next;
    }
}

void SubstDestroyWindow(HWND hwnd)
{
    if (!hwnd) return;
    for (SubstWindow *child : std::vector<SubstWindow *>(hwnd->children)) SubstDestroyWindow(child);
    if (hwnd->parent) {
        std::vector<SubstWindow *> &siblings = hwnd->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
    }
    FreeTreeItems(hwnd->root.firstChild);
    DropSortedRuns(&hwnd->root);
    delete hwnd;
}

static int MulDivRound(int value, int numerator, int denominator)
{
    long long product = (long long)value * numerator;
    long long half = denominator / 2;
    return (int)(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect)
{
    if (!hDlg || !lpRect) return FALSE;
    lpRect->left = MulDivRound(lpRect->left, s_baseX, 4);
    lpRect->right = MulDivRound(lpRect->right, s_baseX, 4);
    lpRect->top = MulDivRound(lpRect->top, s_baseY, 8);
    lpRect->bottom = MulDivRound(lpRect->bottom, s_baseY, 8);
    return TRUE;
}

// Creates a control from its rectangle in dialog units (x, y, cx, cy).
static void CreateControl(HWND dlg, const char *className, int id, const char *text, const int (&r)[4])
{
    RECT rect = {r[0], r[1], r[0] + r[2], r[1] + r[3]};
    MapDialogRect(dlg, &rect);
    CreateWindowRecord(dlg, className, id, text, rect.left, rect.top, rect.right - rect.left,
                       rect.bottom - rect.top);
}

HWND SubstCreateMainDialog(DLGPROC proc)
{
    static const int size[2] = {MAIN_SIZE}, tree[4] = {TREE_RECT}, frame[4] = {FRAME_RECT},
                     description[4] = {DESCRIPTION_RECT}, command[4] = {COMMAND_RECT},
                     run[4] = {RUN_RECT}, close[4] = {CLOSE_RECT};
    HWND dlg = CreateWindowRecord(NULL, "#32770", 0, MAIN_CAPTION, 0, 0, 0, 0);
    RECT client = {0, 0, size[0], size[1]};
    MapDialogRect(dlg, &client);
    dlg->rect = {100, 100, 100 + client.right + s_nonClientX, 100 + client.bottom + s_nonClientY};
    CreateControl(dlg, "SysTreeView32", IDC_TREE, TREE_TEXT, tree);
    CreateControl(dlg, "Button", IDC_FRAME, FRAME_TEXT, frame);
    CreateControl(dlg, "Edit", IDC_DESCRIPTION, DESCRIPTION_TEXT, description);
    CreateControl(dlg, "Edit", IDC_COMMAND, COMMAND_TEXT, command);
    CreateControl(dlg, "Button", IDOK, RUN_TEXT, run);
    CreateControl(dlg, "Button", IDCANCEL, CLOSE_TEXT, close);
    dlg->proc = proc;
    return dlg;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    if (!hDlg) return NULL;
    for (SubstWindow *child : hDlg->children)
        if (child->id == nIDDlgItem) return child;
    return NULL;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    if (!hWnd) return FALSE;
    Record("ShowWindow", hWnd, nCmdShow);
    BOOL wasVisible = hWnd->visible;
    hWnd->visible = nCmdShow != SW_HIDE;
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) { return hWnd && hWnd->visible; }

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    if (!hWnd) return FALSE;
    Record("SetWindowTextA", hWnd, 0, 0, 0, 0, 0, lpString ? lpString : "");
    hWnd->text = lpString ? lpString : "";
    return TRUE;
}

// Copies at most size - 1 bytes of the text and a NUL, as the platform does.
static int CopyText(HWND hWnd, LPSTR buffer, int size)
{
    if (!buffer || size <= 0) return 0;
    size_t n = std::min(hWnd->text.size(), (size_t)size - 1);
    memcpy(buffer, hWnd->text.data(), n);
    buffer[n] = '\0';
    return (int)n;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    if (!hWnd) {
        if (lpString && nMaxCount > 0) lpString[0] = '\0';
        return 0;
    }
    return CopyText(hWnd, lpString, nMaxCount);
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (!item) return FALSE;
    Record("SetDlgItemTextA", item, 0, 0, 0, 0, 0, lpString ? lpString : "");
    item->text = lpString ? lpString : "";
    return TRUE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax)
{
    HWND item = GetDlgItem(hDlg, nIDDlgItem);
    if (!item) {
        if (lpString && cchMax > 0) lpString[0] = '\0';
        return 0;
    }
    return (UINT)CopyText(item, lpString, cchMax);
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect)
{
    if (!hWnd || !lpRect) return FALSE;
    Record("GetWindowRect", hWnd);
    *lpRect = hWnd->rect;
    return TRUE;
}

static void ClientSize(HWND hWnd, int *width, int *height)
{
    int cx = hWnd->rect.right - hWnd->rect.left, cy = hWnd->rect.bottom - hWnd->rect.top;
    if (!hWnd->parent) {
        cx -= s_nonClientX;
        cy -= s_nonClientY;
    }
    *width = std::max(cx, 0);
    *height = std::max(cy, 0);
}

// Moves and sizes the window (the program never asks for less); a dialog
// then gets WM_SIZE with its new client size, as the platform sends it.
BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags)
{
    if (!hWnd) return FALSE;
    Record("SetWindowPos", hWnd, X, Y, cx, cy, uFlags);
    (void)hWndInsertAfter;
    hWnd->rect = {X, Y, (LONG)((long long)X + std::max(cx, 0)), (LONG)((long long)Y + std::max(cy, 0))};
    if (hWnd->proc) {
        int clientX, clientY;
        ClientSize(hWnd, &clientX, &clientY);
        SendMessageA(hWnd, WM_SIZE, 0, MAKELPARAM(std::min(clientX, 0xFFFF), std::min(clientY, 0xFFFF)));
    }
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint)
{
    if (!hWnd) return FALSE;
    Record("MoveWindow", hWnd, X, Y, nWidth, nHeight, bRepaint);
    hWnd->rect = {X, Y, (LONG)((long long)X + std::max(nWidth, 0)),
                  (LONG)((long long)Y + std::max(nHeight, 0))};
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT *lpRect, BOOL bErase)
{
    Record("InvalidateRect", hWnd, lpRect != NULL, bErase);
    return hWnd != NULL;
}

/* ---- monitor ---- */

static RECT s_screen = {0, 0, 1024, 768}, s_workArea = {0, 0, 1024, 768};
static int s_monitor; // its address is the one monitor's handle

void SubstSetMonitor(const RECT &screen, const RECT &workArea)
{
    s_screen = screen;
    s_workArea = workArea;
}

// Every window is on, or nearest to, the one monitor.
HMONITOR WINAPI MonitorFromWindow(HWND hwnd, DWORD dwFlags)
{
    (void)hwnd;
    (void)dwFlags;
    return (HMONITOR)&s_monitor;
}

// As the platform, fills only a structure whose size is set to its own.
BOOL WINAPI GetMonitorInfoA(HMONITOR hMonitor, LPMONITORINFO lpmi)
{
    if (hMonitor != (HMONITOR)&s_monitor || !lpmi || lpmi->cbSize != sizeof(MONITORINFO)) return FALSE;
    lpmi->rcMonitor = s_screen;
    lpmi->rcWork = s_workArea;
    lpmi->dwFlags = 1; // MONITORINFOF_PRIMARY
    return TRUE;
}

/* ---- tree view ---- */

static void LinkAfter(_TREEITEM *parent, _TREEITEM *after, _TREEITEM *item)
{
    item->parent = parent;
    item->prev = after;
    item->next = after ? after->next : parent->firstChild;
    if (item->next)
        item->next->prev = item;
    else
        parent->lastChild = item;
    if (after)
        after->next = item;
    else
        parent->firstChild = item;
}

// Where TVI_SORT puts an item among the parent's children, walking from
// the first, as the control does: before the first child it compares less
// than, or right after the first it compares equal to. Yields the child it
// goes after, or null for the first place.
static _TREEITEM *WalkToSortedPlace(const _TREEITEM *parent, const _TREEITEM *item)
{
    _TREEITEM *after = NULL;
    for (_TREEITEM *sibling = parent->firstChild; sibling; sibling = sibling->next) {
        int order = s_compare(item->text.c_str(), sibling->text.c_str());
        if (order < 0) break;
        after = sibling;
        if (order == 0) break;
    }
    return after;
}

// The first child of each run of children that compare equal, in the
// children's order. While every child of a parent was placed by the walk
// above, with one comparison, the children stand in its order (the walk
// keeps them so), with equal ones together; the walk then stops at the
// first run whose first child the item is less than or equal to, which a
// search of these finds with a few comparisons instead of one a child.
// The comparison is the platform's, an order as sort keys make it. Each
// first is kept with its order key, which decides most comparisons
// without reading the child's text: of thousands of names, the text read
// at each step of the search cost more than the comparison.
struct RunFirst {
    unsigned long long key;
    _TREEITEM *item;
};

// The item's text, with its order key, as the search compares it.
struct RunProbe {
    unsigned long long key;
    const char *text;
};

// Whether a run's first stands before the item, compared as the walk compares them.
struct RunOrder {
    bool operator()(const RunFirst &first, const RunProbe &probe) const
    {
        return first.key != probe.key ? first.key < probe.key : s_compare(probe.text, first.item->text.c_str()) > 0;
    }
};

// The firsts in order, in blocks of up to twice RUN_BLOCK (a block split
// in halves past that), each block's last also kept apart: a search reads a small array of lasts and one block,
// each in a few cache lines, where a tree of thousands of nodes spread
// over the heap cost a cache miss at each of its levels.
#define RUN_BLOCK 128

struct SortedRuns {
    std::vector<std::vector<RunFirst>> blocks; // none empty
    std::vector<RunFirst> lasts;               // each block's last
    long epoch; // the comparison they were found with
};

static void DropSortedRuns(_TREEITEM *parent)
{
    delete parent->runs;
    parent->runs = NULL;
}

// The walk's place for the item, found among the parent's runs. A parent
// whose children were not all placed so, or with another comparison, is
// walked (and is from then on).
static _TREEITEM *SearchSortedPlace(_TREEITEM *parent, _TREEITEM *item)
{
    if (parent->runs && parent->runs->epoch != s_compareEpoch) {
        DropSortedRuns(parent);
        parent->unsorted = true;
    }
    if (parent->unsorted) return WalkToSortedPlace(parent, item);
    if (!parent->runs) parent->runs = new SortedRuns{{}, {}, s_compareEpoch};
    SortedRuns &runs = *parent->runs;
    RunOrder order;
    RunProbe probe = {s_orderKey ? s_orderKey(item->text.c_str()) : 0, item->text.c_str()};
    // The first run whose first the item is not greater than: in the first
    // block whose last it is not greater than.
    size_t block = std::lower_bound(runs.lasts.begin(), runs.lasts.end(), probe, order) - runs.lasts.begin();
    std::vector<RunFirst> *firsts = block < runs.blocks.size() ? &runs.blocks[block] : NULL;
    size_t at = firsts ? std::lower_bound(firsts->begin(), firsts->end(), probe, order) - firsts->begin() : 0;
    _TREEITEM *run = firsts ? (*firsts)[at].item : NULL;
    if (run && (*firsts)[at].key == probe.key && s_compare(probe.text, run->text.c_str()) == 0) return run;
    // The item starts a run of its own, before the first that it is less
    // than, or after the last.
    _TREEITEM *after = run ? run->prev : parent->lastChild;
    if (!firsts) {
        if (runs.blocks.empty() || runs.blocks.back().size() >= RUN_BLOCK) runs.blocks.emplace_back();
        else runs.lasts.pop_back();
        block = runs.blocks.size() - 1;
        firsts = &runs.blocks[block];
        at = firsts->size();
        runs.lasts.push_back(RunFirst{probe.key, item});
    }
    firsts->insert(firsts->begin() + at, RunFirst{probe.key, item});
    if (firsts->size() > 2 * RUN_BLOCK) {
        // Split in two halves, the second a block of its own.
        std::vector<RunFirst> second(firsts->begin() + RUN_BLOCK, firsts->end());
        firsts->resize(RUN_BLOCK);
        runs.lasts.insert(runs.lasts.begin() + block, firsts->back());
        runs.blocks.insert(runs.blocks.begin() + block + 1, std::move(second));
    }
    return after;
}

static LRESULT InsertItem(HWND tree, const TVINSERTSTRUCTA *insert)
{
    if (!insert) return 0;
    long order = s_insertsTried++;
    if (s_insertsLeft == 0) return 0;
    if (s_insertsLeft > 0) s_insertsLeft--;
    _TREEITEM *parent = insert->hParent == TVI_ROOT || !insert->hParent ? &tree->root : insert->hParent;
    _TREEITEM *item = new _TREEITEM();
    if ((insert->item.mask & TVIF_TEXT) && insert->item.pszText) item->text = insert->item.pszText;
    item->lParam = (insert->item.mask & TVIF_PARAM) ? insert->item.lParam : 0;
    item->order = order;
    // The program inserts at TVI_LAST or TVI_SORT only; anything else appends.
    _TREEITEM *after = parent->lastChild;
    if (insert->hInsertAfter == TVI_SORT && s_compare) {
        after = SearchSortedPlace(parent, item);
    } else {
        DropSortedRuns(parent);
        parent->unsorted = true;
    }
    LinkAfter(parent, after, item);
    return (LRESULT)item;
}

static LRESULT GetNextItem(HWND tree, WPARAM flag, HTREEITEM item)
{
    if (flag == TVGN_ROOT) return (LRESULT)tree->root.firstChild;
    if (!item || item == TVI_ROOT) return 0;
    switch (flag) {
    case TVGN_NEXT: return (LRESULT)item->next;
    case TVGN_CHILD: return (LRESULT)item->firstChild;
    }
    return 0;
}

static LRESULT GetItem(TVITEMA *tvi)
{
    if (!tvi || !tvi->hItem) return FALSE;
    if (tvi->mask & TVIF_PARAM) tvi->lParam = tvi->hItem->lParam;
    if ((tvi->mask & TVIF_TEXT) && tvi->pszText && tvi->cchTextMax > 0) {
        size_t n = std::min(tvi->hItem->text.size(), (size_t)tvi->cchTextMax - 1);
        memcpy(tvi->pszText, tvi->hItem->text.data(), n);
        tvi->pszText[n] = '\0';
    }
    return TRUE;
}

// Selecting an item tells the parent, as the control does, with the new
// item's data in itemNew.
static LRESULT SelectItem(HWND tree, WPARAM flag, HTREEITEM item)
{
    if (flag != TVGN_CARET) return FALSE;
    if (item == tree->selected) return TRUE;
    NMTREEVIEWA nm = {};
    nm.hdr.hwndFrom = tree;
    nm.hdr.idFrom = (UINT_PTR)tree->id;
    nm.hdr.code = TVN_SELCHANGEDA;
    nm.itemOld.mask = nm.itemNew.mask = TVIF_HANDLE | TVIF_PARAM;
    nm.itemOld.hItem = tree->selected;
    nm.itemOld.lParam = tree->selected ? tree->selected->lParam : 0;
    nm.itemNew.hItem = item;
    nm.itemNew.lParam = item ? item->lParam : 0;
    tree->selected = item;
    if (tree->parent) SendMessageA(tree->parent, WM_NOTIFY, (WPARAM)tree->id, (LPARAM)&nm);
    return TRUE;
}

static bool TreeMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, LRESULT *result)
{
    switch (Msg) {
    case TVM_INSERTITEMA: *result = InsertItem(hWnd, (const TVINSERTSTRUCTA *)lParam); return true;
    case TVM_GETNEXTITEM: *result = GetNextItem(hWnd, wParam, (HTREEITEM)lParam); return true;
    case TVM_GETITEMA: *result = GetItem((TVITEMA *)lParam); return true;
    case TVM_SELECTITEM: *result = SelectItem(hWnd, wParam, (HTREEITEM)lParam); return true;
    }
    return false;
}

/* ---- messages ---- */

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (!hWnd) return 0;
    LRESULT result = 0;
    if (hWnd->className == "SysTreeView32" && TreeMessage(hWnd, Msg, wParam, lParam, &result))
        return result;
    // A dialog's procedure sees the message first; what it leaves (FALSE)
    // gets the default handling below.
    if (hWnd->proc && hWnd->proc(hWnd, Msg, wParam, lParam)) return 0;
    switch (Msg) {
    case WM_SETTEXT:
        Record("WM_SETTEXT", hWnd, 0, 0, 0, 0, 0, lParam ? (const char *)lParam : "");
        hWnd->text = lParam ? (const char *)lParam : "";
        return TRUE;
    case WM_SETICON: Record("WM_SETICON", hWnd, (long long)wParam, lParam != 0); return 0;
    }
    return 0;
}

/* ---- text ---- */

void SubstSetPlatformText(SubstToWideProc toWide, SubstFromWideProc fromWide, SubstCompareProc compare,
                          SubstOrderKeyProc orderKey)
{
    s_toWide = toWide;
    s_fromWide = fromWide;
    s_compare = compare;
    s_orderKey = compare ? orderKey : NULL;
    s_compareEpoch++;
}

// The comparison may depend on the code page too.
void SubstSetAnsiCodePage(UINT codePage)
{
    s_ansiCodePage = codePage;
    s_compareEpoch++;
}

UINT WINAPI GetACP(void) { return s_ansiCodePage; }

DWORD WINAPI GetLastError(void) { return s_lastError; }

void WINAPI SetLastError(DWORD dwErrCode) { s_lastError = dwErrCode; }

// Fails a call as the platform does: 0, and the reason as the last error.
static int RefuseCall(DWORD error)
{
    s_lastError = error;
    return 0;
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    if (CodePage == CP_ACP) CodePage = s_ansiCodePage;
    if (CodePage == CP_UTF8 && (dwFlags & ~(DWORD)MB_ERR_INVALID_CHARS)) return RefuseCall(ERROR_INVALID_FLAGS);
    if (!s_toWide) return 0;
    BOOL invalid = FALSE;
    int written = s_toWide(CodePage, dwFlags, lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar, &invalid);
    if (invalid && (dwFlags & MB_ERR_INVALID_CHARS)) return RefuseCall(ERROR_NO_UNICODE_TRANSLATION);
    return written;
}

// The default character given is ignored: the code page's own is used.
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar)
{
    if (CodePage == CP_ACP) CodePage = s_ansiCodePage;
    bool utf8 = CodePage == CP_UTF8;
    if ((dwFlags & WC_ERR_INVALID_CHARS) && !utf8 && CodePage != 54936) return RefuseCall(ERROR_INVALID_FLAGS);
    if (utf8 && (dwFlags & ~(DWORD)WC_ERR_INVALID_CHARS)) return RefuseCall(ERROR_INVALID_FLAGS);
    if (utf8 && (lpDefaultChar || lpUsedDefaultChar)) return RefuseCall(ERROR_INVALID_PARAMETER);
    return s_fromWide ? s_fromWide(CodePage, dwFlags, lpWideCharStr, cchWideChar, lpMultiByteStr, cbMultiByte,
                                   lpUsedDefaultChar)
                      : 0;
}

/* ---- shell ---- */

BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA *pExecInfo)
{
    if (!pExecInfo) return FALSE;
    SubstShellCall call;
    call.info = *pExecInfo;
    call.hasParameters = pExecInfo->lpParameters != NULL;
    call.hasDirectory = pExecInfo->lpDirectory != NULL;
    call.file = pExecInfo->lpFile ? pExecInfo->lpFile : "";
    if (call.hasParameters) call.parameters = pExecInfo->lpParameters;
    if (call.hasDirectory) call.directory = pExecInfo->lpDirectory;
    s_shellCalls.push_back(call);
    return TRUE;
}

/* ---- dialog ---- */

void SubstDoubleClickTree(HWND hDlg)
{
    HWND tree = GetDlgItem(hDlg, IDC_TREE);
    NMHDR nm = {tree, (UINT_PTR)IDC_TREE, NM_DBLCLK};
    SendMessageA(hDlg, WM_NOTIFY, IDC_TREE, (LPARAM)&nm);
}

void SubstSelectTreeItem(HWND hDlg, HTREEITEM hItem)
{
    SendMessageA(GetDlgItem(hDlg, IDC_TREE), TVM_SELECTITEM, TVGN_CARET, (LPARAM)hItem);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    if (!hDlg) return FALSE;
    Record("EndDialog", hDlg, nResult);
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) { Record("PostQuitMessage", NULL, nExitCode); }

static int s_iconResource;

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    (void)hInstance;
    return lpIconName == MAKEINTRESOURCEA(IDI_MAIN) ? (HICON)&s_iconResource : NULL;
}

HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int cx, int cy, UINT fuLoad)
{
    (void)hInst;
    (void)cx;
    (void)cy;
    (void)fuLoad;
    return type == IMAGE_ICON && name == MAKEINTRESOURCEA(IDI_MAIN) ? (HANDLE)&s_iconResource : NULL;
}
