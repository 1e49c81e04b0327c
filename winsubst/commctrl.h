/*
 * Stand-in for <commctrl.h> in the native build: the tree-view messages,
 * structures and notifications the program uses, with the platform's values.
 */
#ifndef QUORLAN_WINSUBST_COMMCTRL_H
#define QUORLAN_WINSUBST_COMMCTRL_H

#include <windows.h>

struct _TREEITEM;
typedef struct _TREEITEM *HTREEITEM;

#define TVI_ROOT ((HTREEITEM)(ULONG_PTR)-0x10000)
#define TVI_LAST ((HTREEITEM)(ULONG_PTR)-0x0FFFE)
#define TVI_SORT ((HTREEITEM)(ULONG_PTR)-0x0FFFD)

#define TVIF_TEXT 0x0001
#define TVIF_PARAM 0x0004
#define TVIF_HANDLE 0x0010

#define TVGN_ROOT 0x0000
#define TVGN_NEXT 0x0001
#define TVGN_CHILD 0x0004
#define TVGN_CARET 0x0009

#define TV_FIRST 0x1100
#define TVM_INSERTITEMA (TV_FIRST + 0)
#define TVM_GETNEXTITEM (TV_FIRST + 10)
#define TVM_SELECTITEM (TV_FIRST + 11)
#define TVM_GETITEMA (TV_FIRST + 12)

#define NM_FIRST (0U - 0U)
#define NM_DBLCLK (NM_FIRST - 3)
#define TVN_FIRST (0U - 400U)
#define TVN_SELCHANGEDA (TVN_FIRST - 2)

typedef struct tagTVITEMA {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
} TVITEMA, *LPTVITEMA;

typedef struct tagTVINSERTSTRUCTA {
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    TVITEMA item;
} TVINSERTSTRUCTA, *LPTVINSERTSTRUCTA;

typedef struct tagNMTREEVIEWA {
    NMHDR hdr;
    UINT action;
    TVITEMA itemOld;
    TVITEMA itemNew;
    POINT ptDrag;
} NMTREEVIEWA, *LPNMTREEVIEWA;

#endif
