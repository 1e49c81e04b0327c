/*
 * The checker's two reports: text for a person, JSON for a program. Menu
 * text is bytes in the system's code page; the JSON carries each byte
 * 0x80-0xFF as the code point of the same number, so that it is valid UTF-8
 * and the bytes can be had back exactly.
 */
#include "check.h"

#include <stdio.h>

// Yields the bytes in double quotes, with control bytes written as \r, \n,
// \t or \xNN so that they cannot disturb a terminal.
std::string QuoteText(const std::string &bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            snprintf(hex, sizeof(hex), "\\x%02X", c);
            out += hex;
        } else out += (char)c;
    }
    return out + "\"";
}

// Yields a JSON string for the bytes: quote, backslash and control bytes
// escaped, bytes 0x80-0xFF as the UTF-8 of code points U+0080-U+00FF.
std::string QuoteJson(const std::string &bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
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
            } else if (c >= 0x80) {
                out += (char)(0xC0 | (c >> 6));
                out += (char)(0x80 | (c & 0x3F));
            } else {
                out += (char)c;
            }
        }
    }
    return out + "\"";
}

static std::string JsonOrNull(bool has, const std::string &bytes) { return has ? QuoteJson(bytes) : "null"; }

// Appends the items as a JSON array: one string for the whole tree, as
// strings built per level would be copied once for every level above.
static void JsonItems(const std::vector<CheckedItem> &items, std::string *out)
{
    *out += "[";
    for (size_t i = 0; i < items.size(); i++) {
        const CheckedItem &item = items[i];
        if (i) *out += ", ";
        *out += "{\"text\": " + QuoteJson(item.text) + ", \"record\": ";
        if (item.hasRecord) {
            *out += "{\"name\": " + QuoteJson(item.name) + ", \"command\": " + QuoteJson(item.command) +
                    ", \"description\": " + QuoteJson(item.description) + ", \"launch\": ";
            if (item.launches)
                *out += "{\"file\": " + QuoteJson(item.file) + ", \"parameters\": " +
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
    std::string out = "{\"caption\": " + QuoteJson(menu.caption) + ", \"size\": ";
    out += menu.hasSize ? "[" + std::to_string(menu.width) + ", " + std::to_string(menu.height) + "]" : "null";
    out += std::string(", \"sorted\": ") + (menu.sorted ? "true" : "false");
    out += std::string(", \"install\": ") + (menu.install ? "true" : "false");
    out += ", \"items\": ";
    JsonItems(menu.items, &out);
    out += ", \"warnings\": [";
    for (size_t i = 0; i < warnings.size(); i++) {
        if (i) out += ", ";
        out += "{\"line\": " + std::to_string(warnings[i].line) + ", \"message\": " +
               QuoteJson(warnings[i].message) + "}";
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
// as FILE:LINE: warning: MESSAGE.
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
    for (const MenuWarning &warning : warnings)
        out += fileName + ":" + std::to_string(warning.line) + ": warning: " + warning.message + "\n";
    return out;
}
