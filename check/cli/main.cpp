/*
 * quorlan-check [--json] [--codepage N] [--drive LETTER] [--no-files] [--no-warn CODE]...
 *               [--fix | --fix=all | --diff] [MENUFILE | -]
 * quorlan-check --format [--fix[=all]] [--check] [--diff] [MENUFILE | -]
 * quorlan-check --lsp
 *
 * Shows what the program makes of a menu file (caption, size, options, the
 * tree with each command as the shell would get it) and warns where the
 * file probably does not say what its author meant. Exit status: 0 no
 * warnings, 1 warnings or errors, 2 the file could not be read or written back,
 * standard output could not be written, or the arguments are wrong.
 */
#include "../engine/check.h"
#include "../rules/checker.h"
#include "../mend/fix.h"
#include "../report/report.h"
#include "format_command.h"
#include "../lsp/lsp.h"
#include "write_back.h"

#include "../text/codepage.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

static const char USAGE[] =
    "usage: quorlan-check [--json] [--codepage N] [--drive LETTER] [--no-files] [--no-warn CODE]... [--fix[=all] | --diff] [MENUFILE | -]";

// The help; %s is the list of code pages --codepage takes.
static const char HELP[] =
    "Shows what the disc menu program makes of a menu file, as the users of the\n"
    "disc will see it, and warns where the file probably does not say what its\n"
    "author meant.\n"
    "\n"
    "  MENUFILE        the menu to check; by default Quorlan.ini in the current\n"
    "                  folder, as the program reads it; - reads standard input\n"
    "                  (the files that commands name are then looked up in the\n"
    "                  current folder)\n"
    "  --codepage N    the ANSI code page of the machines the disc is for (default\n"
    "                  1252); texts are shown as those machines show them. One of\n"
    "                  %s\n"
    "  --drive LETTER  what %%: gives (default: the drive of the current folder,\n"
    "                  or D where it has none)\n"
    "  --no-files      do not look for the files that commands name\n"
    "  --no-warn CODE  leave out the warnings of that code (the code in brackets\n"
    "                  after each); may be given more than once\n"
    "  --json          one JSON object instead of the text report\n"
    "  --fix           make every safe fix, each proven by the program's own\n"
    "                  reading, write the file back if it changed (atomically),\n"
    "                  print a line for each fix made, then report what is left;\n"
    "                  with - the mended menu goes to standard output and the\n"
    "                  report to standard error\n"
    "  --fix=all       the same with the suggested fixes too\n"
    "  --diff          print the safe fixes as a unified diff; write nothing\n"
    "  --format        write the menu in the house layout, in place (- writes it\n"
    "                  to standard output), moving only white space that the\n"
    "                  program folds or drops; prints no report. With --fix, the\n"
    "                  fixes first; with --diff, the change as a diff, and nothing\n"
    "                  written\n"
    "  --check         with --format: write nothing, exit 1 if the menu would change\n"
    "  --lsp           serve the Language Server Protocol on standard input and\n"
    "                  output, so that an editor shows the warnings as one types\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "\n"
    "Exit status: 0 no warnings, 1 warnings or errors, 2 the file could not be read or\n"
    "written back, standard output could not be written, or the arguments are wrong.\n"
    "With --format: 0 formatted or already in the layout, 1 with --check the menu\n"
    "would change, 2 as above, or the menu has an error that leaves its structure in\n"
    "doubt (it is then left as it is).\n";

// Yields the code pages --codepage takes, runs joined:
// "874, 1250 to 1258, 932, 936, 949, 950 or 65001 (UTF-8)".
static std::string DescribeCodePages()
{
    std::vector<std::string> parts;
    for (int i = 0; unsigned codePage = ListCodePage(i); i++) {
        if (FindCodePageKind(codePage) == CODE_PAGE_UTF8) {
            parts.push_back(std::to_string(codePage) + " (UTF-8)");
            continue;
        }
        int last = i;
        while (ListCodePage(last + 1) == ListCodePage(last) + 1) last++;
        if (last < i + 2) {
            parts.push_back(std::to_string(codePage));
            continue;
        }
        parts.push_back(std::to_string(codePage) + " to " + std::to_string(ListCodePage(last)));
        i = last;
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); i++)
        out += (i == 0 ? "" : i + 1 == parts.size() ? " or " : ", ") + parts[i];
    return out;
}

static int Fail(const std::string &message)
{
    fprintf(stderr, "quorlan-check: %s\n", message.c_str());
    return 2;
}

