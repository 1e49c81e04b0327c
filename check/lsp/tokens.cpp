/*
 * Semantic tokens: the menu's words (words.h), as the program's loading
 * reads them, in the protocol's standard types and modifiers, which themes
 * colour without settings. Each word is split at line ends unless the
 * client takes tokens over several lines. docs/editors.md has the table.
 */
#include "server.h"
#include "../editor/words.h"

#include <algorithm>

// Where the line that holds offset ends, before its line break.
static long LineContentEnd(const LspDocument &doc, long offset)
{
    size_t line = std::upper_bound(doc.lineStarts.begin(), doc.lineStarts.end(), offset) - doc.lineStarts.begin();
    long end = line < doc.lineStarts.size() ? doc.lineStarts[line] : (long)doc.bytes.size();
    while (end > offset && (doc.bytes[end - 1] == '\n' || doc.bytes[end - 1] == '\r')) end--;
    return end;
}

struct TokenPlace {
    LspPosition start;
    long length;
};

// The word's places: one per line it holds text on, or one over all its
// lines (its length counting each line break's characters).
static void PlaceWord(const LspDocument &doc, const MenuWord &word, std::vector<TokenPlace> *places)
{
    long at = word.start;
    TokenPlace whole = {PositionOf(doc, at), 0};
    while (at < word.end) {
        long end = std::min(word.end, LineContentEnd(doc, at));
        LspPosition from = PositionOf(doc, at), to = PositionOf(doc, end);
        long length = to.line == from.line ? to.character - from.character : 0;
        if (!g_server.multilineTokens && length > 0) places->push_back({from, length});
        whole.length += length;
        // The line break's bytes, each one character in either encoding.
        at = end;
        while (at < word.end && (doc.bytes[at] == '\n' || doc.bytes[at] == '\r')) {
            whole.length++;
            at++;
            if (doc.bytes[at - 1] == '\n' || at >= (long)doc.bytes.size() || doc.bytes[at] != '\n') break;
        }
    }
    if (g_server.multilineTokens && whole.length > 0) places->push_back(whole);
}

static json EncodeTokens(const LspDocument &doc, const MenuWords &words)
{
    json data = json::array();
    LspPosition last = {0, 0};
    LspPosition lastEnd = {-1, 0}; // where the last token ends, so that none overlap
    for (const MenuWord &word : words.words) {
        std::vector<TokenPlace> places;
        PlaceWord(doc, word, &places);
        for (const TokenPlace &place : places) {
            // A word that ends within a character (an escape of its first
            // byte) gives the rest of the character to the one before.
            long start = place.start.character, length = place.length;
            if (place.start.line == lastEnd.line && start < lastEnd.character) {
                length -= lastEnd.character - start;
                start = lastEnd.character;
            }
            if (length <= 0) continue;
            long deltaLine = place.start.line - last.line;
            data.push_back(deltaLine);
            data.push_back(deltaLine ? start : start - last.character);
            data.push_back(length);
            data.push_back(word.kind);
            data.push_back(word.flags);
            last = {place.start.line, start};
            lastEnd = g_server.multilineTokens ? PositionOf(doc, word.end) : LspPosition{place.start.line, start + length};
        }
    }
    return data;
}

void AnswerSemanticTokens(const json *params, LspAnswer *answer)
{
    LspDocument *doc = FindDocumentOrRefuse(params, "semanticTokens", answer);
    if (!doc) return;
    MenuWords words;
    json data = doc->checked && FindMenuWords(doc->bytes, doc->check, &words) ? EncodeTokens(*doc, words)
                                                                             : json::array();
    answer->result = json{{"data", data}};
}

void AddTokenCapabilities(json *capabilities)
{
    (*capabilities)["semanticTokensProvider"] = {
        {"legend", {{"tokenTypes", g_wordKindNames}, {"tokenModifiers", g_wordFlagNames}}}, {"full", true}};
}
