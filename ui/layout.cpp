/*
 * Places the six controls for a client size: the tree on the left half, the
 * framed description on the right, the command box and the two buttons in a
 * row along the bottom. Margins are dialog units, so the layout follows the
 * dialog's font. Sizes are not clamped: a tiny window gets tiny (or
 * negative) controls, as the window manager allows.
 */
#include "ui.h"
#include "../res/resource.h"

// Dialog units to pixels for the dialog's font: left and right horizontally,
// top and bottom vertically.
static RECT DialogUnitsToPixels(HWND hDlg, int left, int top, int right, int bottom)
{
    RECT rect = {left, top, right, bottom};
    MapDialogRect(hDlg, &rect);
    return rect;
}

// Lays the controls out for a client area of width x height pixels.
void LayoutControls(HWND hDlg, int width, int height)
{
    RECT small = DialogUnitsToPixels(hDlg, 4, 4, 8, 20);
    RECT large = DialogUnitsToPixels(hDlg, 12, 12, 52, 28);
    int m4x = small.left, m4y = small.top, m8x = small.right, m20y = small.bottom;
    int m12x = large.left, m12y = large.top, m52x = large.right, m28y = large.bottom;

    int half = (width - m12x) / 2;
    int mid = (width + m4x) / 2;
    int rowHeight = m4y + m12y;
    int commandWidth = width - 2 * (m52x + m8x);
    int frameHeight = height - 2 * m12y;

    MoveWindow(GetDlgItem(hDlg, IDC_TREE), m4x, m4y, half, height - m28y, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDC_FRAME), mid, 0, half, frameHeight, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDC_DESCRIPTION), mid + m4x, m12y, half - m8x,
               height - m28y - m12y, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDC_COMMAND), m4x, height - m20y, commandWidth, rowHeight, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDOK), width - 2 * m52x - m8x, height - m20y, m52x, rowHeight, TRUE);
    MoveWindow(GetDlgItem(hDlg, IDCANCEL), width - m52x - m4x, height - m20y, m52x, rowHeight, TRUE);

    // Once the command box or the frame is nearly gone, their old pixels
    // would stay on screen unless the background is erased.
    InvalidateRect(hDlg, NULL, commandWidth < 8 || frameHeight < 8);
}
