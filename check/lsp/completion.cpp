/*
 * Completion: the header's options after a comma, and in a command's file
 * part the disc's folders and files (complete.h), each item a text edit
 * over what is typed there so far, in the editor's positions.
 */
#include "server.h"
#include "../editor/complete.h"

static json CompletionItems(const LspDocument &doc, long offset, bool *cut)
{
    json items = json::array();
    *cut = false;
    if (!doc.checked) return items;
    MenuCursor cursor;
    std::vector<MenuCompletion> completions;
    // A document with no file has no disc beside it.
    CompleteMenuAt(doc.bytes, offset, doc.check, doc.encoding, doc.menu.install, !doc.path.empty(), &cursor,
                   &completions, cut);
    LspRange range = RangeOfEdit(doc, cursor.start, offset); // nothing typed yet: empty
    for (const MenuCompletion &completion : completions) {
        json item = {{"label", completion.label},
                     {"kind", FindCompletionKind(completion)},
                     {"documentation", {{"kind", "markdown"}, {"value", completion.documentation}}},
                     {"textEdit", {{"range", RangeJson(range)}, {"newText", completion.text}}}};
        // A folder goes on at once with the names in it.
        if (completion.folder) item["command"] = {{"title", "names in the folder"},
                                                  {"command", "editor.action.triggerSuggest"}};
        items.push_back(std::move(item));
    }
    return items;
}

void AnswerCompletion(const json *params, LspAnswer *answer)
{
    LspDocument *doc;
    long offset;
    if (!FindPositionOrRefuse(params, "completion", answer, &doc, &offset)) return;
    bool cut;
    json items = CompletionItems(*doc, offset, &cut);
    answer->result = json{{"isIncomplete", cut}, {"items", items}};
}

void AddCompletionCapabilities(json *capabilities)
{
    (*capabilities)["completionProvider"] = {{"triggerCharacters", {"\\"}}, {"resolveProvider", false}};
}
