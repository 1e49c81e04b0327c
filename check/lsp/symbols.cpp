/*
 * Hover and the outline: what the program would show of the entry under
 * the cursor, and the menu's tree as the document's symbols.
 */
#include "server.h"
#include "quote.h"

#include <algorithm>

static json Hover(const LspDocument &doc, long offset)
{
    const CheckedItem *item = doc.checked ? FindItemAt(doc.menu.items, offset) : NULL;
    if (!item) return HoverOnHeader(doc, offset);
    return json{{"contents", {{"kind", "plaintext"}, {"value", DescribeItem(*item, "")}}},
                {"range", RangeJson(RangeOfBytes(doc, item->start, item->end))}};
}

// Just past the last byte of the item's entry and its children's.
static long SubtreeEnd(const CheckedItem &item)
{
    long end = item.end;
    for (const CheckedItem &child : item.children) end = std::max(end, SubtreeEnd(child));
    return end;
}

// The items as the outline's symbols, in the tree's order: a level of
// entries is a namespace, an entry that runs something a file.
static json Symbols(const LspDocument &doc, const std::vector<CheckedItem> &items)
{
    json symbols = json::array();
    for (const CheckedItem &item : items) {
        long start = std::max(item.start, 0L);
        LspRange range = RangeOfBytes(doc, start, SubtreeEnd(item));
        LspRange name = item.nameStart >= 0 ? RangeOfBytes(doc, item.nameStart, item.nameEnd) : range;
        const int NAMESPACE = 3, FILE = 1, STRING = 15;
        json symbol = {{"name", item.text.empty() ? "(no text)" : ShowText(item.text)},
                       {"kind", !item.children.empty() ? NAMESPACE : item.launches ? FILE : STRING},
                       {"range", RangeJson(range)},
                       {"selectionRange", RangeJson(name)},
                       {"children", Symbols(doc, item.children)}};
        if (item.hasRecord) symbol["detail"] = ShowText(item.command);
        symbols.push_back(std::move(symbol));
    }
    return symbols;
}

void AnswerHover(const json &id, const json *params)
{
    LspDocument *doc;
    long offset;
    if (FindPosition(params, &doc, &offset)) SendResult(id, Hover(*doc, offset));
    else SendError(id, INVALID_PARAMS, "hover takes an open document and a position");
}

void AnswerDocumentSymbol(const json &id, const json *params)
{
    LspDocument *doc = FindDocument(params);
    if (doc) SendResult(id, doc->checked ? Symbols(*doc, doc->menu.items) : json::array());
    else SendError(id, INVALID_PARAMS, "documentSymbol takes an open document");
}

void AddSymbolCapabilities(json *capabilities)
{
    (*capabilities)["hoverProvider"] = true;
    (*capabilities)["documentSymbolProvider"] = true;
}
