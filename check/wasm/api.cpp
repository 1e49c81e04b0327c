/*
 * The browser module's binding: the checker's own functions over a menu's
 * bytes, called from JavaScript (checker.js) through plain C functions.
 *
 * Each call takes the menu's bytes and the settings the last
 * quorlan_use_settings gave, and leaves its results in three buffers that
 * stay until the next call: the report (the command line's --json text),
 * the bytes (a mended or laid out menu) and the answer (JSON text of this
 * binding's own, described in docs/wasm.md). Nothing here keeps a menu
 * from call to call: the engine's own caches (the folder index, kept by
 * the folders' times, and the walks of the disc, made afresh each check)
 * are all that outlive a call, and quorlan_forget_disc drops the index
 * when the page gives another disc.
 *
 * What a call does follows the command line (cli/main.cpp) where it has
 * one: check as --json, fix as --fix or --fix=all, format as --format;
 * completion and the words as the language server gives them.
 */
#include "../engine/check.h"
#include "../engine/files.h"
#include "../engine/near_names.h"
#include "../engine/quote.h"
#include "../engine/window.h"
#include "../rules/checker.h"
#include "../mend/fix.h"
#include "../mend/format.h"
#include "../editor/complete.h"
#include "../editor/outline.h"
#include "../editor/words.h"
#include "../report/report.h"
#include "../text/codepage.h"

#include "subst.h"
#include "../../res/resource.h"
#include "../../ui/ui.h"

#include <ctype.h>
#include <malloc.h>
#include <string.h>

#include <emscripten.h>

#include <algorithm>
#include <string>
#include <vector>

// Where the page's disc is put in the module's memory file system (the
// folder above holds it alone, as a disc's copy in a folder of its own).
static const char MENU_FOLDER[] = "/quorlan/disc";

// The most completions at once, as the language server offers them;
// beyond it the list is marked incomplete.
static const size_t MAX_COMPLETIONS = 500;

// The settings of the calls, and the codes whose warnings are left out.
static CheckSettings g_settings = {1252, 'D', true, MENU_FOLDER};
static std::vector<std::string> g_leftOut;

// The last call's results.
static std::string g_report, g_bytes, g_answer;

static std::string Number(long n) { return std::to_string(n); }

static std::string Flag(bool b) { return b ? "true" : "false"; }

static std::string Pair(long a, long b) { return "[" + Number(a) + ", " + Number(b) + "]"; }

static std::string MenuOf(const char *menu, size_t size) { return std::string(menu, size); }

// Starts a call: the last one's results go.
static void StartCall()
{
    g_report.clear();
    g_bytes.clear();
    g_answer.clear();
}

// Drops the warnings whose code the page left out, as --no-warn does.
static void LeaveOutWarnings(std::vector<MenuWarning> *warnings)
{
    if (g_leftOut.empty()) return;
    std::vector<MenuWarning> kept;
    for (MenuWarning &warning : *warnings)
        if (std::find(g_leftOut.begin(), g_leftOut.end(), warning.code) == g_leftOut.end()) kept.push_back(warning);
    warnings->swap(kept);
}

// The fixes made, as the command line's "fixed" lines say them.
static std::string FixedJson(const std::vector<MenuWarning> &fixed)
{
    std::string out = "[";
    for (size_t i = 0; i < fixed.size(); i++) {
        const MenuWarning &w = fixed[i];
        out += std::string(i ? ", " : "") + "{\"code\": " + QuoteJson(w.code) + ", \"line\": " + Number(w.line) +
               ", \"column\": " + Number(w.column) + ", \"title\": " + QuoteJson(w.fix.title) + "}";
    }
    return out + "]";
}

// The report of the bytes, as --json gives it, in g_report; yields the
// exit status (2: no stream reads the bytes).
static int ReportMenu(const std::string &bytes)
{
    CheckedMenu menu;
    std::vector<MenuWarning> warnings;
    if (!CheckMenuBytesWith(bytes, g_settings, &menu, &warnings, NULL)) return 2;
    KeepProvenFixes(bytes, g_settings, menu, &warnings);
    LeaveOutWarnings(&warnings);
    g_report = FormatMenuJson(menu, warnings);
    return warnings.empty() ? 0 : 1;
}

