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

// The controls in the template's order, as the messages name them.
static const struct {
    int id;
    const char *name;
} s_controls[] = {
    {IDC_TREE, "the tree"},
    {IDC_FRAME, "the frame"},
    {IDC_DESCRIPTION, "the description box"},
    {IDC_COMMAND, "the command box"},
    {IDOK, "the Run button"},
    {IDCANCEL, "the Close button"},
};
static const int CONTROLS = sizeof(s_controls) / sizeof(s_controls[0]);

// Larger windows are cut to the screen; this keeps the layout's sums in range.
static const int LARGEST_SIDE = 32767;

// Lays the controls out for the outer size and yields their rectangles in
// client pixels, and the client size.
static void LayOutWindow(int width, int height, RECT (&rects)[CONTROLS], int *clientWidth, int *clientHeight)
{
    const WindowMeasures &m = g_windowMeasures;
    width = std::min(std::max(width, m.smallestWidth), LARGEST_SIDE);
    height = std::min(std::max(height, m.smallestHeight), LARGEST_SIDE);
    *clientWidth = std::max(width - m.frameWidth, 0);
    *clientHeight = std::max(height - m.frameHeight, 0);

    HWND dialog = SubstCreateMainDialog(NULL);
    // The substitute's units are the loading's too: put back what they were.
    RECT before = {0, 0, 4, 8};
    MapDialogRect(dialog, &before);
    SubstSetDialogBaseUnits(m.baseX, m.baseY);
    LayoutControls(dialog, *clientWidth, *clientHeight);
    SubstSetDialogBaseUnits(before.right, before.bottom);
    for (int i = 0; i < CONTROLS; i++) GetWindowRect(GetDlgItem(dialog, s_controls[i].id), &rects[i]);
    SubstDestroyWindow(dialog);
}

static bool IsEmpty(const RECT &r) { return r.right <= r.left || r.bottom <= r.top; }

static bool Overlap(const RECT &a, const RECT &b)
{
    return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

static bool IsInside(const RECT &inner, const RECT &outer)
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
    RECT rects[CONTROLS];
    int clientWidth, clientHeight;
    LayOutWindow(width, height, rects, &clientWidth, &clientHeight);
    RECT client = {0, 0, clientWidth, clientHeight};
    std::vector<std::string> empty, outside, overlaps;
    for (int i = 0; i < CONTROLS; i++) {
        if (s_controls[i].id == IDC_COMMAND && !commandShown) continue;
        if (IsEmpty(rects[i])) {
            empty.push_back(s_controls[i].name);
            continue;
        }
        if (!IsInside(rects[i], client)) outside.push_back(s_controls[i].name);
        for (int j = 0; j < i; j++) {
            if (IsEmpty(rects[j]) || (s_controls[j].id == IDC_COMMAND && !commandShown)) continue;
            // The one overlap the layout means: the description inside the frame.
            if (s_controls[i].id == IDC_DESCRIPTION && s_controls[j].id == IDC_FRAME) {
                if (!IsInside(rects[i], rects[j])) overlaps.push_back("the description box reaches out of the frame");
            } else if (Overlap(rects[i], rects[j])) {
                overlaps.push_back(std::string(s_controls[i].name) + " overlaps " + s_controls[j].name);
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
