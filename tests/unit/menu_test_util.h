/*
 * Shared by the menu tests and the menu fuzzer: handing bytes to the menu
 * code as if they were "Quorlan.ini", on a machine whose ANSI code page is
 * 1252 unless a test says otherwise (the checker's conversions and sort
 * order stand in for the platform's), and reading back the tree it made
 * through the tree's own messages.
 */
#ifndef QUORLAN_TESTS_MENU_TEST_UTIL_H
#define QUORLAN_TESTS_MENU_TEST_UTIL_H

#include <stdio.h>

#include <string>

#include "subst.h"
#include "../../check/engine/check.h"
#include "../../menu/menu.h"
#include "../../res/resource.h"

// A string literal's bytes, zero bytes included.
#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

// Yields a read-only stream over the bytes, zero bytes included, as
// fopen("rb") would give for a file holding them. The bytes must outlive it.
inline FILE *OpenMenuBytes(const std::string &bytes)
{
    return fmemopen((void *)bytes.data(), bytes.size(), "rb");
}

// Puts the reader and the insertion order back as they are when the program
// starts, with the start-up folder given (its first byte is the drive), on a
// machine whose ANSI code page is codePage.
inline void ResetMenuState(const char *startDir = "E:\\", unsigned codePage = 1252)
{
    UsePlatformText(codePage);
    StartMenuReading();
    snprintf(g_szStartDir, sizeof(g_szStartDir), "%s", startDir);
}

// Reads the bytes as the whole menu file into the dialog, as ReadMenuFile
// does once it has opened the file.
inline void ReadMenuBytes(HWND hDlg, const std::string &bytes)
{
    FILE *stream = OpenMenuBytes(bytes);
    ReadMenuStream(hDlg, stream);
    fclose(stream);
}

// Reads the bytes as an entry list straight into the tree's top level.
inline void LoadEntryBytes(HWND hTree, const std::string &bytes)
{
    FILE *stream = OpenMenuBytes(bytes);
    LoadEntries(hTree, stream, TVI_ROOT);
    fclose(stream);
}

inline std::string GetTreeItemText(HWND hTree, HTREEITEM hItem)
{
    char text[MAX_DESCRIPTION + 1] = "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(hTree, TVM_GETITEMA, 0, (LPARAM)&item);
    return text;
}

// Calls visit(item, depth) for hFirst, its following siblings and all their
// descendants, parents before children, depth counted from the given one.
template <class Visit>
void ForEachTreeItem(HWND hTree, HTREEITEM hFirst, int depth, Visit visit)
{
    for (HTREEITEM hItem = hFirst; hItem; hItem = GetTreeItem(hTree, TVGN_NEXT, hItem)) {
        visit(hItem, depth);
        ForEachTreeItem(hTree, GetTreeItem(hTree, TVGN_CHILD, hItem), depth + 1, visit);
    }
}

// One line per item, parents first, two spaces of indent per level:
// "text = name|command|description", or "text = null" for an item that has
// no record. Lines end with a line feed.
inline std::string DumpTree(HWND hTree)
{
    std::string dump;
    ForEachTreeItem(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL), 0, [&](HTREEITEM hItem, int depth) {
        dump.append(2 * depth, ' ');
        dump += GetTreeItemText(hTree, hItem) + " = ";
        const ProgramEntry *entry = (const ProgramEntry *)GetTreeItemData(hTree, hItem);
        if (entry)
            dump += std::string(entry->name) + "|" + entry->command + "|" + entry->description;
        else
            dump += "null";
        dump += "\n";
    });
    return dump;
}

#endif
