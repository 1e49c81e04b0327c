/*
 * Any bytes through the menu checker's loading, warnings and both reports.
 * Besides not crashing or leaking: the checker still shows at least one
 * item, no deeper than the levels kept; every warning and every note
 * names a line of the file and a column of that line (its end included,
 * where a missing comma goes); and the JSON report is well formed (strings
 * closed, escapes and UTF-8 valid, brackets paired).
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <ctype.h>

#include <algorithm>
#include <string>

#include "../check/check.h"
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
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

    if (!IsWellFormedJson(FormatMenuJson(menu, warnings))) Fail("the JSON report is not well formed");
    FormatMenuText(menu, warnings, "Quorlan.ini");
    return 0;
}
