/*
 * Folding, selection ranges and the header's hover: the menu's outline
 * (outline.h), as the program's own loading reports it, in the editor's
 * positions.
 */
#include "server.h"
#include "../editor/outline.h"

#include <algorithm>

// The outline of the document's last check; false when it was not checked.
static bool OutlineOf(const LspDocument &doc, MenuOutline *outline)
{
    return doc.checked && FindMenuOutline(doc.bytes, doc.check, outline);
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// The last line a fold hides: the line of its end, or the one before it
// when the `}` starts its line, so that the brace stays in sight as the
// line that closes what the first line opens.
static long LastFoldedLine(const LspDocument &doc, long end, bool brace)
{
    LspPosition at = PositionOf(doc, end - 1);
    if (!brace || at.line == 0) return at.line;
    long start = doc.lineStarts[at.line];
    for (long i = start; i < end - 1; i++)
        if (!IsBlank(doc.bytes[i])) return at.line;
    return at.line - 1;
}

static void AddFold(const LspDocument &doc, const ByteRange &range, bool brace, json *folds)
{
    LspPosition start = PositionOf(doc, range.start);
    long last = LastFoldedLine(doc, range.end, brace);
    if (last <= start.line) return;
    folds->push_back({{"startLine", start.line}, {"startCharacter", start.character}, {"endLine", last}});
}

void AnswerFoldingRange(const json *params, LspAnswer *answer)
{
    LspDocument *doc = FindDocumentOrRefuse(params, "foldingRange", answer);
    if (!doc) return;
    json folds = json::array();
    MenuOutline outline;
    if (OutlineOf(*doc, &outline)) {
        // An open level runs to the file's end, with no brace to keep in sight.
        for (const ByteRange &level : outline.levels)
            AddFold(*doc, level, level.end > level.start && doc->bytes[level.end - 1] == '}', &folds);
        for (const ByteRange &quote : outline.quotes) AddFold(*doc, quote, false, &folds);
    }
    std::sort(folds.begin(), folds.end(), [](const json &a, const json &b) {
        return a["startLine"].get<long>() < b["startLine"].get<long>();
    });
    answer->result = folds;
}

// The range of the bytes, exactly: an empty one stays empty.
static json ExactRangeJson(const LspDocument &doc, long start, long end)
{
    LspRange range;
    range.start = PositionOf(doc, start);
    range.end = PositionOf(doc, end);
    return RangeJson(range);
}

void AnswerSelectionRange(const json *params, LspAnswer *answer)
{
    LspDocument *doc = FindDocument(params);
    const json *positions = Find(params, "positions");
    if (!doc || !positions || !positions->is_array()) {
        Refuse(answer, INVALID_PARAMS, "selectionRange takes an open document and a list of positions");
        return;
    }
    MenuOutline outline;
    bool known = OutlineOf(*doc, &outline);
    json selections = json::array();
    for (const json &position : *positions) {
        LspPosition at;
        if (!TakeCount(Find(&position, "line"), &at.line) || !TakeCount(Find(&position, "character"), &at.character)) {
            Refuse(answer, INVALID_PARAMS, "a position has a line and a character");
            return;
        }
        long offset = OffsetOfPosition(*doc, at);
        std::vector<ByteRange> chain;
        if (known) chain = FindSelectionRanges(outline, offset);
        // Outside every stretch (blank space, past the list), the position itself.
        json selection = {{"range", ExactRangeJson(*doc, offset, offset)}};
        for (size_t i = chain.size(); i-- > 0;) {
            json inner = {{"range", ExactRangeJson(*doc, chain[i].start, chain[i].end)}};
            if (i + 1 < chain.size()) inner["parent"] = std::move(selection);
            selection = std::move(inner);
        }
        selections.push_back(std::move(selection));
    }
    answer->result = selections;
}

json HoverOnHeader(const LspDocument &doc, long offset)
{
    // Every entry stands after the list's `{`: past one, the header is
    // behind, and the menu need not be read again to say so.
    const std::vector<CheckedItem> &items = doc.menu.items;
    if (doc.checked && !items.empty() && items[0].start >= 0 && offset >= items[0].start) return nullptr;
    MenuOutline outline;
    if (!OutlineOf(doc, &outline)) return nullptr;
    // The header runs to the first `{` the reader gave, which opened the list.
    ByteRange header = FindHeaderRange(doc.bytes, outline);
    long start = header.start, end = header.end;
    if (offset < start || offset > end || start == end) return nullptr;
    return json{{"contents", {{"kind", "markdown"}, {"value", DescribeHeader(outline.menu)}}},
                {"range", RangeJson(RangeOfBytes(doc, start, end))}};
}

void AddOutlineCapabilities(json *capabilities)
{
    (*capabilities)["foldingRangeProvider"] = true;
    (*capabilities)["selectionRangeProvider"] = true;
}
