/*
 * The menu file as a whole: the header's title and options as the window
 * operations they make, the skip up to the entry list, the fallback item,
 * and the real file opened from the current folder.
 */
#include <gtest/gtest.h>
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "menu_test_util.h"
#include "../../check/text/codepage.h"

namespace {

const RECT kWindow600x400 = {100, 100, 700, 500};

// The five window operations of the menu loading, one line each:
// "WM_SETTEXT Title", "ShowWindow 1002 0", "SetWindowTextA 1 &Install",
// "GetWindowRect", "SetWindowPos x y width height". SetWindowPos is always
// expected with SWP_NOZORDER | SWP_NOACTIVATE and no other flag.
std::string MenuCalls()
{
    std::string shown;
    for (const SubstCall &call : SubstCalls()) {
        if (call.op == "WM_SETTEXT")
            shown += "WM_SETTEXT " + call.text;
        else if (call.op == "ShowWindow")
            shown += "ShowWindow " + std::to_string(call.id) + " " + std::to_string(call.arg[0]);
        else if (call.op == "SetWindowTextA")
            shown += "SetWindowTextA " + std::to_string(call.id) + " " + call.text;
        else if (call.op == "GetWindowRect")
            shown += "GetWindowRect";
        else if (call.op == "SetWindowPos") {
            shown += "SetWindowPos";
            for (int i = 0; i < 4; i++) shown += " " + std::to_string(call.arg[i]);
            if (call.arg[4] != (SWP_NOZORDER | SWP_NOACTIVATE)) shown += " flags " + std::to_string(call.arg[4]);
        } else
            continue;
        shown += "\n";
    }
    return shown;
}

// A fresh main dialog at the given place and size, records cleared.
HWND CreateDialogAt(const RECT &window)
{
    HWND hDlg = SubstCreateMainDialog(NULL);
    MoveWindow(hDlg, window.left, window.top, window.right - window.left, window.bottom - window.top, FALSE);
    SubstClearRecords();
    return hDlg;
}

struct Loaded {
    std::string calls, dump;
    bool sorted;
};

// Reads the bytes as the menu file into a fresh dialog placed at window, on
// a machine whose ANSI code page is codePage.
Loaded LoadMenu(const std::string &bytes, const RECT &window = kWindow600x400, unsigned codePage = 1252)
{
    ResetMenuState("E:\\", codePage);
    HWND hDlg = CreateDialogAt(window);
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    ReadMenuBytes(hDlg, bytes);
    Loaded loaded = {MenuCalls(), DumpTree(hTree), g_hInsertAfter == TVI_SORT};
    FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
    SubstDestroyWindow(hDlg);
    return loaded;
}

const char kExplore[] = "Explore CD = null\n";
const char kEntryA[] = "A = A||\n";

struct HeaderCase {
    const char *what;
    std::string bytes;
    const char *calls;
    bool sorted;
    const char *dump;
};

const HeaderCase kHeaderCases[] = {
    {"whole example", "Demo Disc, sorted, size=640x480\r\n{\r\n  Setup, %:\\setup.exe /quiet, "
                      "'Installs the demo, then starts it.',\r\n  Documents { Manual, docs\\manual.pdf, "
                      "Opens the manual }\r\n}\r\n",
     "WM_SETTEXT Demo Disc\nGetWindowRect\nSetWindowPos 80 60 640 480\n", true,
     "Documents = Documents||\n  Manual = Manual|docs\\manual.pdf|Opens the manual\n"
     "Setup = Setup|E:\\setup.exe /quiet|Installs the demo, then starts it.\n"},
    // The title.
    {"starts with the list", "{ A }", "", false, kEntryA},
    {"empty title", ", sorted { A }", "", true, kEntryA},
    {"leading white space", "\r\n  Title\r\n{ A }", "WM_SETTEXT  Title\n", false, kEntryA},
    {"title only, line break", "Title\r\n", "WM_SETTEXT Title \n", false, kExplore},
    {"title is no option", "sorted { A }", "WM_SETTEXT sorted\n", false, kEntryA},
    {"install as title", "install", "WM_SETTEXT install\n", false, kExplore},
    {"quoted title", "'Disc, {1}' { A }", "WM_SETTEXT Disc, {1}\n", false, kEntryA},
    // Options must match whole and in their case.
    {"sorted", "T, sorted { A }", "WM_SETTEXT T\n", true, kEntryA},
    {"Sorted", "T, Sorted { A }", "WM_SETTEXT T\n", false, kEntryA},
    {"sorted and more", "T, sorted x { A }", "WM_SETTEXT T\n", false, kEntryA},
    {"sorted, line break, end", "T, sorted\r\n", "WM_SETTEXT T\n", false, kExplore},
    {"sorted at end, no line break", "T, sorted", "WM_SETTEXT T\n", true, kExplore},
    {"unknown options", "T, fast, , size, installer { A }", "WM_SETTEXT T\n", false, kEntryA},
    {"install", "T, install { A }", "WM_SETTEXT T\nShowWindow 1002 0\nSetWindowTextA 1 &Install\n", false,
     kEntryA},
    {"Install", "T, Install { A }", "WM_SETTEXT T\n", false, kEntryA},
    {"repeated options", "T, install, sorted, install, sorted { A }",
     "WM_SETTEXT T\nShowWindow 1002 0\nSetWindowTextA 1 &Install\nShowWindow 1002 0\nSetWindowTextA 1 &Install\n",
     true, kEntryA},
    // The skip from the header's end to the first `{`.
    {"close brace ends the header", "T } A, a.exe { B }", "WM_SETTEXT T\n", false, "B = B||\n"},
    {"no options after a close brace", "T, sorted } x, size=640x480 { B }", "WM_SETTEXT T\n", true,
     "B = B||\n"},
    {"apostrophe hides a brace", "T } 'x { y' { B }", "WM_SETTEXT T\n", false, "B = B||\n"},
    {"apostrophe never closed", "T } 'x { B }", "WM_SETTEXT T\n", false, kExplore},
    {"escaped brace in the skip", "T } %{ { B }", "WM_SETTEXT T\n", false, "B = B||\n"},
    {"a million closing braces", "T " + std::string(1000000, '}') + " { B }", "WM_SETTEXT T\n", false,
     "B = B||\n"},
    {"nothing after the list is read", "T { A } install, { B }", "WM_SETTEXT T\n", false, kEntryA},
    // Files that list nothing.
    {"empty file", "", "", false, kExplore},
    {"only white space", " \r\n ", "WM_SETTEXT  \n", false, kExplore},
    {"no brace", "T, sorted, install", "WM_SETTEXT T\nShowWindow 1002 0\nSetWindowTextA 1 &Install\n", true,
     kExplore},
    {"empty list", "T {}", "WM_SETTEXT T\n", false, kExplore},
    {"only empty entries", "T { , ,,, {,} }", "WM_SETTEXT T\n", false, kExplore},
    {"sorted, empty list", "T, sorted { }", "WM_SETTEXT T\n", true, kExplore},
};

void PrintTo(const HeaderCase &c, std::ostream *out) { *out << c.what; }

class MenuHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(MenuHeader, MakesTheWindowOperationsAndTree)
{
    const HeaderCase &c = GetParam();
    Loaded loaded = LoadMenu(c.bytes);
    std::string input = std::string(c.what) + ": " + testing::PrintToString(c.bytes.substr(0, 200));
    EXPECT_EQ(loaded.calls, c.calls) << input;
    EXPECT_EQ(loaded.sorted, c.sorted) << input;
    EXPECT_EQ(loaded.dump, c.dump) << input;
}

INSTANTIATE_TEST_SUITE_P(MenuFile, MenuHeader, testing::ValuesIn(kHeaderCases));

// size=: the outer size about the window's centre, each half difference
// rounded toward zero, kept within the substitute's 1024 x 768 screen; a
// value that is not two numbers of at least 1 leaves the window alone
// without even reading its rectangle.
struct SizeCase {
    const char *option;
    RECT window;
    const char *calls;
};

const SizeCase kSizeCases[] = {
    {"size=640x480", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 80 60 640 480\n"},
    {"size=800x600", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 0 0 800 600\n"},
    {"size=599x400", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 100 100 599 400\n"},
    {"size=603x397", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 99 101 603 397\n"},
    {"size=400x200", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 200 200 400 200\n"},
    {"size=800x600", {-300, -200, 300, 200}, "GetWindowRect\nSetWindowPos 0 0 800 600\n"},
    {"size=1x1", {0, 0, 10, 10}, "GetWindowRect\nSetWindowPos 4 4 1 1\n"},
    {"size=+640x+480", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 80 60 640 480\n"},
    {"size= 640x 480", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 80 60 640 480\n"},
    {"size=640x480 pixels", {100, 100, 700, 500}, "GetWindowRect\nSetWindowPos 80 60 640 480\n"},
    {"size=2147483647x2147483647", {0, 0, 600, 400},
     "GetWindowRect\nSetWindowPos 0 0 1024 768\n"},
    {"size=640 x480", {100, 100, 700, 500}, ""},
    {"size = 640x480", {100, 100, 700, 500}, ""},
    {"size=640X480", {100, 100, 700, 500}, ""},
    {"size=-5x-5", {100, 100, 700, 500}, ""},
    {"size=0x10", {100, 100, 700, 500}, ""},
    {"size=10x0", {100, 100, 700, 500}, ""},
    {"size=abc", {100, 100, 700, 500}, ""},
    {"size=", {100, 100, 700, 500}, ""},
    {"size=640x", {100, 100, 700, 500}, ""},
    {"Size=640x480", {100, 100, 700, 500}, ""},
};

TEST(MenuSize, ResizesAboutTheCentre)
{
    for (const SizeCase &c : kSizeCases) {
        Loaded loaded = LoadMenu(std::string("T, ") + c.option + " { A }", c.window);
        EXPECT_EQ(loaded.calls, std::string("WM_SETTEXT T\n") + c.calls)
            << c.option << " on (" << c.window.left << "," << c.window.top << ")-(" << c.window.right << ","
            << c.window.bottom << ")";
    }
}

// The window's place for a size: about its centre where that fits the work
// area, else cut to it and moved the least distance into it.
struct PlaceCase {
    const char *what;
    int width, height; // what size= asks for
    RECT workArea, window, placed;
};

const RECT kScreen = {0, 0, 1024, 768};
const RECT kRightMonitor = {1280, 0, 2560, 1024};

const PlaceCase kPlaceCases[] = {
    {"fits", 640, 480, kScreen, {100, 100, 700, 500}, {80, 60, 720, 540}},
    {"fits, odd differences", 603, 397, kScreen, {100, 100, 700, 500}, {99, 101, 702, 498}},
    {"exactly the work area", 1024, 768, kScreen, {212, 184, 812, 584}, {0, 0, 1024, 768}},
    {"fits, out over the top left", 800, 600, kScreen, {-300, -200, 300, 200}, {0, 0, 800, 600}},
    {"fits, out over the bottom right", 600, 400, kScreen, {700, 500, 1000, 700}, {424, 368, 1024, 768}},
    {"fits, the window wholly off the work area", 640, 480, kScreen, {3000, 100, 3600, 500},
     {384, 60, 1024, 540}},
    {"too wide", 1600, 400, kScreen, {100, 100, 700, 500}, {0, 100, 1024, 500}},
    {"too tall", 600, 1400, kScreen, {100, 100, 700, 500}, {100, 0, 700, 768}},
    {"too wide and too tall", 1600, 1400, kScreen, {212, 184, 812, 584}, {0, 0, 1024, 768}},
    {"the largest size", INT_MAX, INT_MAX, kScreen, {0, 0, 600, 400}, {0, 0, 1024, 768}},
    {"second monitor, fits", 640, 480, kRightMonitor, {1600, 300, 2200, 700}, {1580, 260, 2220, 740}},
    {"second monitor, too large", 1600, 1400, kRightMonitor, {1600, 300, 2200, 700}, {1280, 0, 2560, 1024}},
    {"monitor left of the first", 800, 600, {-1280, 0, 0, 1024}, {-400, 300, 200, 700}, {-800, 200, 0, 800}},
    {"taskbar at the top", 800, 750, {0, 40, 1024, 768}, {212, 204, 812, 604}, {112, 40, 912, 768}},
    {"taskbar at the left", 800, 600, {60, 0, 1024, 768}, {100, 100, 700, 500}, {60, 0, 860, 600}},
    {"taskbar at the bottom", 640, 760, {0, 0, 1024, 728}, {100, 100, 700, 500}, {80, 0, 720, 728}},
    {"an area as large as the coordinates", INT_MAX, INT_MAX, {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
     {0, 0, 600, 400}, {-1073741523, -1073741623, 1073742124, 1073742024}},
};

std::string ShowRect(const RECT &r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " - " + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

TEST(MenuSize, PlacesTheWindowWithinTheWorkArea)
{
    for (const PlaceCase &c : kPlaceCases) {
        RECT placed;
        PlaceMenuWindow(&c.window, c.width, c.height, &c.workArea, &placed);
        EXPECT_EQ(ShowRect(placed), ShowRect(c.placed))
            << c.what << ": " << c.width << " x " << c.height << " from " << ShowRect(c.window) << " in "
            << ShowRect(c.workArea);
    }
}

// The work area is the monitor's, less its taskbar: a size= taller than
// the rest of the screen ends above the taskbar.
TEST(MenuSize, KeepsClearOfTheTaskbar)
{
    MONITORINFO before;
    before.cbSize = sizeof(before);
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(NULL, MONITOR_DEFAULTTONEAREST), &before));
    SubstSetMonitor(kScreen, {0, 0, 1024, 728});
    EXPECT_EQ(LoadMenu("T, size=1600x1400 { A }").calls,
              "WM_SETTEXT T\nGetWindowRect\nSetWindowPos 0 0 1024 728\n");
    SubstSetMonitor(before.rcMonitor, before.rcWork);
}

// Each size= acts on the rectangle the window has at that moment, so a
// second one starts from what the first made, and an ignored one changes
// nothing in between.
TEST(MenuSize, RepeatedOptionsEachAct)
{
    const struct {
        const char *header;
        const char *calls;
    } cases[] = {
        {"T, size=640x480, size=800x600",
         "WM_SETTEXT T\nGetWindowRect\nSetWindowPos 80 60 640 480\nGetWindowRect\nSetWindowPos 0 0 800 600\n"},
        {"T, size=640x480, size=0x0, install",
         "WM_SETTEXT T\nGetWindowRect\nSetWindowPos 80 60 640 480\nShowWindow 1002 0\nSetWindowTextA 1 &Install\n"},
    };
    for (const auto &c : cases) EXPECT_EQ(LoadMenu(std::string(c.header) + " { A }").calls, c.calls) << c.header;
}

// A file that starts with a UTF-8 byte-order mark: the mark is no text, and
// every field reaches the dialog, the tree and the records in the ANSI
// code page (1252 here), as the same file saved in that code page would.
TEST(MenuUtf8, ReadsAsTheSameFileInTheCodePage)
{
    const std::string mark = "\xEF\xBB\xBF";
    const struct {
        const char *what;
        std::string utf8, ansi;
    } rows[] = {
        {"title, options, entries and %:",
         "Disc \xC3\x9C, sorted\n{ Caf\xC3\xA9, %:\\n\xC3\xBC.exe \xE2\x82\xAC, 'M\xC3\xBCnchen, \xE2\x82\xAC" "5' }",
         "Disc \xDC, sorted\n{ Caf\xE9, %:\\n\xFC.exe \x80, 'M\xFCnchen, \x80" "5' }"},
        {"a character 1252 cannot hold is its default, never a look-alike",
         "T { \xC5\x81\xC3\xB3" "d\xC5\xBA, \xE2\x80\x9Cq\xE2\x80\x9D, \xCE\xA9 }",
         "T { ?\xF3" "d?, \x93q\x94, ? }"},
        {"a character beyond U+FFFF is a default for each of its two halves", "T { \xF0\x9F\x98\x80 }",
         "T { ?? }"},
        {"bytes that are not UTF-8 are the default too", "T { a\xFF" "b, \xC3 }", "T { a?b, ? }"},
        {"a field that ends inside a character takes nothing from the field before",
         "T { Long name here, Caf\xE9, \xF0\x9F\x98 }", "T { Long name here, Caf?, ? }"},
        {"the mark alone", "", ""},
    };
    for (const auto &row : rows) {
        Loaded marked = LoadMenu(mark + row.utf8), ansi = LoadMenu(row.ansi);
        EXPECT_EQ(marked.calls, ansi.calls) << row.what;
        EXPECT_EQ(marked.dump, ansi.dump) << row.what;
        EXPECT_EQ(marked.sorted, ansi.sorted) << row.what;
    }
    // Without the mark, the same bytes are the code page's, as they stand.
    EXPECT_EQ(LoadMenu("T { Caf\xC3\xA9 }").dump, "Caf\xC3\xA9 = Caf\xC3\xA9||\n");
}

// A field at its limit in the file's bytes stays within its buffer once
// converted (no character takes more bytes in the code page than in UTF-8),
// and where the limit falls inside a character the field ends before it:
// no default character stands for a character the file holds whole.
TEST(MenuUtf8, FieldsCutAtTheirLimitKeepWholeCharacters)
{
    const struct {
        const char *utf8, *in1252;
    } characters[] = {{"\xC3\xA9", "\xE9"}, {"\xE2\x82\xAC", "\x80"}, {"\xF0\x9F\x98\x80", "??"}};
    for (const auto &ch : characters) {
        int size = (int)strlen(ch.utf8);
        for (int over = 1; over < size; over++) { // bytes of the character past the limit
            std::string name(MAX_FIELD - size + over, 'n'), description(MAX_DESCRIPTION - size + over, 'd');
            std::string menu = "\xEF\xBB\xBFT { " + name + ch.utf8 + ch.utf8 + ", c, " + description + ch.utf8 + " }";
            std::string trace = std::string(ch.utf8) + " with " + std::to_string(over) + " bytes past the limit";
            EXPECT_EQ(LoadMenu(menu).dump, name + " = " + name + "|c|" + description + "\n") << trace;
            EXPECT_EQ(LoadMenu(menu, kWindow600x400, CP_UTF8).dump, name + " = " + name + "|c|" + description + "\n")
                << trace << ", code page UTF-8";
        }
        // A character that ends right at the limit is kept.
        std::string name(MAX_FIELD - size, 'n');
        std::string menu = "\xEF\xBB\xBFT { " + name + ch.utf8 + "x }";
        EXPECT_EQ(LoadMenu(menu).dump, name + ch.in1252 + " = " + name + ch.in1252 + "||\n") << ch.utf8;
        EXPECT_EQ(LoadMenu(menu, kWindow600x400, CP_UTF8).dump, name + ch.utf8 + " = " + name + ch.utf8 + "||\n")
            << ch.utf8 << ", code page UTF-8";
    }
    // Without the mark, bytes are cut where the limit falls, as they stand.
    std::string name(MAX_FIELD - 1, 'n');
    EXPECT_EQ(LoadMenu("T { " + name + "\xC3\xA9 }").dump, name + "\xC3 = " + name + "\xC3||\n");
}

// A first byte of a character right at the limit belongs to a character
// that the limit splits only where the next text byte the reader gives
// continues it (after `%` or an apostrophe, that byte comes later). A field
// that is no longer than its limit is not cut at all. Otherwise such bytes
// show as they do anywhere else: as the default character in 1252, as
// written where the code page is UTF-8.
TEST(MenuUtf8, FirstBytesAtTheLimitAreSplitOnlyWhereTheNextTextByteContinuesThem)
{
    const struct {
        const char *atLimit, *pastLimit, *in1252, *in65001;
    } rows[] = {
        {"\xC3", "", "?", "\xC3"},
        {"\xE2\x82", "", "?", "\xE2\x82"},
        {"\xC3", "x", "?", "\xC3"},
        {"\xE2\x82", "x", "?", "\xE2\x82"},
        {"\xC3", "%x", "?", "\xC3"},
        {"\xC3", "%\xA9", "", ""},
        {"\xC3", "'\xA9'", "", ""},
        {"\xE2\x82", "%\xAC", "", ""},
    };
    for (const auto &row : rows) {
        int size = (int)strlen(row.atLimit);
        std::string name(MAX_FIELD - size, 'n'), description(MAX_DESCRIPTION - size, 'd');
        std::string menu = "\xEF\xBB\xBFT { " + name + row.atLimit + row.pastLimit + ", c, " + description +
                           row.atLimit + row.pastLimit + " }";
        std::string trace = std::string(row.atLimit) + " at the limit, then \"" + row.pastLimit + "\"";
        std::string shown = name + row.in1252;
        EXPECT_EQ(LoadMenu(menu).dump, shown + " = " + shown + "|c|" + description + row.in1252 + "\n") << trace;
        shown = name + row.in65001;
        EXPECT_EQ(LoadMenu(menu, kWindow600x400, CP_UTF8).dump,
                  shown + " = " + shown + "|c|" + description + row.in65001 + "\n")
            << trace << ", code page UTF-8";
    }
}

// A marked file on a machine whose ANSI code page is UTF-8 shows as it is
// written: the fields need no conversion (and the platform refuses the
// flags the conversion takes for other code pages). The same file without
// the mark reads the same.
TEST(MenuUtf8, ShowsAsWrittenWhereTheCodePageIsUtf8)
{
    const std::string menu = "Disc \xC3\x9C, sorted\n{ Caf\xC3\xA9, %:\\n\xC3\xBC.exe \xE2\x82\xAC, "
                             "'\xCE\xA9 \xF0\x9F\x98\x80, a\xFF" "b' }";
    const std::string dump = "Caf\xC3\xA9 = Caf\xC3\xA9|E:\\n\xC3\xBC.exe \xE2\x82\xAC|\xCE\xA9 \xF0\x9F\x98\x80, a\xFF" "b\n";
    for (const std::string &bytes : {"\xEF\xBB\xBF" + menu, menu}) {
        Loaded loaded = LoadMenu(bytes, kWindow600x400, CP_UTF8);
        EXPECT_EQ(loaded.calls, "WM_SETTEXT Disc \xC3\x9C\n") << bytes;
        EXPECT_EQ(loaded.dump, dump) << bytes;
        EXPECT_TRUE(loaded.sorted) << bytes;
    }
}

// Where a conversion fails (from UTF-8, or to the code page, even after
// writing part of its output), each field keeps the bytes it was read
// with: no field of the file is lost.
int FailToWide(UINT, DWORD, const char *, int, WCHAR *, int, BOOL *) { return 0; }
int DecodeToWide(UINT codePage, DWORD, const char *text, int length, WCHAR *wide, int size, BOOL *)
{
    return DecodeText(codePage, text, length, wide, size);
}
int FailFromWide(UINT, DWORD, const WCHAR *, int, char *, int, BOOL *) { return 0; }
int FailFromWideHalfWay(UINT, DWORD, const WCHAR *, int, char *text, int size, BOOL *)
{
    memset(text, '#', size / 2);
    return 0;
}

TEST(MenuUtf8, FieldsKeepTheirBytesWhereAConversionFails)
{
    const struct {
        const char *what;
        SubstToWideProc toWide;
        SubstFromWideProc fromWide;
    } rows[] = {
        {"from UTF-8", FailToWide, FailFromWideHalfWay},
        {"to the code page", DecodeToWide, FailFromWide},
        {"to the code page, part written", DecodeToWide, FailFromWideHalfWay},
    };
    const std::string menu = "\xEF\xBB\xBF" "Disc \xC3\x9C\n{ Caf\xC3\xA9, c\xC3\xA9.exe, \xE2\x82\xAC" "5 }";
    for (const auto &row : rows) {
        ResetMenuState();
        HWND hDlg = CreateDialogAt(kWindow600x400);
        HWND hTree = GetDlgItem(hDlg, IDC_TREE);
        SubstSetPlatformText(row.toWide, row.fromWide, NULL);
        ReadMenuBytes(hDlg, menu);
        EXPECT_EQ(MenuCalls(), "WM_SETTEXT Disc \xC3\x9C\n") << row.what;
        EXPECT_EQ(DumpTree(hTree), "Caf\xC3\xA9 = Caf\xC3\xA9|c\xC3\xA9.exe|\xE2\x82\xAC" "5\n") << row.what;
        FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
        SubstDestroyWindow(hDlg);
    }
    UsePlatformText(1252);
}

// The platform's refusals that the substitute keeps, with the last error
// each sets (looked at only after a failure: success leaves it as it was).
// For UTF-8, as CP_UTF8 or as the ANSI code page, WideCharToMultiByte takes
// no flag but WC_ERR_INVALID_CHARS and no default character, which other
// code pages take; WC_ERR_INVALID_CHARS is UTF-8's and 54936's only.
TEST(MenuUtf8, SubstituteRefusesTheFlagsWindowsRefusesForUtf8)
{
    static const char defaultChar[] = "#";
    static BOOL usedDefault;
    const struct {
        unsigned ansiCodePage, codePage;
        DWORD flags;
        const char *defaultChar;
        BOOL *usedDefault;
        int written;
        DWORD error;
    } rows[] = {
        {1252, CP_ACP, WC_NO_BEST_FIT_CHARS, NULL, NULL, 2, 0},
        {CP_UTF8, CP_ACP, WC_NO_BEST_FIT_CHARS, NULL, NULL, 0, ERROR_INVALID_FLAGS},
        {1252, CP_UTF8, WC_NO_BEST_FIT_CHARS, NULL, NULL, 0, ERROR_INVALID_FLAGS},
        {CP_UTF8, CP_ACP, 0, NULL, NULL, 3, 0},
        {CP_UTF8, CP_ACP, WC_ERR_INVALID_CHARS, NULL, NULL, 3, 0},
        {1252, CP_UTF8, 0, NULL, NULL, 3, 0},
        {1252, CP_UTF8, 0, defaultChar, NULL, 0, ERROR_INVALID_PARAMETER},
        {1252, CP_UTF8, 0, NULL, &usedDefault, 0, ERROR_INVALID_PARAMETER},
        {CP_UTF8, CP_ACP, 0, NULL, &usedDefault, 0, ERROR_INVALID_PARAMETER},
        {1252, CP_ACP, 0, defaultChar, &usedDefault, 2, 0},
        {1252, CP_ACP, WC_ERR_INVALID_CHARS, NULL, NULL, 0, ERROR_INVALID_FLAGS},
        {1252, 1251, WC_ERR_INVALID_CHARS, NULL, NULL, 0, ERROR_INVALID_FLAGS},
    };
    const WCHAR wide[] = {0xE9, 0};
    for (const auto &row : rows) {
        UsePlatformText(row.ansiCodePage);
        SetLastError(0);
        char text[8];
        std::string trace = "ANSI code page " + std::to_string(row.ansiCodePage) + ", code page " +
                            std::to_string(row.codePage) + ", flags " + std::to_string(row.flags) +
                            (row.defaultChar ? ", a default" : "") + (row.usedDefault ? ", its flag" : "");
        EXPECT_EQ(WideCharToMultiByte(row.codePage, row.flags, wide, -1, text, sizeof(text), row.defaultChar,
                                      row.usedDefault),
                  row.written)
            << trace;
        if (!row.written) {
            EXPECT_EQ(GetLastError(), row.error) << trace;
        }
        EXPECT_EQ(GetACP(), row.ansiCodePage);
    }
    UsePlatformText(1252);
}

// MultiByteToWideChar takes the flags 0 and MB_ERR_INVALID_CHARS for UTF-8,
// and with MB_ERR_INVALID_CHARS fails on bytes that are not UTF-8.
TEST(MenuUtf8, SubstituteRefusesWhatWindowsRefusesToWide)
{
    const struct {
        unsigned ansiCodePage, codePage;
        DWORD flags;
        const char *text;
        int written;
        DWORD error;
    } rows[] = {
        {1252, CP_UTF8, 0, "\xC3\xA9", 2, 0},
        {1252, CP_UTF8, MB_ERR_INVALID_CHARS, "\xC3\xA9", 2, 0},
        {1252, CP_UTF8, 0, "a\xC3", 3, 0},
        {1252, CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3", 0, ERROR_NO_UNICODE_TRANSLATION},
        {1252, CP_UTF8, MB_ERR_INVALID_CHARS, "\xFF", 0, ERROR_NO_UNICODE_TRANSLATION},
        {CP_UTF8, CP_ACP, MB_ERR_INVALID_CHARS, "a\xC3", 0, ERROR_NO_UNICODE_TRANSLATION},
        {1252, CP_UTF8, 0x00000001 /* MB_PRECOMPOSED */, "a", 0, ERROR_INVALID_FLAGS},
        {CP_UTF8, CP_ACP, 0x00000001, "a", 0, ERROR_INVALID_FLAGS},
        {1252, CP_ACP, 0x00000001, "\xE9", 2, 0},
    };
    for (const auto &row : rows) {
        UsePlatformText(row.ansiCodePage);
        SetLastError(0);
        WCHAR wide[8];
        std::string trace = "ANSI code page " + std::to_string(row.ansiCodePage) + ", code page " +
                            std::to_string(row.codePage) + ", flags " + std::to_string(row.flags) + ", " + row.text;
        EXPECT_EQ(MultiByteToWideChar(row.codePage, row.flags, row.text, -1, wide, 8), row.written) << trace;
        if (!row.written) {
            EXPECT_EQ(GetLastError(), row.error) << trace;
        }
    }
    UsePlatformText(1252);
}

// The fallback item is inserted at g_hInsertAfter like any other: with
// "sorted" an item added after it goes into place by its text, before
// "Explore CD"; without it, after.
TEST(MenuFallback, FollowsTheInsertionPlace)
{
    const struct {
        const char *bytes;
        const char *dump;
    } cases[] = {
        {"T, sorted { }", "Apple = null\nExplore CD = null\n"},
        {"T { }", "Explore CD = null\nApple = null\n"},
        {"T, sorted", "Apple = null\nExplore CD = null\n"},
    };
    for (const auto &c : cases) {
        ResetMenuState();
        HWND hDlg = CreateDialogAt(kWindow600x400);
        HWND hTree = GetDlgItem(hDlg, IDC_TREE);
        ReadMenuBytes(hDlg, c.bytes);
        InsertTreeItem(hTree, TVI_ROOT, "Apple", 0);
        EXPECT_EQ(DumpTree(hTree), c.dump) << c.bytes;
        SubstDestroyWindow(hDlg);
    }
}

// ReadMenuFile opens "Quorlan.ini" in the current folder. Each case runs
// in a fresh temporary folder, with the file holding the bytes (or no file,
// or a folder of that name), and must give what the same bytes give read
// from memory.
class MenuFileOnDisk : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(getcwd(m_szOldDir, sizeof(m_szOldDir)));
        char pattern[] = "/tmp/quorlan-menu-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        m_dir = pattern;
        ASSERT_EQ(chdir(m_dir.c_str()), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(m_szOldDir), 0);
        EXPECT_EQ(system(("rm -rf '" + m_dir + "'").c_str()), 0);
    }
    // Yields what ReadMenuFile made of the current folder's menu file.
    static Loaded ReadCurrentFolder()
    {
        ResetMenuState();
        HWND hDlg = CreateDialogAt(kWindow600x400);
        HWND hTree = GetDlgItem(hDlg, IDC_TREE);
        ReadMenuFile(hDlg);
        Loaded loaded = {MenuCalls(), DumpTree(hTree), g_hInsertAfter == TVI_SORT};
        FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
        SubstDestroyWindow(hDlg);
        return loaded;
    }
    char m_szOldDir[4096];
    std::string m_dir;
};

TEST_F(MenuFileOnDisk, MissingFileGivesTheFallbackAlone)
{
    for (const char *other : {"", "Quorlan", "Quorlan.ini.bak"}) {
        if (*other) std::ofstream(other, std::ios::binary) << "T, install { A }";
        Loaded loaded = ReadCurrentFolder();
        EXPECT_EQ(loaded.calls, "") << "beside " << other;
        EXPECT_EQ(loaded.dump, kExplore) << "beside " << other;
    }
}

TEST_F(MenuFileOnDisk, FolderOfThatNameGivesTheFallback)
{
    ASSERT_EQ(mkdir(MENU_FILE_NAME, 0755), 0);
    Loaded loaded = ReadCurrentFolder();
    EXPECT_EQ(loaded.calls, "");
    EXPECT_EQ(loaded.dump, kExplore);
}

TEST_F(MenuFileOnDisk, ReadsTheFileAsItsBytes)
{
    const std::string files[] = {
        "Demo Disc, sorted, size=640x480\r\n{\r\n  Setup, %:\\setup.exe /quiet, 'Installs it, then starts it.',"
        "\r\n  Documents { Manual, docs\\manual.pdf, Opens the manual }\r\n}\r\n",
        BYTES("T\r\n{ Na\0me, a.exe\x1a, '\xff\xfe' }"),
        "",
        "T, install\n{ A { B { C",
        std::string(20000, 'x') + "{ A, " + std::string(20000, 'y') + " }",
    };
    for (const std::string &bytes : files) {
        std::ofstream(MENU_FILE_NAME, std::ios::binary) << bytes;
        Loaded fromFile = ReadCurrentFolder();
        Loaded fromMemory = LoadMenu(bytes);
        EXPECT_EQ(fromFile.calls, fromMemory.calls) << testing::PrintToString(bytes.substr(0, 100));
        EXPECT_EQ(fromFile.dump, fromMemory.dump) << testing::PrintToString(bytes.substr(0, 100));
        EXPECT_EQ(fromFile.sorted, fromMemory.sorted) << testing::PrintToString(bytes.substr(0, 100));
        EXPECT_NE(fromFile.dump, "") << testing::PrintToString(bytes.substr(0, 100));
    }
}

// Every menu seed of the fuzzer, and so every input that once made it
// fail, through the real file: the same result as from memory, and never
// an empty tree.
TEST_F(MenuFileOnDisk, EveryFuzzSeedReadsAsFromMemory)
{
    std::string seeds = __FILE__;
    seeds = seeds.substr(0, seeds.rfind('/')) + "/../../fuzz/corpus/menu";
    DIR *folder = opendir(seeds.c_str());
    ASSERT_TRUE(folder) << seeds;
    int files = 0;
    while (const dirent *found = readdir(folder)) {
        if (found->d_name[0] == '.') continue;
        std::ifstream seed(seeds + "/" + found->d_name, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(seed)), std::istreambuf_iterator<char>());
        std::ofstream(MENU_FILE_NAME, std::ios::binary | std::ios::trunc) << bytes;
        Loaded fromFile = ReadCurrentFolder();
        Loaded fromMemory = LoadMenu(bytes);
        EXPECT_EQ(fromFile.calls, fromMemory.calls) << found->d_name;
        EXPECT_EQ(fromFile.dump, fromMemory.dump) << found->d_name;
        EXPECT_NE(fromFile.dump, "") << found->d_name;
        files++;
    }
    closedir(folder);
    EXPECT_GT(files, 10);
}

} // namespace
