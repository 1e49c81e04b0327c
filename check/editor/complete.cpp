/*
 * Completion's engine: where the cursor stands, from the loading's own
 * reports of the menu up to it (the field the end of those bytes ends),
 * and what may be typed there, each item proven by the program's loading.
 */
#include "complete.h"
#include "encoding.h"
#include "../engine/engine.h"
#include "../rules/checker.h"

#include "../engine/files.h"
#include "outline.h"
#include "../engine/quote.h"

#include "../text/codepage.h"

#include <ctype.h>
#include <string.h>

static struct {
    bool found;                   // the field the cursor ends is read
    int kind;                     // MENU_OPTION ...
    FieldScan field;
} s_cursor;

static void StartCursor() { s_cursor.found = false; }

// The first field the end of the bytes ends is the one the cursor is in;
// the loading may read more at that end (an empty level), which is not.
static void TakeCursorField(int kind, const FieldScan &field)
{
    if (s_cursor.found || field.token != TOK_EOF) return;
    s_cursor.found = true;
    s_cursor.kind = kind;
    s_cursor.field = field;
}

static const RuleSet s_cursorFollower = {StartCursor, NULL, TakeCursorField, NULL, NULL, NULL};

void FindMenuCursor(const std::string &bytes, long pos, const CheckSettings &settings, MenuCursor *cursor)
{
    pos = pos < 0 ? 0 : pos > (long)bytes.size() ? (long)bytes.size() : pos;
    *cursor = MenuCursor();
    cursor->place = CURSOR_ELSEWHERE;
    cursor->start = pos;
    std::string before = bytes.substr(0, pos);
    CheckSettings quiet = settings;
    quiet.checkFiles = false;     // where the cursor is needs no listing
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    if (!CheckMenuBytesWith(before, quiet, &menu, &warnings, &s_cursorFollower)) return;
    const FieldScan &field = s_cursor.field;
    if (!s_cursor.found || Followed().inQuote) return;
    if (s_cursor.kind != MENU_OPTION && s_cursor.kind != MENU_COMMAND) return;
    if (field.firstPos >= 0) {
        // A field that starts with a folded space, or holds a quoted
        // stretch, reads otherwise than the text completion writes.
        if (field.leadingFold || before.find('\'', field.firstPos) != std::string::npos) return;
        cursor->start = field.firstPos;
    }
    cursor->place = s_cursor.kind == MENU_OPTION ? CURSOR_OPTION : CURSOR_FILE;
    cursor->typed = Shown(field);
    cursor->fromDrive = field.fromDrive;
}

void CompleteOption(const MenuCursor &cursor, bool install, std::vector<MenuCompletion> *completions)
{
    // Past a space the cursor is past the option (a line break folds to one).
    if (cursor.place != CURSOR_OPTION || cursor.typed.find(' ') != std::string::npos) return;
    static const struct {
        const char *text;
        int option;
        const char *documentation;
    } s_options[] = {
        {"sorted", OPTION_SORTED, "Each level's items in alphabetical order, as the tree sorts them."},
        {"install", OPTION_INSTALL,
         "The command box hidden and the Run button labelled Install, which runs the selected entry's command."},
        {"size=", OPTION_SIZE,
         "`size=WIDTHxHEIGHT`: the window's outer size in pixels, frame and caption included, kept centred; "},
    };
    for (const auto &option : s_options) {
        // The program's own test of an option field.
        if (FindMenuOption(option.text) != option.option) continue;
        MenuCompletion completion;
        completion.label = completion.text = option.text;
        completion.folder = false;
        completion.option = true;
        completion.documentation = option.documentation;
        if (option.option == OPTION_SIZE) completion.documentation += DescribeSmallestWindow(install) + ".";
        completions->push_back(completion);
    }
}

// Yields whether text starts with start, ASCII letters in either case.
static bool StartsWithIgnoringCase(const std::string &text, const std::string &start)
{
    if (start.size() > text.size()) return false;
    for (size_t i = 0; i < start.size(); i++)
        if (tolower((unsigned char)text[i]) != tolower((unsigned char)start[i])) return false;
    return true;
}

// Yields the bytes in the code page as UTF-8, or false when they do not
// read back as the same bytes (a `%` between the two bytes of a character).
static bool ReadInCodePage(unsigned codePage, const std::string &bytes, std::string *utf8)
{
    if (codePage == CP_UTF8 || bytes.empty()) {
        *utf8 = bytes;
        return true;
    }
    std::vector<uint16_t> wide(bytes.size() * 2 + 1);
    int count = DecodeText(codePage, bytes.data(), (int)bytes.size(), wide.data(), (int)wide.size());
    std::string back(bytes.size() * 4 + 4, '\0');
    bool lost = false;
    int length = EncodeText(codePage, wide.data(), count, &back[0], (int)back.size(), &lost);
    if (lost || std::string(back.data(), length) != bytes) return false;
    std::string out(wide.size() * 3 + 3, '\0');
    int written = EncodeText(CP_UTF8, wide.data(), count, &out[0], (int)out.size(), NULL);
    utf8->assign(out.data(), written);
    return true;
}

// One name offered, with what proves it.
struct Candidate {
    std::string written;          // in the menu's bytes
    std::string shellFile;        // what Run must give the shell, in the users' code page
    bool driveFirst;              // the file part starts with `%:`
    MenuCompletion completion;
};

static const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