// The line and column of a byte as the warnings count them, for the
// layout's problem: lines end at a line feed, columns count bytes, and a
// UTF-8 mark is not the first line's (as --format says it).
static void FindLineAndColumn(const std::string &bytes, long pos, long *line, long *column)
{
    pos = std::max(0L, std::min(pos, (long)bytes.size()));
    *line = 1 + (long)std::count(bytes.begin(), bytes.begin() + pos, '\n');
    long start = pos;
    while (start > 0 && bytes[start - 1] != '\n') start--;
    if (start == 0 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) start = std::min(3L, pos);
    *column = pos - start + 1;
}

// The controls as the window template names them, in its order.
static const struct {
    int id;
    const char *key, *name, *text;
} s_controls[] = {
    {IDC_TREE, "tree", "the tree", ""},
    {IDC_FRAME, "frame", "the frame", FRAME_TEXT},
    {IDC_DESCRIPTION, "description", "the description box", DESCRIPTION_TEXT},
    {IDC_COMMAND, "command", "the command box", COMMAND_TEXT},
    {IDOK, "run", "the Run button", RUN_TEXT},
    {IDCANCEL, "close", "the Close button", CLOSE_TEXT},
};
static const int CONTROLS = sizeof(s_controls) / sizeof(s_controls[0]);

// Larger windows are cut to the screen; this keeps the layout's sums in
// range (as the checker's own measuring does).
static const int LARGEST_SIDE = 32767;

// Lays the controls out for the outer size as the checker measures them
// (engine/window.cpp): the program's layout over the substitute's dialog,
// in the measured base units and frame; yields the size laid out (the
// platform keeps a window to its smallest size), the client size and the
// controls' rectangles in client pixels.
static void LayOutWindow(int width, int height, int *outerWidth, int *outerHeight, int *clientWidth,
                         int *clientHeight, RECT (&rects)[CONTROLS])
{
    const WindowMeasures &m = g_windowMeasures;
    *outerWidth = std::min(std::max(width, m.smallestWidth), LARGEST_SIDE);
    *outerHeight = std::min(std::max(height, m.smallestHeight), LARGEST_SIDE);
    *clientWidth = std::max(*outerWidth - m.frameWidth, 0);
    *clientHeight = std::max(*outerHeight - m.frameHeight, 0);
    HWND dialog = SubstCreateMainDialog(NULL);
    // The substitute's units are the loading's too: put back what they were.
    RECT before = {0, 0, 4, 8};
    MapDialogRect(dialog, &before);
    SubstSetDialogBaseUnits(m.baseX, m.baseY);
    LayoutControls(dialog, *clientWidth, *clientHeight);
    SubstSetDialogBaseUnits(before.right, before.bottom);
    for (int i = 0; i < CONTROLS; i++) GetWindowRect(GetDlgItem(dialog, s_controls[i].id), &rects[i]);
    SubstDestroyWindow(dialog);
}

// The outer size the window opens at without a size= option: the
// template's client size in the measured base units, and the frame.
static void FindOpeningSize(int *width, int *height)
{
    const WindowMeasures &m = g_windowMeasures;
    HWND dialog = SubstCreateMainDialog(NULL);
    RECT before = {0, 0, 4, 8}, client = {0, 0, MAIN_SIZE};
    MapDialogRect(dialog, &before);
    SubstSetDialogBaseUnits(m.baseX, m.baseY);
    MapDialogRect(dialog, &client);
    SubstSetDialogBaseUnits(before.right, before.bottom);
    SubstDestroyWindow(dialog);
    *width = client.right + m.frameWidth;
    *height = client.bottom + m.frameHeight;
}

