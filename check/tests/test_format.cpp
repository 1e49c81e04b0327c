/*
 * The house layout: a table of menus beside their formatted bytes, with a
 * row for each white space that the program keeps; the files that stay as
 * they are; the errors that leave a file unformatted; and the proof over
 * every menu of the tests (the checker's cases, the end-to-end cases, the
 * fuzz seeds): the result reads as before, which LayOutMenu proves itself,
 * and a second pass changes nothing.
 */
#include <gtest/gtest.h>

#include "../mend/format.h"

#include <dirent.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

CheckSettings Settings()
{
    CheckSettings settings;
    settings.codePage = 1252;
    settings.drive = 'E';
    settings.checkFiles = false;
    return settings;
}

// Formats the whole menu; fails the test on a problem.
std::string Formatted(const std::string &bytes, const std::string &what)
{
    MenuLayout layout;
    LayOutMenu(bytes, Settings(), -1, -1, &layout);
    EXPECT_EQ(layout.problem, "") << what;
    return ApplyLayout(bytes, layout.edits);
}

std::string ReadFile(const std::string &path)
{
    std::string bytes;
    FILE *in = fopen(path.c_str(), "rb");
    if (!in) return bytes;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), in)) > 0) bytes.append(buffer, got);
    fclose(in);
    return bytes;
}

