/*
 * The dialog procedure natively: each test opens the main dialog as the
 * dialog manager does, sends it the user's actions as the messages the
 * dialog would receive, then checks what the dialog showed, what the shell
 * was asked to start, and that every record was released. Program start and
 * the message loop are the real platform's, tested end to end under Wine.
 */
#include <gtest/gtest.h>

#include "alloc_hooks.h"
#include "menu_test_util.h"
#include "subst.h"
#include "../../launch/launch.h"
#include "../../menu/menu.h"
#include "../../res/resource.h"
#include "../../ui/ui.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

namespace {

int CountCalls(const char *op)
{
    int n = 0;
    for (const SubstCall &call : SubstCalls()) n += call.op == op;
    return n;
}

// Runs each test in a fresh folder holding the given Quorlan.ini (or none),
// with the reader's state as at program start.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quorlan-dialog-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_NE(getcwd(oldFolder, sizeof(oldFolder)), nullptr);
        ASSERT_EQ(chdir(folder.c_str()), 0);
        ResetMenuState();
        SubstClearRecords();
    }
    void TearDown() override
    {
        remove("Quorlan.ini");
        EXPECT_EQ(chdir(oldFolder), 0);
        rmdir(folder.c_str());
    }
    void WriteMenu(const std::string &text)
    {
        FILE *f = fopen("Quorlan.ini", "wb");
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
    }
    // Opens the dialog (WM_INITDIALOG once its controls exist), then takes
    // the steps in turn, as the user's actions arrive, until one ends the
    // dialog; then the dialog is destroyed.
    void RunDialog(const std::vector<std::function<void(HWND)>> &steps)
    {
        HWND hDlg = SubstCreateMainDialog(MainDlgProc);
        StartAllocTracking();
        SendMessageA(hDlg, WM_INITDIALOG, 0, 0);
        for (size_t i = 0; i < steps.size() && CountCalls("EndDialog") == 0; i++) steps[i](hDlg);
        StopAllocTracking();
        SubstDestroyWindow(hDlg);
    }
    std::string folder;
    char oldFolder[4096];
};

HTREEITEM Item(HWND hDlg, int index)
{
    HWND tree = GetDlgItem(hDlg, IDC_TREE);
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    while (index-- > 0 && item) item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item);
    return item;
}

std::string Text(HWND hDlg, int id)
{
    char text[9000];
    GetDlgItemTextA(hDlg, id, text, sizeof(text));
    return text;
}

void Command(HWND hDlg, WPARAM wParam) { SendMessageA(hDlg, WM_COMMAND, wParam, 0); }

// Each control's rectangle in the dialog's client pixels, "x,y WxH", in tab
// order: tree, frame, description, command box, Run, Close.
std::string ControlRects(HWND hDlg)
{
    static const int ids[] = {IDC_TREE, IDC_FRAME, IDC_DESCRIPTION, IDC_COMMAND, IDOK, IDCANCEL};
    std::string out;
    for (int id : ids) {
        RECT r;
        GetWindowRect(GetDlgItem(hDlg, id), &r);
        char rect[64];
        snprintf(rect, sizeof(rect), "%s%d,%d %dx%d", out.empty() ? "" : "; ", (int)r.left, (int)r.top,
                 (int)(r.right - r.left), (int)(r.bottom - r.top));
        out += rect;
    }
    return out;
}

const char kMenu[] =
    "Demo Disc\n"
    "{\n"
    "  Setup, %:\\setup.exe /quiet, 'Installs the demo, then starts it.',\n"
    "  Docs { Manual, docs\\manual.pdf, Opens the manual }\n"
    "  Tools & More, \"C:\\Program Files\\App\\app.exe\" -x, Two words\n"
    "}\n";

TEST_F(DialogTest, SelectingAnEntryShowsItsThreeTextsAndRunStartsIt)
{
    WriteMenu(kMenu);
    std::vector<std::string> frames, commands, descriptions;
    RunDialog({
        [&](HWND d) {
            EXPECT_EQ(Text(d, 0), "") << "the dialog's own text is not read by GetDlgItemTextA";
            char caption[64];
            GetWindowTextA(d, caption, sizeof(caption));
            EXPECT_STREQ(caption, "Demo Disc");
            EXPECT_EQ(Text(d, IDC_FRAME), "") << "nothing is selected before the user acts";
        },
        [&](HWND d) { SubstSelectTreeItem(d, Item(d, 0)); },
        [&](HWND d) {
            EXPECT_EQ(Text(d, IDC_FRAME), "Setup");
            EXPECT_EQ(Text(d, IDC_COMMAND), "E:\\setup.exe /quiet") << "%: is the start-up drive";
            EXPECT_EQ(Text(d, IDC_DESCRIPTION), "Installs the demo, then starts it.");
        },
        [&](HWND d) { Command(d, IDOK); },
        [&](HWND d) { SubstSelectTreeItem(d, Item(d, 2)); },
        [&](HWND d) { SubstDoubleClickTree(d); },
        [&](HWND d) { Command(d, IDCANCEL); },
        [&](HWND) { ADD_FAILURE() << "no step runs after the dialog ended"; },
    });
    ASSERT_EQ(SubstShellCalls().size(), 2u);
    EXPECT_EQ(SubstShellCalls()[0].file, "E:\\setup.exe");
    EXPECT_EQ(SubstShellCalls()[0].parameters, "/quiet");
    EXPECT_EQ(SubstShellCalls()[0].directory, "E:");
    EXPECT_EQ(SubstShellCalls()[1].file, "\"C:\\Program Files\\App\\app.exe\"");
    EXPECT_EQ(SubstShellCalls()[1].directory, "C:\\Program Files\\App");
    EXPECT_EQ(LiveBlocks(), 0) << "every record and field released at close";
    EXPECT_EQ(StrayFrees(), 0);
}

