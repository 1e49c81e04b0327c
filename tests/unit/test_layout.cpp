/*
 * The layout on resize: for a client size, the six moves LayoutControls
 * makes (in order, each with repainting) and the one repaint of the dialog
 * after them, read back from the substitute's record. Sizes and margins are
 * literal values worked out by hand, in dialog units (a conversion of one
 * pixel per unit) and in the pixels of two larger fonts.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "subst.h"
#include "../../res/resource.h"
#include "../../ui/ui.h"

namespace {

struct Rect {
    int x, y, width, height;
};

// The controls in the order they are moved, which is also the template's.
const int kControls[6] = {IDC_TREE, IDC_FRAME, IDC_DESCRIPTION, IDC_COMMAND, IDOK, IDCANCEL};

struct LayoutCase {
    const char *what;
    int baseX, baseY; // dialog base units of the font; 4 x 8 is one pixel per unit
    int width, height;
    Rect moves[6];    // in the order of kControls
    bool erase;
};

const LayoutCase kLayoutCases[] = {
    // In dialog units.
    {"one unit larger than the template's client: the template's rectangles", 4, 8, 300, 160,
     {{TREE_RECT}, {FRAME_RECT}, {DESCRIPTION_RECT}, {COMMAND_RECT}, {RUN_RECT}, {CLOSE_RECT}}, false},
    {"the template's own client: W and H terms one smaller", 4, 8, 299, 159,
     {{4, 4, 143, 131}, {151, 0, 143, 135}, {155, 12, 135, 119}, {4, 139, 179, 16}, {187, 139, 52, 16},
      {243, 139, 52, 16}}, false},
    {"minimised", 4, 8, 0, 0,
     {{4, 4, -6, -28}, {2, 0, -6, -24}, {6, 12, -14, -40}, {4, -20, -120, 16}, {-112, -20, 52, 16},
      {-56, -20, 52, 16}}, true},
    {"1 x 1: negative halves round toward zero", 4, 8, 1, 1,
     {{4, 4, -5, -27}, {2, 0, -5, -23}, {6, 12, -13, -39}, {4, -19, -119, 16}, {-111, -19, 52, 16},
      {-55, -19, 52, 16}}, true},
    {"command box and frame exactly 8 wide and high", 4, 8, 128, 32,
     {{4, 4, 58, 4}, {66, 0, 58, 8}, {70, 12, 50, -8}, {4, 12, 8, 16}, {16, 12, 52, 16}, {72, 12, 52, 16}},
     false},
    {"command box 7 wide", 4, 8, 127, 32,
     {{4, 4, 57, 4}, {65, 0, 57, 8}, {69, 12, 49, -8}, {4, 12, 7, 16}, {15, 12, 52, 16}, {71, 12, 52, 16}},
     true},
    {"frame 7 high", 4, 8, 128, 31,
     {{4, 4, 58, 3}, {66, 0, 58, 7}, {70, 12, 50, -9}, {4, 11, 8, 16}, {16, 11, 52, 16}, {72, 11, 52, 16}},
     true},
    {"640 x 480", 4, 8, 640, 480,
     {{4, 4, 314, 452}, {322, 0, 314, 456}, {326, 12, 306, 440}, {4, 460, 520, 16}, {528, 460, 52, 16},
      {584, 460, 52, 16}}, false},
    {"the largest client WM_SIZE can report", 4, 8, 65535, 65535,
     {{4, 4, 32761, 65507}, {32769, 0, 32761, 65511}, {32773, 12, 32753, 65495}, {4, 65515, 65415, 16},
      {65423, 65515, 52, 16}, {65479, 65515, 52, 16}}, false},
    // Base units 6 x 13, as a font like Tahoma 8 gives on a 96-dpi screen:
    // m4x 6, m4y 7, m8x 12, m20y 33, m12x 18, m12y 20, m52x 78, m28y 46.
    {"6 x 13: 300 x 160 units in pixels", 6, 13, 450, 260,
     {{6, 7, 216, 214}, {228, 0, 216, 220}, {234, 20, 204, 194}, {6, 227, 270, 27}, {282, 227, 78, 27},
      {366, 227, 78, 27}}, false},
    {"6 x 13: 299 x 159 units in pixels", 6, 13, 448, 258,
     {{6, 7, 215, 212}, {227, 0, 215, 218}, {233, 20, 203, 192}, {6, 225, 268, 27}, {280, 225, 78, 27},
      {364, 225, 78, 27}}, false},
    {"6 x 13: minimised", 6, 13, 0, 0,
     {{6, 7, -9, -46}, {3, 0, -9, -40}, {9, 20, -21, -66}, {6, -33, -180, 27}, {-168, -33, 78, 27},
      {-84, -33, 78, 27}}, true},
    {"6 x 13: command box and frame exactly 8", 6, 13, 188, 48,
     {{6, 7, 85, 2}, {97, 0, 85, 8}, {103, 20, 73, -18}, {6, 15, 8, 27}, {20, 15, 78, 27}, {104, 15, 78, 27}},
     false},
    {"6 x 13: command box 7 wide", 6, 13, 187, 48,
     {{6, 7, 84, 2}, {96, 0, 84, 8}, {102, 20, 72, -18}, {6, 15, 7, 27}, {19, 15, 78, 27}, {103, 15, 78, 27}},
     true},
    {"6 x 13: frame 7 high", 6, 13, 188, 47,
     {{6, 7, 85, 1}, {97, 0, 85, 7}, {103, 20, 73, -19}, {6, 14, 8, 27}, {20, 14, 78, 27}, {104, 14, 78, 27}},
     true},
    {"6 x 13: full HD", 6, 13, 1920, 1080,
     {{6, 7, 951, 1034}, {963, 0, 951, 1040}, {969, 20, 939, 1014}, {6, 1047, 1740, 27}, {1752, 1047, 78, 27},
      {1836, 1047, 78, 27}}, false},
    // Base units 8 x 16: every margin exactly twice its units.
    {"8 x 16: 300 x 160 units in pixels", 8, 16, 600, 320,
     {{8, 8, 288, 264}, {304, 0, 288, 272}, {312, 24, 272, 240}, {8, 280, 360, 32}, {376, 280, 104, 32},
      {488, 280, 104, 32}}, false},
    {"8 x 16: 599 x 319", 8, 16, 599, 319,
     {{8, 8, 287, 263}, {303, 0, 287, 271}, {311, 24, 271, 239}, {8, 279, 359, 32}, {375, 279, 104, 32},
      {487, 279, 104, 32}}, false},
};

void PrintTo(const LayoutCase &c, std::ostream *out) { *out << c.what; }

// The record as one line per operation, so that a failure shows the whole
// sequence: "MoveWindow 1001 4,4,144,132 repaint 1", "InvalidateRect ...".
std::string Describe(const std::vector<SubstCall> &calls)
{
    std::string text;
    for (const SubstCall &call : calls) {
        text += call.op + " " + std::to_string(call.id);
        if (call.op == "MoveWindow")
            text += " " + std::to_string(call.arg[0]) + "," + std::to_string(call.arg[1]) + "," +
                    std::to_string(call.arg[2]) + "," + std::to_string(call.arg[3]) + " repaint " +
                    std::to_string(call.arg[4]);
        else if (call.op == "InvalidateRect")
            text += " rect " + std::to_string(call.arg[0]) + " erase " + std::to_string(call.arg[1]);
        text += "\n";
    }
    return text;
}

// What a layout must record: the moves of the controls present, in order,
// then one repaint of the whole dialog.
std::string Expected(const Rect *moves, const std::vector<int> &present, bool erase)
{
    std::vector<SubstCall> calls;
    for (int i = 0; i < 6; i++) {
        if (moves && std::find(present.begin(), present.end(), kControls[i]) != present.end())
            calls.push_back({"MoveWindow", NULL, kControls[i],
                             {moves[i].x, moves[i].y, moves[i].width, moves[i].height, TRUE}, ""});
    }
    calls.push_back({"InvalidateRect", NULL, 0, {0, erase, 0, 0, 0}, ""});
    return Describe(calls);
}

const std::vector<int> kAllControls(kControls, kControls + 6);

class Layout : public testing::TestWithParam<LayoutCase> {
protected:
    void TearDown() override { SubstSetDialogBaseUnits(4, 8); }
};

TEST_P(Layout, MovesEveryControlThenRepaints)
{
    const LayoutCase &c = GetParam();
    SubstSetDialogBaseUnits(c.baseX, c.baseY);
    HWND hDlg = SubstCreateMainDialog(NULL);
    SubstClearRecords();
    LayoutControls(hDlg, c.width, c.height);
    EXPECT_EQ(Describe(SubstCalls()), Expected(c.moves, kAllControls, c.erase))
        << c.what << ": " << c.width << " x " << c.height << " pixels, base units " << c.baseX << " x "
        << c.baseY;
    ASSERT_FALSE(SubstCalls().empty()) << c.what;
    EXPECT_EQ(SubstCalls().back().hwnd, hDlg) << c.what << ": the repaint is the dialog's";
    SubstDestroyWindow(hDlg);
}

INSTANTIATE_TEST_SUITE_P(ClientSizes, Layout, testing::ValuesIn(kLayoutCases));

// The margins the 6 x 13 rows above rest on, as the conversion gives them.
TEST(LayoutConversion, MarginsForBaseUnits6x13)
{
    SubstSetDialogBaseUnits(6, 13);
    HWND hDlg = SubstCreateMainDialog(NULL);
    const struct {
        RECT units, pixels;
    } rows[] = {{{4, 4, 8, 20}, {6, 7, 12, 33}}, {{12, 12, 52, 28}, {18, 20, 78, 46}}};
    for (const auto &row : rows) {
        RECT rect = row.units;
        MapDialogRect(hDlg, &rect);
        EXPECT_EQ(std::vector<long>({rect.left, rect.top, rect.right, rect.bottom}),
                  std::vector<long>({row.pixels.left, row.pixels.top, row.pixels.right, row.pixels.bottom}))
            << "units " << row.units.left << "," << row.units.top << "," << row.units.right << ","
            << row.units.bottom;
    }
    SubstDestroyWindow(hDlg);
    SubstSetDialogBaseUnits(4, 8);
}

// Which controls a layout moves when some are missing (a WM_SIZE before
// they exist, or a control gone) or hidden (the install option's command
// box): every one that exists, hidden or not, and nothing else.
struct PresenceCase {
    const char *what;
    std::vector<int> removed;
    bool hideCommand;
};

const PresenceCase kPresenceCases[] = {
    {"no controls yet", {IDC_TREE, IDC_FRAME, IDC_DESCRIPTION, IDC_COMMAND, IDOK, IDCANCEL}, false},
    {"no tree", {IDC_TREE}, false},
    {"no command box", {IDC_COMMAND}, false},
    {"no Close button", {IDCANCEL}, false},
    {"no frame and no Run button", {IDC_FRAME, IDOK}, false},
    {"command box hidden by the install option", {}, true},
};

void PrintTo(const PresenceCase &c, std::ostream *out) { *out << c.what; }

class LayoutPresence : public testing::TestWithParam<PresenceCase> {};

TEST_P(LayoutPresence, MovesTheControlsThatExist)
{
    const PresenceCase &c = GetParam();
    HWND hDlg = SubstCreateMainDialog(NULL);
    for (int id : c.removed) SubstDestroyWindow(GetDlgItem(hDlg, id));
    if (c.hideCommand) ShowWindow(GetDlgItem(hDlg, IDC_COMMAND), SW_HIDE);
    std::vector<int> present;
    for (int id : kControls)
        if (GetDlgItem(hDlg, id)) present.push_back(id);
    SubstClearRecords();
    LayoutControls(hDlg, 300, 160);
    EXPECT_EQ(Describe(SubstCalls()), Expected(kLayoutCases[0].moves, present, false)) << c.what;
    SubstDestroyWindow(hDlg);
}

INSTANTIATE_TEST_SUITE_P(Controls, LayoutPresence, testing::ValuesIn(kPresenceCases));

// WM_SIZE gives the client size as two unsigned 16-bit halves: sizes past
// 32767 must not turn negative on the way to the layout.
TEST(LayoutOnSize, TakesTheClientSizeFromBothHalves)
{
    const struct {
        int width, height;
        Rect cancel; // the last control moved, whose place depends on both
    } rows[] = {{300, 160, {CLOSE_RECT}}, {40000, 50000, {39944, 49980, 52, 16}},
                {65535, 65535, {65479, 65515, 52, 16}}};
    for (const auto &row : rows) {
        HWND hDlg = SubstCreateMainDialog(MainDlgProc);
        SubstClearRecords();
        SendMessageA(hDlg, WM_SIZE, 0 /* SIZE_RESTORED */, MAKELPARAM(row.width, row.height));
        const SubstCall *last = NULL;
        for (const SubstCall &call : SubstCalls())
            if (call.op == "MoveWindow") last = &call;
        ASSERT_NE(last, nullptr) << row.width << " x " << row.height;
        EXPECT_EQ(std::vector<long long>(last->arg, last->arg + 4),
                  std::vector<long long>({row.cancel.x, row.cancel.y, row.cancel.width, row.cancel.height}))
            << row.width << " x " << row.height << "\n" << Describe(SubstCalls());
        EXPECT_EQ(last->id, IDCANCEL) << row.width << " x " << row.height;
        SubstDestroyWindow(hDlg);
    }
}

} // namespace
