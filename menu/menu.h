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

extern int g_bInQuote;                /* inside an apostrophe-quoted stretch */
extern int g_nLastToken;              /* the reader's previous result */
extern HTREEITEM g_hInsertAfter;      /* TVI_LAST, or TVI_SORT after "sorted" */
extern const char g_szOutOfMemory[];  /* stands for a field that could not be copied */
extern char g_szStartDir[512];        /* current folder at start-up; byte 0 is the drive */

/* reader.cpp */
int ReadMenuChar(FILE *stream);
int ReadMenuField(FILE *stream, char *buffer, int limit);

/* entries.cpp */
void LoadEntries(HWND hTree, FILE *stream, HTREEITEM hParent);
void FreeEntries(HWND hTree, HTREEITEM hFirst);

/* menufile.cpp */
void ReadMenuFile(HWND hDlg);
void ReadMenuStream(HWND hDlg, FILE *stream);
void PlaceMenuWindow(const RECT *window, int newWidth, int newHeight, const RECT *workArea, RECT *placed);

/* tree.cpp: the only ways the menu code touches the tree control */
HTREEITEM InsertTreeItem(HWND hTree, HTREEITEM hParent, const char *text, LPARAM lParam);
HTREEITEM GetTreeItem(HWND hTree, WPARAM relation, HTREEITEM hItem);
LPARAM GetTreeItemData(HWND hTree, HTREEITEM hItem);

#endif