// The tree's items as the window shows them, each with what the shell
// gets for it and where its entry stands in the file.
static void WriteItems(const std::vector<CheckedItem> &items, std::string *out)
{
    *out += "[";
    for (size_t i = 0; i < items.size(); i++) {
        const CheckedItem &item = items[i];
        *out += std::string(i ? ", " : "") + "{\"text\": " + QuoteJson(ShowText(item.text));
        *out += ", \"start\": " + Number(item.start) + ", \"end\": " + Number(item.end) +
                ", \"nameStart\": " + Number(item.nameStart) + ", \"nameEnd\": " + Number(item.nameEnd);
        if (item.hasRecord) {
            *out += ", \"record\": {\"name\": " + QuoteJson(ShowText(item.name)) +
                    ", \"command\": " + QuoteJson(ShowText(item.command)) +
                    ", \"description\": " + QuoteJson(ShowText(item.description)) + ", \"launch\": ";
            if (item.launches)
                *out += "{\"file\": " + QuoteJson(ShowText(item.file)) + ", \"parameters\": " +
                        (item.hasParameters ? QuoteJson(ShowText(item.parameters)) : "null") +
                        ", \"directory\": " + (item.hasDirectory ? QuoteJson(ShowText(item.directory)) : "null") +
                        "}}";
            else
                *out += "null}";
        } else {
            *out += ", \"record\": null";
        }
        *out += ", \"children\": ";
        WriteItems(item.children, out);
        *out += "}";
    }
    *out += "]";
}

static std::string RangesJson(const std::vector<ByteRange> &ranges)
{
    std::string out = "[";
    for (size_t i = 0; i < ranges.size(); i++) out += (i ? ", " : "") + Pair(ranges[i].start, ranges[i].end);
    return out + "]";
}

// The words' kinds and flags as the language server names them for its
// semantic tokens (the protocol's standard types and modifiers), in the
// order of WORD_TITLE ... and WORD_ESCAPED, WORD_QUOTED.
static const char *const s_wordTypes[WORD_KINDS] = {"namespace", "keyword", "number",  "property", "function",
                                                    "parameter", "string",  "macro",   "operator", "comment"};
static const char *const s_wordModifiers[] = {"modification", "readonly"};

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

