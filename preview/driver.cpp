/*
 * The window driver: runs quorlan.exe on a menu and drives its window from
 * outside, as a user and the system would, then checks what the window
 * shows and what the shell started. quorlan-disc's previews take their
 * pictures through it, and the end-to-end tests run every case with it.
 *
 *   quorlan-driver.exe QUORLAN_EXE CASE_FILE PROBE_EXE
 *
 * Run in an empty working folder. The case file holds commands, one a line,
 * then "=== Quorlan.ini" and the menu's bytes (or "=== generate KIND N",
 * "=== none", or "=== existing" for the folder's own menu). A PROBE_EXE of
 * "-" copies no probe. The probe reports to the file QUORLAN_PROBE_OUT names
 * when that is set, else to probe.out in the working folder. In the menu and
 * in expected texts, @DRIVE@ stands for the working folder's drive letter
 * and @DIR@ for its path after the drive;
 * <CR> <LF> <TAB> <SP> and <xHH> are escapes in expected and typed texts.
 *
 *   expect caption TEXT | expect size W H | expect tree (then "| " lines)
 *   expect frame|command|description TEXT | expect hidden|visible command
 *   expect button TEXT | expect started ARGS | expect folder DIR
 *   expect started-size N | expect nothing-started | expect alive
 *   expect rect tree|frame|description|command|run|close X Y W H (in client pixels)
 *   expect on-screen | expect exit CODE
 *   expect whole | expect cramped (every control shown whole, or not)
 *   expect drive-type TYPE (of the current folder's drive: cdrom, fixed,
 *   removable, remote, ramdisk) | expect codepage N (the ANSI code page)
 *   locale NAME (the Wine session's locale, set by CMakeLists.txt for the
 *   whole case; nothing for the driver to do)
 *   select PATH | click PATH | dblclick PATH (PATH: 1-based indices, 2/1)
 *   type TEXT | typefill N TEXT | resize W H | sleep MS
 *   signal FILE (creates it) | waitfile FILE (waits for it)
 *   press run|enter|escape|close|closebox|dblclick | hammer N
 *
 * The tree is read across processes with TVM_GETNEXTITEM and TVM_GETITEMA
 * on memory allocated in the menu program's process.
 */
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../res/resource.h"

static HANDLE g_hProcess;
static DWORD g_dwProcessId;
static HWND g_hDlg;
static int g_nFailures;
static int g_nLine; // the case file's line being run
static std::string g_strDrive, g_strDir, g_strProbeOut;
static std::string g_strStarted, g_strStartedIn; // what the probe reported last

static void Fail(const char *format, const char *expected, const char *actual)
{
    printf("FAIL line %d: %s\n  expected: [%s]\n  actual:   [%s]\n", g_nLine, format, expected,
           actual);
    g_nFailures++;
}

static void Check(const char *what, const std::string &expected, const std::string &actual)
{
    if (expected != actual) Fail(what, expected.c_str(), actual.c_str());
}

static std::string Substitute(std::string text)
{
    const struct { const char *name; const std::string *value; } names[] = {
        {"@DRIVE@", &g_strDrive}, {"@DIR@", &g_strDir}};
    for (const auto &n : names) {
        size_t at;
        while ((at = text.find(n.name)) != std::string::npos) text.replace(at, strlen(n.name), *n.value);
    }
    return text;
}

// Expands the escapes of expected and typed texts (<CR> <LF> <TAB> <SP>
// <NUL>... and <xHH>; backslashes are path separators and stay as they are),
// then the placeholders.
static std::string Unescape(const std::string &text)
{
    const struct { const char *name; char byte; } names[] = {
        {"<CR>", '\r'}, {"<LF>", '\n'}, {"<TAB>", '\t'}, {"<SP>", ' '}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        bool matched = false;
        for (const auto &n : names) {
            if (text.compare(i, strlen(n.name), n.name) == 0) {
                out += n.byte;
                i += strlen(n.name);
                matched = true;
                break;
            }
        }
        if (!matched && text.compare(i, 2, "<x") == 0 && i + 4 < text.size() && text[i + 4] == '>') {
            out += (char)strtol(text.substr(i + 2, 2).c_str(), NULL, 16);
            i += 5;
            matched = true;
        }
        if (!matched) out += text[i++];
    }
    return Substitute(out);
}

