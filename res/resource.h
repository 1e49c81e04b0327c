/*
 * Every resource and control identifier of the program, and the main
 * dialog's texts, geometry and styles, shared by the code, the resource
 * script and the native build's stand-in dialog (which is why this holds
 * nothing but #defines). Rectangles are x, y, width, height in dialog units.
 */
#ifndef QUORLAN_RESOURCE_H
#define QUORLAN_RESOURCE_H

#define IDD_MAIN 101 /* the main dialog's template */
#define IDI_MAIN 102 /* the program's icon group */

#define IDC_TREE 1001        /* tree of menu entries */
#define IDC_COMMAND 1002     /* command line of the selected entry, editable */
#define IDC_DESCRIPTION 1003 /* description of the selected entry, read-only */
#define IDC_FRAME 1004       /* group box around the description; caption = entry name */

#ifndef IDOK
#define IDOK 1     /* Run (or Install): the default button */
#define IDCANCEL 2 /* Close */
#endif

/* The dialog's caption and font, and each control's text; the install
   option renames Run. */
#define MAIN_CAPTION "Program List"
#define MAIN_FONT 8, "Tahoma"
#define TREE_TEXT "Tree1"
#define FRAME_TEXT ""
#define DESCRIPTION_TEXT ""
#define COMMAND_TEXT ""
#define RUN_TEXT "&Run"
#define CLOSE_TEXT "&Close"
#define INSTALL_TEXT "&Install"

/* The dialog's client size, and each control's rectangle. */
#define MAIN_SIZE 299, 159
#define TREE_RECT 4, 4, 144, 132
#define FRAME_RECT 152, 0, 144, 136
#define DESCRIPTION_RECT 156, 12, 136, 120
#define COMMAND_RECT 4, 140, 180, 16
#define RUN_RECT 188, 140, 52, 16
#define CLOSE_RECT 244, 140, 52, 16

/* An overlapped, resizable window, opened centred, in the template's font. */
#define MAIN_STYLE (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | \
                    DS_CENTER | DS_SETFONT)
#define TREE_STYLE (WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | \
                    TVS_LINESATROOT | TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS | TVS_NOTOOLTIPS | \
                    TVS_TRACKSELECT)
#define FRAME_STYLE (WS_CHILD | WS_VISIBLE | BS_GROUPBOX) /* no tab stop */
#define DESCRIPTION_STYLE (WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | \
                           ES_AUTOVSCROLL | ES_READONLY)
#define COMMAND_STYLE (WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL)
#define RUN_STYLE (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON)
#define CLOSE_STYLE (WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON)

#endif
