/*
 * The program's entry: runs the main dialog modally, then waits for the
 * quit message that the dialog's close posts.
 */
#include "ui.h"
#include "../menu/menu.h"
#include "../res/resource.h"

#include <commctrl.h>

char g_szStartDir[512]; /* the current folder at start-up */

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nShowCmd;
    InitCommonControls();
    g_hInstance = hInstance;
    GetCurrentDirectoryA(sizeof(g_szStartDir), g_szStartDir);
    // Only the close handling posts the quit message, and it ends the dialog
    // with IDCANCEL. A dialog that could not be created (-1) leaves nothing
    // to wait for.
    if (DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDlgProc, 0) != IDCANCEL)
        return 0;
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) { // -1 (failure) ends it too
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
