/*
 * The language server: JSON-RPC 2.0 messages framed by a Content-Length
 * header, read from one stream and answered on another.
 *
 * Nothing a client sends ends the server but "exit" and the end of its
 * input. JSON that does not parse, a header without a usable
 * Content-Length, a request before "initialize" or after "shutdown", an
 * unknown method and a request with parameters it cannot use each get the
 * protocol's error response; notifications the server cannot use are
 * dropped, as the protocol has them. After a body that is not JSON, or
 * header lines that are not headers, reading goes on at the next
 * "Content-Length:" in what came, so a wrong length costs one message.
 *
 * Built without exceptions: the JSON library stops the program where it
 * would throw, so every value's type is checked before it is read.
 */
#include "lsp.h"
#include "server.h"

#include "../text/codepage.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <vector>

#include <nlohmann/json.hpp>

// The largest message read; a larger one is answered with an error, unread.
static const long long MAX_MESSAGE = 256LL * 1024 * 1024;
// A header line is kept up to this length; of a longer one, its end.
static const size_t MAX_HEADER_LINE = 4096;
// The input is read in pieces of this size.
static const size_t INPUT_CHUNK = 65536;
// Messages taken before the server answers and checks: a client that
// never pauses still gets answers.
static const size_t MAX_QUEUED = 1000;
static const size_t MAX_QUEUED_BYTES = 64 * 1024 * 1024;


/* ---- framing ---- */

// Reads more of the input into the buffer, waiting for it; false at its end.
static bool FillBuffer()
{
    std::string &pending = g_server.pending;
    if (g_server.pendingAt >= pending.size()) {
        pending.clear();
        g_server.pendingAt = 0;
    } else if (g_server.pendingAt > INPUT_CHUNK && g_server.pendingAt * 2 > pending.size()) {
        pending.erase(0, g_server.pendingAt);
        g_server.pendingAt = 0;
    }
    char chunk[INPUT_CHUNK];
    long got = ReadInput(g_server.in, chunk, sizeof(chunk));
    if (got <= 0) return false;
    pending.append(chunk, (size_t)got);
    return true;
}

static int ReadByte()
{
    if (g_server.pendingAt >= g_server.pending.size() && !FillBuffer()) return EOF;
    return (unsigned char)g_server.pending[g_server.pendingAt++];
}

// Reads count bytes into body; false when the input ends first. What the
// buffer lacks is read straight into the body, so a large message is
// held once.
static bool ReadBytes(long long count, std::string *body)
{
    size_t kept = std::min((size_t)count, g_server.pending.size() - g_server.pendingAt);
    body->assign(g_server.pending, g_server.pendingAt, kept);
    g_server.pendingAt += kept;
    size_t at = kept, size = (size_t)count;
    if (at < size) body->resize(size);
    while (at < size) {
        long got = ReadInput(g_server.in, &(*body)[at], (long)std::min(size - at, (size_t)1 << 20));
        if (got <= 0) return false;
        at += (size_t)got;
    }
    return true;
}

// Whether a message has begun to arrive, in the buffer or on the input,
// so that reading it waits at most for the rest of what the client sends.
static bool IsMessageWaiting()
{
    for (size_t at = g_server.pendingAt; at < g_server.pending.size(); at++)
        if (g_server.pending[at] != '\r' && g_server.pending[at] != '\n') return true;
    return IsInputWaiting(g_server.in);
}

// Where "Content-Length:" starts in the text, in any case, from `from` on.
static size_t FindContentLength(const std::string &text, size_t from)
{
    static const char name[] = "content-length:";
    for (size_t at = from; at + sizeof(name) - 1 <= text.size(); at++) {
        size_t i = 0;
        while (name[i] && tolower((unsigned char)text[at + i]) == name[i]) i++;
        if (!name[i]) return at;
    }
    return std::string::npos;
}

