/*
 * The main window's controls at an outer size: ui/layout.cpp lays them out
 * in the substitute's dialog, in the measured base units, for the client
 * area the measured frame leaves; their rectangles are read back and
 * judged as a user sees them.
 */
#include "window.h"

#include "subst.h"
#include "../../res/resource.h"
#include "../../ui/ui.h"

#include <algorithm>
#include <vector>

const WindowControl g_windowControls[WINDOW_CONTROLS] = {
    {IDC_TREE, "tree", "the tree", ""},
    {IDC_FRAME, "frame", "the frame", FRAME_TEXT},
    {IDC_DESCRIPTION, "description", "the description box", DESCRIPTION_TEXT},
    {IDC_COMMAND, "command", "the command box", COMMAND_TEXT},
    {IDOK, "run", "the Run button", RUN_TEXT},
    {IDCANCEL, "close", "the Close button", CLOSE_TEXT},
};

// Larger windows are cut to the screen; this keeps the layout's sums in range.
static const int LARGEST_SIDE = 32767;

void LayOutWindow(int width, int height, WindowLayout *layout)
{
    const WindowMeasures &m = g_windowMeasures;
    layout->outerWidth = std::min(std::max(width, m.smallestWidth), LARGEST_SIDE);
    layout->outerHeight = std::min(std::max(height, m.smallestHeight), LARGEST_SIDE);
    layout->clientWidth = std::max(layout->outerWidth - m.frameWidth, 0);
    layout->clientHeight = std::max(layout->outerHeight - m.frameHeight, 0);

    HWND dialog = SubstCreateMainDialog(NULL);
    // The substitute's units are the loading's too: put back what they were.
    RECT before = {0, 0, 4, 8};
    MapDialogRect(dialog, &before);
    SubstSetDialogBaseUnits(m.baseX, m.baseY);
    LayoutControls(dialog, layout->clientWidth, layout->clientHeight);
    SubstSetDialogBaseUnits(before.right, before.bottom);
    for (int i = 0; i < WINDOW_CONTROLS; i++) {
        RECT r;
        GetWindowRect(GetDlgItem(dialog, g_windowControls[i].id), &r);
        layout->rects[i] = {r.left, r.top, r.right, r.bottom};
    }
    SubstDestroyWindow(dialog);
}

void FindOpeningSize(int *width, int *height)
{
    const WindowMeasures &m = g_windowMeasures;
    HWND dialog = SubstCreateMainDialog(NULL);
    RECT before = {0, 0, 4, 8}, client = {0, 0, MAIN_SIZE};
    MapDialogRect(dialog, &before);
    SubstSetDialogBaseUnits(m.baseX, m.baseY);
    MapDialogRect(dialog, &client);
    SubstSetDialogBaseUnits(before.right, before.bottom);
    SubstDestroyWindow(dialog);
    *width = client.right + m.frameWidth;
    *height = client.bottom + m.frameHeight;
}

static bool IsEmpty(const ControlRect &r) { return r.right <= r.left || r.bottom <= r.top; }

static bool Overlap(const ControlRect &a, const ControlRect &b)
{
    return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

static bool IsInside(const ControlRect &inner, const ControlRect &outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// "a, b and c"
static std::string Listed(const std::vector<std::string> &parts)
{
    std::string out;
    for (size_t i = 0; i < parts.size(); i++)
        out += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return out;
}

std::string FindCrampedControls(int width, int height, bool commandShown)
{
    WindowLayout layout;
    LayOutWindow(width, height, &layout);
    const ControlRect *rects = layout.rects;
    const WindowControl *controls = g_windowControls;
    ControlRect client = {0, 0, layout.clientWidth, layout.clientHeight};
    std::vector<std::string> empty, outside, overlaps;
    for (int i = 0; i < WINDOW_CONTROLS; i++) {
        if (controls[i].id == IDC_COMMAND && !commandShown) continue;
        if (IsEmpty(rects[i])) {
            empty.push_back(controls[i].name);
            continue;
        }
        if (!IsInside(rects[i], client)) outside.push_back(controls[i].name);
        for (int j = 0; j < i; j++) {
            if (IsEmpty(rects[j]) || (controls[j].id == IDC_COMMAND && !commandShown)) continue;
            // The one overlap the layout means: the description inside the frame.
            if (controls[i].id == IDC_DESCRIPTION && controls[j].id == IDC_FRAME) {
                if (!IsInside(rects[i], rects[j])) overlaps.push_back("the description box reaches out of the frame");
            } else if (Overlap(rects[i], rects[j])) {
                overlaps.push_back(std::string(controls[i].name) + " overlaps " + controls[j].name);
            }
        }
    }
    std::vector<std::string> parts;
    if (!empty.empty()) parts.push_back(Listed(empty) + (empty.size() == 1 ? " is" : " are") + " empty");
    if (!outside.empty())
        parts.push_back(Listed(outside) + (outside.size() == 1 ? " reaches" : " reach") + " past the window's edge");
    parts.insert(parts.end(), overlaps.begin(), overlaps.end());
    return Listed(parts);
}

// Where nothing the other way limits the controls.
static const int ROOMY_SIDE = 4096;

void FindSmallestWindow(bool commandShown, int *width, int *height)
{
    // Each control's extent across follows the width alone, and down the
    // height alone, so each side is found with the other roomy.
    static int s_found[2][2]; // by commandShown: width, height; 0 until found
    int (&found)[2] = s_found[commandShown];
    if (!found[0]) {
        int w = 1, h = 1;
        while (w < ROOMY_SIDE && !FindCrampedControls(w, ROOMY_SIDE, commandShown).empty()) w++;
        while (h < ROOMY_SIDE && !FindCrampedControls(ROOMY_SIDE, h, commandShown).empty()) h++;
        found[0] = w;
        found[1] = h;
    }
    *width = found[0];
    *height = found[1];
}
