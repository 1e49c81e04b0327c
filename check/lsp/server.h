/*
 * What the session (session.cpp: the open documents, the settings, reading
 * and writing the messages' values) gives the files of the server's
 * features, and what each feature file gives the protocol layer
 * (server.cpp: framing, JSON-RPC) back: the handlers of its methods and
 * the capabilities it offers, which server.cpp lists in its table of
 * methods. A feature reads the documents and answers into an LspAnswer, or
 * gives what is to be sent; it never reads, frames or sends a message.
 */
#ifndef QUORLAN_CHECK_LSP_SERVER_H
#define QUORLAN_CHECK_LSP_SERVER_H

#include "document.h"

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

using json = nlohmann::json;

// The errors of JSON-RPC and the protocol.
static const int PARSE_ERROR = -32700;
static const int INVALID_REQUEST = -32600;
static const int METHOD_NOT_FOUND = -32601;
static const int INVALID_PARAMS = -32602;
static const int REQUEST_FAILED = -32803;
static const int REQUEST_CANCELLED = -32800;
static const int SERVER_NOT_INITIALIZED = -32002;

struct LspServer {
    FILE *in, *out;
    std::string pending;          // bytes read and not yet taken, from pendingAt on
    size_t pendingAt;
    const char *version;
    bool initialized, shutDown, exited;
    bool relatedInformation;      // the client shows a diagnostic's related information
    bool documentChanges;         // the client takes versioned edits in a workspace edit
    bool multilineTokens;         // the client takes a semantic token over several lines
    LspSettings settings;
    std::map<std::string, LspDocument> documents; // by address
};

extern LspServer g_server;        // the one client's session

// A request's answer, as a feature gives it: a result (a value, or JSON
// text built in pieces) or an error; server.cpp sends it under the
// request's id.
struct LspText {
    std::vector<std::string> pieces;
    size_t size;
};
struct LspAnswer {
    json result;                  // the result, unless isText or an error
    bool isText = false;          // the result is text instead
    LspText text = LspText();
    int error = 0;                // an error's code, or 0
    std::string message;          // and what it says
};

/* session.cpp: the session's values, read and written, and its documents */
// The member of an object, or null when value is not an object or lacks it.
const json *Find(const json *value, const char *key);
bool IsText(const json *value);
const std::string &TextOf(const json *value);
// Takes a whole number of at least 0; false for anything else.
bool TakeCount(const json *value, long *count);
// A result written as JSON text while it is built, in pieces, so that a
// large one is held once and never copied to grow.
void AppendText(LspText *text, const char *more, size_t count);
void AppendText(LspText *text, const std::string &more);
// A string as JSON text, written as every answer writes it.
std::string JsonText(const std::string &text);
// Answers with the error.
void Refuse(LspAnswer *answer, int code, const std::string &message);
// A range as the protocol writes it.
json RangeJson(const LspRange &range);
// The open document params' textDocument names, as it stands, or null.
LspDocument *FindOpenDocument(const json *params);
// The same, checked as it stands (a request's own version), or null.
LspDocument *FindDocument(const json *params);
// The document and the offset a position request points at; false when
// its parameters name no open document or no position.
bool FindPosition(const json *params, LspDocument **doc, long *offset);
// The same, or the request is refused with the error that says what the
// method takes ("hover takes an open document and a position").
LspDocument *FindDocumentOrRefuse(const json *params, const char *method, LspAnswer *answer);
bool FindPositionOrRefuse(const json *params, const char *method, LspAnswer *answer, LspDocument **doc,
                          long *offset);
// Has the document checked (from its file on disc, read now, or from its
// text) and its diagnostics published, once the messages that have come
// are taken: a later change makes the check wait for the newer text.
void CheckAndPublish(LspDocument *doc, bool fromDisc);
// Checks the document's present text, unless its last check was of it.
void CheckIfStale(LspDocument *doc);

/* diagnostics.cpp */
// The params of the document's "textDocument/publishDiagnostics".
json DiagnosticsOf(const LspDocument &doc);
// Checks each document whose newest version has not been, and gives the
// params of its diagnostics to publish.
void PublishStale(void (*publish)(const json &params));

/* symbols.cpp: hover and the outline */
void AnswerHover(const json *params, LspAnswer *answer);
void AnswerDocumentSymbol(const json *params, LspAnswer *answer);
void AddSymbolCapabilities(json *capabilities);

/* outline.cpp: folding, selection ranges, and the header's hover */
void AnswerFoldingRange(const json *params, LspAnswer *answer);
void AnswerSelectionRange(const json *params, LspAnswer *answer);
// The header's hover when offset is in it, else null.
json HoverOnHeader(const LspDocument &doc, long offset);
void AddOutlineCapabilities(json *capabilities);

/* links.cpp: commands' files, as links and as their definition */
void AnswerDocumentLink(const json *params, LspAnswer *answer);
void AnswerDefinition(const json *params, LspAnswer *answer);
void AddLinkCapabilities(json *capabilities);

/* tokens.cpp: semantic tokens, from the loading's reading */
void AnswerSemanticTokens(const json *params, LspAnswer *answer);
void AddTokenCapabilities(json *capabilities);

/* actions.cpp: quick fixes and the fix-all action */
void AnswerCodeAction(const json *params, LspAnswer *answer);
void AddActionCapabilities(json *capabilities);

/* watch.cpp: the disc watched through the client. What the server is to
   ask the client is given as registrations, each to be sent in a
   "client/registerCapability" request whose id is the registration's. */
void TakeWatchCapabilities(const json *initializeParams);
json StartWatching();                        // on "initialized": the registrations to ask for
json WatchDocumentFolder(const LspDocument &doc);
void FollowWatchedFiles(const json *params); // "workspace/didChangeWatchedFiles"

/* formatting.cpp: the house layout as edits */
void AnswerFormatting(const json *params, LspAnswer *answer);
void AnswerRangeFormatting(const json *params, LspAnswer *answer);
void AddFormattingCapabilities(json *capabilities);

/* completion.cpp: the header's options, and the disc's names in a command */
void AnswerCompletion(const json *params, LspAnswer *answer);
void AddCompletionCapabilities(json *capabilities);

#endif