extern "C" {

// Takes the settings of the calls that follow: the users' code page, the
// drive letter %: gives, whether the files that commands name are looked
// for, and the codes left out, each ended by a line feed. Yields 0, or
// 2 with the command line's message in the answer where one is wrong.
EMSCRIPTEN_KEEPALIVE int quorlan_use_settings(unsigned codePage, int drive, int checkFiles, const char *leftOut)
{
    StartCall();
    std::vector<std::string> codes;
    for (const char *at = leftOut; *at;) {
        const char *end = strchr(at, '\n');
        if (!end) end = at + strlen(at);
        std::string code(at, end);
        if (!FindWarningCode(code)) {
            g_answer = QuoteJson("--no-warn takes a warning's code, not \"" + code + "\"");
            return 2;
        }
        codes.push_back(code);
        at = *end ? end + 1 : end;
    }
    if (drive <= 0 || drive > 0x7F || !isalpha(drive)) {
        g_answer = QuoteJson("--drive takes one letter");
        return 2;
    }
    if (!IsKnownCodePage(codePage)) {
        g_answer = QuoteJson("--codepage takes a code page the checker knows, not \"" + Number(codePage) + "\"");
        return 2;
    }
    g_settings.codePage = codePage;
    g_settings.drive = (char)drive;
    g_settings.checkFiles = checkFiles != 0;
    g_settings.menuFolder = MENU_FOLDER;
    g_leftOut = codes;
    return 0;
}

// The page put another disc in the memory file system: no listing of the
// last one is used again.
EMSCRIPTEN_KEEPALIVE void quorlan_forget_disc()
{
    ForgetFolderListings(MENU_FOLDER);
    ForgetDiscFolders();
}

// Checks the menu: the report is --json's; yields its exit status.
EMSCRIPTEN_KEEPALIVE int quorlan_check(const char *menu, size_t size)
{
    StartCall();
    return ReportMenu(MenuOf(menu, size));
}

// Makes the safe fixes (all: the suggested ones too), as --fix and
// --fix=all: the bytes are the mended menu, the answer the fixes made
// ({"fixed": [...]}), the report what is left; yields its exit status.
EMSCRIPTEN_KEEPALIVE int quorlan_fix(const char *menu, size_t size, int all)
{
    StartCall();
    std::string bytes = MenuOf(menu, size);
    CheckedMenu checked;
    std::vector<MenuWarning> warnings, fixed;
    // As the command line: a menu no stream reads is not mended.
    if (!CheckMenuBytesWith(bytes, g_settings, &checked, &warnings, NULL)) return 2;
    g_bytes = FixMenu(bytes, g_settings, all != 0, &fixed, g_leftOut);
    g_answer = "{\"fixed\": " + FixedJson(fixed) + "}";
    return ReportMenu(g_bytes);
}

// Lays the menu out in the house layout, as --format, after the safe
// fixes (fix 1) or all of them (fix 2), as --format --fix[=all]: the
// bytes are the menu laid out, the answer says whether that changed it,
// the fixes made, and the problem where it is not formatted (exit 2,
// the bytes then empty).
EMSCRIPTEN_KEEPALIVE int quorlan_format(const char *menu, size_t size, int fix)
{
    StartCall();
    std::string bytes = MenuOf(menu, size), start = bytes;
    std::vector<MenuWarning> fixed;
    if (fix) start = FixMenu(bytes, g_settings, fix == 2, &fixed, g_leftOut);
    CheckSettings layoutSettings = g_settings;
    layoutSettings.checkFiles = false; // the layout changes no command, so no file it names
    MenuLayout layout;
    LayOutMenu(start, layoutSettings, -1, -1, &layout);
    if (!layout.problem.empty()) {
        long line, column;
        FindLineAndColumn(start, layout.problemPos, &line, &column);
        g_answer = "{\"changed\": false, \"fixed\": [], \"problem\": {\"message\": " + QuoteJson(layout.problem) +
                   ", \"offset\": " + Number(layout.problemPos) + ", \"line\": " + Number(line) +
                   ", \"column\": " + Number(column) + "}}";
        return 2;
    }
    g_bytes = ApplyLayout(start, layout.edits);
    g_answer = "{\"changed\": " + Flag(g_bytes != bytes) + ", \"fixed\": " + FixedJson(fixed) +
               ", \"problem\": null}";
    return 0;
}

// What may be typed at the byte offset, as the language server offers it:
// the header's options, and the disc's names in a command's file part,
// written in the menu's encoding.
EMSCRIPTEN_KEEPALIVE int quorlan_complete(const char *menu, size_t size, long offset)
{
    StartCall();
    std::string bytes = MenuOf(menu, size);
    offset = std::max(0L, std::min(offset, (long)bytes.size()));
    // The install option changes the smallest size the options offer.
    CheckSettings quiet = g_settings;
    quiet.checkFiles = false;
    CheckedMenu checked;
    std::vector<MenuWarning> warnings;
    CheckMenuBytes(bytes, quiet, &checked, &warnings);
    MenuCursor cursor;
    FindMenuCursor(bytes, offset, g_settings, &cursor);
    std::vector<MenuCompletion> completions;
    CompleteOption(cursor, checked.install, &completions);
    // The encoding an editor saves the text in, as the bytes tell it.
    MenuEncoding encoding;
    encoding.marked = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    bool utf8 = encoding.marked || IsUtf8Text(bytes) ||
                std::all_of(bytes.begin(), bytes.end(), [](char c) { return (unsigned char)c < 0x80; });
    encoding.textCodePage = utf8 ? CP_UTF8 : g_settings.codePage;
    bool cut = false;
    CompleteFilePart(cursor, g_settings, encoding, MAX_COMPLETIONS, &completions, &cut);
    const int FILE_KIND = 17, FOLDER_KIND = 19, KEYWORD_KIND = 14; // as the protocol numbers them
    std::string items = "[";
    for (size_t i = 0; i < completions.size(); i++) {
        const MenuCompletion &c = completions[i];
        items += std::string(i ? ", " : "") + "{\"label\": " + QuoteJson(c.label) +
                 ", \"kind\": " + Number(c.option ? KEYWORD_KIND : c.folder ? FOLDER_KIND : FILE_KIND) +
                 ", \"newText\": " + QuoteJson(c.text) + ", \"folder\": " + Flag(c.folder) +
                 ", \"option\": " + Flag(c.option) + ", \"documentation\": " + QuoteJson(c.documentation) + "}";
    }
    g_answer = "{\"start\": " + Number(cursor.start) + ", \"end\": " + Number(offset) +
               ", \"incomplete\": " + Flag(cut) + ", \"items\": " + items + "]}";
    return 0;
}

// The menu's outline: its levels, quoted stretches, fields and entries as
// byte ranges, and the header with its description in Markdown. With
// at >= 0, also the stretches that hold that byte, the smallest first.
EMSCRIPTEN_KEEPALIVE int quorlan_outline(const char *menu, size_t size, long at)
{
    StartCall();
    std::string bytes = MenuOf(menu, size);
    MenuOutline outline;
    if (!FindMenuOutline(bytes, g_settings, &outline)) return 2;
    // The header runs to the first `{` the reader gave, which opened the
    // list, its white space and the mark left out.
    long end = (long)bytes.size();
    for (const ByteRange &level : outline.levels) end = std::min(end, level.start);
    long start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < end && IsBlank(bytes[start])) start++;
    while (end > start && IsBlank(bytes[end - 1])) end--;
    g_answer = "{\"levels\": " + RangesJson(outline.levels) + ", \"quotes\": " + RangesJson(outline.quotes) +
               ", \"fields\": " + RangesJson(outline.fields) + ", \"entries\": " + RangesJson(outline.entries) +
               ", \"header\": {\"start\": " + Number(start) + ", \"end\": " + Number(end) +
               ", \"markdown\": " + QuoteJson(DescribeHeader(outline.menu)) + "}";
    if (at >= 0) g_answer += ", \"selection\": " + RangesJson(FindSelectionRanges(outline, at));
    g_answer += "}";
    return 0;
}

