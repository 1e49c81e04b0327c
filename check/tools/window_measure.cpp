/*
 * Measures, on the platform, what quorlan-check needs to lay the main
 * window out without a screen or fonts, and writes it as check/engine/window_table.cpp:
 *
 *   window_measure.exe QUORLAN_EXE OUT
 *
 * A hidden dialog is made from the executable's own template, in a process
 * with the program's manifest: its dialog base units (those of the
 * template's font), its frame (the outer size less the client size: the
 * borders and the caption), and the smallest outer size the platform lets it
 * have. The screen must be at 96 DPI, as the checker assumes.
 */
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

#include "../../res/resource.h"

static INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: window_measure QUORLAN_EXE OUT\n");
        return 2;
    }
    InitCommonControls();
    HDC screen = GetDC(NULL);
    int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    if (dpiX != 96 || dpiY != 96) {
        fprintf(stderr, "window_measure: the screen is at %d x %d DPI, not 96\n", dpiX, dpiY);
        return 1;
    }
    // The template, from the executable loaded as data.
    HMODULE program = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    HWND dialog = program ? CreateDialogParamA(program, MAKEINTRESOURCEA(IDD_MAIN), NULL, IgnoreMessages, 0) : NULL;
    if (!dialog) {
        fprintf(stderr, "window_measure: no dialog from the template of %s\n", argv[1]);
        return 1;
    }
    // Four by eight dialog units are one base unit each way.
    RECT units = {0, 0, 4, 8}, window, client;
    MapDialogRect(dialog, &units);
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    int frameWidth = window.right - window.left - client.right;
    int frameHeight = window.bottom - window.top - client.bottom;
    SetWindowPos(dialog, NULL, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(dialog, &window);
    int smallestWidth = window.right - window.left, smallestHeight = window.bottom - window.top;
    DestroyWindow(dialog);

    FILE *out = fopen(argv[2], "w");
    if (!out) {
        fprintf(stderr, "window_measure: cannot write %s\n", argv[2]);
        return 2;
    }
    fprintf(out,
            "/*\n"
            " * The main window at 96 DPI, measured under Wine by\n"
            " * check/tools/measure-window.sh: do not edit. See window.h.\n"
            " */\n"
            "#include \"window.h\"\n\n"
            "const WindowMeasures g_windowMeasures = {\n"
            "    %ld, %ld, // dialog base units of the template's font\n"
            "    %d, %d, // the frame: outer size less client size\n"
            "    %d, %d, // the smallest outer size the window takes\n"
            "};\n",
            units.right, units.bottom, frameWidth, frameHeight, smallestWidth, smallestHeight);
    return fclose(out) != 0;
}
