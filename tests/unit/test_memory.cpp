/*
 * The menu's memory: every block a record takes is given back by
 * FreeEntries and the placeholder never is; an allocation that fails costs
 * a field or an entry, as the menu format says, never a crash or a leak;
 * and an item the tree refuses leaves no record behind.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "alloc_hooks.h"
#include "menu_test_util.h"

namespace {

struct Outcome {
    std::string dump;
    long allocations;   // asked for while reading
    long heldAfterLoad; // blocks the records hold
    long heldAfterFree; // blocks FreeEntries left
    long strayFrees;    // frees of blocks never allocated, such as the placeholder
};

// Reads the bytes as the menu file with allocation number failAt refused
// (none when negative) and the tree refusing every insert after the first
// insertsAllowed (none when negative), then releases the records.
Outcome LoadAndFree(const std::string &bytes, long failAt = -1, long insertsAllowed = -1)
{
    ResetMenuState();
    HWND hDlg = SubstCreateMainDialog(NULL);
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    SubstFailTreeInsertsAfter(insertsAllowed);
    StartAllocTracking(failAt);
    ReadMenuBytes(hDlg, bytes);
    Outcome outcome;
    outcome.allocations = AllocCount();
    outcome.heldAfterLoad = LiveBlocks();
    outcome.dump = DumpTree(hTree);
    FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
    outcome.heldAfterFree = LiveBlocks();
    outcome.strayFrees = StrayFrees();
    StopAllocTracking();
    SubstFailTreeInsertsAfter(-1);
    SubstDestroyWindow(hDlg);
    return outcome;
}

// Yields the number of items with a record in a DumpTree text.
long CountRecords(const std::string &dump)
{
    long records = 0;
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);)
        if (line.size() < 7 || line.compare(line.size() - 7, 7, " = null") != 0) records++;
    return records;
}

// A few dozen entries: nested levels, a first entry of a level with
// children of its own, a later one after a sibling that has children, the
// two forms of a second nested level, empty fields, and a nest past the
// levels kept.
std::string DeepNest(int levels)
{
    std::string bytes;
    for (int i = 1; i <= levels; i++) bytes += "N" + std::to_string(i) + ", n.exe { ";
    return bytes + "Bottom" + std::string(levels, '}');
}

const std::string kMenus[] = {
    "Demo Disc\r\n{\r\n"
    "  Setup, %:\\setup.exe /quiet, 'Installs the demo, then starts it.',\r\n"
    "  Tools { Zip, zip.exe, Packs, Unzip, unzip.exe, Unpacks { Help, unzip.hlp, About unzip } },\r\n"
    "  Documents { Manual, docs\\manual.pdf, The manual, Readme, readme.txt, Read me,\r\n"
    "              Licence, , , Changes, changes.txt { 1.0 {} 1.1, , Second }, Credits }\r\n"
    "  Drivers { Printer, p.inf, x, Scanner { Flatbed, f.inf, , Sheet, s.inf } Camera, c.inf, y }\r\n"
    "  A {B}{C} D {E}, {F},\r\n"
    "  , only.exe, no name, , , only a description,\r\n"
    "  Extras { Game, game.exe, Fun, Music { Track 1, 1.mp3, , Track 2, 2.mp3 } Video, v.avi }\r\n"
    "  Last, last.exe, The end\r\n"
    "}\r\n",
    DeepNest(MAX_NESTING + 2),
};

// One item of the tree: its text and record fields, and its children.
struct Node {
    std::string text, fields[3];
    bool hasRecord;
    std::vector<Node> children;
};

std::vector<Node> ReadNodes(HWND hTree, HTREEITEM hFirst)
{
    std::vector<Node> nodes;
    for (HTREEITEM hItem = hFirst; hItem; hItem = GetTreeItem(hTree, TVGN_NEXT, hItem)) {
        Node node;
        node.text = GetTreeItemText(hTree, hItem);
        const ProgramEntry *entry = (const ProgramEntry *)GetTreeItemData(hTree, hItem);
        node.hasRecord = entry != NULL;
        if (entry) {
            node.fields[0] = entry->name;
            node.fields[1] = entry->command;
            node.fields[2] = entry->description;
        }
        node.children = ReadNodes(hTree, GetTreeItem(hTree, TVGN_CHILD, hItem));
        nodes.push_back(node);
    }
    return nodes;
}

// Writes nodes as DumpTree writes a tree.
std::string RenderNodes(const std::vector<Node> &nodes, int depth = 0)
{
    std::string dump;
    for (const Node &node : nodes) {
        dump += std::string(2 * depth, ' ') + node.text + " = ";
        dump += node.hasRecord ? node.fields[0] + "|" + node.fields[1] + "|" + node.fields[2] : "null";
        dump += "\n" + RenderNodes(node.children, depth + 1);
    }
    return dump;
}

// Every tree the documented failures can make from the tree read with all
// allocations granted: for each entry, in file order, a field showing the
// placeholder in the record (the tree keeping the name as read), or the
// entry skipped, its nested entries going under the item before it in its
// level, or into the level itself when there is none.
void AddFailureOutcomes(const std::vector<Node> &whole, std::vector<Node> &level,
                        std::vector<std::string> *outcomes)
{
    for (size_t i = 0; i < level.size(); i++) {
        Node entry = level[i];
        if (entry.hasRecord) {
            for (std::string &field : level[i].fields) {
                std::string kept = field;
                field = g_szOutOfMemory;
                outcomes->push_back(RenderNodes(whole));
                field = kept;
            }
            level.erase(level.begin() + i);
            std::vector<Node> &under = i > 0 ? level[i - 1].children : level;
            size_t at = i > 0 ? under.size() : 0;
            under.insert(under.begin() + at, entry.children.begin(), entry.children.end());
            outcomes->push_back(RenderNodes(whole));
            under.erase(under.begin() + at, under.begin() + at + entry.children.size());
            level.insert(level.begin() + i, entry);
        }
        AddFailureOutcomes(whole, level[i].children, outcomes);
    }
}

// Whichever allocation fails, the tree is one of the documented outcomes,
// every outcome is reached by some failure, and nothing leaks or is freed
// that was not allocated.
TEST(MenuMemory, EachAllocationFailingInTurn)
{
    for (const std::string &menu : kMenus) {
        ResetMenuState();
        HWND hDlg = SubstCreateMainDialog(NULL);
        HWND hTree = GetDlgItem(hDlg, IDC_TREE);
        ReadMenuBytes(hDlg, menu);
        std::vector<Node> tree = ReadNodes(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
        FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
        SubstDestroyWindow(hDlg);
        std::vector<std::string> outcomes;
        std::vector<Node> copy = tree;
        AddFailureOutcomes(copy, copy, &outcomes);
        std::vector<bool> reached(outcomes.size());

        Outcome whole = LoadAndFree(menu);
        ASSERT_GE(CountRecords(whole.dump), 20) << menu;
        ASSERT_EQ(whole.dump, RenderNodes(tree));
        for (long failAt = 0; failAt < whole.allocations; failAt++) {
            Outcome failed = LoadAndFree(menu, failAt);
            std::string where = "allocation " + std::to_string(failAt) + " of " + menu.substr(0, 60);
            auto found = std::find(outcomes.begin(), outcomes.end(), failed.dump);
            EXPECT_NE(found, outcomes.end()) << where << ": not a documented outcome:\n" << failed.dump;
            if (found != outcomes.end()) reached[found - outcomes.begin()] = true;
            EXPECT_EQ(failed.heldAfterFree, 0) << where;
            EXPECT_EQ(failed.strayFrees, 0) << where;
        }
        for (size_t i = 0; i < outcomes.size(); i++)
            EXPECT_TRUE(reached[i]) << "no failing allocation gives:\n" << outcomes[i];
    }
}

// Whatever the menu, FreeEntries gives back every block the records took,
// and frees nothing else.
TEST(MenuMemory, FreeEntriesReleasesEveryBlock)
{
    const std::string menus[] = {
        kMenus[0],
        kMenus[1],
        "",
        "T, sorted { , , , {} }",
        "T { ,,x, , y,, ,,z }",
        BYTES("T { \0, \0, \0 }"),
        "T, sorted { b { d, c } a }",
        "T { " + std::string(3000, 'n') + ", c, " + std::string(9000, 'd') + " }",
        "T {" + std::string(100000, '{') + " A " + std::string(100000, '}') + " B }",
    };
    for (const std::string &menu : menus) {
        Outcome outcome = LoadAndFree(menu);
        std::string what = testing::PrintToString(menu.substr(0, 60));
        EXPECT_EQ(outcome.heldAfterLoad > 0, CountRecords(outcome.dump) > 0) << what;
        EXPECT_EQ(outcome.heldAfterFree, 0) << what;
        EXPECT_EQ(outcome.strayFrees, 0) << what;
    }
}

// A tree that refuses inserts (out of memory in the control): the records
// of the refused items, which no item owns, are freed at once, so that
// FreeEntries, which finds records through the items, leaves nothing.
TEST(MenuMemory, RefusedInsertsLeaveNoRecord)
{
    for (const std::string &menu : kMenus) {
        long entries = CountRecords(LoadAndFree(menu).dump);
        for (long allowed = 0; allowed <= entries + 1; allowed++) {
            Outcome outcome = LoadAndFree(menu, -1, allowed);
            std::string where = std::to_string(allowed) + " inserts allowed, " + menu.substr(0, 60);
            EXPECT_EQ(CountRecords(outcome.dump), std::min(allowed, entries)) << where;
            EXPECT_EQ(outcome.heldAfterFree, 0) << where;
            EXPECT_EQ(outcome.strayFrees, 0) << where;
        }
    }
}

} // namespace