// Puts bytes back, to be read before the rest.
static void Unread(const std::string &bytes)
{
    g_server.pending = bytes + g_server.pending.substr(g_server.pendingAt);
    g_server.pendingAt = 0;
}

#define HEADER_READ 0  // a header with a Content-Length
#define HEADER_BAD 1   // header lines without a usable one
#define HEADER_END 2   // the input ended

// Takes the Content-Length a header line gives, if it gives one: digits
// after the name, spaces around them. Anything before the name is taken
// for the rest of a message cut short, and passed over.
static void ReadHeaderLine(const std::string &line, long long *length, bool *bad)
{
    size_t at = FindContentLength(line, 0);
    if (at == std::string::npos) return;
    const char *text = line.c_str() + at + strlen("content-length:");
    while (*text == ' ' || *text == '\t') text++;
    long long value = 0;
    int digits = 0;
    for (; isdigit((unsigned char)*text); text++, digits++)
        value = digits < 15 ? value * 10 + (*text - '0') : MAX_MESSAGE + 1;
    while (*text == ' ' || *text == '\t') text++;
    if (digits == 0 || *text != '\0' || text != line.c_str() + line.size()) {
        *bad = true;
        return;
    }
    *length = value;
    *bad = false;
}

// Reads header lines up to the empty line that ends them.
static int ReadHeader(long long *length)
{
    *length = -1;
    bool bad = false;
    int lines = 0;
    std::string line;
    for (;;) {
        int c = ReadByte();
        if (c == EOF) return HEADER_END;
        if (c != '\n') {
            line += (char)c;
            if (line.size() > MAX_HEADER_LINE) line.erase(0, line.size() - 64);
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            if (*length >= 0) return HEADER_READ;
            if (lines > 0) return HEADER_BAD;
            continue; // blank lines between messages
        }
        ReadHeaderLine(line, length, &bad);
        if (bad) *length = -1;
        lines++;
        line.clear();
    }
}

static void Send(const json &message)
{
    std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
    std::string header = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    fwrite(header.data(), 1, header.size(), g_server.out);
    fwrite(body.data(), 1, body.size(), g_server.out);
    fflush(g_server.out);
}

