/*
 * The main window: program entry, dialog procedure and layout.
 */
#ifndef QUORLAN_UI_H
#define QUORLAN_UI_H

#include <windows.h>

extern HINSTANCE g_hInstance; /* this module, for the template and the icons */

INT_PTR CALLBACK MainDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
void LayoutControls(HWND hDlg, int width, int height);

#endif
