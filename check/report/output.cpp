/*
 * The checker's two reports: text for a person, JSON for a program, both in
 * UTF-8, with menu text as the users' machines show it (quote.h).
 */
#include "../engine/check.h"
#include "../engine/quote.h"

#include <stdio.h>

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

// A fix as JSON: its title, whether it is safe, and its edits, each where
// it stands (the end exclusive, columns in bytes from 1) and as bytes of
// the file, with the text to put there as the file's encoding decodes it.
static std::string FixJson(const MenuFix &fix)
{
    std::string out = "{\"title\": " + QuoteJson(fix.title) + ", \"safe\": " + (fix.safe ? "true" : "false") +
                      ", \"edits\": [";
    for (size_t i = 0; i < fix.edits.size(); i++) {
        const FixEdit &e = fix.edits[i];
        if (i) out += ", ";
        out += "{\"line\": " + std::to_string(e.line) + ", \"column\": " + std::to_string(e.column) +
               ", \"end_line\": " + std::to_string(e.endLine) + ", \"end_column\": " + std::to_string(e.endColumn) +
               ", \"offset\": " + std::to_string(e.offset) + ", \"length\": " + std::to_string(e.length) +
               ", \"text\": " + QuoteJson(e.shown) + "}";
    }
    return out + "]}";
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
        out += "{\"code\": " + QuoteJson(w.code) + ", \"severity\": " + (w.error ? "\"error\"" : "\"warning\"") +
               ", \"line\": " + std::to_string(w.line) + ", \"column\": " + std::to_string(w.column) +
               ", \"message\": " + QuoteJson(w.message) + ", \"note\": " + QuoteJson(w.note) +
               ", \"note_line\": " + std::to_string(w.noteLine) + ", \"note_column\": " +
               std::to_string(w.noteColumn) + ", \"fix\": " + (w.hasFix ? FixJson(w.fix) : "null") + "}";
    }
    return out + "]}\n";
}

// Yields an item as the text report shows it: its text, then (for an item
// with a record) its name where it differs, command, what the shell gets
// and description, each on a line of its own indented by indent.
std::string DescribeItem(const CheckedItem &item, const std::string &indent)
{
    std::string detail = indent + "    ";
    std::string out = indent + QuoteText(item.text);
    if (!item.hasRecord) return out + " (no record: the item does nothing)\n";
    out += "\n";
    if (item.name != item.text) out += detail + "name:        " + QuoteText(item.name) + "\n";
    out += detail + "command:     " + QuoteText(item.command) + "\n";
    out += detail + "shell gets:  ";
    if (item.launches)
        out += "file " + QuoteText(item.file) + ", parameters " +
               (item.hasParameters ? QuoteText(item.parameters) : "none") + ", folder " +
               (item.hasDirectory ? QuoteText(item.directory) : "none") + "\n";
    else
        out += "nothing (the command is empty)\n";
    return out + detail + "description: " + QuoteText(item.description) + "\n";
}

static void TextItems(const std::vector<CheckedItem> &items, int depth, std::string *out)
{
    for (const CheckedItem &item : items) {
        *out += DescribeItem(item, std::string(2 + 2 * depth, ' '));
        TextItems(item.children, depth + 1, out);
    }
}

// Yields one line in DIAGNOSTIC_FORMAT.
static std::string FormatDiagnostic(const std::string &fileName, long line, long column, const char *kind,
                                    const std::string &text)
{
    int length = snprintf(NULL, 0, DIAGNOSTIC_FORMAT, fileName.c_str(), line, column, kind, text.c_str());
    std::string out(length > 0 ? length : 0, '\0');
    if (length > 0) snprintf(&out[0], length + 1, DIAGNOSTIC_FORMAT, fileName.c_str(), line, column, kind, text.c_str());
    return out;
}

// Yields the report for a person: the window, the tree, then the warnings
// as compilers write them, FILE:LINE:COLUMN: warning: MESSAGE [CODE] (or
// error:), each with a line FILE:LINE:COLUMN: note: HOW TO MEND, and where
// it has a fix FILE:LINE:COLUMN: fix: TITLE (safe), at the fix's first edit.
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
        out += FormatDiagnostic(fileName, w.line, w.column, w.error ? "error" : "warning",
                                w.message + " [" + w.code + "]");
        out += FormatDiagnostic(fileName, w.noteLine, w.noteColumn, "note", w.note);
        if (w.hasFix)
            out += FormatDiagnostic(fileName, w.fix.edits[0].line, w.fix.edits[0].column, "fix",
                                    w.fix.title + (w.fix.safe ? " (safe)" : " (suggested)"));
    }
    return out;
}
