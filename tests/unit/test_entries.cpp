/*
 * The entry list as the tree shows it: each entry list read straight into
 * the top level of a fresh dialog's tree, then the tree written out with
 * every item's text, record fields and depth.
 */
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>

#include "menu_test_util.h"
#include "../../check/text/collate.h"
#include "../../check/text/tests/cases.h"

namespace {

// Yields the dump of the tree made from an entry list (no header), with
// items inserted at the given place (TVI_LAST or TVI_SORT).
std::string LoadAndDump(const std::string &bytes, HTREEITEM insertAfter = TVI_LAST)
{
    ResetMenuState();
    HWND hDlg = SubstCreateMainDialog(NULL);
    if (insertAfter == TVI_SORT) ApplyMenuOption(hDlg, "sorted");
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    LoadEntryBytes(hTree, bytes);
    std::string dump = DumpTree(hTree);
    FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
    SubstDestroyWindow(hDlg);
    return dump;
}

struct EntryCase {
    const char *what;
    std::string bytes;
    const char *dump;
};

const EntryCase kEntryCases[] = {
    {"three fields", "Setup, setup.exe, Installs it", "Setup = Setup|setup.exe|Installs it\n"},
    {"name alone", "Readme", "Readme = Readme||\n"},
    {"six fields make two entries", "a, b, c, d, e, f", "a = a|b|c\nd = d|e|f\n"},
    {"fourth field starts the next entry", "a, b, c, d", "a = a|b|c\nd = d||\n"},
    {"empty name, command set", ", x.exe", " = |x.exe|\n"},
    {"empty name, description set", ", , about", " = ||about\n"},
    {"quoted description keeps its comma", "S, s.exe, 'Installs, then starts.'",
     "S = S|s.exe|Installs, then starts.\n"},
    {"nested level", "Tools { Sub, sub.exe, x }", "Tools = Tools||\n  Sub = Sub|sub.exe|x\n"},
    {"nested after an empty entry", "Tools, , , { Sub, sub.exe, x }",
     "Tools = Tools||\n  Sub = Sub|sub.exe|x\n"},
    {"entry after a nested level", "Tools { S } Next, n.exe, d",
     "Tools = Tools||\n  S = S||\nNext = Next|n.exe|d\n"},
    {"comma after a nested level", "Tools { S } , Next, n.exe, d",
     "Tools = Tools||\n  S = S||\n = |Next|n.exe\nd = d||\n"},
    {"commas alone", ",,,", ""},
    {"braces back to back", "A {B}{C}", "A = A||\n  B = B||\n  C = C||\n"},
    {"comma between levels", "A {B}, {C}", "A = A||\n  B = B||\n  C = C||\n"},
    {"empty entries keep the last item", "A, , , , , , {B}", "A = A||\n  B = B||\n"},
    {"no closing braces", "A { B { C, c.exe, d", "A = A||\n  B = B||\n    C = C|c.exe|d\n"},
    {"no closing braces, line break at end", "A { B\r\n", "A = A||\n  B  = B ||\n"},
    {"line breaks do not separate", "Readme\r\nSetup, s.exe, d", "Readme Setup = Readme Setup|s.exe|d\n"},
    {"zero bytes end each field", BYTES("Na\0me, co\0mmand, de\0sc, Next"),
     "Na = Na|co|de\nNext = Next||\n"},
    {"close ends the level", "A } B", "A = A||\n"},
    {"close first", "} A", ""},
    {"end of file after a comma", "A,", "A = A||\n"},
    // A `{` with no item before it at its level: its entries stay in the
    // current level, where they would otherwise be lost.
    {"brace first", "{ A } B", "A = A||\nB = B||\n"},
    {"brace after empty entries", ",, {A} B", "A = A||\nB = B||\n"},
    {"brace first in a nested level", "A { {B} C }", "A = A||\n  B = B||\n  C = C||\n"},
    {"empty levels", "{} {{}} A", "A = A||\n"},
};

void PrintTo(const EntryCase &c, std::ostream *out) { *out << c.what; }

class EntryTree : public testing::TestWithParam<EntryCase> {};

TEST_P(EntryTree, ShowsTheEntries)
{
    const EntryCase &c = GetParam();
    EXPECT_EQ(LoadAndDump(c.bytes), c.dump) << c.what << ": " << testing::PrintToString(c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Entries, EntryTree, testing::ValuesIn(kEntryCases));

// Field limits: a field keeps its first MAX_FIELD (or MAX_DESCRIPTION) bytes,
// the rest is dropped, and the field still ends at the next token so the
// entry after it is whole.
TEST(EntryLimits, KeepTheFirstBytesAndTheEntryAfter)
{
    const struct {
        size_t name, command, description;
    } cases[] = {
        {MAX_FIELD, MAX_FIELD, MAX_DESCRIPTION},
        {MAX_FIELD + 1, MAX_FIELD + 1, MAX_DESCRIPTION + 1},
        {2000, 1, 10000},
        {MAX_FIELD - 1, 5000, MAX_DESCRIPTION - 1},
    };
    for (const auto &c : cases) {
        std::string bytes = std::string(c.name, 'n') + "," + std::string(c.command, 'c') + "," +
                            std::string(c.description, 'd') + ", After";
        std::string name(std::min(c.name, (size_t)MAX_FIELD), 'n');
        std::string expected = name + " = " + name + "|" +
                               std::string(std::min(c.command, (size_t)MAX_FIELD), 'c') + "|" +
                               std::string(std::min(c.description, (size_t)MAX_DESCRIPTION), 'd') +
                               "\nAfter = After||\n";
        EXPECT_EQ(LoadAndDump(bytes), expected)
            << "lengths " << c.name << ", " << c.command << ", " << c.description;
    }
}

// Sorted insertion places each item among its siblings by its text, case
// left aside, at every level; otherwise the file's order stands.
TEST(EntryOrder, FollowsTheInsertionPlace)
{
    const struct {
        HTREEITEM insertAfter;
        const char *bytes;
        const char *dump;
    } cases[] = {
        {TVI_LAST, "banana,,, Apple,,, cherry { z,,, Y }",
         "banana = banana||\nApple = Apple||\ncherry = cherry||\n  z = z||\n  Y = Y||\n"},
        {TVI_SORT, "banana,,, Apple,,, cherry { z,,, Y }",
         "Apple = Apple||\nbanana = banana||\ncherry = cherry||\n  Y = Y||\n  z = z||\n"},
        {TVI_SORT, "b { x } a { y }", "a = a||\n  y = y||\nb = b||\n  x = x||\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LoadAndDump(c.bytes, c.insertAfter), c.dump)
            << c.bytes << (c.insertAfter == TVI_SORT ? " sorted" : " in file order");
}

// The sorted place the substitute finds among the siblings (its index of
// them) is the one the tree's walk gives, which FindSortedPlace walks as
// the platform's control does (the text tests hold it to the platform):
// for every code page, its every byte, ties (equal names, names that differ
// only in what weighs nothing) and random names; and where the comparison
// changes halfway, as another code page makes it, the walk again.
TEST(EntryOrder, SortedPlaceIsTheWalks)
{
    std::vector<std::pair<unsigned, unsigned>> rows; // the code page of the first half, of the second
    for (unsigned codePage : ListAnsiCodePages()) rows.push_back({codePage, codePage});
    rows.insert(rows.end(), {{1252, 1250}, {1251, 1252}, {932, 1252}});
    for (const auto &row : rows) {
        std::vector<std::string> names = MakeSortNames(row.first, false);
        for (const std::string &name : MakeComparePairs(row.first, 100, 7)) names.push_back(name);
        size_t half = names.size() / 2;
        std::vector<const char *> walked; // the walk's order, as texts and as indices
        std::vector<long> expected;
        ResetMenuState("E:\\", row.first);
        HWND hDlg = SubstCreateMainDialog(NULL);
        ApplyMenuOption(hDlg, "sorted");
        HWND hTree = GetDlgItem(hDlg, IDC_TREE);
        for (size_t i = 0; i < names.size(); i++) {
            unsigned codePage = i < half ? row.first : row.second;
            if (i == half) UsePlatformText(codePage);
            int at = FindSortedPlace(codePage, walked.data(), (int)walked.size(), names[i].c_str());
            walked.insert(walked.begin() + at, names[i].c_str());
            expected.insert(expected.begin() + at, (long)i);
            InsertTreeItem(hTree, TVI_ROOT, names[i].c_str(), (LPARAM)i);
        }
        std::vector<long> order;
        for (HTREEITEM hItem = GetTreeItem(hTree, TVGN_ROOT, NULL); hItem; hItem = GetTreeItem(hTree, TVGN_NEXT, hItem))
            order.push_back((long)GetTreeItemData(hTree, hItem));
        SubstDestroyWindow(hDlg);
        EXPECT_EQ(order, expected) << "code page " << row.first << ", then " << row.second;
    }
}

// Nesting: levels down to MAX_NESTING below the top are kept; a deeper
// entry joins the deepest level kept, and its braces still pair, so what
// follows the nest lands where it belongs.
std::string NestedLevels(int levels)
{
    std::string bytes;
    for (int i = 1; i <= levels; i++) bytes += "L" + std::to_string(i) + " { ";
    bytes += "X";
    bytes += std::string(levels, '}');
    return bytes + " After";
}

std::string ExpectedNesting(int levels)
{
    std::string dump;
    for (int i = 1; i <= levels; i++) {
        std::string name = "L" + std::to_string(i);
        dump += std::string(2 * std::min(i - 1, MAX_NESTING), ' ') + name + " = " + name + "||\n";
    }
    dump += std::string(2 * std::min(levels, MAX_NESTING), ' ') + "X = X||\n";
    return dump + "After = After||\n";
}

TEST(EntryNesting, KeepsEveryEntryAndPairsTheBraces)
{
    for (int levels : {1, MAX_NESTING - 1, MAX_NESTING, MAX_NESTING + 1, MAX_NESTING + 2, 200})
        EXPECT_EQ(LoadAndDump(NestedLevels(levels)), ExpectedNesting(levels)) << levels << " levels";
}

// Bytes of huge runs of braces, and what must become of them. A million
// levels must load in a thread whose stack is far smaller than the reading
// buffers of so many levels would need.
struct HugeCase {
    const char *what;
    std::string bytes;
    const char *dump;
};

std::string Repeat(const char *piece, int count)
{
    std::string bytes;
    for (int i = 0; i < count; i++) bytes += piece;
    return bytes;
}

void *LoadHugeCases(void *failures)
{
    const HugeCase cases[] = {
        {"a million opening braces", std::string(1000000, '{'), ""},
        {"a million after an item", "A " + std::string(1000000, '{') + " X", "A = A||\n  X = X||\n"},
        {"a million paired", "A " + std::string(1000000, '{') + " X " + std::string(1000000, '}') + " After",
         "A = A||\n  X = X||\nAfter = After||\n"},
        {"a million closing braces", std::string(1000000, '}') + " A", ""},
        {"100,000 items nested", Repeat("A{", 100000) + " X", nullptr},
    };
    for (const HugeCase &c : cases) {
        std::string dump = LoadAndDump(c.bytes);
        if (c.dump) {
            if (dump != c.dump) *(std::string *)failures += std::string(c.what) + " gave:\n" + dump;
            continue;
        }
        // The deep nest: MAX_NESTING items nested, the rest side by side in
        // the deepest level.
        size_t items = (size_t)std::count(dump.begin(), dump.end(), '\n');
        size_t deepest = dump.find(std::string(2 * MAX_NESTING, ' ') + "A");
        size_t deeper = dump.find(std::string(2 * MAX_NESTING + 1, ' '));
        if (items != 100001 || deepest == std::string::npos || deeper != std::string::npos)
            *(std::string *)failures += std::string(c.what) + ": wrong shape\n";
    }
    return NULL;
}

TEST(EntryNesting, HugeBraceRunsLoadOnASmallStack)
{
    std::string failures;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 512 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, LoadHugeCases, &failures), 0);
    pthread_join(thread, NULL);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(failures, "");
}

} // namespace