/* ---- the window, from outside ---- */

static BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found)
{
    DWORD pid = 0;
    char cls[64];
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == g_dwProcessId && GetClassNameA(hwnd, cls, sizeof(cls)) && strcmp(cls, "#32770") == 0 &&
        IsWindowVisible(hwnd)) {
        *(HWND *)found = hwnd;
        return FALSE;
    }
    return TRUE;
}

static LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result)) return 0;
    return (LRESULT)result;
}

static std::string ControlText(int id)
{
    HWND hwnd = id ? GetDlgItem(g_hDlg, id) : g_hDlg;
    std::vector<char> text(65536);
    Send(hwnd, WM_GETTEXT, text.size(), (LPARAM)text.data());
    return text.data();
}

// A block of memory in the menu program's process, for the tree messages
// that take pointers.
struct RemoteBlock {
    char *address;
    size_t size;
};

static RemoteBlock AllocRemote(size_t size)
{
    RemoteBlock block = {(char *)VirtualAllocEx(g_hProcess, NULL, size, MEM_COMMIT, PAGE_READWRITE), size};
    return block;
}

static void FreeRemote(RemoteBlock block) { VirtualFreeEx(g_hProcess, block.address, 0, MEM_RELEASE); }

static HWND Tree() { return GetDlgItem(g_hDlg, IDC_TREE); }

static HTREEITEM NextItem(UINT relation, HTREEITEM item)
{
    return (HTREEITEM)Send(Tree(), TVM_GETNEXTITEM, relation, (LPARAM)item);
}

static std::string ItemText(HTREEITEM item)
{
    const int textSize = 4096;
    RemoteBlock block = AllocRemote(sizeof(TVITEMA) + textSize);
    TVITEMA tvi = {};
    tvi.mask = TVIF_TEXT | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.pszText = block.address + sizeof(TVITEMA);
    tvi.cchTextMax = textSize;
    WriteProcessMemory(g_hProcess, block.address, &tvi, sizeof(tvi), NULL);
    char text[textSize] = "";
    if (Send(Tree(), TVM_GETITEMA, 0, (LPARAM)block.address))
        ReadProcessMemory(g_hProcess, block.address + sizeof(TVITEMA), text, textSize - 1, NULL);
    FreeRemote(block);
    text[textSize - 1] = '\0';
    return text;
}

static void DumpTree(HTREEITEM first, int depth, std::vector<std::string> *lines)
{
    for (HTREEITEM item = first; item; item = NextItem(TVGN_NEXT, item)) {
        lines->push_back(std::string(2 * depth, ' ') + ItemText(item));
        DumpTree(NextItem(TVGN_CHILD, item), depth + 1, lines);
    }
}

// Prints each item from first on, with its descendants, as "DEPTH HEX":
// its depth and its text's bytes, for comparing with another reading of the
// same menu whatever bytes the texts hold.
static void PrintTree(HTREEITEM first, int depth)
{
    for (HTREEITEM item = first; item; item = NextItem(TVGN_NEXT, item)) {
        printf("%d ", depth);
        for (unsigned char c : ItemText(item)) printf("%02x", c);
        printf("\n");
        PrintTree(NextItem(TVGN_CHILD, item), depth + 1);
    }
}

// Finds an item by its 1-based position on each level: "2/1" is the first
// child of the second top-level item.
static HTREEITEM FindItem(const std::string &path)
{
    HTREEITEM item = NULL;
    const char *p = path.c_str();
    while (*p) {
        int index = atoi(p);
        item = item ? NextItem(TVGN_CHILD, item) : NextItem(TVGN_ROOT, NULL);
        for (int i = 1; i < index && item; i++) item = NextItem(TVGN_NEXT, item);
        if (!item) break;
        while (*p && *p != '/') p++;
        if (*p == '/') p++;
    }
    if (!item) Fail("no such tree item", path.c_str(), "");
    return item;
}