// The drive of the current folder, as the program would take it at start-up,
// or D where the folder has none.
static char CurrentDrive()
{
    char folder[4096];
    if (!getcwd(folder, sizeof(folder))) return 'D';
    return isalpha((unsigned char)folder[0]) && folder[1] == ':' ? folder[0] : 'D';
}

// The folder part of a path ("" for none).
static std::string FolderOf(const std::string &path)
{
#ifdef _WIN32
    size_t cut = path.find_last_of("/\\");
#else
    size_t cut = path.find_last_of('/');
#endif
    if (cut == std::string::npos) return "";
    return cut == 0 ? "/" : path.substr(0, cut);
}

static bool s_outputLost; // standard output lost something written to it, and it was said

// Flushes standard output; where it lost anything written to it (a full
// disc, a closed descriptor), says so on standard error, once, and yields
// false: what it should have carried is not there.
static bool FlushOutput()
{
    int code = fflush(stdout) == 0 ? EIO : errno;
    if (!ferror(stdout)) return true;
    if (!s_outputLost) Fail("cannot write standard output: " + std::string(strerror(code)));
    s_outputLost = true;
    return false;
}

// Says each fix made, once the mended menu is where it goes.
static void PrintFixed(FILE *out, const char *fileName, const std::vector<MenuWarning> &fixed)
{
    for (const MenuWarning &w : fixed)
        fprintf(out, DIAGNOSTIC_FORMAT, fileName, w.line, w.column, "fixed", (w.fix.title + " [" + w.code + "]").c_str());
}

