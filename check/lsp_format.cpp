/*
 * The server's formatting (textDocument/formatting, rangeFormatting): the
 * house layout (format.h) of the bytes the program would read, as edits of
 * their white space in the editor's positions. The layout is fixed, so the
 * client's tabSize and insertSpaces are not looked at. White space is the
 * same bytes in every encoding the document may be kept in, so each edit's
 * text is the layout's own.
 */
#include "format.h"
#include "lsp_document.h"

std::string FormatDocument(const LspDocument &doc, const CheckSettings &settings, const LspRange *range,
                           std::vector<LspTextEdit> *edits)
{
    edits->clear();
    if (!doc.checked) return "the file is too large to check, and so to format";
    long start = -1, end = -1;
    if (range) {
        start = OffsetOfPosition(doc, range->start);
        end = OffsetOfPosition(doc, range->end);
        if (end < start) std::swap(start, end);
    }
    CheckSettings layoutSettings = settings;
    layoutSettings.checkFiles = false; // the layout changes no command, so no file it names
    MenuLayout layout;
    LayOutMenu(doc.bytes, layoutSettings, start, end, &layout);
    if (!layout.problem.empty()) {
        LspPosition at = PositionOf(doc, layout.problemPos);
        return std::to_string(at.line + 1) + ":" + std::to_string(at.character + 1) +
               ": not formatted: " + layout.problem;
    }
    for (const LayoutEdit &edit : layout.edits)
        edits->push_back({{PositionOf(doc, edit.start), PositionOf(doc, edit.end)}, edit.text});
    return "";
}
