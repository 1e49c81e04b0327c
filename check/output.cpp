/*
 * The checker's two reports: text for a person, JSON for a program, both in
 * UTF-8. Menu text is bytes in the ANSI code page of the disc's users; it is
 * shown as their machines show it, decoded in that code page, so that the
 * JSON holds the real characters and the text report what the user reads.
 */
#include "check.h"
#include "text/codepage.h"

#include <stdio.h>

static unsigned s_codePage = 1252; // the code page menu bytes are shown in

void SetShownCodePage(unsigned codePage) { s_codePage = codePage; }

// Appends a character in UTF-8, by the same conversion as everything else.
static void AppendUtf8(const TextChar &ch, std::string *out)
{
    char utf8[8];
    int length = EncodeText(CP_UTF8, ch.wide, ch.wideCount, utf8, sizeof(utf8), NULL);
    out->append(utf8, length);
}

// Calls show(ch, bytes, count) for each character of the bytes as the
// code page reads them.
template <class Show>
static void ForEachShownChar(const std::string &bytes, Show show, unsigned codePage = s_codePage)
{
    for (size_t at = 0; at < bytes.size();) {
        TextChar ch;
        ReadTextChar(codePage, bytes.data() + at, (int)(bytes.size() - at), &ch);
        show(ch, bytes.data() + at, ch.byteCount);
        at += ch.byteCount;
    }
}

// Yields the bytes as the users' machines show them, in UTF-8.
std::string ShowText(const std::string &bytes)
{
    std::string out;
    ForEachShownChar(bytes, [&](const TextChar &ch, const char *, int) { AppendUtf8(ch, &out); });
    return out;
}

// Yields the bytes as read in the code page, in double quotes, with
// control characters written as \r, \n, \t or \xNN, and bytes the code
// page does not define as \xNN, so that nothing disturbs a terminal.
static std::string QuoteIn(unsigned codePage, const std::string &bytes)
{
    std::string out = "\"";
    ForEachShownChar(bytes, [&](const TextChar &ch, const char *raw, int count) {
        unsigned code = ch.wide[0]; // a control character is one unit
        if (code == '\r') out += "\\r";
        else if (code == '\n') out += "\\n";
        else if (code == '\t') out += "\\t";
        else if (code < 0x20 || code == 0x7F || !ch.defined) {
            for (int i = 0; i < count; i++) {
                char hex[8];
                snprintf(hex, sizeof(hex), "\\x%02X", (unsigned char)raw[i]);
                out += hex;
            }
        } else AppendUtf8(ch, &out);
    }, codePage);
    return out + "\"";
}

// The bytes as the users' machines show them, quoted.
std::string QuoteText(const std::string &bytes) { return QuoteIn(s_codePage, bytes); }

// The bytes read as UTF-8, quoted: what the author of a UTF-8 file wrote.
std::string QuoteUtf8(const std::string &bytes) { return QuoteIn(CP_UTF8, bytes); }

// Yields a JSON string for UTF-8 text: quote, backslash and control
// characters escaped.
std::string QuoteJson(const std::string &utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char hex[8];
                snprintf(hex, sizeof(hex), "\\u%04x", c);
                out += hex;
            } else {
                out += (char)c;
            }
        }
    }
    return out + "\"";
}

// A JSON string for menu bytes, as the users' machines show them.
static std::string QuoteShown(const std::string &bytes) { return QuoteJson(ShowText(bytes)); }

static std::string JsonOrNull(bool has, const std::string &bytes) { return has ? QuoteShown(bytes) : "null"; }

