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
#include "../editor/encoding.h"
#include "../editor/outline.h"
#include "../editor/words.h"
#include "../report/report.h"
#include "../text/codepage.h"

#include "../../res/resource.h"

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
    LeaveOutWarnings(g_leftOut, &warnings);
    g_report = FormatMenuJson(menu, warnings);
    return warnings.empty() ? 0 : 1;
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
    ForgetIncompleteListings();
}

// The page's disc holds names in this folder (a path under the menu's, ""
// for the menu's own) that could not be given as text, and are not in the
// memory file system: a file not found there is not called missing.
EMSCRIPTEN_KEEPALIVE void quorlan_unlisted_names(const char *folder, size_t size)
{
    std::string relative(folder, size);
    MarkListingIncomplete(relative.empty() ? std::string(MENU_FOLDER) : MENU_FOLDER + std::string("/") + relative);
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
    FormattedMenu layout;
    if (!FormatMenu(start, g_settings, &layout)) {
        g_answer = "{\"changed\": false, \"fixed\": [], \"problem\": {\"message\": " + QuoteJson(layout.problem) +
                   ", \"offset\": " + Number(layout.problemPos) + ", \"line\": " + Number(layout.problemLine) +
                   ", \"column\": " + Number(layout.problemColumn) + "}}";
        return 2;
    }
    g_bytes = layout.bytes;
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
    // Written in the encoding an editor saves the text in, as the bytes tell it.
    MenuCursor cursor;
    std::vector<MenuCompletion> completions;
    bool cut;
    CompleteMenuAt(bytes, offset, g_settings, FindFileEncoding(bytes), checked.install, true, &cursor, &completions,
                   &cut);
    std::string items = "[";
    for (size_t i = 0; i < completions.size(); i++) {
        const MenuCompletion &c = completions[i];
        items += std::string(i ? ", " : "") + "{\"label\": " + QuoteJson(c.label) +
                 ", \"kind\": " + Number(FindCompletionKind(c)) +
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
    ByteRange header = FindHeaderRange(bytes, outline);
    g_answer = "{\"levels\": " + RangesJson(outline.levels) + ", \"quotes\": " + RangesJson(outline.quotes) +
               ", \"fields\": " + RangesJson(outline.fields) + ", \"entries\": " + RangesJson(outline.entries) +
               ", \"header\": {\"start\": " + Number(header.start) + ", \"end\": " + Number(header.end) +
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
    for (int i = 0; i < WORD_KINDS; i++) out += std::string(i ? ", " : "") + QuoteJson(g_wordKindNames[i]);
    out += "], \"modifiers\": [";
    for (int i = 0; i < WORD_FLAGS; i++) out += std::string(i ? ", " : "") + QuoteJson(g_wordFlagNames[i]);
    out += "]}";
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
    WindowLayout layout;
    LayOutWindow(width, height, &layout);
    int smallestWidth, smallestHeight;
    FindSmallestWindow(commandShown, &smallestWidth, &smallestHeight);
    std::string out = "{\"caption\": " + QuoteJson(ShowText(checked.caption)) +
                      ", \"size\": " + (checked.hasSize ? Pair(checked.width, checked.height) : "null") +
                      ", \"sorted\": " + Flag(checked.sorted) + ", \"install\": " + Flag(checked.install) +
                      ", \"opening\": " + Pair(openingWidth, openingHeight) + ", \"outer\": " +
                      Pair(layout.outerWidth, layout.outerHeight) + ", \"client\": " +
                      Pair(layout.clientWidth, layout.clientHeight) + ", \"smallest\": " +
                      Pair(smallestWidth, smallestHeight) + ", \"cramped\": " +
                      QuoteJson(FindCrampedControls(layout.outerWidth, layout.outerHeight, commandShown)) +
                      ", \"controls\": [";
    for (int i = 0; i < WINDOW_CONTROLS; i++) {
        // The install option hides the command box and renames Run.
        const WindowControl &control = g_windowControls[i];
        bool shown = control.id != IDC_COMMAND || commandShown;
        const char *text = control.id == IDOK && checked.install ? INSTALL_TEXT : control.text;
        const ControlRect &r = layout.rects[i];
        out += std::string(i ? ", " : "") + "{\"id\": \"" + control.key + "\", \"name\": \"" + control.name +
               "\", \"text\": " + QuoteJson(text) + ", \"shown\": " + Flag(shown) +
               ", \"rect\": [" + Number(r.left) + ", " + Number(r.top) + ", " + Number(r.right) + ", " +
               Number(r.bottom) + "]}";
    }
    out += "], \"items\": ";
    WriteItems(checked.items, &out);
    g_answer = out + "}";
    return 0;
}

// The menu's text as an editor shows it: the mark left out, each line as
// the platform reads it in the bytes' encoding. The bytes are its UTF-16
// units, then for each unit the offset of the byte its character starts
// at and the menu's size after them (32 bits each); the answer says the
// encoding and the count of units.
EMSCRIPTEN_KEEPALIVE int quorlan_decode(const char *menu, size_t size)
{
    StartCall();
    std::string bytes = MenuOf(menu, size);
    int encoding = FindFileEncoding(bytes);
    unsigned codePage = FindTextCodePage(encoding, g_settings.codePage);
    std::vector<uint16_t> units;
    std::vector<int32_t> starts;
    for (size_t at = encoding == FILE_MARKED_UTF8 ? 3 : 0; at < size;) {
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
    g_answer = "{\"encoding\": \"" + std::string(g_fileEncodingNames[encoding]) + "\", \"units\": " +
               Number((long)units.size()) + "}";
    return 0;
}

// An editor's text (count UTF-16 units) written as a menu in the encoding
// (FILE_*): the bytes, and in the answer each unit that starts a
// character the encoding cannot hold (written as the code page's default,
// or a lone surrogate).
EMSCRIPTEN_KEEPALIVE int quorlan_encode(const uint16_t *text, size_t count, int encoding)
{
    StartCall();
    if (encoding < 0 || encoding >= FILE_ENCODINGS) return 2;
    unsigned codePage = FindTextCodePage(encoding, g_settings.codePage);
    if (encoding == FILE_MARKED_UTF8) g_bytes = "\xEF\xBB\xBF";
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

extern "C" {

// What the shell is handed for a command box's text (count UTF-16 units),
// as Run reads the box: the text in the users' code page, cut where the
// box is read, and split by the launcher's own function, as record.launch
// is. The answer is {"launch": {"file", "parameters", "directory"}}, or
// {"launch": null} for an empty box, which starts nothing.
EMSCRIPTEN_KEEPALIVE int quorlan_launch(const uint16_t *text, size_t count)
{
    quorlan_encode(text, count, FILE_CODE_PAGE);
    std::string command = g_bytes;
    StartCall();
    if (command.empty()) {
        g_answer = "{\"launch\": null}";
        return 0;
    }
    char buffer[COMMAND_BUFFER];
    CommandParts parts;
    SplitMenuCommand(command, buffer, &parts);
    SetShownCodePage(g_settings.codePage);
    g_answer = "{\"launch\": {\"file\": " + QuoteJson(ShowText(parts.file)) + ", \"parameters\": " +
               (parts.parameters ? QuoteJson(ShowText(parts.parameters)) : "null") + ", \"directory\": " +
               (parts.directory ? QuoteJson(ShowText(parts.directory)) : "null") + "}}";
    return 0;
}

}
