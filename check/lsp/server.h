/*
 * What the server's protocol layer (server.cpp: framing, JSON-RPC, the open
 * documents) gives the files of its features, and what each feature file
 * gives it back: the handlers of its methods and the capabilities it
 * offers, which server.cpp lists in its table of methods. A feature reads
 * the documents and answers; it never reads or frames a message itself.
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

/* server.cpp: answering, and reading values whose type is not known */
void SendResult(const json &id, const json &result);
// A result written as JSON text while it is built, in pieces, so that a
// large one is held once and never copied to grow.
struct LspText {
    std::vector<std::string> pieces;
    size_t size;
};
void AppendText(LspText *text, const char *more, size_t count);
void AppendText(LspText *text, const std::string &more);
void SendResultText(const json &id, const LspText &result);
// A string as JSON text, written as every answer writes it.
std::string JsonText(const std::string &text);
void SendError(const json &id, int code, const std::string &message);
void SendNotification(const char *method, const json &params);
// A request of the server's own; the client's response is dropped.
void SendRequest(const json &id, const char *method, const json &params);
// The member of an object, or null when value is not an object or lacks it.
const json *Find(const json *value, const char *key);
bool IsText(const json *value);
const std::string &TextOf(const json *value);
// Takes a whole number of at least 0; false for anything else.
bool TakeCount(const json *value, long *count);
// A range as the protocol writes it.
json RangeJson(const LspRange &range);
// The open document params' textDocument names, checked as it stands
// (a request's own version), or null.
LspDocument *FindDocument(const json *params);
// The document and the offset a position request points at; false when
// its parameters name no open document or no position.
bool FindPosition(const json *params, LspDocument **doc, long *offset);
// The same, or the request is answered with the error that says what the
// method takes ("hover takes an open document and a position").
LspDocument *FindDocumentOrRefuse(const json &id, const json *params, const char *method);
bool FindPositionOrRefuse(const json &id, const json *params, const char *method, LspDocument **doc, long *offset);

/* diagnostics.cpp */
void PublishDiagnostics(const LspDocument &doc);
// Has the document checked (from its file on disc, read now, or from its
// text) and its diagnostics published, once the messages that have come
// are taken: a later change makes the check wait for the newer text.
void CheckAndPublish(LspDocument *doc, bool fromDisc);
// Checks the document's present text, unless its last check was of it.
void CheckIfStale(LspDocument *doc);
// Checks and publishes each document whose newest version has not been.
void PublishStale();

/* symbols.cpp: hover and the outline */
void AnswerHover(const json &id, const json *params);
void AnswerDocumentSymbol(const json &id, const json *params);
void AddSymbolCapabilities(json *capabilities);

/* outline.cpp: folding, selection ranges, and the header's hover */
void AnswerFoldingRange(const json &id, const json *params);
void AnswerSelectionRange(const json &id, const json *params);
// The header's hover when offset is in it, else null.
json HoverOnHeader(const LspDocument &doc, long offset);
void AddOutlineCapabilities(json *capabilities);

/* links.cpp: commands' files, as links and as their definition */
void AnswerDocumentLink(const json &id, const json *params);
void AnswerDefinition(const json &id, const json *params);
void AddLinkCapabilities(json *capabilities);

/* tokens.cpp: semantic tokens, from the loading's reading */
void AnswerSemanticTokens(const json &id, const json *params);
void AddTokenCapabilities(json *capabilities);

/* actions.cpp: quick fixes and the fix-all action */
void AnswerCodeAction(const json &id, const json *params);
void AddActionCapabilities(json *capabilities);

/* watch.cpp: the disc watched through the client */
void TakeWatchCapabilities(const json *initializeParams);
void StartWatching(const json *params);      // "initialized"
void WatchDocumentFolder(const LspDocument &doc);
void FollowWatchedFiles(const json *params); // "workspace/didChangeWatchedFiles"

/* formatting.cpp: the house layout as edits */
void AnswerFormatting(const json &id, const json *params);
void AnswerRangeFormatting(const json &id, const json *params);
void AddFormattingCapabilities(json *capabilities);

/* completion.cpp: the header's options, and the disc's names in a command */
void AnswerCompletion(const json &id, const json *params);
void AddCompletionCapabilities(json *capabilities);

#endif
