/*
 * The command launch: how a command line is taken apart into file,
 * parameters and working folder, and what reaches the shell when the
 * command box holds it. Each row is checked twice: through SplitCommand on
 * the text alone, and through RunCommand on a dialog whose command box holds
 * the text, against the recorded ShellExecuteExA structure.
 */
#include <gtest/gtest.h>

#include "subst.h"
#include "../../launch/launch.h"
#include "../../res/resource.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

struct LaunchCase {
    std::string label;
    std::string text;        // what the command box holds
    bool runs;               // false: an empty box, no shell call
    std::string file;
    const char *parameters;  // null: none
    const char *directory;   // null: none
};

// The box is read into COMMAND_BUFFER bytes, so the split sees at most
// this much of any text.
const size_t BOX_TEXT = COMMAND_BUFFER - 1;

std::vector<LaunchCase> LaunchCases()
{
    // 1,023 bytes exactly: the whole text fits the box.
    std::string longFile = "E:\\" + std::string(1010, 'a') + ".exe";  // 1,017 bytes
    std::string exact = longFile + " /q /r";                         // 1,023 bytes
    // Longer than the box: the parameters lose their end at 1,023 bytes.
    std::string tool = "E:\\tools\\run.exe";
    std::string longParameters = std::string(600, 'p') + " " + std::string(600, 'q');
    std::string tooLong = tool + " " + longParameters;
    static std::string cutParameters = longParameters.substr(0, BOX_TEXT - tool.size() - 1);
    static std::string exactFile = longFile;

    return {
        {"plain name", "setup.exe", true, "setup.exe", nullptr, nullptr},
        {"drive path and switch", "E:\\setup.exe /quiet", true, "E:\\setup.exe", "/quiet", "E:"},
        {"quoted path with spaces", "\"C:\\Program Files\\App\\app.exe\" -x \"y z\"", true,
         "\"C:\\Program Files\\App\\app.exe\"", "-x \"y z\"", "C:\\Program Files\\App"},
        {"quotes inside the path", "C:\\\"Program Files\"\\x.exe /s", true, "C:\\\"Program Files\"\\x.exe", "/s",
         "C:\\Program Files"},
        {"program and document", "notepad readme.txt", true, "notepad", "readme.txt", nullptr},
        {"relative document", "docs\\manual.pdf", true, "docs\\manual.pdf", nullptr, "docs"},
        {"two spaces", "a.exe  b", true, "a.exe", " b", nullptr},
        {"trailing space", "a.exe ", true, "a.exe", "", nullptr},
        {"leading space", " setup.exe", true, "", "setup.exe", nullptr},
        {"root of the drive", "\\setup.exe", true, "\\setup.exe", nullptr, ""},
        {"quoted root", "\"\\a.exe\"", true, "\"\\a.exe\"", nullptr, ""},
        {"quote never closed", "\"C:\\a b.exe", true, "\"C:\\a b.exe", nullptr, "C:"},
        {"empty box", "", false, "", nullptr, nullptr},
        {"backslash only in the parameters", "notepad docs\\readme.txt", true, "notepad",
         "docs\\readme.txt", nullptr},
        {"tab in the path", "C:\\My\tDir\\a.exe /x", true, "C:\\My\tDir\\a.exe", "/x",
         "C:\\My\tDir"},
        {"exactly 1,023 bytes", exact, true, exactFile, "/q /r", "E:"},
        {"longer than the box", tooLong, true, tool, cutParameters.c_str(), "E:\\tools"},
    };
}

std::string Repeat(const std::string &piece, int count)
{
    std::string text;
    for (int i = 0; i < count; i++) text += piece;
    return text;
}

std::string Show(const char *text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

}  // namespace

TEST(CommandLaunch, SplitGivesFileParametersAndFolder)
{
    for (const LaunchCase &row : LaunchCases()) {
        if (!row.runs) continue;
        SCOPED_TRACE(row.label + ": \"" + row.text.substr(0, 80) + "\"");
        char text[COMMAND_BUFFER];
        strncpy(text, row.text.c_str(), BOX_TEXT);  // what the box yields
        text[BOX_TEXT] = '\0';
        CommandParts parts;
        SplitCommand(text, &parts);
        EXPECT_EQ(row.file, parts.file);
        EXPECT_EQ(Show(row.parameters), Show(parts.parameters));
        EXPECT_EQ(Show(row.directory), Show(parts.directory));
    }
}

TEST(CommandLaunch, RunHandsTheBoxTextToTheShell)
{
    HWND dlg = SubstCreateMainDialog(NULL);
    for (const LaunchCase &row : LaunchCases()) {
        SCOPED_TRACE(row.label + ": \"" + row.text.substr(0, 80) + "\"");
        ASSERT_TRUE(SetDlgItemTextA(dlg, IDC_COMMAND, row.text.c_str()));
        SubstClearRecords();
        RunCommand(dlg);
        const std::vector<SubstShellCall> &calls = SubstShellCalls();
        if (!row.runs) {
            EXPECT_EQ(0u, calls.size());
            continue;
        }
        ASSERT_EQ(1u, calls.size());
        const SubstShellCall &call = calls[0];
        const SHELLEXECUTEINFOA &info = call.info;
        EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), info.cbSize);
        EXPECT_EQ(0u, info.fMask);
        EXPECT_EQ(dlg, info.hwnd);
        EXPECT_EQ(nullptr, info.lpVerb);
        EXPECT_EQ(SW_SHOWNORMAL, info.nShow);
        EXPECT_EQ(nullptr, info.hInstApp);
        EXPECT_EQ(nullptr, info.lpIDList);
        EXPECT_EQ(nullptr, info.lpClass);
        EXPECT_EQ(nullptr, info.hkeyClass);
        EXPECT_EQ(0u, info.dwHotKey);
        EXPECT_EQ(nullptr, info.hIcon);
        EXPECT_EQ(nullptr, info.hProcess);
        ASSERT_NE(nullptr, info.lpFile);
        EXPECT_EQ(row.file, call.file);
        EXPECT_EQ(Show(row.parameters), call.hasParameters ? Show(call.parameters.c_str()) : "null");
        EXPECT_EQ(Show(row.directory), call.hasDirectory ? Show(call.directory.c_str()) : "null");
    }
    SubstDestroyWindow(dlg);
}

// A file part longer than the folder's storage (only reachable by calling
// the split directly) keeps the folder within its buffer; quotes left out
// of the folder take none of it.
TEST(CommandLaunch, SplitBoundsTheFolderOfAVeryLongPath)
{
    struct {
        const char *label;
        std::string text;
        std::string directory;
    } rows[] = {
        {"unquoted", std::string(3000, 'd') + "\\x.exe", std::string(COMMAND_BUFFER - 1, 'd')},
        {"quoted", "\"" + std::string(3000, 'd') + "\\x.exe\"", std::string(COMMAND_BUFFER - 1, 'd')},
        {"quote before every letter", Repeat("\"d", 2000) + "\\x.exe", std::string(COMMAND_BUFFER - 1, 'd')},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<char> text(row.text.begin(), row.text.end());
        text.push_back('\0');
        CommandParts parts;
        SplitCommand(text.data(), &parts);
        EXPECT_EQ(row.text, parts.file);
        EXPECT_EQ(nullptr, parts.parameters);
        ASSERT_NE(nullptr, parts.directory);
        EXPECT_EQ(row.directory, parts.directory);
    }
}
