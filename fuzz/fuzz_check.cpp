/*
 * Any bytes through the menu checker's loading, warnings and both reports;
 * or, for input that starts with "Content-Length", through the checker's
 * language server as the messages a client sends.
 * Besides not crashing or leaking: the checker still shows at least one
 * item, no deeper than the levels kept; every warning and every note
 * names a line of the file and a column of that line (its end included,
 * where a missing comma goes); and the JSON report is well formed (strings
 * closed, escapes and UTF-8 valid, brackets paired). Every fix the
 * checker gives has its edits inside the file, in order and apart, and
 * applied, reads back without the warning at its place and with what it
 * recorded; making them all leaves no more errors than there were. The
 * server's every
 * answer is framed with its true length and is well-formed JSON.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <ctype.h>

#include <algorithm>
#include <string>

#include "../check/engine/check.h"
#include "../check/rules/checker.h"
#include "../check/mend/fix.h"
#include "../check/report/report.h"
#include "../check/lsp/lsp.h"
#include "../check/text/codepage.h"
#include "../menu/menu.h"

static void Fail(const char *what)
{
    fprintf(stderr, "checker invariant broken: %s\n", what);
    abort();
}

static int Depth(const std::vector<CheckedItem> &items)
{
    int depth = 0;
    for (const CheckedItem &item : items) depth = std::max(depth, 1 + Depth(item.children));
    return depth;
}

// Yields whether the text is JSON as far as its structure goes: strings
// with valid escapes, no raw control bytes and valid UTF-8 for the real
// characters (a code page's bytes above 127 are anything up to U+FFFF),
// and brackets that pair.
static bool IsWellFormedJson(const std::string &json)
{
    std::string open;
    for (size_t i = 0; i < json.size(); i++) {
        unsigned char c = json[i];
        if (c == '{' || c == '[') open += (char)c;
        else if (c == '}' || c == ']') {
            if (open.empty() || open.back() != (c == '}' ? '{' : '[')) return false;
            open.pop_back();
        } else if (c == '"') {
            for (i++;; i++) {
                if (i >= json.size()) return false;
                unsigned char s = json[i];
                if (s == '"') break;
                if (s < 0x20) return false;
                if (s == '\\') {
                    if (++i >= json.size()) return false;
                    if (json[i] == 'u') {
                        if (i + 4 >= json.size()) return false;
                        for (int k = 1; k <= 4; k++)
                            if (!isxdigit((unsigned char)json[i + k])) return false;
                        i += 4;
                    } else if (!strchr("\"\\/bfnrt", json[i])) {
                        return false;
                    }
                } else if (s >= 0x80) {
                    TextChar ch;
                    ReadTextChar(CP_UTF8, json.data() + i, (int)(json.size() - i), &ch);
                    if (!ch.defined) return false;
                    i += ch.byteCount - 1;
                }
            }
        } else if (c >= 0x80) {
            return false;
        }
    }
    return open.empty();
}

// Yields whether the file has that line (from 1; lines end at a line feed)
// and that byte column on it (from 1, up to one past its last byte).
static bool IsInFile(const std::string &bytes, long line, long column)
{
    size_t start = 0;
    for (long n = 1; n < line; n++) {
        start = bytes.find('\n', start);
        if (start == std::string::npos) return false;
        start++;
    }
    size_t end = std::min(bytes.find('\n', start), bytes.size());
    return line >= 1 && column >= 1 && column <= (long)(end - start) + 1;
}

// Serves the bytes as a client's messages, and reads the answers back.
static void ServeMessages(const std::string &bytes)
{
    FILE *in = fmemopen((void *)bytes.data(), bytes.size(), "rb");
    char *written = NULL;
    size_t writtenSize = 0;
    FILE *out = open_memstream(&written, &writtenSize);
    ServeLanguageClient(in, out, "fuzz");
    fclose(in);
    fclose(out);
    std::string answers(written, writtenSize);
    free(written);
    static const char header[] = "Content-Length: ";
    for (size_t at = 0; at < answers.size();) {
        if (answers.compare(at, strlen(header), header) != 0) Fail("an answer without its header");
        char *end;
        unsigned long length = strtoul(answers.c_str() + at + strlen(header), &end, 10);
        if (strncmp(end, "\r\n\r\n", 4) != 0) Fail("an answer's header not ended by an empty line");
        size_t body = (size_t)(end + 4 - answers.c_str());
        if (length > answers.size() - body) Fail("an answer shorter than its Content-Length");
        if (!IsWellFormedJson(answers.substr(body, length))) Fail("an answer that is not well-formed JSON");
        at = body + length;
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    if (bytes.compare(0, 14, "Content-Length") == 0) {
        ServeMessages(bytes);
        return 0;
    }
    FILE *stream = fmemopen((void *)bytes.data(), bytes.size(), "rb");
    CheckedMenu menu;
    CheckSettings settings;
    // Half the inputs as machines whose ANSI code page is UTF-8 read them.
    settings.codePage = size % 2 ? CP_UTF8 : 1252;
    settings.drive = 'E';
    settings.checkFiles = false;
    std::vector<MenuWarning> warnings;
    CheckMenuStream(stream, bytes, settings, &menu, &warnings);
    fclose(stream);
    if (menu.items.empty()) Fail("no item shown");
    if (Depth(menu.items) > MAX_NESTING + 1) Fail("an item deeper than the levels kept");
    for (const MenuWarning &warning : warnings) {
        if (!IsInFile(bytes, warning.line, warning.column)) Fail("a warning outside the file");
        if (!IsInFile(bytes, warning.noteLine, warning.noteColumn)) Fail("a note outside the file");
    }

    KeepProvenFixes(bytes, settings, menu, &warnings);
    long errors = std::count_if(warnings.begin(), warnings.end(), [](const MenuWarning &w) { return w.error; });
    for (const MenuWarning &warning : warnings) {
        if (!warning.hasFix) continue;
        long end = 0;
        for (const FixEdit &edit : warning.fix.edits) {
            if (edit.offset < end || edit.length < 0 || edit.offset + edit.length > (long)size)
                Fail("a fix's edits outside the file, out of order or overlapping");
            end = edit.offset + edit.length;
        }
        std::string why;
        if (!ProveFix(bytes, settings, warning, &why)) Fail("a fix given that its reading does not prove");
    }
    std::vector<MenuWarning> fixed, left;
    std::string mended = FixMenu(bytes, settings, true, &fixed, std::vector<std::string>());
    CheckedMenu after;
    CheckMenuBytes(mended, settings, &after, &left);
    if (std::count_if(left.begin(), left.end(), [](const MenuWarning &w) { return w.error; }) > errors)
        Fail("the fixes made a new error");

    if (!IsWellFormedJson(FormatMenuJson(menu, warnings))) Fail("the JSON report is not well formed");
    FormatMenuText(menu, warnings, "Quorlan.ini");
    return 0;
}