static POINT ItemCentre(HTREEITEM item)
{
    RemoteBlock block = AllocRemote(sizeof(RECT));
    RECT rect = {};
    memcpy(&rect, &item, sizeof(item)); // the item goes in, its rectangle comes out
    WriteProcessMemory(g_hProcess, block.address, &rect, sizeof(rect), NULL);
    Send(Tree(), TVM_GETITEMRECT, TRUE, (LPARAM)block.address);
    ReadProcessMemory(g_hProcess, block.address, &rect, sizeof(rect), NULL);
    FreeRemote(block);
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return centre;
}

static void PostMouse(HWND hwnd, UINT msg, POINT pt, WPARAM keys)
{
    PostMessageA(hwnd, msg, keys, MAKELPARAM(pt.x, pt.y));
}

// Waits until the tree has handled what was posted to it. A sent WM_NULL is
// no proof of that: a thread takes sent messages before posted ones, so under
// load it answered before the click. Posted messages keep their order, so a
// marker posted last and read back means all before it were handled.
static void WaitForPosted(HWND tree)
{
    COLORREF old = (COLORREF)Send(tree, TVM_GETINSERTMARKCOLOR, 0, 0);
    COLORREF marker = old ^ 0x010101;
    PostMessageA(tree, TVM_SETINSERTMARKCOLOR, 0, (LPARAM)marker);
    DWORD start = GetTickCount();
    while (IsWindow(tree) && (COLORREF)Send(tree, TVM_GETINSERTMARKCOLOR, 0, 0) != marker &&
           GetTickCount() - start < 10000)
        Sleep(10);
    Send(tree, TVM_SETINSERTMARKCOLOR, 0, (LPARAM)old);
}

static void ClickItem(HTREEITEM item, bool twice)
{
    if (!item) return;
    Send(Tree(), TVM_ENSUREVISIBLE, 0, (LPARAM)item); // as the user opens the branch first
    POINT pt = ItemCentre(item);
    HWND tree = Tree();
    PostMouse(tree, WM_LBUTTONDOWN, pt, MK_LBUTTON);
    PostMouse(tree, WM_LBUTTONUP, pt, 0);
    if (twice) {
        PostMouse(tree, WM_LBUTTONDBLCLK, pt, MK_LBUTTON);
        PostMouse(tree, WM_LBUTTONUP, pt, 0);
    }
    WaitForPosted(tree);
    Send(g_hDlg, WM_NULL, 0, 0);
}

static void PostKey(HWND hwnd, WPARAM key)
{
    PostMessageA(hwnd, WM_KEYDOWN, key, 1);
    PostMessageA(hwnd, WM_KEYUP, key, (LPARAM)0xC0000001);
}

// A real key press, as the keyboard gives it to the active window's focus.
static void TypeKey(WORD key)
{
    // The keyboard goes to the active window: wait until the dialog is it,
    // which a loaded machine takes longer than a fixed pause to make so.
    DWORD start = GetTickCount();
    SetForegroundWindow(g_hDlg);
    while (GetForegroundWindow() != g_hDlg && GetTickCount() - start < 10000) {
        Sleep(50);
        SetForegroundWindow(g_hDlg);
    }
    Sleep(200);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    Sleep(200);
}

/* ---- what the probe reports ---- */

static bool ReadProbe(DWORD waitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        FILE *in = fopen(g_strProbeOut.c_str(), "rb");
        if (in) {
            char line[8192];
            g_strStarted = fgets(line, sizeof(line), in) ? line : "";
            g_strStartedIn = fgets(line, sizeof(line), in) ? line : "";
            fclose(in);
            DeleteFileA(g_strProbeOut.c_str());
            for (std::string *s : {&g_strStarted, &g_strStartedIn})
                if (!s->empty() && s->back() == '\n') s->pop_back();
            return true;
        }
        if (GetTickCount() - start > waitMs) return false;
        Sleep(50);
    }
}

/* ---- layout ---- */

// The control a case names: tree, frame, description, command, run, close.
static int FindControlId(const std::string &name)
{
    static const struct {
        const char *name;
        int id;
    } controls[] = {{"tree", IDC_TREE}, {"frame", IDC_FRAME}, {"description", IDC_DESCRIPTION},
                    {"command", IDC_COMMAND}, {"run", IDOK}, {"close", IDCANCEL}};
    for (const auto &control : controls)
        if (name == control.name) return control.id;
    return 0;
}

