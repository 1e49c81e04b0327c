/*
 * The server's formatting (textDocument/formatting, rangeFormatting): the
 * house layout (format.h) of the bytes the program would read, as edits of
 * their white space in the editor's positions. The layout is fixed, so the
 * client's tabSize and insertSpaces are not looked at. White space is the
 * same bytes in every encoding the document may be kept in, so each edit's
 * text is the layout's own.
 */
#include "../mend/format.h"
#include "server.h"

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
        edits->push_back({RangeOfEdit(doc, edit.start, edit.end), edit.text});
    return "";
}

// Answers textDocument/formatting, or rangeFormatting on the entries in
// the range, with the layout's edits; a file that is not formatted fails.
static void AnswerWithLayout(const json *params, bool inRange, LspAnswer *answer)
{
    LspDocument *doc = FindDocument(params);
    const json *range = Find(params, "range");
    LspRange within;
    bool ranged = inRange && range && TakeCount(Find(Find(range, "start"), "line"), &within.start.line) &&
                  TakeCount(Find(Find(range, "start"), "character"), &within.start.character) &&
                  TakeCount(Find(Find(range, "end"), "line"), &within.end.line) &&
                  TakeCount(Find(Find(range, "end"), "character"), &within.end.character);
    if (!doc || (inRange && !ranged)) {
        Refuse(answer, INVALID_PARAMS, inRange ? "rangeFormatting takes an open document and a range"
                                              : "formatting takes an open document");
        return;
    }
    std::vector<LspTextEdit> edits;
    std::string problem = FormatDocument(*doc, SettingsForDocument(*doc, g_server.settings), ranged ? &within : NULL, &edits);
    if (!problem.empty()) {
        Refuse(answer, REQUEST_FAILED, problem);
        return;
    }
    json result = json::array();
    for (const LspTextEdit &edit : edits) result.push_back({{"range", RangeJson(edit.range)}, {"newText", edit.text}});
    answer->result = result;
}

void AnswerFormatting(const json *params, LspAnswer *answer) { AnswerWithLayout(params, false, answer); }

void AnswerRangeFormatting(const json *params, LspAnswer *answer) { AnswerWithLayout(params, true, answer); }

void AddFormattingCapabilities(json *capabilities)
{
    (*capabilities)["documentFormattingProvider"] = true;
    (*capabilities)["documentRangeFormattingProvider"] = true;
}