// The menu's words, as the language server's semantic tokens take them
// (the same types and modifiers), in byte ranges; and each command with
// its file part and the file it names on the disc, where it is there.
EMSCRIPTEN_KEEPALIVE int quorlan_words(const char *menu, size_t size)
{
    StartCall();
    std::string bytes = MenuOf(menu, size);
    MenuWords words;
    if (!FindMenuWords(bytes, g_settings, &words)) return 2;
    std::string out = "{\"legend\": {\"types\": [";
    for (int i = 0; i < WORD_KINDS; i++) out += std::string(i ? ", " : "") + "\"" + s_wordTypes[i] + "\"";
    out += "], \"modifiers\": [\"" + std::string(s_wordModifiers[0]) + "\", \"" + s_wordModifiers[1] + "\"]}";
    out += ", \"words\": [";
    for (size_t i = 0; i < words.words.size(); i++) {
        const MenuWord &w = words.words[i];
        out += std::string(i ? ", " : "") + "[" + Number(w.start) + ", " + Number(w.end) + ", " + Number(w.kind) +
               ", " + Number(w.flags) + "]";
    }
    out += "], \"commands\": [";
    std::string prefix = std::string(MENU_FOLDER) + "/";
    for (size_t i = 0; i < words.commands.size(); i++) {
        const MenuCommandAt &c = words.commands[i];
        std::string path = g_settings.checkFiles ? FindCommandFilePath(c.text, c.fromDrive, g_settings) : "";
        // The disc's names as the page gave them: from the menu's folder.
        bool onDisc = !path.empty();
        if (path.compare(0, prefix.size(), prefix) == 0) path.erase(0, prefix.size());
        out += std::string(i ? ", " : "") + "{\"start\": " + Number(c.start) + ", \"end\": " + Number(c.end) +
               ", \"fileStart\": " + Number(c.fileStart) + ", \"fileEnd\": " + Number(c.fileEnd) +
               ", \"file\": " + (onDisc ? QuoteJson(path) : "null") + "}";
    }
    g_answer = out + "]}";
    return 0;
}

