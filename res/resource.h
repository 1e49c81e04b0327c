/*
 * Every resource and control identifier of the program, shared by the code
 * and the resource script (which is why this holds nothing but #defines).
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

#endif
