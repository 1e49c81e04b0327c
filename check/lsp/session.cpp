/*
 * The one client's session, as the server and its features share it: the
 * open documents and the settings, a document checked as it stands, the
 * values of a message read whatever their type, and the values of an
 * answer written. Nothing here reads or sends a message: the features
 * answer into an LspAnswer, and server.cpp sends it.
 */
#include "server.h"

#include <algorithm>

LspServer g_server;

/* ---- reading values whose type is not known ---- */

// The member of an object, or null when value is not an object or lacks it.
const json *Find(const json *value, const char *key)
{
    if (!value || !value->is_object()) return NULL;
    json::const_iterator member = value->find(key);
    return member == value->end() ? NULL : &*member;
}

bool IsText(const json *value) { return value && value->is_string(); }

const std::string &TextOf(const json *value) { return value->get_ref<const std::string &>(); }

// Takes a whole number of at least 0; false for anything else.
bool TakeCount(const json *value, long *count)
{
    if (!value || !value->is_number_unsigned()) return false;
    unsigned long long number = value->get<unsigned long long>();
    *count = number > 0x3FFFFFFF ? 0x3FFFFFFF : (long)number;
    return true;
}

/* ---- writing an answer's values ---- */

std::string JsonText(const std::string &text)
{
    return json(text).dump(-1, ' ', false, json::error_handler_t::replace);
}

void AppendText(LspText *text, const char *more, size_t count)
{
    static const size_t PIECE = 1024 * 1024;
    if (text->pieces.empty() || text->pieces.back().size() + count > PIECE) {
        text->pieces.push_back(std::string());
        text->pieces.back().reserve(std::max(PIECE, count));
    }
    text->pieces.back().append(more, count);
    text->size += count;
}

void AppendText(LspText *text, const std::string &more) { AppendText(text, more.data(), more.size()); }

void Refuse(LspAnswer *answer, int code, const std::string &message)
{
    answer->error = code;
    answer->message = message;
}

static json PositionJson(const LspPosition &position)
{
    return json{{"line", position.line}, {"character", position.character}};
}

json RangeJson(const LspRange &range)
{
    return json{{"start", PositionJson(range.start)}, {"end", PositionJson(range.end)}};
}

// The open document params' textDocument names, or null.
LspDocument *FindOpenDocument(const json *params)
{
    const json *uri = Find(Find(params, "textDocument"), "uri");
    if (!IsText(uri)) return NULL;
    std::map<std::string, LspDocument>::iterator doc = g_server.documents.find(TextOf(uri));
    return doc == g_server.documents.end() ? NULL : &doc->second;
}

// The same, checked: a request is answered on the text it was sent
// against, the one the document has when the request is taken.
LspDocument *FindDocument(const json *params)
{
    LspDocument *doc = FindOpenDocument(params);
    if (doc) CheckIfStale(doc);
    return doc;
}

// The document and the offset a position request points at; false when
// its parameters name no open document or no position.
bool FindPosition(const json *params, LspDocument **doc, long *offset)
{
    const json *position = Find(params, "position");
    LspPosition at;
    *doc = FindDocument(params);
    if (!*doc || !TakeCount(Find(position, "line"), &at.line) || !TakeCount(Find(position, "character"), &at.character))
        return false;
    *offset = OffsetOfPosition(**doc, at);
    return true;
}

LspDocument *FindDocumentOrRefuse(const json *params, const char *method, LspAnswer *answer)
{
    LspDocument *doc = FindDocument(params);
    if (!doc) Refuse(answer, INVALID_PARAMS, std::string(method) + " takes an open document");
    return doc;
}

bool FindPositionOrRefuse(const json *params, const char *method, LspAnswer *answer, LspDocument **doc, long *offset)
{
    if (FindPosition(params, doc, offset)) return true;
    Refuse(answer, INVALID_PARAMS, std::string(method) + " takes an open document and a position");
    return false;
}

/* ---- each document's check ---- */

void CheckAndPublish(LspDocument *doc, bool fromDisc)
{
    if (fromDisc) ReadDocumentFile(doc);
    doc->fromDisc = fromDisc;
    doc->stale = true;
}

void CheckIfStale(LspDocument *doc)
{
    if (!doc->stale) return;
    CheckDocument(doc, g_server.settings, doc->fromDisc);
    doc->stale = false;
    doc->published = false;
}