std::vector<std::string> ListFiles(const std::string &folder, const std::string &suffix)
{
    std::vector<std::string> names;
    DIR *dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(folder + "/" + name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

const std::string SOURCE = QUORLAN_SOURCE_DIR;

struct LayoutRow {
    const char *what;
    std::string menu, formatted;
};

const LayoutRow LAYOUTS[] = {
    {"entries two spaces deeper per level, each brace on a line of its own",
     "Demo{Setup,setup.exe,Installs it,Tools{Editor,notepad}Last}",
     "Demo\n{\n  Setup, setup.exe, Installs it,\n  Tools\n  {\n    Editor, notepad\n  }\n  Last\n}\n"},
    {"other indentation and spacing",
     "Demo\n  {\n\t Setup ,  setup.exe\t,Installs it  ,\n Readme , readme.txt\n    }",
     "Demo\n{\n  Setup, setup.exe, Installs it,\n  Readme, readme.txt\n}\n"},
    {"a break after a comma stays, the next field two spaces deeper",
     "Demo\n{\n  Setup, setup.exe,\nInstalls it,\n    Tools\n  {\n  Editor,\n notepad\n  }\n}\n",
     "Demo\n{\n  Setup, setup.exe,\n    Installs it,\n  Tools\n  {\n    Editor,\n      notepad\n  }\n}\n"},
    {"a break before a comma goes",
     "Demo\n{\n  Setup\n  , setup.exe\n}\n", "Demo\n{\n  Setup, setup.exe\n}\n"},
    {"one blank line kept between entries, none after a brace",
     "Demo\n{\n\n  A, a, a,\n\n\n\n  B\n  {\n\n    C\n\n  }\n\n\n  D\n\n}\n\n\n",
     "Demo\n{\n  A, a, a,\n\n  B\n  {\n    C\n  }\n\n  D\n}\n"},
    {"no white space at the ends of lines, one line break at the end",
     "Demo  \n{  \n  A, a  \n}  \t\n\n", "Demo\n{\n  A, a\n}\n"},
    {"each line keeps its own ending", "Demo\r\n{\n  A, a, d,\r\n  B{C}\n}\r\n",
     "Demo\r\n{\n  A, a, d,\r\n  B\n  {\n    C\n  }\n}\r\n"},
    {"a lone CR is a space", "Demo\r{\r  A,\ra\r}\r", "Demo\n{\n  A, a\n}\n"},
    {"a line break inside a field stays, and the line after it is indented",
     "Demo\n{\n  Readme\nSetup, s.exe, first line\n      second line\n}\n",
     "Demo\n{\n  Readme\n    Setup, s.exe, first line\n    second line\n}\n"},
    {"white space folded inside a field becomes one space", "Demo\n{\n  Read \t me,  a   b\n}\n",
     "Demo\n{\n  Read me, a b\n}\n"},
    {"inside quotes nothing changes", "Demo\n{\n  A,a,  'x ,  {y} \n   z  '  ,B\n}\n",
     "Demo\n{\n  A, a, 'x ,  {y} \n   z  ',\n  B\n}\n"},
    {"escaped commas and braces are text", "Demo\n{\n  A%,b,c%{d%}  ,e%,\n}\n",
     "Demo\n{\n  A%,b, c%{d%}, e%,\n}\n"},
    {"the space of % before a comma", "Demo\n{\n  A% ,b\n}\n", "Demo\n{\n  A% , b\n}\n"},
    {"the space of % at the end of a line", "Demo\n{\n  A, setup.exe% \n  , c\n}\n",
     "Demo\n{\n  A, setup.exe% , c\n}\n"},
    {"the space of % before a line break inside a field", "Demo\n{\n  A, setup.exe% \n  -x\n}\n",
     "Demo\n{\n  A, setup.exe% \n    -x\n}\n"},
    {"white space at the start of the file is the title's first character", " \t Demo, sorted\n{\n  A\n}\n",
     " \t Demo, sorted\n{\n  A\n}\n"},
    {"white space at the start before the list's brace goes", "  \n{\n  A\n}\n", "{\n  A\n}\n"},
    {"a file ending inside its list keeps the end of its last field", "Demo\n{\n  A, a", "Demo\n{\n  A, a"},
    {"a file ending inside its list with white space keeps its space", "Demo\n{\n  A, a \n\n",
     "Demo\n{\n  A, a\n"},
    {"a file ending inside its list after a comma", "Demo\n{\n  A, a,  ", "Demo\n{\n  A, a,\n"},
    {"the header stays as written but for the white space after its commas",
     "Demo  Disc ,sorted,\tsize=640x480  {\n  A\n}\n", "Demo  Disc , sorted, size=640x480\n{\n  A\n}\n"},
    {"a header broken after a comma", "Demo,\nsorted\n{\n  A\n}\n", "Demo,\n  sorted\n{\n  A\n}\n"},
    {"a line break inside the header stays as written", "Demo\n   Disc, sorted\n{\n  A\n}\n",
     "Demo\n   Disc, sorted\n{\n  A\n}\n"},
    {"an entry with an empty name after a level", "Demo\n{\n  A { B },C,c\n}\n",
     "Demo\n{\n  A\n  {\n    B\n  }\n  , C, c\n}\n"},
    {"empty fields", "Demo\n{\n  Tools,,,{Sub}\n,,,\n}\n",
     "Demo\n{\n  Tools, , ,\n  {\n    Sub\n  }\n  , , ,\n}\n"},
    {"an empty quote before a comma keeps the space before it", "Demo\n{\n  x '' , y\n}\n",
     "Demo\n{\n  x '', y\n}\n"},
    {"an empty quote after a comma", "Demo\n{\n  x,''  y\n}\n", "Demo\n{\n  x, '' y\n}\n"},
    {"an escaped line break", "Demo\n{\n  A%\n b, c\n}\n", "Demo\n{\n  A%\n    b, c\n}\n"},
    {"the drive letter", "Demo\n{\n  A,%:\\a.exe ,  '%:\\b'\n}\n", "Demo\n{\n  A, %:\\a.exe, '%:\\b'\n}\n"},
    {"the UTF-8 mark stays", "\xEF\xBB\xBF" "Demo{A}", "\xEF\xBB\xBF" "Demo\n{\n  A\n}\n"},
    {"a list with no header", "{A}", "{\n  A\n}\n"},
    {"a nested level with no item before it", "Demo\n{\n{A}\n}\n", "Demo\n{\n  {\n    A\n  }\n}\n"},
};

TEST(Format, Layouts)
{
    for (const LayoutRow &row : LAYOUTS) {
        EXPECT_EQ(Formatted(row.menu, row.what), row.formatted) << row.what;
        EXPECT_EQ(Formatted(row.formatted, row.what), row.formatted) << row.what << ", formatted again";
    }
}

// A copy of the example disc's menu with other indentation and spacing and
// the same line breaks; its quoted second line is text and stays.
const char EXAMPLE_COPY[] =
    "Quorlan Example Disc,sorted,   size=720x440  \r\n"
    "    {\r\n"
    "Read Me First ,readme.txt ,\r\n"
    "  'Notes for this disc: what is on it, and what each entry does.\r\n"
    "Opens in the program that text files open with.'  ,\r\n"
    "\t\r\n"
    "\tDocuments\r\n"
    "\t{\r\n"
    "\t\tUser Guide,%:\\docs\\guide.txt,\r\n"
    "\t\t'Installing, running and removing the demo, step by step.'   ,\r\n"
    "\t\tRelease Notes,  %:\\docs\\release-notes.txt,   What changed in this version. ,\r\n"
    "\t\tLicense, %:\\docs\\license.txt, 'The terms, in full, as plain text.'\t\r\n"
    "\t}\r\n"
    "\r\n"
    " Tools\r\n"
    " {\r\n"
    "     Text Editor , notepad , 'Starts the system%'s text editor, empty.',\r\n"
    "     Command Prompt , cmd /k cd /d %:\\,\r\n"
    "'A command prompt in the root folder of this disc.',\r\n"
    "     Browse This Disc, explorer %:\\, 'Shows this disc%'s folders, as a file window.'\r\n"
    "  }\r\n"
    "  }   \r\n";

TEST(Format, ExampleComesBack)
{
    std::string example = ReadFile(SOURCE + "/examples/Quorlan.ini");
    ASSERT_FALSE(example.empty());
    EXPECT_EQ(Formatted(EXAMPLE_COPY, "the example's copy"), example);
}

TEST(Format, DiscMenusStay)
{
    for (const char *menu : {"/examples/Quorlan.ini", "/kit/Quorlan.ini"}) {
        std::string bytes = ReadFile(SOURCE + menu);
        ASSERT_FALSE(bytes.empty()) << menu;
        EXPECT_EQ(Formatted(bytes, menu), bytes) << menu;
    }
}

struct ErrorRow {
    const char *what;
    std::string menu;
};

const ErrorRow NOT_FORMATTED[] = {
    {"an apostrophe never closed", "Demo\n{\n  A, 'a\n}\n"},
    {"text after the list", "Demo\n{\n  A\n}\nB\n"},
    {"a header with no brace", "Demo, sorted\n  A, a\n"},
    {"a header ended by a closing brace", "Demo}\n{\n  A\n}\n"},
    {"a field cut at its limit", "Demo\n{\n  " + std::string(1100, 'n') + "\n}\n"},
    {"a NUL that ends a field", std::string("Demo\n{\n  A\0B, a\n}\n", 17)},
};

TEST(Format, ErrorsLeaveTheFileAlone)
{
    for (const ErrorRow &row : NOT_FORMATTED) {
        MenuLayout layout;
        LayOutMenu(row.menu, Settings(), -1, -1, &layout);
        EXPECT_NE(layout.problem, "") << row.what;
        EXPECT_TRUE(layout.edits.empty()) << row.what;
    }
}

// Every menu the tests hold: formatted with its reading proved, and
// formatted again with nothing more to change.
TEST(Format, EveryTestMenu)
{
    std::vector<std::pair<std::string, std::string>> menus;
    for (const char *folder : {"/check/tests/cases", "/fuzz/corpus/menu"})
        for (const std::string &path : ListFiles(SOURCE + folder, ".ini")) menus.push_back({path, ReadFile(path)});
    for (const std::string &path : ListFiles(SOURCE + "/tests/e2e/cases", ".case")) {
        std::string bytes = ReadFile(path);
        size_t at = bytes.find("=== Quorlan.ini\n");
        if (at != std::string::npos) menus.push_back({path, bytes.substr(at + 16)});
    }
    ASSERT_GT(menus.size(), 40u);
    for (const auto &menu : menus) {
        MenuLayout layout;
        LayOutMenu(menu.second, Settings(), -1, -1, &layout);
        // A file with an error stays as it is; any other problem is the proof failing.
        if (!layout.problem.empty()) {
            EXPECT_FALSE(layout.proofFailed) << menu.first << ": " << layout.problem;
            continue;
        }
        std::string once = ApplyLayout(menu.second, layout.edits);
        EXPECT_EQ(CompareReadings(menu.second, once, layout.edits, Settings()), "") << menu.first;
        MenuLayout again;
        LayOutMenu(once, Settings(), -1, -1, &again);
        EXPECT_EQ(again.problem, "") << menu.first;
        EXPECT_TRUE(again.edits.empty()) << menu.first << " changes again:\n" << once;
    }
}

} // namespace
