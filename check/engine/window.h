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

// The main window's controls, in the template's order.
#define WINDOW_CONTROLS 6

struct WindowControl {
    int id;           // the template's
    const char *key;  // a short name for programs: "tree", "run"
    const char *name; // as the messages name it: "the tree"
    const char *text; // its text in the template ("" for none; the install option renames Run)
};
extern const WindowControl g_windowControls[WINDOW_CONTROLS];

struct ControlRect {
    long left, top, right, bottom; // in client pixels, the right and bottom exclusive
};

struct WindowLayout {
    int outerWidth, outerHeight;   // the size laid out: at least the smallest the platform keeps to, at most 32767
    int clientWidth, clientHeight;
    ControlRect rects[WINDOW_CONTROLS]; // in g_windowControls' order
};

// Lays the controls out for the outer size width x height, as the program
// does at that size.
void LayOutWindow(int width, int height, WindowLayout *layout);

// The outer size the window opens at without a size= option: the
// template's client size in the measured base units, and the frame.
void FindOpeningSize(int *width, int *height);

// Yields "" when every control the window shows is whole at the outer size
// width x height (not empty, within the client area, overlapping no other
// but the description box wholly inside the frame), else what is not:
// "the command box is empty". The install option hides the command box.
std::string FindCrampedControls(int width, int height, bool commandShown);

// Yields the smallest outer size at which FindCrampedControls finds nothing.
void FindSmallestWindow(bool commandShown, int *width, int *height);

#endif