// Where the ANSI code page is UTF-8, a UTF-8 menu, marked or not, reaches
// every control, the tree and the shell as written.
TEST_F(DialogTest, Utf8MenuReachesTheShellIntactWhereTheCodePageIsUtf8)
{
    const std::string menu = "Disc \xC3\x9C\n{ Caf\xC3\xA9, %:\\bin\\\xE2\x82\xAC.exe caf\xC3\xA9 \xF0\x9F\x98\x80, "
                             "'f\xC3\xBCr alle, \xCE\xA9' }";
    for (const std::string &bytes : {"\xEF\xBB\xBF" + menu, menu}) {
        SCOPED_TRACE(bytes);
        WriteMenu(bytes);
        ResetMenuState("E:\\", CP_UTF8);
        SubstClearRecords();
        RunDialog({
            [&](HWND d) {
                char caption[64];
                GetWindowTextA(d, caption, sizeof(caption));
                EXPECT_STREQ(caption, "Disc \xC3\x9C");
                EXPECT_EQ(GetTreeItemText(GetDlgItem(d, IDC_TREE), Item(d, 0)), "Caf\xC3\xA9");
                SubstSelectTreeItem(d, Item(d, 0));
                EXPECT_EQ(Text(d, IDC_FRAME), "Caf\xC3\xA9");
                EXPECT_EQ(Text(d, IDC_COMMAND), "E:\\bin\\\xE2\x82\xAC.exe caf\xC3\xA9 \xF0\x9F\x98\x80");
                EXPECT_EQ(Text(d, IDC_DESCRIPTION), "f\xC3\xBCr alle, \xCE\xA9");
            },
            [&](HWND d) { Command(d, IDOK); },
            [&](HWND d) { Command(d, IDCANCEL); },
        });
        ASSERT_EQ(SubstShellCalls().size(), 1u);
        EXPECT_EQ(SubstShellCalls()[0].file, "E:\\bin\\\xE2\x82\xAC.exe");
        EXPECT_EQ(SubstShellCalls()[0].parameters, "caf\xC3\xA9 \xF0\x9F\x98\x80");
        EXPECT_EQ(SubstShellCalls()[0].directory, "E:\\bin");
    }
    UsePlatformText(1252);
}

