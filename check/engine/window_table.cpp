/*
 * The main window at 96 DPI, measured under Wine by
 * check/tools/measure-window.sh: do not edit. See window.h.
 */
#include "window.h"

const WindowMeasures g_windowMeasures = {
    6, 13, // dialog base units of the template's font
    8, 27, // the frame: outer size less client size
    112, 27, // the smallest outer size the window takes
};
