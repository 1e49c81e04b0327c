/*
 * Completion: the header's options after a comma, and in a command's file
 * part the disc's folders and files (complete.h), each item a text edit
 * over what is typed there so far, in the editor's positions.
 */
#include "server.h"
#include "../editor/complete.h"

#include "../text/codepage.h"

// The most names offered at once; beyond it, those that start as typed,
// and the list is marked incomplete so that the editor asks again.
static const size_t MAX_COMPLETIONS = 500;

static json CompletionItems(const LspDocument &doc, long offset, bool *cut)
{
    json items = json::array();
    *cut = false;
    if (!doc.checked) return items;
    MenuCursor cursor;
    FindMenuCursor(doc.bytes, offset, doc.check, &cursor);
    std::vector<MenuCompletion> completions;
    CompleteOption(cursor, doc.menu.install, &completions);
    MenuEncoding encoding;
    encoding.marked = doc.encoding == FILE_MARKED_UTF8;
    encoding.textCodePage = doc.encoding == FILE_CODE_PAGE ? doc.check.codePage : CP_UTF8;
    // A document with no file has no disc beside it.
    if (!doc.path.empty()) CompleteFilePart(cursor, doc.check, encoding, MAX_COMPLETIONS, &completions, cut);
    LspRange range = RangeOfEdit(doc, cursor.start, offset); // nothing typed yet: empty
    const int FILE = 17, FOLDER = 19, KEYWORD = 14;
    for (const MenuCompletion &completion : completions) {
        json item = {{"label", completion.label},
                     {"kind", completion.option ? KEYWORD : completion.folder ? FOLDER : FILE},
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