// The window as the program lays it out for the menu: at the outer size
// width x height, or where either is below 1 at the size the menu gives
// (the dialog's own without a size= option); the controls' rectangles,
// what is cramped, the smallest size that shows every control, and the
// tree's items with what the shell gets for each.
EMSCRIPTEN_KEEPALIVE int quorlan_window(const char *menu, size_t size, int width, int height)
{
    StartCall();
    std::string bytes = MenuOf(menu, size);
    CheckedMenu checked;
    std::vector<MenuWarning> warnings;
    if (!CheckMenuBytesWith(bytes, g_settings, &checked, &warnings, NULL)) return 2;
    int openingWidth, openingHeight;
    FindOpeningSize(&openingWidth, &openingHeight);
    if (width < 1 || height < 1) {
        width = checked.hasSize ? checked.width : openingWidth;
        height = checked.hasSize ? checked.height : openingHeight;
    }
    bool commandShown = !checked.install;
    int outerWidth, outerHeight, clientWidth, clientHeight, smallestWidth, smallestHeight;
    RECT rects[CONTROLS];
    LayOutWindow(width, height, &outerWidth, &outerHeight, &clientWidth, &clientHeight, rects);
    FindSmallestWindow(commandShown, &smallestWidth, &smallestHeight);
    std::string out = "{\"caption\": " + QuoteJson(ShowText(checked.caption)) +
                      ", \"size\": " + (checked.hasSize ? Pair(checked.width, checked.height) : "null") +
                      ", \"sorted\": " + Flag(checked.sorted) + ", \"install\": " + Flag(checked.install) +
                      ", \"opening\": " + Pair(openingWidth, openingHeight) + ", \"outer\": " +
                      Pair(outerWidth, outerHeight) + ", \"client\": " + Pair(clientWidth, clientHeight) +
                      ", \"smallest\": " + Pair(smallestWidth, smallestHeight) +
                      ", \"cramped\": " + QuoteJson(FindCrampedControls(outerWidth, outerHeight, commandShown)) +
                      ", \"controls\": [";
    for (int i = 0; i < CONTROLS; i++) {
        // The install option hides the command box and renames Run.
        bool shown = s_controls[i].id != IDC_COMMAND || commandShown;
        const char *text = s_controls[i].id == IDOK && checked.install ? INSTALL_TEXT : s_controls[i].text;
        const RECT &r = rects[i];
        out += std::string(i ? ", " : "") + "{\"id\": \"" + s_controls[i].key + "\", \"name\": \"" +
               s_controls[i].name + "\", \"text\": " + QuoteJson(text) + ", \"shown\": " + Flag(shown) +
               ", \"rect\": [" + Number(r.left) + ", " + Number(r.top) + ", " + Number(r.right) + ", " +
               Number(r.bottom) + "]}";
    }
    out += "], \"items\": ";
    WriteItems(checked.items, &out);
    g_answer = out + "}";
    return 0;
}

// How the bytes are written, as an editor takes them: UTF-8 after the
// mark, UTF-8 without one (also ASCII only, or nothing, as editors save
// new text), else the users' code page.
#define TEXT_MARKED_UTF8 0
#define TEXT_UNMARKED_UTF8 1
#define TEXT_CODE_PAGE 2

static const char *const s_textEncodings[] = {"utf-8-marked", "utf-8", "code-page"};