// Which WM_COMMAND and WM_NOTIFY messages start the command: the whole
// wParam is tested, and double clicks count only from the tree.
TEST_F(DialogTest, OnlyRunEnterAndTreeDoubleClicksStartTheCommand)
{
    struct Case {
        const char *what;
        UINT message;
        WPARAM wParam;
        UINT code;
        bool fromTree;
        size_t calls;
    } cases[] = {
        {"IDOK clicked", WM_COMMAND, IDOK, 0, false, 1},
        {"IDOK with a notification code", WM_COMMAND, MAKEWPARAM(IDOK, 1), 0, false, 0},
        {"command box edit notification", WM_COMMAND, MAKEWPARAM(IDC_COMMAND, EN_CHANGE), 0, false, 0},
        {"IDCANCEL with a notification code", WM_COMMAND, MAKEWPARAM(IDCANCEL, EN_CHANGE), 0, false, 0},
        {"double click in the tree", WM_NOTIFY, 0, NM_DBLCLK, true, 1},
        {"double click elsewhere", WM_NOTIFY, 0, NM_DBLCLK, false, 0},
        {"another tree notification", WM_NOTIFY, 0, (UINT)-5, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteMenu(kMenu);
        ResetMenuState();
        SubstClearRecords();
        INT_PTR handled = -1;
        RunDialog({
            [&](HWND d) { SetDlgItemTextA(d, IDC_COMMAND, "notepad readme.txt"); },
            [&](HWND d) {
                NMHDR nm = {c.fromTree ? GetDlgItem(d, IDC_TREE) : GetDlgItem(d, IDOK), 0, c.code};
                LPARAM lParam = c.message == WM_NOTIFY ? (LPARAM)&nm : 0;
                handled = MainDlgProc(d, c.message, c.wParam, lParam);
            },
            [&](HWND d) { Command(d, IDCANCEL); },
        });
        EXPECT_EQ(handled, TRUE) << "handled messages return TRUE whatever they did";
        EXPECT_EQ(SubstShellCalls().size(), c.calls);
        EXPECT_EQ(CountCalls("EndDialog"), 1) << "only IDCANCEL itself closes";
    }
}

TEST_F(DialogTest, UnhandledMessagesReturnFalse)
{
    HWND d = SubstCreateMainDialog(MainDlgProc);
    for (UINT message : {(UINT)WM_SETTEXT, (UINT)WM_CLOSE, (UINT)WM_SETICON, (UINT)WM_USER})
        EXPECT_EQ(MainDlgProc(d, message, 0, 0), FALSE) << message;
    SubstDestroyWindow(d);
}

TEST_F(DialogTest, FallbackItemLeavesTheTextsAndRunsWhatTheBoxHolds)
{
    // No menu file: the tree holds only "Explore CD", which has no record.
    RunDialog({
        [&](HWND d) { SubstSelectTreeItem(d, Item(d, 0)); },
        [&](HWND d) {
            EXPECT_EQ(Text(d, IDC_FRAME), "");
            EXPECT_EQ(Text(d, IDC_COMMAND), "");
            Command(d, IDOK);
            EXPECT_EQ(SubstShellCalls().size(), 0u) << "an empty box runs nothing";
            SetDlgItemTextA(d, IDC_COMMAND, "explorer.exe");
            SubstDoubleClickTree(d);
            EXPECT_EQ(SubstShellCalls().size(), 1u) << "a typed command runs";
        },
        [&](HWND d) { Command(d, IDCANCEL); },
    });
}

TEST_F(DialogTest, SelectionChangesDuringAndAfterCloseReadNoReleasedRecord)
{
    WriteMenu(kMenu);
    RunDialog({
        [&](HWND d) {
            SubstSelectTreeItem(d, Item(d, 0));
            Command(d, IDCANCEL);
            // As when the tree is torn down: notifications with the old
            // items' data. Under the sanitizers a read would be caught.
            SubstSelectTreeItem(d, Item(d, 2));
            SubstSelectTreeItem(d, Item(d, 0));
            SubstDoubleClickTree(d);
            EXPECT_EQ(Text(d, IDC_FRAME), "Setup") << "the texts stay as they were";
            Command(d, IDCANCEL); // a second Close releases nothing twice
        },
    });
    EXPECT_EQ(LiveBlocks(), 0);
    EXPECT_EQ(StrayFrees(), 0);
}

TEST_F(DialogTest, InitDialogSetsBothIconsAndAppliesTheMenuOptions)
{
    WriteMenu("Setup Disc, install, size=640x480\n{ A, a.exe, d }");
    RunDialog({
        [&](HWND d) {
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_COMMAND)));
            EXPECT_EQ(Text(d, IDOK), "&Install");
            SubstSelectTreeItem(d, Item(d, 0));
            EXPECT_EQ(Text(d, IDC_COMMAND), "a.exe") << "the hidden box still takes the command";
            Command(d, IDOK);
            EXPECT_EQ(SubstShellCalls().size(), 1u);
        },
        [&](HWND d) { Command(d, IDCANCEL); },
    });
    std::vector<long long> icons;
    for (const SubstCall &call : SubstCalls())
        if (call.op == "WM_SETICON") icons.push_back(call.arg[0] * 10 + call.arg[1]);
    EXPECT_EQ(icons, (std::vector<long long>{ICON_BIG * 10 + 1, ICON_SMALL * 10 + 1}));
}

TEST_F(DialogTest, SizeOptionResizesTheWindowAndTheLayoutFollows)
{
    WriteMenu("Sized, size=640x480\n{ A, a.exe, d }");
    RunDialog({
        [&](HWND d) {
            RECT window;
            GetWindowRect(d, &window);
            EXPECT_EQ(window.right - window.left, 640);
            EXPECT_EQ(window.bottom - window.top, 480);
            // The client area, 632 x 453 within the substitute's frame, one unit a pixel.
            EXPECT_EQ(ControlRects(d), "4,4 310x425; 318,0 310x429; 322,12 302x413; 4,433 512x16; "
                                       "520,433 52x16; 576,433 52x16");
        },
        [&](HWND d) { Command(d, IDCANCEL); },
    });
}

TEST_F(DialogTest, ResizingLaysTheControlsOutForTheNewClientSize)
{
    RunDialog({
        [&](HWND d) {
            // Each size as the user drags it, one unit a pixel; the smallest
            // gives empty controls, not negative ones.
            const struct {
                int width, height;
                const char *rects;
            } rows[] = {
                {300, 160, "4,4 144x132; 152,0 144x136; 156,12 136x120; 4,140 180x16; 188,140 52x16; "
                           "244,140 52x16"},
                {801, 600, "4,4 394x572; 402,0 394x576; 406,12 386x560; 4,580 681x16; 689,580 52x16; "
                           "745,580 52x16"},
                {20, 10, "4,4 4x0; 12,0 4x0; 16,12 0x0; 4,-10 0x16; -92,-10 52x16; -36,-10 52x16"},
            };
            for (const auto &row : rows) {
                SendMessageA(d, WM_SIZE, 0, MAKELPARAM(row.width, row.height));
                EXPECT_EQ(ControlRects(d), row.rects) << row.width << " x " << row.height;
            }
        },
        [&](HWND d) { Command(d, IDCANCEL); },
    });
}

} // namespace