// Appends the items as a JSON array: one string for the whole tree, as
// strings built per level would be copied once for every level above.
static void JsonItems(const std::vector<CheckedItem> &items, std::string *out)
{
    *out += "[";
    for (size_t i = 0; i < items.size(); i++) {
        const CheckedItem &item = items[i];
        if (i) *out += ", ";
        *out += "{\"text\": " + QuoteShown(item.text) + ", \"record\": ";
        if (item.hasRecord) {
            *out += "{\"name\": " + QuoteShown(item.name) + ", \"command\": " + QuoteShown(item.command) +
                    ", \"description\": " + QuoteShown(item.description) + ", \"launch\": ";
            if (item.launches)
                *out += "{\"file\": " + QuoteShown(item.file) + ", \"parameters\": " +
                        JsonOrNull(item.hasParameters, item.parameters) +
                        ", \"directory\": " + JsonOrNull(item.hasDirectory, item.directory) + "}";
            else
                *out += "null";
            *out += "}";
        } else {
            *out += "null";
        }
        *out += ", \"children\": ";
        JsonItems(item.children, out);
        *out += "}";
    }
    *out += "]";
}

// Yields the whole report as one JSON object on one line.
std::string FormatMenuJson(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings)
{
    std::string out = "{\"caption\": " + QuoteShown(menu.caption) + ", \"size\": ";
    out += menu.hasSize ? "[" + std::to_string(menu.width) + ", " + std::to_string(menu.height) + "]" : "null";
    out += std::string(", \"sorted\": ") + (menu.sorted ? "true" : "false");
    out += std::string(", \"install\": ") + (menu.install ? "true" : "false");
    out += ", \"items\": ";
    JsonItems(menu.items, &out);
    out += ", \"warnings\": [";
    for (size_t i = 0; i < warnings.size(); i++) {
        if (i) out += ", ";
        const MenuWarning &w = warnings[i];
        out += "{\"line\": " + std::to_string(w.line) + ", \"column\": " + std::to_string(w.column) +
               ", \"message\": " + QuoteJson(w.message) + ", \"note\": " + QuoteJson(w.note) +
               ", \"note_line\": " + std::to_string(w.noteLine) + ", \"note_column\": " +
               std::to_string(w.noteColumn) + "}";
    }
    return out + "]}\n";
}

static void TextItems(const std::vector<CheckedItem> &items, int depth, std::string *out)
{
    std::string indent(2 + 2 * depth, ' ');
    std::string detail = indent + "    ";
    for (const CheckedItem &item : items) {
        *out += indent + QuoteText(item.text);
        if (!item.hasRecord) {
            *out += " (no record: the item does nothing)\n";
        } else {
            *out += "\n";
            if (item.name != item.text) *out += detail + "name:        " + QuoteText(item.name) + "\n";
            *out += detail + "command:     " + QuoteText(item.command) + "\n";
            *out += detail + "shell gets:  ";
            if (item.launches)
                *out += "file " + QuoteText(item.file) + ", parameters " +
                        (item.hasParameters ? QuoteText(item.parameters) : "none") + ", folder " +
                        (item.hasDirectory ? QuoteText(item.directory) : "none") + "\n";
            else
                *out += "nothing (the command is empty)\n";
            *out += detail + "description: " + QuoteText(item.description) + "\n";
        }
        TextItems(item.children, depth + 1, out);
    }
}

// Yields the report for a person: the window, the tree, then the warnings
// as compilers write them, FILE:LINE:COLUMN: warning: MESSAGE, each with
// a line FILE:LINE:COLUMN: note: HOW TO MEND.
std::string FormatMenuText(const CheckedMenu &menu, const std::vector<MenuWarning> &warnings,
                           const std::string &fileName)
{
    std::string out = "caption: " + QuoteText(menu.caption) + "\n";
    out += "size:    ";
    out += menu.hasSize ? std::to_string(menu.width) + " x " + std::to_string(menu.height) + " pixels, outer\n"
                        : "as the dialog opens (no size= took effect)\n";
    std::string options;
    if (menu.sorted) options = "sorted";
    if (menu.install) options += options.empty() ? "install" : ", install";
    out += "options: " + (options.empty() ? std::string("none") : options) + "\n";
    out += "tree:\n";
    TextItems(menu.items, 0, &out);
    for (const MenuWarning &w : warnings) {
        out += fileName + ":" + std::to_string(w.line) + ":" + std::to_string(w.column) + ": warning: " +
               w.message + "\n";
        out += fileName + ":" + std::to_string(w.noteLine) + ":" + std::to_string(w.noteColumn) + ": note: " +
               w.note + "\n";
    }
    return out;
}
