/*
 * The checker's pieces called directly: menu texts to the JSON report of
 * what the program shows, each warning at the line and column where the
 * author types the mend (with LF and with CR LF line ends), texts that must
 * stay silent, the lookup of commands' files, and the JSON string escaping.
 */
#include <gtest/gtest.h>

#include "../engine/check.h"
#include "../rules/checker.h"
#include "../mend/fix.h"
#include "../report/report.h"
#include "../engine/engine.h"
#include "../cli/write_back.h"
#include "../engine/quote.h"
#include "../engine/window.h"
#include "../editor/outline.h"
#include "../text/codepage.h"
#include "../../menu/menu.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <string>
#include <vector>

namespace {

struct Checked {
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
};

// Checks the text as the tool checks a file.
Checked CheckText(const std::string &text, bool checkFiles = false, const std::string &folder = "",
                  unsigned codePage = 1252)
{
    FILE *stream = tmpfile();
    fwrite(text.data(), 1, text.size(), stream);
    Checked result;
    CheckSettings settings;
    settings.codePage = codePage;
    settings.drive = 'E';
    settings.checkFiles = checkFiles;
    settings.menuFolder = folder;
    CheckMenuStream(stream, text, settings, &result.menu, &result.warnings);
    fclose(stream);
    return result;
}

std::string WithCrLf(const std::string &text)
{
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

std::string Listed(const std::vector<MenuWarning> &warnings)
{
    std::string out;
    for (const MenuWarning &w : warnings)
        out += "\n  " + std::to_string(w.line) + ":" + std::to_string(w.column) + ": " + w.message + "\n    " +
               std::to_string(w.noteLine) + ":" + std::to_string(w.noteColumn) + ": note: " + w.note;
    return out.empty() ? " (none)" : out;
}

std::string Str(const char *text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

std::string Launch(const char *file, const char *parameters, const char *directory)
{
    return "{\"file\": " + Str(file) + ", \"parameters\": " + Str(parameters) +
           ", \"directory\": " + Str(directory) + "}";
}

// An item read from the file (name = text); strings here need no escaping.
std::string Item(const char *name, const char *command, const char *description, const std::string &launch,
                 const std::string &children = "")
{
    return "{\"text\": " + Str(name) + ", \"record\": {\"name\": " + Str(name) + ", \"command\": " +
           Str(command) + ", \"description\": " + Str(description) + ", \"launch\": " + launch +
           "}, \"children\": [" + children + "]}";
}

const std::string FALLBACK = "{\"text\": \"Explore CD\", \"record\": null, \"children\": []}";

std::string Report(const char *caption, const char *size, bool sorted, bool install, const std::string &items)
{
    return "{\"caption\": " + Str(caption) + ", \"size\": " + size + ", \"sorted\": " +
           (sorted ? "true" : "false") + ", \"install\": " + (install ? "true" : "false") +
           ", \"items\": [" + items + "], \"warnings\": []}\n";
}

}  // namespace

TEST(CheckReport, TheExampleDiscInFull)
{
    const char *text =
        "Demo Disc, sorted, size=640x480\n"
        "{\n"
        "  Setup, %:\\setup.exe /quiet, 'Installs the demo, then starts it.',\n"
        "  Documents { Manual, docs\\manual.pdf, Opens the manual }\n"
        "}\n";
    Checked checked = CheckText(text);
    EXPECT_EQ(
        "{\"caption\": \"Demo Disc\", \"size\": [640, 480], \"sorted\": true, \"install\": false, "
        "\"items\": [{\"text\": \"Documents\", \"record\": {\"name\": \"Documents\", \"command\": \"\", "
        "\"description\": \"\", \"launch\": null}, \"children\": [{\"text\": \"Manual\", \"record\": "
        "{\"name\": \"Manual\", \"command\": \"docs\\\\manual.pdf\", \"description\": \"Opens the manual\", "
        "\"launch\": {\"file\": \"docs\\\\manual.pdf\", \"parameters\": null, \"directory\": \"docs\"}}, "
        "\"children\": []}]}, {\"text\": \"Setup\", \"record\": {\"name\": \"Setup\", \"command\": "
        "\"E:\\\\setup.exe /quiet\", \"description\": \"Installs the demo, then starts it.\", \"launch\": "
        "{\"file\": \"E:\\\\setup.exe\", \"parameters\": \"/quiet\", \"directory\": \"E:\"}}, "
        "\"children\": []}], \"warnings\": []}\n",
        FormatMenuJson(checked.menu, checked.warnings));
}

TEST(CheckReport, MenuTextsGiveWhatTheProgramShows)
{
    const std::string none = "null";
    const std::string a = Item("A", "a.exe", "", Launch("a.exe", nullptr, nullptr));
    struct {
        const char *label;
        std::string text;
        std::string report;
    } rows[] = {
        {"line breaks fold into one space", "T\n{\nReadme\nSetup, s.exe, d\n}\n",
         Report("T", "null", false, false, Item("Readme Setup", "s.exe", "d", Launch("s.exe", nullptr, nullptr)))},
        {"quotes keep commas, braces and spaces", "T{ A, 'x, {y}', 'a ' b }",
         Report("T", "null", false, false, Item("A", "x, {y}", "a  b", Launch("x,", "{y}", nullptr)))},
        {"escapes", "T{ 100%% A%, B, %'q%' %{x%} }",
         Report("T", "null", false, false,
                Item("100% A, B", "'q' {x}", "", Launch("'q'", "{x}", nullptr)))},
        {"%: gives the drive, in quotes too", "T{ A, '%:\\a b.exe' }",
         Report("T", "null", false, false, Item("A", "E:\\\\a b.exe", "", Launch("E:\\\\a", "b.exe", "E:")))},
        {"sorted, with the fallback item too", "T, sorted\n{ }",
         Report("T", "null", true, false, FALLBACK)},
        {"sorted entries", "T, sorted { b, b.exe,, c, c.exe,, A, a.exe }",
         Report("T", "null", true, false,
                a + ", " + Item("b", "b.exe", "", Launch("b.exe", nullptr, nullptr)) + ", " +
                    Item("c", "c.exe", "", Launch("c.exe", nullptr, nullptr)))},
        {"no braces: caption and fallback", "Title only", Report("Title only", "null", false, false, FALLBACK)},
        {"no title: the template's caption", "{ A, a.exe }", Report("Program List", "null", false, false, a)},
        {"install", "T, install { A, a.exe }", Report("T", "null", false, true, a)},
        {"size of odd difference", "T, size=599x400 { A, a.exe }", Report("T", "[599, 400]", false, false, a)},
        {"the last size counts", "T, size=800x600, size=640x480 { A, a.exe }",
         Report("T", "[640, 480]", false, false, a)},
        {"a size that does not scan", "T, size=640 x480 { A, a.exe }", Report("T", "null", false, false, a)},
        {"nesting, and the next entry after it", "T{ Tools { Sub, sub.exe, x } Next, n.exe, d }",
         Report("T", "null", false, false,
                Item("Tools", "", "", none, Item("Sub", "sub.exe", "x", Launch("sub.exe", nullptr, nullptr))) +
                    ", " + Item("Next", "n.exe", "d", Launch("n.exe", nullptr, nullptr)))},
        {"an empty entry's brace nests under the last item", "T{ A {B}{C} }",
         Report("T", "null", false, false,
                Item("A", "", "", none, Item("B", "", "", none) + ", " + Item("C", "", "", none)))},
        {"text after the closing brace is not read", "T{ A, a.exe } B, b.exe",
         Report("T", "null", false, false, a)},
        {"end of file inside the list keeps the entries", "T{ A, a.exe, d\n",
         Report("T", "null", false, false, Item("A", "a.exe", "d ", Launch("a.exe", nullptr, nullptr)))},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(std::string(row.label) + ": " + row.text);
        Checked checked = CheckText(row.text);
        EXPECT_EQ(row.report, FormatMenuJson(checked.menu, {}));
    }
}

// Limits: fields cut at 1,023 and 8,191 bytes, nesting kept to MAX_NESTING
// levels below the top.
TEST(CheckReport, LimitsAreTheProgramsOwn)
{
    std::string longName(2000, 'n'), longDescription(10000, 'd');
    Checked cut = CheckText("T{" + longName + ", x.exe, " + longDescription + "}");
    ASSERT_EQ(1u, cut.menu.items.size());
    EXPECT_EQ(std::string(MAX_FIELD, 'n'), cut.menu.items[0].text);
    EXPECT_EQ(std::string(MAX_DESCRIPTION, 'd'), cut.menu.items[0].description);

    std::string deep = "T{";
    for (int i = 0; i < MAX_NESTING + 6; i++) deep += "L" + std::to_string(i) + " {";
    Checked nested = CheckText(deep + "Deepest}");
    int depth = 0;
    const std::vector<CheckedItem> *level = &nested.menu.items;
    std::string last;
    while (!level->empty()) {
        depth++;
        last = level->back().text;
        level = &level->back().children;
    }
    EXPECT_EQ(MAX_NESTING + 1, depth);
    EXPECT_EQ("Deepest", last);
}

namespace {

// A warning: where it points, how its message starts, and where its note
// points when that is elsewhere (0: at the warning).
struct Expected {
    long line, column;
    const char *start;
    long noteLine = 0, noteColumn = 0;
};

struct WarningCase {
    const char *label;
    std::string text;
    std::vector<Expected> warnings;
};

std::string NestedTooDeep()
{
    std::string text = "T\n{\n";
    for (int i = 0; i < MAX_NESTING + 3; i++) text += "L" + std::to_string(i) + " {\n";
    for (int i = 0; i < MAX_NESTING + 4; i++) text += "}\n";
    return text;
}

std::vector<WarningCase> WarningCases()
{
    return {
        {"unknown option", "T, colour\n{ A }", {{1, 4, "option \"colour\" is not recognised and is ignored"}}},
        {"option in another case", "T,\n  Sorted\n{ A }",
         {{2, 3, "option \"Sorted\" is not recognised and is ignored: options are case-sensitive"}}},
        {"option with a trailing space", "T, 'sorted '\n{ A }",
         {{1, 5, "option \"sorted \" is not recognised and is ignored: it ends with a space"}}},
        {"space before =", "T, size =640x480\n{ A }",
         {{1, 4, "option \"size =640x480\" is not recognised and is ignored: a space before '='"}}},
        {"option and the next on one line", "T, sorted\n install\n{ A }",
         {{1, 10, "option \"sorted install\" is not recognised and is ignored: it runs across a line break: "
                  "a comma missing at the end of line 1"}}},
        {"option and more text", "T, sorted installl\n{ A }",
         {{1, 10, "option \"sorted installl\" is not recognised and is ignored: it has more text after"}}},
        {"size that does not scan", "T,\nsize=640 x480\n{ A }",
         {{2, 6, "option \"size=640 x480\" does not scan as size=WIDTHxHEIGHT"}}},
        {"size of nothing", "T, size=0x480\n{ A }", {{1, 9, "option \"size=0x480\" gives no window of at least 1 x 1"}}},
        {"apostrophe open at the end", "T\n{\n  A, 'a.exe\n  B, b.exe\n}\n",
         {{2, 1, "the file ends inside the entry list, 1 closing brace short", 5, 2},
          {3, 6, "an apostrophe here opens a quote that is never closed"}}},
        {"apostrophe reopened", "T\n{\n  A, 'a\n''b.exe\n}\n",
         {{2, 1, "the file ends inside the entry list, 1 closing brace short", 5, 2},
          {4, 2, "an apostrophe here opens a quote that is never closed"}}},
        {"end of file inside the list", "T\n{\n  A {\n    B\n",
         {{3, 5, "the file ends inside the entry list, 2 closing braces short", 4, 6}}},
        {"text after the closing brace", "T\n{ A }\n\nextra\n",
         {{4, 1, "text after the entry list's closing brace is ignored", 2, 5}}},
        {"no brace after the header", "Title only\n", {{1, 11, "no '{' follows the header"}}},
        {"no brace after a title", "Demo\n  A, a.exe\n",
         {{1, 5, "no '{' follows the header"}, {2, 6, "option \"a.exe \" is not recognised"}}},
        {"a brace closes the header", "T\n}\n{ A }", {{2, 1, "a '}' ends the header"}}},
        {"name over a line break", "T\n{\n  Readme\n  Setup, s.exe, d\n}\n",
         {{3, 9, "the name \"Readme Setup\" runs across a line break outside quotes: a comma missing at the end of line 3?"}}},
        {"command over a line break", "T\n{\n  A, a.exe\n  b.exe, d\n}\n",
         {{3, 11, "the command \"a.exe b.exe\" runs across a line break outside quotes: a comma missing at the end of line 3?"}}},
        {"name cut at its limit", "T\n{\n" + std::string(1500, 'n') + "\n}\n",
         {{3, 1024, "the name is 1500 bytes long: only its first 1023 are kept"}}},
        {"description cut at its limit", "T\n{\nA, a.exe,\n" + std::string(9000, 'd') + "\n}\n",
         {{4, 8192, "the description is 9000 bytes long: only its first 8191 are kept"}}},
        {"name of a UTF-8 file cut inside a character", "\xEF\xBB\xBFT\n{\n" + std::string(1022, 'n') + "\xC3\xA9\n}\n",
         {{3, 1023, "the name is 1024 bytes long: only its first 1022 are kept"}}},
        {"NUL in a name", std::string("T\n{\n  A\0BC, a.exe\n}\n", 20),
         {{3, 4, "a NUL byte ends the name \"A\": the 2 bytes after it are lost"}}},
        {"nesting beyond the depth kept", NestedTooDeep(), {{3 + MAX_NESTING, 5, "nesting deeper than 64 levels"}}},
        {"empty name", "T\n{\n  Tools { A }\n  , Next, n.exe\n}\n",
         {{4, 3, "an entry with an empty name shows as an item with no text (its command is \"Next\")"}}},
        {"title after white space", "\n\nT\n{ A }", {{1, 1, "the title starts with a space"}}},

        // The mistakes of menus written as plain English, each where the mend goes.
        {"apostrophes of contractions", "Demo\n{\n  Readme, readme.txt, Don't skip this,\n  Setup, setup.exe, It's quick,\n"
                                        "  Tools, tools.exe, Handy tools\n}\n",
         {{3, 26, "the apostrophe in \"Don't\" opens a quoted stretch (lines 3 to 4) that swallows 3 commas and a line break"},
          {4, 23, "the apostrophe in \"It's\" closes a quoted stretch (lines 3 to 4) that swallows 3 commas and a line break"}}},
        {"apostrophes of possessives, across a level",
         "T\n{\n  Tools\n  {\n    Bob's editor, edit.exe, Edits text\n  }\n  Other, o.exe, Mary's notes\n}\n",
         {{2, 1, "the file ends inside the entry list", 8, 2},
          {5, 8, "the apostrophe in \"Bob's\" opens a quoted stretch (lines 5 to 7) that swallows 4 commas, a brace and 2 line breaks"},
          {7, 21, "the apostrophe in \"Mary's\" closes a quoted stretch (lines 5 to 7)"}}},
        {"apostrophes on one line, and after a digit", "T\n{\n  Don't panic, p.exe, The 1990's\n}\n",
         {{3, 6, "the apostrophe in \"Don't\" opens a quoted stretch (line 3) that swallows 2 commas"},
          {3, 31, "the apostrophe in \"1990's\" closes a quoted stretch (line 3)"}}},
        {"a quote opened after a word", "Demo\n{\n  Users' guide, guide.txt, The guide,\n  Next, next.exe, Something'\n}\n",
         {{3, 8, "the apostrophe after \"Users\" opens a quoted stretch (lines 3 to 4) that swallows 5 commas and a line break"}}},
        {"a quote opened after a word takes a brace", "T\n{\n  Kids { Students' notes, n.txt\n  }\n  Teachers' notes, t.txt\n}\n",
         {{2, 1, "the file ends inside the entry list", 6, 2},
          {3, 18, "the apostrophe after \"Students\" opens a quoted stretch (lines 3 to 5) that swallows a comma, a brace"}}},
        {"double quotes around a description's comma",
         "T\n{\n  Manual, manual.pdf, \"Chapter one, the basics\"\n  Next, n.exe\n}\n",
         {{3, 35, "double quotes do not quote in a menu: this comma ends the description after \"Chapter one\", and "
                  "\"the basics\" starts the next entry"},
          {3, 48, "the name \"the basics\" Next\" runs across a line break"}}},
        {"double quotes around a name's comma", "T\n{\n  \"Smith, John\", smith.exe\n}\n",
         {{3, 9, "double quotes do not quote in a menu: this comma ends the name after \"Smith\", and \"John\" is the command"}}},
        {"double quotes in a nested description",
         "T\n{\n  Books\n  {\n    Manual, m.pdf, Read \"Part one, Part two\" first\n  }\n}\n",
         {{5, 34, "double quotes do not quote in a menu: this comma ends the description after \"Part one\""}}},
        {"a double quote left open in a command", "T\n{\n  Tool, \"C:\\Tools\\tool.exe /s, Runs the tool\n}\n",
         {{3, 27, "the double quote before \"C:\\Tools\\tool.exe\" is never closed, so the whole command is the file to "
                  "start: \"/s\" is no parameter"}}},
        {"a double quote left open in a nested command",
         "T\n{\n  Apps { Tool, \"%:\\Program Files\\App\\app.exe -x, Runs it }\n}\n",
         {{3, 45, "the double quote before \"E:\\Program Files\\App\\app.exe\" is never closed"}}},
        {"an environment variable in a command", "T\n{\n  Notes, %SystemRoot%\\notepad.exe notes.txt\n}\n",
         {{3, 10, "\"%SystemRoot%\" is not expanded: the menu knows no variables, and '%' only makes the next "
                  "character plain, so this reads \"SystemRoot\\\""}}},
        {"environment variables in a nested command and description",
         "T\n{\n  Links { Temp, explorer %TEMP%\n  }\n  Home, h.exe, Opens %USERPROFILE% for you\n}\n",
         {{3, 26, "\"%TEMP%\" is not expanded"}, {5, 22, "\"%USERPROFILE%\" is not expanded"}}},
        {"a name that ends in the file", "T\n{\n  Viewer view.exe, Shows pictures\n}\n",
         {{3, 9, "the name \"Viewer view.exe\" ends in \"view.exe\", which looks like a file to start, and the command "
                 "\"Shows pictures\" does not: a comma missing after \"Viewer\"?"}}},
        {"a name that ends in a path, nested",
         "T\n{\n  Tools {\n    Notes Editor notes\\edit.exe, Edits your notes\n  }\n}\n",
         {{4, 17, "the name \"Notes Editor notes\\edit.exe\" ends in \"notes\\edit.exe\""}}},
        {"a name that ends in the file, with no command", "T\n{\n  Read the manual manual.pdf\n}\n",
         {{3, 18, "the name \"Read the manual manual.pdf\" ends in \"manual.pdf\", which looks like a file to start, and "
                  "the entry has no command"}}},
        {"sorted as an entry", "Demo\n{\n  sorted,\n  Setup, setup.exe\n}\n",
         {{3, 3, "an entry named \"sorted\" is an item, not an option: options are read only in the header; it takes "
                 "\"Setup\" as its command", 1, 5}}},
        {"size= as a nested entry", "T\n{\n  Demo { size=640x480 }\n}\n",
         {{3, 10, "an entry named \"size=640x480\" is an item, not an option", 1, 2}}},
        {"install as an entry with no command", "Demo Disc\n{\n  install\n}\n",
         {{3, 3, "an entry named \"install\" is an item, not an option", 1, 10}}},
        {"a description running on into the next entry",
         "Demo\n{\n  Readme, readme.txt, Read this first\n  Setup, setup.exe, Installs it,\n  Tools, tools.exe, Handy\n}\n",
         {{3, 38, "the description \"Read this first Setup\" runs on over a line break, and the entry after it reads as "
                  "name \"setup.exe\" with command \"Installs it\": a comma missing at the end of line 3?"}}},
        {"a UTF-8 file: columns in bytes, the mark not counted",
         "\xEF\xBB\xBF" "Demo, Sorted\n{\n  Caf\xC3\xA9 view.exe, Shows pictures\n}\n",
         {{1, 7, "option \"Sorted\" is not recognised"},
          {3, 8, "the name \"Caf\xC3\xA9 view.exe\" ends in \"view.exe\""}}},
        // A `%`, a backslash or a size= that does not do what it looks like.
        {"a percentage in a description", "T\n{\n  Offer, offer.pdf, Save 20% today\n}\n",
         {{3, 28, "\"20%\" shows no percent sign: '%' only makes the next character plain and does not show, so the "
                  "description reads \"Save 20 today\""}}},
        {"percentages in a name", "T\n{\n  50% off and 5%% more, sale.pdf, 100%\n}\n",
         {{3, 5, "\"50%\" shows no percent sign"}, {3, 38, "\"100%\" shows no percent sign"}}},
        {"a URL's escape in a nested command", "T\n{\n  Web { Docs, https://example.com/My%20Docs/, Our docs }\n}\n",
         {{3, 37, "\"%20\" is no URL escape here: '%' only makes the next character plain and does not show, so the "
                  "command reads \"https://example.com/My20Docs/\""}}},
        {"a backslash before a comma", "T\n{\n  Tools, tools.exe, Drivers\\, utilities and more,\n  Next, n.exe\n}\n",
         {{3, 28, "the backslash in \"Drivers\\\" escapes nothing: only '%' does, so the comma after it ends the "
                  "description"}}},
        {"backslashes before braces", "T\n{\n  Notes \\{draft\\}, notes.txt\n}\n",
         {{3, 9, "the backslash in \"Notes \\\" escapes nothing: only '%' does, so the '{' after it opens a level"},
          {3, 16, "the backslash in \"draft\\\" escapes nothing: only '%' does, so the '}' after it closes the level"},
          {3, 18, "an entry with an empty name shows as an item with no text"}}},
        {"backslashes before apostrophes", "T\n{\n  Readme, readme.txt, Don\\'t skip it, it\\'s short\n}\n",
         {{3, 26, "the backslash in \"Don\\\" escapes nothing: only '%' does, so the apostrophe after it opens a "
                  "quoted stretch"},
          {3, 41, "the backslash in \"it\\\" escapes nothing: only '%' does, so the apostrophe after it closes"}}},
        {"a size too small for the controls", "T, size=120x80\n{ A }",
         {{1, 9, "option \"size=120x80\" makes the window too small for its controls: the description box and the "
                 "command box are empty and the Run button reaches past the window's edge"}}},
        {"a size one pixel too narrow, the last of two", "T, size=100x50,\n  size=188x94\n{ A }",
         {{2, 8, "option \"size=188x94\" makes the window too small for its controls: the command box is empty"}}},
        {"a size too narrow for the buttons without a command box", "T, install, size=175x400\n{ A }",
         {{1, 18, "option \"size=175x400\" makes the window too small for its controls: the Run button reaches past"}}},
        {"a nested description running on into the last entry",
         "T\n{\n  Docs\n  {\n    Guide, guide.txt, The full guide\n    License, license.txt, The terms\n  }\n}\n",
         {{5, 37, "the description \"The full guide License\" runs on over a line break"}}},
    };
}

}  // namespace

TEST(CheckWarnings, EachPointsWhereTheMendGoesWithLfAndCrLf)
{
    for (const WarningCase &row : WarningCases()) {
        for (bool crlf : {false, true}) {
            std::string text = crlf ? WithCrLf(row.text) : row.text;
            SCOPED_TRACE(std::string(row.label) + (crlf ? " (CR LF)" : " (LF)") + ": " + text.substr(0, 120));
            Checked checked = CheckText(text);
            ASSERT_EQ(row.warnings.size(), checked.warnings.size()) << Listed(checked.warnings);
            for (size_t i = 0; i < row.warnings.size(); i++) {
                const Expected &want = row.warnings[i];
                const MenuWarning &got = checked.warnings[i];
                EXPECT_EQ(want.line, got.line) << Listed(checked.warnings);
                EXPECT_EQ(want.column, got.column) << Listed(checked.warnings);
                EXPECT_EQ(0u, got.message.rfind(want.start, 0)) << Listed(checked.warnings);
                EXPECT_FALSE(got.note.empty()) << Listed(checked.warnings);
                EXPECT_EQ(want.noteLine ? want.noteLine : want.line, got.noteLine) << Listed(checked.warnings);
                EXPECT_EQ(want.noteLine ? want.noteColumn : want.column, got.noteColumn) << Listed(checked.warnings);
            }
        }
    }
}

TEST(CheckWarnings, CleanTextsStaySilent)
{
    const char *rows[] = {
        ("Demo Disc, sorted, size=640x480\n{\n  Setup, %:\\setup.exe /quiet, 'Installs the demo, then starts it.',\n"
         "  Documents { Manual, docs\\manual.pdf, Opens the manual }\n}\n"),
        "T, install,\n{ A, a.exe, }\n",                        // a comma too many after the options and entries
        "T\n{\n  Tools, , , { Sub, sub.exe, x }\n}\n",        // the documented way to nest after commas
        "T\n{\n  A, a.exe, Installs\n    the demo,\n  B\n}\n", // a description may run over lines
        "T\n{\n  A, 'a\n  b.exe'\n}\n",                        // a line break inside quotes is meant
        "T\n{\n  Setup\n  , s.exe\n}\n",                        // white space before a comma vanishes
        "T{A {B}{C}}\n\n\n",                                    // white space after the list
        "T, 'size=640x480'\n{ 'x ' y, '%:', '' }\n",
        "{ A, a.exe }",
        // Deliberate uses of the format that look like the mistakes above.
        "T\n{\n  Features: 'fast, small', f.exe\n}\n",             // a quote opened after text and a space
        "T\n{\n  Quote, q.exe, 'He said \"yes, please\"'\n}\n",     // a quoted comma inside double quotes
        "T\n{\n  Say \"yes%, please\", say.exe\n}\n",               // an escaped one
        "T\n{\n  3.5\" disk, \"A:\\setup.exe\" /q\n}\n",             // an inch mark, then a quoted file
        "T\n{\n  A, a.exe, 'Line one,\nline two, and {more}'\n}\n",  // a quote over lines, at a field's start
        "T\n{\n  It%'s fine, a.exe, Don%'t worry\n}\n",            // escaped apostrophes
        "T\n{\n  Temp, explorer %%TEMP%%, Shows %%TEMP%%\n}\n",    // percent signs on purpose
        "T\n{\n  A, %:\\a.exe, 100%% sure%: %{x%} %a\n}\n",         // escapes of other kinds
        "T\n{\n  A, cmd /c echo \", lone quote\n}\n",              // a lone double quote in the parameters
        "T\n{\n  A, '\"Program Files\\App\\app.exe'\n}\n",          // a quote open to the end of a lone name
        "T\n{\n  Docs\\Manuals { Guide, guide.txt }\n}\n",         // a parent named like a path
        "T\n{\n  Node.js, node.exe, Runs scripts\n}\n",            // a name like a file whose command is one
        "T\n{\n  Open readme.txt, notepad readme.txt\n}\n",        // a command that names a file after its program
        "T\n{\n  install, setup.exe, Installs it\n}\n",            // an entry named install, with a command
        "T\n{\n  Tools { A }\n  More { B } Next, n.exe\n}\n",       // nested levels without commas after '}'
        "T\n{\n  A, a.exe, Installs\n    the demo,\n  readme.txt, notepad readme.txt\n}\n",  // a description over lines
        "T\n{\n  A, a.exe, 100%% sure: 5%' 5%, 5%: 5%{ 5%}\n}\n",  // escapes after digits, of the format's characters
        "T\n{\n  Name% , a.exe, A space kept% \n}\n",             // a space kept before a comma
        "T\n{\n  Setup, setup.exe, Installs into C:\\Demo\\,\n  Browse, explorer %:\\, Browse the disc\n}\n",
        "T\n{\n  Docs, docs\\manuals\\, Opens %:\\,\n  Manuals, m.exe, In docs\\manuals\\\n}\n",  // paths ending in '\'
        "T\n{\n  A, cmd /c echo 5% a\\, b\n}\n",                  // commands are not prose
        "T, size=100x50, size=189x94\n{ A }\n",                    // the smallest size, and the last one counts
        "T, size=176x94, install\n{ A }\n",                        // narrower with no command box
    };
    for (const char *text : rows) {
        for (bool crlf : {false, true}) {
            std::string input = crlf ? WithCrLf(text) : text;
            SCOPED_TRACE(input);
            EXPECT_EQ(0u, CheckText(input).warnings.size()) << Listed(CheckText(input).warnings);
        }
    }
}

namespace {

// A disc folder: setup.exe, docs/Manual.PDF, Program Files/App/app.exe.
std::string MakeDisc()
{
    char folder[] = "/tmp/quorlan-check-XXXXXX";
    if (!mkdtemp(folder)) return "";
    std::string disc = folder;
    mkdir((disc + "/docs").c_str(), 0700);
    mkdir((disc + "/Program Files").c_str(), 0700);
    mkdir((disc + "/Program Files/App").c_str(), 0700);
    for (const char *name : {"/setup.exe", "/docs/Manual.PDF", "/Program Files/App/app.exe"}) {
        FILE *file = fopen((disc + name).c_str(), "wb");
        if (file) fclose(file);
    }
    return disc;
}

void RemoveDisc(const std::string &disc)
{
    for (const char *name : {"/setup.exe", "/docs/Manual.PDF", "/Program Files/App/app.exe"})
        remove((disc + name).c_str());
    for (const char *name : {"/Program Files/App", "/Program Files", "/docs", ""}) rmdir((disc + name).c_str());
}

}  // namespace

TEST(CheckWarnings, CommandsFilesAreLookedForOnTheDisc)
{
    std::string disc = MakeDisc();
    ASSERT_FALSE(disc.empty());
    // The commands' files, and a name ending in a file to start: with the
    // file check only a file the disc holds counts, as the comma missing
    // before it is then likely.
    struct {
        const char *entry;  // as written in the menu
        long column;        // of the one warning, or 0 for none
        const char *fragment;
    } rows[] = {
        {"A, setup.exe", 0, nullptr},
        {"A, SETUP.EXE /q", 0, nullptr},
        {"A, %:\\setup.exe /quiet", 0, nullptr},
        {"A, %:setup.exe", 0, nullptr},
        {"A, \\setup.exe", 0, nullptr},
        {"A, docs\\manual.pdf", 0, nullptr},
        {"A, '\"%:\\Program Files\\App\\app.exe\" -x'", 0, nullptr},
        {"A, '\"Program Files\\App\\app.exe'", 0, nullptr},
        {"A, docs\\", 0, nullptr},
        {"A, .", 0, nullptr},
        {"A, notepad readme.txt", 0, nullptr},             // found on the path
        {"A, http://example.com/a.html", 0, nullptr},      // an address
        {"A, C:\\Windows\\notepad.exe", 0, nullptr},       // another drive
        {"A, E:\\missing.exe", 0, nullptr},                // a drive named in the file, not %:
        {"A, \\\\server\\share\\x.exe", 0, nullptr},       // a network path
        {"A, missing.exe", 6, "the command's file \"missing.exe\" is not in the menu's folder"},
        {"A, %:\\missing.exe", 6, "is not in the menu's folder"},
        {"A, docs\\missing.pdf", 6, "is not in the menu's folder"},
        {"A, setup.exe\\x", 6, "is not in the menu's folder"},
        {"A, '\"%:\\Program Files\\App\\gone.exe\" -x'", 7, "is not in the menu's folder"},
        {"Installer setup.exe, Installs the demo", 12, "ends in \"setup.exe\", a file on the disc,"},
        {"Guide docs\\MANUAL.pdf, Opens the guide", 8, ", a file on the disc,"},
        {"Guide %:\\docs\\manual.pdf", 8, ", a file on the disc,"},
        {"Viewer view.exe, Shows pictures", 0, nullptr},
        {"Installer setup.exe, setup.exe", 0, nullptr},
    };
    for (auto &row : rows) {
        std::string text = std::string("T\n{\n  ") + row.entry + "\n}\n";
        SCOPED_TRACE(text);
        Checked checked = CheckText(text, true, disc);
        ASSERT_EQ(row.column ? 1u : 0u, checked.warnings.size()) << Listed(checked.warnings);
        if (row.column) {
            EXPECT_EQ(3, checked.warnings[0].line);
            EXPECT_EQ(row.column, checked.warnings[0].column);
            EXPECT_NE(std::string::npos, checked.warnings[0].message.find(row.fragment));
        }
        for (const MenuWarning &w : CheckText(text, false, disc).warnings)
            EXPECT_TRUE(w.message.find("the disc") == std::string::npos &&
                        w.message.find("the menu's folder") == std::string::npos)
                << "without the file check: " << w.message;
    }
    RemoveDisc(disc);
}

// Where two names of a folder are one for Windows (a file "SETUP" beside
// a folder "setup"), a command's file is the file and a path goes on
// through the folder, whatever order the file system lists them in; and a
// file removed between two checks is missing at the second.
TEST(CheckWarnings, NamesOneForWindowsAndNamesRemovedAreLookedUpEachCheck)
{
    char folder[] = "/tmp/quorlan-check-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    std::string disc = folder;
    mkdir((disc + "/setup").c_str(), 0700);
    for (const char *name : {"/SETUP", "/setup/x.exe", "/Setup.EXE", "/gone.exe"})
        fclose(fopen((disc + name).c_str(), "wb"));
    struct {
        const char *entry;
        bool missing;  // the one warning says the file is not in the menu's folder
    } rows[] = {
        {"A, %:\\setup", false},
        {"A, %:\\setup\\x.exe", false},
        {"A, %:\\SETUP\\X.EXE", false},
        {"A, setup\\y.exe", true},
        {"A, gone.exe", false},
    };
    for (auto &row : rows) {
        std::string text = std::string("T\n{\n  ") + row.entry + "\n}\n";
        SCOPED_TRACE(text);
        std::vector<MenuWarning> warnings = CheckText(text, true, disc).warnings;
        bool missing = false;
        for (const MenuWarning &w : warnings) missing |= w.message.find("not in the menu's folder") != std::string::npos;
        EXPECT_EQ(row.missing, missing) << Listed(warnings);
    }
    remove((disc + "/gone.exe").c_str());
    std::vector<MenuWarning> warnings = CheckText("T\n{\n  A, gone.exe\n}\n", true, disc).warnings;
    ASSERT_EQ(1u, warnings.size()) << Listed(warnings);
    EXPECT_NE(std::string::npos, warnings[0].message.find("\"gone.exe\" is not in the menu's folder"));
    for (const char *name : {"/SETUP", "/setup/x.exe", "/Setup.EXE"}) remove((disc + name).c_str());
    rmdir((disc + "/setup").c_str());
    rmdir(disc.c_str());
}

// Names beyond ASCII are looked up by the characters Windows gets: the
// menu's bytes in the users' code page (a marked UTF-8 menu converted to
// it), the folder's as UTF-8, case ignored beyond ASCII too. A folder name
// that no Windows gets intact has a warning of its own.
TEST(CheckWarnings, NamesBeyondAsciiAreLookedUpAsWindowsReadsThem)
{
    char folder[] = "/tmp/quorlan-check-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    std::string disc = folder;
    const char *folders[] = {"/Treiber f\xc3\xbcr Windows", "/Treiber f\xc3\xbcr Windows/x64", "/Docs",
                             "/\xd0\x94\xd1\x80\xd0\xb0\xd0\xb9\xd0\xb2\xd0\xb5\xd1\x80\xd1\x8b"};
    const char *files[] = {"/Treiber f\xc3\xbcr Windows/x64/setup.exe",
                           "/Docs/Benutzerhandbuch \xe2\x80\x93 Version 2.pdf",
                           "/\xd0\x94\xd1\x80\xd0\xb0\xd0\xb9\xd0\xb2\xd0\xb5\xd1\x80\xd1\x8b/setup.exe",
                           "/alt\xfc.txt"};  // Latin-1 bytes: not UTF-8
    for (const char *name : folders) mkdir((disc + name).c_str(), 0700);
    for (const char *name : files) fclose(fopen((disc + name).c_str(), "wb"));
    const std::string mark = "\xef\xbb\xbf";
    struct {
        unsigned codePage;
        std::string entry;     // as the menu's bytes
        const char *fragment;  // of the one warning, or nullptr for none
    } rows[] = {
        {1252, "A, '\"%:\\Treiber f\xfcr Windows\\x64\\setup.exe\" /s'", nullptr},
        {1252, "A, '\"%:\\TREIBER F\xdcR WINDOWS\\X64\\SETUP.EXE\"'", nullptr},
        {1252, "A, '\"Docs\\Benutzerhandbuch \x96 Version 2.pdf\"'", nullptr},
        {CP_UTF8, "A, '\"Docs\\Benutzerhandbuch \xe2\x80\x93 Version 2.pdf\"'", nullptr},
        {CP_UTF8, "A, '\"Treiber F\xc3\x9cr Windows\\x64\\setup.exe\"'", nullptr},
        {1251, "A, \xc4\xf0\xe0\xe9\xe2\xe5\xf0\xfb\\setup.exe", nullptr},
        {1251, "A, \xe4\xf0\xe0\xe9\xe2\xe5\xf0\xfb\\SETUP.EXE", nullptr},
        {1252, "A, '\"%:\\Treiber f\xfcr Mac\\setup.exe\" /s'",
         "the command's file \"E:\\Treiber f\xc3\xbcr Mac\\setup.exe\" is not in the menu's folder"},
        {1252, "A, alt\xfc.txt",
         "the command's file \"alt\xc3\xbc.txt\" is on the disc only as \"alt\\xFC.txt\", a name that is not UTF-8"},
        {CP_UTF8, "A, \xd0\x94\xd1\x80\xd0\xb0\xd0\xb9\xd0\xb2\xd0\xb5\xd1\x80\xd1\x8b\\setup.exe",
         "is on the disc as \"\xd0\x94\xd1\x80\xd0\xb0\xd0\xb9\xd0\xb2\xd0\xb5\xd1\x80\xd1\x8b\", which code page "
         "1252 cannot hold"},
    };
    for (auto &row : rows) {
        bool marked = row.codePage == CP_UTF8;
        std::string text = (marked ? mark : "") + "T\n{\n  " + row.entry + "\n}\n";
        SCOPED_TRACE(text);
        std::vector<MenuWarning> warnings = CheckText(text, true, disc, marked ? 1252 : row.codePage).warnings;
        std::vector<MenuWarning> files;
        for (const MenuWarning &w : warnings)
            if (w.message.find("the command's file") != std::string::npos) files.push_back(w);
        ASSERT_EQ(row.fragment ? 1u : 0u, files.size()) << Listed(warnings);
        if (row.fragment) {
            EXPECT_NE(std::string::npos, files[0].message.find(row.fragment)) << Listed(files);
        }
    }
    for (int i = 3; i >= 0; i--) remove((disc + files[i]).c_str());
    for (int i = 3; i >= 0; i--) rmdir((disc + folders[i]).c_str());
    rmdir(disc.c_str());
}

// Menu bytes come out in JSON as the characters the users' code page
// shows for them, escaped where JSON needs it.
// The smallest window a size warning names: every control whole there and
// at larger sizes, one pixel narrower or lower not.
TEST(CheckWindow, TheSmallestWindowIsTheFirstWhole)
{
    for (bool commandShown : {true, false}) {
        int width, height;
        FindSmallestWindow(commandShown, &width, &height);
        EXPECT_NE("", FindCrampedControls(width - 1, height, commandShown));
        EXPECT_NE("", FindCrampedControls(width, height - 1, commandShown));
        for (int w = width; w < width + 400; w += 7)
            for (int h = height; h < height + 400; h += 7)
                ASSERT_EQ("", FindCrampedControls(w, h, commandShown)) << w << "x" << h;
    }
}

TEST(CheckOutput, JsonStringsAreTheCharactersShown)
{
    struct {
        unsigned codePage;
        std::string bytes;
        const char *json;
    } rows[] = {
        {1252, "plain", "\"plain\""},
        {1252, "a \"b\" \\c", "\"a \\\"b\\\" \\\\c\""},
        {1252, "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {1252, std::string("\0\x01\x1f", 3), "\"\\u0000\\u0001\\u001f\""},
        {1252, "\x7f", "\"\x7f\""},
        {1252, "caf\xe9", "\"caf\xc3\xa9\""},
        {1252, "\x80\xff", "\"\xe2\x82\xac\xc3\xbf\""},  // the euro sign, not U+0080
        {1252, "\x81", "\"\xc2\x81\""},                    // undefined: what Windows gives
        {1251, "\xc0\x80", "\"\xd0\x90\xd0\x82\""},
        {932, "\x82\xa0", "\"\xe3\x81\x82\""},
        {65001, "\xc3\xa9\xff", "\"\xc3\xa9\xef\xbf\xbd\""}, // not UTF-8: the replacement character
        {1252, "", "\"\""},
    };
    for (auto &row : rows) {
        UsePlatformText(row.codePage);
        SCOPED_TRACE(QuoteText(row.bytes));
        EXPECT_EQ(row.json, QuoteJson(ShowText(row.bytes)));
    }
    UsePlatformText(1252);
}

// A disc's name written into a menu reads back, in the program's own
// loading, as that name after the drive, and Run gives the shell that file
// (between double quotes where it has a space) and the parameters after it.
TEST(CheckWriteName, TheProgramReadsBackTheName)
{
    struct {
        const char *name, *written;
    } rows[] = {
        {"setup.exe", "%:\\setup.exe"},
        {"50% off.txt", "\"%:\\50%% off.txt\""},
        {"a,b.txt", "%:\\a%,b.txt"},
        {"Don't.txt", "%:\\Don%'t.txt"},
        {"{x}.txt", "%:\\%{x%}.txt"},
        {"two  spaces.txt", "\"%:\\two % spaces.txt\""},
        {"docs\\My Manual.pdf", "\"%:\\docs\\My Manual.pdf\""},
        {"tab\there.txt", "%:\\tab%\there.txt"},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::string written = WriteMenuFileName("%:\\", row.name);
        EXPECT_EQ(row.written, written);
        Checked checked = CheckText("Disc\n{\n  Item, " + written + " /q, d\n}\n");
        ASSERT_EQ(1u, checked.menu.items.size());
        std::string file = std::string("E:\\") + row.name;
        bool quoted = strchr(row.name, ' ') != NULL;
        if (quoted) file = "\"" + file + "\"";  // the shell takes the quoted name as one file
        EXPECT_EQ(file + " /q", checked.menu.items[0].command);
        EXPECT_EQ(file, checked.menu.items[0].file);
        EXPECT_EQ("/q", checked.menu.items[0].parameters);
    }
}

std::string ReadAll(const std::string &path)
{
    std::string out;
    FILE *stream = fopen(path.c_str(), "rb");
    if (!stream) return "(none)";
    for (int c; (c = fgetc(stream)) != EOF;) out += (char)c;
    fclose(stream);
    return out;
}

// Writes bytes over the file in place, as an editor may save it.
void WriteInPlace(const std::string &path, const std::string &bytes)
{
    FILE *stream = fopen(path.c_str(), "r+b");
    if (!stream) stream = fopen(path.c_str(), "wb");
    ASSERT_TRUE(stream);
    fwrite(bytes.data(), 1, bytes.size(), stream);
    fclose(stream);
}

// The write back, as the file system shows it: unchanged bytes leave the
// file and its time alone; new ones replace it whole, keeping its mode, and
// through a symbolic link the file it names, the link staying a link.
TEST(CheckWriteBack, ReplacesTheFileWholeOrLeavesItAlone)
{
    char folder[] = "/tmp/quorlan-write-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    std::string file = std::string(folder) + "/Quorlan.ini", link = std::string(folder) + "/link.ini";
    std::string error;
    WriteInPlace(file, "Disc { A }\r\n");
    chmod(file.c_str(), 0640);
    struct utimbuf old = {1000000000, 1000000000};
    utime(file.c_str(), &old);

    FileAsRead read;
    ASSERT_TRUE(ReadFileWhole(file, &read, &error)) << error;
    EXPECT_EQ("Disc { A }\r\n", read.bytes);
    ASSERT_TRUE(WriteFileAtomically(file, "Disc { A }\r\n", read, &error)) << error;
    struct stat st;
    stat(file.c_str(), &st);
    EXPECT_EQ(1000000000, (long)st.st_mtime) << "unchanged bytes: the file is not touched";

    ASSERT_EQ(0, symlink("Quorlan.ini", link.c_str()));
    ASSERT_TRUE(ReadFileWhole(link, &read, &error)) << error;
    ASSERT_TRUE(WriteFileAtomically(link, "Disc { B }\r\n", read, &error)) << error;
    EXPECT_EQ("Disc { B }\r\n", ReadAll(file));
    lstat(link.c_str(), &st);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    stat(file.c_str(), &st);
    EXPECT_EQ(0640u, st.st_mode & 07777);
    EXPECT_NE(1000000000, (long)st.st_mtime);

    EXPECT_FALSE(WriteFileAtomically(std::string(folder) + "/none/x.ini", "x", read, &error));
    EXPECT_NE("", error);
    remove(link.c_str());
    remove(file.c_str());
    EXPECT_EQ(0, rmdir(folder)) << "no temporary file left behind";
}

// What another program does to the menu while the tool mends it, between
// the reading and the writing back: each leaves its own file (or none)
// there, not the mended one, and no temporary file beside it. Without the
// byte compare a save within one tick of the clock, same size, would pass.
TEST(CheckWriteBack, AFileChangedSinceItWasReadIsLeftAsItIs)
{
    static const char READ[] = "Disc { A }\r\n", SAVED[] = "Disc { C }\r\n";
    struct {
        const char *label;
        void (*change)(const std::string &path, const struct stat &read);
        const char *left;    // the file's bytes after, NULL for no file
        const char *message; // in the error
    } rows[] = {
        {"saved by a rename: a new inode, the same size and time",
         [](const std::string &path, const struct stat &read) {
             WriteInPlace(path + ".new", SAVED);
             struct timespec times[2] = {read.st_atim, read.st_mtim};
             utimensat(AT_FDCWD, (path + ".new").c_str(), times, 0);
             rename((path + ".new").c_str(), path.c_str());
         },
         SAVED, "changed after it was read"},
        {"saved in place, the same size",
         [](const std::string &path, const struct stat &) { WriteInPlace(path, SAVED); }, SAVED,
         "changed after it was read"},
        {"saved in place within one tick: the same size and time",
         [](const std::string &path, const struct stat &read) {
             WriteInPlace(path, SAVED);
             struct timespec times[2] = {read.st_atim, read.st_mtim};
             utimensat(AT_FDCWD, path.c_str(), times, 0);
         },
         SAVED, "changed after it was read"},
        {"grown in place",
         [](const std::string &path, const struct stat &) { WriteInPlace(path, std::string(READ) + "more\r\n"); },
         "Disc { A }\r\nmore\r\n", "changed after it was read"},
        {"removed", [](const std::string &path, const struct stat &) { remove(path.c_str()); }, NULL,
         "was removed after it was read"},
        {"replaced by a named pipe",
         [](const std::string &path, const struct stat &) {
             remove(path.c_str());
             mkfifo(path.c_str(), 0644);
         },
         NULL, "is a named pipe, not a regular file"},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.label);
        char folder[] = "/tmp/quorlan-write-XXXXXX";
        ASSERT_TRUE(mkdtemp(folder));
        std::string file = std::string(folder) + "/Quorlan.ini", error;
        WriteInPlace(file, READ);
        FileAsRead read;
        ASSERT_TRUE(ReadFileWhole(file, &read, &error)) << error;
        struct stat st;
        stat(file.c_str(), &st);
        row.change(file, st);
        EXPECT_FALSE(WriteFileAtomically(file, "Disc, sorted { A }\r\n", read, &error));
        EXPECT_NE(std::string::npos, error.find(row.message)) << error;
        struct stat left;
        if (row.left) {
            EXPECT_EQ(row.left, ReadAll(file));
        } else if (lstat(file.c_str(), &left) == 0) {
            EXPECT_FALSE(S_ISREG(left.st_mode)) << "a file made again";
        }
        remove(file.c_str());
        EXPECT_EQ(0, rmdir(folder)) << "no temporary file left behind";
    }
}

// The tree's item texts: "A|B{C}" for A, then B with the child C.
std::string TreeTexts(const std::vector<CheckedItem> &items)
{
    std::string out;
    for (const CheckedItem &item : items) {
        if (!out.empty()) out += "|";
        out += item.text;
        if (!item.children.empty()) out += "{" + TreeTexts(item.children) + "}";
    }
    return out;
}

// The text after a UTF-16 mark (FF FE, FE FF) in UTF-16 of that order.
std::string InUtf16(const std::string &text)
{
    std::vector<uint16_t> units(text.size());
    units.resize(DecodeText(CP_UTF8, text.data() + 2, (int)text.size() - 2, units.data(), (int)units.size()));
    std::string out = text.substr(0, 2);
    bool little = text[0] == '\xFF';
    for (uint16_t unit : units) {
        char low = (char)(unit & 0xFF), high = (char)(unit >> 8);
        out += little ? std::string{low, high} : std::string{high, low};
    }
    return out;
}

// Proves the menu's fixes as a check does (together, where they can be)
// and each alone: the verdicts must be the same.
void ExpectProvenAsAlone(const std::string &bytes, const CheckSettings &settings)
{
    CheckedMenu menu;
    std::vector<MenuWarning> found;
    CheckMenuBytes(bytes, settings, &menu, &found);
    std::vector<MenuWarning> kept = found;
    KeepProvenFixes(bytes, settings, menu, &kept);
    for (size_t i = 0; i < found.size(); i++) {
        if (!found[i].hasFix) continue;
        std::string why;
        bool alone = ProveFixAlone(bytes, settings, found[i], &why);
        EXPECT_EQ(alone, kept[i].hasFix) << found[i].code << " at " << found[i].line << ":" << found[i].column
                                         << (alone ? "" : ": " + why);
    }
}

// Each fix: the menu before, the exact bytes after, the tree the program
// shows after; in LF and CR LF files, and in a file with the mark. The
// fix is proven by the program's own reading of the result.
TEST(CheckFixes, EachGivesTheBytesAndTheTreeMeant)
{
    int width, height;
    FindSmallestWindow(true, &width, &height);
    std::string smallest = std::to_string(std::max(100, width)) + "x" + std::to_string(std::max(100, height));
    struct {
        const char *code;
        bool safe;
        std::string before, after;
        const char *tree;
        bool onDisc = false;      // the file check on, against MakeDisc's disc; no fix where after is ""
        long column = 0;          // the warning's, where another of its code comes first
    } rows[] = {
        {"option-case", true, "Disc, Sorted\n{\n  A, a.txt\n}\n", "Disc, sorted\n{\n  A, a.txt\n}\n", "A"},
        {"option-space", true, "Disc, size =640x480\n{ A }\n", "Disc, size=640x480\n{ A }\n", "A"},
        {"option-comma", true, "Disc, sorted install\n{ A }\n", "Disc, sorted, install\n{ A }\n", "A"},
        {"size-format", true, "Disc, size=640 x 480\n{ A }\n", "Disc, size=640x480\n{ A }\n", "A"},
        {"size-cramped", false, "Disc, size=100x100\n{ A }\n", "Disc, size=" + smallest + "\n{ A }\n", "A"},
        // What follows the size in its field, which the program does not read, stays.
        {"size-cramped", false, "Disc, size=100x100 'wide\n{ A }\n", "Disc, size=" + smallest + " 'wide\n{ A }\n", "Explore CD"},
        {"title-space", true, "  Disc\n{ A }\n", "Disc\n{ A }\n", "A"},
        {"apostrophe-in-word", true, "Disc\n{\n  A, a.exe, Don't stop and won't stop\n}\n",
         "Disc\n{\n  A, a.exe, Don%'t stop and won%'t stop\n}\n", "A"},
        {"quote-after-word", true, "Disc\n{\n  Users' guide, guide.txt, The guide,\n  Next, next.exe, 'Fast, small'\n}\n",
         "Disc\n{\n  Users%' guide, guide.txt, The guide,\n  Next, next.exe, 'Fast, small'\n}\n", "Users' guide|Next"},
        // The quote closes at the end of a word too: mended alone, that
        // apostrophe would open a quote the file never closes.
        {"quote-after-word", true, "Kids' Disc, sorted\n{\n  Games, games.exe, for the kids'\n}\n",
         "Kids%' Disc, sorted\n{\n  Games, games.exe, for the kids%'\n}\n", "Games"},
        // An apostrophe of a word that nothing closes: between letters, at
        // a word's end before a line end, a comma, a brace, the file's end.
        {"open-quote", true, "Disc\n{\n  Readme, readme.txt, Don't skip this,\n  Setup, setup.exe\n}\n",
         "Disc\n{\n  Readme, readme.txt, Don%'t skip this,\n  Setup, setup.exe\n}\n", "Readme|Setup"},
        {"open-quote", true, "Disc\n{\n  Games, games.exe, for the kids'\n}\n",
         "Disc\n{\n  Games, games.exe, for the kids%'\n}\n", "Games"},
        {"open-quote", true, "Disc\n{\n  Kids' games, games.exe }\n", "Disc\n{\n  Kids%' games, games.exe }\n",
         "Kids' games"},
        {"open-quote", true, "Disc\n{ Users', users.txt }\n", "Disc\n{ Users%', users.txt }\n", "Users'"},
        {"open-quote", true, "Disc\n{ Guides{ users'} }\n", "Disc\n{ Guides{ users%'} }\n", "Guides{users'}"},
        {"open-quote", true, "Disc\n{\n  A, a.exe, the users'", "Disc\n{\n  A, a.exe, the users%'", "A"},
        // A quote opened at a field's start or after a space is meant.
        {"open-quote", true, "Disc\n{\n  A, a.exe, 'never closed\n}\n", "", "A"},
        {"open-quote", true, "Disc\n{\n  Tall, tall.exe, 6' high\n}\n", "", "Tall"},
        {"percent-sign", true, "Disc\n{\n  Sale, sale.exe, 20% off\n}\n", "Disc\n{\n  Sale, sale.exe, 20%% off\n}\n",
         "Sale"},
        {"percent-sign", true, "Disc\n{\n  Web, http://x.org/a%20b.html\n}\n",
         "Disc\n{\n  Web, http://x.org/a%%20b.html\n}\n", "Web"},
        {"backslash-escape", true, "Disc\n{\n  A, a.exe, one\\, two\n}\n", "Disc\n{\n  A, a.exe, one%, two\n}\n", "A"},
        // Either backslash mended alone reads the rest as something else.
        {"backslash-escape", true, "Disc\n{\n  Notes \\{draft\\}, notes.txt\n}\n", "Disc\n{\n  Notes %{draft%}, notes.txt\n}\n",
         "Notes {draft}", false, 16},
        {"double-quote-comma", true, "Disc\n{\n  A, a.exe, say \"yes, no\" here\n}\n",
         "Disc\n{\n  A, a.exe, say \"yes%, no\" here\n}\n", "A"},
        {"double-quote-open", false, "Disc\n{\n  T, \"C:\\Tools\\tool.exe /q\n}\n",
         "Disc\n{\n  T, \"C:\\Tools\\tool.exe\" /q\n}\n", "T"},
        // The note said "type a comma here"; one comma gives the wrong tree.
        {"missing-comma", false,
         "Demo Disc\n{\n  Setup, setup.exe, Installs the demo,\n  Readme\n  Manual, docs\\manual.pdf, Opens the "
         "manual,\n  Tools { Editor, tools\\edit.exe, A small editor }\n}\n",
         "Demo Disc\n{\n  Setup, setup.exe, Installs the demo,\n  Readme,,,\n  Manual, docs\\manual.pdf, Opens the "
         "manual,\n  Tools { Editor, tools\\edit.exe, A small editor }\n}\n",
         "Setup|Readme|Manual|Tools{Editor}"},
        {"missing-comma", false, "Disc\n{\n  A, a.exe\n  B, b.exe, bee\n}\n",
         "Disc\n{\n  A, a.exe,,\n  B, b.exe, bee\n}\n", "A|B"},
        {"missing-comma", false, "Disc\n{\n  A, a.exe, first\n  B, b.exe, bee\n}\n",
         "Disc\n{\n  A, a.exe, first,\n  B, b.exe, bee\n}\n", "A|B"},
        {"open-list", false, "Disc\n{\n  A, a.exe, an A,\n  Sub {\n    B, b.exe\n",
         "Disc\n{\n  A, a.exe, an A,\n  Sub {\n    B, b.exe\n  }\n}\n", "A|Sub{B}"},
        {"open-list", false, "Disc\n{\n  A {{\n    B, b.exe\n", "Disc\n{\n  A {{\n    B, b.exe\n  }\n  }\n}\n", "A{B}"},
        // Each brace's `}` at the indent of its line would write 25 MB.
        {"open-list", false, "Disc\n" + std::string(5000, ' ') + std::string(5000, '{'), "", ""},
        {"no-list", false, "Disc\n  A, a.exe, an A,\n  B, b.exe\n", "Disc\n{\n  A, a.exe, an A,\n  B, b.exe\n}\n", "A|B"},
        // The option's comma took the entry's fields after it: sorted, the tree is in order.
        {"option-entry", false, "Disc\n{\n  sorted,\n  Setup, setup.exe, Installs,\n  Readme, readme.txt\n}\n",
         "Disc, sorted\n{\n  Setup, setup.exe, Installs,\n  Readme, readme.txt\n}\n", "Readme|Setup"},
        {"option-entry", false, "Disc\n{\n  A, a.exe, an A,\n  size=640x480\n}\n",
         "Disc, size=640x480\n{\n  A, a.exe, an A,\n}\n", "A"},
        {"option-entry", false, "Disc,\n{\n  install,,,\n  A, a.exe\n}\n", "Disc, install\n{\n  A, a.exe\n}\n", "A"},
        {"nul-byte", true, std::string("Disc\n{\n  A\0B, a.exe\n}\n", 22), "Disc\n{\n  AB, a.exe\n}\n", "AB"},
        // Safe where the file check finds the file.
        {"double-quote-open", true, "Disc\n{\n  S, \"%:\\setup.exe /q\n}\n", "Disc\n{\n  S, \"%:\\setup.exe\" /q\n}\n", "S",
         true},
        {"name-ends-in-file", true, "Disc\n{\n  Installer setup.exe, Installs the demo\n}\n",
         "Disc\n{\n  Installer, setup.exe, Installs the demo\n}\n", "Installer", true},
        // The one name on the disc close to a missing file, as the disc writes it.
        {"missing-file", false, "Disc\n{\n  Setup, %:\\setpu.exe /q\n}\n", "Disc\n{\n  Setup, %:\\setup.exe /q\n}\n",
         "Setup", true},
        {"missing-file", false, "Disc\n{\n  Manual, docs\\manul.pdf\n}\n", "Disc\n{\n  Manual, docs\\Manual.PDF\n}\n",
         "Manual", true},
        {"missing-file", false, "Disc\n{\n  App, app.exe -x\n}\n", "Disc\n{\n  App, \"Program Files\\App\\app.exe\" -x\n}\n",
         "App", true},
        {"missing-file", false, "Disc\n{\n  Setup, tools\\setup.exe\n}\n", "", "Setup", true}, // in two folders
        {"utf8-unmarked", true, "Disc \xC3\x9C" "bersicht\n{ A }\n", "\xEF\xBB\xBF" "Disc \xC3\x9C" "bersicht\n{ A }\n", "A"},
        // The rest of the row's text in UTF-16, in the order its mark gives.
        {"utf16-file", true, "\xFF\xFE" "Disc \xC3\x9C" "bersicht\n{ A, a.exe, \xF0\x9F\x93\x80 }\n",
         "\xEF\xBB\xBF" "Disc \xC3\x9C" "bersicht\n{ A, a.exe, \xF0\x9F\x93\x80 }\n", "A"},
        {"utf16-file", true, "\xFE\xFF" "Disc\n{ A }\n", "\xEF\xBB\xBF" "Disc\n{ A }\n", "A"},
        {"stray-mark", true, "Disc\n{\n  A\xEF\xBB\xBF, a.exe\n}\n", "Disc\n{\n  A, a.exe\n}\n", "A"},
        // A UTF-16 file's bytes are not its text: its NUL bytes are not removed,
        // nor its list closed, also where it does not decode whole.
        {"nul-byte", true, std::string("\xFF\xFE" "D\0i\0s\0c\0\n\0{\0 \0A\0\n\0\r", 19), "", "A"},
        {"open-list", true, std::string("\xFF\xFE" "D\0i\0s\0c\0\n\0{\0 \0A\0\n\0\r", 19), "", "A"},
        // No edit goes between a CR and its LF, here where "%" makes the CR text.
        {"no-list", false, "Disc,\n%\r\nA, a.exe\n", "", ""},
        // Nor joins a CR and an LF into a CR LF that the file's LFs are not.
        {"nul-byte", true, std::string("Disc\n{\n  A, a.exe\r\0\n}\n", 21), "", "A"},
        {"stray-mark", true, "Disc\n{\n  A, a.exe\r\xEF\xBB\xBF\n}\n", "", "A"},
        // Nor makes a stray mark the file's own, taking out the space before it.
        {"title-space", true, " \xEF\xBB\xBF" "Disc\n{\n  A, a.exe\n}\n", "", "A"},
    };
    const char *MARK = "\xEF\xBB\xBF";
    std::string disc = MakeDisc();
    fclose(fopen((disc + "/docs/setup.exe").c_str(), "wb"));
    for (auto &row : rows) {
        for (int variant = 0; variant < 3; variant++) {
            std::string before = row.before, after = row.after;
            if (variant == 1) before = WithCrLf(before), after = WithCrLf(after);
            // A title that starts with white space stays so after the mark.
            bool encoding = !strcmp(row.code, "utf8-unmarked") || !strcmp(row.code, "utf16-file") ||
                            before.compare(0, 2, "\xFF\xFE") == 0;
            if (variant == 2 && (encoding || std::string(row.before).compare(1, 3, MARK) == 0)) continue; // a marked file is neither
            if (variant == 1 && std::string(row.before).find('\r') != std::string::npos) continue; // its own line ends
            if (variant == 2) before = MARK + before, after = MARK + after;
            if (!strcmp(row.code, "utf16-file")) before = InUtf16(before);
            SCOPED_TRACE(std::string(row.code) + " in " + (variant == 0 ? "LF" : variant == 1 ? "CR LF" : "marked") +
                         ": " + QuoteText(before));
            std::string folder = row.onDisc ? disc : "";
            Checked checked = CheckText(before, row.onDisc, folder);
            const MenuWarning *found = NULL;
            for (const MenuWarning &w : checked.warnings)
                if (w.code == row.code && w.hasFix && !found && (!row.column || w.column == row.column)) found = &w;
            if (row.after.empty()) {
                EXPECT_FALSE(found) << "no fix: " << QuoteText(ApplyFixEdits(before, found->fix.edits));
                continue;
            }
            ASSERT_TRUE(found) << Listed(checked.warnings);
            EXPECT_EQ(row.safe, found->fix.safe);
            EXPECT_EQ(QuoteText(after), QuoteText(ApplyFixEdits(before, found->fix.edits)));
            CheckSettings settings = {1252, 'E', row.onDisc, folder};
            std::string why;
            EXPECT_TRUE(ProveFix(before, settings, *found, &why)) << why;
            ExpectProvenAsAlone(before, settings);
            Checked mended = CheckText(after, row.onDisc, folder);
            EXPECT_EQ(row.tree, TreeTexts(mended.menu.items));
            for (const MenuWarning &w : mended.warnings) EXPECT_NE(row.code, w.code) << Listed(mended.warnings);
        }
    }
    remove((disc + "/docs/setup.exe").c_str());
    RemoveDisc(disc);
}

// A check proves the fixes of a menu together where their stretches are
// apart, and each alone where they meet: over menus of many fixes of every
// kind (the fuzzer's seeds, the cases, slips in every entry, in every
// other one, two to an entry), each verdict is that of the fix made alone.
TEST(CheckFixes, ProvenTogetherAsEachAlone)
{
    std::vector<std::string> menus;
    for (const char *folder : {"/fuzz/corpus/menu", "/check/tests/cases"}) {
        std::string path = std::string(QUORLAN_SOURCE_DIR) + folder;
        DIR *dir = opendir(path.c_str());
        ASSERT_TRUE(dir) << path;
        while (struct dirent *entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ini") == 0) menus.push_back(ReadAll(path + "/" + name));
        }
        closedir(dir);
    }
    std::string every = "Offers\n{\n", other = every, two = every;
    for (int i = 1; i <= 30; i++) {
        std::string n = std::to_string(i);
        every += "  Offer " + n + ", offer.pdf, Save 20% today,\n";
        other += "  Offer " + n + ", offer.pdf, Save 20%" + (i % 2 ? "" : "%") + " today,\n";
        two += "  Offer " + n + " 5% off, offer.pdf, Save 20% today,\n";
    }
    for (std::string *menu : {&every, &other, &two}) menus.push_back(*menu + "}\n");
    for (const std::string &menu : menus) {
        SCOPED_TRACE(QuoteText(menu.substr(0, 200)));
        for (unsigned codePage : {1252u, 65001u}) ExpectProvenAsAlone(menu, {codePage, 'E', false, ""});
        ExpectProvenAsAlone(WithCrLf(menu), {1252, 'E', false, ""});
    }
}

// Where every fix changes how the rest of the file reads (no entry ends
// with its comma), no two readings get back in step and each fix needs a
// reading of its own: the proofs stop at their share of readings, so the
// check ends in a moment, not in minutes. The first fixes are offered,
// each as proven alone, and the rest left unproven, said so, for the
// check after those are made.
TEST(CheckFixes, FixesThatChangeTheRestAreProvenFirstOnly)
{
    std::string menu = "Demo\r\n{\r\n";
    for (int i = 0; i < 2000; i++) menu += "  Entry " + std::to_string(i) + ", e.exe, Starts it\r\n";
    menu += "}\r\n";
    CheckSettings settings = {1252, 'E', false, ""};
    CheckedMenu checked;
    std::vector<MenuWarning> found;
    CheckMenuBytes(menu, settings, &checked, &found);
    std::vector<MenuWarning> kept = found;
    KeepProvenFixes(menu, settings, checked, &kept);
    // The server's quick fixes take the check's verdicts (ProveFix), and
    // those made alone must agree; the verdicts first, as no check may
    // start between them and the check's.
    size_t offered = 0, fixable = 0;
    for (size_t i = 0; i < found.size(); i++) {
        if (!found[i].hasFix) continue;
        fixable++;
        std::string why;
        EXPECT_EQ(kept[i].hasFix, ProveFix(menu, settings, found[i], &why));
        if (!kept[i].hasFix && offered) {
            EXPECT_NE(std::string::npos, why.find("unproven")) << why;
        }
        offered += kept[i].hasFix;
    }
    // The first fix offered and the last (each alone is a whole reading).
    size_t first = found.size(), last = found.size();
    for (size_t i = 0; i < found.size(); i++)
        if (kept[i].hasFix) last = i, first = std::min(first, i);
    for (size_t i : {first, last}) {
        if (i == found.size()) continue;
        std::string why;
        EXPECT_TRUE(ProveFixAlone(menu, settings, found[i], &why)) << found[i].line << ": " << why;
    }
    ASSERT_GT(fixable, 1000u);
    EXPECT_TRUE(kept[0].hasFix || !found[0].hasFix) << Listed(found);
    EXPECT_GT(offered, 10u);
    EXPECT_LT(offered, fixable);
}

// Mends that read back as another tree than the warning means: each gives
// what it records, yet changes an entry the warning does not name, or
// ends an error only to make another. The first is the comma the
// missing-comma note once asked for.
TEST(CheckFixes, NoneIsKeptThatChangesAnotherEntry)
{
    const std::string readme = "Demo Disc\n{\n  Setup, setup.exe, Installs the demo,\n  Readme\n  Manual, "
                               "docs\\manual.pdf, Opens the manual,\n  Tools { Editor, tools\\edit.exe, A small editor }\n}\n";
    struct {
        std::string before;
        const char *at;           // the warning's byte: the first of this text
        std::string insert;       // put just before it
        const char *why;
    } rows[] = {
        {readme, "\n  Manual", ",", "the fix gives an entry \"Opens the manual\" that the warning does not name"},
        {"Disc\n{\n  A, a.exe, one two,\n  B, b.exe, bee,\n}\n", " two", ",",
         "the fix gives an entry \"two\" that the warning does not name"},
        // The entry after keeps its place but moves a level down.
        {"Disc\n{\n  A, a.exe, x,\n  B, b.exe\n}\n", "\n  B", " {",
         "the entry \"B\", which the warning does not name, has changed"},
        // Two errors end (the header's '}' and no list) and the last
        // apostrophe opens a quote never closed.
        {"Kids' Disc, sorted\n{\n  Games, games.exe, for the kids'\n}\n", "' Disc", "%",
         "the fix makes a new error [open-quote]"},
    };
    CheckSettings settings = {1252, 'E', false, ""};
    for (auto &row : rows) {
        SCOPED_TRACE(QuoteText(row.before));
        MenuWarning warning;
        warning.code = "option-case"; // none in these menus
        warning.error = false;
        warning.offset = (long)row.before.find(row.at);
        warning.hasFix = true;
        warning.fix.edits = {{warning.offset, 0, row.insert, 0, 0, 0, 0, row.insert}};
        std::string why;
        EXPECT_FALSE(ProveFix(row.before, settings, warning, &why));
        EXPECT_EQ(row.why, why);
    }
}

// The stretches an editor folds and selects through, on nested menus: each
// level from its `{` to its `}`, each quoted stretch, and the chain of
// stretches round a byte, written as "[start,end)" in the file's bytes.
static std::string Ranges(const std::vector<ByteRange> &ranges)
{
    std::string out;
    for (const ByteRange &r : ranges) out += "[" + std::to_string(r.start) + "," + std::to_string(r.end) + ")";
    return out;
}

TEST(CheckOutline, FoldsLevelsAndQuotesAndSelectsOutward)
{
    static const struct {
        const char *text;
        long pos;                 // a byte to select round
        const char *levels, *quotes, *selection;
    } rows[] = {
        {"T\n{\nA,a.exe,\n}\n", 5, "[2,14)", "", "[4,5)[4,11)[2,14)"},
        {"T{G{A,a.exe,}}", 4, "[3,13)[1,14)", "", "[4,5)[4,11)[3,13)[1,14)"},
        {"T{G{H{A,a,d}}}", 8, "[5,12)[3,13)[1,14)", "", "[8,9)[6,11)[5,12)[3,13)[1,14)"},
        {"T{A,a,'one\ntwo'}", 7, "[1,16)", "[6,15)", "[7,14)[2,14)[1,16)"},
        {"T{G{A,a,", 6, "[3,8)[1,8)", "", "[6,7)[4,7)[3,8)[1,8)"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        MenuOutline outline;
        CheckSettings settings = {1252, 'E', false, ""};
        ASSERT_TRUE(FindMenuOutline(row.text, settings, &outline));
        EXPECT_EQ(row.levels, Ranges(outline.levels));
        EXPECT_EQ(row.quotes, Ranges(outline.quotes));
        EXPECT_EQ(row.selection, Ranges(FindSelectionRanges(outline, row.pos)));
    }
}

// The header's hover: the caption, the options, and the smallest size.
TEST(CheckOutline, DescribesTheHeader)
{
    static const struct {
        const char *text;
        const char *shows[3];
    } rows[] = {
        {"Disc, sorted, size=640x480 {}", {"**Disc**", "`sorted`", "640 x 480 pixels"}},
        {"{}", {"**Program List**", "No option in effect", "smallest size"}},
        {"D, install, size=50x50 {}", {"`install`", "At that size", "smallest size"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        MenuOutline outline;
        CheckSettings settings = {1252, 'E', false, ""};
        ASSERT_TRUE(FindMenuOutline(row.text, settings, &outline));
        std::string hover = DescribeHeader(outline.menu);
        for (const char *part : row.shows) EXPECT_NE(std::string::npos, hover.find(part)) << hover;
    }
}
