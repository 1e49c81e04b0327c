/*
 * The platform's side of the differential tests: its own conversions,
 * comparison and tree control, run under Wine.
 *
 *   reference.exe conversions OUT       every conversion of cases.cpp
 *   reference.exe sort CODEPAGE OUT     CompareStringW on the compare pairs,
 *                                       then the real tree's order of the
 *                                       sort names (the process's ANSI code
 *                                       page must be CODEPAGE: run with LANG
 *                                       set to a locale that has it)
 *   reference.exe module                the checker's module as built for
 *                                       Windows against the platform, in
 *                                       the process's code page
 */
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../codepage.h"
#include "../collate.h"
#include "cases.h"
#include "platform.h"

/* ---- the real tree ---- */

static std::vector<int> SortInRealTree(unsigned codePage, const std::vector<std::string> &names)
{
    (void)codePage; // the process's own, which the tree converts from
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, NULL, NULL,
                                GetModuleHandleA(NULL), NULL);
    for (size_t i = 0; i < names.size(); i++) {
        TVINSERTSTRUCTA insert = {};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_SORT;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = (LPSTR)names[i].c_str();
        insert.item.lParam = (LPARAM)i;
        SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
    }
    std::vector<int> order;
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    for (; item; item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item)) {
        TVITEMA tvi = {};
        tvi.mask = TVIF_PARAM | TVIF_HANDLE;
        tvi.hItem = item;
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi);
        order.push_back((int)tvi.lParam);
    }
    DestroyWindow(tree);
    return order;
}

/* ---- the checker's module as the Windows build has it ---- */

// Yields what f printed into a temporary file.
template <typename Print> static std::string Printed(Print print)
{
    FILE *file = tmpfile();
    print(file);
    std::string text;
    long size = ftell(file);
    text.resize(size > 0 ? size : 0);
    rewind(file);
    if (size > 0 && fread(&text[0], 1, size, file) != (size_t)size) text.clear();
    fclose(file);
    return text;
}

// The Windows build's DecodeText, EncodeText, CompareNames and
// FindSortedPlace against the platform, in the process's code page: 0 where
// they print the same, else 1 and what differs.
static int CheckModule()
{
    unsigned codePage = GetACP();
    // Every byte in more places is the sort differential's; here the tree
    // checks the module's walk, which fewer names show as well.
    std::vector<std::string> names = MakeSortNames(codePage, false), pairs = MakeComparePairs(codePage, 5000, 1);
    const struct {
        const char *what;
        std::string platform, module;
    } checks[] = {
        {"conversions", Printed([](FILE *f) { PrintConversions(f, PlatformDecode, PlatformEncode); }),
         Printed([](FILE *f) { PrintConversions(f, DecodeText, EncodeText); })},
        {"comparisons", Printed([&](FILE *f) { PrintComparisons(f, codePage, pairs, PlatformCompare); }),
         Printed([&](FILE *f) { PrintComparisons(f, codePage, pairs, CompareNames); })},
        {"tree order", Printed([&](FILE *f) { PrintOrder(f, names, SortInRealTree(codePage, names)); }),
         Printed([&](FILE *f) { PrintOrder(f, names, SortAsTree(codePage, names)); })},
    };
    int failures = 0;
    for (const auto &check : checks) {
        size_t at = 0;
        while (at < check.platform.size() && at < check.module.size() && check.platform[at] == check.module[at]) at++;
        bool same = check.platform == check.module && !check.platform.empty();
        printf("module %s in code page %u: %s\n", check.what, codePage, same ? "as the platform" : "differs");
        if (!same) {
            size_t line = check.platform.rfind('\n', at);
            line = line == std::string::npos ? 0 : line + 1;
            printf("  platform: %s\n  module:   %s\n", check.platform.substr(line, 60).c_str(),
                   check.module.substr(line, 60).c_str());
            failures++;
        }
    }
    return failures != 0;
}

/* ---- the program ---- */

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "sort") == 0 && GetACP() != (unsigned)atoi(argv[2])) {
        fprintf(stderr, "reference: the ANSI code page is %u, not %s\n", GetACP(), argv[2]);
        return 2;
    }
    int status = RunSharedMode(argc, argv, PlatformDecode, PlatformEncode, PlatformCompare, SortInRealTree);
    if (status >= 0) return status;
    if (argc == 2 && strcmp(argv[1], "module") == 0) return CheckModule();
    fprintf(stderr, "usage: reference conversions OUT | sort CODEPAGE OUT | module\n");
    return 2;
}