// Yields the control's rectangle in the dialog's client pixels.
static RECT ControlRect(int id)
{
    RECT r;
    GetWindowRect(GetDlgItem(g_hDlg, id), &r);
    MapWindowPoints(NULL, g_hDlg, (POINT *)&r, 2);
    return r;
}

// "expect rect NAME X Y W H": the control's rectangle in the dialog's client
// pixels, as the case writes it for the window's size at that point.
static void CheckControlRect(const std::string &name, const std::string &expected)
{
    int id = FindControlId(name);
    if (!id) {
        Fail("known control", "tree, frame, description, command, run or close", name.c_str());
        return;
    }
    RECT r = ControlRect(id);
    char got[96];
    snprintf(got, sizeof(got), "%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    Check(("rectangle of the " + name).c_str(), expected, got);
}

// What keeps a control the window shows from being seen whole, "" when
// nothing: it is empty, reaches past the client area, or overlaps another
// (the description box overlaps the frame, and must lie inside it).
static std::string FindCrampedControl()
{
    const int ids[] = {IDC_TREE, IDC_FRAME, IDC_DESCRIPTION, IDC_COMMAND, IDOK, IDCANCEL};
    RECT rects[6], client, common;
    bool shown[6];
    GetClientRect(g_hDlg, &client);
    char what[96] = "";
    for (int i = 0; i < 6 && !what[0]; i++) {
        HWND control = GetDlgItem(g_hDlg, ids[i]);
        rects[i] = ControlRect(ids[i]);
        shown[i] = IsWindowVisible(control) && !IsRectEmpty(&rects[i]);
        if (!IsWindowVisible(control)) continue;
        if (IsRectEmpty(&rects[i])) snprintf(what, sizeof(what), "control %d is empty", ids[i]);
        else if (!IntersectRect(&common, &rects[i], &client) || !EqualRect(&common, &rects[i]))
            snprintf(what, sizeof(what), "control %d reaches past the client area", ids[i]);
        for (int j = 0; j < i && !what[0]; j++) {
            if (!shown[i] || !shown[j]) continue;
            bool inFrame = ids[i] == IDC_DESCRIPTION && ids[j] == IDC_FRAME;
            bool overlap = IntersectRect(&common, &rects[i], &rects[j]);
            if (inFrame ? !EqualRect(&common, &rects[i]) : overlap)
                snprintf(what, sizeof(what), "control %d overlaps control %d", ids[i], ids[j]);
        }
    }
    return what;
}

// Whether inner lies wholly inside outer, both in screen pixels; a failure
// shows the part of inner that does.
static void CheckInside(const char *what, const RECT &inner, const RECT &outer)
{
    RECT common;
    IntersectRect(&common, &inner, &outer);
    char want[64], got[64];
    snprintf(want, sizeof(want), "%ld,%ld - %ld,%ld", inner.left, inner.top, inner.right, inner.bottom);
    snprintf(got, sizeof(got), "%ld,%ld - %ld,%ld", common.left, common.top, common.right, common.bottom);
    Check(what, want, got);
}

// The user can reach the whole window: it lies within its monitor's work
// area, and the Run and Close buttons are shown within its client area.
static void CheckOnScreen()
{
    MONITORINFO monitor;
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoA(MonitorFromWindow(g_hDlg, MONITOR_DEFAULTTONEAREST), &monitor);
    RECT window, client;
    GetWindowRect(g_hDlg, &window);
    CheckInside("window within the work area", window, monitor.rcWork);
    GetClientRect(g_hDlg, &client);
    MapWindowPoints(g_hDlg, NULL, (POINT *)&client, 2);
    for (int id : {IDOK, IDCANCEL}) {
        RECT button;
        GetWindowRect(GetDlgItem(g_hDlg, id), &button);
        CheckInside(id == IDOK ? "Run button within the client area" : "Close button within the client area",
                    button, client);
        if (!IsWindowVisible(GetDlgItem(g_hDlg, id))) Fail("button shown", "visible", "hidden");
    }
}

/* ---- the case ---- */

static std::string GenerateMenu(const std::string &kind, long n)
{
    std::string menu;
    if (kind == "open") {
        menu = "Deep\n{ Top, x.exe, d ";
        menu.append(n, '{');
    } else if (kind == "close") {
        menu = "Closing\n{ Top, x.exe, d ";
        menu.append(n, '}');
    } else if (kind == "field") {
        menu = "Big\n{ Huge, ";
        menu.append(n, 'x');
        menu += ", d }";
    } else if (kind == "random") {
        unsigned state = 12345;
        for (long i = 0; i < n; i++) {
            state = state * 1103515245u + 12345u;
            menu += (char)(state >> 16);
        }
    } else if (kind == "nul") {
        const char text[] = "Ti\0tle, sort\0ed\n{ Na\0me, co\0mmand, de\0scription, \0, \0, \0 }";
        menu.assign(text, sizeof(text) - 1);
    }
    return menu;
}

static bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    FILE *out = fopen(path.c_str(), "wb");
    if (!out) return false;
    fwrite(bytes.data(), 1, bytes.size(), out);
    return fclose(out) == 0;
}

