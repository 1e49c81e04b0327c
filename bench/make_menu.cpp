/*
 * The benchmark menus for the start-up measurements under Wine:
 *
 *   make_menu write PATH ENTRIES flat|nested [sorted]
 *   make_menu count PATH
 *
 * "write" writes a menu and prints its number of entries; "count" loads a
 * menu file as the program does (against the window substitute) and prints
 * the number of items its tree shows, which tells the start-up timer when
 * the real tree is filled.
 */
#include "menu_gen.h"
#include "../menu/menu.h"
#include "../res/resource.h"

#include <subst.h>

#include <stdlib.h>
#include <string.h>

static int Usage()
{
    fprintf(stderr, "usage: make_menu write PATH ENTRIES flat|nested [sorted]\n"
                    "       make_menu count PATH\n");
    return 2;
}

static int WriteMenu(int argc, char **argv)
{
    if (argc < 5 || (strcmp(argv[4], "flat") != 0 && strcmp(argv[4], "nested") != 0)) return Usage();
    MenuShape shape = {atol(argv[3]), 0, strcmp(argv[4], "nested") == 0, argc > 5 && strcmp(argv[5], "sorted") == 0,
                       MENU_WRITTEN};
    long written = WriteBenchMenuFile(argv[2], shape);
    if (written < 0) {
        perror(argv[2]);
        return 1;
    }
    printf("%ld\n", written);
    return 0;
}

// Yields the number of items from hFirst on, their descendants included.
static long CountTreeItems(HWND hTree, HTREEITEM hFirst)
{
    long count = 0;
    for (HTREEITEM hItem = hFirst; hItem; hItem = GetTreeItem(hTree, TVGN_NEXT, hItem))
        count += 1 + CountTreeItems(hTree, GetTreeItem(hTree, TVGN_CHILD, hItem));
    return count;
}

static int CountItems(const char *path)
{
    FILE *stream = fopen(path, "rb");
    if (!stream) {
        perror(path);
        return 1;
    }
    strcpy(g_szStartDir, "E:\\");
    HWND hDlg = SubstCreateMainDialog(NULL);
    ReadMenuStream(hDlg, stream);
    fclose(stream);
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    printf("%ld\n", CountTreeItems(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL)));
    FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
    SubstDestroyWindow(hDlg);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "write") == 0) return WriteMenu(argc, argv);
    if (argc == 3 && strcmp(argv[1], "count") == 0) return CountItems(argv[2]);
    return Usage();
}