static int RunCommand(int argc, char **argv)
{
    bool json = false;
    bool fix = false, fixAll = false, diff = false;
    bool format = false, checkOnly = false;
    CheckSettings settings;
    settings.drive = 0;
    settings.checkFiles = true;
    settings.codePage = 1252;
    const char *fileName = NULL;
    std::vector<std::string> leftOut; // the codes --no-warn names
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (strcmp(arg, "--json") == 0) {
            json = true;
        } else if (strcmp(arg, "--format") == 0) {
            format = true;
        } else if (strcmp(arg, "--check") == 0) {
            checkOnly = true;
        } else if (strcmp(arg, "--fix") == 0 || strcmp(arg, "--fix=all") == 0) {
            fix = true;
            fixAll = fixAll || strcmp(arg, "--fix=all") == 0;
        } else if (strcmp(arg, "--diff") == 0) {
            diff = true;
        } else if (strcmp(arg, "--no-files") == 0) {
            settings.checkFiles = false;
        } else if (strcmp(arg, "--no-warn") == 0) {
            if (i + 1 >= argc) return Fail("--no-warn needs a code; " + std::string(USAGE));
            const char *code = argv[++i];
            if (!FindWarningCode(code)) return Fail("--no-warn takes a warning's code, not \"" + std::string(code) + "\"");
            leftOut.push_back(code);
        } else if (strcmp(arg, "--drive") == 0) {
            if (i + 1 >= argc) return Fail("--drive needs a letter; " + std::string(USAGE));
            const char *letter = argv[++i];
            if (!isalpha((unsigned char)letter[0]) || letter[1] != '\0')
                return Fail("--drive takes one letter, not \"" + std::string(letter) + "\"");
            settings.drive = letter[0];
        } else if (strcmp(arg, "--codepage") == 0) {
            if (i + 1 >= argc) return Fail("--codepage needs a number; " + std::string(USAGE));
            const char *number = argv[++i];
            char *end;
            unsigned long codePage = strtoul(number, &end, 10);
            if (!isdigit((unsigned char)number[0]) || *end || !IsKnownCodePage(codePage))
                return Fail("--codepage takes " + DescribeCodePages() + ", not \"" + std::string(number) + "\"");
            settings.codePage = (unsigned)codePage;
        } else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            printf("%s\n       quorlan-check --format [--fix[=all]] [--check] [--diff] [MENUFILE | -]\n"
                   "       quorlan-check --lsp\n", USAGE);
            printf(HELP, DescribeCodePages().c_str());
            return 0;
        } else if (strcmp(arg, "--version") == 0) {
            printf("quorlan-check %s\n", QUORLAN_VERSION);
            return 0;
        } else if (strcmp(arg, "--lsp") == 0) {
            return Fail("--lsp takes no other arguments: the editor gives the settings");
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return Fail("unknown option " + std::string(arg) + "; " + USAGE);
        } else if (fileName) {
            return Fail("one menu file at most; " + std::string(USAGE));
        } else {
            fileName = arg;
        }
    }
    if (checkOnly && !format) return Fail("--check goes with --format; " + std::string(USAGE));
    if (format && json) return Fail("--format prints no report, in JSON or otherwise");
    if (!fileName) fileName = MENU_FILE_NAME;
    if (!settings.drive) settings.drive = CurrentDrive();
    bool standardInput = strcmp(fileName, "-") == 0;
    settings.menuFolder = standardInput ? "" : FolderOf(fileName);

    // The menu is read once, whole, and checked from memory: the loading
    // starts again from the first byte, which a pipe cannot, and a file
    // read twice might not give the same bytes twice.
    FileAsRead read;
    if (standardInput) {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        if (!ReadStreamWhole(stdin, &read.bytes)) return Fail("cannot read standard input: " + std::string(strerror(errno)));
        fileName = "<stdin>";
    } else {
        std::string error;
        if (!ReadFileWhole(fileName, &read, &error)) return Fail(error);
    }
    const std::string &bytes = read.bytes;

    if (format) {
        UseBinaryStdio(); // the menu's own line ends on standard output
        std::string start = bytes;
        // The fixes first, said on standard error (the output is the
        // layout's) once the layout with them is where it goes.
        std::vector<MenuWarning> fixed;
        if (fix) start = FixMenu(bytes, settings, fixAll, &fixed, leftOut);
        bool delivered;
        int status = FormatMenuFile(standardInput ? NULL : fileName, read, start, settings, checkOnly, diff, &delivered);
        if (delivered && FlushOutput()) PrintFixed(stderr, fileName, fixed);
        return status;
    }

    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    if (!CheckMenuBytesWith(bytes, settings, &menu, &warnings, NULL))
        return Fail("cannot keep " + std::string(fileName) + " for reading: no room for a copy of it");
    KeepProvenFixes(bytes, settings, menu, &warnings);
    FILE *out = stdout;
    if (fix || diff) {
        std::vector<MenuWarning> fixed;
        std::string mended = FixMenu(bytes, settings, fixAll, &fixed, leftOut);
        if (diff) {
            // A fix that saves the file in another encoding rewrites it
            // whole: the diff starts from its text, so that the lines read
            // as text and only the other fixes show, and each side's
            // header names its encoding after a tab, where a diff keeps a
            // date.
            std::string from = bytes, name = fileName, oldName;
            for (const MenuWarning &w : fixed)
                if (w.fix.reencodes) {
                    const FixEdit &edit = w.fix.edits[0];
                    bool whole = w.fix.edits.size() == 1 && edit.offset == 0 && edit.length == (long)bytes.size();
                    if (whole) from = edit.text;
                    oldName = name + (!whole                    ? "\t(UTF-8 without the mark)"
                                      : bytes.compare(0, 2, "\xFF\xFE") == 0 ? "\t(UTF-16 LE)"
                                                                             : "\t(UTF-16 BE)");
                    name += "\t(UTF-8 with the mark)";
                }
            std::string changes = FormatUnifiedDiff(from, mended, name, oldName);
            fwrite(changes.data(), 1, changes.size(), stdout);
            return changes.empty() ? 0 : 1;
        }
        if (standardInput) {
            // The mended menu is the output; what was done goes beside it,
            // once it is out.
            fwrite(mended.data(), 1, mended.size(), stdout);
            if (!FlushOutput()) return 2;
            out = stderr;
        } else {
            std::string error;
            if (!WriteFileAtomically(fileName, mended, read, &error)) return Fail(error);
        }
        PrintFixed(out, fileName, fixed);
        CheckMenuBytes(mended, settings, &menu, &warnings);
        KeepProvenFixes(mended, settings, menu, &warnings);
    }
    LeaveOutWarnings(leftOut, &warnings);

    std::string report = json ? FormatMenuJson(menu, warnings) : FormatMenuText(menu, warnings, fileName);
    fwrite(report.data(), 1, report.size(), out);
    return warnings.empty() ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--lsp") == 0) {
        UseBinaryStdio();
        return ServeLanguageClient(stdin, stdout, QUORLAN_VERSION);
    }
    // Every write to standard output is proven here, at the end: a report,
    // a diff or a menu that did not all go out is a failure.
    int status = RunCommand(argc, argv);
    return FlushOutput() ? status : 2;
}