static bool StartMenu(const std::string &exe)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        Fail("start the menu program", exe.c_str(), "CreateProcess failed");
        return false;
    }
    CloseHandle(pi.hThread);
    g_hProcess = pi.hProcess;
    g_dwProcessId = pi.dwProcessId;
    DWORD start = GetTickCount();
    while (!g_hDlg && GetTickCount() - start < 60000) {
        EnumWindows(FindDialog, (LPARAM)&g_hDlg);
        if (!g_hDlg) {
            if (WaitForSingleObject(g_hProcess, 50) == WAIT_OBJECT_0) break;
        }
    }
    if (!g_hDlg) {
        Fail("the dialog appears", "a visible dialog", "none");
        return false;
    }
    while (Send(Tree(), TVM_GETCOUNT, 0, 0) == 0 && GetTickCount() - start < 60000) Sleep(20);
    return true;
}

static void Press(const std::string &what)
{
    if (what == "run") PostMessageA(GetDlgItem(g_hDlg, IDOK), BM_CLICK, 0, 0);
    else if (what == "close") PostMessageA(GetDlgItem(g_hDlg, IDCANCEL), BM_CLICK, 0, 0);
    else if (what == "enter") TypeKey(VK_RETURN);
    else if (what == "escape") TypeKey(VK_ESCAPE);
    else if (what == "closebox") PostMessageA(g_hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    else if (what == "dblclick") ClickItem(NextItem(TVGN_CARET, NULL), true);
    else Fail("known key or button", "run|close|enter|escape|closebox|dblclick", what.c_str());
}

// Keys and double clicks hammered at the tree, with Close in the middle of
// them: whatever arrives while and after the dialog closes must be harmless.
static void Hammer(int n)
{
    HWND tree = Tree();
    POINT pt = ItemCentre(NextItem(TVGN_ROOT, NULL));
    for (int i = 0; i < n; i++) {
        PostKey(tree, i % 3 ? VK_DOWN : VK_UP);
        PostMouse(tree, WM_LBUTTONDBLCLK, pt, MK_LBUTTON);
        PostMouse(tree, WM_LBUTTONUP, pt, 0);
        if (i == n / 2) PostMessageA(GetDlgItem(g_hDlg, IDCANCEL), BM_CLICK, 0, 0);
    }
}

static void RunCommandLine(const std::string &line, std::vector<std::string> *treeLines)
{
    char verb[32] = "", what[64] = "";
    sscanf(line.c_str(), "%31s %63s", verb, what);
    std::string v = verb, w = what;
    std::string rest = line.size() > v.size() + 1 ? line.substr(v.size() + 1) : "";
    std::string after = rest.size() > w.size() + 1 ? rest.substr(w.size() + 1) : "";

    if (v == "expect") {
        if (w == "caption") Check("caption", Unescape(after), ControlText(0));
        else if (w == "frame") Check("frame caption", Unescape(after), ControlText(IDC_FRAME));
        else if (w == "command") Check("command box", Unescape(after), ControlText(IDC_COMMAND));
        else if (w == "description") Check("description box", Unescape(after), ControlText(IDC_DESCRIPTION));
        else if (w == "button") Check("Run button", Unescape(after), ControlText(IDOK));
        else if (w == "hidden" || w == "visible")
            Check("command box visibility", w,
                  IsWindowVisible(GetDlgItem(g_hDlg, IDC_COMMAND)) ? "visible" : "hidden");
        else if (w == "size") {
            RECT r;
            GetWindowRect(g_hDlg, &r);
            char got[64];
            snprintf(got, sizeof(got), "%ld %ld", r.right - r.left, r.bottom - r.top);
            Check("outer window size", after, got);
        } else if (w == "tree") {
            treeLines->clear();
            DumpTree(NextItem(TVGN_ROOT, NULL), 0, treeLines);
        } else if (w == "started") {
            if (!ReadProbe(20000)) Fail("a program was started", Unescape(after).c_str(), "nothing");
            else Check("started program's arguments", Unescape(after), g_strStarted);
        } else if (w == "started-size") {
            if (!ReadProbe(20000)) Fail("a program was started", after.c_str(), "nothing");
            else Check("started program's argument bytes", after, std::to_string(g_strStarted.size()));
        } else if (w == "folder") Check("started program's folder", Unescape(after), g_strStartedIn);
        else if (w == "nothing-started") {
            if (ReadProbe(2000)) Fail("nothing started", "", g_strStarted.c_str());
        } else if (w == "alive") {
            DWORD_PTR r;
            if (!SendMessageTimeoutA(g_hDlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r))
                Fail("the dialog answers", "an answer", "none within 10 s");
        } else if (w == "rect") {
            size_t space = after.find(' ');
            CheckControlRect(after.substr(0, space), space == std::string::npos ? "" : after.substr(space + 1));
        } else if (w == "whole") {
            Check("every control whole", "", FindCrampedControl());
        } else if (w == "cramped") {
            if (FindCrampedControl().empty()) Fail("a control not whole", "one", "none");
        }
        else if (w == "on-screen") CheckOnScreen();
        else if (w == "drive-type") {
            const char *names[] = {"unknown", "no-root", "removable", "fixed", "remote", "cdrom", "ramdisk"};
            UINT type = GetDriveTypeA(NULL);
            Check("the current folder's drive type", after, type < 7 ? names[type] : "?");
        }
        else if (w == "codepage") Check("the ANSI code page", after, std::to_string(GetACP()));
        else if (w == "exit") {
            DWORD code = 259;
            if (WaitForSingleObject(g_hProcess, 30000) != WAIT_OBJECT_0) {
                Fail("the program ends", "ended", "still running after 30 s");
                TerminateProcess(g_hProcess, 99);
            } else {
                GetExitCodeProcess(g_hProcess, &code);
                Check("exit code", after, std::to_string(code));
            }
        } else Fail("known expectation", "", w.c_str());
    } else if (v == "print") {
        printf("caption ");
        for (unsigned char c : ControlText(0)) printf("%02x", c);
        printf("\n");
        PrintTree(NextItem(TVGN_ROOT, NULL), 0);
    } else if (v == "select") {
        HTREEITEM item = FindItem(w);
        if (item) Send(Tree(), TVM_SELECTITEM, TVGN_CARET, (LPARAM)item);
    } else if (v == "click" || v == "dblclick") {
        ClickItem(FindItem(w), v == "dblclick");
    } else if (v == "type") {
        std::string text = Unescape(rest);
        Send(GetDlgItem(g_hDlg, IDC_COMMAND), WM_SETTEXT, 0, (LPARAM)text.c_str());
    } else if (v == "typefill") {
        std::string text = Unescape(after);
        text.resize(atol(w.c_str()), 'x');
        Send(GetDlgItem(g_hDlg, IDC_COMMAND), WM_SETTEXT, 0, (LPARAM)text.c_str());
    } else if (v == "resize") {
        int cx = atoi(w.c_str()), cy = atoi(after.c_str());
        SetWindowPos(g_hDlg, NULL, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Send(g_hDlg, WM_NULL, 0, 0);
    } else if (v == "locale") {
    } else if (v == "press") {
        Press(w);
    } else if (v == "hammer") {
        Hammer(atoi(w.c_str()));
    } else if (v == "sleep") {
        Sleep(atoi(w.c_str()));
    } else if (v == "signal") {
        WriteFileBytes(w, "");
    } else if (v == "waitfile") {
        DWORD start = GetTickCount();
        while (GetFileAttributesA(w.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < 60000)
            Sleep(100);
    } else {
        Fail("known command", "", line.c_str());
    }
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: driver QUORLAN_EXE CASE_FILE PROBE_EXE\n");
        return 2;
    }
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    g_strDrive = std::string(1, cwd[0]);
    g_strDir = cwd + 2;
    char probeOut[MAX_PATH];
    if (GetEnvironmentVariableA("QUORLAN_PROBE_OUT", probeOut, sizeof(probeOut))) g_strProbeOut = probeOut;
    else g_strProbeOut = std::string(cwd) + "\\probe.out";
    SetEnvironmentVariableA("QUORLAN_PROBE_OUT", g_strProbeOut.c_str());
    DeleteFileA(g_strProbeOut.c_str());

    FILE *in = fopen(argv[2], "rb");
    if (!in) {
        fprintf(stderr, "driver: cannot read %s\n", argv[2]);
        return 2;
    }
    std::string content;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), in)) > 0) content.append(buffer, n);
    fclose(in);

    // The commands, then the menu.
    std::vector<std::string> commands;
    size_t pos = 0;
    std::string menu;
    bool haveMenu = false, keepMenu = false;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end + 1;
        if (line.rfind("=== Quorlan.ini", 0) == 0) {
            menu = Substitute(pos < content.size() ? content.substr(pos) : "");
            haveMenu = true;
            break;
        }
        char kind[32];
        long count;
        if (sscanf(line.c_str(), "=== generate %31s %ld", kind, &count) == 2) {
            menu = GenerateMenu(kind, count);
            haveMenu = true;
            break;
        }
        if (line.rfind("=== existing", 0) == 0) {
            keepMenu = true;
            break;
        }
        if (line.rfind("=== none", 0) == 0) break;
        commands.push_back(line);
    }
    if (!keepMenu) DeleteFileA("Quorlan.ini");
    if (haveMenu && !WriteFileBytes("Quorlan.ini", menu)) {
        fprintf(stderr, "driver: cannot write Quorlan.ini\n");
        return 2;
    }
    if (strcmp(argv[3], "-") != 0) {
        CreateDirectoryA("bin", NULL);
        CreateDirectoryA("my tools", NULL);
        CopyFileA(argv[3], "probe.exe", FALSE);
        CopyFileA(argv[3], "bin\\probe.exe", FALSE);
        CopyFileA(argv[3], "my tools\\probe.exe", FALSE);
    }

    InitCommonControls();
    if (!StartMenu(argv[1])) {
        if (g_hProcess) TerminateProcess(g_hProcess, 99);
        return 1;
    }

    std::vector<std::string> treeLines;
    size_t treeAt = 0;
    int treeLine = 0;
    for (size_t i = 0; i < commands.size(); i++) {
        g_nLine = (int)i + 1;
        const std::string &line = commands[i];
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '|') {
            std::string want = Unescape(line.size() > 2 ? line.substr(2) : "");
            Check("tree item", want, treeAt < treeLines.size() ? treeLines[treeAt] : "(no more items)");
            treeAt++;
            continue;
        }
        if (treeLine && treeAt < treeLines.size())
            Check("tree item", "(no more items)", treeLines[treeAt]);
        treeLine = 0;
        RunCommandLine(line, &treeLines);
        if (line.rfind("expect tree", 0) == 0) {
            treeAt = 0;
            treeLine = g_nLine;
        }
    }
    if (treeLine && treeAt < treeLines.size()) Check("tree item", "(no more items)", treeLines[treeAt]);

    if (WaitForSingleObject(g_hProcess, 0) != WAIT_OBJECT_0) {
        Fail("the case ends the program", "ended", "still running");
        TerminateProcess(g_hProcess, 99);
    }
    printf("%s: %d failure(s)\n", argv[2], g_nFailures);
    return g_nFailures ? 1 : 0;
}