// Keeps the candidates whose command, in one menu of all of them loaded
// by the program, gives the shell that file, which the file check finds.
static void ProveCandidates(const std::vector<Candidate> &candidates, const CheckSettings &settings,
                            const MenuEncoding &encoding, std::vector<MenuCompletion> *completions)
{
    if (candidates.empty()) return;
    std::string menuBytes = encoding.marked ? BYTE_ORDER_MARK : "";
    menuBytes += "Names\r\n{\r\n";
    for (const Candidate &candidate : candidates) menuBytes += "  Item, " + candidate.written + ", d,\r\n";
    menuBytes += "}\r\n";
    CheckSettings proving = settings;
    proving.checkFiles = true;
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    CheckMenuBytes(menuBytes, proving, &menu, &warnings);
    if (menu.items.size() != candidates.size()) return;  // a name broke the list: none is proven
    for (size_t i = 0; i < candidates.size(); i++) {
        const Candidate &candidate = candidates[i];
        const CheckedItem &item = menu.items[i];
        std::vector<bool> fromDrive(item.file.size(), false);
        size_t driveAt = item.file.compare(0, 1, "\"") == 0 ? 1 : 0;
        if (candidate.driveFirst && driveAt < fromDrive.size()) fromDrive[driveAt] = true;
        if (item.file != candidate.shellFile || !IsFileOnDisc(item.file, fromDrive, proving)) continue;
        MenuCompletion completion = candidate.completion;
        completion.documentation = "The shell gets `" + ShowText(item.file) + "`, the disc's " +
                                   (completion.folder ? "folder" : "file") + ".";
        completions->push_back(completion);
    }
}

void CompleteFilePart(const MenuCursor &cursor, const CheckSettings &settings, const MenuEncoding &encoding,
                      size_t limit, std::vector<MenuCompletion> *completions, bool *cut)
{
    *cut = false;
    if (cursor.place != CURSOR_FILE) return;
    // What is typed: a double quote, then `%:\`, `\` or nothing, then
    // folders each ended by a backslash, then the start of a name, and a
    // closing double quote. A space outside double quotes ends the file part.
    const std::string &typed = cursor.typed;
    bool quoted = !typed.empty() && typed[0] == '"';
    std::string body = typed.substr(quoted ? 1 : 0);
    if (quoted && !body.empty() && body.back() == '"') body.pop_back();
    if (body.find('"') != std::string::npos || (!quoted && body.find(' ') != std::string::npos)) return;
    std::string prefix, shellPrefix, rest = body;
    size_t driveAt = quoted ? 1 : 0;
    if (body.size() >= 2 && body[1] == ':') {
        // Only the disc's own drive, as `%:` gives it.
        if (body.size() < 3 || body[2] != '\\' || driveAt >= cursor.fromDrive.size() || !cursor.fromDrive[driveAt])
            return;
        prefix = "%:\\";
        shellPrefix = body.substr(0, 3);
        rest = body.substr(3);
    } else if (!body.empty() && body[0] == '\\') {
        prefix = shellPrefix = "\\";
        rest = body.substr(1);
    }
    if (rest.find_first_of(":/") != std::string::npos) return;
    size_t last = rest.rfind('\\');
    std::string folders = last == std::string::npos ? "" : rest.substr(0, last + 1);
    std::string partial = rest.substr(folders.size());
    DiscFolder folder;
    if (!ListDiscFolder(folders, settings, &folder)) return;

    bool utf8Text = encoding.marked || encoding.textCodePage == CP_UTF8;
    std::vector<Candidate> candidates;
    for (const DiscName &name : folder.names) {
        if (folder.names.size() > limit && !StartsWithIgnoringCase(name.held, partial)) continue;
        if (candidates.size() == limit) {
            *cut = true;
            break;
        }
        std::string tail = name.folder ? "\\" : "";
        std::string held = folder.held + name.held + tail;
        Candidate candidate;
        std::string path = utf8Text ? folder.utf8 + name.utf8 : folder.held + name.held;
        candidate.written = WriteMenuFileName(prefix, path + tail);
        bool spaced = held.find(' ') != std::string::npos;
        candidate.shellFile = (spaced ? "\"" : "") + shellPrefix + held + (spaced ? "\"" : "");
        candidate.driveFirst = !prefix.empty() && prefix[0] == '%';
        MenuCompletion &completion = candidate.completion;
        if (!ReadInCodePage(encoding.marked ? CP_UTF8 : encoding.textCodePage, candidate.written, &completion.text))
            continue;
        // Shown as it is written, so that the editor's filter, which takes
        // the text typed from the file part's start, finds it.
        completion.label = completion.text;
        completion.folder = name.folder;
        completion.option = false;
        candidates.push_back(candidate);
    }
    ProveCandidates(candidates, settings, encoding, completions);
}

void CompleteMenuAt(const std::string &bytes, long pos, const CheckSettings &settings, int encoding, bool install,
                    bool disc, MenuCursor *cursor, std::vector<MenuCompletion> *completions, bool *cut)
{
    completions->clear();
    *cut = false;
    FindMenuCursor(bytes, pos, settings, cursor);
    CompleteOption(*cursor, install, completions);
    if (!disc) return;
    MenuEncoding written;
    written.marked = encoding == FILE_MARKED_UTF8;
    written.textCodePage = FindTextCodePage(encoding, settings.codePage);
    CompleteFilePart(*cursor, settings, written, MAX_COMPLETIONS, completions, cut);
}

int FindCompletionKind(const MenuCompletion &completion)
{
    const int KIND_KEYWORD = 14, KIND_FILE = 17, KIND_FOLDER = 19;
    return completion.option ? KIND_KEYWORD : completion.folder ? KIND_FOLDER : KIND_FILE;
}
