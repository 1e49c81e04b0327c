/*
 * The main window's controls at an outer size, as the program lays them
 * out: its own layout code over the window substitute, in the dialog base
 * units and with the frame the platform gives the window at 96 DPI. The
 * checker has no fonts, so those figures are measured under Wine and kept
 * in window_table.cpp (../tools/measure-window.sh writes it).
 */
#ifndef QUORLAN_CHECK_WINDOW_H
#define QUORLAN_CHECK_WINDOW_H

#include <string>

struct WindowMeasures {
    int baseX, baseY;               // the dialog base units of the template's font
    int frameWidth, frameHeight;    // the outer size less the client size: borders, caption
    int smallestWidth, smallestHeight; // the outer size the platform keeps the window to at least
};
extern const WindowMeasures g_windowMeasures;

// Yields "" when every control the window shows is whole at the outer size
// width x height (not empty, within the client area, overlapping no other
// but the description box wholly inside the frame), else what is not:
// "the command box is empty". The install option hides the command box.
std::string FindCrampedControls(int width, int height, bool commandShown);

// Yields the smallest outer size at which FindCrampedControls finds nothing.
void FindSmallestWindow(bool commandShown, int *width, int *height);

#endif
