/*
 * Hover and the outline: what the program would show of the entry under
 * the cursor, and the menu's tree as the document's symbols.
 */
#include "server.h"
#include "../engine/quote.h"
#include "../report/report.h"

#include <stdio.h>
#include <string.h>

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

// Writes a range as RangeJson gives it.
static void WriteRange(const LspRange &range, LspText *out)
{
    char text[160];
    snprintf(text, sizeof(text), "{\"end\":{\"character\":%ld,\"line\":%ld},\"start\":{\"character\":%ld,\"line\":%ld}}",
             range.end.character, range.end.line, range.start.character, range.start.line);
    AppendText(out, text, strlen(text));
}

// Writes the items as the outline's symbols, in the tree's order: a level
// of entries is a namespace, an entry that runs something a file. Written
// as text while the tree is walked, members in the order the JSON library
// writes them, so that a large outline is held once, as its answer.
static void WriteSymbols(const LspDocument &doc, const std::vector<CheckedItem> &items, LspText *out)
{
    AppendText(out, "[", 1);
    for (size_t i = 0; i < items.size(); i++) {
        const CheckedItem &item = items[i];
        long start = std::max(item.start, 0L);
        LspRange range = RangeOfBytes(doc, start, SubtreeEnd(item));
        LspRange name = item.nameStart >= 0 ? RangeOfBytes(doc, item.nameStart, item.nameEnd) : range;
        const int NAMESPACE = 3, FILE = 1, STRING = 15;
        AppendText(out, i ? ",{\"children\":" : "{\"children\":");
        WriteSymbols(doc, item.children, out);
        if (item.hasRecord) AppendText(out, ",\"detail\":" + JsonText(ShowText(item.command)));
        AppendText(out, ",\"kind\":" + std::to_string(!item.children.empty() ? NAMESPACE : item.launches ? FILE : STRING));
        AppendText(out, ",\"name\":" + JsonText(item.text.empty() ? "(no text)" : ShowText(item.text)));
        AppendText(out, ",\"range\":");
        WriteRange(range, out);
        AppendText(out, ",\"selectionRange\":");
        WriteRange(name, out);
        AppendText(out, "}", 1);
    }
    AppendText(out, "]", 1);
}

void AnswerHover(const json *params, LspAnswer *answer)
{
    LspDocument *doc;
    long offset;
    if (FindPositionOrRefuse(params, "hover", answer, &doc, &offset)) answer->result = Hover(*doc, offset);
}

void AnswerDocumentSymbol(const json *params, LspAnswer *answer)
{
    LspDocument *doc = FindDocumentOrRefuse(params, "documentSymbol", answer);
    if (!doc) return;
    LspText symbols = {std::vector<std::string>(), 0};
    WriteSymbols(*doc, doc->checked ? doc->menu.items : std::vector<CheckedItem>(), &symbols);
    answer->isText = true;
    answer->text = std::move(symbols);
}

void AddSymbolCapabilities(json *capabilities)
{
    (*capabilities)["hoverProvider"] = true;
    (*capabilities)["documentSymbolProvider"] = true;
}