// The menu's text as an editor shows it: the mark left out, each line as
// the platform reads it in the bytes' encoding. The bytes are its UTF-16
// units, then for each unit the offset of the byte its character starts
// at and the menu's size after them (32 bits each); the answer says the
// encoding and the count of units.
EMSCRIPTEN_KEEPALIVE int quorlan_decode(const char *menu, size_t size)
{
    StartCall();
    std::string bytes = MenuOf(menu, size);
    bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (unsigned char)c < 0x80; });
    int encoding = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? TEXT_MARKED_UTF8
                   : ascii || IsUtf8Text(bytes)               ? TEXT_UNMARKED_UTF8
                                                              : TEXT_CODE_PAGE;
    unsigned codePage = encoding == TEXT_CODE_PAGE ? g_settings.codePage : CP_UTF8;
    std::vector<uint16_t> units;
    std::vector<int32_t> starts;
    for (size_t at = encoding == TEXT_MARKED_UTF8 ? 3 : 0; at < size;) {
        TextChar ch;
        ReadTextChar(codePage, menu + at, (int)std::min(size - at, (size_t)64), &ch);
        for (int i = 0; i < ch.wideCount; i++) {
            units.push_back(ch.wide[i]);
            starts.push_back((int32_t)at);
        }
        at += std::max(ch.byteCount, 1);
    }
    starts.push_back((int32_t)size);
    g_bytes.assign((const char *)units.data(), units.size() * sizeof(uint16_t));
    g_bytes.append((const char *)starts.data(), starts.size() * sizeof(int32_t));
    g_answer = "{\"encoding\": \"" + std::string(s_textEncodings[encoding]) + "\", \"units\": " +
               Number((long)units.size()) + "}";
    return 0;
}

// An editor's text (count UTF-16 units) written as a menu in the encoding
// (TEXT_*): the bytes, and in the answer each unit that starts a
// character the encoding cannot hold (written as the code page's default,
// or a lone surrogate).
EMSCRIPTEN_KEEPALIVE int quorlan_encode(const uint16_t *text, size_t count, int encoding)
{
    StartCall();
    if (encoding < TEXT_MARKED_UTF8 || encoding > TEXT_CODE_PAGE) return 2;
    unsigned codePage = encoding == TEXT_CODE_PAGE ? g_settings.codePage : CP_UTF8;
    if (encoding == TEXT_MARKED_UTF8) g_bytes = "\xEF\xBB\xBF";
    std::string unheld = "[";
    for (size_t at = 0; at < count;) {
        bool high = text[at] >= 0xD800 && text[at] < 0xDC00;
        bool pair = high && at + 1 < count && text[at + 1] >= 0xDC00 && text[at + 1] < 0xE000;
        int length = pair ? 2 : 1;
        char written[8];
        bool usedDefault = false;
        int made = EncodeText(codePage, text + at, length, written, sizeof(written), &usedDefault);
        g_bytes.append(written, std::max(made, 0));
        bool lone = !pair && text[at] >= 0xD800 && text[at] < 0xE000;
        if (usedDefault || lone || made <= 0) unheld += (unheld.size() > 1 ? ", " : "") + Number((long)at);
        at += length;
    }
    g_answer = "{\"unheld\": " + unheld + "]}";
    return 0;
}

// The last call's results and their sizes.
EMSCRIPTEN_KEEPALIVE const char *quorlan_report() { return g_report.data(); }
EMSCRIPTEN_KEEPALIVE size_t quorlan_report_size() { return g_report.size(); }
EMSCRIPTEN_KEEPALIVE const char *quorlan_bytes() { return g_bytes.data(); }
EMSCRIPTEN_KEEPALIVE size_t quorlan_bytes_size() { return g_bytes.size(); }
EMSCRIPTEN_KEEPALIVE const char *quorlan_answer() { return g_answer.data(); }
EMSCRIPTEN_KEEPALIVE size_t quorlan_answer_size() { return g_answer.size(); }

// The bytes the heap holds in use, for the page's (and the tests') watch
// on memory.
EMSCRIPTEN_KEEPALIVE size_t quorlan_memory_in_use() { return mallinfo().uordblks; }

}
