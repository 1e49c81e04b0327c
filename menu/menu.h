/*
 * The menu file: its reader, its entry list and its header, from the bytes
 * of "Quorlan.ini" up to the items of the dialog's tree.
 */
#ifndef QUORLAN_MENU_H
#define QUORLAN_MENU_H

#include <stdio.h>
#include <windows.h>
#include <commctrl.h>

/* Reader results below zero; 0-255 is one byte of field text. */
#define TOK_EOF (-1)
#define TOK_OPEN (-2)
#define TOK_CLOSE (-3)
#define TOK_COMMA (-4)

/* Longest field text kept, in bytes; the buffers hold one more for the NUL. */
#define MAX_FIELD 1023
#define MAX_DESCRIPTION 8191

/* Nested levels kept below the top one; deeper entries join the deepest. */
#define MAX_NESTING 64

#define MENU_FILE_NAME "Quorlan.ini"

/* The record behind every tree item read from the file. */
struct ProgramEntry {
    char *name;        /* tree text and frame caption */
    char *command;     /* put into the command box */
    char *description; /* put into the description box */
};

/* The header's options; each field of the header after the title is one. */
#define OPTION_NONE 0    /* any other text: ignored */
#define OPTION_SORTED 1  /* "sorted": items in the tree's sorted order */
#define OPTION_INSTALL 2 /* "install": the command box hidden, Run becomes "&Install" */
#define OPTION_SIZE 3    /* "size=WxH": the window's outer size, kept centred */

/*
 * What the loading tells a hook as it goes, so that a tool can follow the
 * file exactly as the program reads it; the program itself sets no hook.
 * Each report is an event, and what the event says in the fields named for
 * it. Offsets count the file's bytes from 0.
 */
#define MENU_RESULT 1  /* the reader's result `token`, standing at `offset` */
#define MENU_FOLDED 2  /* a space folded from the run of white space that starts at `offset` */
#define MENU_DRIVE 3   /* the drive letter `token` given by the `%:` at `offset` */
#define MENU_QUOTE 4   /* the apostrophe at `offset` opened (`inQuote` now) or closed a quoted stretch */
#define MENU_TITLE 5   /* a field read, of each kind: `text` as kept, `length` the count of every */
#define MENU_OPTION 6  /* byte the reader gave for it, `token` the token that ended it */
#define MENU_NAME 7
#define MENU_COMMAND 8
#define MENU_DESCRIPTION 9
#define MENU_ENTRY 10  /* an entry's fields are read and one holds text, so that it is inserted (if
                          memory and the tree allow); `token` ended it */
#define MENU_LEVEL 11  /* a level of entries starts: the body, or the level after a `{`; `token` is
                          the `{`, or the end of a file whose header has none */
#define MENU_JOINED 12 /* a `{` past MAX_NESTING: its entries join the level they are in */
#define MENU_LEVEL_END 13  /* a level ends with the token in `token` */
#define MENU_JOINED_END 14 /* the `}` of a joined level */
#define MENU_ESCAPED 15 /* a byte `token` that the `%` before it made text, standing at `offset` */
#define MENU_EMPTY_ENTRY 16 /* an entry's fields are read and none holds text: nothing inserted */

struct MenuReport {
    int event;         /* MENU_RESULT ... */
    int token;         /* a result of the reader: a byte (0-255) or a token (below 0) */
    long offset;       /* where it stands in the file, or how far the reader has taken it */
    long length;       /* a field's count of every byte the reader gave for it */
    const char *text;  /* a field's text as kept, or NULL */
    BOOL inQuote;      /* the reader is inside an apostrophe-quoted stretch */
    BOOL utf8File;     /* the file starts with a UTF-8 byte-order mark: fields are converted */
};
typedef void (*MENUHOOKPROC)(const MenuReport *report);

extern int g_bInQuote;                /* inside an apostrophe-quoted stretch */
extern int g_nLastToken;              /* the reader's previous result */
extern long g_nMenuOffset;            /* bytes of the file the reader has taken */
extern BOOL g_bUtf8Menu;              /* the file starts with a UTF-8 byte-order mark */
extern MENUHOOKPROC g_pfnMenuHook;    /* told what the loading does; null in the program */
extern HTREEITEM g_hInsertAfter;      /* TVI_LAST, or TVI_SORT after "sorted" */
extern const char g_szOutOfMemory[];  /* stands for a field that could not be copied */
extern char g_szStartDir[512];        /* current folder at start-up; byte 0 is the drive.
                                         ui/ defines it; winsubst/ for the other programs */

/* reader.cpp */
void ReportMenu(int event, int token, long offset, long length, const char *text);
void SkipByteOrderMark(FILE *stream);
int ReadMenuChar(FILE *stream);
int FindWholeCharsEnd(const char *text, int length, int next);
int ReadMenuField(FILE *stream, char *buffer, int limit, int kind);

/* entries.cpp */
void LoadEntries(HWND hTree, FILE *stream, HTREEITEM hParent);
void FreeEntries(HWND hTree, HTREEITEM hFirst);

/* menufile.cpp */
void StartMenuReading(void);
int FindMenuOption(const char *text);
BOOL ScanMenuSize(const char *option, int *width, int *height);
BOOL IsMenuSizeUsable(int width, int height);
void ApplyMenuOption(HWND hDlg, const char *option);
void ReadMenuFile(HWND hDlg);
void ReadMenuStream(HWND hDlg, FILE *stream);
void PlaceMenuWindow(const RECT *window, int newWidth, int newHeight, const RECT *workArea, RECT *placed);

/* tree.cpp: the only ways the menu code touches the tree control */
HTREEITEM InsertTreeItem(HWND hTree, HTREEITEM hParent, const char *text, LPARAM lParam);
HTREEITEM GetTreeItem(HWND hTree, WPARAM relation, HTREEITEM hItem);
LPARAM GetTreeItemData(HWND hTree, HTREEITEM hItem);

#endif