static void SendResult(const json &id, const json &result)
{
    Send(json{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

static void SendResultText(const json &id, const LspText &result)
{
    // The members in the order Send writes them.
    std::string start = "{\"id\":" + id.dump(-1, ' ', false, json::error_handler_t::replace) +
                        ",\"jsonrpc\":\"2.0\",\"result\":";
    std::string header = "Content-Length: " + std::to_string(start.size() + result.size + 1) + "\r\n\r\n";
    fwrite(header.data(), 1, header.size(), g_server.out);
    fwrite(start.data(), 1, start.size(), g_server.out);
    for (const std::string &piece : result.pieces) fwrite(piece.data(), 1, piece.size(), g_server.out);
    fputc('}', g_server.out);
    fflush(g_server.out);
}

static void SendError(const json &id, int code, const std::string &message)
{
    Send(json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

static void SendNotification(const char *method, const json &params)
{
    Send(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

static void SendRequest(const json &id, const char *method, const json &params)
{
    Send(json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
}

/* ---- the protocol ---- */

// Asks the client for each registration the features give.
static void RequestRegistrations(const json &registrations)
{
    for (const json &registration : registrations)
        SendRequest(registration["id"], "client/registerCapability", json{{"registrations", json::array({registration})}});
}

static void Initialized(const json *) { RequestRegistrations(StartWatching()); }

static void PublishDiagnostics(const json &params) { SendNotification("textDocument/publishDiagnostics", params); }

static void ShowWarning(const std::string &message)
{
    SendNotification("window/showMessage", json{{"type", 2}, {"message", "quorlan-check: " + message}});
}

// Takes the settings an object gives, as {"quorlan": {...}} or as the
// inner object itself; a value of the wrong kind is shown and left.
static void ApplySettings(const json *given)
{
    const json *settings = Find(given, "quorlan") ? Find(given, "quorlan") : given;
    const json *codePage = Find(settings, "codePage");
    const json *drive = Find(settings, "drive");
    const json *checkFiles = Find(settings, "checkFiles");
    const json *ignore = Find(settings, "ignore");
    if (ignore) {
        bool codes = ignore->is_array();
        for (size_t i = 0; codes && i < ignore->size(); i++) codes = (*ignore)[i].is_string();
        if (codes) g_server.settings.ignore = ignore->get<std::vector<std::string>>();
        else ShowWarning("ignore takes a list of warnings' codes");
    }
    if (codePage) {
        long number;
        if (TakeCount(codePage, &number) && IsKnownCodePage(number))
            g_server.settings.codePage = (unsigned)number;
        else
            ShowWarning("codePage takes a code page that --codepage takes (see --help), not " +
                        codePage->dump(-1, ' ', false, json::error_handler_t::replace));
    }
    if (drive) {
        const std::string *letter = IsText(drive) ? &TextOf(drive) : NULL;
        if (drive->is_null() || (letter && letter->empty()))
            g_server.settings.drive = 0;
        else if (letter && letter->size() == 1 && isalpha((unsigned char)(*letter)[0]))
            g_server.settings.drive = (char)toupper((unsigned char)(*letter)[0]);
        else
            ShowWarning("drive takes one letter, not " + drive->dump(-1, ' ', false, json::error_handler_t::replace));
    }
    if (checkFiles) {
        if (checkFiles->is_boolean())
            g_server.settings.checkFiles = checkFiles->get<bool>();
        else
            ShowWarning("checkFiles takes true or false");
    }
}

static void TakeVersion(const json *params, LspDocument *doc)
{
    const json *version = Find(Find(params, "textDocument"), "version");
    if (version && version->is_number_integer()) doc->version = version->get<long long>();
}

static void OpenDocument(const json *params)
{
    const json *item = Find(params, "textDocument");
    const json *uri = Find(item, "uri"), *text = Find(item, "text");
    if (!IsText(uri) || !IsText(text)) return;
    LspDocument &doc = g_server.documents[TextOf(uri)];
    doc = LspDocument();
    doc.uri = TextOf(uri);
    doc.path = PathOfFileUri(doc.uri);
    doc.text = TextOf(text);
    doc.version = -1;
    doc.edited = false;
    doc.encoding = FILE_UNMARKED_UTF8;
    TakeVersion(params, &doc);
    RequestRegistrations(WatchDocumentFolder(doc));
    CheckAndPublish(&doc, true);
    // An editor that restores an unsaved buffer opens text the file does
    // not have: that text is what the author sees, and is checked as a
    // change is, in the file's encoding.
    if (!IsTextOfFile(doc, g_server.settings.codePage)) {
        doc.edited = true;
        CheckAndPublish(&doc, false);
    }
}

// Full-text sync: the last change that gives the whole text. The change
// is only kept: it is checked when a request needs it, or when it is the
// newest once the messages that have come are taken.
static void ChangeDocument(const json *params)
{
    LspDocument *doc = FindOpenDocument(params);
    const json *changes = Find(params, "contentChanges");
    if (!doc || !changes || !changes->is_array()) return;
    const json *whole = NULL;
    for (const json &change : *changes)
        if (IsText(Find(&change, "text")) && !Find(&change, "range")) whole = Find(&change, "text");
    if (!whole) return;
    doc->text = TextOf(whole);
    doc->edited = true;
    TakeVersion(params, doc);
    CheckAndPublish(doc, false);
}

static void SaveDocument(const json *params)
{
    LspDocument *doc = FindOpenDocument(params);
    if (!doc) return;
    if (IsText(Find(params, "text"))) doc->text = TextOf(Find(params, "text"));
    CheckAndPublish(doc, true);
}

static void CloseDocument(const json *params)
{
    LspDocument *doc = FindOpenDocument(params);
    if (!doc) return;
    doc->diagnostics.clear();
    doc->version = -1;
    PublishDiagnostics(DiagnosticsOf(*doc));
    g_server.documents.erase(doc->uri);
}

static void ChangeConfiguration(const json *params)
{
    ApplySettings(Find(params, "settings"));
    for (std::map<std::string, LspDocument>::iterator doc = g_server.documents.begin();
         doc != g_server.documents.end(); ++doc)
        CheckAndPublish(&doc->second, !doc->second.edited);
}

// The methods the server knows once initialized, each a request (answer)
// or a notification (follow). A feature's file adds its methods here, one
// row each, with their handlers declared in server.h under the file's
// name, and adds what it offers the client to s_capabilities: a function
// that sets its members of the "capabilities" the answer to "initialize"
// gives. Nothing else here changes for a new feature.
struct LspMethod {
    const char *name;
    void (*answer)(const json *params, LspAnswer *answer); // a request's, or NULL
    void (*follow)(const json *params);                  // a notification's, or NULL
};

static void AnswerShutdown(const json *, LspAnswer *answer)
{
    g_server.shutDown = true;
    answer->result = nullptr;
}


static const LspMethod s_methods[] = {
    {"shutdown", AnswerShutdown, NULL},
    {"textDocument/didOpen", NULL, OpenDocument},
    {"textDocument/didChange", NULL, ChangeDocument},
    {"textDocument/didSave", NULL, SaveDocument},
    {"textDocument/didClose", NULL, CloseDocument},
    {"workspace/didChangeConfiguration", NULL, ChangeConfiguration},
    {"initialized", NULL, Initialized},
    {"workspace/didChangeWatchedFiles", NULL, FollowWatchedFiles},
    {"textDocument/hover", AnswerHover, NULL},
    {"textDocument/documentSymbol", AnswerDocumentSymbol, NULL},
    {"textDocument/codeAction", AnswerCodeAction, NULL},
    {"textDocument/formatting", AnswerFormatting, NULL},
    {"textDocument/rangeFormatting", AnswerRangeFormatting, NULL},
    {"textDocument/completion", AnswerCompletion, NULL},
    {"textDocument/foldingRange", AnswerFoldingRange, NULL},
    {"textDocument/selectionRange", AnswerSelectionRange, NULL},
    {"textDocument/documentLink", AnswerDocumentLink, NULL},
    {"textDocument/definition", AnswerDefinition, NULL},
    {"textDocument/semanticTokens/full", AnswerSemanticTokens, NULL},
};

static void (*const s_capabilities[])(json *capabilities) = {
    AddSymbolCapabilities,
    AddActionCapabilities,
    AddFormattingCapabilities,
    AddCompletionCapabilities,
    AddOutlineCapabilities,
    AddLinkCapabilities,
    AddTokenCapabilities,
};

static const LspMethod *FindMethod(const std::string &name)
{
    for (const LspMethod &method : s_methods)
        if (name == method.name) return &method;
    return NULL;
}

// Answers a request the server knows, once initialized.
static void Answer(const std::string &name, const json &id, const json *params)
{
    const LspMethod *method = FindMethod(name);
    if (!method || !method->answer) {
        SendError(id, METHOD_NOT_FOUND, "unknown method " + name);
        return;
    }
    LspAnswer answer;
    method->answer(params, &answer);
    if (answer.error) SendError(id, answer.error, answer.message);
    else if (answer.isText) SendResultText(id, answer.text);
    else SendResult(id, answer.result);
}

// Takes a notification the server knows, once initialized; drops others.
static void Follow(const std::string &name, const json *params)
{
    const LspMethod *method = FindMethod(name);
    if (method && method->follow) method->follow(params);
}

static json Initialize(const json *params)
{
    const json *capabilities = Find(params, "capabilities");
    const json *encodings = Find(Find(capabilities, "general"), "positionEncodings");
    g_bUtf8Positions = false;
    if (encodings && encodings->is_array())
        for (const json &encoding : *encodings)
            if (encoding.is_string() && encoding.get_ref<const std::string &>() == "utf-8") g_bUtf8Positions = true;
    const json *related = Find(Find(Find(capabilities, "textDocument"), "publishDiagnostics"), "relatedInformation");
    g_server.relatedInformation = related && related->is_boolean() && related->get<bool>();
    const json *changes = Find(Find(Find(capabilities, "workspace"), "workspaceEdit"), "documentChanges");
    g_server.documentChanges = changes && changes->is_boolean() && changes->get<bool>();
    const json *multiline = Find(Find(Find(capabilities, "textDocument"), "semanticTokens"), "multilineTokenSupport");
    g_server.multilineTokens = multiline && multiline->is_boolean() && multiline->get<bool>();
    ApplySettings(Find(params, "initializationOptions"));
    TakeWatchCapabilities(params);
    g_server.initialized = true;
    json sync = {{"openClose", true}, {"change", 1}, {"save", {{"includeText", false}}}};
    json offered = {{"positionEncoding", g_bUtf8Positions ? "utf-8" : "utf-16"}, {"textDocumentSync", sync}};
    for (void (*add)(json *) : s_capabilities) add(&offered);
    return json{{"capabilities", offered},
                {"serverInfo", {{"name", "quorlan-check"}, {"version", g_server.version}}}};
}

// Yields where the object or array the body starts with ends, or npos:
// brackets counted outside strings, nothing else checked.
static size_t EndOfFirstValue(const std::string &body)
{
    size_t at = body.find_first_not_of(" \t\r\n");
    if (at == std::string::npos || (body[at] != '{' && body[at] != '[')) return std::string::npos;
    long depth = 0;
    bool inString = false;
    for (; at < body.size(); at++) {
        char c = body[at];
        if (inString) {
            if (c == '\\') at++;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            depth++;
        } else if ((c == '}' || c == ']') && --depth == 0) {
            return at + 1;
        }
    }
    return std::string::npos;
}

// A message taken from the input and not yet followed or answered: the
// parsed message, or an error to answer without an id (for one that did
// not parse). A change that a later change of the same document makes
// old, with nothing between that reads the document, is dropped.
struct LspQueued {
    json message;                 // null: dropped, or an error
    int error;                    // 0, or the error answered in its place
    std::string why;
    bool cancelled;               // a $/cancelRequest came for it
};

static std::vector<LspQueued> s_queue;
static size_t s_queuedBytes;

static void QueueError(int code, const std::string &why)
{
    LspQueued queued = {json(), code, why, false};
    s_queue.push_back(std::move(queued));
}

static const std::string *UriOfChange(const json &message)
{
    const json *method = Find(&message, "method");
    if (!IsText(method) || TextOf(method) != "textDocument/didChange" || Find(&message, "id")) return NULL;
    const json *uri = Find(Find(Find(&message, "params"), "textDocument"), "uri");
    return IsText(uri) ? &TextOf(uri) : NULL;
}

// Whether the change gives a whole text and a version, so that a change
// before it is made old.
static bool IsWholeChange(const json &message)
{
    const json *params = Find(&message, "params");
    const json *version = Find(Find(params, "textDocument"), "version");
    const json *changes = Find(params, "contentChanges");
    if (!version || !version->is_number_integer() || !changes || !changes->is_array()) return false;
    for (const json &change : *changes)
        if (IsText(Find(&change, "text")) && !Find(&change, "range")) return true;
    return false;
}

// Drops the change of that document that the new one makes old, when
// only other documents' changes stand between them.
static void DropOldChange(const std::string &uri)
{
    for (size_t at = s_queue.size(); at-- > 0;) {
        const json &earlier = s_queue[at].message;
        if (s_queue[at].error || earlier.is_null()) continue;
        const std::string *changed = UriOfChange(earlier);
        if (!changed) return;
        if (*changed == uri) {
            s_queue[at].message = json();
            return;
        }
    }
}

// Marks the newest request of that id still queued as cancelled.
static void CancelQueued(const json &id)
{
    for (size_t at = s_queue.size(); at-- > 0;) {
        const json *queuedId = Find(&s_queue[at].message, "id");
        if (!s_queue[at].cancelled && queuedId && *queuedId == id && IsText(Find(&s_queue[at].message, "method"))) {
            s_queue[at].cancelled = true;
            return;
        }
    }
}

static void QueueMessage(json message)
{
    const json *method = Find(&message, "method");
    if (IsText(method) && TextOf(method) == "$/cancelRequest" && !Find(&message, "id")) {
        // A request already answered, or never sent, is cancelled by nothing.
        const json *id = Find(Find(&message, "params"), "id");
        if (id && (id->is_string() || id->is_number())) CancelQueued(*id);
        return;
    }
    if (const std::string *uri = UriOfChange(message))
        if (IsWholeChange(message)) DropOldChange(*uri);
    LspQueued queued = {std::move(message), 0, "", false};
    s_queue.push_back(std::move(queued));
}

// The code unit of the \uXXXX escape whose backslash is at at, or -1.
static long EscapedUnit(const std::string &text, size_t at)
{
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u') return -1;
    char digits[5] = {0};
    for (int i = 0; i < 4; i++) {
        digits[i] = text[at + 2 + i];
        if (!isxdigit((unsigned char)digits[i])) return -1;
    }
    return strtol(digits, NULL, 16);
}

// Writes \ufffd over each escape of a surrogate that is not half of a
// pair. JSON allows such an escape, but it stands for no character, and
// the parser refuses the whole message over it: a request would never be
// answered under its own id. The replacement is as long, so the framing
// is untouched. A backslash can only start an escape (outside strings
// the message is not JSON anyway), so escapes are read from one to the
// next, \\ as one.
static void MendLoneSurrogates(std::string *body)
{
    std::string &text = *body;
    for (size_t at = text.find('\\'); at != std::string::npos; at = text.find('\\', at)) {
        long unit = EscapedUnit(text, at);
        if (unit < 0xD800 || unit > 0xDFFF) {
            at += 2;
            continue;
        }
        long next = EscapedUnit(text, at + 6);
        if (unit < 0xDC00 && next >= 0xDC00 && next <= 0xDFFF) {
            at += 12;
            continue;
        }
        text.replace(at, 6, "\\ufffd");
        at += 6;
    }
}

static void QueueBody(const std::string &body)
{
    json message = json::parse(body, nullptr, false);
    if (message.is_discarded()) {
        // A length too long takes in the start of the next message: the
        // message is what comes before it, and the rest is read again.
        size_t end = EndOfFirstValue(body);
        if (end != std::string::npos && end < body.size()) {
            Unread(body.substr(end));
            QueueBody(body.substr(0, end));
            return;
        }
        size_t next = FindContentLength(body, 1);
        if (next != std::string::npos) Unread(body.substr(next));
        QueueError(PARSE_ERROR, "the message is not JSON");
        return;
    }
    QueueMessage(std::move(message));
}

// Reads one message into the queue; false when the input ends first.
static bool ReadMessage()
{
    long long length;
    int header = ReadHeader(&length);
    if (header == HEADER_END) return false;
    if (header == HEADER_BAD) {
        QueueError(PARSE_ERROR, "a message header without a Content-Length of digits");
        return true;
    }
    if (length > MAX_MESSAGE) {
        // Answered at once, unread: waiting for that many bytes would
        // lose every later message. The next header is looked for in
        // what follows, as after a header line that is not one.
        QueueError(INVALID_REQUEST, "a message of " + std::to_string(length) + " bytes, more than the " +
                                        std::to_string(MAX_MESSAGE / 1024 / 1024) + " MiB read");
        return true;
    }
    std::string body;
    if (!ReadBytes(length, &body)) return false;
    s_queuedBytes += body.size();
    MendLoneSurrogates(&body);
    QueueBody(body);
    return true;
}

static void HandleMessage(const json &message, bool cancelled)
{
    const json *id = Find(&message, "id"), *method = Find(&message, "method");
    const json *params = Find(&message, "params");
    if (!message.is_object()) {
        SendError(nullptr, INVALID_REQUEST, "a message is a JSON object");
        return;
    }
    if (id && !id->is_string() && !id->is_number()) {
        SendError(nullptr, INVALID_REQUEST, "a request's id is a number or a string");
        return;
    }
    if (!IsText(method)) {
        // A response, to a request of the server's own, is dropped.
        if (!Find(&message, "result") && !Find(&message, "error"))
            SendError(id ? *id : json(nullptr), INVALID_REQUEST, "a message without a method");
        return;
    }
    const std::string &name = TextOf(method);
    // Some clients send null where a method takes no params: as if none.
    if (params && params->is_null()) params = NULL;
    if (params && !params->is_object() && !params->is_array()) {
        if (id) SendError(*id, INVALID_PARAMS, "params is an object or an array");
        return;
    }
    if (name == "exit") {
        g_server.exited = true;
    } else if (name == "initialize" && id) {
        if (g_server.initialized) SendError(*id, INVALID_REQUEST, "the server is initialized already");
        else SendResult(*id, Initialize(params));
    } else if (!g_server.initialized) {
        if (id) SendError(*id, SERVER_NOT_INITIALIZED, "the server is not initialized yet");
    } else if (g_server.shutDown) {
        if (id) SendError(*id, INVALID_REQUEST, "the server is shut down");
    } else if (id && cancelled) {
        SendError(*id, REQUEST_CANCELLED, "the request was cancelled");
    } else if (id) {
        Answer(name, *id, params);
    } else {
        Follow(name, params);
    }
}

// Takes every message that has come, then follows and answers them in
// their order: changes only keep their text, requests are answered on
// their own version's, and each document's newest version is checked
// and its diagnostics published after. False when the input has ended.
static bool ServeArrived()
{
    s_queue.clear();
    s_queuedBytes = 0;
    bool more = ReadMessage();
    while (more && s_queue.size() < MAX_QUEUED && s_queuedBytes < MAX_QUEUED_BYTES && IsMessageWaiting())
        more = ReadMessage();
    for (size_t at = 0; at < s_queue.size() && !g_server.exited; at++) {
        LspQueued &queued = s_queue[at];
        if (queued.error) SendError(nullptr, queued.error, queued.why);
        else if (!queued.message.is_null()) HandleMessage(queued.message, queued.cancelled);
        queued.message = json(); // a change's text is not needed once taken
    }
    s_queue.clear();
    if (!g_server.exited) PublishStale(PublishDiagnostics);
    return more;
}

int ServeLanguageClient(FILE *in, FILE *out, const char *version)
{
    g_server.in = in;
    g_server.out = out;
    g_server.pending.clear();
    g_server.pendingAt = 0;
    g_server.version = version;
    g_server.initialized = g_server.shutDown = g_server.exited = false;
    g_server.relatedInformation = g_server.documentChanges = g_server.multilineTokens = false;
    g_server.settings.codePage = 1252;
    g_server.settings.drive = 0;
    g_server.settings.checkFiles = true;
    g_server.documents.clear();
    g_bUtf8Positions = false;
    while (!g_server.exited && ServeArrived()) {
    }
    g_server.documents.clear();
    return g_server.exited && g_server.shutDown ? 0 : 1;
}
